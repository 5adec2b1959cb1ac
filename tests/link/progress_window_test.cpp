// The question boxes of the progress window against real message boxes.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include "core/ui/message_box_dialog.h"
#include "link/ui/progress_window.h"

namespace orvet {

class ProgressWindowDecisionsTest : public QObject {
    Q_OBJECT
private slots:
    void withdrawnQuestionClosesItsBox() {
        QtMessageBoxes boxes;
        WithdrawableDecisions decisions(boxes);
        QString shown;
        QTimer::singleShot(0, this, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                shown = box->text();
            decisions.withdraw();
        });
        // Should the withdrawal not close the box, "Yes" does, so that the test ends and fails.
        QTimer::singleShot(10'000, this, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                box->done(QMessageBox::Yes);
        });
        QVERIFY(!decisions.restartDevice());
        QCOMPARE(shown, QStringLiteral("Перезагрузить УСПД?"));
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    // Withdrawing closes every box the exchange has open: a notice and a question asked over
    // it (which counts as "No"); boxes of others stay.
    void withdrawalClosesTheNoticeAndTheQuestionOverIt() {
        QtMessageBoxes boxes;
        WithdrawableDecisions decisions(boxes);
        QStringList seen;
        bool answer = true;
        QTimer::singleShot(0, this, [&] {
            // Inside the notice's loop: the question, and inside its loop the withdrawal.
            QTimer::singleShot(0, this, [&] {
                QTimer::singleShot(0, this, [&] {
                    for (QWidget* widget : QApplication::topLevelWidgets()) {
                        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
                            seen << box->text();
                    }
                    decisions.withdraw();
                });
                answer = decisions.restartDevice();
            });
        });
        // Should the withdrawal not close them, "Yes" does, so that the test ends and fails.
        QTimer::singleShot(10'000, this, [] {
            while (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                box->done(QMessageBox::Yes);
        });
        decisions.notice([&] { boxes.information(QStringLiteral("Ошибка CRC"), QString()); });
        seen.sort();
        QCOMPARE(seen, (QStringList{"Ошибка CRC", "Перезагрузить УСПД?"}));
        QVERIFY(!answer);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    void withdrawalWithoutAQuestionLeavesOtherBoxesAlone() {
        QtMessageBoxes boxes;
        WithdrawableDecisions decisions(boxes);
        bool stillOpen = false;
        QTimer::singleShot(0, this, [&] {
            decisions.withdraw();
            QApplication::processEvents();
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            stillOpen = box != nullptr;
            if (box)
                box->done(QMessageBox::Ok);
        });
        boxes.information(QStringLiteral("Ошибка CRC"), QString());
        QVERIFY(stillOpen);
    }
};

}  // namespace orvet

QTEST_MAIN(orvet::ProgressWindowDecisionsTest)
#include "progress_window_test.moc"
