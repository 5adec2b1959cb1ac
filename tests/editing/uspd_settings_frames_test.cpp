#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTreeWidget>
#include <QtTest>

#include "editing/ui/main_window.h"
#include "editing/ui/uspd_settings_frames.h"
#include "store/ui/field_controls.h"
#include "support/store_rig.h"
#include "widget_helpers.h"

namespace orvet {

using testing::typeText;

class UspdSettingsFramesTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        rig_ = std::make_unique<testing::StoreRig>();
        form_ = testing::openedForm(*rig_, rig_->addUspd("Котельная"));
    }
    void cleanup() {
        const QStringList problems = testing::closeAll(form_, rig_);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    // Leaving the archives stores the short archive rounded up to a multiple of 16.
    void leavingRoundsTheShortArchive_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("stored");
        QTest::newRow("100") << "100" << 112;
        QTest::newRow("96") << "96" << 96;
        QTest::newRow("0") << "0" << 0;
    }
    void leavingRoundsTheShortArchive() {
        QFETCH(QString, typed);
        QFETCH(int, stored);
        TArchiveCFG* frame = form_->ArchiveCFG;
        form_->selectNode(TreeNode::Archives);
        type(frame->DBEdit4, typed);
        type(frame->DBEdit2, "100");  // the main archive stays pending
        form_->TreeView1->setFocus();
        QCOMPARE(value("select short_records from ShortArchive"), stored);
        QCOMPARE(frame->DBEdit4->text(), QString::number(stored));
        QCOMPARE(value("select main_records from MainArchive"), 0);
    }

    // Save rounds the archive whose edit has the focus, the main one too.
    void saveRoundsTheFocusedArchive() {
        TArchiveCFG* frame = form_->ArchiveCFG;
        form_->selectNode(TreeNode::Archives);
        frame->dbc_main_int->click();
        type(frame->DBEdit2, "100");
        form_->MSave->trigger();
        QCOMPARE(value("select main_records from MainArchive"), 112);
        QCOMPARE(value("select need_main_int from Headline"), 1);
    }

    void depthFollowsTheTypedValues() {
        TArchiveCFG* frame = form_->ArchiveCFG;
        form_->selectNode(TreeNode::Archives);
        type(frame->DBEdit3, "30");
        type(frame->DBEdit4, "1440");
        QVERIFY(frame->Label8->isVisible());
        QCOMPARE(frame->Label8->text(), QStringLiteral("720 ч. 0 мин. или 30 сут."));
        frame->DBEdit3->setFocus();
        frame->DBEdit3->clear();
        QVERIFY(!frame->Label8->isVisible());
        typeText(frame->DBEdit3, "7");
        QCOMPARE(frame->Label8->text(), QStringLiteral("168 ч. 0 мин. или 7 сут."));
        QVERIFY(!frame->DBEdit5->isEnabled() && !frame->DBEdit6->isEnabled());
    }

    // A click on an on-board switch is stored at once, with a pending archive switch.
    void onboardSwitchesAreStoredOnTheirClick() {
        form_->selectNode(TreeNode::Archives);
        form_->ArchiveCFG->DBCheckBox1->click();
        QCOMPARE(value("select need_short_int from Headline"), 0);
        form_->selectNode(TreeNode::OnboardModules);
        form_->Embdev->dbc_ledind->click();
        QCOMPARE(value("select led_enable from Headline"), 1);
        QCOMPARE(value("select need_short_int from Headline"), 1);
        form_->selectNode(TreeNode::Callback);
        form_->SetCallback->DBCheckBox1->click();
        QCOMPARE(value("select callback from Headline"), 1);
    }

    void phonesAreAddedAndDeleted() {
        TSetCallback* frame = form_->SetCallback;
        form_->selectNode(TreeNode::Callback);
        frame->btnPhoneDel->click();  // nothing to delete, nothing shown
        rig_->test.messages.expectNotice("Не указан номер телефона.");
        frame->btnPhoneAdd->click();
        QCOMPARE(value("select count(*) from CallbackPhone"), 0);
        frame->edPhoneNum->setFocus();
        typeText(frame->edPhoneNum, "+7901234567890");
        QCOMPARE(frame->edPhoneNum->text(), QStringLiteral("+79012345678"));  // 12 at most
        frame->btnPhoneAdd->click();
        frame->btnPhoneAdd->click();
        QCOMPARE(value("select count(*) from CallbackPhone where phonenum='+79012345678'"), 2);
        QCOMPARE(frame->DBGrid1->model()->rowCount(), 2);
        frame->btnPhoneDel->click();
        QCOMPARE(value("select count(*) from CallbackPhone"), 1);
    }

private:
    static void type(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        edit->selectAll();
        typeText(edit, text);
    }
    int value(const QString& sql) const {
        QSqlQuery query(sql, rig_->data->ADOConnection1.database());
        return query.next() ? query.value(0).toInt() : -1;
    }

    std::unique_ptr<testing::StoreRig> rig_;
    std::unique_ptr<TMainForm> form_;
};

}  // namespace orvet

QTEST_MAIN(orvet::UspdSettingsFramesTest)
#include "uspd_settings_frames_test.moc"
