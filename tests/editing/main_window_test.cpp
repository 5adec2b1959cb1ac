#include <QFrame>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include "core/test_clock.h"
#include "editing/main_window.h"

namespace orvet {

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        settingsDir_ = std::make_unique<QTemporaryDir>();
        platform_ = std::make_unique<Platform>(
            Platform{clock_, mainThread_, messages_,
                     Settings::inFile(settingsDir_->filePath("settings.ini"))});
    }
    void cleanup() {
        QVERIFY2(messages_.unexpected().empty(), "a message box appeared");
        platform_.reset();
    }

    void startsWithCaptionSizeAndBlackStartPanel() {
        TMainForm form(*platform_);
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
    TestClock clock_;
    MainThread mainThread_;
    ScriptedMessageBoxes messages_;
    std::unique_ptr<QTemporaryDir> settingsDir_;
    std::unique_ptr<Platform> platform_;
};

}  // namespace orvet

QTEST_MAIN(orvet::MainWindowTest)
#include "main_window_test.moc"
