#include "editing/ui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "core/guarded.h"
#include "core/texts.h"
#include "core/ui/owner_activation.h"
#include "editing/config_check.h"
#include "editing/image_import.h"
#include "editing/ui/about_dialog.h"
#include "editing/ui/channel_frames.h"
#include "editing/ui/icons.h"
#include "editing/ui/interfaces_frame.h"
#include "editing/ui/list_frame.h"
#include "editing/ui/modules_frame.h"
#include "editing/ui/open_uspd_dialog.h"
#include "editing/ui/report_progress_window.h"
#include "editing/ui/uspd_settings_frames.h"
#include "export/ui/export_window.h"
#include "link/ui/frame_log_view.h"
#include "link/ui/link_parameters_dialog.h"
#include "link/ui/port_config_dialog.h"
#include "link/ui/progress_window.h"
#include "report/config_report.h"
#include "store/data_module.h"
#include "store/store_error.h"
#include "store/ui/field_controls.h"

namespace orvet {
namespace {

QAction* addItem(QMenu* menu, const char* name, const QString& caption,
                 const QKeySequence& shortcut = {}, bool enabled = true) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    action->setEnabled(enabled);
    return action;
}

}  // namespace

TMainForm::TMainForm(Platform& platform, TDataModule1& dataModule, LineOpener opener,
                     TCommPort::Workers workers, QWidget* parent)
    : QMainWindow(parent),
      TreeView1(new QTreeWidget),
      Splitter1(new QSplitter(Qt::Horizontal)),
      Analis(new QListWidget),
      FrameLogView(nullptr),
      Splitter2(new QSplitter(Qt::Vertical)),
      CommPort1(platform, std::move(opener), workers),
      AboutBox(new TAboutBox(this)),
      PortConfig(nullptr),
      Prgrs(nullptr),
      frmOpenUSPD(nullptr),
      m_CParam(nullptr),
      frmExpToDB(nullptr),
      platform_(platform),
      data_(dataModule),
      workArea_(new QWidget),
      startPanel_(new QFrame) {
    setObjectName(QStringLiteral("MainForm"));
    // Its dialogs and message boxes give the keyboard back to it when they close.
    new OwnerActivation(this);
    CommPort1.SetMonitorEvents(
        eventSet({evRxChar, evTxEmpty, evCTS, evDSR, evRlsd, evBreak, evError}));
    setWindowTitle(kCaption);
    setWindowIcon(programIcon());
    const QSize size(700, 520);
    resize(size);
    setMinimumSize(size);

    createDialogs();
    buildMenu();
    buildTree();
    buildWorkArea();
    buildEditors();
    wireAddCommands();
    buildStartPanel();
    buildAnalysisList();
    buildClientArea();
    buildStatusBar();
    showUspdLayout(false);
}

TMainForm::~TMainForm() {
    // The log view lets go of the progress window's log when it is deleted; both are children
    // of this window, and the progress window, created first, would go first.
    delete FrameLogView;
}

void TMainForm::createDialogs() {
    PortConfig = new TPortConfig(platform_, this);
    Prgrs = new TPrgrs(platform_, data_, *PortConfig, CommPort1, link_, this);
    // "Записать в УСП&Д" waits while an upload runs: the progress window shows that.
    Prgrs->installEventFilter(this);
    frmOpenUSPD = new TfrmOpenUSPD(platform_, data_, this);
    m_CParam = new Tm_CParam(platform_, link_, this);
    frmExpToDB = new TfrmExpToDB(platform_, data_, this);
}

