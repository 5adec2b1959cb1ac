// "Записать в УСП&Д" through the windows, with the simulated USPD on a virtual line and the
// port running on the test clock.
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QtTest>

#include "core/texts.h"
#include "editing/ui/main_window.h"
#include "link/ui/frame_log_view.h"
#include "link/ui/port_config_dialog.h"
#include "link/ui/progress_window.h"
#include "sim/simulated_ports.h"
#include "sim/virtual_uspd.h"
#include "support/store_rig.h"

namespace orvet {

class UploadWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        rig_ = std::make_unique<testing::StoreRig>();
        previousDir_ = QDir::currentPath();
        QDir::setCurrent(rig_->test.dir());  // config.dat is written in the working folder
        rig_->addUspd(QStringLiteral("Котельная"));
        rig_->data->openDatasets();
    }
    void cleanup() {
        form_.reset();
        uspd_.reset();
        training_.reset();
        QDir::setCurrent(previousDir_);
        const QStringList problems = rig_->problems();
        rig_.reset();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    void directLineUploadsAndRestarts() {
        makeWindow({});
        auto& messages = rig_->test.messages;
        messages.expectQuestion(texts::kAskRestart, true);
        messages.expectQuestion(texts::kAskClearArchives, false);
        messages.expectNotice(texts::kRestarted);
        withDialog([this] {
            form_->PortConfig->cbPort->setCurrentIndex(0);
            form_->PortConfig->cbBaud->setCurrentIndex(7);
            form_->PortConfig->eNumDev->setText("1");
        });
        QVERIFY(form_->Prgrs->isVisible());
        rig_->test.clock.advance(99);
        QVERIFY(!QFileInfo::exists("config.dat"));  // the compiler starts 100 ms after "OK"
        rig_->test.clock.advance(1);
        QVERIFY(QFileInfo::exists("config.dat"));
        QCOMPARE(form_->Prgrs->ProgressBar1->value(), form_->Prgrs->ProgressBar1->maximum());
        QCOMPARE(form_->Prgrs->lamp(form_->Prgrs->Image1), int(TPrgrs::Activity));
        QCOMPARE(form_->CommPort1.Baud(), 115200);
        rig_->test.clock.advance(20'000);
        QCOMPARE(uspd_->device().image(), imageFile());
        QCOMPARE(uspd_->device().restarts(), 1);
        QVERIFY(!form_->CommPort1.Open());
        QVERIFY(!form_->Prgrs->isVisible());
        QCOMPARE(rig_->test.settings().readInteger("Baud", -9), 7);
    }

    // "Журнал обмена" shows the frames of the upload as they come, and copies and saves them.
    void frameLogFollowsTheUploadAndIsCopiedAndSaved() {
        sim::Options options;
        options.faults.corruptCrc['L'] = 1;
        makeWindow(options);
        form_->MFrameLog->trigger();
        TFrameLogView* view = form_->FrameLogView;
        QVERIFY(view->isVisible());
        QVERIFY(!form_->Analis->isVisible());
        auto& messages = rig_->test.messages;
        messages.expectNotice("Ошибка CRC");
        messages.expectQuestion(texts::kAskRestart, false);
        withDialog([this] { form_->PortConfig->cbPort->setCurrentIndex(0); });
        rig_->test.clock.advance(20'000);
        QCOMPARE(uspd_->device().image(), imageFile());

        const FrameLog& log = form_->Prgrs->frameLog();
        QVERIFY(log.lines().size() > 4);
        QCOMPARE(view->Lines->toPlainText() + '\n', log.text());
        QVERIFY(view->Lines->toPlainText().contains(
            QRegularExpression("← 'L'    6 байт \\[Ошибка CRC\\]")));
        QVERIFY(view->Lines->toPlainText().contains(
            QRegularExpression("→ 'L'    4 байт \\[повтор 1\\]")));
        QVERIFY(view->Note->text().isEmpty());

        view->CopyButton->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), log.text());
        // A selection is copied alone, one line each.
        QTextCursor cursor = view->Lines->textCursor();
        cursor.movePosition(QTextCursor::Start);
        cursor.movePosition(QTextCursor::Down, QTextCursor::KeepAnchor, 2);
        view->Lines->setTextCursor(cursor);
        view->copy();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 log.lines()[0] + '\n' + log.lines()[1] + '\n');

        const QString saved = rig_->test.dir() + "/журнал.txt";
        view->chooseFile = [&]() -> const QString& { return saved; };
        view->SaveButton->click();
        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), log.text());
        // A file that cannot be written is told, and nothing else changes.
        const QString unwritable = rig_->test.dir() + "/нет/журнал.txt";
        view->chooseFile = [&]() -> const QString& { return unwritable; };
        messages.allowNotices();
        view->save();
        messages.allowNotices(false);
        QCOMPARE(messages.shown().back().kind, ScriptedMessageBoxes::Kind::Error);
        QVERIFY(messages.shown().back().text.startsWith(
            QStringLiteral("Журнал не удается записать в файл «%1»: ").arg(unwritable)));
        QCOMPARE(messages.shown().back().caption, TFrameLogView::kCaption);

        // The next upload starts a new log.
        messages.expectQuestion(texts::kAskRestart, false);
        withDialog([] {});
        rig_->test.clock.advance(20'000);
        QCOMPARE(view->Lines->toPlainText().count("→ 'L'"), 1);
        QVERIFY(!view->Lines->toPlainText().contains("Ошибка CRC"));
    }

    // A window that stays at 0 % says why: here the link settings that cannot drive an upload.
    void progressWindowThatCannotStartSaysWhy() {
        makeWindow({});
        form_->linkSettings().PakLen = 0;
        const QString reason =
            "Длина пакета должна быть не меньше 1 байта. Запись не начата: "
            "измените параметры в окне «Параметры связи».";
        rig_->test.messages.expectNotice(reason);
        withDialog([this] { form_->PortConfig->cbPort->setCurrentIndex(0); });
        rig_->test.clock.advance(1000);
        QVERIFY(form_->Prgrs->isVisible());
        QVERIFY(!form_->CommPort1.Open());
        QCOMPARE(form_->Prgrs->StatusLabel->text(), "Запись не начата: нажмите «Отмена»");
        QCOMPARE(form_->Prgrs->ProblemLabel->text(), reason);
        QTest::mouseClick(form_->Prgrs->Button1, Qt::LeftButton);
        QVERIFY(!form_->Prgrs->isVisible());
    }

    void firstUseShowsNoSelectionAndCancelLeavesThePortClosed() {
        makeWindow({});
        withDialog([this] {
            TPortConfig* dialog = form_->PortConfig;
            QCOMPARE(dialog->cbPort->currentIndex(), -1);
            QCOMPARE(dialog->cbMBaud->currentIndex(), -1);
            QCOMPARE(dialog->eNumDev->text(), QStringLiteral("1"));
            QCOMPARE(dialog->eMNumDev->text(), QStringLiteral("1"));
            QCOMPARE(dialog->PageControl1->currentIndex(), 0);
            QVERIFY(dialog->cbPort->itemText(0).startsWith(QStringLiteral("COM1 — ")));
            dialog->cbPort->setCurrentIndex(0);
        });
        QCOMPARE(rig_->test.settings().readInteger("Port", -9), 0);
        for (const char* name : {"Baud", "ModemPort", "ModemBaud"})
            QCOMPARE(rig_->test.settings().readInteger(name, 0), -1);
        QTest::mouseClick(form_->Prgrs->Button1, Qt::LeftButton);
        QVERIFY(!form_->Prgrs->isVisible());
        rig_->test.clock.advance(1000);
        QVERIFY(!form_->CommPort1.Open());
    }

    // "OK" refuses a line the upload could not open or address, names what is wrong, stores
    // nothing and keeps the dialog open on the control to mend.
    void okRefusesAnUnusableLine_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focused");
        QTest::newRow("no port") << 0 << -1 << "1"
                                 << "Не выбран порт компьютера (RS232/485)."
                                 << "port";
        QTest::newRow("no modem port") << 1 << -1 << "1"
                                       << "Не выбран порт компьютера (Модем)."
                                       << "port";
        QTest::newRow("device missing") << 0 << 7 << "1"
                                        << "Порт COM8 недоступен: нет устройства %1."
                                        << "port";
        QTest::newRow("empty number") << 0 << 1 << ""
                                      << "Не указан номер устройства (RS232/485)."
                                      << "number";
        QTest::newRow("blank modem number") << 1 << 2 << "  "
                                            << "Не указан номер устройства (Модем)."
                                            << "number";
    }
    void okRefusesAnUnusableLine() {
        QFETCH(int, page);
        QFETCH(int, port);
        QFETCH(QString, number);
        QFETCH(QString, message);
        QFETCH(QString, focused);
        makeWindow({});
        const QString missing = rig_->test.dir() + QStringLiteral("/unplugged");
        rig_->test.settings().writeString(QStringLiteral("COM8"), missing, QStringLiteral("Ports"));
        rig_->test.messages.expectNotice(QString(message).replace("%1", missing));
        bool stayed = false;
        QWidget* focus = nullptr;
        QWidget* expectedFocus = nullptr;
        QTimer::singleShot(0, form_->PortConfig, [&] {
            TPortConfig* dialog = form_->PortConfig;
            dialog->PageControl1->setCurrentIndex(page);
            (page == 0 ? dialog->cbPort : dialog->cbMPort)->setCurrentIndex(port);
            (page == 0 ? dialog->eNumDev : dialog->eMNumDev)->setText(number);
            expectedFocus = focused == "port" ? static_cast<QWidget*>(page == 0 ? dialog->cbPort
                                                                                : dialog->cbMPort)
                                              : (page == 0 ? dialog->eNumDev : dialog->eMNumDev);
            QTest::mouseClick(dialog->Button1, Qt::LeftButton);
            stayed = dialog->isVisible();
            focus = dialog->focusWidget();
            dialog->reject();
        });
        form_->MSaveTo->trigger();
        QVERIFY(stayed);
        QCOMPARE(rig_->test.messages.shown().back().caption, texts::kError);
        QCOMPARE(focus, expectedFocus);
        QVERIFY(!form_->Prgrs->isVisible());
        for (const char* name : {"Port", "NumDevice", "ModemPort", "ModemNumDevice", "ActivePage"})
            QCOMPARE(rig_->test.settings().readInteger(name, -9), -9);
    }

    // While an upload runs, "Записать в УСП&Д" waits and closing the window asks first.
    void uploadInProgressHoldsTheCommandAndTheClose() {
        makeWindow({});
        withDialog([this] { form_->PortConfig->cbPort->setCurrentIndex(0); });
        QVERIFY(form_->Prgrs->isVisible());
        QVERIFY(!form_->MSaveTo->isEnabled());

        rig_->test.messages.expectQuestion(TMainForm::kAskStopUpload, false);
        QVERIFY(!form_->close());
        QVERIFY(form_->Prgrs->isVisible());

        rig_->test.messages.expectQuestion(TMainForm::kAskStopUpload, true);
        QVERIFY(form_->close());
        QVERIFY(!form_->Prgrs->isVisible());
        QVERIFY(!form_->CommPort1.Open());
        QVERIFY(form_->MSaveTo->isEnabled());
        rig_->test.clock.advance(5000);
        QVERIFY(uspd_->device().frames().empty());  // the cancel also stopped the start timer
    }

    void nonNumericDeviceNumberKeepsTheDialogOpen() {
        makeWindow({});
        rig_->test.messages.expectNotice("'x1' is not a valid integer value");
        bool stayed = false;
        QTimer::singleShot(0, form_->PortConfig, [&] {
            form_->PortConfig->cbPort->setCurrentIndex(0);
            form_->PortConfig->eNumDev->setText("x1");
            QTest::mouseClick(form_->PortConfig->Button1, Qt::LeftButton);
            stayed = form_->PortConfig->isVisible();
            form_->PortConfig->reject();
        });
        form_->MSaveTo->trigger();
        QVERIFY(stayed);
        QVERIFY(!form_->Prgrs->isVisible());
    }

    void modemDialsToneAndWaitsForTheCarrier() {
        sim::Options options;
        options.modem = true;
        options.carrierDelayMs = 2000;
        makeWindow(options);
        rig_->test.messages.expectQuestion(texts::kAskRestart, false);
        withDialog([this] {
            TPortConfig* dialog = form_->PortConfig;
            dialog->PageControl1->setCurrentIndex(1);
            dialog->ePhone->setText("1234");
            dialog->rbTone->setChecked(true);
            dialog->cbMPort->setCurrentIndex(2);
            dialog->cbMBaud->setCurrentIndex(5);
        });
        rig_->test.clock.advance(1500);
        QCOMPARE(form_->CommPort1.Baud(), 38400);
        QCOMPARE(form_->CommPort1.ComNumber(), 3);
        QVERIFY(uspd_->device().frames().empty());
        rig_->test.clock.advance(30'000);
        QCOMPARE(uspd_->device().image(), imageFile());
        QVERIFY(!form_->CommPort1.Open());
    }

    void readyFileSwitchAndItsUse() {
        makeWindow({});
        TPortConfig* dialog = form_->PortConfig;
        const auto clickPage = [dialog](Qt::KeyboardModifiers mods) {
            QTest::mouseClick(dialog->TabSheet1, Qt::LeftButton, mods, QPoint(5, 5));
        };
        dialog->show();
        QVERIFY(!dialog->cb_Ready->isVisible());
        clickPage(Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(dialog->cb_Ready->isVisible());
        dialog->cb_Ready->setChecked(true);
        clickPage(Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(!dialog->cb_Ready->isVisible());
        QVERIFY(dialog->cb_Ready->isChecked());
        dialog->hide();

        // Without a config.dat the upload stops at its 'S' frame; the window stays.
        rig_->test.messages.expectNotice(texts::kFileCannotOpen +
                                         QStringLiteral(": %1 (No such file or directory)")
                                             .arg(QDir(rig_->test.dir()).filePath("config.dat")));
        withDialog([dialog] { dialog->cbPort->setCurrentIndex(0); });
        rig_->test.clock.advance(5000);
        QVERIFY(form_->Prgrs->isVisible());
        QVERIFY(!QFileInfo::exists("config.dat"));
        // The ready file's bar: at the short archive's end, then the connection's step.
        QCOMPARE(form_->Prgrs->ProgressBar1->value(), 12);
        QCOMPARE(form_->Prgrs->ProgressBar1->maximum(), 13);
        QTest::mouseClick(form_->Prgrs->Button1, Qt::LeftButton);
        QVERIFY(!form_->CommPort1.Open());

        // With one, that file goes out as it is, nothing compiled.
        const QByteArray ready(300, 'r');
        QFile file("config.dat");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ready);
        file.close();
        rig_->test.messages.expectQuestion(texts::kAskRestart, false);
        withDialog([] {});
        rig_->test.clock.advance(10'000);
        QCOMPARE(uspd_->device().image(), ready);
    }

    // The training USPD: ports mapped to it are listed as such, and one that cannot be used
    // is refused by "OK".
    void trainingPortsAreListedAndAMisspeltOneRefused() {
        makeTrainingWindow();
        rig_->test.settings().writeString(QStringLiteral("COM3"), QStringLiteral("sim:fax"),
                                          QStringLiteral("Ports"));
        rig_->test.messages.expectNotice(QStringLiteral(
            "Порт COM3: учебный УСПД задан неверно: неизвестный вид «sim:fax», есть sim и "
            "sim:modem."));
        QStringList items;
        bool stayed = false;
        QTimer::singleShot(0, form_->PortConfig, [&] {
            TPortConfig* dialog = form_->PortConfig;
            for (int i = 0; i < 3; ++i)
                items << dialog->cbMPort->itemText(i);
            dialog->cbPort->setCurrentIndex(2);
            QTest::mouseClick(dialog->Button1, Qt::LeftButton);
            stayed = dialog->isVisible();
            dialog->reject();
        });
        form_->MSaveTo->trigger();
        QCOMPARE(items, (QStringList{
                            "COM1 — sim (учебный УСПД)",
                            "COM2 — sim:modem drop-carrier=3 (учебный УСПД)",
                            "COM3 — sim:fax (учебный УСПД задан неверно)",
                        }));
        QVERIFY(stayed);
        QVERIFY(!form_->Prgrs->isVisible());
    }

    // The direct line to the training USPD: it receives the image the compiler wrote and keeps
    // it in its own folder.
    void trainingUspdOnTheDirectLineReceivesTheCompiledImage() {
        makeTrainingWindow();
        auto& messages = rig_->test.messages;
        messages.expectQuestion(texts::kAskRestart, true);
        messages.expectQuestion(texts::kAskClearArchives, true);
        messages.expectNotice(texts::kRestarted);
        withDialog([this] {
            form_->PortConfig->cbPort->setCurrentIndex(0);
            form_->PortConfig->cbBaud->setCurrentIndex(3);
            form_->PortConfig->eNumDev->setText("1");
        });
        rig_->test.clock.advance(60'000);
        QVERIFY(!form_->Prgrs->isVisible());
        QVERIFY(!form_->CommPort1.Open());
        const QByteArray compiled = imageFile();
        QVERIFY(compiled.size() > 48);  // more than three blocks
        QFile kept(training_->imagePath());
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), compiled);
        QCOMPARE(training_->device()->device().restarts(), 1);
        QVERIFY(training_->device()->device().archivesCleared());
    }

    // The modem path to the training USPD, which hangs up after three blocks: the dial
    // command, the carrier, and its loss ending the upload without a message.
    void trainingUspdBehindAModemLosesTheCarrierMidTransfer() {
        makeTrainingWindow();
        withDialog([this] {
            TPortConfig* dialog = form_->PortConfig;
            dialog->PageControl1->setCurrentIndex(1);
            dialog->ePhone->setText("5551234");
            dialog->rbTone->setChecked(true);
            dialog->cbMPort->setCurrentIndex(1);
            dialog->cbMBaud->setCurrentIndex(3);
        });
        rig_->test.clock.advance(1000);
        sim::VirtualUspd* uspd = training_->device();
        QVERIFY(uspd != nullptr);
        QCOMPARE(uspd->device().modem()->dialled(), QByteArray("DT5551234"));
        QVERIFY(uspd->device().frames().empty());
        QCOMPARE(form_->Prgrs->lamp(form_->Prgrs->Image3), int(TPrgrs::Idle));
        QCOMPARE(form_->Prgrs->lamp(form_->Prgrs->Image5), int(TPrgrs::ClearToSend));
        rig_->test.clock.advance(500);  // "CONNECT", then the carrier
        QVERIFY(form_->CommPort1.DCD());
        QCOMPARE(form_->Prgrs->lamp(form_->Prgrs->Image3), int(TPrgrs::Carrier));
        QVERIFY(form_->Prgrs->isVisible());

        rig_->test.clock.advance(30'000);
        QVERIFY(!form_->Prgrs->isVisible());
        QVERIFY(!form_->CommPort1.Open());
        QVERIFY(!uspd->line().DTR());
        QVERIFY(!uspd->device().carrier());
        QCOMPARE(uspd->device().frames().front().at(1), 'L');
        QCOMPARE(std::count_if(uspd->device().frames().begin(), uspd->device().frames().end(),
                               [](const QByteArray& f) { return f.at(1) == 'T'; }),
                 3);
        QVERIFY(!uspd->device().imageComplete());
        QVERIFY2(!QFileInfo::exists(training_->imagePath()), "an incomplete image is not kept");
        QVERIFY(rig_->test.messages.shown().empty());
        QVERIFY(form_->MSaveTo->isEnabled());
    }

private:
    static QByteArray imageFile() {
        QFile file("config.dat");
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void makeWindow(const sim::Options& options) {
        uspd_ = std::make_unique<sim::VirtualUspd>(rig_->test.clock, options);
        form_ = std::make_unique<TMainForm>(rig_->test.platform(), *rig_->data,
                                            uspd_->line().opener(), TCommPort::Workers::Inline);
        form_->show();
        form_->MSaveTo->setEnabled(true);  // as opening the USPD does
        // Every COM port maps to a device that exists; the virtual line stands behind it.
        for (int n = 1; n <= 8; ++n) {
            const QString device = rig_->test.dir() + QStringLiteral("/tty%1").arg(n);
            QFile(device).open(QIODevice::WriteOnly);
            rig_->test.settings().writeString(QStringLiteral("COM%1").arg(n), device,
                                              QStringLiteral("Ports"));
        }
    }
    // The program's ports: COM1 the training USPD on a direct line, COM2 behind a modem that
    // breaks off after three blocks, the rest devices that do not exist.
    // Blocks of 16 bytes make several of even a small image.
    void makeTrainingWindow() {
        rig_->test.settings().writeInteger(QStringLiteral("PakLen"), 16);
        training_ =
            std::make_unique<sim::SimulatedPorts>(rig_->test.clock, rig_->test.dir() + "/training");
        form_ = std::make_unique<TMainForm>(rig_->test.platform(), *rig_->data,
                                            training_->opener(&PosixLine::open),
                                            TCommPort::Workers::Inline);
        form_->show();
        form_->MSaveTo->setEnabled(true);
        Settings& settings = rig_->test.settings();
        settings.writeString(QStringLiteral("COM1"), QStringLiteral("sim"),
                             QStringLiteral("Ports"));
        settings.writeString(QStringLiteral("COM2"), QStringLiteral("sim:modem drop-carrier=3"),
                             QStringLiteral("Ports"));
    }
    // "Записать в УСП&Д", `fill` while the connection dialog is open, then its "OK".
    void withDialog(const std::function<void()>& fill) {
        bool ran = false;
        bool stayed = false;
        QTimer::singleShot(0, form_->PortConfig, [&] {
            ran = true;
            fill();
            QTest::mouseClick(form_->PortConfig->Button1, Qt::LeftButton);
            stayed = form_->PortConfig->isVisible();
            if (stayed)
                form_->PortConfig->reject();  // a refused "OK" fails the test, not hangs it
        });
        form_->MSaveTo->trigger();
        QVERIFY(ran);
        QVERIFY(!stayed);
    }

    std::unique_ptr<testing::StoreRig> rig_;
    std::unique_ptr<sim::VirtualUspd> uspd_;
    std::unique_ptr<sim::SimulatedPorts> training_;
    std::unique_ptr<TMainForm> form_;
    QString previousDir_;
};

}  // namespace orvet

QTEST_MAIN(orvet::UploadWindowTest)
#include "upload_window_test.moc"
