#pragma once

#include <QMainWindow>
#include <array>

#include "core/platform.h"
#include "link/link_settings.h"
#include "serial/comm_port.h"

class QAction;
class QFrame;
class QListWidget;
class QMenu;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;

namespace orvet {

class TAboutBox;
class TDataModule1;
class TDevConf;
class TIfaceTop;
class TfrmOpenUSPD;
class Tm_CParam;
class TPortConfig;
class TPrgrs;

// The configurator's only top-level window: menu, the fixed navigation tree of the open
// USPD, and a work area showing the editor frame of the selected node. Until a USPD is
// opened it shows the black start panel.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kNodeCount = 15;
    static inline const QString kCaption = QStringLiteral("Конфигурирование УСПД ORVET-4410");

    // `opener` and `workers` choose the serial devices and how the port runs (tests use a
    // virtual line on the test clock).
    TMainForm(Platform& platform, TDataModule1& dataModule, LineOpener opener = &PosixLine::open,
              TCommPort::Workers workers = TCommPort::Workers::Threads, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The link parameters in use (loaded when the window is first shown).
    LinkSettings& linkSettings() { return link_; }

    // The tree node at absolute index `index` (0 to 14, children right after their parent).
    QTreeWidgetItem* node(int index) const { return nodes_[index]; }
    // Absolute index of the selected node, -1 without a selection.
    int selectedNode() const;
    void selectNode(int index);
    // Places `frame` as the editor of tree node `index`; it is shown when that node is
    // selected. Nodes without a frame leave the work area empty.
    void setEditor(int index, QWidget* frame);
    QWidget* editor(int index) const { return editors_[index]; }
    QWidget* workArea() const { return workArea_; }
    QFrame* startPanel() const { return startPanel_; }

    // Shows the tree of an opened USPD (true) or the start panel (false).
    void showUspdLayout(bool open);

    // "Со&здать" and "&Открыть": the selection dialog with its caption, then the chosen USPD
    // is opened.
    void MCreateClick();
    void MOpenClick();
    // Save: posts the dataset of the editor the selected node shows.
    void MSaveClick();
    // "Записать в УСП&Д": the connection dialog, then the progress window runs the upload.
    void MSaveToClick();

    QTreeWidget* TreeView1;
    QSplitter* Splitter1;
    QListWidget* Analis;
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
    QMenu* MHelp;
    QAction* N4;
    QAction* MAbout;

    TIfaceTop* IfaceTop;
    TDevConf* DevConf;

    TCommPort CommPort1;
    TAboutBox* AboutBox;
    TPortConfig* PortConfig;
    TPrgrs* Prgrs;
    TfrmOpenUSPD* frmOpenUSPD;
    Tm_CParam* m_CParam;

protected:
    void showEvent(QShowEvent* event) override;
    // Close query: the port is closed; closing is always allowed.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenu();
    void buildTree();
    void TreeView1Change();
    void FormShow();
    void chooseUspd(const QString& caption);
    void openChosenUspd();

    Platform& platform_;
    TDataModule1& data_;
    LinkSettings link_;
    QWidget* workArea_;
    QFrame* startPanel_;
    std::array<QTreeWidgetItem*, kNodeCount> nodes_{};
    std::array<QWidget*, kNodeCount> editors_{};
    bool shown_ = false;
};

}  // namespace orvet