void TMainForm::buildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    MFile = bar->addMenu(QStringLiteral("&Файл"));
    MFile->setObjectName(QStringLiteral("MFile"));
    MCreate =
        addItem(MFile, "MCreate", QStringLiteral("Со&здать"), QKeySequence(Qt::CTRL | Qt::Key_N));
    MOpen = addItem(MFile, "MOpen", QStringLiteral("&Открыть"), QKeySequence(Qt::CTRL | Qt::Key_O));
    MSave = addItem(MFile, "MSave", QStringLiteral("&Сохранить"),
                    QKeySequence(Qt::CTRL | Qt::Key_S), false);
    MOpenFrom = addItem(MFile, "MOpenFrom", QStringLiteral("Открыть файл конфигурации…"),
                        QKeySequence(Qt::CTRL | Qt::Key_U));
    MFile->addSeparator()->setObjectName(QStringLiteral("N23"));
    MSaveTo = addItem(MFile, "MSaveTo", QStringLiteral("Записать в УСП&Д"),
                      QKeySequence(Qt::CTRL | Qt::Key_D), false);
    MFile->addSeparator()->setObjectName(QStringLiteral("N26"));
    MExpToADO = addItem(MFile, "MExpToADO", QStringLiteral("Экспорт в БД (ADO)"),
                        QKeySequence(Qt::Key_F7), false);
    MSWord1 = addItem(MFile, "MSWord1", QStringLiteral("Отчёт о конфигурации…"), {}, false);
    MFile->addSeparator()->setObjectName(QStringLiteral("N1"));
    MExit = addItem(MFile, "MExit", QStringLiteral("&Выход"), QKeySequence(Qt::ALT | Qt::Key_F4));
    connect(MExit, &QAction::triggered, this, &QWidget::close);
    connect(MCreate, &QAction::triggered, this, &TMainForm::MCreateClick);
    connect(MOpen, &QAction::triggered, this, &TMainForm::MOpenClick);
    connect(MOpenFrom, &QAction::triggered, this, &TMainForm::MOpenFromClick);
    chooseImageFile = [this] {
        return QFileDialog::getOpenFileName(
            this, QStringLiteral("Открыть файл конфигурации"), QString(),
            QStringLiteral("Файлы конфигурации (*.dat);;Все файлы (*)"));
    };
    connect(MSave, &QAction::triggered, this, &TMainForm::MSaveClick);
    connect(MSaveTo, &QAction::triggered, this, &TMainForm::MSaveToClick);
    connect(MExpToADO, &QAction::triggered, this, &TMainForm::MExpToADOClick);
    connect(MSWord1, &QAction::triggered, this, &TMainForm::MSWord1Click);
    chooseReportFile = [this] {
        return QFileDialog::getSaveFileName(
            this, QStringLiteral("Отчёт о конфигурации"), QString(),
            QStringLiteral("Документ ODF (*.odt);;Документ PDF (*.pdf);;Страница HTML (*.html)"));
    };
    openReport = [](const QUrl& url) { QDesktopServices::openUrl(url); };

    MAdd = bar->addMenu(QStringLiteral("&Добавить"));
    MAdd->setObjectName(QStringLiteral("MAdd"));
    MAddIface = addItem(MAdd, "MAddIface", QStringLiteral("Интерфейс"));
    MAddUSO = addItem(MAdd, "MAddUSO", QStringLiteral("Модуль УСО"));
    MAddChan = MAdd->addMenu(QStringLiteral("Канал"));
    MAddChan->setObjectName(QStringLiteral("MAddChan"));
    N6 = addItem(MAddChan, "N6", QStringLiteral("Аналоговый вход УСО"));
    N7 = addItem(MAddChan, "N7", QStringLiteral("Аналоговый выход УСО"));
    N10 = addItem(MAddChan, "N10", QStringLiteral("Счетный вход УСО"));
    N2 = addItem(MAddChan, "N2", QStringLiteral("КВНА"));
    N3 = addItem(MAddChan, "N3", QStringLiteral("Дискретный вход"));
    N8 = addItem(MAddChan, "N8", QStringLiteral("Дискретный вход УСО"));
    N5 = addItem(MAddChan, "N5", QStringLiteral("Дискретный выход"));
    N9 = addItem(MAddChan, "N9", QStringLiteral("Дискретный выход УСО"));
    MAdd->setEnabled(false);
    MAdd->menuAction()->setEnabled(false);

    MParam = bar->addMenu(QStringLiteral("&Параметры"));
    MParam->setObjectName(QStringLiteral("MParam"));
    N11 = addItem(MParam, "N11", QStringLiteral("Параметры связи"));
    CheckConfig =
        addItem(MParam, "CheckConfig", QStringLiteral("Проверить конфигурацию"), {}, false);
    MParam->setEnabled(false);
    MParam->menuAction()->setEnabled(false);
    connect(N11, &QAction::triggered, m_CParam, &QDialog::exec);
    MFrameLog = addItem(MParam, "MFrameLog", TFrameLogView::kCaption);
    MFrameLog->setCheckable(true);
    connect(CheckConfig, &QAction::triggered, this, &TMainForm::CheckConfigClick);
    connect(MFrameLog, &QAction::triggered, this, &TMainForm::MFrameLogClick);

    MHelp = bar->addMenu(QStringLiteral("По&мощь"));
    MHelp->setObjectName(QStringLiteral("MHelp"));
    N4 = addItem(MHelp, "N4", QStringLiteral("Справка"));
    MAbout = addItem(MHelp, "MAbout", QStringLiteral("&О программе"));
    connect(MAbout, &QAction::triggered, AboutBox, &QDialog::exec);

    for (QAction* action : {MAddIface, MAddUSO})
        action->setIcon(imButt(action == MAddIface ? 13 : 6));
    for (QAction* action : {N6, N7, N10, N2, N3, N8, N5, N9})
        action->setIcon(imButt(7));
}

