#pragma once

#include <QMainWindow>
#include <array>
#include <functional>
#include <optional>

#include "core/platform.h"
#include "link/link_settings.h"
#include "serial/comm_port.h"

class QAction;
class QFrame;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;
class QUrl;

namespace orvet {

class Dataset;
class TAboutBox;
class TAChannel;
class TArchiveCFG;
class TEmbdev;
class TSetCallback;
class TAOChannel;
class TDChannel;
class TDOChannel;
class TEmDChannel;
class TEmDOChannel;
class TKBHA;
class TNIChannel;
class TDataModule1;
class TDevConf;
class TIfaceTop;
class TfrmExpToDB;
class TfrmOpenUSPD;
class Tm_CParam;
class TPortConfig;
class TPrgrs;
class TFrameLogView;

// The nodes of the fixed navigation tree, in display order (children right after their
// parent): the absolute index of a node is its value.
enum class TreeNode {
    UspdParameters,         // "Параметры УСПД"
    Interfaces,             // "Интерфейсы"
    OnboardModules,         // "Встроенные модули"
    Callback,               // "Обратный вызов"
    Modules,                // "Внешние  модули"
    Channels,               // "Каналы"
    AnalogInputs,           // "Аналоговые входы УСО"
    AnalogOutputs,          // "Аналоговые выходы УСО"
    CountingInputs,         // "Счетные входы УСО"
    Kbha,                   // "КВНА"
    DiscreteInputs,         // "Дискретные входы"
    ModuleDiscreteInputs,   // "Дискретные входы УСО"
    DiscreteOutputs,        // "Дискретные выходы"
    ModuleDiscreteOutputs,  // "Дискретные выходы УСО"
    Archives,               // "Архивы"
};
inline constexpr int kTreeNodeCount = 15;

// The configurator's only top-level window: menu, the fixed navigation tree of the open
// USPD, and a work area showing the editor frame of the selected node. Until a USPD is
// opened it shows the black start panel.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    static inline const QString kCaption = QStringLiteral("Конфигурирование УСПД ORVET-4410");
    // Asked when the window closes during an upload.
    static inline const QString kAskStopUpload =
        QStringLiteral("Идёт запись конфигурации в УСПД. Прервать запись и выйти?");

    // Asked by "Записать в УСП&Д" when the check finds errors, or cannot run.
    static inline const QString kAskWriteWithErrors = QStringLiteral(
        "В конфигурации найдены ошибки (они в списке под рабочей областью), УСПД может "
        "работать с ней неправильно. Всё равно записать в УСПД?");
    static inline const QString kAskWriteUnchecked =
        QStringLiteral("Проверить конфигурацию не удалось. Всё равно записать в УСПД?");
    static inline const QString kNoFindings = QStringLiteral("Ошибок в конфигурации не найдено");

