#include "export/ui/export_window.h"

#include <QAction>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <exception>

#include "core/texts.h"
#include "export/export_plan.h"
#include "export/ui/connection_string_dialog.h"
#include "store/data_module.h"

namespace orvet {
namespace {

QPushButton* button(const char* name, const QString& text) {
    auto* result = new QPushButton(text);
    result->setObjectName(QString::fromLatin1(name));
    // Enter in a grid or an edit must not press a button of the page by accident.
    result->setAutoDefault(false);
    return result;
}

QTableView* grid() {
    auto* view = new QTableView;
    view->setObjectName(QStringLiteral("DBGrid1"));
    // Tab leaves the grid for the buttons (cells are reached with the arrow keys).
    view->setTabKeyNavigation(false);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->verticalHeader()->setMinimumWidth(14);
    view->horizontalHeader()->setHighlightSections(false);
    return view;
}

// The preview grid's columns; the action, the channel's identity and the unit's name are
// only shown.
QList<GridColumn> previewColumns() {
    const struct {
        const char* field;
        const char* title;
        int width;
        bool readOnly;
    } columns[] = {
        {"NAction", "Действие", 80, true},
        {"typechan", "Тип", 30, true},
        {"numchan", "Номер", 45, true},
        {"name", "Название", 160, false},
        {"needmain", "Основные интервалы", 40, false},
        {"needshort", "Короткие интервалы", 40, false},
        {"needsumm", "Накопительные интервалы", 40, false},
        {"needcurrent", "Текщие значения", 40, false},
        {"needcurrdiskret", "Текущие состояния", 40, false},
        {"needevents", "События", 40, false},
        {"needtimecurr", "Накопительные с привязкой ко времени", 40, false},
        {"typedevice", "Тип устройства", 40, false},
        {"num_iface", "Номер интерфейса", 40, false},
        {"numdevice", "Номер устройства", 40, false},
        {"numchandev", "Номер канала устройства", 40, false},
        {"UnitMeasure", "Единицы измерения", 60, true},
    };
    QList<GridColumn> result;
    for (const auto& column : columns) {
        result.append({QString::fromLatin1(column.field), QString::fromUtf8(column.title),
                       column.width, column.readOnly});
    }
    return result;
}

// What a dispatch database operation raised, as the user sees it: its text without the
// password of `connectString`; empty when it succeeded.
QString attempt(const QString& connectString, const std::function<void()>& action) {
    try {
        action();
        return {};
    } catch (const std::exception& error) {
        return withoutPassword(QString::fromUtf8(error.what()),
                               readConnectionString(connectString).password);
    }
}

// The colours of a preview row by its action (ChPreview.recaction): add rows green, delete
// rows red, both with white text; none (the grid's own) for the others.
QVariant previewRowColour(int action, int role) {
    if (action != kAddChannel && action != kDeleteChannel)
        return {};
    if (role == Qt::BackgroundRole)
        return action == kAddChannel ? QColor(0, 128, 0) : QColor(255, 0, 0);
    if (role == Qt::ForegroundRole)
        return QColor(Qt::white);
    return {};
}

// Preview cells take their row's colours; a selected cell keeps them and shows its text in
// the highlight-text colour.
class PreviewCellDelegate final : public FieldEditorDelegate {
public:
    using FieldEditorDelegate::FieldEditorDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

void PreviewCellDelegate::initStyleOption(QStyleOptionViewItem* option,
                                          const QModelIndex& index) const {
    FieldEditorDelegate::initStyleOption(option, index);
    if (!(option->state & QStyle::State_Selected))
        return;
    // The selected cell keeps its row's colour; its text is the highlight text in any row.
    const QColor highlightText = option->palette.color(QPalette::Active, QPalette::HighlightedText);
    if (index.data(Qt::BackgroundRole).isValid())
        option->state &= ~QStyle::State_Selected;
    option->palette.setColor(QPalette::Text, highlightText);
    option->palette.setColor(QPalette::HighlightedText, highlightText);
}

}  // namespace

TConnectParam::TConnectParam(QWidget* parent)
    : QWidget(parent),
      GroupBox1(new QGroupBox(QStringLiteral("Строка соединения"))),
      Edit1(new QLineEdit),
      Button4(button("Button4", QStringLiteral("Построить..."))),
      GroupBox2(
          new QGroupBox(QStringLiteral("Выберете УСПД к которому должны быть приписаны каналы"))),
      DBGrid1(grid()),
      Button3(button("Button3", QStringLiteral("Соединиться"))),
      Button1(button("Button1", QStringLiteral("Отмена"))),
      Button2(button("Button2", QStringLiteral("Дальше >>"))) {
    setObjectName(QStringLiteral("ConnectParam1"));
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    Edit1->setObjectName(QStringLiteral("Edit1"));
    // Enter in the connection string connects.
    Button3->setDefault(true);
    Button2->setEnabled(false);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);

