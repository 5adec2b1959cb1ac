#pragma once

#include <QIcon>
#include <QWidget>

#include "core/platform.h"
#include "store/dataset.h"

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QSplitter;
class QTableView;

namespace orvet {

class DBEdit;
class DBLookupComboBox;
class DBRadioGroup;
class DatasetTableModel;
class TDataModule1;
class TMainForm;

// The interfaces editor: the current USPD's serial interfaces in port order, and the line
// settings of the selected one. Edits go into the current row of tblSpecInterFace and are
// stored when the row is posted (Save, or moving to another row).
class TIfaceTop : public QWidget, private DatasetObserver {
    Q_OBJECT
public:
    TIfaceTop(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm,
              QWidget* parent = nullptr);
    ~TIfaceTop() override;

    // "Добавить интерфейс": a new pending interface with the defaults of a new line.
    void N1Click();
    // "Удалить интерфейс": deletes the selected interface after the question; its modules
    // keep their reference to it.
    void N2Click();
    // Limits the grid's height so that the settings below stay in the main window.
    void Splitter1Moved();

    QTableView* DBGrid1;
    QSplitter* Splitter1;
    QGroupBox* GroupBox1;
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

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void datasetChanged(Dataset& dataset, const DatasetChange& change) override;
    // The initialisation string and the DTR setting are shown only where the selected
    // interface has them.
    void showRowSettings();
    QVariant cellDecoration(int row, int column, int role) const;

    Platform& platform_;
    TDataModule1& data_;
    TMainForm& mainForm_;
    DatasetTableModel* model_;
    QIcon lineIcon_;
    QIcon busIcon_;
};

}  // namespace orvet
