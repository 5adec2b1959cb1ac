#include "editing/ui/interfaces_frame.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>

#include "editing/interface_operations.h"
#include "editing/ui/icons.h"
#include "store/data_module.h"
#include "store/ui/field_controls.h"

namespace orvet {

TIfaceTop::TIfaceTop(Platform& platform, TDataModule1& dataModule, TMainForm& mainForm,
                     QWidget* parent)
    : TListFrame(
          platform, mainForm, dataModule.tblSpecInterFace,
          {{QString(), QString(), 18, true},
           {QStringLiteral("NPort"), QStringLiteral("Порт"), 45, true, Qt::AlignHCenter},
           {QStringLiteral("TIface"), QStringLiteral("Тип"), 60, true, Qt::AlignHCenter},
           {QStringLiteral("bBaud"), QStringLiteral("Скорость"), 60, true, Qt::AlignHCenter}},
          QStringLiteral("Настройка интерфейса"), parent),
      IfacePopup(new QMenu(this)),
      lineIcon_(imIface(0)),
      busIcon_(imIface(2)) {
    setObjectName(QStringLiteral("IfaceTop"));
    buildPopupMenu();
    createLineControls(dataModule);
    createCharacterFormatControls();
    createModemControls();
    keepPlaceWhenHidden({drg_DTR, Label5, DBEdit1});
    buildSettingsPanel();
    finishFrame(IfacePopup);
}

void TIfaceTop::buildPopupMenu() {
    IfacePopup->setObjectName(QStringLiteral("IfacePopup"));
    N1 = IfacePopup->addAction(imIface(0), QStringLiteral("Добавить интерфейс"));
    N1->setObjectName(QStringLiteral("N1"));
    N1->setShortcut(QKeySequence(Qt::Key_Insert));
    N2 = IfacePopup->addAction(imIface(1), QStringLiteral("Удалить интерфейс"));
    N2->setObjectName(QStringLiteral("N2"));
    N2->setShortcut(QKeySequence(Qt::Key_Delete));
    connect(N1, &QAction::triggered, this, &TIfaceTop::N1Click);
    connect(N2, &QAction::triggered, this, &TIfaceTop::N2Click);
}

// Type, COM port, speed and DTR, chosen from the store's reference tables.
void TIfaceTop::createLineControls(TDataModule1& dataModule) {
    MessageBoxes& messages = platform_.messages;
    ifType = new DBLookupComboBox(dataset_, QStringLiteral("t_iface"), dataModule.tblTypeIface,
                                  QStringLiteral("key"), QStringLiteral("t_iface"), messages);
    ifType->setObjectName(QStringLiteral("ifType"));
    ifPort = new DBLookupComboBox(dataset_, QStringLiteral("port"), dataModule.tblPort,
                                  QStringLiteral("key"), QStringLiteral("portname"), messages);
    ifPort->setObjectName(QStringLiteral("ifPort"));
    ifBaud = new DBLookupComboBox(dataset_, QStringLiteral("baud"), dataModule.tblBaud,
                                  QStringLiteral("key"), QStringLiteral("baud"), messages);
    ifBaud->setObjectName(QStringLiteral("ifBaud"));
    drg_DTR = new DBRadioGroup(QStringLiteral("DTR"),
                               {QStringLiteral("Enable"), QStringLiteral("Disable")},
                               {QStringLiteral("1"), QStringLiteral("0")}, dataset_,
                               QStringLiteral("DTR_enable"), messages, 2);
    drg_DTR->setObjectName(QStringLiteral("drg_DTR"));
}

// Parity, data bits and stop bits.
void TIfaceTop::createCharacterFormatControls() {
    MessageBoxes& messages = platform_.messages;
    DBRadioGroup1 =
        new DBRadioGroup(QStringLiteral("Четность"),
                         {QStringLiteral("None"), QStringLiteral("Even"), QStringLiteral("Odd"),
                          QStringLiteral("Mark"), QStringLiteral("Space")},
                         {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"),
                          QStringLiteral("3"), QStringLiteral("4")},
                         dataset_, QStringLiteral("parity"), messages);
    DBRadioGroup1->setObjectName(QStringLiteral("DBRadioGroup1"));
    DBRadioGroup2 = new DBRadioGroup(
        QStringLiteral("Бит данных"),
        {QStringLiteral("8"), QStringLiteral("7"), QStringLiteral("6"), QStringLiteral("5")},
        {QStringLiteral("8"), QStringLiteral("7"), QStringLiteral("6"), QStringLiteral("5")},
        dataset_, QStringLiteral("data"), messages, 2);
    DBRadioGroup2->setObjectName(QStringLiteral("DBRadioGroup2"));
    // The middle value is written with a decimal comma; the store keeps 1.5.
    DBRadioGroup3 =
        new DBRadioGroup(QStringLiteral("Стоп-бит"),
                         {QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")},
                         {QStringLiteral("1"), QStringLiteral("1,5"), QStringLiteral("2")},
                         dataset_, QStringLiteral("stop"), messages, 2);
    DBRadioGroup3->setObjectName(QStringLiteral("DBRadioGroup3"));
}

void TIfaceTop::createModemControls() {
    Label5 = new QLabel(QStringLiteral("Строка инициализации модема"));
    Label5->setObjectName(QStringLiteral("Label5"));
    DBEdit1 = new DBEdit(dataset_, QStringLiteral("initstring"), platform_.messages);
    DBEdit1->setObjectName(QStringLiteral("DBEdit1"));
    Label5->setBuddy(DBEdit1);
    DBEdit1->setCaption(Label5->text());
}

// The line settings, parity and the data and stop bits side by side; the modem's
// initialisation string below them.
void TIfaceTop::buildSettingsPanel() {
    QGridLayout* line = buildLineGrid();

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
}

// The captioned type, port and speed lists, with DTR below them.
QGridLayout* TIfaceTop::buildLineGrid() {
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
    return line;
}

void TIfaceTop::N1Click() {
    addRow(addInterface);
}

void TIfaceTop::N2Click() {
    deleteRow(QStringLiteral("Удалить интерфейс?\n"), u"NPort");
}

void TIfaceTop::showRowSettings() {
    const int row = dataset_.currentRow();
    const bool modem = integerAt(dataset_, row, u"t_iface") == kModemInterface;
    Label5->setVisible(modem);
    DBEdit1->setVisible(modem);
    drg_DTR->setVisible(integerAt(dataset_, row, u"port") == kDtrPort);
}

void TIfaceTop::rowSettled() {
    if (sortQueued_)
        return;
    sortQueued_ = true;
    QMetaObject::invokeMethod(this, &TIfaceTop::sortByPort, Qt::QueuedConnection);
}

void TIfaceTop::sortByPort() {
    sortQueued_ = false;
    if (!dataset_.isOpen() || dataset_.state() != Dataset::State::Browse)
        return;
    bool sorted = true;
    for (int row = 1; sorted && row < dataset_.rowCount(); ++row)
        sorted = integerAt(dataset_, row - 1, u"port") <= integerAt(dataset_, row, u"port");
    if (sorted)
        return;
    const QVariant current = dataset_.currentValue(dataset_.fieldIndex(u"id_iface_s"));
    dataset_.suspendDisplay();
    guarded([&] {
        dataset_.close();
        dataset_.open();
        if (!current.isNull())
            dataset_.locate(u"id_iface_s", current);
    });
    dataset_.resumeDisplay();
}

QIcon TIfaceTop::rowIcon(int row) const {
    return isBusInterface(integerAt(dataset_, row, u"t_iface")) ? busIcon_ : lineIcon_;
}

}  // namespace orvet
