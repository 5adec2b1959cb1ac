#include "editing/ui/open_uspd_dialog.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "core/texts.h"
#include "editing/uspd_clone.h"
#include "store/data_module.h"
#include "store/ui/dataset_table_model.h"

namespace orvet {
namespace {

// Cell editing as in the grid itself: Enter in a cell editor stores the cell and posts the
// row, Escape drops the cell and the row's changes.
class RowKeysDelegate final : public FieldEditorDelegate {
public:
    RowKeysDelegate(std::function<void()> post, std::function<void()> cancel, QObject* parent)
        : FieldEditorDelegate(parent), post_(std::move(post)), cancel_(std::move(cancel)) {}

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        auto* editor = qobject_cast<QWidget*>(object);
        if (editor && event->type() == QEvent::KeyPress) {
            // The cell is stored at once (the default delegate queues it), so that the post
            // that follows takes it along.
            switch (static_cast<QKeyEvent*>(event)->key()) {
                case Qt::Key_Return:
                case Qt::Key_Enter:
                    emit commitData(editor);
                    emit closeEditor(editor, NoHint);
                    post_();
                    return true;
                case Qt::Key_Escape:
                    emit closeEditor(editor, NoHint);
                    cancel_();
                    return true;
                default:
                    break;
            }
        }
        return FieldEditorDelegate::eventFilter(object, event);
    }

private:
    std::function<void()> post_;
    std::function<void()> cancel_;
};

}  // namespace

TfrmOpenUSPD::TfrmOpenUSPD(Platform& platform, TDataModule1& dataModule, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      DBGrid1(new QTableView(this)),
      Button1(new QPushButton(QStringLiteral("OK"), this)),
      PopupMenu1(new QMenu(this)),
      platform_(platform),
      data_(dataModule),
      model_(new DatasetTableModel(
          dataModule.tblUSPD,
          {{QStringLiteral("uspd_name"), QStringLiteral("Название УСПД"), 136},
           {QStringLiteral("enterprise"), QStringLiteral("Предприятие"), 186}},
          platform.messages, this)) {
    setObjectName(QStringLiteral("frmOpenUSPD"));
    setFixedWidth(369);
    setMinimumHeight(220);
    setUpGrid();
    watchGridFocus();
    buildPopupMenu();
    buildLayout();
}

// The grid edits in place, cell by cell; Enter posts the row and Escape drops its changes.
void TfrmOpenUSPD::setUpGrid() {
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    bindGrid(DBGrid1, model_);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 6);
    DBGrid1->verticalHeader()->setMinimumWidth(14);
    // Tab leaves the grid for "OK" (cells are reached with the arrow keys).
    DBGrid1->setTabKeyNavigation(false);
    DBGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    DBGrid1->installEventFilter(this);
    DBGrid1->setItemDelegate(
        new RowKeysDelegate([this] { model_->guarded([this] { data_.tblUSPD.post(); }); },
                            [this] { model_->guarded([this] { data_.tblUSPD.cancel(); }); }, this));
}

// Leaving the grid, its cell editors included, stores the row.
void TfrmOpenUSPD::watchGridFocus() {
    focusWatch_ =
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
            const auto inGrid = [this](QWidget* w) {
                return w && (w == DBGrid1 || DBGrid1->isAncestorOf(w));
            };
            if (inGrid(old) && !inGrid(now))
                DBGrid1Exit();
        });
}

void TfrmOpenUSPD::buildPopupMenu() {
    N1 = PopupMenu1->addAction(QStringLiteral("Добавить УСПД"));
    N1->setObjectName(QStringLiteral("N1"));
    N1->setShortcut(QKeySequence(Qt::Key_Insert));
    N2 = PopupMenu1->addAction(QStringLiteral("Удалить УСПД"));
    N2->setObjectName(QStringLiteral("N2"));
    N2->setShortcut(QKeySequence(Qt::Key_Delete));
    m_Clone = PopupMenu1->addAction(QStringLiteral("Клонировать УСПД"));
    m_Clone->setObjectName(QStringLiteral("m_Clone"));
    m_Clone->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    // The keys work while the grid itself has the focus, not inside a cell editor.
    for (QAction* action : {N1, N2, m_Clone}) {
        action->setShortcutContext(Qt::WidgetShortcut);
        DBGrid1->addAction(action);
    }
    connect(N1, &QAction::triggered, this, &TfrmOpenUSPD::N1Click);
    connect(N2, &QAction::triggered, this, &TfrmOpenUSPD::N2Click);
    connect(m_Clone, &QAction::triggered, this, &TfrmOpenUSPD::m_CloneClick);
    connect(DBGrid1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(DBGrid1->viewport()->mapToGlobal(at)); });
}

