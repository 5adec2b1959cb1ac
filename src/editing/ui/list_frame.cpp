#include "editing/ui/list_frame.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "core/texts.h"
#include "editing/ui/main_window.h"
#include "link/ui/frame_log_view.h"
#include "store/store_error.h"
#include "store/ui/field_controls.h"

namespace orvet {
namespace {

// The grid's first share of the splitter: as much as it may take.
constexpr int kGrowing = 10000;

// Draws the row's icon at full size in the cell's top-left corner, untinted also in the
// selected row.
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

void keepPlaceWhenHidden(std::initializer_list<QWidget*> widgets) {
    for (QWidget* widget : widgets) {
        QSizePolicy policy = widget->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        widget->setSizePolicy(policy);
    }
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

TListFrame::TListFrame(Platform& platform, TMainForm& mainForm, Dataset& dataset,
                       QList<GridColumn> columns, const QString& panelTitle, QWidget* parent)
    : QWidget(parent),
      DBGrid1(new QTableView),
      Splitter1(new QSplitter(Qt::Vertical)),
      GroupBox1(new QGroupBox(panelTitle)),
      platform_(platform),
      dataset_(dataset),
      model_(new DatasetTableModel(dataset, columns, platform.messages, this)),
      mainForm_(mainForm) {
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    if (!columns.isEmpty() && columns.front().field.isEmpty()) {
        model_->decoration = [this](int row, int column, int role) -> QVariant {
            if (column != 0 || role != Qt::DecorationRole)
                return {};
            return rowIcon(row);
        };
        DBGrid1->setItemDelegateForColumn(0, new RowIconDelegate(DBGrid1));
    }
    bindGrid(DBGrid1, model_);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the grid for the settings panel (rows are chosen with the arrow keys).
    DBGrid1->setTabKeyNavigation(false);
    DBGrid1->setMinimumHeight(105);
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 6);
    DBGrid1->verticalHeader()->setMinimumWidth(14);
    DBGrid1->horizontalHeader()->setHighlightSections(false);
    keepSelectionVisible(DBGrid1);

    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->addWidget(DBGrid1);
    Splitter1->addWidget(GroupBox1);
    // A larger window gives its height to the grid, up to the grid's limit
    // (Splitter1Moved); the panel keeps what its settings need.
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setChildrenCollapsible(false);
    connect(Splitter1, &QSplitter::splitterMoved, this, &TListFrame::Splitter1Moved);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Splitter1);
}

TListFrame::~TListFrame() {
    if (finished_)
        dataset_.removeObserver(this);
}

void TListFrame::finishFrame(QMenu* menu) {
    DBGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGrid1, &QWidget::customContextMenuRequested, menu,
            [this, menu](const QPoint& at) { menu->popup(DBGrid1->viewport()->mapToGlobal(at)); });
    for (QAction* action : menu->actions()) {
        if (action->shortcut().isEmpty())
            continue;
        action->setShortcutContext(Qt::WidgetShortcut);
        DBGrid1->addAction(action);
    }
    dataset_.addObserver(this);
    finished_ = true;
    Splitter1->setSizes({kGrowing, GroupBox1->sizeHint().height()});
    showRowSettings();
    enablePanel();
}

void TListFrame::enablePanel() {
    // Without a row there is nothing to edit: a value typed there would have no row to go to.
    GroupBox1->setEnabled(dataset_.isOpen() && !dataset_.isEmpty());
}

bool TListFrame::storeTyped() {
    const QList<DBEdit*> edits = GroupBox1->findChildren<DBEdit*>();
    return std::all_of(edits.begin(), edits.end(), [](DBEdit* edit) { return edit->commit(); });
}

void TListFrame::addRow(const std::function<void(Dataset&)>& add) {
    if (!storeTyped())
        return;
    guarded([&] { add(dataset_); });
    DBGrid1->setFocus();
}

void TListFrame::deleteRow(const QString& question, QStringView nameField) {
    if (!dataset_.isOpen() || dataset_.isEmpty())
        return;
    QString name;
    if (!guarded([&] { name = dataset_.fieldByName(nameField).asString(); }))
        return;
    if (!platform_.messages.question(question + name, texts::kConfirm))
        return;
    guarded([this] { dataset_.remove(); });
}

void TListFrame::Splitter1Moved() {
    int limit =
        mainForm_.height() - mainForm_.menuBar()->height() - GroupBox1->sizeHint().height() - 30;
    if (mainForm_.Analis->isVisible())
        limit -= mainForm_.Analis->height();
    if (mainForm_.FrameLogView->isVisible())
        limit -= mainForm_.FrameLogView->height();
    DBGrid1->setMaximumHeight(std::max(limit, DBGrid1->minimumHeight()));
}

void TListFrame::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Splitter1Moved();
}

void TListFrame::datasetChanged(Dataset&, const DatasetChange& change) {
    showRowSettings();
    enablePanel();
    if (change.kind != DatasetChange::StateChanged)
        return;
    const Dataset::State state = dataset_.state();
    const bool wasEditing = editing_;
    editing_ = state == Dataset::State::Edit || state == Dataset::State::Insert;
    if (wasEditing && state == Dataset::State::Browse)
        rowSettled();
}

}  // namespace orvet