const std::array<TMainForm::NodeDef, kTreeNodeCount>& TMainForm::nodeDefs() {
    using N = TreeNode;
    static const std::array<NodeDef, kTreeNodeCount> defs{{
        {N::UspdParameters, "Параметры УСПД", {}, 4, nullptr, nullptr},
        {N::Interfaces, "Интерфейсы", N::UspdParameters, 13,
         [](TMainForm& f) -> QWidget* {
             return f.IfaceTop = new TIfaceTop(f.platform_, f.data_, f);
         },
         [](TDataModule1& d) -> Dataset* { return &d.tblSpecInterFace; }},
        {N::OnboardModules, "Встроенные модули", N::UspdParameters, 12,
         [](TMainForm& f) -> QWidget* { return f.Embdev = new TEmbdev(f.platform_, f.data_); },
         [](TDataModule1& d) -> Dataset* { return &d.tblHeadline; }},
        {N::Callback, "Обратный вызов", N::UspdParameters, 15,
         [](TMainForm& f) -> QWidget* {
             return f.SetCallback = new TSetCallback(f.platform_, f.data_);
         },
         nullptr},
        {N::Modules,
         "Внешние  модули",
         {},
         6,
         [](TMainForm& f) -> QWidget* { return f.DevConf = new TDevConf(f.platform_, f.data_, f); },
         [](TDataModule1& d) -> Dataset* { return &d.tblSpecDevice; }},
        {N::Channels, "Каналы", {}, 7, nullptr, nullptr},
        {N::AnalogInputs, "Аналоговые входы УСО", N::Channels, 7,
         [](TMainForm& f) -> QWidget* {
             return f.AChannel = new TAChannel(f.platform_, f.data_, f);
         },
         [](TDataModule1& d) -> Dataset* { return &d.tblSpecAChannel; }},
        {N::AnalogOutputs, "Аналоговые выходы УСО", N::Channels, 7,
         [](TMainForm& f) -> QWidget* { return f.AOChannel = new TAOChannel; }, nullptr},
        {N::CountingInputs, "Счетные входы УСО", N::Channels, 7,
         [](TMainForm& f) -> QWidget* {
             return f.NIChannel = new TNIChannel(f.platform_, f.data_, f);
         },
         [](TDataModule1& d) -> Dataset* { return &d.tblSpecNIChannel; }},
        {N::Kbha, "КВНА", N::Channels, 7,
         [](TMainForm& f) -> QWidget* { return f.KBHA = new TKBHA(f.platform_, f.data_, f); },
         [](TDataModule1& d) -> Dataset* { return &d.tblSpecKBHA; }},
        {N::DiscreteInputs, "Дискретные входы", N::Channels, 7,
         [](TMainForm& f) -> QWidget* {
             return f.EmDChannel = new TEmDChannel(f.platform_, f.data_, f);
         },
         [](TDataModule1& d) -> Dataset* { return &d.tblSpecEmDChannel; }},
        {N::ModuleDiscreteInputs, "Дискретные входы УСО", N::Channels, 7,
         [](TMainForm& f) -> QWidget* {
             return f.DChannel = new TDChannel(f.platform_, f.data_, f);
         },
         [](TDataModule1& d) -> Dataset* { return &d.tblSpecDChannel; }},
        {N::DiscreteOutputs, "Дискретные выходы", N::Channels, 7,
         [](TMainForm& f) -> QWidget* {
             return f.EmDOChannel = new TEmDOChannel(f.platform_, f.data_, f);
         },
         [](TDataModule1& d) -> Dataset* { return &d.tblSpecEmDOChannel; }},
        {N::ModuleDiscreteOutputs, "Дискретные выходы УСО", N::Channels, 7,
         [](TMainForm& f) -> QWidget* {
             return f.DOChannel = new TDOChannel(f.platform_, f.data_, f);
         },
         [](TDataModule1& d) -> Dataset* { return &d.tblSpecDOChannel; }},
        {N::Archives,
         "Архивы",
         {},
         8,
         [](TMainForm& f) -> QWidget* {
             return f.ArchiveCFG = new TArchiveCFG(f.platform_, f.data_);
         },
         nullptr},
    }};
    return defs;
}

