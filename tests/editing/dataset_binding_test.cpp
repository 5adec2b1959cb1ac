#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

#include "store/ui/dataset_table_model.h"
#include "store/ui/field_controls.h"
#include "support/store_rig.h"
#include "widget_helpers.h"

namespace orvet {

using testing::typeText;

// Message boxes that take the focus as a real box does, and record the errors.
class FocusTakingBoxes final : public MessageBoxes {
public:
    explicit FocusTakingBoxes(QWidget* focus) : focus_(focus) {}
    void information(const QString&, const QString&) override {}
    void warning(const QString&, const QString&) override {}
    void error(const QString& text, const QString&) override {
        errors << text;
        focus_->setFocus(Qt::OtherFocusReason);
    }
    bool question(const QString&, const QString&, QuestionIcon) override { return false; }
    Answer questionWithCancel(const QString&, const QString&) override { return Answer::Cancel; }

    QStringList errors;

private:
    QWidget* focus_;
};

class DatasetBindingTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        rig_ = std::make_unique<testing::StoreRig>();
        test_ = &rig_->test;
        data_ = rig_->data.get();
        for (const char* name : {"Котельная", "Насосная", "Подстанция"})
            rig_->addUspd(QString::fromUtf8(name));
        data_->tblUSPD.first();
    }
    void cleanup() {
        const QStringList problems = rig_->problems();
        rig_.reset();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    void gridAndDatasetFollowEachOther() {
        Dataset& uspd = data_->tblUSPD;
        DatasetTableModel model(
            uspd, {{"uspd_name", "Название УСПД", 136}, {"enterprise", "Предприятие", 186}},
            test_->messages);
        QTableView view;
        bindGrid(&view, &model);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Название УСПД"));
        QCOMPARE(view.columnWidth(0), 136);
        QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("Насосная"));
        QCOMPARE(view.currentIndex().row(), 0);

        view.setCurrentIndex(model.index(2, 1));
        QCOMPARE(uspd.currentRow(), 2);
        uspd.first();
        QCOMPARE(view.currentIndex().row(), 0);
        QCOMPARE(model.headerData(0, Qt::Vertical, Qt::DisplayRole).toString(),
                 QStringLiteral("▶"));

        uspd.append();
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(view.currentIndex().row(), 3);
        QCOMPARE(model.headerData(3, Qt::Vertical, Qt::DisplayRole).toString(),
                 QStringLiteral("*"));
        uspd.cancel();
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(uspd.recordCount(), 3);
        QCOMPARE(view.currentIndex().row(), uspd.currentRow());
    }

    void gridEditsAssignAndRefusalsAreShown() {
        Dataset& uspd = data_->tblUSPD;
        DatasetTableModel model(uspd, {{"uspd_name", "Название УСПД"}, {"id_uspd", "Ключ"}},
                                test_->messages);
        QVERIFY(model.setData(model.index(1, 0), QStringLiteral("Насосная №2"), Qt::EditRole));
        QCOMPARE(uspd.currentRow(), 1);
        QCOMPARE(uspd.state(), Dataset::State::Edit);
        QCOMPARE(model.headerData(1, Qt::Vertical, Qt::DisplayRole).toString(),
                 QStringLiteral("I"));
        QCOMPARE(uspd.fieldByName(u"uspd_name").asString(), QStringLiteral("Насосная №2"));

        test_->messages.allowNotices();
        QVERIFY(!model.setData(model.index(1, 0), QString(51, QChar(u'я')), Qt::EditRole));
        QCOMPARE(test_->messages.shown().size(), size_t(1));
        QCOMPARE(test_->messages.shown()[0].caption, QStringLiteral("Ошибка"));
        QCOMPARE(uspd.fieldByName(u"uspd_name").asString(), QStringLiteral("Насосная №2"));
        QVERIFY2(!(model.flags(model.index(0, 1)) & Qt::ItemIsEditable), "the key is not edited");
    }

    void editStoresOnFinishAndEscapeRestores() {
        Dataset& uspd = data_->tblUSPD;
        DBEdit edit(uspd, "enterprise", test_->messages);
        edit.show();
        QCOMPARE(edit.text(), QString());
        edit.setFocus();
        typeText(&edit, "Завод");
        QCOMPARE(uspd.state(), Dataset::State::Browse);  // nothing stored while typing
        QTest::keyClick(&edit, Qt::Key_Return);
        QCOMPARE(uspd.fieldByName(u"enterprise").asString(), QStringLiteral("Завод"));
        uspd.post();

        typeText(&edit, " 2");
        QTest::keyClick(&edit, Qt::Key_Escape);
        QCOMPARE(edit.text(), QStringLiteral("Завод"));

        uspd.next();
        QCOMPARE(edit.text(), QString());
        uspd.first();
        QCOMPARE(edit.text(), QStringLiteral("Завод"));

        // The edit holds no more than the field: a longer text is cut, not refused.
        QCOMPARE(edit.maxLength(), 50);
        edit.setText(QString(60, QChar(u'x')));
        edit.setModified(true);
        QVERIFY(edit.commit());
        QCOMPARE(uspd.fieldByName(u"enterprise").asString(), QString(50, QChar(u'x')));
        uspd.cancel();
    }

    // A refusal is shown once, also when its box takes the focus from the edit (which ends
    // the edit's editing again), and the edit shows the field again.
    void refusalIsShownOnce() {
        Dataset& ifaces = data_->tblSpecInterFace;
        ifaces.append();
        ifaces.fieldByName(u"port").setAsInteger(2);
        ifaces.post();
        QWidget window;
        auto* other = new QLineEdit(&window);
        FocusTakingBoxes boxes(other);
        auto* edit = new DBEdit(ifaces, "port", boxes, &window);
        edit->move(0, 40);
        edit->setCaption("COM-порт");
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(edit->toolTip(), QStringLiteral("COM-порт: от 0 до 65535"));
        edit->setFocus();
        edit->selectAll();
        typeText(edit, "70000");
        QCOMPARE(edit->text(), QStringLiteral("70000"));
        QVERIFY(!edit->commit());
        QCOMPARE(boxes.errors, QStringList{"Значение «70000» недопустимо для поля «COM-порт»: "
                                           "допустимы значения от 0 до 65535"});
        QCOMPARE(edit->text(), QStringLiteral("2"));
        QCOMPARE(ifaces.fieldByName(u"port").asInteger(), 2);

        // Leaving the edit with such a value refuses it too: it is not dropped silently.
        edit->setFocus();
        edit->selectAll();
        typeText(edit, "99999");
        other->setFocus();
        QCOMPARE(boxes.errors.size(), 2);
        QCOMPARE(edit->text(), QStringLiteral("2"));
    }

    void checkBoxLookupAndRadioGroup() {
        Dataset& ifaces = data_->tblSpecInterFace;
        ifaces.append();
        ifaces.fieldByName(u"port").setAsInteger(2);
        ifaces.fieldByName(u"DTR_enable").setAsInteger(1);
        ifaces.fieldByName(u"parity").setAsInteger(0);
        ifaces.post();

        DBCheckBox dtr("DTR", ifaces, "DTR_enable", test_->messages);
        QVERIFY(dtr.isChecked());
        dtr.click();
        QCOMPARE(ifaces.fieldByName(u"DTR_enable").asString(), QStringLiteral("0"));

        DBLookupComboBox port(ifaces, "port", data_->tblPort, "key", "portname", test_->messages);
        QCOMPARE(port.count(), 8);
        QCOMPARE(port.currentText(), QStringLiteral("COM2"));
        QSignalSpy closeUp(&port, &DBLookupComboBox::closeUp);
        port.showPopup();
        port.setCurrentIndex(4);
        emit port.activated(4);
        port.hidePopup();
        QCOMPARE(ifaces.fieldByName(u"port").asInteger(), 5);
        QVERIFY(closeUp.wait(1000));

        DBRadioGroup parity("Четность", {"нет", "чет", "нечет"}, {"0", "1", "2"}, ifaces, "parity",
                            test_->messages);
        QCOMPARE(parity.itemIndex(), 0);
        auto buttons = parity.findChildren<QAbstractButton*>();
        buttons[2]->click();
        QCOMPARE(ifaces.fieldByName(u"parity").asInteger(), 2);
        ifaces.cancel();
        QCOMPARE(parity.itemIndex(), 0);
        QVERIFY(buttons[0]->isChecked());
        QCOMPARE(port.currentText(), QStringLiteral("COM2"));
        QVERIFY(dtr.isChecked());
    }

private:
    std::unique_ptr<testing::StoreRig> rig_;
    testing::TestPlatform* test_ = nullptr;
    TDataModule1* data_ = nullptr;
};

}  // namespace orvet

QTEST_MAIN(orvet::DatasetBindingTest)
#include "dataset_binding_test.moc"
