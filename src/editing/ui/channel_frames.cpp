#include "editing/ui/channel_frames.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QSaveFile>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include "editing/channel_csv.h"
#include "editing/channel_operations.h"
#include "editing/ui/icons.h"
#include "store/channel_kinds.h"
#include "store/data_module.h"
#include "store/store_error.h"
#include "store/ui/field_controls.h"

namespace orvet {
namespace {

const QString kName = QStringLiteral("Наименование");
const QString kModule = QStringLiteral("Модуль УСО");
const QString kModuleChannel = QStringLiteral("Канал модуля");
const QString kUnit = QStringLiteral("Единицы измерения");
const QString kArchived = QStringLiteral("Архивируемый");
const QString kCallback = QStringLiteral("Обратный вызов");
const QString kCompress = QStringLiteral("Сжать группу каналов");
// The width of an edit for a number with decimals ("-12345.678").
constexpr int kNumberWidth = 75;

GridColumn iconColumn() {
    return {QString(), QString(), 18, true};
}
GridColumn numberColumn() {
    return {QStringLiteral("type_num"), QStringLiteral("№"), 48, true, Qt::AlignHCenter};
}
GridColumn nameColumn() {
    return {QStringLiteral("name"), kName, 170, true};
}
GridColumn archivedColumn() {
    return {QStringLiteral("SArchive"), kArchived, 95, true, Qt::AlignHCenter};
}

ChannelMenu moduleChannelMenu(const QString& question) {
    return {"N1",    QStringLiteral("Добавить канал УСО"),
            "N2",    QStringLiteral("Удалить канал УСО"),
            "N3",    "m_Compress",
            question};
}
ChannelMenu onboardChannelMenu(const QString& question) {
    return {"N1",    QStringLiteral("Добавить канал"),
            "N2",    QStringLiteral("Удалить канал"),
            "N3",    "m_Compress",
            question};
}
ChannelMenu insertDeleteMenu(const QString& question) {
    return {"m_Ins", QStringLiteral("Добавить канал"),
            "m_Del", QStringLiteral("Удалить канал"),
            "N3",    "m_Compress",
            question};
}

// A row of a settings grid: captions in even columns, their controls after them.
void place(QGridLayout* grid, int row, std::initializer_list<std::pair<QWidget*, QWidget*>> cells) {
    int column = 0;
    for (const auto& [captionWidget, control] : cells) {
        if (captionWidget)
            grid->addWidget(captionWidget, row, column);
        if (control)
            grid->addWidget(control, row, column + 1);
        column += 2;
    }
}

QGridLayout* settingsGrid(QWidget* parent = nullptr) {
    auto* grid = parent ? new QGridLayout(parent) : new QGridLayout;
    grid->setContentsMargins(9, 4, 9, 4);
    grid->setVerticalSpacing(4);
    return grid;
}

// A text that follows the datasets it watches: `text` is asked again after each change of
// any of them (the channel's number, or the template list re-read for its module type).
class FollowingLabel final : public QLabel, private DatasetObserver {
public:
    FollowingLabel(std::initializer_list<Dataset*> watched, std::function<QString()> text)
        : watched_(watched), text_(std::move(text)) {
        for (Dataset* dataset : watched_)
            dataset->addObserver(this);
        setText(text_());
    }
    ~FollowingLabel() override {
        for (Dataset* dataset : watched_)
            dataset->removeObserver(this);
    }
    FollowingLabel(const FollowingLabel&) = delete;
    FollowingLabel& operator=(const FollowingLabel&) = delete;

private:
    void datasetChanged(Dataset&, const DatasetChange&) override { setText(text_()); }