void TMainForm::buildTree() {
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    // The fixed tree is always expanded: no branch handles at the root, and a narrow
    // indentation, keep the longest node texts within the tree's 205 pixels.
    TreeView1->setRootIsDecorated(false);
    TreeView1->setItemsExpandable(false);
    TreeView1->setIndentation(8);
    TreeView1->setMinimumWidth(42);
    TreeView1->setMaximumWidth(205);
    // The selection stays visible when the focus is elsewhere.
    keepSelectionVisible(TreeView1);

    for (const NodeDef& def : nodeDefs()) {
        Q_ASSERT(index(def.node) == int(&def - nodeDefs().data()));
        auto* item =
            def.parent ? new QTreeWidgetItem(node(*def.parent)) : new QTreeWidgetItem(TreeView1);
        item->setText(0, QString::fromUtf8(def.text));
        item->setToolTip(0, item->text(0));
        item->setIcon(0, imButt(def.icon));
        item->setData(0, Qt::UserRole, index(def.node));
        nodes_[index(def.node)] = item;
    }
    TreeView1->expandAll();
    connect(TreeView1, &QTreeWidget::currentItemChanged, this, &TMainForm::TreeView1Change);
}

// The tree on the left, the selected node's editor on the right.
void TMainForm::buildWorkArea() {
    workArea_->setObjectName(QStringLiteral("workArea"));
    auto* workLayout = new QVBoxLayout(workArea_);
    workLayout->setContentsMargins(0, 0, 0, 0);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->addWidget(TreeView1);
    Splitter1->addWidget(workArea_);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->setSizes({205, 495});
}

void TMainForm::buildEditors() {
    for (const NodeDef& def : nodeDefs()) {
        if (def.makeEditor)
            setEditor(def.node, def.makeEditor(*this));
    }
}

// The items of "Добавить" select their node, whose editor adds the row.
void TMainForm::wireAddCommands() {
    connect(MAddIface, &QAction::triggered, this, [this] {
        selectNode(TreeNode::Interfaces);
        IfaceTop->N1Click();
    });
    connect(MAddUSO, &QAction::triggered, this, [this] {
        selectNode(TreeNode::Modules);
        DevConf->N1Click();
    });
    const std::pair<QAction*, TreeNode> channels[] = {{N6, TreeNode::AnalogInputs},
                                                      {N10, TreeNode::CountingInputs},
                                                      {N2, TreeNode::Kbha},
                                                      {N3, TreeNode::DiscreteInputs},
                                                      {N8, TreeNode::ModuleDiscreteInputs},
                                                      {N5, TreeNode::DiscreteOutputs},
                                                      {N9, TreeNode::ModuleDiscreteOutputs}};
    for (const auto& [item, node] : channels) {
        connect(item, &QAction::triggered, this, [this, node = node] {
            selectNode(node);
            static_cast<TChannelFrame*>(editor(node))->addClick();
        });
    }
    // "Аналоговый выход УСО" only shows its editor, which has nothing to add.
    connect(N7, &QAction::triggered, this, [this] { selectNode(TreeNode::AnalogOutputs); });
}

void TMainForm::buildStartPanel() {
    startPanel_->setObjectName(QStringLiteral("startPanel"));
    startPanel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    startPanel_->setAutoFillBackground(true);
    QPalette palette = startPanel_->palette();
    palette.setColor(QPalette::Window, Qt::black);
    startPanel_->setPalette(palette);
}

