#include "editing/interfaces_frame.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include "editing/dataset_table_model.h"
#include "editing/field_controls.h"
#include "editing/icons.h"
#include "editing/interface_operations.h"
#include "editing/list_grid.h"
#include "store/data_module.h"

namespace orvet {

TIfaceTop::TIfaceTop(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm,
                     QWidget* parent)
    : QWidget(parent),
      DBGrid1(new QTableView),
      Splitter1(new QSplitter(Qt::Vertical)),
      GroupBox1(new QGroupBox(QStringLiteral("Настройка интерфейса"))),
      IfacePopup(new QMenu(this)),
      platform_(platform),
      data_(dataModule),
      mainForm_(mainForm),
      model_(new DatasetTableModel(
          dataModule.tblSpecInterFace,
          {{QString(), QString(), 18, true},
           {QStringLiteral("NPort"), QStringLiteral("Порт"), 45, true, Qt::AlignHCenter},
           {QStringLiteral("TIface"), QStringLiteral("Тип"), 60, true, Qt::AlignHCenter},
           {QStringLiteral("bBaud"), QStringLiteral("Скорость"), 60, true, Qt::AlignHCenter}},
          platform.messages, this)),
      lineIcon_(imIface(0)),
      busIcon_(imIface(2)) {
    setObjectName(QStringLiteral("IfaceTop"));
    Dataset& ifaces = data_.tblSpecInterFace;
    MessageBoxes& messages = platform_.messages;

    IfacePopup->setObjectName(QStringLiteral("IfacePopup"));
    N1 = IfacePopup->addAction(imIface(0), QStringLiteral("Добавить интерфейс"));
    N1->setObjectName(QStringLiteral("N1"));
    N1->setShortcut(QKeySequence(Qt::Key_Insert));
    N2 = IfacePopup->addAction(imIface(1), QStringLiteral("Удалить интерфейс"));
    N2->setObjectName(QStringLiteral("N2"));
    N2->setShortcut(QKeySequence(Qt::Key_Delete));
    connect(N1, &QAction::triggered, this, &TIfaceTop::N1Click);
    connect(N2, &QAction::triggered, this, &TIfaceTop::N2Click);

    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    model_->decoration = [this](int row, int column, int role) {
        return cellDecoration(row, column, role);
    };
    bindGrid(DBGrid1, model_);
    setUpListGrid(DBGrid1, IfacePopup);
    showRowIcons(DBGrid1, 0);

    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    ifType = new DBLookupComboBox(ifaces, QStringLiteral("t_iface"), data_.tblTypeIface,
                                  QStringLiteral("key"), QStringLiteral("t_iface"), messages);
    ifType->setObjectName(QStringLiteral("ifType"));
    ifPort = new DBLookupComboBox(ifaces, QStringLiteral("port"), data_.tblPort,
                                  QStringLiteral("key"), QStringLiteral("portname"), messages);
    ifPort->setObjectName(QStringLiteral("ifPort"));
    ifBaud = new DBLookupComboBox(ifaces, QStringLiteral("baud"), data_.tblBaud,
                                  QStringLiteral("key"), QStringLiteral("baud"), messages);
    ifBaud->setObjectName(QStringLiteral("ifBaud"));
    drg_DTR = new DBRadioGroup(QStringLiteral("DTR"),
                               {QStringLiteral("Enable"), QStringLiteral("Disable")},
                               {QStringLiteral("1"), QStringLiteral("0")}, ifaces,
                               QStringLiteral("DTR_enable"), messages, 2);
    drg_DTR->setObjectName(QStringLiteral("drg_DTR"));
    DBRadioGroup1 =
        new DBRadioGroup(QStringLiteral("Четность"), {"None", "Even", "Odd", "Mark", "Space"},
                         {"0", "1", "2", "3", "4"}, ifaces, QStringLiteral("parity"), messages);
    DBRadioGroup1->setObjectName(QStringLiteral("DBRadioGroup1"));
    DBRadioGroup2 =
        new DBRadioGroup(QStringLiteral("Бит данных"), {"8", "7", "6", "5"}, {"8", "7", "6", "5"},
                         ifaces, QStringLiteral("data"), messages, 2);
    DBRadioGroup2->setObjectName(QStringLiteral("DBRadioGroup2"));
    // The middle value is written with a decimal comma; the store keeps 1.5.
    DBRadioGroup3 =
        new DBRadioGroup(QStringLiteral("Стоп-бит"), {"1", "1.5", "2"}, {"1", "1,5", "2"}, ifaces,
                         QStringLiteral("stop"), messages, 2);
    DBRadioGroup3->setObjectName(QStringLiteral("DBRadioGroup3"));
    Label5 = new QLabel(QStringLiteral("Строка инициализации модема"));
    Label5->setObjectName(QStringLiteral("Label5"));
    DBEdit1 = new DBEdit(ifaces, QStringLiteral("initstring"), messages);
    DBEdit1->setObjectName(QStringLiteral("DBEdit1"));
    DBEdit1->setMaxLength(40);
    Label5->setBuddy(DBEdit1);
    // What comes and goes with the selected interface keeps its place in the panel.
    for (QWidget* optional : {static_cast<QWidget*>(drg_DTR), static_cast<QWidget*>(Label5),
                              static_cast<QWidget*>(DBEdit1)}) {
        QSizePolicy policy = optional->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        optional->setSizePolicy(policy);
    }

    auto* line = new QGridLayout;
    const std::pair<const char*, QWidget*> lineRows[] = {
        {"Тип", ifType}, {"COM-порт", ifPort}, {"Скорость (BPS)", ifBaud}};
    int row = 0;
    for (const auto& [text, control] : lineRows) {
        auto* label = new QLabel(QString::fromUtf8(text));
        label->setBuddy(control);
        control->setMinimumWidth(100);
        line->addWidget(label, row, 0);
        line->addWidget(control, row, 1);
        ++row;
    }
    line->addWidget(drg_DTR, row, 0, 1, 2);
    line->setRowStretch(row + 1, 1);

    auto* frameBits = new QVBoxLayout;
    frameBits->addWidget(DBRadioGroup2);
    frameBits->addWidget(DBRadioGroup3);
    frameBits->addStretch();

    auto* settings = new QHBoxLayout;
    settings->addLayout(line);
    settings->addWidget(DBRadioGroup1, 0, Qt::AlignTop);
    settings->addLayout(frameBits);
    settings->addStretch();

    auto* modem = new QHBoxLayout;
    modem->addWidget(Label5);
    modem->addWidget(DBEdit1, 1);

    auto* panel = new QVBoxLayout(GroupBox1);
    panel->addLayout(settings);
    panel->addLayout(modem);
    panel->addStretch();

    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->addWidget(DBGrid1);
    Splitter1->addWidget(GroupBox1);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->setSizes({150, 300});
    connect(Splitter1, &QSplitter::splitterMoved, this, &TIfaceTop::Splitter1Moved);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Splitter1);