    QList<Dataset*> watched_;
    std::function<QString()> text_;
};

bool contains(const QWidget* outer, const QWidget* widget) {
    return widget && (widget == outer || outer->isAncestorOf(widget));
}

}  // namespace

TChannelFrame::TChannelFrame(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm,
                             const ChannelKind& kind, QList<GridColumn> columns,
                             const QString& panelTitle, const ChannelMenu& menu, QWidget* parent)
    : TListFrame(platform, mainForm, dataModule.*kind.dataset, std::move(columns), panelTitle,
                 parent),
      PopupMenu1(new QMenu(this)),
      data_(dataModule),
      kind_(kind),
      icon_(imChannel(0)),
      deleteQuestion_(menu.deleteQuestion) {
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    addItem = PopupMenu1->addAction(imChannel(0), menu.addText);
    addItem->setObjectName(QString::fromLatin1(menu.addName));
    addItem->setShortcut(QKeySequence(Qt::Key_Insert));
    deleteItem = PopupMenu1->addAction(imChannel(1), menu.deleteText);
    deleteItem->setObjectName(QString::fromLatin1(menu.deleteName));
    deleteItem->setShortcut(QKeySequence(Qt::Key_Delete));
    PopupMenu1->addSeparator()->setObjectName(QString::fromLatin1(menu.separatorName));
    Compress = PopupMenu1->addAction(imChannel(2), kCompress);
    Compress->setObjectName(QString::fromLatin1(menu.compressName));
    connect(addItem, &QAction::triggered, this, &TChannelFrame::addClick);
    connect(deleteItem, &QAction::triggered, this, &TChannelFrame::deleteClick);
    connect(Compress, &QAction::triggered, this, &TChannelFrame::compressClick);
    PopupMenu1->addSeparator();
    csvExport = PopupMenu1->addAction(QStringLiteral("Экспорт в CSV…"));
    csvExport->setObjectName(QStringLiteral("csvExport"));
    csvImport = PopupMenu1->addAction(QStringLiteral("Импорт из CSV…"));
    csvImport->setObjectName(QStringLiteral("csvImport"));
    connect(csvExport, &QAction::triggered, this, &TChannelFrame::exportCsvClick);
    connect(csvImport, &QAction::triggered, this, &TChannelFrame::importCsvClick);
    chooseCsvFile = [this](bool save) {
        const QString title =
            save ? QStringLiteral("Экспорт в CSV") : QStringLiteral("Импорт из CSV");
        const QString filter = QStringLiteral("Файлы CSV (*.csv);;Все файлы (*)");
        return save ? QFileDialog::getSaveFileName(
                          this, title, QString::fromLatin1(kind_.table) + QStringLiteral(".csv"),
                          filter)
                    : QFileDialog::getOpenFileName(this, title, QString(), filter);
    };

    DBEdit1 = new DBEdit(dataset_, QStringLiteral("name"), platform.messages);
    DBEdit1->setObjectName(QStringLiteral("DBEdit1"));
    nameLabel = caption("Label1", kName, DBEdit1);
}

void TChannelFrame::addClick() {
    addRow([this](Dataset&) {
        addChannel(data_, kind_);
        followTemplates();
    });
}

void TChannelFrame::followTemplates() {
    // The data module's reaction to a new current row: the template list offers the channel
    // type's channels (an on-board channel's type is set only once the row exists).
    if (dataset_.afterScroll)
        dataset_.afterScroll(dataset_);
}

bool TChannelFrame::hasModule() const {
    return !kind_.countColumn || integerAt(dataset_, dataset_.currentRow(), u"t_device") != 0;
}

void TChannelFrame::showRowSettings() {
    // Without a module there are no channels to choose from.
    const bool module = hasModule();
    templateList_->setAvailable(module);
    if (templateCaption_)
        templateCaption_->setEnabled(module);
}

void TChannelFrame::deleteClick() {
    if (!dataset_.isOpen() || dataset_.isEmpty())
        return;
    QString number;
    if (guarded([&] { number = dataset_.fieldByName(u"type_num").asString(); }))
        deleteRow(deleteQuestion_ + number + QStringLiteral(" - "), u"name");
}

void TChannelFrame::compressClick() {
    if (!storeGroup())
        return;
    guarded([this] {
        // Moving through the group needs none of the template lists each row would re-read.
        TDataModule1::HeldReactions held = data_.holdReactions();
        compressChannels(data_, kind_);
        held.catchUp();
    });
}

bool TChannelFrame::storeGroup() {
    // A channel just added or edited is part of the group: it is stored first.
    if (!storeTyped())
        return false;
    postRow();
    return dataset_.state() == Dataset::State::Browse || !dataset_.isOpen();
}

void TChannelFrame::exportCsvClick() {
    if (!storeGroup())
        return;
    const QString path = chooseCsvFile(true);
    if (path.isEmpty())
        return;
    guarded([this, &path] {
        const QByteArray csv = exportChannelsCsv(data_.ADOConnection1, kind_, data_.currentUspd());
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size() || !file.commit()) {
            throw StoreError(QStringLiteral("Файл %1 не записан: %2")
                                 .arg(QDir::toNativeSeparators(path), file.errorString()));
        }
    });
}

void TChannelFrame::importCsvClick() {
    if (!storeGroup())
        return;
    const QString path = chooseCsvFile(false);
    if (path.isEmpty())
        return;
    int added = 0;
    const bool done = guarded([this, &path, &added] {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            throw StoreError(QStringLiteral("Файл %1 не прочитан: %2")
                                 .arg(QDir::toNativeSeparators(path), file.errorString()));
        }
        added = importChannelsCsv(data_.ADOConnection1, kind_, data_.currentUspd(), file.readAll(),
                                  false);
        // The group is read again to show the new channels, from the first.
        TDataModule1::HeldReactions held = data_.holdReactions();
        dataset_.close();
        dataset_.open();
        held.catchUp();
    });
    if (done) {
        platform_.messages.information(QStringLiteral("Добавлено каналов: %1").arg(added),
                                       QStringLiteral("Импорт из CSV"));
    }
}

