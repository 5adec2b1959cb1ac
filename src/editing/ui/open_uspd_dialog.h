#pragma once

#include <QDialog>

#include "core/platform.h"

class QAction;
class QMenu;
class QPushButton;
class QTableView;

namespace orvet {

class DatasetTableModel;
class TDataModule1;

// The USPD selection dialog: the list of USPDs in the store, edited in place, with add and
// delete; "OK" makes the row under the cursor the current USPD (the main window then opens
// it). The same dialog serves "Создать" and "Открыть"; only the caption differs.
class TfrmOpenUSPD : public QDialog {
    Q_OBJECT
public:
    TfrmOpenUSPD(Platform& platform, TDataModule1& dataModule, QWidget* parent = nullptr);
    ~TfrmOpenUSPD() override;

    // Opens the store's connection and tblUSPD if needed, sets the caption and shows the
    // dialog modally. Returns the number of USPDs when closed by "OK", -1 otherwise.
    int choose(const QString& caption);

    QTableView* DBGrid1;
    QPushButton* Button1;
    QMenu* PopupMenu1;
    QAction* N1;
    QAction* N2;
    QAction* m_Clone;

    void N1Click();
    void N2Click();
    // "Клонировать УСПД": a copy of the chosen USPD with all its rows, chosen in its place.
    void m_CloneClick();
    void Button1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setUpGrid();
    void watchGridFocus();
    void buildPopupMenu();
    void buildLayout();
    // Focus leaves the grid: the row under the cursor is stored.
    void DBGrid1Exit();

    Platform& platform_;
    TDataModule1& data_;
    DatasetTableModel* model_;
    int chosenCount_ = -1;
    QMetaObject::Connection focusWatch_;
};

}  // namespace orvet
