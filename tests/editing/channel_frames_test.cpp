#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QRadioButton>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

#include "editing/module_operations.h"
#include "editing/ui/channel_frames.h"
#include "editing/ui/main_window.h"
#include "image/compiler.h"
#include "store/ui/field_controls.h"
#include "support/store_rig.h"
#include "widget_helpers.h"

namespace orvet {

using testing::chooseInList;
using testing::typeText;

// The channel editors in the main window, over a USPD with one line and three modules: a
// mixed module (analog inputs, discrete inputs and outputs), a counter and a KBHA module.
class ChannelFramesTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        rig_ = std::make_unique<testing::StoreRig>();
        uspd_ = rig_->addUspd("Котельная");
        TDataModule1& data = *rig_->data;
        data.openDatasets();
        Dataset& ifaces = data.tblSpecInterFace;
        for (int port : {1, 2}) {
            ifaces.append();
            ifaces.fieldByName(u"port").setAsInteger(port);
            ifaces.post();
        }
        const int com2 = ifaces.fieldByName(u"id_iface_s").asInteger();
        data.refreshModuleLists();
        const std::pair<int, int> modules[] = {{6, 4}, {5, 2}, {7, 3}};
        for (const auto& [type, number] : modules) {
            addModule(data.tblSpecDevice);
            data.tblSpecDevice.fieldByName(u"t_device").setAsInteger(type);
            data.tblSpecDevice.fieldByName(u"id_iface_s").setAsInteger(com2);
            data.tblSpecDevice.fieldByName(u"n_on_iface").setAsInteger(number);
            // The interface's position, as the last compilation numbered it.
            data.tblSpecDevice.fieldByName(u"id_iface").setAsInteger(1);
            updateModuleIdentity(data);
        }
        form_ = testing::openedForm(*rig_, uspd_);
    }
    void cleanup() {
        const QStringList problems = testing::closeAll(form_, rig_);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    // Every item of "Добавить" → "Канал" shows its editor with a new pending channel.
    void addItemsShowTheirEditorWithANewChannel_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("node");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("name");
        const auto row = [](const char* item, TreeNode node, const char* table, const char* number,
                            const char* name) {
            QTest::newRow(item) << item << int(node) << table << number << QString::fromUtf8(name);
        };
        row("N6", TreeNode::AnalogInputs, "SpecAChannel", "G1", "Аналоговый вход УСО");
        row("N10", TreeNode::CountingInputs, "SpecNIChannel", "C1", "Счетный вход УСО");
        row("N2", TreeNode::Kbha, "SpecKBHA", "B1", "КВНА");
        row("N3", TreeNode::DiscreteInputs, "SpecEmDChannel", "K1", "Дискретный вход");
        row("N8", TreeNode::ModuleDiscreteInputs, "SpecDChannel", "E1", "Дискретный вход УСО");
        row("N5", TreeNode::DiscreteOutputs, "SpecEmDOChannel", "R1", "Дискретный выход");
        row("N9", TreeNode::ModuleDiscreteOutputs, "SpecDOChannel", "L1", "Дискретный выход УСО");
    }
    void addItemsShowTheirEditorWithANewChannel() {
        QFETCH(QString, item);
        QFETCH(int, node);
        QFETCH(QString, table);
        QFETCH(QString, number);
        QFETCH(QString, name);
        form_->selectNode(TreeNode::UspdParameters);
        auto* add = form_->MAddChan->findChild<QAction*>(item);
        QVERIFY(add);
        add->trigger();
        QCOMPARE(form_->selectedNode(), std::optional{TreeNode(node)});
        auto* frame = qobject_cast<TChannelFrame*>(form_->editor(TreeNode(node)));
        QVERIFY(frame && frame->isVisible());
        QVERIFY(frame->DBGrid1->hasFocus());
        QVERIFY(frame->GroupBox1->isEnabled());
        QCOMPARE(frame->DBEdit1->text(), name);
        QCOMPARE(grid(frame, 0, 1), number);
        QCOMPARE(stored("select count(*) from " + table).toInt(), 0);  // pending

        // Save stores it, as the editor shows it.
        form_->MSave->trigger();
        QCOMPARE(stored("select type_num || ' ' || name from " + table).toString(),
                 number + ' ' + name);
    }

    // "Аналоговый выход УСО" only shows the placeholder, which offers nothing.
    void analogOutputsAreAPlaceholder() {
        form_->N7->trigger();
        QCOMPARE(form_->selectedNode(), std::optional{TreeNode::AnalogOutputs});
        QVERIFY(form_->AOChannel->isVisible());
        QCOMPARE(form_->AOChannel->Label1->text(), QStringLiteral("Пока не доступно"));
        QVERIFY(!form_->AOChannel->Label1->isEnabled());
        QVERIFY(form_->AOChannel->findChildren<QAction*>().isEmpty());
        form_->MSave->trigger();  // nothing to save, nothing shown
    }

    void menusHaveTheirItemsAndKeys_data() {
        QTest::addColumn<int>("node");
        QTest::addColumn<QStringList>("items");
        const QStringList csv = {"", "Экспорт в CSV…", "Импорт из CSV…"};
        const QStringList module =
            QStringList{"Добавить канал УСО", "Удалить канал УСО", "", "Сжать группу каналов"} +
            csv;
        const QStringList plain =
            QStringList{"Добавить канал", "Удалить канал", "", "Сжать группу каналов"} + csv;
        QTest::newRow("analog") << int(TreeNode::AnalogInputs) << module;
        QTest::newRow("discrete") << int(TreeNode::ModuleDiscreteInputs) << module;
        QTest::newRow("outputs") << int(TreeNode::ModuleDiscreteOutputs) << module;
        QTest::newRow("board in") << int(TreeNode::DiscreteInputs) << plain;
        QTest::newRow("board out") << int(TreeNode::DiscreteOutputs) << plain;
        QTest::newRow("counting") << int(TreeNode::CountingInputs) << plain;
        QTest::newRow("kbha") << int(TreeNode::Kbha) << plain;
    }
    void menusHaveTheirItemsAndKeys() {
        QFETCH(int, node);
        QFETCH(QStringList, items);
        auto* frame = channelFrame(TreeNode(node));
        QStringList texts;
        for (QAction* action : frame->PopupMenu1->actions())
            texts << action->text();
        QCOMPARE(texts, items);
        form_->selectNode(TreeNode(node));
        frame->DBGrid1->setFocus();
        QTest::keyClick(frame->DBGrid1, Qt::Key_Insert);
        QCOMPARE(frame->DBGrid1->model()->rowCount(), 1);
        QTest::keyClick(frame->DBGrid1, Qt::Key_Insert);  // posts the first
        QCOMPARE(frame->DBGrid1->model()->rowCount(), 2);
        QCOMPARE(grid(frame, 1, 1).mid(1), QStringLiteral("2"));
    }

    void deleteAsksWithNumberAndName_data() {
        QTest::addColumn<int>("node");
        QTest::addColumn<QString>("question");
        QTest::newRow("analog") << int(TreeNode::AnalogInputs)
                                << "Удалить аналоговый канал?\nG1 - Аналоговый вход УСО";
        QTest::newRow("discrete") << int(TreeNode::ModuleDiscreteInputs)
                                  << "Удалить дискретный канал?\nE1 - Дискретный вход УСО";
        QTest::newRow("board in") << int(TreeNode::DiscreteInputs)
                                  << "Удалить дискретный канал?\nK1 - Дискретный вход";
        QTest::newRow("outputs") << int(TreeNode::ModuleDiscreteOutputs)
                                 << "Удалить дискретный выходной канал?\nL1 - Дискретный выход УСО";
        QTest::newRow("board out") << int(TreeNode::DiscreteOutputs)
                                   << "Удалить дискретный выходной канал?\nR1 - Дискретный выход";
        QTest::newRow("counting") << int(TreeNode::CountingInputs)
                                  << "Удалить счетный канал?\nC1 - Счетный вход УСО";
        QTest::newRow("kbha") << int(TreeNode::Kbha) << "Удалить канал ВНА?\nB1 - КВНА";
    }
    void deleteAsksWithNumberAndName() {
        QFETCH(int, node);
        QFETCH(QString, question);
        auto* frame = channelFrame(TreeNode(node));
        form_->selectNode(TreeNode(node));
        frame->deleteClick();  // an empty list: nothing is asked
        frame->addClick();
        form_->MSave->trigger();
        rig_->test.messages.expectQuestion(question, false);
        frame->deleteClick();
        QCOMPARE(frame->DBGrid1->model()->rowCount(), 1);
        rig_->test.messages.expectQuestion(question, true);
        frame->DBGrid1->setFocus();
        QTest::keyClick(frame->DBGrid1, Qt::Key_Delete);
        QCOMPARE(frame->DBGrid1->model()->rowCount(), 0);
        QVERIFY(!frame->GroupBox1->isEnabled());
    }

    // Numbers count the stored channels; Compress makes them dense again, in creation order.
    void compressRenumbersInOrderOfCreation() {
        auto* frame = form_->AChannel;
        form_->selectNode(TreeNode::AnalogInputs);
        for (int i = 0; i < 3; ++i)
            frame->addClick();
        form_->MSave->trigger();
        frame->DBGrid1->selectRow(1);
        rig_->test.messages.expectQuestion("Удалить аналоговый канал?\nG2 - Аналоговый вход УСО",
                                           true);
        frame->deleteClick();
        frame->addClick();
        form_->MSave->trigger();
        QCOMPARE(column(frame, 1), QStringList({"G1", "G3", "G3"}));
        frame->Compress->trigger();
        QCOMPARE(column(frame, 1), QStringList({"G1", "G2", "G3"}));
        QCOMPARE(storedColumn("select id_achannel_p from SpecAChannel order by id_achannel"),
                 QStringList({"0", "1", "2"}));
        QCOMPARE(frame->DBGrid1->currentIndex().row(), 0);

        // A channel just added, its name typed, is part of the group it compresses.
        frame->addClick();
        frame->DBEdit1->setFocus();
        frame->DBEdit1->selectAll();
        typeText(frame->DBEdit1, "Расход");
        frame->Compress->trigger();
        QCOMPARE(column(frame, 1), QStringList({"G1", "G2", "G3", "G4"}));
        QCOMPARE(stored("select name from SpecAChannel where type_num='G4'").toString(),
                 QStringLiteral("Расход"));
    }

    // The group goes to a CSV file and comes back as added channels; a channel still being
    // typed is stored first; a file the store cannot take is refused whole with its line.
    void csvExportAndImportTheGroup() {
        auto* frame = form_->KBHA;
        form_->selectNode(TreeNode::Kbha);
        frame->addClick();
        frame->addClick();
        frame->DBEdit1->setFocus();
        frame->DBEdit1->selectAll();
        typeText(frame->DBEdit1, "Задвижка; \"Ю\"");
        const QString path = rig_->test.dir() + "/b.csv";
        frame->chooseCsvFile = [&path](bool) { return QString(path); };
        frame->csvExport->trigger();
        QCOMPARE(stored("select count(*) from SpecKBHA").toInt(), 2);

        rig_->test.messages.expectNotice("Добавлено каналов: 2");
        frame->csvImport->trigger();
        QCOMPARE(column(frame, 1), QStringList({"B1", "B2", "B1", "B2"}));
        QCOMPARE(stored("select count(*) from SpecKBHA where name='Задвижка; \"Ю\"'").toInt(), 2);

        QFile bad(path);
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("name;n_channel\nА;1\nБ;много\n");
        bad.close();
        frame->csvImport->trigger();
        QCOMPARE(frame->DBGrid1->model()->rowCount(), 4);
        QVERIFY(rig_->test.messages.shown().back().text.startsWith(
            QStringLiteral("Строка 3, столбец «n_channel»")));
        rig_->test.messages.clear();

        frame->chooseCsvFile = [](bool) { return QString(); };  // cancelled
        frame->csvImport->trigger();
        QCOMPARE(frame->DBGrid1->model()->rowCount(), 4);
    }

    // The analog input panel follows the selected row: ranges with a conversion, the
    // coefficient with an action, the weight with filtering, the limits with a callback.
    void analogPanelFollowsTheRow() {
        auto* frame = form_->AChannel;
        form_->N6->trigger();
        QCOMPARE(frame->sbAct->text(), QStringLiteral("..."));
        QCOMPARE(frame->sbAct->toolTip(), QStringLiteral("Нет"));
        QVERIFY(!frame->DBCorr->isEnabled());
        expectEnabled({frame->DBMinCode, frame->DBMaxCode, frame->DBMinVal, frame->DBMaxVal},
                      false);
        QCOMPARE(frame->DBMinCode->text(), QStringLiteral("4"));
        QCOMPARE(frame->DBMaxCode->text(), QStringLiteral("20"));
        QVERIFY(!frame->DBWeight->isEnabled());
        QVERIFY(!frame->limits->isVisible());
        QVERIFY(frame->emergency->isVisible() && !frame->DBEdit7->isEnabled());
        QCOMPARE(frame->DBEdit7->text(), QStringLiteral("-1"));

        chooseInList(frame->DBlpTypeTransf, "Линейное");
        expectEnabled({frame->DBMinCode, frame->DBMaxCode, frame->DBMinVal, frame->DBMaxVal}, true);
        for (QLabel* label : frame->rangeLabels)
            QVERIFY(label->isEnabled());
        QCOMPARE(grid(frame, 0, 4), QStringLiteral("Линейное"));
        chooseInList(frame->DBlpTypeTransf, "Нет");
        QVERIFY(!frame->DBMaxVal->isEnabled());
        QVERIFY(!frame->rangeLabels[3]->isEnabled());

        frame->DBCheckBox2->click();
        QVERIFY(frame->DBWeight->isEnabled());
        QCOMPARE(frame->DBWeight->text(), QStringLiteral("90"));
        frame->DBCheckBox2->click();
        QVERIFY(!frame->DBWeight->isEnabled());
        frame->DBCheckBox3->click();
        QVERIFY(frame->limits->isVisible());
        frame->DBCheckBox3->click();
        QVERIFY(!frame->limits->isVisible());

        // The correction menu: codes 0 to 4; "Разделить" gives the divisor 1.
        const QStringList captions = {"...", "+", "-", "*", "/"};
        const QStringList items = {"Нет", "Прибавить", "Вычесть", "Умножить", "Разделить"};
        QCOMPARE(frame->correctionItems.size(), qsizetype(5));
        for (int code : {1, 2, 4, 3, 0}) {
            QCOMPARE(frame->correctionItems[code]->text(), items[code]);
            frame->correctionItems[code]->trigger();
            QCOMPARE(frame->sbAct->text(), captions[code]);
            QCOMPARE(frame->sbAct->toolTip(), items[code]);
            QCOMPARE(frame->DBCorr->isEnabled(), code != 0);
            QCOMPARE(stored("select act_corr from SpecAChannel").toInt(), code);
        }
        QCOMPARE(stored("select coef_corr from SpecAChannel").toDouble(), 1.0);
    }

    // A divisor of 0 is refused when the focus leaves the conversion group, not before.
    void divisionByZeroIsRefusedOnLeavingTheGroup() {
        auto* frame = form_->AChannel;
        form_->N6->trigger();
        frame->correctionItems[4]->trigger();
        frame->DBCorr->setFocus();
        frame->DBCorr->selectAll();
        typeText(frame->DBCorr, "0,25");
        frame->DBlpTypeTransf->setFocus();  // inside the group: nothing checked yet
        Dataset& channels = rig_->data->tblSpecAChannel;
        QCOMPARE(channels.fieldByName(u"coef_corr").asFloat(), 0.25);
        frame->DBEdit1->setFocus();
        QCOMPARE(channels.fieldByName(u"act_corr").asInteger(), 4);

        frame->DBCorr->setFocus();
        frame->DBCorr->selectAll();
        typeText(frame->DBCorr, "0");
        frame->DBlpTypeTransf->setFocus();
        QVERIFY(rig_->test.messages.shown().empty());
        rig_->test.messages.expectNotice("Деление на ноль");
        frame->DBEdit1->setFocus();
        QCOMPARE(rig_->test.messages.shown().back().caption, QStringLiteral("Ошибка"));
        QCOMPARE(rig_->test.messages.shown().size(), size_t(1));
        QCOMPARE(stored("select act_corr from SpecAChannel").toInt(), 0);
        QCOMPARE(stored("select coef_corr from SpecAChannel").toDouble(), 0.0);
        QCOMPARE(frame->sbAct->text(), QStringLiteral("..."));
    }

    // Choosing a module copies its identity; its channels and their descriptions follow.
    void moduleChoiceCopiesTheIdentity() {
        auto* frame = form_->AChannel;
        form_->N6->trigger();
        QCOMPARE(frame->DBLookupComboBox1->count(), 1);  // only the mixed module has inputs
        // Without a module there are no module channels to offer.
        QVERIFY(!frame->DBLookupComboBox4->isEnabled());
        QCOMPARE(frame->DBLookupComboBox4->currentIndex(), -1);
        QCOMPARE(frame->DBText1->text(), QString());
        chooseInList(frame->DBLookupComboBox1, "Смешанный, на COM2, №4");
        QCOMPARE(storedRow("select t_device, num_iface, numdevice, id_device from SpecAChannel"),
                 QStringList({"6", "1", "4", moduleId(6)}));
        chooseInList(frame->DBLookupComboBox4, "Аналоговый вход 2");
        QVERIFY(frame->DBLookupComboBox4->isEnabled());
        QCOMPARE(frame->DBLookupComboBox4->count(), 4);
        QCOMPARE(stored("select n_channel from SpecAChannel").toInt(), 1);
        QCOMPARE(frame->DBText1->text(), QStringLiteral("Аналог. вход 2"));

        chooseInList(frame->DBLookupComboBox2, "мА");
        QCOMPARE(stored("select n_u_measure from SpecAChannel").toString(), QStringLiteral("мА"));
        // The next channel has no module yet: its module's channels are not offered.
        frame->addClick();
        QVERIFY(!frame->DBLookupComboBox4->isEnabled());
        QCOMPARE(frame->DBLookupComboBox4->currentIndex(), -1);
        QCOMPARE(frame->DBText1->text(), QString());
        frame->DBGrid1->selectRow(0);
        QCOMPARE(frame->DBLookupComboBox4->currentText(), QStringLiteral("Аналоговый вход 2"));

        auto* kbha = form_->KBHA;
        form_->N2->trigger();
        // Chosen with the arrow key, the list closed.
        kbha->DBLookupComboBox1->setFocus();
        QSignalSpy closeUp(kbha->DBLookupComboBox1, &DBLookupComboBox::closeUp);
        QTest::keyClick(kbha->DBLookupComboBox1, Qt::Key_Down);
        QVERIFY(closeUp.wait(1000));
        QCOMPARE(kbha->DBLookupComboBox1->currentText(), QStringLiteral("КВНА-4, на COM2, №3"));
        QCOMPARE(storedRow("select t_device, num_iface, numdevice from SpecKBHA"),
                 QStringList({"7", "1", "3"}));
        QVERIFY(kbha->DBLookupComboBox2->count() > 0);
    }

    // The output editor's panel is disabled without a channel and enabled by the add command.
    void outputPanelNeedsAChannel() {
        auto* frame = form_->DOChannel;
        form_->selectNode(TreeNode::ModuleDiscreteOutputs);
        QVERIFY(!frame->DBEdit1->isEnabled());
        QVERIFY(!frame->DBLookupComboBox1->isEnabled());
        QVERIFY(!frame->DBCheckBox1->isEnabled());
        frame->addClick();
        QVERIFY(frame->DBEdit1->isEnabled());
        QVERIFY(frame->DBLookupComboBox1->isEnabled());
        QVERIFY(frame->DBCheckBox1->isEnabled());
        QVERIFY(!frame->initialState->isEnabled());
        QVERIFY(!frame->initialLabel->isEnabled());
        // The archive box stores its click at once.
        frame->DBCheckBox1->click();
        QCOMPARE(stored("select archive from SpecDOChannel").toInt(), 1);
        QCOMPARE(grid(frame, 0, 3), QStringLiteral("Да"));
    }

    // An on-board input: the board's values, its callback events shown with the box and
    // never changeable, its archive box never enabled.
    void onboardInputHasTheBoardsValues() {
        auto* frame = form_->EmDChannel;
        form_->N3->trigger();
        form_->MSave->trigger();
        QCOMPARE(storedRow("select t_device, num_iface, numdevice, cbevent, jingle_time, "
                           "id_dchannel_p from SpecEmDChannel"),
                 QStringList({"15", "-1", "-1", "3", "100", "0"}));
        QVERIFY(!frame->DBLookupComboBox1);
        // The board's inputs, from the start.
        QCOMPARE(frame->DBLookupComboBox2->count(), 8);
        QCOMPARE(frame->DBLookupComboBox2->currentText(), QStringLiteral("Встроенный вход 1"));
        QVERIFY(!frame->DBCheckBox1->isEnabled());
        QVERIFY(frame->DBCheckBox2->isEnabled());
        QVERIFY(!frame->DBRadioGroup1->isVisible());
        frame->DBCheckBox3->click();
        QVERIFY(frame->DBRadioGroup1->isVisible());
        QVERIFY(!frame->DBRadioGroup1->isEnabled());
        const auto buttons = frame->DBRadioGroup1->findChildren<QRadioButton*>();
        QCOMPARE(buttons.size(), qsizetype(3));
        QVERIFY(buttons[2]->isChecked() && buttons[2]->text() == QStringLiteral("Все"));
        frame->DBCheckBox3->click();
        QVERIFY(!frame->DBRadioGroup1->isVisible());

        frame->DBCheckBox2->click();
        form_->MSave->trigger();
        QCOMPARE(grid(frame, 0, 4), QStringLiteral("Да"));
    }

    // A value its field refuses keeps the row in editing with what else was typed, and the
    // message names the label on screen.
    void refusedValueKeepsTheRowInEditing_data() {
        QTest::addColumn<int>("node");
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("label");
        QTest::newRow("not a number") << int(TreeNode::AnalogInputs) << "DBMaxVal"
                                      << "1e"
                                      << "1e"
                                      << "Максимум величины";
        QTest::newRow("a letter") << int(TreeNode::AnalogInputs) << "DBEdit8"
                                  << "x5"
                                  << "5"
                                  << "";
        QTest::newRow("debounce") << int(TreeNode::DiscreteInputs) << "DBEdit2"
                                  << "20000"
                                  << "20000"
                                  << "Время дребезга";
    }
    void refusedValueKeepsTheRowInEditing() {
        QFETCH(int, node);
        QFETCH(QString, edit);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QString, label);
        auto* frame = channelFrame(TreeNode(node));
        form_->selectNode(TreeNode(node));
        frame->addClick();
        Dataset& channels = dataset(TreeNode(node));
        if (auto* conversion = frame->findChild<QComboBox*>("DBlpTypeTransf"))
            chooseInList(static_cast<DBLookupComboBox*>(conversion), "Линейное");
        if (auto* callback = frame->findChild<QCheckBox*>("DBCheckBox3"))
            callback->click();
        frame->DBEdit1->setFocus();
        frame->DBEdit1->selectAll();
        typeText(frame->DBEdit1, "Насос 1");
        auto* number = frame->findChild<DBEdit*>(edit);
        QVERIFY(number && number->isEnabled());
        number->setFocus();
        number->selectAll();
        typeText(number, typed);
        QCOMPARE(number->text(), shown);
        if (label.isEmpty())
            return;  // the letter was not taken
        rig_->test.messages.allowNotices();
        frame->DBEdit1->setFocus();
        QCOMPARE(rig_->test.messages.shown().size(), size_t(1));
        const QString refusal = rig_->test.messages.shown()[0].text;
        QVERIFY2(refusal.contains("«" + label), qPrintable(refusal));
        QVERIFY(channels.state() != Dataset::State::Browse);
        QCOMPARE(channels.fieldByName(u"name").asString(), QStringLiteral("Насос 1"));
    }

    // The counting input's coefficient shows at most three decimals, without trailing zeros,
    // in the locale's notation.
    void countingCoefficientIsShownWithThreeDecimals_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("2.5") << 2.5 << "2,5";
        QTest::newRow("0.1234") << 0.1234 << "0,123";
        QTest::newRow("3") << 3.0 << "3";
        QTest::newRow("-0.0001") << -0.0001 << "0";
    }
    void countingCoefficientIsShownWithThreeDecimals() {
        QFETCH(double, value);
        QFETCH(QString, shown);
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        auto* frame = form_->NIChannel;
        form_->N10->trigger();
        Dataset& channels = rig_->data->tblSpecNIChannel;
        channels.fieldByName(u"coef_corr").setAsFloat(value);
        channels.post();
        QCOMPARE(frame->DBCorr->text(), shown);
        // Shown is not typed: leaving the edit stores nothing.
        frame->DBCorr->setFocus();
        frame->DBEdit1->setFocus();
        QCOMPARE(stored("select coef_corr from SpecNIChannel").toDouble(), value);
        QLocale::setDefault(QLocale::c());
    }

    // Channels made in the editors compile into the image with the values typed.
    void channelsFromTheEditorsCompileIntoTheImage() {
        auto* analog = form_->AChannel;
        form_->N6->trigger();
        analog->DBEdit1->setFocus();
        analog->DBEdit1->selectAll();
        typeText(analog->DBEdit1, "Давление");
        chooseInList(analog->DBLookupComboBox1, "Смешанный, на COM2, №4");
        chooseInList(analog->DBLookupComboBox4, "Аналоговый вход 3");
        chooseInList(analog->DBlpTypeTransf, "Линейное");
        analog->DBMaxVal->setFocus();
        analog->DBMaxVal->selectAll();
        typeText(analog->DBMaxVal, "16,5");
        analog->correctionItems[3]->trigger();
        analog->DBCorr->setFocus();
        analog->DBCorr->selectAll();
        typeText(analog->DBCorr, "2");
        analog->DBEdit1->setFocus();
        form_->MSave->trigger();

        auto* counter = form_->NIChannel;
        form_->N10->trigger();
        chooseInList(counter->DBLookupComboBox1, "Счетчик-4, на COM2, №2");
        form_->MSave->trigger();
        auto* board = form_->EmDChannel;
        form_->N3->trigger();
        board->DBEdit2->setFocus();
        board->DBEdit2->selectAll();
        typeText(board->DBEdit2, "250");
        board->DBEdit1->setFocus();
        form_->N3->trigger();  // posts the first one

        const QString image = rig_->test.dir() + "/config.dat";
        CompileProgress progress;
        const CompileResult result =
            ConfigCompiler(*rig_->data).compile({.imagePath = image}, progress);
        QVERIFY2(result.succeeded(), qPrintable(result.message));
        QProcess dump;
        dump.start(QStringLiteral(ORVET_CLI_PATH), {"dump-image", image});
        QVERIFY(dump.waitForFinished(60000));
        QCOMPARE(dump.exitCode(), 0);
        const QString text = QString::fromUtf8(dump.readAllStandardOutput());
        for (const char* expected :
             {"# achan: 1 x", "achan[0].n_channel = 2", "achan[0].t_transf = 1",
              "achan[0].max_value = 16.5", "achan[0].act_corr = 3", "achan[0].coef_corr = 2\n",
              "achan[0].id_device_p = 0", "# nichan: 1 x", "nichan[0].id_device_p = 1",
              "# emdchan: 2 x", "emdchan[0].jingle_time = 250", "emdchan[0].cbevent = 3",
              "emdchan[1].jingle_time = 100"}) {
            QVERIFY2(text.contains(QString::fromUtf8(expected)),
                     qPrintable(QString::fromUtf8(expected) + "\n" + text));
        }
    }