QLabel* TChannelFrame::caption(const char* name, const QString& text, QWidget* control) {
    auto* label = new QLabel(text);
    label->setObjectName(QString::fromLatin1(name));
    label->setBuddy(control);
    if (control == templateList_)
        templateCaption_ = label;
    if (auto* edit = qobject_cast<DBEdit*>(control))
        edit->setCaption(text);
    return label;
}

DBLookupComboBox* TChannelFrame::moduleList(Dataset& modules) {
    auto* list = new DBLookupComboBox(dataset_, QStringLiteral("id_device"), modules,
                                      QStringLiteral("id_device"), QStringLiteral("fullname"),
                                      platform_.messages);
    list->setObjectName(QStringLiteral("DBLookupComboBox1"));
    list->setMinimumWidth(180);
    connect(list, &DBLookupComboBox::closeUp, this, [this, &modules] { moduleChosen(modules); });
    return list;
}

void TChannelFrame::moduleChosen(Dataset& modules) {
    if (!dataset_.isOpen() || dataset_.isEmpty() || !storeTyped())
        return;
    if (!guarded([&] { chooseModule(dataset_, modules); }))
        return;
    guarded([this] { followTemplates(); });
}

DBLookupComboBox* TChannelFrame::templateList(Dataset& templates, const QString& shownField,
                                              bool posted) {
    auto* list = new DBLookupComboBox(dataset_, QStringLiteral("n_channel"), templates,
                                      QStringLiteral("n_chan"), shownField, platform_.messages);
    list->setMinimumWidth(100);
    templateList_ = list;
    if (posted) {
        connect(list, &DBLookupComboBox::closeUp, this, [this] {
            if (storeTyped())
                postRow();
        });
    }
    return list;
}

DBLookupComboBox* TChannelFrame::unitList() {
    auto* list = new DBLookupComboBox(dataset_, QStringLiteral("u_measure"), data_.tblUnitMeasure,
                                      QStringLiteral("ID_Units"), QStringLiteral("ShortName"),
                                      platform_.messages);
    list->setObjectName(QStringLiteral("DBLookupComboBox3"));
    list->setMinimumWidth(90);
    connect(list, &DBLookupComboBox::closeUp, this, [this] {
        if (dataset_.isOpen() && !dataset_.isEmpty() && storeTyped())
            guarded([this] { chooseUnit(dataset_, data_.tblUnitMeasure); });
    });
    return list;
}

void TChannelFrame::createCorrection(const std::array<const char*, 5>& itemNames) {
    puCorr = new QMenu(this);
    puCorr->setObjectName(QStringLiteral("puCorr"));
    for (int code = 0; code < int(kCorrections.size()); ++code) {
        QAction* item = puCorr->addAction(kCorrections[code].item);
        item->setObjectName(QString::fromLatin1(itemNames[code]));
        connect(item, &QAction::triggered, this, [this, code] {
            if (dataset_.isOpen() && !dataset_.isEmpty() && storeTyped())
                guarded([this, code] { chooseCorrection(dataset_, code); });
        });
        correctionItems << item;
    }
    sbAct = new QToolButton;
    sbAct->setObjectName(QStringLiteral("sbAct"));
    sbAct->setAutoRaise(true);
    sbAct->setText(kCorrections[0].caption);
    sbAct->setToolTip(kCorrections[0].item);
    sbAct->setFixedWidth(28);
    // A click or the context menu opens the actions; from the keyboard Space does.
    sbAct->setMenu(puCorr);
    sbAct->setPopupMode(QToolButton::InstantPopup);
    sbAct->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
    sbAct->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(sbAct, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { puCorr->popup(sbAct->mapToGlobal(at)); });
    DBCorr = new DBEdit(dataset_, QStringLiteral("coef_corr"), platform_.messages);
    DBCorr->setObjectName(QStringLiteral("DBCorr"));
    DBCorr->setFixedWidth(kNumberWidth);
    corrLabel = caption("Label12", QStringLiteral("Коэффициент коррекции"), DBCorr);
}

