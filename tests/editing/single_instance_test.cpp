#include <QSignalSpy>
#include <QtTest>

#include "editing/ui/single_instance.h"

namespace orvet {

class SingleInstanceTest : public QObject {
    Q_OBJECT
private slots:
    void secondInstanceAsksTheFirstToComeForward() {
        const QString key = QStringLiteral("orvet-test-%1").arg(QCoreApplication::applicationPid());
        SingleInstance first(key);
        QVERIFY(first.acquire());
        QSignalSpy activated(&first, &SingleInstance::activationRequested);

        SingleInstance second(key);
        QVERIFY(!second.acquire());
        QVERIFY(activated.wait(2000));
        QCOMPARE(activated.count(), 1);
    }

    void lockIsFreeAgainOnceTheFirstEnds() {
        const QString key =
            QStringLiteral("orvet-test-%1-b").arg(QCoreApplication::applicationPid());
        {
            SingleInstance first(key);
            QVERIFY(first.acquire());
        }
        SingleInstance next(key);
        QVERIFY(next.acquire());
    }
};

}  // namespace orvet

QTEST_MAIN(orvet::SingleInstanceTest)
#include "single_instance_test.moc"
