#include "editing/list_grid.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <algorithm>

#include "editing/main_window.h"
#include "store/dataset.h"
#include "store/store_error.h"

namespace orvet {
namespace {

class RowIconDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem background = option;
        initStyleOption(&background, index);
        const QIcon icon = background.icon;
        background.icon = QIcon();
        background.features &= ~QStyleOptionViewItem::HasDecoration;
        const QWidget* view = option.widget;
        QStyle* style = view ? view->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &background, painter, view);
        icon.paint(painter, QRect(option.rect.topLeft() + QPoint(1, 1), QSize(16, 16)),
                   Qt::AlignLeft | Qt::AlignTop);
    }
};

}  // namespace

void keepSelectionVisible(QAbstractItemView* view) {
    QPalette palette = view->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    view->setPalette(palette);
}

void setUpListGrid(QTableView* grid, QMenu* menu) {
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setMinimumHeight(105);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    grid->verticalHeader()->setMinimumWidth(14);
    grid->horizontalHeader()->setHighlightSections(false);
    keepSelectionVisible(grid);
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(
        grid, &QWidget::customContextMenuRequested, menu,
        [grid, menu](const QPoint& at) { menu->popup(grid->viewport()->mapToGlobal(at)); });
    for (QAction* action : menu->actions()) {
        if (action->shortcut().isEmpty())
            continue;
        action->setShortcutContext(Qt::WidgetShortcut);
        grid->addAction(action);
    }
}

void showRowIcons(QTableView* grid, int column) {
    grid->setItemDelegateForColumn(column, new RowIconDelegate(grid));
}

void limitGridHeight(QTableView* grid, const QWidget* detailPanel, const TMainForm& mainForm) {
    int limit =
        mainForm.height() - mainForm.menuBar()->height() - detailPanel->sizeHint().height() - 30;
    if (mainForm.Analis->isVisible())
        limit -= mainForm.Analis->height();
    grid->setMaximumHeight(std::max(limit, grid->minimumHeight()));
}

int integerAt(const Dataset& dataset, int row, QStringView field) {
    const int index = dataset.fieldIndex(field);
    if (!dataset.isOpen() || row < 0 || row >= dataset.rowCount() || index < 0)
        return 0;
    try {
        return valueAsInteger(dataset.value(row, index));
    } catch (const StoreError&) {
        return 0;
    }
}

}  // namespace orvet