void TChannelFrame::showCorrection() {
    const int code = integerAt(dataset_, dataset_.currentRow(), u"act_corr");
    if (code < 0 || code >= int(kCorrections.size()))
        return;  // an unknown code leaves button and coefficient as they are
    sbAct->setText(kCorrections[code].caption);
    sbAct->setToolTip(kCorrections[code].item);
    const bool coefficient = correctionHasCoefficient(code);
    DBCorr->setEnabled(coefficient && dataset_.isOpen());
    corrLabel->setEnabled(coefficient);
}

void TChannelFrame::checkDivisionOnLeaving(QWidget* group) {
    divisionGroup_ = group;
    connect(qApp, &QApplication::focusChanged, this, &TChannelFrame::focusMoved);
}

void TChannelFrame::focusMoved(QWidget* from, QWidget* to) {
    // Only a move to another control of the window leaves the group; a menu or a message
    // box taking the focus for a while does not.
    if (!contains(divisionGroup_, from) || !to || contains(divisionGroup_, to) ||
        to->window() != window())
        return;
    if (!dataset_.isOpen() || dataset_.isEmpty())
        return;
    // The coefficient typed last counts.
    if (!DBCorr->commit())
        return;
    guarded([this] { checkDivision(dataset_, platform_.messages); });
}

void TChannelFrame::postRow() {
    const Dataset::State state = dataset_.state();
    if (state == Dataset::State::Edit || state == Dataset::State::Insert)
        guarded([this] { dataset_.post(); });
}

QLabel* TChannelFrame::descriptionLabel(Dataset& templates) {
    auto* label = new FollowingLabel({&dataset_, &templates},
                                     [this, &templates] { return templateDescription(templates); });
    label->setObjectName(QStringLiteral("DBText1"));
    return label;
}

QString TChannelFrame::templateDescription(const Dataset& templates) const {
    if (!dataset_.isOpen() || !templates.isOpen() || !hasModule())
        return {};
    const int row = dataset_.currentRow();
    if (row < 0)
        return {};
    const QVariant number = dataset_.value(row, dataset_.fieldIndex(u"n_channel"));
    if (number.isNull())
        return {};
    const QVariant description = templates.lookup(u"n_chan", number, u"description");
    return description.isNull() ? QString() : description.toString();
}

QGridLayout* TChannelFrame::identityGrid(QWidget* besideName, DBLookupComboBox* modules,
                                         const QString& numberText, QWidget* description) {
    auto* grid = settingsGrid();
    grid->addWidget(nameLabel, 0, 0);
    grid->addWidget(DBEdit1, 0, 1);
    if (besideName)
        grid->addWidget(besideName, 0, 2);
    int row = 1;
    if (modules) {
        grid->addWidget(caption("Label2", kModule, modules), row, 0);
        grid->addWidget(modules, row++, 1, 1, 2);
    }
    grid->addWidget(caption("Label3", numberText, templateList_), row, 0);
    grid->addWidget(templateList_, row, 1);
    if (description) {
        // A long description does not widen the panel.
        description->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        description->setMinimumWidth(60);
        grid->addWidget(description, row, 2);
    }
    // A wider window leaves the controls their size and its room right of them.
    grid->setColumnStretch(4, 1);
    return grid;
}

void TChannelFrame::fillPanel(std::initializer_list<QLayout*> parts) {
    auto* panel = new QVBoxLayout(GroupBox1);
    panel->setContentsMargins(0, panel->contentsMargins().top(), 0, 4);
    panel->setSpacing(2);
    for (QLayout* part : parts)
        panel->addLayout(part);
    panel->addStretch();
}

QWidget* TChannelFrame::disabledHolder(QWidget* control) {
    auto* holder = new QWidget;
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(control);
    holder->setEnabled(false);
    return holder;
}

// ---------------------------------------------------------------- analog inputs

