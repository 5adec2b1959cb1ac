#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QSqlQuery>
#include <QTableView>
#include <QtTest>

#include "editing/ui/bulk_progress_window.h"
#include "editing/ui/icons.h"
#include "editing/ui/main_window.h"
#include "editing/ui/modules_frame.h"
#include "store/ui/field_controls.h"
#include "support/store_rig.h"
#include "support/test_stores.h"
#include "widget_helpers.h"

namespace orvet {

using testing::chooseInList;
using testing::typeText;

class ModulesFrameTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        rig_ = std::make_unique<testing::StoreRig>();
        const int uspd = rig_->addUspd("Котельная");
        Dataset& ifaces = rig_->data->tblSpecInterFace;
        for (int port : {1, 2}) {
            ifaces.append();
            ifaces.fieldByName(u"port").setAsInteger(port);
            ifaces.post();
        }
        form_ = testing::openedForm(*rig_, uspd);
        frame_ = form_->DevConf;
        form_->selectNode(TreeNode::Modules);
    }
    void cleanup() {
        const QStringList problems = testing::closeAll(form_, rig_);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    void addMenuGivesANewModuleOfTypeZero() {
        form_->selectNode(TreeNode::UspdParameters);
        form_->MAddUSO->trigger();
        QCOMPARE(form_->selectedNode(), std::optional{TreeNode::Modules});
        QVERIFY(frame_->isVisible());
        QCOMPARE(modules().state(), Dataset::State::Insert);
        QCOMPARE(frame_->devType->currentText(), QStringLiteral("Не выбран"));
        QCOMPARE(frame_->devPort->currentIndex(), -1);
        QCOMPARE(frame_->devNOnIface->text(), QStringLiteral("0"));
        QCOMPARE(frame_->DBEdit2->text(), QStringLiteral("1000"));
        QCOMPARE(frame_->DBEdit3->text(), QStringLiteral("10"));
        QCOMPARE(frame_->DBEdit1->text(), QStringLiteral("1000"));
        QCOMPARE(frame_->DBEdit4->text(), QStringLiteral("1000"));
        // Type 0: retransmission offered, poll and start periods not shown.
        QVERIFY(frame_->Retrans->isVisible());
        QVERIFY(!frame_->Retrans->isChecked());
        expectVisible({frame_->DBEdit2, frame_->DBEdit3, frame_->devType, frame_->devPort,
                       frame_->devNOnIface},
                      true);
        expectVisible({frame_->Label3, frame_->DBEdit1, frame_->Label8, frame_->DBEdit4,
                       frame_->Label12, frame_->devPsw, frame_->NumMod},
                      false);
        expectVisible(retransmissionControls(), false);
        QCOMPARE(iconAt(0), image(imgDev(2)));
    }

    void typeDecidesThePanel_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("password");
        QTest::addColumn<bool>("modemNumber");
        QTest::addColumn<int>("labelLeft");
        QTest::addColumn<QString>("label");
        QTest::newRow("17") << "Прибор учета-1" << true << false << 56 << "Пароль:";
        QTest::newRow("19") << "Прибор учета-2" << true << false << 56 << "Пароль:";
        QTest::newRow("23") << "Модемный-1" << false << true << 16 << "Номер модема:";
        QTest::newRow("24") << "Модемный-2" << false << true << 16 << "Номер модема:";
        QTest::newRow("5") << "Счетчик-4" << false << false << 0 << "";
    }
    void typeDecidesThePanel() {
        QFETCH(QString, type);
        QFETCH(bool, password);
        QFETCH(bool, modemNumber);
        QFETCH(int, labelLeft);
        QFETCH(QString, label);
        frame_->N1Click();
        chooseInList(frame_->devType, type);
        QCOMPARE(modules().state(), Dataset::State::Browse);
        QCOMPARE(frame_->devPsw->isVisible(), password);
        QCOMPARE(frame_->NumMod->isVisible(), modemNumber);
        QCOMPARE(frame_->Label12->isVisible(), password || modemNumber);
        if (password || modemNumber) {
            QCOMPARE(frame_->Label12->text(), label);
            const QPoint left = frame_->Label12->mapTo(frame_->GroupBox1, QPoint(0, 0));
            QCOMPARE(left.x(), labelLeft);
        }
        QCOMPARE(frame_->devPsw->geometry(), frame_->NumMod->geometry());
        // Any type but 0: no retransmission, both periods shown.
        QVERIFY(!frame_->Retrans->isVisible());
        expectVisible({frame_->Label3, frame_->DBEdit1, frame_->Label8, frame_->DBEdit4}, true);
        QCOMPARE(iconAt(0), image(imgDev(0)));

        chooseInList(frame_->devType, "Не выбран");
        expectVisible({frame_->Label12, frame_->devPsw, frame_->NumMod, frame_->DBEdit1}, false);
        QVERIFY(frame_->Retrans->isVisible());
    }

    void retransmissionOnlyForTypeZero() {
        frame_->N1Click();
        frame_->Retrans->click();
        QCOMPARE(field(u"fl_retrans"), 1);
        expectVisible(retransmissionControls(), true);
        chooseInList(frame_->devPort2, "COM2");
        frame_->devNOnIface2->setFocus();
        typeText(frame_->devNOnIface2, "5");
        form_->MSave->trigger();
        QSqlQuery query("select fl_retrans, id_iface_s2, n_on_iface2 from SpecDevice", db());
        QVERIFY(query.next());
        QCOMPARE(query.value(0).toInt(), 1);
        QCOMPARE(query.value(1).toInt(), ifaceId(2));
        QCOMPARE(query.value(2).toInt(), 5);
        QCOMPARE(iconAt(0), image(imgDev(4)));
        frame_->Retrans->click();
        expectVisible(retransmissionControls(), false);
        QCOMPARE(iconAt(0), image(imgDev(2)));

        chooseInList(frame_->devType, "КВНА-4");
        QCOMPARE(iconAt(0), image(imgDev(3)));
        frame_->Retrans->click();
        QVERIFY(!frame_->Retrans->isChecked());
        QCOMPARE(field(u"fl_retrans"), 0);
        expectVisible(retransmissionControls(), false);
    }

    void identityFollowsTypePortAndNumber() {
        frame_->N1Click();
        chooseInList(frame_->devType, "Аналог-8");
        QCOMPARE(fullname(), QStringLiteral("Аналог-8, №0"));
        QCOMPARE(field(u"col_achannel"), 8);
        chooseInList(frame_->devPort, "COM2");
        QCOMPARE(fullname(), QStringLiteral("Аналог-8, на COM2, №0"));
        QCOMPARE(frame_->DBGrid1->model()->index(0, 2).data().toString(), QStringLiteral("COM2"));

        for (const char* number : {"3", "4"}) {
            frame_->devNOnIface->setFocus();
            frame_->devNOnIface->selectAll();
            typeText(frame_->devNOnIface, number);
            QCOMPARE(modules().state(), Dataset::State::Browse);  // typing stores nothing yet
            frame_->DBGrid1->setFocus();
            QCOMPARE(modules().state(), Dataset::State::Browse);
            QCOMPARE(stored("select fullname from SpecDevice").toString(),
                     QStringLiteral("Аналог-8, на COM2, №") + number);
        }
        QCOMPARE(frame_->DBGrid1->model()->index(0, 3).data().toString(), QStringLiteral("4"));
    }

    void moduleIsOfferedToTheChannelEditorsAtOnce() {
        TDataModule1& data = *rig_->data;
        frame_->N1Click();
        chooseInList(frame_->devType, "Аналог-8");
        QCOMPARE(data.DADevice.recordCount(), 1);
        QCOMPARE(data.DADevice.fieldByName(u"fullname").asString(), QStringLiteral("Аналог-8, №0"));
        QCOMPARE(data.DDDevice.recordCount(), 0);
        chooseInList(frame_->devType, "Дискрет-16");
        QCOMPARE(data.DADevice.recordCount(), 0);
        QCOMPARE(data.DDDevice.recordCount(), 1);
    }

    void saveStoresTheOtherSettings() {
        frame_->N1Click();
        chooseInList(frame_->devType, "Прибор учета-1");
        frame_->devPsw->setFocus();
        typeText(frame_->devPsw, "пароль123");
        QCOMPARE(frame_->devPsw->text(), QStringLiteral("пароль12"));
        frame_->DBEdit1->setFocus();
        frame_->DBEdit1->selectAll();
        typeText(frame_->DBEdit1, "250");
        form_->MSave->trigger();
        QSqlQuery query("select password, t_pool from SpecDevice", db());
        QVERIFY(query.next());
        QCOMPARE(query.value(0).toString(), QStringLiteral("пароль12"));
        QCOMPARE(query.value(1).toInt(), 250);
        QCOMPARE(frame_->DBGrid1->model()->index(0, 4).data().toString(), QStringLiteral("250"));

        // A value the store refuses is shown and the module keeps its period.
        rig_->test.messages.allowNotices();
        frame_->DBEdit1->setFocus();
        frame_->DBEdit1->selectAll();
        typeText(frame_->DBEdit1, "40000");
        form_->MSave->trigger();
        QCOMPARE(rig_->test.messages.shown().size(), size_t(1));
        QCOMPARE(stored("select t_pool from SpecDevice").toInt(), 250);
    }

    // Every number edit shows its largest value whole, takes only what its field holds while
    // typing, and names its label (with the unit) in its tool tip and in a refusal.
    void numberEditsFitAndLimitTheirValues_data() {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("tip");
        QTest::addColumn<QString>("widest");
        QTest::addColumn<QString>("beyond");
        const QString time = QStringLiteral(", мс: от 0 до 32767");
        QTest::newRow("t_pool") << "DBEdit1"
                                << "t_pool"
                                << "Такт опроса"
                                << "Такт опроса" + time << "32767"
                                << "99999";
        QTest::newRow("to_answer") << "DBEdit2"
                                   << "to_answer"
                                   << "Таймаут ответа"
                                   << "Таймаут ответа" + time << "32767"
                                   << "40000";
        QTest::newRow("to_byte_receive") << "DBEdit3"
                                         << "to_byte_receive"
                                         << "Таймаут приема байта"
                                         << "Таймаут приема байта" + time << "32767"
                                         << "99999";
        QTest::newRow("t_start") << "DBEdit4"
                                 << "t_start"
                                 << "Такт старта устройства"
                                 << "Такт старта устройства" + time << "32767"
                                 << "99999";
        QTest::newRow("n_on_iface") << "devNOnIface"
                                    << "n_on_iface"
                                    << "Номер на интерфейсе"
                                    << "Номер на интерфейсе: от 0 до 65535"
                                    << "65535"
                                    << "99999";
        QTest::newRow("num_mod") << "NumMod"
                                 << "num_mod"
                                 << "Номер модема"
                                 << "Номер модема: от -32768 до 32767"
                                 << "-32768"
                                 << "40000";
    }
    void numberEditsFitAndLimitTheirValues() {
        QFETCH(QString, edit);
        QFETCH(QString, field);
        QFETCH(QString, label);
        QFETCH(QString, tip);
        QFETCH(QString, widest);
        QFETCH(QString, beyond);
        auto* number = frame_->findChild<DBEdit*>(edit);
        QVERIFY(number);
        QCOMPARE(number->toolTip(), tip);
        // The widest accepted value fits the text area (2 pixels of margin on either side).
        const QRect text = number->contentsRect().marginsRemoved(number->textMargins());
        QVERIFY2(text.width() - 4 > number->fontMetrics().horizontalAdvance(widest),
                 qPrintable(QString::number(number->width())));

        frame_->N1Click();
        chooseInList(frame_->devType, edit == "NumMod" ? "Модемный-1" : "Счетчик-4");
        number->setFocus();
        number->selectAll();
        typeText(number, "-30000");  // a minus only where the field holds negative numbers
        const bool negative = widest.startsWith('-');
        QCOMPARE(number->text(), negative ? QStringLiteral("-30000") : QStringLiteral("30000"));
        number->selectAll();
        typeText(number, widest + "9");  // one digit too many is not taken
        QCOMPARE(number->text(), widest);

        // A value of the right length beyond the range is refused once, by its label.
        rig_->test.messages.allowNotices();
        const int before = modules().fieldByName(field).asInteger();
        number->selectAll();
        typeText(number, beyond);
        form_->MSave->trigger();
        QCOMPARE(rig_->test.messages.shown().size(), size_t(1));
        const QString refusal = rig_->test.messages.shown()[0].text;
        QVERIFY2(refusal.contains("«" + label + "»") && !refusal.contains(field),
                 qPrintable(refusal));
        QCOMPARE(modules().fieldByName(field).asInteger(), before);
        QCOMPARE(number->text(), QString::number(before));
    }

    // Type 0 shows the two time-outs in one row, with no half-empty row beside them.
    void timingGroupOfTypeZeroHasOneFullRow() {
        frame_->N1Click();
        QVERIFY(frame_->DBEdit2->isVisible() && frame_->DBEdit3->isVisible());
        QCOMPARE(frame_->DBEdit2->y(), frame_->DBEdit3->y());
        QCOMPARE(frame_->Label6->y(), frame_->Label7->y());
        chooseInList(frame_->devType, "Счетчик-4");
        QApplication::processEvents();
        QCOMPARE(frame_->DBEdit1->y(), frame_->DBEdit4->y());
        QVERIFY(frame_->DBEdit1->y() > frame_->DBEdit2->y());
    }

    // A retransmitting module given another type loses the retransmission.
    void typeOtherThanZeroClearsRetransmission() {
        frame_->N1Click();
        frame_->Retrans->click();
        chooseInList(frame_->devPort2, "COM2");
        form_->MSave->trigger();
        QCOMPARE(stored("select fl_retrans from SpecDevice").toInt(), 1);
        chooseInList(frame_->devType, "Счетчик-4");
        QCOMPARE(stored("select fl_retrans from SpecDevice").toInt(), 0);
        QVERIFY(!frame_->Retrans->isChecked());
        expectVisible(retransmissionControls(), false);
        QCOMPARE(iconAt(0), image(imgDev(0)));
    }

    // Without a module the panel takes no input; Tab leaves the grid for it.
    void panelNeedsAModuleAndTabReachesIt() {
        QVERIFY(!frame_->GroupBox1->isEnabled());
        QVERIFY(!frame_->DBEdit2->isEnabled());
        QVERIFY(!frame_->DBGrid1->tabKeyNavigation());
        frame_->N1Click();
        QVERIFY(frame_->GroupBox1->isEnabled());
        form_->MSave->trigger();
        frame_->N1Click();
        form_->MSave->trigger();
        frame_->DBGrid1->setFocus();
        const int row = modules().currentRow();
        QTest::keyClick(frame_->DBGrid1, Qt::Key_Tab);
        QVERIFY2(frame_->GroupBox1->isAncestorOf(QApplication::focusWidget()),
                 qPrintable(QApplication::focusWidget()->objectName()));
        QCOMPARE(modules().currentRow(), row);
        rig_->test.messages.expectQuestion("Удалить устройство?\nНе выбран", true);
        frame_->N2Click();
        rig_->test.messages.expectQuestion("Удалить устройство?\nНе выбран", true);
        frame_->N2Click();
        QVERIFY(!frame_->GroupBox1->isEnabled());
    }

    void deleteAsksWithTheTypeAndTakesTheChannels() {
        frame_->N2Click();  // nothing to delete: no question
        frame_->N1Click();
        chooseInList(frame_->devType, "Аналог-8");
        Dataset& channels = rig_->data->tblSpecAChannel;
        channels.append();
        channels.fieldByName(u"id_device").setAsInteger(field(u"id_device"));
        channels.fieldByName(u"t_device").setAsInteger(1);
        channels.post();

        frame_->DBGrid1->setFocus();
        rig_->test.messages.expectQuestion("Удалить устройство?\nАналог-8", false);
        QTest::keyClick(frame_->DBGrid1, Qt::Key_Delete);
        QCOMPARE(modules().recordCount(), 1);
        rig_->test.messages.expectQuestion("Удалить устройство?\nАналог-8", true);
        frame_->N2->trigger();
        QCOMPARE(modules().recordCount(), 0);
        QCOMPARE(channels.recordCount(), 0);
        QCOMPARE(stored("select count(*) from SpecAChannel").toInt(), 0);
    }

    // "Добавить все каналы УСО" stores the module being edited, fills it under the progress
    // window and reports; the channel editors show the new channels.
    void fillAddsTheChannelsAndReports() {
        frame_->N1Click();
        chooseInList(frame_->devType, "Смешанный");
        frame_->N1Click();
        chooseInList(frame_->devType, "Не выбран");
        frame_->N1Click();
        chooseInList(frame_->devType, "КВНА-4");
        frame_->DBGrid1->selectRow(0);
        rig_->test.messages.expectNotice("Добавлены все каналы для Смешанный");
        frame_->N4->trigger();
        QVERIFY(!frame_->m_Progress->isVisible());
        QCOMPARE(frame_->m_Progress->m_ProgBar->maximum(), 10);
        QCOMPARE(frame_->m_Progress->m_ProgBar->value(), 10);
        QCOMPARE(rig_->data->tblSpecAChannel.recordCount(), 4);
        QCOMPARE(rig_->data->tblSpecDOChannel.recordCount(), 2);

        rig_->test.messages.expectNotice("Добавлены все каналы всех модулей");
        frame_->N6->trigger();
        QCOMPARE(stored("select count(*) from SpecAChannel").toInt(), 8);
        QCOMPARE(stored("select count(*) from SpecKBHA").toInt(), 4);
        QCOMPARE(rig_->test.messages.shown().size(), size_t(2));
    }

    // A copy stores the module being edited first; a failure closes the progress window,
    // is shown, and leaves no copy.
    void copiesAreAllOrNothing() {
        frame_->N1Click();
        chooseInList(frame_->devType, "Счетчик-4");
        frame_->devNOnIface->setFocus();
        frame_->devNOnIface->selectAll();
        typeText(frame_->devNOnIface, "3");
        frame_->N5->actions()[1]->trigger();  // "5x", the number typed stored first
        QCOMPARE(modules().recordCount(), 6);
        QCOMPARE(stored("select max(n_on_iface) from SpecDevice").toInt(), 8);
        QVERIFY(!frame_->m_Progress->isVisible());

        testing::refuseRows(rig_->data->ADOConnection1, "refuse", "before insert on SpecDevice",
                            "new.n_on_iface=12", "отказ");
        rig_->test.messages.allowNotices();
        frame_->CopyModule(10);
        QCOMPARE(rig_->test.messages.shown().size(), size_t(1));
        QVERIFY(rig_->test.messages.shown()[0].text.contains("отказ"));
        QVERIFY(!frame_->m_Progress->isVisible());
        QCOMPARE(stored("select count(*) from SpecDevice").toInt(), 6);
        QCOMPARE(modules().recordCount(), 6);
    }

    void contextMenuAndGrid() {
        QStringList items;
        for (QAction* action : frame_->PopupDev->actions()) {
            items << (action->isSeparator() ? QStringLiteral("-")
                                            : action->text() + "|" + action->shortcut().toString() +
                                                  "|" + (action->isEnabled() ? "on" : "off"));
        }
        QCOMPARE(items, (QStringList{"Добавить модуль УСО|Ins|on", "Удалить модуль УСО|Del|on",
                                     "Копировать||on", "-", "Добавить все каналы УСО||on",
                                     "Все каналы всех модулей||on"}));
        QStringList copies;
        for (QAction* action : frame_->N5->actions())
            copies << action->text();
        QCOMPARE(copies, (QStringList{"1x", "5x", "10x", "50x", "100x"}));

        QTableView* grid = frame_->DBGrid1;
        QStringList titles;
        for (int column = 0; column < grid->model()->columnCount(); ++column)
            titles << grid->model()->headerData(column, Qt::Horizontal).toString();
        QCOMPARE(titles, (QStringList{"", "Тип", "Порт", "№ на интерфейсе", "Такт опроса (мс)"}));
        QCOMPARE(grid->columnWidth(0), 18);
        QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(frame_->GroupBox1->title(), QStringLiteral("Настройка устройства"));
    }

