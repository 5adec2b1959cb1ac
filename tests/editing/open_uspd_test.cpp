#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtTest>
#include <functional>

#include "editing/ui/channel_frames.h"
#include "editing/ui/main_window.h"
#include "editing/ui/open_uspd_dialog.h"
#include "store/ui/field_controls.h"
#include "support/store_rig.h"
#include "widget_helpers.h"

namespace orvet {

using testing::cellEditor;
using testing::typeText;

class OpenUspdTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        rig_ = std::make_unique<testing::StoreRig>();
        form_ = std::make_unique<TMainForm>(rig_->test.platform(), *rig_->data);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }
    void cleanup() {
        form_.reset();
        const QStringList problems = rig_->problems();
        rig_.reset();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    void addingAUspdAndPressingOkOpensIt() {
        TfrmOpenUSPD* dialog = form_->frmOpenUSPD;
        whileOpen(form_->MCreate, [&] {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Создать УСПД"));
            QCOMPARE(dialog->width(), 369);
            QVERIFY(dialog->m_Clone->isEnabled());
            QCOMPARE(dialog->m_Clone->text(), QStringLiteral("Клонировать УСПД"));
            QApplication::setActiveWindow(dialog);
            dialog->DBGrid1->setFocus();
            QTest::keyClick(dialog->DBGrid1, Qt::Key_Insert);
            QCOMPARE(uspd().rowCount(), 1);
            QCOMPARE(uspd().state(), Dataset::State::Insert);
            // The click takes the focus off the grid, which stores the pending row.
            QTest::mouseClick(dialog->Button1, Qt::LeftButton);
        });
        QCOMPARE(storedCount("USPD"), 1);
        QCOMPARE(form_->windowTitle(),
                 QStringLiteral("Конфигурирование УСПД ORVET-4410 - УСПД - "));
        QVERIFY(form_->TreeView1->isVisible());
        QVERIFY(!form_->startPanel()->isVisible());
        for (QAction* item : {form_->MSave, form_->MSaveTo, form_->MExpToADO, form_->CheckConfig,
                              form_->MAdd->menuAction(), form_->MParam->menuAction()}) {
            QVERIFY2(item->isEnabled(), qPrintable(item->text()));
        }
        QCOMPARE(form_->focusWidget(), form_->TreeView1);
        // Opening ran the default-row reactions for the new USPD.
        QCOMPARE(storedCount("Headline"), 1);
    }

    void okOnAnEmptyListCreatesNothing() {
        whileOpen(form_->MOpen, [&] {
            QCOMPARE(form_->frmOpenUSPD->windowTitle(), QStringLiteral("Открыть УСПД"));
            form_->frmOpenUSPD->DBGrid1->setFocus();
            QTest::mouseClick(form_->frmOpenUSPD->Button1, Qt::LeftButton);
        });
        QCOMPARE(storedCount("USPD"), 0);
        QVERIFY(form_->startPanel()->isVisible());
        QVERIFY(!form_->TreeView1->isVisible());
        QVERIFY(!form_->MSave->isEnabled());
        QCOMPARE(form_->windowTitle(), TMainForm::kCaption);
    }

    void enterPostsAndEscapeDrops() {
        TfrmOpenUSPD* dialog = form_->frmOpenUSPD;
        whileOpen(form_->MOpen, [&] {
            QTableView* grid = dialog->DBGrid1;
            grid->setFocus();
            dialog->N1->trigger();
            QTest::keyClick(grid, Qt::Key_Escape);
            QCOMPARE(uspd().rowCount(), 0);

            dialog->N1->trigger();
            // Typing into the enterprise cell, then Enter in the cell editor.
            QApplication::setActiveWindow(dialog);
            grid->setFocus();
            grid->setCurrentIndex(grid->model()->index(0, 1));
            QTest::keyClick(grid, Qt::Key_F2);
            QLineEdit* editor = cellEditor(grid);
            QVERIFY(editor);
            typeText(editor, "ТЭЦ-2");
            QTest::keyClick(editor, Qt::Key_Return);
            QCOMPARE(uspd().state(), Dataset::State::Browse);
            QCOMPARE(storedCount("USPD"), 1);

            // Escape inside a cell editor drops the whole pending row.
            dialog->N1->trigger();
            grid->setCurrentIndex(grid->model()->index(1, 0));
            QTest::keyClick(grid, Qt::Key_F2);
            QLineEdit* nameEditor = cellEditor(grid);
            QVERIFY(nameEditor);
            typeText(nameEditor, "x");
            QTest::keyClick(nameEditor, Qt::Key_Escape);
            QCOMPARE(uspd().rowCount(), 1);
            QVERIFY(dialog->isVisible());
            dialog->reject();
        });
        QVERIFY2(!form_->TreeView1->isVisible(), "closing without OK opens nothing");
        QSqlQuery query("select uspd_name, enterprise from USPD", db());
        QVERIFY(query.next());
        QCOMPARE(query.value(0).toString(), QStringLiteral("УСПД"));
        QCOMPARE(query.value(1).toString(), QStringLiteral("ТЭЦ-2"));
    }

    // Without a mouse: Tab leaves the grid for "OK"; Enter stores a row being edited, and on
    // a stored row it opens the USPD.
    void keyboardReachesOkAndEnterOpens() {
        rig_->addUspd("Первый");
        const int second = rig_->addUspd("Второй");
        TfrmOpenUSPD* dialog = form_->frmOpenUSPD;
        QVERIFY(!dialog->DBGrid1->tabKeyNavigation());
        whileOpen(form_->MOpen, [&] {
            QApplication::setActiveWindow(dialog);
            QTableView* grid = dialog->DBGrid1;
            grid->setFocus();
            QTest::keyClick(grid, Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), dialog->Button1);
            QVERIFY(dialog->Button1->isDefault());
            QTest::keyClick(dialog->Button1, Qt::Key_Backtab, Qt::ShiftModifier);
            QCOMPARE(QApplication::focusWidget(), grid);

            grid->setCurrentIndex(grid->model()->index(1, 1));
            QTest::keyClick(grid, Qt::Key_F2);
            QLineEdit* editor = cellEditor(grid);
            QVERIFY(editor);
            typeText(editor, "Завод");
            QTest::keyClick(editor, Qt::Key_Return);
            QVERIFY(dialog->isVisible());  // the cell's Enter stores the row only
            QCOMPARE(uspd().state(), Dataset::State::Browse);
            QTest::keyClick(grid, Qt::Key_Return);
            QVERIFY(!dialog->isVisible());
        });
        QVERIFY(form_->TreeView1->isVisible());
        QCOMPARE(uspd().fieldByName(u"id_uspd").asInteger(), second);
        QCOMPARE(form_->windowTitle(),
                 QStringLiteral("Конфигурирование УСПД ORVET-4410 - Второй - Завод"));
    }

    // The whole way from the keyboard, keys going where the window sends them: the window
    // takes the keyboard back from the closed dialog, arrows pick the node, Tab enters its
    // list and Insert adds a channel there.
    void keyboardOnlyFromOpeningToANewChannel() {
        rig_->addUspd("Котельная");
        QApplication::setActiveWindow(form_.get());
        QWindow* window = form_->windowHandle();
        whileOpen(form_->MOpen, [&] {
            QApplication::setActiveWindow(form_->frmOpenUSPD);
            QTest::keyClick(form_->frmOpenUSPD->windowHandle(), Qt::Key_Return);
            QVERIFY(!form_->frmOpenUSPD->isVisible());
        });
        QTRY_COMPARE(QApplication::activeWindow(), form_.get());
        QCOMPARE(QApplication::focusWidget(), form_->TreeView1);
        for (int step = 0; step < 6; ++step)
            QTest::keyClick(window, Qt::Key_Down);
        QCOMPARE(form_->selectedNode(), std::optional{TreeNode::AnalogInputs});
        QTest::keyClick(window, Qt::Key_Tab);
        auto* channels = static_cast<TChannelFrame*>(form_->editor(TreeNode::AnalogInputs));
        QCOMPARE(QApplication::focusWidget(), channels->DBGrid1);
        QTest::keyClick(window, Qt::Key_Insert);
        QCOMPARE(rig_->data->tblSpecAChannel.rowCount(), 1);
        QCOMPARE(rig_->data->tblSpecAChannel.state(), Dataset::State::Insert);
    }

    // The cell editors take at most the 50 characters the name and the enterprise hold, so
    // a long name is cut while typing instead of losing the row's edit.
    void cellEditorsTakeTheFieldsWidth() {
        rig_->addUspd("Первый");
        TfrmOpenUSPD* dialog = form_->frmOpenUSPD;
        whileOpen(form_->MOpen, [&] {
            QApplication::setActiveWindow(dialog);
            QTableView* grid = dialog->DBGrid1;
            grid->setFocus();
            for (int column : {0, 1}) {
                grid->setCurrentIndex(grid->model()->index(0, column));
                QTest::keyClick(grid, Qt::Key_F2);
                QLineEdit* editor = cellEditor(grid);
                QVERIFY(editor);
                QCOMPARE(editor->maxLength(), 50);
                editor->selectAll();
                typeText(editor, QString(55, QChar(u'Ж')));
                QTest::keyClick(editor, Qt::Key_Return);
            }
            dialog->reject();
        });
        QSqlQuery query("select uspd_name, enterprise from USPD", db());
        QVERIFY(query.next());
        QCOMPARE(query.value(0).toString(), QString(50, QChar(u'Ж')));
        QCOMPARE(query.value(1).toString(), QString(50, QChar(u'Ж')));
    }

    void deleteAsksAndRemovesTheUspdsRows() {
        const int first = rig_->addUspd("Первый");
        addInterface();
        rig_->addUspd("Второй");
        addInterface();
        uspd().locate(u"id_uspd", first);
        TfrmOpenUSPD* dialog = form_->frmOpenUSPD;
        whileOpen(form_->MOpen, [&] {
            rig_->test.messages.expectQuestion("Удалить УСПД?", false);
            dialog->N2->trigger();
            QCOMPARE(storedCount("USPD"), 2);
            rig_->test.messages.expectQuestion("Удалить УСПД?", true);
            dialog->N2->trigger();
            QCOMPARE(uspd().fieldByName(u"uspd_name").asString(), QStringLiteral("Второй"));
            QCOMPARE(dialog->DBGrid1->currentIndex().row(), 0);
            dialog->reject();
        });
        QCOMPARE(storedCount("USPD"), 1);
        QCOMPARE(storedCount("SpecInterFace"), 1);
        QCOMPARE(storedCount(QStringLiteral("SpecInterFace where id_uspd=%1").arg(first)), 0);
        QCOMPARE(rig_->test.messages.shown().front().caption, QStringLiteral("Подтверждение"));
    }

    // Ctrl+C in the list stores a copy of the chosen USPD with its rows and chooses the copy;
    // on an empty list it does nothing.
    void cloneCopiesTheUspdAndChoosesTheCopy() {
        TfrmOpenUSPD* dialog = form_->frmOpenUSPD;
        whileOpen(form_->MOpen, [&] {
            QApplication::setActiveWindow(dialog);
            dialog->DBGrid1->setFocus();
            QTest::keyClick(dialog->DBGrid1, Qt::Key_C, Qt::ControlModifier);
            QCOMPARE(storedCount("USPD"), 0);
            dialog->reject();
        });
        rig_->addUspd("Котельная", "ТЭЦ");
        addInterface();
        whileOpen(form_->MOpen, [&] {
            QApplication::setActiveWindow(dialog);
            dialog->DBGrid1->setFocus();
            QTest::keyClick(dialog->DBGrid1, Qt::Key_C, Qt::ControlModifier);
            QCOMPARE(storedCount("USPD"), 2);
            QCOMPARE(uspd().fieldByName(u"uspd_name").asString(),
                     QStringLiteral("Котельная (копия)"));
            QCOMPARE(dialog->DBGrid1->currentIndex().row(), 1);
            QCOMPARE(dialog->focusWidget(), dialog->DBGrid1);
            QTest::mouseClick(dialog->Button1, Qt::LeftButton);
        });
        QCOMPARE(form_->windowTitle(),
                 QStringLiteral("Конфигурирование УСПД ORVET-4410 - Котельная (копия) - ТЭЦ"));
        QCOMPARE(storedCount(QStringLiteral("SpecInterFace where id_uspd=%1")
                                 .arg(uspd().fieldByName(u"id_uspd").asInteger())),
                 1);
    }

    void deleteOnAnEmptyListAsksNothing() {
        whileOpen(form_->MOpen, [&] {
            form_->frmOpenUSPD->N2->trigger();
            form_->frmOpenUSPD->reject();
        });
        QVERIFY(rig_->test.messages.shown().empty());
    }

    void openingASecondUspdKeepsTheNodeAndFollowsItsModules() {
        const int first = rig_->addUspd("Первый");
        addModule(1);
        const int second = rig_->addUspd("Второй", "Завод");
        addModule(2);
        addModule(6);
        auto* modulesEditor = new QLabel("модули");
        form_->setEditor(TreeNode::Modules, modulesEditor);

        openUspd(first);
        form_->selectNode(TreeNode::Modules);
        QCOMPARE(rig_->data->DADevice.recordCount(), 1);
        openUspd(second);
        QCOMPARE(form_->selectedNode(), std::optional{TreeNode::Modules});
        QVERIFY(modulesEditor->isVisible());
        QCOMPARE(form_->windowTitle(),
                 QStringLiteral("Конфигурирование УСПД ORVET-4410 - Второй - Завод"));
        QCOMPARE(rig_->data->DADevice.recordCount(), 2);
        QCOMPARE(rig_->data->tblSpecDevice.recordCount(), 2);
    }

    void saveStoresWhatTheEditorHolds() {
        const int id = rig_->addUspd("Первый");
        auto* frame = new QWidget;
        auto* init =
            new DBEdit(rig_->data->tblSpecInterFace, "initstring", rig_->test.messages, frame);
        (new QVBoxLayout(frame))->addWidget(init);
        form_->setEditor(TreeNode::Interfaces, frame);
        openUspd(id);
        addInterface();
        form_->selectNode(TreeNode::Interfaces);
        init->setText("ATZ");
        init->setModified(true);
        form_->MSave->trigger();
        QCOMPARE(rig_->data->tblSpecInterFace.state(), Dataset::State::Browse);
        QSqlQuery query("select initstring from SpecInterFace", db());
        QVERIFY(query.next());
        QCOMPARE(query.value(0).toString(), QStringLiteral("ATZ"));

        // Nodes without an editor to save do nothing.
        form_->selectNode(TreeNode::Callback);
        form_->MSave->trigger();
    }

private:
    Dataset& uspd() { return rig_->data->tblUSPD; }
    QSqlDatabase db() { return rig_->data->ADOConnection1.database(); }
    int storedCount(const QString& from) {
        QSqlQuery query("select count(*) from " + from, db());
        return query.next() ? query.value(0).toInt() : -1;
    }
    void whileOpen(QAction* command, const std::function<void()>& inDialog) {
        testing::whileSelecting(*form_, command, inDialog);
    }
    void openUspd(int id) { testing::openUspd(*form_, *rig_->data, id); }
    void addInterface() {
        Dataset& ifaces = rig_->data->tblSpecInterFace;
        ifaces.open();
        ifaces.append();
        ifaces.fieldByName(u"port").setAsInteger(1);
        ifaces.post();
    }
    void addModule(int type) {
        Dataset& modules = rig_->data->tblSpecDevice;
        modules.open();
        modules.append();
        modules.fieldByName(u"t_device").setAsInteger(type);
        modules.post();
    }

    std::unique_ptr<testing::StoreRig> rig_;
    std::unique_ptr<TMainForm> form_;
};

}  // namespace orvet

QTEST_MAIN(orvet::OpenUspdTest)
#include "open_uspd_test.moc"