    auto* stringLayout = new QHBoxLayout(GroupBox1);
    stringLayout->addWidget(Edit1, 1);
    stringLayout->addWidget(Button4);
    auto* gridLayout = new QVBoxLayout(GroupBox2);
    gridLayout->addWidget(DBGrid1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button3);
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(GroupBox1);
    layout->addWidget(GroupBox2, 1);
    layout->addLayout(buttons);
    setTabOrder(Edit1, Button4);
    setTabOrder(Button4, DBGrid1);
    setTabOrder(DBGrid1, Button3);
    setTabOrder(Button3, Button1);
    setTabOrder(Button1, Button2);
}

TChangeParam::TChangeParam(QWidget* parent)
    : QWidget(parent),
      DBGrid1(grid()),
      Panel1(new QLabel(this)),
      Button1(button("Button1", QStringLiteral("Поехали >>"))),
      Button2(button("Button2", QStringLiteral("<< Назад"))),
      Button3(button("Button3", QStringLiteral("Отмена"))),
      DeleteRow(new QAction(QStringLiteral("Удалить строку"), this)) {
    setObjectName(QStringLiteral("ChangeParam1"));
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    DBGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);

    // The keys of the program's other grids, and Ctrl+Delete; they work while the grid itself
    // has the focus, not inside a cell editor.
    DeleteRow->setObjectName(QStringLiteral("DeleteRow"));
    DeleteRow->setShortcuts(
        {QKeySequence(Qt::Key_Delete), QKeySequence(Qt::CTRL | Qt::Key_Delete)});
    DeleteRow->setShortcutContext(Qt::WidgetShortcut);
    DBGrid1->addAction(DeleteRow);
    auto* menu = new QMenu(this);
    menu->addAction(DeleteRow);
    DBGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGrid1, &QWidget::customContextMenuRequested, menu,
            [this, menu](const QPoint& at) { menu->popup(DBGrid1->viewport()->mapToGlobal(at)); });

    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedSize(200, 50);
    Panel1->setAlignment(Qt::AlignCenter);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setAutoFillBackground(true);
    Panel1->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button2);
    buttons->addStretch();
    buttons->addWidget(Button3);
    buttons->addWidget(Button1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(DBGrid1, 1);
    layout->addLayout(buttons);
    setTabOrder(DBGrid1, Button2);
    setTabOrder(Button2, Button3);
    setTabOrder(Button3, Button1);
}

void TChangeParam::showWaitPanel(const QString& text) {
    if (text.isEmpty()) {
        Panel1->hide();
        return;
    }
    Panel1->setText(text);
    // A page shown just now has its final size only once its layout has run.
    layout()->activate();
    placeWaitPanel();
    Panel1->show();
    Panel1->raise();
    repaint();
}

void TChangeParam::placeWaitPanel() {
    QRect panel = Panel1->rect();
    panel.moveCenter(DBGrid1->geometry().center());
    Panel1->move(panel.topLeft());
}

void TChangeParam::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeWaitPanel();
}

