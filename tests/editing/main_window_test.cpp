#include <QFrame>
#include <QGuiApplication>
#include <QScreen>
#include <QtTest>

#include "editing/main_window.h"
#include "support/test_platform.h"

namespace orvet {

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() { test_ = std::make_unique<testing::TestPlatform>(); }
    void cleanup() {
        const QStringList problems = test_->problems();
        test_.reset();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    void startsWithCaptionSizeAndBlackStartPanel() {
        TMainForm form(test_->platform());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        QCOMPARE(form.windowTitle(), QStringLiteral("Конфигурирование УСПД ORVET-4410"));
        QCOMPARE(form.size(), QSize(700, 520));
        QCOMPARE(form.minimumSize(), QSize(700, 520));

        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        const QPoint offCentre = form.frameGeometry().center() - available.center();
        QVERIFY2(offCentre.manhattanLength() <= 2, "the window is centred on the desktop");

        QFrame* panel = form.startPanel();
        QVERIFY(panel->isVisible());
        QCOMPARE(panel->palette().color(QPalette::Window), QColor(Qt::black));
        QCOMPARE(panel->frameShadow(), QFrame::Sunken);
        // The panel fills the client area between menu bar and status bar.
        QCOMPARE(panel->width(), form.width());
        const QImage shot = panel->grab().toImage();
        QCOMPARE(shot.pixelColor(shot.width() / 2, shot.height() / 2), QColor(Qt::black));
    }

private:
    std::unique_ptr<testing::TestPlatform> test_;
};

}  // namespace orvet

QTEST_MAIN(orvet::MainWindowTest)
#include "main_window_test.moc"