TAChannel::TAChannel(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm,
                     QWidget* parent)
    : TChannelFrame(
          platform, dataModule, mainForm, kAnalogInputs,
          {iconColumn(),
           numberColumn(),
           nameColumn(),
           archivedColumn(),
           {QStringLiteral("TTransf"), QStringLiteral("Преобразование"), 120, true}},
          QStringLiteral("Настройка аналогового входа"),
          {"N1", QStringLiteral("Добавить канал УСО"), "N2", QStringLiteral("Удалить канал УСО"),
           "N8", "Compress", QStringLiteral("Удалить аналоговый канал?\n")},
          parent) {
    setObjectName(QStringLiteral("AChannel"));
    MessageBoxes& messages = platform.messages;
    DBCheckBox1 = new DBCheckBox(kArchived, dataset_, QStringLiteral("archive"), messages);
    DBCheckBox1->setObjectName(QStringLiteral("DBCheckBox1"));
    DBLookupComboBox1 = moduleList(dataModule.DADevice);
    DBLookupComboBox4 = templateList(dataModule.DNAChannel, QStringLiteral("name"), true);
    DBLookupComboBox4->setObjectName(QStringLiteral("DBLookupComboBox4"));
    DBText1 = descriptionLabel(dataModule.DNAChannel);
    DBlpTypeTransf =
        new DBLookupComboBox(dataset_, QStringLiteral("t_transf"), dataModule.tblTypeTransf,
                             QStringLiteral("key"), QStringLiteral("t_transf"), messages);
    DBlpTypeTransf->setObjectName(QStringLiteral("DBlpTypeTransf"));
    DBlpTypeTransf->setMinimumWidth(110);
    DBLookupComboBox2 = unitList();
    DBLookupComboBox2->setObjectName(QStringLiteral("DBLookupComboBox2"));
    const auto edit = [&](const char* name, const QString& field) {
        auto* result = new DBEdit(dataset_, field, messages);
        result->setObjectName(QString::fromLatin1(name));
        result->setFixedWidth(kNumberWidth);
        return result;
    };
    DBMinCode = edit("DBMinCode", QStringLiteral("min_code"));
    DBMaxCode = edit("DBMaxCode", QStringLiteral("max_code"));
    DBMinVal = edit("DBMinVal", QStringLiteral("min_value"));
    DBMaxVal = edit("DBMaxVal", QStringLiteral("max_value"));
    createCorrection({"N7", "N3", "N4", "N5", "N6"});
    DBCheckBox2 = new DBCheckBox(QStringLiteral("Фильтрация"), dataset_,
                                 QStringLiteral("st_filter"), messages);
    DBCheckBox2->setObjectName(QStringLiteral("DBCheckBox2"));
    DBWeight = edit("DBWeight", QStringLiteral("W"));
    weightLabel = caption("Label13", QStringLiteral("Вес"), DBWeight);
    DBCheckBox3 = new DBCheckBox(kCallback, dataset_, QStringLiteral("callback"), messages);
    DBCheckBox3->setObjectName(QStringLiteral("DBCheckBox3"));
    DBEdit8 = edit("DBEdit8", QStringLiteral("hi_lim"));
    DBEdit9 = edit("DBEdit9", QStringLiteral("lo_lim"));
    DBEdit7 = edit("DBEdit7", QStringLiteral("emerg_val"));
    buildPanel();
    connect(DBCheckBox2, &QCheckBox::clicked, this, &TAChannel::showRowSettings);
    connect(DBCheckBox3, &QCheckBox::clicked, this, &TAChannel::showRowSettings);
    checkDivisionOnLeaving(conversion);
    finishFrame(PopupMenu1);
}

void TAChannel::buildPanel() {
    emergency = new QGroupBox(QStringLiteral("Аварийное значение"));
    emergency->setObjectName(QStringLiteral("GroupBox3"));
    auto* emergencyRow = new QHBoxLayout(emergency);
    emergencyRow->setContentsMargins(9, 4, 9, 4);
    emergencyRow->addWidget(DBEdit7);
    emergency->setEnabled(false);
    QGridLayout* identity = identityGrid(DBCheckBox1, DBLookupComboBox1, kModuleChannel, DBText1);
    const int unitRow = identity->rowCount();
    identity->addWidget(caption("Label5", kUnit, DBLookupComboBox2), unitRow, 0);
    identity->addWidget(DBLookupComboBox2, unitRow, 1);
    identity->addWidget(emergency, 0, 3, 3, 1, Qt::AlignTop);

    conversion = new QGroupBox(QStringLiteral("Преобразование"));
    conversion->setObjectName(QStringLiteral("conversion"));
    auto* grid = settingsGrid(conversion);
    const std::pair<const char*, const char*> rangeNames[] = {{"Label6", "Минимум кода"},
                                                              {"Label7", "Максимум кода"},
                                                              {"Label8", "Минимум величины"},
                                                              {"Label9", "Максимум величины"}};
    DBEdit* const ranges[] = {DBMinCode, DBMaxCode, DBMinVal, DBMaxVal};
    for (int i = 0; i < 4; ++i)
        rangeLabels << caption(rangeNames[i].first, QString::fromUtf8(rangeNames[i].second),
                               ranges[i]);
    grid->addWidget(caption("Label4", QStringLiteral("Тип"), DBlpTypeTransf), 0, 0);
    grid->addWidget(DBlpTypeTransf, 0, 1, 1, 3, Qt::AlignLeft);
    place(grid, 1, {{rangeLabels[0], DBMinCode}, {rangeLabels[1], DBMaxCode}});
    place(grid, 2, {{rangeLabels[2], DBMinVal}, {rangeLabels[3], DBMaxVal}});
    // The correction and the filter take a row each: beside the ranges they would widen
    // the group past the smallest window.
    auto* correction = new QHBoxLayout;
    correction->setSpacing(6);
    correction->addWidget(sbAct);
    correction->addWidget(corrLabel);
    correction->addWidget(DBCorr);
    correction->addStretch();
    grid->addLayout(correction, 3, 0, 1, 4);
    auto* filter = new QHBoxLayout;
    filter->setSpacing(6);
    filter->addWidget(DBCheckBox2);
    filter->addSpacing(12);
    filter->addWidget(weightLabel);
    filter->addWidget(DBWeight);
    filter->addStretch();
    grid->addLayout(filter, 4, 0, 1, 4);
    grid->setColumnStretch(4, 1);

    limits = new QGroupBox(QStringLiteral("Предельное значение"));
    limits->setObjectName(QStringLiteral("GroupBox2"));
    auto* limitGrid = settingsGrid(limits);
    place(limitGrid, 0,
          {{caption("Label10", QStringLiteral("Верхнее"), DBEdit8), DBEdit8},
           {caption("Label11", QStringLiteral("Нижнее"), DBEdit9), DBEdit9}});
    limits->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    keepPlaceWhenHidden({limits});

    auto* callbackRow = new QHBoxLayout;
    callbackRow->setContentsMargins(9, 0, 9, 0);
    callbackRow->addWidget(DBCheckBox3);
    callbackRow->addWidget(limits);
    callbackRow->addStretch();

    auto* conversionRow = new QHBoxLayout;
    conversionRow->setContentsMargins(9, 0, 9, 0);
    conversionRow->addWidget(conversion);

    fillPanel({identity, conversionRow, callbackRow});
}

