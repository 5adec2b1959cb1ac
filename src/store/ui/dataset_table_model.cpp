#include "store/ui/dataset_table_model.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QStyle>
#include <QTableView>
#include <algorithm>

#include "core/guarded.h"
#include "store/ui/field_controls.h"

namespace orvet {

DatasetTableModel::DatasetTableModel(Dataset& dataset, QList<GridColumn> columns,
                                     MessageBoxes& messages, QObject* parent)
    : QAbstractTableModel(parent),
      dataset_(dataset),
      columns_(std::move(columns)),
      messages_(messages) {
    dataset_.addObserver(this);
    datasetChanged(dataset_, {DatasetChange::Reset});
}

DatasetTableModel::~DatasetTableModel() {
    dataset_.removeObserver(this);
}

int DatasetTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !dataset_.isOpen() ? 0 : dataset_.rowCount();
}

int DatasetTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(columns_.size());
}

QVariant DatasetTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (decoration) {
        QVariant decorated = decoration(index.row(), index.column(), role);
        if (decorated.isValid())
            return decorated;
    }
    if (role == Qt::TextAlignmentRole && columns_[index.column()].alignment)
        return (columns_[index.column()].alignment | Qt::AlignVCenter).toInt();
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    const int field = fieldIndexes_.value(index.column(), -1);
    if (field < 0)
        return {};
    const QVariant value = dataset_.value(index.row(), field);
    return value.isNull() ? QVariant(QString()) : value;
}

bool DatasetTableModel::guarded(const std::function<void()>& action) {
    return orvet::guarded(messages_, action);
}

bool DatasetTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const int field = fieldIndexes_.value(index.column(), -1);
    return guarded([&] {
        if (dataset_.currentRow() != index.row())
            dataset_.moveTo(index.row());
        if (dataset_.state() == Dataset::State::Browse)
            dataset_.edit();
        const QString text = value.toString();
        dataset_.assign(field, text.isEmpty() ? QVariant() : value);
    });
}

Qt::ItemFlags DatasetTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const int field = fieldIndexes_.value(index.column(), -1);
    if (field >= 0 && !columns_[index.column()].readOnly && !dataset_.isLookupField(field) &&
        !dataset_.tableName().isEmpty() && !dataset_.fieldDef(field).isKey) {
        result |= Qt::ItemIsEditable;
    }
    return result;
}

QVariant DatasetTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        if (role == Qt::DisplayRole && section < columns_.size())
            return columns_[section].title;
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (role != Qt::DisplayRole)
        return {};
    if (section != dataset_.currentRow())
        return QString();
    switch (dataset_.state()) {
        case Dataset::State::Insert:
            return QStringLiteral("*");
        case Dataset::State::Edit:
            return QStringLiteral("I");
        default:
            return QStringLiteral("▶");
    }
}

void DatasetTableModel::datasetAboutToChange(Dataset&, const DatasetChange& change) {
    ++notifying_;
    const auto done = qScopeGuard([this] { --notifying_; });
    switch (change.kind) {
        case DatasetChange::Reset:
            if (!resetting_) {
                resetting_ = true;
                beginResetModel();
            }
            break;
        case DatasetChange::RowInserted:
            beginInsertRows({}, change.row, change.row);
            break;
        case DatasetChange::RowRemoved:
            beginRemoveRows({}, change.row, change.row);
            break;
        default:
            break;
    }
}

void DatasetTableModel::datasetChanged(Dataset&, const DatasetChange& change) {
    ++notifying_;
    const auto done = qScopeGuard([this] { --notifying_; });
    switch (change.kind) {
        case DatasetChange::Reset:
            fieldIndexes_.clear();
            if (dataset_.isOpen()) {
                for (const GridColumn& column : columns_)
                    fieldIndexes_ << dataset_.fieldIndex(column.field);
            }
            if (resetting_) {
                resetting_ = false;
                endResetModel();
            }
            break;
        case DatasetChange::RowInserted:
            endInsertRows();
            break;
        case DatasetChange::RowRemoved:
            endRemoveRows();
            break;
        case DatasetChange::RowChanged:
            if (change.row >= 0 && change.row < rowCount()) {
                emit dataChanged(index(change.row, 0), index(change.row, columnCount() - 1));
            }
            break;
        case DatasetChange::CurrentRowChanged:
            if (rowCount() > 0)
                emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
            emit currentRowChanged(change.row);
            break;
        case DatasetChange::StateChanged:
            if (rowCount() > 0)
                emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
            break;
    }
}

QWidget* FieldEditorDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                           const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    auto* line = qobject_cast<QLineEdit*>(editor);
    const auto* model = qobject_cast<const DatasetTableModel*>(index.model());
    if (line && model && index.column() < model->columns().size()) {
        const FieldDef* def =
            declaredField(model->dataset(), model->columns()[index.column()].field);
        if (def)
            limitTyping(line, *def, def->minimum, def->maximum);
    }
    return editor;
}

void bindGrid(QTableView* view, DatasetTableModel* model) {
    view->setModel(model);
    view->setItemDelegate(new FieldEditorDelegate(view));
    // A column is as wide as asked (the header's default minimum is wider than an icon
    // column), but never narrower than its title in the header's font.
    QHeaderView* header = view->horizontalHeader();
    for (const GridColumn& def : model->columns()) {
        if (def.width > 0 && def.width < header->minimumSectionSize())
            header->setMinimumSectionSize(def.width);
    }
    const int margins = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    for (int column = 0; column < model->columns().size(); ++column) {
        const GridColumn& def = model->columns()[column];
        if (def.width > 0) {
            const int title = def.title.isEmpty()
                                  ? 0
                                  : header->fontMetrics().horizontalAdvance(def.title) + margins;
            view->setColumnWidth(column, std::max(def.width, title));
        }
    }
    // The view follows the dataset...
    auto showCurrent = [view, model](int row) {
        if (row < 0 || row >= model->rowCount())
            return;
        const QModelIndex current = view->currentIndex();
        if (current.isValid() && current.row() == row)
            return;
        view->setCurrentIndex(model->index(row, current.isValid() ? current.column() : 0));
    };
    QObject::connect(model, &DatasetTableModel::currentRowChanged, view, showCurrent);
    QObject::connect(model, &QAbstractItemModel::modelReset, view,
                     [model, showCurrent] { showCurrent(model->dataset().currentRow()); });
    QObject::connect(model, &QAbstractItemModel::rowsInserted, view,
                     [model, showCurrent] { showCurrent(model->dataset().currentRow()); });
    // ... and the dataset follows the view; a refused move (a row that cannot be posted)
    // puts the view back on the dataset's row.
    QObject::connect(
        view->selectionModel(), &QItemSelectionModel::currentRowChanged, view,
        [view, model](const QModelIndex& current) {
            Dataset& dataset = model->dataset();
            if (model->notifying() || !current.isValid() || current.row() == dataset.currentRow()) {
                return;
            }
            const int row = current.row();
            if (!model->guarded([&] { dataset.moveTo(row); })) {
                const int back = dataset.currentRow();
                if (back >= 0) {
                    view->setCurrentIndex(model->index(back, current.column()));
                }
            }
        });
    showCurrent(model->dataset().currentRow());
}

}  // namespace orvet
