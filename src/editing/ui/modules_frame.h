#pragma once

#include <QList>
#include <array>
#include <functional>

#include "editing/ui/list_frame.h"

class QAction;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QMenu;

namespace orvet {

class DBCheckBox;
class DBEdit;
class DBLookupComboBox;
class TDataModule1;
class Tm_Progress;

// The I/O module editor: the current USPD's modules in order of creation, and the settings
// of the selected one. Choosing a type or an interface, or leaving the number edit, updates
// the module's identity (channel counts and name) and posts it; other edits are stored when
// the row is posted (Save, or moving to another row).
class TDevConf : public TListFrame {
    Q_OBJECT
public:
    TDevConf(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm,
             QWidget* parent = nullptr);

    // "Добавить модуль УСО": a new pending module with the defaults of a new module.
    void N1Click();
    // "Удалить модуль УСО": deletes the selected module and its channels after the question.
    void N2Click();
    // The identity update after a type or an interface was chosen.
    void devTypeCloseUp();
    void devPortCloseUp();
    // The identity update when the focus leaves the number edit.
    void devNOnIfaceExit();
    // Retransmission is only for type 0: on any other type the box is unchecked again.
    void RetransClick();
    // "Добавить все каналы УСО": every channel of the selected module from its type's
    // templates, then the report.
    void N4Click();
    // "Все каналы всех модулей": the same for every module of a type other than 0, one report.
    void N6Click();
    // "Копировать" → "1x" ... "100x": `count` copies of the selected module.
    void CopyModule(int count);

    DBLookupComboBox* devType;
    DBLookupComboBox* devPort;
    DBEdit* devNOnIface;
    DBCheckBox* Retrans;
    QLabel* Label9;
    QLabel* Label10;
    DBLookupComboBox* devPort2;
    QLabel* Label11;
    DBEdit* devNOnIface2;
    QGroupBox* GroupBox2;
    QLabel* Label3;
    DBEdit* DBEdit1;
    QLabel* Label6;
    DBEdit* DBEdit2;
    QLabel* Label8;
    DBEdit* DBEdit4;
    QLabel* Label7;
    DBEdit* DBEdit3;
    QLabel* Label12;
    DBEdit* devPsw;
    DBEdit* NumMod;
    QMenu* PopupDev;
    QAction* N1;
    QAction* N2;
    QMenu* N5;
    QList<QAction*> copyItems;  // "1x" ... "100x"
    QAction* N4;
    QAction* N6;
    Tm_Progress* m_Progress;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildPopupMenu();
    void fitTypeColumn();
    void createIdentityControls();
    void createTimingControls();
    void createPasswordControls();
    void buildSettingsPanel();
    QGridLayout* buildIdentityGrid();
    void addRetransmissionRow(QGridLayout* identity);
    QHBoxLayout* buildTimingRow();
    void buildPasswordRow();
    void wireIdentityReactions();
    // Runs a bulk command under the progress window, the module being edited stored first;
    // a failure closes the window and is shown. False when it did not run or failed.
    bool runBulk(const std::function<void()>& command);

    // The panel shows what the selected module's type has: retransmission for type 0, the
    // poll and start periods for the others, a password or a modem number for their types.
    void showRowSettings() override;
    void showRetransmission();
    void updateIdentity();
    QIcon rowIcon(int row) const override;

    TDataModule1& data_;
    QWidget* passwordRow_;
    std::array<QIcon, 5> rowIcons_;
};

}  // namespace orvet