// The findings of "Проверить конфигурацию", under the work area; hidden until a check finds
// something.
void TMainForm::buildAnalysisList() {
    Analis->setObjectName(QStringLiteral("Analis"));
    Analis->setFixedHeight(115);
    Analis->setIconSize(QSize(16, 16));
    Analis->setToolTip(QStringLiteral("Двойной щелчок показывает объект"));
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Splitter2->addWidget(Analis);
    // The frame log shares the place; it needs the room of a few more lines.
    FrameLogView = new TFrameLogView(platform_, Prgrs->frameLog());
    FrameLogView->setFixedHeight(180);
    FrameLogView->hide();
    Splitter2->addWidget(FrameLogView);
    Splitter2->hide();
    connect(Analis, &QListWidget::itemDoubleClicked, this, &TMainForm::AnalisDblClick);
}

// The work area and the start panel share the client area (one of them shows), the
// analysis list below them.
void TMainForm::buildClientArea() {
    auto* client = new QWidget;
    auto* clientLayout = new QVBoxLayout(client);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->setSpacing(0);
    clientLayout->addWidget(Splitter1, 1);
    clientLayout->addWidget(startPanel_, 1);
    clientLayout->addWidget(Splitter2);
    setCentralWidget(client);
}

void TMainForm::buildStatusBar() {
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setFixedHeight(19);
}

std::optional<TreeNode> TMainForm::selectedNode() const {
    const QTreeWidgetItem* item = TreeView1->currentItem();
    if (!item)
        return std::nullopt;
    return static_cast<TreeNode>(item->data(0, Qt::UserRole).toInt());
}

void TMainForm::selectNode(TreeNode node) {
    TreeView1->setCurrentItem(nodes_[index(node)]);
}

void TMainForm::setEditor(TreeNode node, QWidget* frame) {
    editors_[index(node)] = frame;
    frame->setParent(workArea_);
    workArea_->layout()->addWidget(frame);
    frame->setVisible(node == selectedNode() && Splitter1->isVisible());
}

void TMainForm::TreeView1Change() {
    const std::optional<TreeNode> selected = selectedNode();
    for (QWidget* frame : editors_) {
        if (frame)
            frame->hide();
    }
    if (selected && editor(*selected))
        editor(*selected)->show();
}

void TMainForm::showUspdLayout(bool open) {
    startPanel_->setVisible(!open);
    Splitter1->setVisible(open);
    // The findings belong to the USPD they were found in.
    Analis->clear();
    showInPlace(nullptr);
    if (!open) {
        for (QWidget* frame : editors_) {
            if (frame)
                frame->hide();
        }
    } else {
        TreeView1Change();
    }
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    // Centred on the desktop with its frame, which is known only once the window is shown.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    FormShow();
}

void TMainForm::MCreateClick() {
    chooseUspd(QStringLiteral("Создать УСПД"));
}

void TMainForm::MOpenClick() {
    chooseUspd(QStringLiteral("Открыть УСПД"));
}

void TMainForm::MOpenFromClick() {
    const QString path = chooseImageFile();
    if (path.isEmpty())
        return;
    QStringList warnings;
    const bool imported = guarded(platform_.messages, [this, &path, &warnings] {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            throw StoreError(QStringLiteral("Файл %1 не прочитан: %2")
                                 .arg(QDir::toNativeSeparators(path), file.errorString()));
        }
        const QByteArray bytes = file.readAll();
        if (!data_.ADOConnection1.isOpen())
            data_.ADOConnection1.open();
        warnings = importImage(data_, bytes, importedUspdName(path)).warnings;
    });
    if (!imported)
        return;
    openChosenUspd();
    // Bytes that the new USPD cannot hold and that its next compilation writes as the
    // program always does.
    if (!warnings.isEmpty()) {
        platform_.messages.warning(
            QStringLiteral(
                "В файле есть байты, которых программа в образ не записывает. В новом УСПД их нет: "
                "при записи в УСПД на их месте будет то, что записывает программа.\n") +
                warnings.join(u'\n'),
            texts::kAttention);
    }
}

void TMainForm::chooseUspd(const QString& caption) {
    const int count = frmOpenUSPD->choose(caption);
    if (count < 0)
        return;  // closed without "OK"
    if (count == 0) {
        showUspdLayout(false);
        return;
    }
    openChosenUspd();
}

