#include <QAction>
#include <QDir>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QSqlQuery>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include "editing/ui/about_dialog.h"
#include "editing/ui/main_window.h"
#include "editing/ui/modules_frame.h"
#include "editing/ui/open_uspd_dialog.h"
#include "editing/ui/report_progress_window.h"
#include "export/dispatch_database.h"
#include "export/ui/export_window.h"
#include "image/image.h"
#include "link/ui/frame_log_view.h"
#include "link/ui/link_parameters_dialog.h"
#include "link/ui/port_config_dialog.h"
#include "support/store_rig.h"
#include "widget_helpers.h"

namespace orvet {

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        rig_ = std::make_unique<testing::StoreRig>();
        test_ = &rig_->test;
    }
    void cleanup() {
        const QStringList problems = rig_->problems();
        rig_.reset();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    void startsWithCaptionSizeAndBlackStartPanel() {
        TMainForm form(test_->platform(), *rig_->data);
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
        QVERIFY(!form.TreeView1->isVisible());
        QVERIFY(!form.Splitter1->isVisible());
        QVERIFY(!form.Analis->isVisible());
        QCOMPARE(panel->palette().color(QPalette::Window), QColor(Qt::black));
        QCOMPARE(panel->frameShadow(), QFrame::Sunken);
        QCOMPARE(panel->width(), form.width());
        const QImage shot = panel->grab().toImage();
        QCOMPARE(shot.pixelColor(shot.width() / 2, shot.height() / 2), QColor(Qt::black));
    }

    void menuCaptionsShortcutsAndInitialState() {
        TMainForm form(test_->platform(), *rig_->data);
        const struct {
            QAction* action;
            const char* caption;
            QKeySequence shortcut;
            bool enabled;
        } items[] = {
            {form.MCreate, "Со&здать", QKeySequence("Ctrl+N"), true},
            {form.MOpen, "&Открыть", QKeySequence("Ctrl+O"), true},
            {form.MSave, "&Сохранить", QKeySequence("Ctrl+S"), false},
            {form.MOpenFrom, "Открыть файл конфигурации…", QKeySequence("Ctrl+U"), true},
            {form.MSaveTo, "Записать в УСП&Д", QKeySequence("Ctrl+D"), false},
            {form.MExpToADO, "Экспорт в БД (ADO)", QKeySequence("F7"), false},
            {form.MSWord1, "Отчёт о конфигурации…", {}, false},
            {form.MExit, "&Выход", QKeySequence("Alt+F4"), true},
            {form.MAddIface, "Интерфейс", {}, true},
            {form.MAddUSO, "Модуль УСО", {}, true},
            {form.N6, "Аналоговый вход УСО", {}, true},
            {form.N7, "Аналоговый выход УСО", {}, true},
            {form.N10, "Счетный вход УСО", {}, true},
            {form.N2, "КВНА", {}, true},
            {form.N3, "Дискретный вход", {}, true},
            {form.N8, "Дискретный вход УСО", {}, true},
            {form.N5, "Дискретный выход", {}, true},
            {form.N9, "Дискретный выход УСО", {}, true},
            {form.N11, "Параметры связи", {}, true},
            {form.CheckConfig, "Проверить конфигурацию", {}, false},
            {form.MFrameLog, "Журнал обмена", {}, true},
            {form.N4, "Справка", {}, true},
            {form.MAbout, "&О программе", {}, true},
        };
        for (const auto& item : items) {
            QCOMPARE(item.action->text(), QString::fromUtf8(item.caption));
            QCOMPARE(item.action->shortcut(), item.shortcut);
            QCOMPARE(item.action->isEnabled(), item.enabled);
        }
        QStringList menus;
        for (QAction* menu : form.menuBar()->actions())
            menus << menu->text();
        QCOMPARE(menus, (QStringList{"&Файл", "&Добавить", "&Параметры", "По&мощь"}));
        QVERIFY(!form.MAdd->menuAction()->isEnabled());
        QVERIFY(!form.MParam->menuAction()->isEnabled());
        QVERIFY(form.MHelp->menuAction()->isEnabled());
        QCOMPARE(form.MAddChan->title(), QStringLiteral("Канал"));
        // The separators stand where the file menu has them.
        QStringList fileMenu;
        for (QAction* action : form.MFile->actions())
            fileMenu << (action->isSeparator() ? "-" : action->objectName());
        QCOMPARE(fileMenu, (QStringList{"MCreate", "MOpen", "MSave", "MOpenFrom", "-", "MSaveTo",
                                        "-", "MExpToADO", "MSWord1", "-", "MExit"}));
    }

    void treeHasFifteenFixedNodes() {
        TMainForm form(test_->platform(), *rig_->data);
        const QStringList texts{"Параметры УСПД",
                                "Интерфейсы",
                                "Встроенные модули",
                                "Обратный вызов",
                                "Внешние  модули",
                                "Каналы",
                                "Аналоговые входы УСО",
                                "Аналоговые выходы УСО",
                                "Счетные входы УСО",
                                "КВНА",
                                "Дискретные входы",
                                "Дискретные входы УСО",
                                "Дискретные выходы",
                                "Дискретные выходы УСО",
                                "Архивы"};
        const int parents[] = {-1, 0, 0, 0, -1, -1, 5, 5, 5, 5, 5, 5, 5, 5, -1};
        // Walking the tree in display order gives the absolute indexes.
        QList<QTreeWidgetItem*> inOrder;
        for (QTreeWidgetItemIterator it(form.TreeView1); *it; ++it)
            inOrder << *it;
        QCOMPARE(inOrder.size(), kTreeNodeCount);
        const auto node = [&form](int i) { return form.node(static_cast<TreeNode>(i)); };
        for (int i = 0; i < kTreeNodeCount; ++i) {
            QCOMPARE(inOrder[i], node(i));
            QCOMPARE(node(i)->text(0), texts[i]);
            QCOMPARE(node(i)->parent(), parents[i] < 0 ? nullptr : node(parents[i]));
            QVERIFY2(!node(i)->icon(0).isNull(), qPrintable(texts[i]));
            // The selected node's icon is drawn as it is, not tinted into the highlight.
            const QIcon icon = node(i)->icon(0);
            QCOMPARE(icon.pixmap(16, 16, QIcon::Selected).toImage(),
                     icon.pixmap(16, 16, QIcon::Normal).toImage());
        }
        QCOMPARE(form.node(TreeNode::Kbha)->text(0), QStringLiteral("КВНА"));
        QCOMPARE(form.node(TreeNode::Archives)->text(0), QStringLiteral("Архивы"));
    }

    // Leaving with a module pending and a value typed but not stored asks first.
    void closingAsksAboutUnsavedEdits_data() {
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<int>("stored");  // to_answer of the stored module, -1: none
        QTest::newRow("yes stores") << Answer::Yes << "250" << true << 250;
        QTest::newRow("no drops") << Answer::No << "250" << true << -1;
        QTest::newRow("cancel stays") << Answer::Cancel << "250" << false << -1;
        QTest::newRow("yes refused stays") << Answer::Yes << "40000" << false << -1;
    }
    void closingAsksAboutUnsavedEdits() {
        QFETCH(Answer, answer);
        QFETCH(QString, typed);
        QFETCH(bool, closed);
        QFETCH(int, stored);
        auto form = testing::openedForm(*rig_, rig_->addUspd("Котельная"));
        form->selectNode(TreeNode::Modules);
        form->DevConf->N1Click();
        DBEdit* timeout = form->DevConf->DBEdit2;
        timeout->setFocus();
        timeout->selectAll();
        testing::typeText(timeout, typed);
        test_->messages.expectQuestionWithCancel("Сохранить изменения?", answer);
        if (typed == "40000")
            test_->messages.expectNotice(
                "Значение «40000» недопустимо для поля «Таймаут ответа»: допустимы значения от "
                "0 до 32767");
        QCOMPARE(form->close(), closed);
        QCOMPARE(test_->messages.shown().front().caption, QStringLiteral("Подтверждение"));
        QSqlQuery query("select to_answer from SpecDevice", rig_->data->ADOConnection1.database());
        QCOMPARE(query.next() ? query.value(0).toInt() : -1, stored);
        if (!closed) {
            QCOMPARE(rig_->data->tblSpecDevice.state(), Dataset::State::Insert);
            // Nothing pending any more: the window closes without a question.
            rig_->data->tblSpecDevice.cancel();
            QVERIFY(form->close());
        }
        QCOMPARE(test_->messages.shown().size(), size_t(typed == "40000" ? 2 : 1));
    }

    // The findings list under the work area: a double click shows the row, writing asks first,
    // a clean check hides the list.
    void checkListsFindingsAndShowsTheirRows() {
        const int uspd = rig_->addUspd("Котельная");
        QSqlQuery query(rig_->data->ADOConnection1.database());
        for (const QString& sql :
             {QStringLiteral("insert into SpecInterFace (id_iface_s, port, t_iface, id_uspd) "
                             "values (10, 2, 2, %1)"),
              QStringLiteral("insert into SpecDevice (id_device, t_device, id_iface_s, "
                             "n_on_iface, fullname, id_uspd) values (20, 1, 10, 1, 'Первый', "
                             "%1), (21, 0, 10, 1, 'Второй', %1)"),
              QStringLiteral("insert into SpecAChannel (id_achannel, id_achannel_p, type_num, "
                             "id_device, name, n_channel, min_code, max_code, min_value, "
                             "max_value, emerg_val, coef_corr, act_corr, id_uspd) values (30, "
                             "0, 'G1', 77, 'Давление', 0, 0, 10, 0, 1, 0, 1, 0, %1)")}) {
            QVERIFY2(query.exec(sql.arg(uspd)), qPrintable(sql));
        }
        auto form = testing::openedForm(*rig_, uspd);
        QVERIFY(!form->Analis->isVisible());
        // The place shows what was asked for last: the frame log, then the findings.
        form->MFrameLog->trigger();
        QVERIFY(form->FrameLogView->isVisible());
        QVERIFY(!form->Analis->isVisible());
        QVERIFY(form->CheckConfig->isEnabled());
        form->CheckConfig->trigger();
        QVERIFY(form->Analis->isVisible());
        QVERIFY(!form->FrameLogView->isVisible());
        QVERIFY(!form->MFrameLog->isChecked());
        QCOMPARE(form->Analis->count(), 2);
        QVERIFY(form->Analis->item(0)->text().startsWith("ошибка: модуль Второй: номер 1"));
        QVERIFY(form->Analis->item(1)->text().startsWith("ошибка: канал G1 «Давление»"));

        const struct {
            int row;
            TreeNode node;
            Dataset* dataset;
            const char* key;
            int id;
        } rows[] = {
            {0, TreeNode::Modules, &rig_->data->tblSpecDevice, "id_device", 21},
            {1, TreeNode::AnalogInputs, &rig_->data->tblSpecAChannel, "id_achannel", 30},
        };
        for (const auto& row : rows) {
            form->selectNode(TreeNode::Archives);
            QWidget* viewport = form->Analis->viewport();
            const QRect rect = form->Analis->visualItemRect(form->Analis->item(row.row));
            QTest::mouseClick(viewport, Qt::LeftButton, {}, rect.center());
            QTest::mouseDClick(viewport, Qt::LeftButton, {}, rect.center());
            QCOMPARE(form->selectedNode(), row.node);
            QCOMPARE(row.dataset->fieldByName(QString::fromLatin1(row.key)).asInteger(), row.id);
        }

        // "Нет" leaves the connection dialog unshown.
        test_->messages.expectQuestion(TMainForm::kAskWriteWithErrors, false);
        form->MSaveTo->trigger();
        QVERIFY(!form->PortConfig->isVisible());

        QVERIFY(query.exec("delete from SpecDevice where id_device=21"));
        QVERIFY(query.exec("update SpecAChannel set id_device=20 where id_achannel=30"));
        test_->messages.expectNotice(TMainForm::kNoFindings);
        form->CheckConfig->trigger();
        QVERIFY(!form->Analis->isVisible());
        QCOMPARE(form->Analis->count(), 0);

        // A clean check leaves the frame log where it is; unchecking the item closes the place.
        form->MFrameLog->trigger();
        test_->messages.expectNotice(TMainForm::kNoFindings);
        form->CheckConfig->trigger();
        QVERIFY(form->FrameLogView->isVisible());
        QVERIFY(!form->Analis->isVisible());
        form->MFrameLog->trigger();
        QVERIFY(!form->FrameLogView->isVisible());
        QVERIFY(!form->Splitter2->isVisible());
    }

    // "Открыть файл конфигурации…": the chosen image becomes a new USPD, opened as the
    // selection dialog's "OK" opens one; a file that is not an image is refused with the
    // reason and the USPD that was open stays open; a cancelled dialog does nothing.
    void openingAConfigurationFileOpensItAsANewUspd() {
        Image image;
        image.interfaces = {{.speed = 9600, .port = 1, .t_iface = 1, .data = 8, .stop = 1}};
        image.modules = {{.n_on_iface = 4, .t_device = 0, .col_achannel = 1}};
        image.analogInputs = {{.min_code = 4, .max_code = 20, .emerg_val = -1, .n_channel = 0}};
        image.setSectionCounts();
        image.header.col_amod = 1;
        image.setChannelMaxima();
        image.interfaces[0].col_device = 1;
        const QString imagePath = test_->dir() + "/Котельная.dat";
        const QString textPath = test_->dir() + "/notes.txt";
        for (const auto& [path, bytes] : {std::pair{imagePath, encodeImage(image)},
                                          std::pair{textPath, QByteArray("not an image")}}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        const int uspd = rig_->addUspd("Склад");
        auto form = testing::openedForm(*rig_, uspd);
        TDataModule1& data = *rig_->data;
        const QString opened = form->windowTitle();
        const auto uspdCount = [&] {
            QSqlQuery query("select count(*) from USPD", data.ADOConnection1.database());
            return query.next() ? query.value(0).toInt() : -1;
        };

        form->chooseImageFile = [] { return QString(); };
        form->MOpenFrom->trigger();
        QCOMPARE(uspdCount(), 1);
        QCOMPARE(test_->messages.shown().size(), size_t(0));

        form->chooseImageFile = [&]() -> const QString& { return textPath; };
        test_->messages.expectNotice(decodeImage("not an image").error);
        form->MOpenFrom->trigger();
        QCOMPARE(uspdCount(), 1);
        QCOMPARE(data.currentUspd(), uspd);
        QCOMPARE(form->windowTitle(), opened);

        form->chooseImageFile = [&]() -> const QString& { return imagePath; };
        form->MOpenFrom->trigger();
        QCOMPARE(uspdCount(), 2);
        QVERIFY(data.currentUspd() != uspd);
        QCOMPARE(form->windowTitle(), TMainForm::kCaption + QStringLiteral(" - Котельная.dat - "));
        QVERIFY(form->TreeView1->isVisible());
        QVERIFY(form->MSaveTo->isEnabled());
        QCOMPARE(data.tblSpecDevice.recordCount(), 1);
        QCOMPARE(data.tblSpecDevice.fieldByName(u"n_on_iface").asInteger(), 4);
        QCOMPARE(data.tblSpecAChannel.recordCount(), 1);
        QCOMPARE(data.tblSpecAChannel.fieldByName(u"id_device").value(),
                 data.tblSpecDevice.fieldByName(u"id_device").value());
        // The analog inputs' module list is the new USPD's.
        QVERIFY(data.DADevice.statement().endsWith("=" + QString::number(data.currentUspd())));

        // A byte no compilation writes: the image is opened, and the byte is named.
        QByteArray odd = encodeImage(image);
        odd[26] = 7;  // the header's reserved word
        {
            QFile file(imagePath);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(odd);
        }
        const QStringList warnings = decodeImage(odd).warnings;
        QCOMPARE(warnings.size(), 1);
        test_->messages.expectNotice(
            QStringLiteral(
                "В файле есть байты, которых программа в образ не записывает. В новом УСПД их нет: "
                "при записи в УСПД на их месте будет то, что записывает программа.\n") +
            warnings.front());
        form->MOpenFrom->trigger();
        QCOMPARE(uspdCount(), 3);
        QCOMPARE(data.tblSpecDevice.recordCount(), 1);
    }

    // "Отчёт о конфигурации…": the chosen file gets the open USPD's report in the format of its
    // extension and is handed to the viewer; a cancelled dialog does nothing, an unknown
    // extension and an unwritable file are refused in a box and nothing is opened.
    void reportIsWrittenAndOpened() {
        const int uspd = rig_->addUspd("Склад");
        auto form = testing::openedForm(*rig_, uspd);
        QVERIFY(form->MSWord1->isEnabled());
        QList<QUrl> opened;
        form->openReport = [&](const QUrl& url) { opened.append(url); };

        form->chooseReportFile = [] { return QString(); };
        form->MSWord1->trigger();
        QVERIFY(opened.isEmpty());

        const QString unknown = test_->dir() + "/отчёт.doc";
        form->chooseReportFile = [&]() -> const QString& { return unknown; };
        test_->messages.expectNotice(
            QStringLiteral(
                "Формат файла «%1» не известен: отчёт пишется в файлы .odt, .pdf и .html")
                .arg(QDir::toNativeSeparators(unknown)));
        form->MSWord1->trigger();
        QVERIFY(opened.isEmpty());
        QVERIFY(!QFile::exists(unknown));

        const QString unwritable = test_->dir() + "/нет/отчёт.html";
        form->chooseReportFile = [&]() -> const QString& { return unwritable; };
        test_->messages.expectNotice(
            QStringLiteral("Не удалось записать отчёт в файл %1: No such file or directory")
                .arg(unwritable));
        form->MSWord1->trigger();
        QVERIFY(opened.isEmpty());

        const QString path = test_->dir() + "/отчёт.html";
        form->chooseReportFile = [&]() -> const QString& { return path; };
        form->MSWord1->trigger();
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(path)});
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        QVERIFY(html.contains("Склад"));
        QVERIFY(html.contains("CRC-16 config.dat"));
    }

    // "Отмена" in the report's progress window ends the writing: no file, no box, no viewer,
    // and a report written before stays as it was.
    void cancelledReportLeavesNoFile() {
        const int uspd = rig_->addUspd("Склад");
        QSqlQuery query(rig_->data->ADOConnection1.database());
        QVERIFY(
            query.prepare("insert into SpecEmDChannel (id_dchannel, id_dchannel_p, type_num, "
                          "name, id_uspd) values (?, ?, ?, ?, ?)"));
        for (int i = 0; i < 250; ++i) {
            query.addBindValue(i + 1);
            query.addBindValue(i);
            query.addBindValue(QStringLiteral("K%1").arg(i + 1));
            query.addBindValue(QStringLiteral("Вход %1").arg(i + 1));
            query.addBindValue(uspd);
            QVERIFY(query.exec());
        }
        auto form = testing::openedForm(*rig_, uspd);
        QList<QUrl> opened;
        form->openReport = [&](const QUrl& url) { opened.append(url); };
        for (const char* name : {"/отчёт.pdf", "/отчёт.odt", "/старый.pdf"}) {
            const QString path = test_->dir() + QString::fromUtf8(name);
            const bool existed = QString::fromUtf8(name).contains("старый");
            if (existed) {
                QFile old(path);
                QVERIFY(old.open(QIODevice::WriteOnly));
                old.write("old");
            }
            form->chooseReportFile = [&]() -> const QString& { return path; };
            // Cancels as soon as the window first lets events through.
            QTimer::singleShot(0, form.get(), [&] {
                auto* window = form->findChild<ReportProgressWindow*>();
                QVERIFY(window);
                window->cancel();
            });
            form->MSWord1->trigger();
            QVERIFY2(opened.isEmpty(), name);
            QCOMPARE(QFile::exists(path), existed);
            if (existed) {
                QFile old(path);
                QVERIFY(old.open(QIODevice::ReadOnly));
                QCOMPARE(old.readAll(), QByteArray("old"));
            }
            QVERIFY(form->findChild<ReportProgressWindow*>() == nullptr);
        }
        QCOMPARE(QDir(test_->dir()).entryList({"*.pdf*", "*.odt*"}, QDir::Files),
                 QStringList{"старый.pdf"});
    }

    void selectingANodeShowsOnlyItsEditor() {
        TMainForm form(test_->platform(), *rig_->data);
        auto* interfaces = new QLabel("interfaces");
        auto* modules = new QLabel("modules");
        form.setEditor(TreeNode::Interfaces, interfaces);
        form.setEditor(TreeNode::Modules, modules);
        form.show();
        form.showUspdLayout(true);
        QVERIFY(!form.startPanel()->isVisible());
        QVERIFY(form.TreeView1->isVisible());

        form.selectNode(TreeNode::Interfaces);
        QVERIFY(interfaces->isVisible());
        QVERIFY(!modules->isVisible());
        form.selectNode(TreeNode::Modules);
        QVERIFY(!interfaces->isVisible());
        QVERIFY(modules->isVisible());
        for (TreeNode empty :
             {TreeNode::UspdParameters, TreeNode::Channels, TreeNode::AnalogOutputs}) {
            form.selectNode(TreeNode::Modules);
            form.selectNode(empty);
            QVERIFY2(!interfaces->isVisible() && !modules->isVisible(), "work area is empty");
        }
        // "Аналоговый выход УСО" only selects its node.
        form.selectNode(TreeNode::UspdParameters);
        form.N7->trigger();
        QCOMPARE(form.selectedNode(), std::optional{TreeNode::AnalogOutputs});

        form.selectNode(TreeNode::Modules);
        form.showUspdLayout(false);
        QVERIFY(form.startPanel()->isVisible());
        QVERIFY(!modules->isVisible());
    }

    void linkParametersLoadedWhenFirstShown() {
        test_->settings().writeInteger("PakLen", 512);
        test_->settings().writeString("TOAnswer", "abc");
        TMainForm form(test_->platform(), *rig_->data);
        form.show();
        QCOMPARE(form.linkSettings().PakLen, 512);
        QCOMPARE(form.linkSettings().TOAnswer, 2000);
    }

    void linkParametersDialogUpdatesTheCopiesInUse() {
        TMainForm form(test_->platform(), *rig_->data);
        form.show();
        QTimer::singleShot(0, form.m_CParam, [&form] {
            form.m_CParam->edPakLen->setText("100");
            QTest::mouseClick(form.m_CParam->OKBtn, Qt::LeftButton);
        });
        form.N11->trigger();
        QCOMPARE(form.linkSettings().PakLen, 100);
        QCOMPARE(test_->settings().readInteger("PakLen", 0), 100);
    }

    // F7 shows the export window modally on its connection page with the stored string.
    void exportCommandShowsTheExportWindow() {
        auto form = testing::openedForm(*rig_, rig_->addUspd("Котельная"));
        const QString stored = QStringLiteral("DRIVER=SQLite3;Database=dispatch.db");
        test_->settings().writeString(DispatchDatabase::kConnectString, stored);
        TfrmExpToDB* window = form->frmExpToDB;
        bool ran = false;
        QTimer::singleShot(0, window, [&] {
            ran = true;
            QVERIFY(window->isVisible());
            QVERIFY(window->isModal());
            QCOMPARE(window->windowTitle(), QStringLiteral("Экспорт каналов в базу данных"));
            QVERIFY(window->ConnectParam1->isVisible());
            QCOMPARE(window->ConnectParam1->Edit1->text(), stored);
            QVERIFY(!window->ConnectParam1->Button2->isEnabled());
            window->ConnectParam1->Button1->click();
        });
        QTest::keyClick(form.get(), Qt::Key_F7);
        QVERIFY(ran);
        QVERIFY(!window->isVisible());
    }

    void aboutBoxLinksLightUpUnderThePointer() {
        TAboutBox box;
        box.show();
        QLabel* email = box.emailLink();
        QCOMPARE(box.windowTitle(), QStringLiteral("О программе"));
        QCOMPARE(email->palette().color(QPalette::WindowText), QColor(0, 0, 128));
        QVERIFY(!email->font().underline());
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(email, &enter);
        QCOMPARE(email->palette().color(QPalette::WindowText), QColor(Qt::blue));
        QVERIFY(email->font().underline());
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(email, &leave);
        QVERIFY(!email->font().underline());
        QCOMPARE(TAboutBox::mailUrl(),
                 QStringLiteral("mailto:") + TAboutBox::kEmail + "?subject=Support ORVET-4410");
    }

private:
    std::unique_ptr<testing::StoreRig> rig_;
    testing::TestPlatform* test_ = nullptr;
};

}  // namespace orvet

QTEST_MAIN(orvet::MainWindowTest)
#include "main_window_test.moc"
