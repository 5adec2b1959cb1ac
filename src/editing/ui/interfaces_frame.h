#pragma once

#include "editing/ui/list_frame.h"

class QAction;
class QGridLayout;
class QLabel;
class QMenu;

namespace orvet {

class DBEdit;
class DBLookupComboBox;
class DBRadioGroup;
class TDataModule1;

// The interfaces editor: the current USPD's serial interfaces in port order, and the line
// settings of the selected one. Edits go into the current row of tblSpecInterFace and are
// stored when the row is posted (Save, or moving to another row).
class TIfaceTop : public TListFrame {
    Q_OBJECT
public:
    TIfaceTop(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm,
              QWidget* parent = nullptr);

    // "Добавить интерфейс": a new pending interface with the defaults of a new line.
    void N1Click();
    // "Удалить интерфейс": deletes the selected interface after the question; its modules
    // keep their reference to it.
    void N2Click();

    DBLookupComboBox* ifType;
    DBLookupComboBox* ifPort;
    DBLookupComboBox* ifBaud;
    DBRadioGroup* drg_DTR;
    DBRadioGroup* DBRadioGroup1;
    DBRadioGroup* DBRadioGroup2;
    DBRadioGroup* DBRadioGroup3;
    QLabel* Label5;
    DBEdit* DBEdit1;
    QMenu* IfacePopup;
    QAction* N1;
    QAction* N2;

private:
    void buildPopupMenu();
    void createLineControls(TDataModule1& dataModule);
    void createCharacterFormatControls();
    void createModemControls();
    void buildSettingsPanel();
    QGridLayout* buildLineGrid();

    // The initialisation string and the DTR setting are shown only where the selected
    // interface has them.
    void showRowSettings() override;
    QIcon rowIcon(int row) const override;
    // A posted port may have left the list out of port order: once the command that posted
    // it is over, the list is read again in port order (the module editor's port lists
    // follow) and stays on the same interface.
    void rowSettled() override;
    void sortByPort();

    QIcon lineIcon_;
    QIcon busIcon_;
    bool sortQueued_ = false;
};

}  // namespace orvet