void TMainForm::openChosenUspd() {
    showUspdLayout(true);
    guarded(platform_.messages, [this] {
        if (!data_.ADOConnection1.isOpen())
            data_.ADOConnection1.open();
        data_.openDatasets();
    });
    MAdd->setEnabled(true);
    MAdd->menuAction()->setEnabled(true);
    MParam->setEnabled(true);
    MParam->menuAction()->setEnabled(true);
    CheckConfig->setEnabled(true);
    MSave->setEnabled(true);
    MSaveTo->setEnabled(!Prgrs->isVisible());
    MExpToADO->setEnabled(true);
    MSWord1->setEnabled(true);
    Dataset& uspd = data_.tblUSPD;
    setWindowTitle(kCaption + QStringLiteral(" - ") + uspd.fieldByName(u"uspd_name").asString() +
                   QStringLiteral(" - ") + uspd.fieldByName(u"enterprise").asString());
    guarded(platform_.messages, [this] { data_.refreshModuleLists(); });
    TreeView1->setFocus();
}

void TMainForm::MSaveClick() {
    const std::optional<TreeNode> selected = selectedNode();
    if (!selected || !editor(*selected))
        return;
    if (*selected == TreeNode::Archives) {
        ArchiveCFG->save();
        return;
    }
    const NodeDef& def = nodeDefs()[index(*selected)];
    Dataset* dataset = def.posted ? def.posted(data_) : nullptr;
    if (!dataset)
        return;
    // A list without rows has nothing to store: putting it into editing would add an empty row.
    if (qobject_cast<TListFrame*>(editor(*selected)) && dataset->isOpen() && dataset->isEmpty())
        return;
    guarded(platform_.messages, [&] {
        // What the bound edits hold goes into the row before it is posted.
        for (DBEdit* edit : editor(*selected)->findChildren<DBEdit*>()) {
            if (!edit->commit())
                return;
        }
        dataset->edit();
        dataset->post();
    });
}

void TMainForm::MSaveToClick() {
    const std::optional<bool> clean = checkConfiguration(false);
    if (clean != true) {
        const QString& question = clean ? kAskWriteWithErrors : kAskWriteUnchecked;
        if (!platform_.messages.question(question, texts::kConfirm, QuestionIcon::Warning))
            return;
    }
    if (PortConfig->exec() == QDialog::Accepted)
        Prgrs->start();
}

void TMainForm::MExpToADOClick() {
    // The window goes back to its connection page by itself when it closes.
    frmExpToDB->exec();
}

void TMainForm::MSWord1Click() {
    static const QString caption = QStringLiteral("Отчёт о конфигурации");
    const QString path = chooseReportFile();
    if (path.isEmpty())
        return;
    const std::optional<ReportFormat> format = reportFormatFor(path);
    if (!format) {
        platform_.messages.error(
            QStringLiteral(
                "Формат файла «%1» не известен: отчёт пишется в файлы .odt, .pdf и .html")
                .arg(QDir::toNativeSeparators(path)),
            caption);
        return;
    }
    ConfigurationReport report;
    if (!guarded(platform_.messages, [&] { report = configurationReport(data_, link_.PakLen); }))
        return;
    ReportProgressWindow progress(this);
    const ReportWriteResult result =
        writeReport(report, *format, path, [&](const QString& stage, qint64 done, qint64 total) {
            return progress.advance(stage, done, total);
        });
    if (!result.failure.isEmpty())
        platform_.messages.error(result.failure, caption);
    if (result.written())
        openReport(QUrl::fromLocalFile(path));
}

void TMainForm::CheckConfigClick() {
    checkConfiguration(true);
}

std::optional<bool> TMainForm::checkConfiguration(bool sayClean) {
    QList<Finding> findings;
    if (!guarded(platform_.messages,
                 [&] { findings = orvet::checkConfiguration(data_, link_.PakLen); }))
        return std::nullopt;
    Analis->clear();
    const QIcon errorIcon = style()->standardIcon(QStyle::SP_MessageBoxCritical);
    const QIcon warningIcon = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    for (const Finding& finding : findings) {
        auto* item = new QListWidgetItem(
            finding.severity == Finding::Severity::Error ? errorIcon : warningIcon, finding.text(),
            Analis);
        item->setToolTip(finding.text());
        item->setData(Qt::UserRole, finding.table);
        item->setData(Qt::UserRole + 1, finding.keyField);
        item->setData(Qt::UserRole + 2, finding.key);
    }
    // Without findings the frame log, if shown, stays.
    if (!findings.isEmpty())
        showInPlace(Analis);
    else if (!MFrameLog->isChecked())
        showInPlace(nullptr);
    if (findings.isEmpty() && sayClean) {
        platform_.messages.information(kNoFindings, QStringLiteral("Проверка конфигурации"));
    }
    return !hasErrors(findings);
}