private:
    Dataset& modules() { return rig_->data->tblSpecDevice; }
    int field(const char16_t* name) { return modules().fieldByName(name).asInteger(); }
    QString fullname() { return modules().fieldByName(u"fullname").asString(); }
    int ifaceId(int port) {
        return rig_->data->tblSpecInterFace.lookup(u"port", port, u"id_iface_s").toInt();
    }
    QSqlDatabase db() { return rig_->data->ADOConnection1.database(); }
    QVariant stored(const QString& sql) {
        QSqlQuery query(sql, db());
        return query.next() ? query.value(0) : QVariant();
    }
    QImage iconAt(int row) {
        return image(
            frame_->DBGrid1->model()->index(row, 0).data(Qt::DecorationRole).value<QIcon>());
    }
    static QImage image(const QIcon& icon) { return icon.pixmap(16, 16).toImage(); }
    QList<QWidget*> retransmissionControls() {
        return {frame_->Label9, frame_->Label10, frame_->Label11, frame_->devPort2,
                frame_->devNOnIface2};
    }
    static void expectVisible(const QList<QWidget*>& widgets, bool visible) {
        for (QWidget* widget : widgets)
            QVERIFY2(widget->isVisible() == visible, qPrintable(widget->objectName()));
    }

    std::unique_ptr<testing::StoreRig> rig_;
    std::unique_ptr<TMainForm> form_;
    TDevConf* frame_ = nullptr;
};

}  // namespace orvet

QTEST_MAIN(orvet::ModulesFrameTest)
#include "modules_frame_test.moc"
