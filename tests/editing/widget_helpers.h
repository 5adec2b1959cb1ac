#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "editing/ui/main_window.h"
#include "editing/ui/open_uspd_dialog.h"
#include "store/data_module.h"
#include "store/ui/field_controls.h"
#include "support/store_rig.h"

namespace orvet::testing {

// Types `text` into `widget` key by key, as a user would (Cyrillic too).
inline void typeText(QWidget* widget, const QString& text) {
    for (const QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(ch));
        QCoreApplication::sendEvent(widget, &press);
        QCoreApplication::sendEvent(widget, &release);
    }
}

// The cell editor the grid shows now (closed ones may linger until deleted).
inline QLineEdit* cellEditor(QTableView* grid) {
    for (QLineEdit* editor : grid->findChildren<QLineEdit*>()) {
        if (editor->isVisible())
            return editor;
    }
    return nullptr;
}

// Triggers `command`, runs `inDialog` while the modal selection dialog is open (it closes
// the dialog if `inDialog` leaves it open), and fails if the dialog is still open afterwards.
inline void whileSelecting(TMainForm& form, QAction* command,
                           const std::function<void()>& inDialog) {
    bool ran = false;
    QTimer::singleShot(0, form.frmOpenUSPD, [&] {
        ran = true;
        inDialog();
        if (form.frmOpenUSPD->isVisible())
            form.frmOpenUSPD->reject();
    });
    command->trigger();
    QVERIFY(ran);
    QVERIFY(!form.frmOpenUSPD->isVisible());
}

// Opens the USPD `id` in `form` through the selection dialog, as the user does.
inline void openUspd(TMainForm& form, TDataModule1& data, int id) {
    whileSelecting(form, form.MOpen, [&] {
        QVERIFY(data.tblUSPD.locate(u"id_uspd", id));
        QTest::mouseClick(form.frmOpenUSPD->Button1, Qt::LeftButton);
    });
}

// A main window over `rig`'s store, shown and active, with USPD `uspd` opened through the
// selection dialog.
inline std::unique_ptr<TMainForm> openedForm(StoreRig& rig, int uspd) {
    auto form = std::make_unique<TMainForm>(rig.test.platform(), *rig.data);
    form->show();
    [&] { QVERIFY(QTest::qWaitForWindowExposed(form.get())); }();
    openUspd(*form, *rig.data, uspd);
    QApplication::setActiveWindow(form.get());
    return form;
}

// Closes the window, then the store; returns the message boxes that went wrong.
inline QStringList closeAll(std::unique_ptr<TMainForm>& form, std::unique_ptr<StoreRig>& rig) {
    form.reset();
    QStringList problems = rig->problems();
    rig.reset();
    return problems;
}

// Picks the item `text` from the drop-down list of `list` as the user does: the list opens,
// the item is chosen, the list closes; returns once the close-up has been handled.
inline void chooseInList(DBLookupComboBox* list, const QString& text) {
    const int item = list->findText(text);
    QVERIFY2(item >= 0, qPrintable(text));
    QSignalSpy closeUp(list, &DBLookupComboBox::closeUp);
    list->showPopup();
    list->setCurrentIndex(item);
    emit list->activated(item);
    list->hidePopup();
    QVERIFY(closeUp.wait(1000));
    // The offscreen platform leaves the closed list as the active window.
    QApplication::setActiveWindow(list->window());
}

}  // namespace orvet::testing
