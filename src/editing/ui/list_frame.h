#pragma once

#include <QIcon>
#include <QWidget>
#include <functional>
#include <initializer_list>

#include "core/platform.h"
#include "store/dataset.h"
#include "store/ui/dataset_table_model.h"

class QAbstractItemView;
class QGroupBox;
class QMenu;
class QSplitter;
class QTableView;

namespace orvet {

class TMainForm;

// The selection of `view` keeps its colours while the focus is elsewhere.
void keepSelectionVisible(QAbstractItemView* view);

// The widgets keep their place in the layout while hidden (settings that come and go with
// the current row do not move the others).
void keepPlaceWhenHidden(std::initializer_list<QWidget*> widgets);

// Field `field` of row `row` of `dataset` as an integer: 0 without such a row or field, for an
// empty value, and for a value that is not a number (what a grid or a panel shows for it).
int integerAt(const Dataset& dataset, int row, QStringView field);

// The shape of the list editors: a read-only grid over a dataset at the top (whole rows
// selected and shown also without the focus, at least 105 pixels high), a splitter, and a
// titled panel of settings bound to the current row. A first column without a field holds
// the row's icon. The panel's row-dependent settings follow the current row and its values.
class TListFrame : public QWidget, private DatasetObserver {
    Q_OBJECT
public:
    ~TListFrame() override;

    // The grid height rule: the grid grows at most to the main window's client height minus
    // the panel's height minus 30 pixels, and minus the list box Analis or the frame log in its
    // place while one shows.
    void Splitter1Moved();

    QTableView* DBGrid1;
    QSplitter* Splitter1;
    QGroupBox* GroupBox1;  // the settings panel; the derived frame fills it

protected:
    TListFrame(Platform& platform, TMainForm& mainForm, Dataset& dataset, QList<GridColumn> columns,
               const QString& panelTitle, QWidget* parent);

    // Makes `menu` the grid's context menu; the keys of its items work while the grid has the
    // focus. Ends the derived frame's construction: the panel shows the current row.
    void finishFrame(QMenu* menu);
    // Runs `add` on the dataset (a store error is shown) and gives the grid the focus. What
    // the panel's edits hold is stored into the current row first, which is then posted.
    void addRow(const std::function<void(Dataset&)>& add);
    // Stores what the panel's edits hold into the current row (a menu or a button that keeps
    // the focus where it is would leave it there, and the next post would drop it); false
    // when an edit's value was refused (its message has been shown).
    bool storeTyped();
    // Deletes the current row if the list holds one and the user answers Yes to `question`
    // followed by the row's `nameField`, in a question box captioned "Подтверждение".
    void deleteRow(const QString& question, QStringView nameField);
    // Runs `action`, showing a store error in a message box; false when it failed.
    bool guarded(const std::function<void()>& action) { return model_->guarded(action); }

    // Shows or hides the settings that depend on the current row.
    virtual void showRowSettings() {}
    // The row being edited was posted or cancelled (the list is back in browse state).
    virtual void rowSettled() {}
    // The icon of row `row` for the icon column.
    virtual QIcon rowIcon(int /*row*/) const { return {}; }

    void resizeEvent(QResizeEvent* event) override;

    Platform& platform_;
    Dataset& dataset_;
    DatasetTableModel* model_;

private:
    void datasetChanged(Dataset& dataset, const DatasetChange& change) override;
    void enablePanel();

    TMainForm& mainForm_;
    bool finished_ = false;
    bool editing_ = false;
};

}  // namespace orvet