TfrmExpToDB::TfrmExpToDB(Platform& platform, TDataModule1& dataModule, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      ConnectParam1(new TConnectParam),
      ChangeParam1(new TChangeParam),
      ConnectionStringDialog(new TConnectionStringDialog(platform, this)),
      platform_(platform),
      data_(dataModule),
      previewModel_(new DatasetTableModel(dataModule.tblChPreview, previewColumns(),
                                          platform.messages, this)) {
    setObjectName(QStringLiteral("frmExpToDB"));
    setWindowTitle(kCaption);
    setMinimumSize(520, 340);
    resize(720, 480);

    previewModel_->decoration = [this](int row, int, int role) -> QVariant {
        if (role != Qt::BackgroundRole && role != Qt::ForegroundRole)
            return {};
        const Dataset& preview = data_.tblChPreview;
        const int field = preview.fieldIndex(u"recaction");
        if (field < 0 || row >= preview.rowCount())
            return {};
        return previewRowColour(preview.value(row, field).toInt(), role);
    };
    bindGrid(ChangeParam1->DBGrid1, previewModel_);
    // bindGrid gives the grid the plain field delegate; the preview draws its rows coloured.
    QAbstractItemDelegate* plain = ChangeParam1->DBGrid1->itemDelegate();
    ChangeParam1->DBGrid1->setItemDelegate(new PreviewCellDelegate(ChangeParam1->DBGrid1));
    delete plain;
    showUsdColumns();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ConnectParam1);
    layout->addWidget(ChangeParam1);
    showConnectionPage();

    connect(ConnectParam1->Button4, &QPushButton::clicked, this,
            &TfrmExpToDB::ConnectParam1Button4Click);
    connect(ConnectParam1->Button3, &QPushButton::clicked, this,
            &TfrmExpToDB::ConnectParam1Button3Click);
    connect(ConnectParam1->Button1, &QPushButton::clicked, this,
            &TfrmExpToDB::ConnectParam1Button1Click);
    connect(ConnectParam1->Button2, &QPushButton::clicked, this,
            &TfrmExpToDB::ConnectParam1Button2Click);
    connect(ChangeParam1->Button1, &QPushButton::clicked, this,
            &TfrmExpToDB::ChangeParam1Button1Click);
    connect(ChangeParam1->Button2, &QPushButton::clicked, this,
            &TfrmExpToDB::ChangeParam1Button2Click);
    connect(ChangeParam1->Button3, &QPushButton::clicked, this,
            &TfrmExpToDB::ChangeParam1Button3Click);
    connect(ChangeParam1->DeleteRow, &QAction::triggered, this, &TfrmExpToDB::DeleteRowClick);
}

TfrmExpToDB::~TfrmExpToDB() {
    // The target list follows the dispatch database's tblUSD, which goes before the widgets.
    delete usdModel_;
}

void TfrmExpToDB::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ConnectParam1->Edit1->setText(DispatchDatabase::storedConnectString(platform_.settings));
    showConnectionPage();
}

void TfrmExpToDB::showConnectionPage() {
    ChangeParam1->hide();
    ConnectParam1->show();
    if (isVisible())
        ConnectParam1->Edit1->setFocus();
}

void TfrmExpToDB::showPreviewPage() {
    ConnectParam1->hide();
    ChangeParam1->show();
    layout()->activate();
}

void TfrmExpToDB::showUsdColumns() {
    Dataset& usd = dispatch_.tblUSD;
    QList<GridColumn> columns;
    for (const QString& column : kUsdColumns) {
        if (!usd.isOpen() || usd.fieldIndex(column) >= 0)
            columns.append({column, column, 0, true});
    }
    DatasetTableModel* old = usdModel_;
    QAbstractItemDelegate* oldDelegate = ConnectParam1->DBGrid1->itemDelegate();
    usdModel_ = new DatasetTableModel(usd, columns, platform_.messages, this);
    bindGrid(ConnectParam1->DBGrid1, usdModel_);
    delete old;
    delete oldDelegate;
}

void TfrmExpToDB::ConnectParam1Button4Click() {
    const QString built = ConnectionStringDialog->build(ConnectParam1->Edit1->text());
    if (built.isEmpty())
        return;
    // The new string is the connection's from now on: the old connection is over.
    dispatch_.ADOConnection2.close();
    dispatch_.ADOConnection2.setDatabaseName(built);
    ConnectParam1->Button2->setEnabled(false);
    ConnectParam1->Edit1->setText(built);
}