private:
    TChannelFrame* channelFrame(TreeNode node) const {
        return qobject_cast<TChannelFrame*>(form_->editor(node));
    }
    Dataset& dataset(TreeNode node) const {
        TDataModule1& data = *rig_->data;
        switch (node) {
            case TreeNode::DiscreteInputs:
                return data.tblSpecEmDChannel;
            default:
                return data.tblSpecAChannel;
        }
    }
    static QString grid(TChannelFrame* frame, int row, int column) {
        return frame->DBGrid1->model()->index(row, column).data().toString();
    }
    static QStringList column(TChannelFrame* frame, int column) {
        QStringList values;
        for (int row = 0; row < frame->DBGrid1->model()->rowCount(); ++row)
            values << grid(frame, row, column);
        return values;
    }
    static void expectEnabled(const QList<QWidget*>& widgets, bool enabled) {
        for (QWidget* widget : widgets)
            QVERIFY2(widget->isEnabled() == enabled, qPrintable(widget->objectName()));
    }
    QSqlDatabase db() const { return rig_->data->ADOConnection1.database(); }
    QVariant stored(const QString& sql) const {
        QSqlQuery query(sql, db());
        return query.next() ? query.value(0) : QVariant();
    }
    QStringList storedRow(const QString& sql) const {
        QSqlQuery query(sql, db());
        QStringList values;
        if (query.next()) {
            for (int i = 0; i < query.record().count(); ++i)
                values << query.value(i).toString();
        }
        return values;
    }
    QStringList storedColumn(const QString& sql) const {
        QSqlQuery query(sql, db());
        QStringList values;
        while (query.next())
            values << query.value(0).toString();
        return values;
    }
    QString moduleId(int type) const {
        return stored(
                   QStringLiteral("select id_device from SpecDevice where t_device=%1").arg(type))
            .toString();
    }

    std::unique_ptr<testing::StoreRig> rig_;
    std::unique_ptr<TMainForm> form_;
    int uspd_ = 0;
};

}  // namespace orvet

QTEST_MAIN(orvet::ChannelFramesTest)
#include "channel_frames_test.moc"