void TAChannel::showRowSettings() {
    TChannelFrame::showRowSettings();
    const int row = dataset_.currentRow();
    showCorrection();
    const bool ranges = integerAt(dataset_, row, u"t_transf") != 0;
    for (QWidget* control : {static_cast<QWidget*>(DBMinCode), static_cast<QWidget*>(DBMaxCode),
                             static_cast<QWidget*>(DBMinVal), static_cast<QWidget*>(DBMaxVal)}) {
        control->setEnabled(ranges && dataset_.isOpen());
    }
    for (QLabel* label : rangeLabels)
        label->setEnabled(ranges);
    const bool filtered = integerAt(dataset_, row, u"st_filter") == 1;
    DBWeight->setEnabled(filtered && dataset_.isOpen());
    weightLabel->setEnabled(filtered);
    limits->setVisible(integerAt(dataset_, row, u"callback") == 1);
}

// ---------------------------------------------------------------- discrete channels

TDiscreteFrame::TDiscreteFrame(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm,
                               const ChannelKind& kind, QList<GridColumn> columns,
                               const QString& panelTitle, const ChannelMenu& menu, Dataset* modules,
                               Dataset& templates, QWidget* parent)
    : TChannelFrame(platform, dataModule, mainForm, kind, std::move(columns), panelTitle, menu,
                    parent) {
    if (modules)
        DBLookupComboBox1 = moduleList(*modules);
    DBLookupComboBox2 = templateList(templates, QStringLiteral("name"), false);
    DBLookupComboBox2->setObjectName(QStringLiteral("DBLookupComboBox2"));
    DBCheckBox1 = new DBCheckBox(kArchived, dataset_, QStringLiteral("archive"), platform.messages);
    DBCheckBox1->setObjectName(QStringLiteral("DBCheckBox1"));
    DBCheckBox1->setToolTip(QStringLiteral("Архивировать канал"));
}

TDChannel::TDChannel(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm,
                     QWidget* parent)
    : TDChannel(platform, dataModule, mainForm, false, parent) {
}