    ifaces.addObserver(this);
    showRowSettings();
}

TIfaceTop::~TIfaceTop() {
    data_.tblSpecInterFace.removeObserver(this);
}

void TIfaceTop::N1Click() {
    model_->guarded([this] { addInterface(data_.tblSpecInterFace); });
    DBGrid1->setFocus();
}

void TIfaceTop::N2Click() {
    Dataset& ifaces = data_.tblSpecInterFace;
    if (!ifaces.isOpen() || ifaces.isEmpty())
        return;
    QString port;
    if (!model_->guarded([&] { port = ifaces.fieldByName(u"NPort").asString(); }))
        return;
    if (!platform_.messages.question(QStringLiteral("Удалить интерфейс?\n") + port,
                                     QStringLiteral("Подтверждение"))) {
        return;
    }
    model_->guarded([&ifaces] { ifaces.remove(); });
}

void TIfaceTop::Splitter1Moved() {
    limitGridHeight(DBGrid1, GroupBox1, mainForm_);
}

void TIfaceTop::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Splitter1Moved();
}

void TIfaceTop::datasetChanged(Dataset&, const DatasetChange&) {
    showRowSettings();
}

void TIfaceTop::showRowSettings() {
    const Dataset& ifaces = data_.tblSpecInterFace;
    const int row = ifaces.currentRow();
    const bool modem = integerAt(ifaces, row, u"t_iface") == kModemInterface;
    Label5->setVisible(modem);
    DBEdit1->setVisible(modem);
    drg_DTR->setVisible(integerAt(ifaces, row, u"port") == kDtrPort);
}

QVariant TIfaceTop::cellDecoration(int row, int column, int role) const {
    if (column != 0 || role != Qt::DecorationRole)
        return {};
    const bool bus = isBusInterface(integerAt(data_.tblSpecInterFace, row, u"t_iface"));
    return bus ? busIcon_ : lineIcon_;
}

}  // namespace orvet
