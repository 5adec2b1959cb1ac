#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QSplitter>
#include <QSqlQuery>
#include <QTableView>
#include <QtTest>

#include "editing/ui/icons.h"
#include "editing/ui/interfaces_frame.h"
#include "editing/ui/main_window.h"
#include "editing/ui/modules_frame.h"
#include "store/ui/dataset_table_model.h"
#include "support/store_rig.h"
#include "widget_helpers.h"

namespace orvet {

using testing::chooseInList;
using testing::typeText;

class InterfacesFrameTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        rig_ = std::make_unique<testing::StoreRig>();
        uspd_ = rig_->addUspd("Котельная");
        form_ = testing::openedForm(*rig_, uspd_);
        frame_ = form_->IfaceTop;
        form_->selectNode(TreeNode::Interfaces);
    }
    void cleanup() {
        const QStringList problems = testing::closeAll(form_, rig_);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    void addMenuGivesANewLineWithItsDefaults() {
        form_->selectNode(TreeNode::UspdParameters);
        form_->MAddIface->trigger();
        QCOMPARE(form_->selectedNode(), std::optional{TreeNode::Interfaces});
        QVERIFY(frame_->isVisible());
        QCOMPARE(ifaces().state(), Dataset::State::Insert);
        QCOMPARE(cell(0, 2), QStringLiteral("Нет"));  // kind 0 has a reference row
        QCOMPARE(cell(0, 1), QString());              // port 0 has none
        QCOMPARE(frame_->ifType->currentText(), QStringLiteral("Нет"));
        QCOMPARE(frame_->DBRadioGroup1->itemIndex(), 0);  // None
        QCOMPARE(frame_->DBRadioGroup2->itemIndex(), 0);  // 8
        QCOMPARE(frame_->DBRadioGroup3->itemIndex(), 0);  // 1
        QVERIFY(!frame_->drg_DTR->isVisible());
        QVERIFY(!frame_->DBEdit1->isVisible());
        QVERIFY(!frame_->Label5->isVisible());

        chooseInList(frame_->ifPort, "COM1");
        QVERIFY(frame_->drg_DTR->isVisible());
        QCOMPARE(frame_->drg_DTR->itemIndex(), 1);  // Disable
        form_->MSave->trigger();
        QCOMPARE(ifaces().state(), Dataset::State::Browse);
        QCOMPARE(stored("select port from SpecInterFace").toInt(), 1);
    }

    void settingsFollowTheSelectedInterface() {
        addInterface("Модем", "COM1");
        addInterface("RS232", "COM3");
        form_->MSave->trigger();
        const struct {
            int row;
            bool modem;
            bool dtr;
            int icon;
        } rows[] = {{1, false, false, 0}, {0, true, true, 2}, {1, false, false, 0}};
        for (const auto& r : rows) {
            frame_->DBGrid1->setCurrentIndex(frame_->DBGrid1->model()->index(r.row, 1));
            QCOMPARE(ifaces().currentRow(), r.row);
            QCOMPARE(frame_->Label5->isVisible(), r.modem);
            QCOMPARE(frame_->DBEdit1->isVisible(), r.modem);
            QCOMPARE(frame_->drg_DTR->isVisible(), r.dtr);
            QCOMPARE(iconAt(r.row), image(imIface(r.icon)));
        }
        // A kind chosen for the row shows at once, before the row is stored.
        chooseInList(frame_->ifType, "Модем");
        QCOMPARE(ifaces().state(), Dataset::State::Edit);
        QVERIFY(frame_->DBEdit1->isVisible());
        QCOMPARE(iconAt(1), image(imIface(2)));
        chooseInList(frame_->ifPort, "COM1");
        QVERIFY(frame_->drg_DTR->isVisible());
    }

    void lineSettingsAreStoredBySave() {
        addInterface("Модем", "COM2");
        radio(frame_->DBRadioGroup1, "Odd")->click();
        radio(frame_->DBRadioGroup2, "7")->click();
        radio(frame_->DBRadioGroup3, "1.5")->click();
        frame_->DBEdit1->setFocus();
        typeText(frame_->DBEdit1, "AT&F" + QString(40, QChar('0')));
        QCOMPARE(frame_->DBEdit1->text().size(), 40);
        form_->MSave->trigger();
        QSqlQuery query("select parity, data, stop, initstring, t_iface from SpecInterFace", db());
        QVERIFY(query.next());
        QCOMPARE(query.value(0).toInt(), 2);
        QCOMPARE(query.value(1).toInt(), 7);
        QCOMPARE(query.value(2).toDouble(), 1.5);
        QCOMPARE(query.value(3).toString(), "AT&F" + QString(36, QChar('0')));
        QCOMPARE(query.value(4).toInt(), 3);

        // Read back from the store, 1.5 stop bits is the middle choice.
        ifaces().close();
        ifaces().open();
        QCOMPARE(frame_->DBRadioGroup3->itemIndex(), 1);
        QVERIFY(radio(frame_->DBRadioGroup3, "1.5")->isChecked());
    }

    void deleteAsksWithThePortAndLeavesTheModules() {
        frame_->N2Click();  // nothing to delete: no question
        addInterface("RS485", "COM2");
        form_->MSave->trigger();
        Dataset& modules = rig_->data->tblSpecDevice;
        modules.append();
        modules.fieldByName(u"id_iface_s")
            .setAsInteger(ifaces().fieldByName(u"id_iface_s").asInteger());
        modules.fieldByName(u"t_device").setAsInteger(1);
        modules.post();
        QCOMPARE(moduleGridPort(), QStringLiteral("COM2"));

        form_->selectNode(TreeNode::Interfaces);
        frame_->DBGrid1->setFocus();
        rig_->test.messages.expectQuestion("Удалить интерфейс?\nCOM2", false);
        frame_->N2->trigger();
        QCOMPARE(ifaces().recordCount(), 1);
        rig_->test.messages.expectQuestion("Удалить интерфейс?\nCOM2", true);
        QTest::keyClick(frame_->DBGrid1, Qt::Key_Delete);
        QCOMPARE(ifaces().recordCount(), 0);
        QCOMPARE(rig_->test.messages.shown().back().caption, QStringLiteral("Подтверждение"));

        QCOMPARE(stored("select count(*) from SpecDevice where id_iface_s > 0").toInt(), 1);
        QCOMPARE(moduleGridPort(), QString());
        QCOMPARE(form_->DevConf->devPort->currentIndex(), -1);
    }

    void interfacesAreListedByPort() {
        frame_->DBGrid1->setFocus();
        QTest::keyClick(frame_->DBGrid1, Qt::Key_Insert);
        chooseInList(frame_->ifPort, "COM3");
        QTest::keyClick(frame_->DBGrid1, Qt::Key_Insert);
        chooseInList(frame_->ifPort, "COM1");
        form_->MSave->trigger();
        QCOMPARE(stored("select count(*) from SpecInterFace").toInt(), 2);
        // The list is in port order again as soon as the post is over, still on the posted
        // interface, and the module editor offers the ports in that order.
        QTRY_COMPARE(cell(0, 1), QStringLiteral("COM1"));
        QCOMPARE(cell(1, 1), QStringLiteral("COM3"));
        QCOMPARE(ifaces().fieldByName(u"port").asInteger(), 1);
        QCOMPARE(frame_->DBGrid1->currentIndex().row(), 0);
        QCOMPARE(frame_->ifPort->currentText(), QStringLiteral("COM1"));
        QStringList offered;
        for (int item = 0; item < form_->DevConf->devPort->count(); ++item)
            offered << form_->DevConf->devPort->itemText(item);
        QCOMPARE(offered, (QStringList{"COM1", "COM3"}));
        // A changed port moves its interface, by moving to another row too.
        chooseInList(frame_->ifPort, "COM5");
        frame_->DBGrid1->setCurrentIndex(frame_->DBGrid1->model()->index(1, 1));
        QTRY_COMPARE(cell(0, 1), QStringLiteral("COM3"));
        QCOMPARE(cell(1, 1), QStringLiteral("COM5"));
        QCOMPARE(ifaces().fieldByName(u"port").asInteger(), 3);

        // Read again, as when the USPD is opened after another one.
        testing::openUspd(*form_, *rig_->data, rig_->addUspd("Насосная"));
        QCOMPARE(frame_->DBGrid1->model()->rowCount(), 0);
        testing::openUspd(*form_, *rig_->data, uspd_);
        QCOMPARE(cell(0, 1), QStringLiteral("COM3"));
        QCOMPARE(cell(1, 1), QStringLiteral("COM5"));
    }

    // Without an interface the panel takes no input; the modem string takes at most its
    // field's 40 characters and says so.
    void panelNeedsAnInterfaceAndTheStringItsWidth() {
        QVERIFY(!frame_->GroupBox1->isEnabled());
        QVERIFY(!frame_->DBGrid1->tabKeyNavigation());
        addInterface("Модем", "COM2");
        QVERIFY(frame_->GroupBox1->isEnabled());
        QCOMPARE(frame_->DBEdit1->toolTip(),
                 QStringLiteral("Строка инициализации модема: не более 40 символов"));
        frame_->DBEdit1->setFocus();
        typeText(frame_->DBEdit1, QString(45, QChar(u'Z')));
        form_->MSave->trigger();
        QCOMPARE(stored("select initstring from SpecInterFace").toString(),
                 QString(40, QChar(u'Z')));
        rig_->test.messages.expectQuestion("Удалить интерфейс?\nCOM2", true);
        frame_->N2Click();
        QVERIFY(!frame_->GroupBox1->isEnabled());
    }

    // Save on an empty list adds no empty interface or module.
    void saveOnEmptyListsStoresNothing() {
        for (TreeNode node : {TreeNode::Interfaces, TreeNode::Modules}) {
            form_->selectNode(node);
            form_->MSave->trigger();
        }
        QCOMPARE(stored("select count(*) from SpecInterFace").toInt(), 0);
        QCOMPARE(stored("select count(*) from SpecDevice").toInt(), 0);
        QCOMPARE(ifaces().state(), Dataset::State::Browse);
    }

    void contextMenuAndGrid() {
        QStringList items;
        for (QAction* action : frame_->IfacePopup->actions())
            items << action->text() + "|" + action->shortcut().toString();
        QCOMPARE(items, (QStringList{"Добавить интерфейс|Ins", "Удалить интерфейс|Del"}));
        QTableView* grid = frame_->DBGrid1;
        QStringList titles;
        for (int column = 0; column < grid->model()->columnCount(); ++column)
            titles << grid->model()->headerData(column, Qt::Horizontal).toString();
        QCOMPARE(titles, (QStringList{"", "Порт", "Тип", "Скорость"}));
        QCOMPARE(grid->columnWidth(0), 18);
        QCOMPARE(grid->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(frame_->GroupBox1->title(), QStringLiteral("Настройка интерфейса"));
    }

    // Both editors keep their settings panel in the window: the grid grows at most to the
    // client height less the panel and 30 pixels, and less the list box while it shows.
    void gridHeightLeavesTheSettingsInTheWindow() {
        const struct {
            TreeNode node;
            QTableView* grid;
            QWidget* panel;
            std::function<void()> splitterMoved;
        } editors[] = {
            {TreeNode::Interfaces, frame_->DBGrid1, frame_->GroupBox1,
             [this] { frame_->Splitter1Moved(); }},
            {TreeNode::Modules, form_->DevConf->DBGrid1, form_->DevConf->GroupBox1,
             [this] { form_->DevConf->Splitter1Moved(); }},
        };
        for (const auto& editor : editors) {
            form_->Splitter2->hide();
            form_->resize(700, 520);
            form_->selectNode(editor.node);
            QApplication::processEvents();
            const auto limit = [&] {
                return form_->height() - form_->menuBar()->height() -
                       editor.panel->sizeHint().height() - 30;
            };
            QCOMPARE(editor.grid->maximumHeight(), limit());
            const int smallGrid = editor.grid->height();
            form_->resize(800, 700);
            QTRY_COMPARE(editor.grid->maximumHeight(), limit());
            // The extra height goes to the grid, within its limit.
            QTRY_VERIFY(editor.grid->height() >= smallGrid + 150);
            QVERIFY(editor.grid->height() <= limit());
            form_->Splitter2->show();
            QVERIFY(form_->Analis->isVisible());
            editor.splitterMoved();
            QCOMPARE(editor.grid->maximumHeight(), limit() - form_->Analis->height());
        }
    }

private:
    Dataset& ifaces() { return rig_->data->tblSpecInterFace; }
    QSqlDatabase db() { return rig_->data->ADOConnection1.database(); }
    QVariant stored(const QString& sql) {
        QSqlQuery query(sql, db());
        return query.next() ? query.value(0) : QVariant();
    }
    QString cell(int row, int column) {
        return frame_->DBGrid1->model()->index(row, column).data().toString();
    }
    QImage iconAt(int row) {
        return image(
            frame_->DBGrid1->model()->index(row, 0).data(Qt::DecorationRole).value<QIcon>());
    }
    static QImage image(const QIcon& icon) { return icon.pixmap(16, 16).toImage(); }
    static QRadioButton* radio(QWidget* group, const QString& text) {
        for (QRadioButton* button : group->findChildren<QRadioButton*>()) {
            if (button->text() == text)
                return button;
        }
        qFatal("no radio button %s", qPrintable(text));
    }
    void addInterface(const QString& kind, const QString& port) {
        frame_->N1Click();
        chooseInList(frame_->ifType, kind);
        chooseInList(frame_->ifPort, port);
    }
    QString moduleGridPort() {
        form_->selectNode(TreeNode::Modules);
        return form_->DevConf->DBGrid1->model()->index(0, 2).data().toString();
    }

    std::unique_ptr<testing::StoreRig> rig_;
    std::unique_ptr<TMainForm> form_;
    TIfaceTop* frame_ = nullptr;
    int uspd_ = 0;
};

}  // namespace orvet

QTEST_MAIN(orvet::InterfacesFrameTest)
#include "interfaces_frame_test.moc"