TDChannel::TDChannel(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm,
                     bool onboard, QWidget* parent)
    : TDiscreteFrame(
          platform, dataModule, mainForm, onboard ? kOnboardInputs : kDiscreteInputs,
          {iconColumn(),
           numberColumn(),
           nameColumn(),
           archivedColumn(),
           {QStringLiteral("SInvers"), QStringLiteral("Инверсия"), 75, true, Qt::AlignHCenter}},
          onboard ? QStringLiteral("Настройка дискретного входа")
                  : QStringLiteral("Настройка дискретного входа УСО"),
          onboard ? onboardChannelMenu(QStringLiteral("Удалить дискретный канал?\n"))
                  : moduleChannelMenu(QStringLiteral("Удалить дискретный канал?\n")),
          onboard ? nullptr : &dataModule.DDDevice,
          onboard ? dataModule.DNEmDChannel : dataModule.DNDChannel, parent) {
    setObjectName(onboard ? QStringLiteral("EmDChannel") : QStringLiteral("DChannel"));
    MessageBoxes& messages = platform.messages;
    DBCheckBox2 = new DBCheckBox(QStringLiteral("Инвертировать"), dataset_,
                                 QStringLiteral("invers"), messages);
    DBCheckBox2->setObjectName(QStringLiteral("DBCheckBox2"));
    DBCheckBox2->setToolTip(QStringLiteral("Инвертировать сигнал"));
    DBCheckBox3 = new DBCheckBox(kCallback, dataset_, QStringLiteral("callback"), messages);
    DBCheckBox3->setObjectName(QStringLiteral("DBCheckBox3"));
    DBRadioGroup1 = new DBRadioGroup(
        QStringLiteral("События обратного вызова"),
        {QStringLiteral("0 --> 1"), QStringLiteral("1 --> 0"), QStringLiteral("Все")},
        {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}, dataset_,
        QStringLiteral("cbevent"), messages, 3);
    DBRadioGroup1->setObjectName(QStringLiteral("DBRadioGroup1"));

    QGridLayout* grid = identityGrid(disabledHolder(DBCheckBox1), DBLookupComboBox1,
                                     QStringLiteral("Номер дискретного входа"), nullptr);
    int row = grid->rowCount();
    if (onboard) {
        DBEdit2 = new DBEdit(dataset_, QStringLiteral("jingle_time"), messages);
        DBEdit2->setObjectName(QStringLiteral("DBEdit2"));
        grid->addWidget(caption("Label4", QStringLiteral("Время дребезга (мс)"), DBEdit2), row, 0);
        grid->addWidget(DBEdit2, row++, 1, Qt::AlignLeft);
    }
    grid->addWidget(DBCheckBox2, row++, 1);
    auto* callbackRow = new QHBoxLayout;
    callbackRow->addWidget(DBCheckBox3);
    QWidget* events = disabledHolder(DBRadioGroup1);
    callbackRow->addWidget(events);
    callbackRow->addStretch();
    keepPlaceWhenHidden({DBRadioGroup1});
    grid->addLayout(callbackRow, row, 0, 1, 3);

    fillPanel({grid});
    connect(DBCheckBox3, &QCheckBox::clicked, this, &TDChannel::showRowSettings);
    finishFrame(PopupMenu1);
}

void TDChannel::showRowSettings() {
    TChannelFrame::showRowSettings();
    DBRadioGroup1->setVisible(integerAt(dataset_, dataset_.currentRow(), u"callback") == 1);
}

TEmDChannel::TEmDChannel(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm,
                         QWidget* parent)
    : TDChannel(platform, dataModule, mainForm, true, parent) {
}

// ---------------------------------------------------------------- discrete outputs

TDOChannel::TDOChannel(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm,
                       QWidget* parent)
    : TDOChannel(platform, dataModule, mainForm, false, parent) {
}

TDOChannel::TDOChannel(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm,
                       bool onboard, QWidget* parent)
    : TDiscreteFrame(
          platform, dataModule, mainForm, onboard ? kOnboardOutputs : kDiscreteOutputs,
          {iconColumn(), numberColumn(), nameColumn(), archivedColumn()},
          onboard ? QStringLiteral("Настройка дискретного выхода")
                  : QStringLiteral("Настройка дискретного выхода УСО"),
          onboard ? onboardChannelMenu(QStringLiteral("Удалить дискретный выходной канал?\n"))
                  : moduleChannelMenu(QStringLiteral("Удалить дискретный выходной канал?\n")),
          onboard ? nullptr : &dataModule.DDODevice,
          onboard ? dataModule.DNEmDOChannel : dataModule.DNDOChannel, parent) {
    setObjectName(onboard ? QStringLiteral("EmDOChannel") : QStringLiteral("DOChannel"));
    if (!onboard) {
        // The archive box stores its click at once.
        connect(DBCheckBox1, &QCheckBox::clicked, this, [this] {
            if (storeTyped())
                postRow();
        });
    }
    initialLabel = new QLabel(QStringLiteral("Исходное состояние"));
    initialLabel->setObjectName(QStringLiteral("Label4"));
    initialLabel->setEnabled(false);
    initialState = new QGroupBox;
    initialState->setObjectName(QStringLiteral("RadioGroup1"));
    auto* states = new QHBoxLayout(initialState);
    states->setContentsMargins(9, 2, 9, 2);
    for (const QString& text : {QStringLiteral("Лог. 0"), QStringLiteral("Лог. 1")})
        states->addWidget(new QRadioButton(text));
    initialState->setEnabled(false);

    QGridLayout* grid =
        identityGrid(onboard ? disabledHolder(DBCheckBox1) : static_cast<QWidget*>(DBCheckBox1),
                     DBLookupComboBox1, QStringLiteral("Номер дискретного выхода"), nullptr);
    const int row = grid->rowCount();
    grid->addWidget(initialLabel, row, 0);
    grid->addWidget(initialState, row, 1);
    fillPanel({grid});
    finishFrame(PopupMenu1);
}

