#include <QDialog>
#include <QLineEdit>
#include <QtTest>
#include <memory>

#include "core/ui/owner_activation.h"

namespace orvet {

class OwnerActivationTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        owner_ = std::make_unique<QWidget>();
        ownerEdit_ = new QLineEdit(owner_.get());
        owner_->show();
        owner_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(owner_.get()));
        ownerEdit_->setFocus();
    }
    void cleanup() { owner_.reset(); }

    // A closed dialog gives the activation back to the window that opened it, whose focused
    // widget gets the keyboard again. Without the filter the closed dialog stays the active
    // window on the offscreen display, as it does on a display that nobody manages.
    void aClosedDialogActivatesItsOwner_data() {
        QTest::addColumn<bool>("filtering");
        QTest::newRow("with the filter") << true;
        QTest::newRow("without") << false;
    }
    void aClosedDialogActivatesItsOwner() {
        QFETCH(bool, filtering);
        std::unique_ptr<OwnerActivation> activation;
        if (filtering)
            activation = std::make_unique<OwnerActivation>();
        auto* dialog = new QDialog(owner_.get());
        closeOnceActive(dialog);
        dialog->exec();
        if (filtering) {
            QTRY_COMPARE(QApplication::activeWindow(), owner_.get());
            QCOMPARE(QApplication::focusWidget(), ownerEdit_);
        } else {
            QTest::qWait(50);
            QCOMPARE(QApplication::activeWindow(), dialog);
        }
    }

    // A window without an owner to go back to changes nothing.
    void aWindowWithoutOwnerHandsNothing() {
        OwnerActivation activation;
        QDialog orphan;
        closeOnceActive(&orphan);
        orphan.exec();
        QTest::qWait(50);
        QVERIFY(QApplication::activeWindow() != owner_.get());
    }

private:
    static void closeOnceActive(QDialog* dialog) {
        QTimer::singleShot(0, dialog, [dialog] {
            dialog->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            dialog->reject();
        });
    }

    std::unique_ptr<QWidget> owner_;
    QLineEdit* ownerEdit_ = nullptr;
};

}  // namespace orvet

QTEST_MAIN(orvet::OwnerActivationTest)
#include "owner_activation_test.moc"
