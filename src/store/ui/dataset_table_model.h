#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QStyledItemDelegate>
#include <functional>

#include "core/message_boxes.h"
#include "store/dataset.h"

class QTableView;

namespace orvet {

// One grid column: a dataset field (a lookup field too) with its title and width. A column
// without a field shows only what the model's decoration gives it (a row icon).
struct GridColumn {
    QString field;
    QString title;
    int width = 0;  // pixels; 0 leaves the view's default
    bool readOnly = false;
    Qt::Alignment alignment = {};  // of the cell's text; empty leaves the view's default
};

// A grid's model over a dataset: one row per stored row plus the pending row, one column
// per GridColumn. It follows the dataset through its observer interface; edits in the grid
// put the row into editing and assign the field, and a refused value is shown in a message
// box and leaves the field as it was. The vertical header is the row indicator: "▶" on the
// current row, "*" on a pending one, "I" while the current row is being edited.
class DatasetTableModel : public QAbstractTableModel, private DatasetObserver {
    Q_OBJECT
public:
    DatasetTableModel(Dataset& dataset, QList<GridColumn> columns, MessageBoxes& messages,
                      QObject* parent = nullptr);
    ~DatasetTableModel() override;

    Dataset& dataset() const { return dataset_; }
    const QList<GridColumn>& columns() const { return columns_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Extra roles of a cell (row icons, colours), asked before the field's own value.
    // Returning an invalid QVariant falls back to the default.
    std::function<QVariant(int row, int column, int role)> decoration;

    // True while the model passes on a change of the dataset: a view reacting to it (Qt moves
    // the current index off a removed row) must not move the dataset then.
    bool notifying() const { return notifying_ > 0; }

    // Runs `action` on the dataset, showing a refusal of the store in a message box.
    // Returns false when it was refused.
    bool guarded(const std::function<void()>& action);

signals:
    // The dataset's current row changed to `row` (-1: none).
    void currentRowChanged(int row);

private:
    void datasetAboutToChange(Dataset& dataset, const DatasetChange& change) override;
    void datasetChanged(Dataset& dataset, const DatasetChange& change) override;

    Dataset& dataset_;
    QList<GridColumn> columns_;
    MessageBoxes& messages_;
    QList<int> fieldIndexes_;  // per column, resolved on open
    bool resetting_ = false;
    int notifying_ = 0;
};

// A grid's cell editors take the limits of their column's field: a text editor takes at most
// the field's width, a number editor only what the field's range holds.
class FieldEditorDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
};

// Ties a view to its model (its cell editors limited by a FieldEditorDelegate): the dataset's
// current row and the view's current index follow each other, and the column widths are applied.
void bindGrid(QTableView* view, DatasetTableModel* model);

}  // namespace orvet