void TMainForm::AnalisDblClick(QListWidgetItem* item) {
    static const std::pair<const char*, TreeNode> places[] = {
        {"SpecInterFace", TreeNode::Interfaces},
        {"SpecDevice", TreeNode::Modules},
        {"SpecAChannel", TreeNode::AnalogInputs},
        {"SpecNIChannel", TreeNode::CountingInputs},
        {"SpecKBHA", TreeNode::Kbha},
        {"SpecEmDChannel", TreeNode::DiscreteInputs},
        {"SpecDChannel", TreeNode::ModuleDiscreteInputs},
        {"SpecEmDOChannel", TreeNode::DiscreteOutputs},
        {"SpecDOChannel", TreeNode::ModuleDiscreteOutputs},
        {"CallbackPhone", TreeNode::Callback},
        {"Headline", TreeNode::Callback},
    };
    const QString table = item->data(Qt::UserRole).toString();
    TreeNode node = TreeNode::UspdParameters;
    for (const auto& [name, place] : places) {
        if (table == QLatin1String(name))
            node = place;
    }
    selectNode(node);
    const QString keyField = item->data(Qt::UserRole + 1).toString();
    Dataset* dataset = data_.dataset(QStringLiteral("tbl") + table);
    if (!dataset || keyField.isEmpty())
        return;
    // A row deleted since the check is simply not found.
    guarded(platform_.messages, [&] { dataset->locate(keyField, item->data(Qt::UserRole + 2)); });
}

void TMainForm::MFrameLogClick(bool checked) {
    showInPlace(checked ? FrameLogView : nullptr);
}

void TMainForm::showInPlace(QWidget* list) {
    // The findings are the place's own list: it shows whenever the log does not.
    Analis->setVisible(list != FrameLogView);
    FrameLogView->setVisible(list == FrameLogView);
    MFrameLog->setChecked(list == FrameLogView);
    Splitter2->setVisible(list != nullptr);
}

bool TMainForm::settleEdits() {
    const QList<DBEdit*> edits = findChildren<DBEdit*>();
    std::vector<Dataset*> editing;
    for (Dataset* dataset : data_.ADOConnection1.datasets()) {
        if (dataset->state() == Dataset::State::Edit || dataset->state() == Dataset::State::Insert)
            editing.push_back(dataset);
    }
    const bool typed = std::any_of(edits.begin(), edits.end(),
                                   [](const DBEdit* edit) { return edit->holdsUnstoredText(); });
    if (editing.empty() && !typed)
        return true;
    switch (platform_.messages.questionWithCancel(QStringLiteral("Сохранить изменения?"),
                                                  texts::kConfirm)) {
        case Answer::Cancel:
            return false;
        case Answer::No:
            for (Dataset* dataset : editing)
                guarded(platform_.messages, [dataset] { dataset->cancel(); });
            return true;
        case Answer::Yes:
            break;
    }
    for (DBEdit* edit : edits) {
        if (!edit->commit())
            return false;
    }
    // Committing the edits may have put further rows into editing.
    for (Dataset* dataset : data_.ADOConnection1.datasets()) {
        if (dataset->state() != Dataset::State::Edit && dataset->state() != Dataset::State::Insert)
            continue;
        if (!guarded(platform_.messages, [dataset] { dataset->post(); }))
            return false;
    }
    return true;
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!settleEdits()) {
        event->ignore();
        return;
    }
    if (Prgrs->isVisible()) {
        if (!platform_.messages.question(kAskStopUpload, texts::kConfirm, QuestionIcon::Warning)) {
            event->ignore();
            return;
        }
        Prgrs->Button1->click();
    }
    CommPort1.SetOpen(false);
    QMainWindow::closeEvent(event);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Prgrs && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        MSaveTo->setEnabled(event->type() == QEvent::Hide);
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::FormShow() {
    link_ = LinkSettings::load(platform_.settings);
}

}  // namespace orvet