TEmDOChannel::TEmDOChannel(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm,
                           QWidget* parent)
    : TDOChannel(platform, dataModule, mainForm, true, parent) {
}

// ---------------------------------------------------------------- counting inputs

TNIChannel::TNIChannel(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm,
                       QWidget* parent)
    : TChannelFrame(platform, dataModule, mainForm, kCountingInputs,
                    {iconColumn(), numberColumn(), nameColumn()},
                    QStringLiteral("Настройка счетного входа УСО"),
                    insertDeleteMenu(QStringLiteral("Удалить счетный канал?\n")), parent) {
    setObjectName(QStringLiteral("NIChannel"));
    DBLookupComboBox1 = moduleList(dataModule.DNIDevice);
    DBLookupComboBox2 = templateList(dataModule.DNNIChannel, QStringLiteral("name"), false);
    DBLookupComboBox2->setObjectName(QStringLiteral("DBLookupComboBox2"));
    DBText1 = descriptionLabel(dataModule.DNNIChannel);
    DBLookupComboBox3 = unitList();
    createCorrection({"N1", "N2", "N4", "N5", "N6"});
    DBCorr->setDecimals(3);
    corrLabel->setObjectName(QStringLiteral("Label5"));

    QGridLayout* grid = identityGrid(nullptr, DBLookupComboBox1, kModuleChannel, DBText1);

    conversion = new QGroupBox(QStringLiteral("Преобразование"));
    conversion->setObjectName(QStringLiteral("conversion"));
    auto* conversionGrid = settingsGrid(conversion);
    auto* correction = new QWidget;
    auto* correctionRow = new QHBoxLayout(correction);
    correctionRow->setContentsMargins(0, 0, 0, 0);
    correctionRow->addWidget(sbAct);
    correctionRow->addWidget(corrLabel);
    conversionGrid->addWidget(correction, 0, 0);
    conversionGrid->addWidget(DBCorr, 0, 1);
    place(conversionGrid, 1, {{caption("Label4", kUnit, DBLookupComboBox3), DBLookupComboBox3}});
    conversionGrid->setColumnStretch(2, 1);
    auto* conversionRow = new QHBoxLayout;
    conversionRow->setContentsMargins(9, 0, 9, 0);
    conversionRow->addWidget(conversion);
    conversionRow->addStretch();

    fillPanel({grid, conversionRow});
    checkDivisionOnLeaving(conversion);
    finishFrame(PopupMenu1);
}

void TNIChannel::showRowSettings() {
    TChannelFrame::showRowSettings();
    showCorrection();
}

// ---------------------------------------------------------------- KBHA channels

TKBHA::TKBHA(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm, QWidget* parent)
    : TChannelFrame(platform, dataModule, mainForm, kKbhaChannels,
                    {iconColumn(), numberColumn(), nameColumn()}, QStringLiteral("Настройка КВНА"),
                    insertDeleteMenu(QStringLiteral("Удалить канал ВНА?\n")), parent) {
    setObjectName(QStringLiteral("KBHA"));
    DBLookupComboBox1 = moduleList(dataModule.DKBHADevice);
    DBLookupComboBox2 = templateList(dataModule.DNKBHA, QStringLiteral("name"), true);
    DBLookupComboBox2->setObjectName(QStringLiteral("DBLookupComboBox2"));
    DBText1 = descriptionLabel(dataModule.DNKBHA);
    DBLookupComboBox3 = unitList();

    QGridLayout* grid = identityGrid(nullptr, DBLookupComboBox1, kModuleChannel, DBText1);
    const int row = grid->rowCount();
    grid->addWidget(caption("Label4", kUnit, DBLookupComboBox3), row, 0);
    grid->addWidget(DBLookupComboBox3, row, 1);
    fillPanel({grid});
    finishFrame(PopupMenu1);
}

// ---------------------------------------------------------------- analog outputs

TAOChannel::TAOChannel(QWidget* parent)
    : QWidget(parent), Label1(new QLabel(QStringLiteral("Пока не доступно"))) {
    setObjectName(QStringLiteral("AOChannel"));
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setEnabled(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addStretch();
}

}  // namespace orvet