void TfrmExpToDB::ConnectParam1Button3Click() {
    ConnectParam1->Button2->setEnabled(false);
    const QString connectString = ConnectParam1->Edit1->text();
    // The string is kept before it is tried: a failed attempt can be corrected next time.
    const QString failure = attempt(connectString, [&] {
        DispatchDatabase::storeConnectString(platform_.settings, connectString);
        dispatch_.connectTo(connectString);
    });
    showUsdColumns();
    if (!failure.isEmpty()) {
        platform_.messages.error(failure, texts::kError);
        return;
    }
    ConnectParam1->Button2->setEnabled(true);
    ConnectParam1->DBGrid1->setFocus();
}

void TfrmExpToDB::ConnectParam1Button1Click() {
    dispatch_.tblChannels.close();
    ConnectParam1->Button2->setEnabled(false);
    done(QDialog::Rejected);
}

void TfrmExpToDB::ConnectParam1Button2Click() {
    const QString connectString = ConnectParam1->Edit1->text();
    Dataset& usd = dispatch_.tblUSD;
    if (!usd.isOpen() || usd.isEmpty()) {
        platform_.messages.warning(kNoTarget, texts::kAttention);
        return;
    }
    int target = 0;
    QString failure = attempt(connectString, [&] { target = dispatch_.currentTarget(); });
    if (failure.isEmpty()) {
        target_ = target;
        showPreviewPage();
        ChangeParam1->showWaitPanel(kBuilding);
        failure = attempt(connectString, [this] { buildPreview(data_, dispatch_, target_); });
        ChangeParam1->showWaitPanel({});
    }
    if (!failure.isEmpty()) {
        // A plan cut short would apply only part of the changes: back to the choice.
        showConnectionPage();
        platform_.messages.error(failure, texts::kError);
        return;
    }
    ChangeParam1->DBGrid1->setFocus();
}

bool TfrmExpToDB::settlePreview() {
    Dataset& preview = data_.tblChPreview;
    if (preview.state() != Dataset::State::Edit && preview.state() != Dataset::State::Insert)
        return true;
    return previewModel_->guarded([&preview] { preview.post(); });
}

void TfrmExpToDB::ChangeParam1Button1Click() {
    if (!settlePreview())
        return;
    ChangeParam1->showWaitPanel(kApplying);
    const QString failure =
        attempt(ConnectParam1->Edit1->text(), [this] { applyPreview(data_, dispatch_, target_); });
    ChangeParam1->showWaitPanel({});
    if (!failure.isEmpty()) {
        // Nothing was written; the plan stays for another try.
        platform_.messages.error(failure, texts::kError);
        return;
    }
    platform_.messages.information(kDone, QString());
    dispatch_.tblChannels.close();
    ConnectParam1->Button2->setEnabled(false);
    done(QDialog::Accepted);
}

void TfrmExpToDB::ChangeParam1Button2Click() {
    if (!settlePreview())
        return;
    showConnectionPage();
}

void TfrmExpToDB::ChangeParam1Button3Click() {
    settlePreview();
    dispatch_.tblChannels.close();
    dispatch_.tblUSD.close();
    ConnectParam1->Button2->setEnabled(false);
    done(QDialog::Rejected);
}

void TfrmExpToDB::DeleteRowClick() {
    Dataset& preview = data_.tblChPreview;
    if (!preview.isOpen() || preview.isEmpty())
        return;
    if (!platform_.messages.question(kAskDeleteRow, texts::kConfirm))
        return;
    previewModel_->guarded([&preview] { preview.remove(); });
}

void TfrmExpToDB::reject() {
    if (ChangeParam1->isVisible())
        ChangeParam1Button3Click();
    else
        ConnectParam1Button1Click();
}

void TfrmExpToDB::done(int result) {
    QDialog::done(result);
    showConnectionPage();
}

}  // namespace orvet