// The grid over the centred "OK" button.
void TfrmOpenUSPD::buildLayout() {
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TfrmOpenUSPD::Button1Click);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(Button1);
    bottom->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 8);
    layout->addWidget(DBGrid1, 1);
    layout->addLayout(bottom);
}

TfrmOpenUSPD::~TfrmOpenUSPD() {
    // The focus moves while the child widgets go away; the dialog must not hear of it then.
    disconnect(focusWatch_);
}

int TfrmOpenUSPD::choose(const QString& caption) {
    model_->guarded([this] {
        if (!data_.ADOConnection1.isOpen())
            data_.ADOConnection1.open();
        if (!data_.tblUSPD.isOpen())
            data_.tblUSPD.open();
    });
    setWindowTitle(caption);
    chosenCount_ = -1;
    if (parentWidget()) {
        QRect frame = frameGeometry();
        frame.moveCenter(parentWidget()->frameGeometry().center());
        move(frame.topLeft());
    }
    DBGrid1->setFocus();
    exec();
    return chosenCount_;
}

void TfrmOpenUSPD::N1Click() {
    model_->guarded([this] {
        Dataset& uspd = data_.tblUSPD;
        uspd.append();
        uspd.fieldByName(u"uspd_name").setAsString(QStringLiteral("УСПД"));
    });
    DBGrid1->setFocus();
}

void TfrmOpenUSPD::N2Click() {
    Dataset& uspd = data_.tblUSPD;
    if (uspd.isEmpty())
        return;
    if (!platform_.messages.question(QStringLiteral("Удалить УСПД?"), texts::kConfirm)) {
        return;
    }
    model_->guarded([&uspd] { uspd.remove(); });
}

void TfrmOpenUSPD::m_CloneClick() {
    Dataset& uspd = data_.tblUSPD;
    DBGrid1Exit();  // the USPD being typed is stored first, and is what is cloned
    if (!uspd.isOpen() || uspd.isEmpty() || uspd.state() != Dataset::State::Browse)
        return;
    model_->guarded([this, &uspd] {
        const int clone = cloneUspd(data_.ADOConnection1, uspd.fieldByName(u"id_uspd").asInteger());
        // The list is read again to show the clone, which becomes the chosen row.
        uspd.close();
        uspd.open();
        uspd.locate(u"id_uspd", clone);
    });
    DBGrid1->setFocus();
}

void TfrmOpenUSPD::DBGrid1Exit() {
    Dataset& uspd = data_.tblUSPD;
    // An empty list stays empty: leaving it does not create a nameless USPD.
    if (!uspd.isOpen() || uspd.isEmpty())
        return;
    model_->guarded([&uspd] {
        uspd.edit();
        uspd.post();
    });
}

void TfrmOpenUSPD::Button1Click() {
    // Reaching the button has taken the focus off the grid, which stored the row; this covers
    // a row that is still being edited all the same.
    if (data_.tblUSPD.state() != Dataset::State::Browse)
        DBGrid1Exit();
    if (data_.tblUSPD.state() != Dataset::State::Browse)
        return;  // refused: the dialog stays
    chosenCount_ = data_.tblUSPD.recordCount();
    accept();
}

bool TfrmOpenUSPD::eventFilter(QObject* watched, QEvent* event) {
    if (watched == DBGrid1) {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                // Enter stores the row being edited; on a stored row it opens the USPD.
                if (data_.tblUSPD.state() == Dataset::State::Browse)
                    Button1Click();
                else
                    model_->guarded([this] { data_.tblUSPD.post(); });
                return true;
            }
            if (key->key() == Qt::Key_Escape) {
                model_->guarded([this] { data_.tblUSPD.cancel(); });
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace orvet