    // `opener` and `workers` choose the serial devices and how the port runs (tests use a
    // virtual line on the test clock).
    TMainForm(Platform& platform, TDataModule1& dataModule, LineOpener opener = &PosixLine::open,
              TCommPort::Workers workers = TCommPort::Workers::Threads, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The link parameters in use (loaded when the window is first shown).
    LinkSettings& linkSettings() { return link_; }

    QTreeWidgetItem* node(TreeNode node) const { return nodes_[index(node)]; }
    // The selected node; none without a selection.
    std::optional<TreeNode> selectedNode() const;
    void selectNode(TreeNode node);
    // Places `frame` as the editor of `node`; it is shown while that node is selected. Nodes
    // without a frame leave the work area empty.
    void setEditor(TreeNode node, QWidget* frame);
    QWidget* editor(TreeNode node) const { return editors_[index(node)]; }
    QWidget* workArea() const { return workArea_; }
    QFrame* startPanel() const { return startPanel_; }

    // Shows the tree of an opened USPD (true) or the start panel (false).
    void showUspdLayout(bool open);

    // "Со&здать" and "&Открыть": the selection dialog with its caption, then the chosen USPD
    // is opened.
    void MCreateClick();
    void MOpenClick();
    // "Открыть файл конфигурации…": the chosen image becomes a new USPD of the store, which is
    // then opened; a file that is not an image is refused and the store is left as it was.
    // Bytes of the file that no compilation writes are listed in a warning.
    void MOpenFromClick();
    // Asks for the image file to open; empty when the user cancels. A file dialog unless
    // replaced (tests answer without one).
    std::function<QString()> chooseImageFile;
    // Save: posts the dataset of the editor the selected node shows.
    void MSaveClick();
    // "Записать в УСП&Д": the connection dialog, then the progress window runs the upload.
    void MSaveToClick();
    // "Экспорт в БД (ADO)": the export window, modally, for the open USPD.
    void MExpToADOClick();
    // "Отчёт о конфигурации…": asks for the file, writes the open USPD's configuration report
    // in the format of its extension (.odt, .pdf, .html) and opens it in the user's viewer. The
    // report compiles the image, so the store is renumbered as writing into the USPD does.
    // An unknown extension, a store failure or a file that cannot be written is shown in a box.
    void MSWord1Click();
    // Asks for the report file; empty when the user cancels. A file dialog unless replaced.
    std::function<QString()> chooseReportFile;
    // Opens the written report; QDesktopServices unless replaced (tests open nothing).
    std::function<void(const QUrl&)> openReport;
    // "Проверить конфигурацию": checks the open USPD's stored rows and lists the findings in
    // Analis (shown while it holds any); without findings says so.
    void CheckConfigClick();
    // Double click on a finding: selects its node and locates its row.
    void AnalisDblClick(QListWidgetItem* item);
    // "Журнал обмена" (checked): the frames of the last upload take the place under the work
    // area; unchecked, the place is closed. The place shows what was asked for last: a check
    // that finds something shows its findings there instead.
    void MFrameLogClick(bool checked);

    QTreeWidget* TreeView1;
    QSplitter* Splitter1;
    QListWidget* Analis;
    TFrameLogView* FrameLogView;
    QSplitter* Splitter2;

    QMenu* MFile;
    QAction* MCreate;
    QAction* MOpen;
    QAction* MSave;
    QAction* MOpenFrom;
    QAction* MSaveTo;
    QAction* MExpToADO;
    QAction* MSWord1;
    QAction* MExit;
    QMenu* MAdd;
    QAction* MAddIface;
    QAction* MAddUSO;
    QMenu* MAddChan;
    QAction* N6;
    QAction* N7;
    QAction* N10;
    QAction* N2;
    QAction* N3;
    QAction* N8;
    QAction* N5;
    QAction* N9;
    QMenu* MParam;
    QAction* N11;
    QAction* CheckConfig;
    QAction* MFrameLog;
    QMenu* MHelp;
    QAction* N4;
    QAction* MAbout;

    TIfaceTop* IfaceTop;
    TDevConf* DevConf;
    TEmbdev* Embdev;
    TSetCallback* SetCallback;
    TArchiveCFG* ArchiveCFG;
    TAChannel* AChannel;
    TAOChannel* AOChannel;
    TNIChannel* NIChannel;
    TKBHA* KBHA;
    TEmDChannel* EmDChannel;
    TDChannel* DChannel;
    TEmDOChannel* EmDOChannel;
    TDOChannel* DOChannel;

    TCommPort CommPort1;
    TAboutBox* AboutBox;
    TPortConfig* PortConfig;
    TPrgrs* Prgrs;
    TfrmOpenUSPD* frmOpenUSPD;
    Tm_CParam* m_CParam;
    TfrmExpToDB* frmExpToDB;

protected:
    void showEvent(QShowEvent* event) override;
    // Close query: edits not yet stored are saved, dropped or kept open as the user answers
    // "Сохранить изменения?"; during an upload asks whether to stop it (a "No" keeps the
    // window); then the port is closed.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What the tree shows for a node, and what its editor is.
    struct NodeDef {
        TreeNode node;
        const char* text;
        std::optional<TreeNode> parent;
        int icon;  // of imButt
        // Makes the node's editor frame; null for a node that shows none.
        QWidget* (*makeEditor)(TMainForm& form);
        // The dataset that Save posts while the node is selected; null for none.
        Dataset* (*posted)(TDataModule1& data);
    };
    static const std::array<NodeDef, kTreeNodeCount>& nodeDefs();
    static int index(TreeNode node) { return static_cast<int>(node); }

    void createDialogs();
    void buildMenu();
    void buildTree();
    void buildWorkArea();
    void buildEditors();
    void wireAddCommands();
    void buildStartPanel();
    void buildAnalysisList();
    // Shows `list` (Analis or FrameLogView) under the work area; none closes the place.
    void showInPlace(QWidget* list);
    void buildClientArea();
    void buildStatusBar();
    void TreeView1Change();
    void FormShow();
    void chooseUspd(const QString& caption);
    // Asks what becomes of typed values and rows not yet posted before the window closes:
    // "Да" stores them (a refusal is shown and the window stays), "Нет" drops them, "Отмена"
    // keeps the window. True when the window may close.
    bool settleEdits();
    void openChosenUspd();
    // Runs the check and lists its findings; `sayClean`: a box tells when there are none.
    // Whether the configuration is free of errors; none when the check could not run (the
    // store's refusal is shown).
    std::optional<bool> checkConfiguration(bool sayClean);

    Platform& platform_;
    TDataModule1& data_;
    LinkSettings link_;
    QWidget* workArea_;
    QFrame* startPanel_;
    std::array<QTreeWidgetItem*, kTreeNodeCount> nodes_{};
    std::array<QWidget*, kTreeNodeCount> editors_{};
    bool shown_ = false;
};

}  // namespace orvet
