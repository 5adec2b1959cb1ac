#include "link/ui/port_config_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/conversion.h"
#include "core/guarded.h"
#include "core/texts.h"
#include "serial/comm_port.h"
#include "sim/simulated_ports.h"

namespace orvet {

TPortConfig::TPortConfig(Platform& platform, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      PageControl1(new QTabWidget(this)),
      TabSheet1(new QWidget),
      TabSheet2(new QWidget),
      cbPort(new QComboBox),
      cbBaud(new QComboBox),
      eNumDev(new QLineEdit),
      cb_Ready(new QCheckBox(QStringLiteral("Готовый файл"))),
      ePhone(new QLineEdit),
      cbMPort(new QComboBox),
      cbMBaud(new QComboBox),
      eMNumDev(new QLineEdit),
      rbPulse(new QRadioButton(QStringLiteral("импульсный"))),
      rbTone(new QRadioButton(QStringLiteral("тоновый"))),
      Button1(new QPushButton(QStringLiteral("OK"))),
      Button2(new QPushButton(QStringLiteral("Отмена"))),
      platform_(platform) {
    setObjectName(QStringLiteral("PortConfig"));
    setWindowTitle(QStringLiteral("Запись в УСПД ORVET-4410"));
    presetControls();
    buildDirectPage();
    buildModemPage();
    PageControl1->addTab(TabSheet1, QStringLiteral("RS232/485"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Модем"));
    buildLayout();
    connect(Button1, &QPushButton::clicked, this, &TPortConfig::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

// What the controls show before the settings are read: the speeds listed with none chosen,
// device number 1, the ready-file switch hidden.
void TPortConfig::presetControls() {
    for (QComboBox* box : {cbBaud, cbMBaud}) {
        for (int rate : ConnectionSettings::baudRates())
            box->addItem(QString::number(rate));
        box->setCurrentIndex(-1);
    }
    eNumDev->setText(QStringLiteral("1"));
    eMNumDev->setText(QStringLiteral("1"));
    // The port lists are as wide as their device paths.
    for (QComboBox* box : {cbPort, cbMPort})
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    cb_Ready->setLayoutDirection(Qt::RightToLeft);
    cb_Ready->setVisible(false);
}

void TPortConfig::buildDirectPage() {
    auto* direct = new QFormLayout(TabSheet1);
    direct->addRow(QStringLiteral("Порт компьютера"), cbPort);
    direct->addRow(QStringLiteral("Скорость (BPS)"), cbBaud);
    direct->addRow(QStringLiteral("Номер устройства"), eNumDev);
    direct->addRow(cb_Ready);
    TabSheet1->installEventFilter(this);
}

void TPortConfig::buildModemPage() {
    auto* dial = new QGroupBox(QStringLiteral("Тип набора номера"));
    auto* dialLayout = new QHBoxLayout(dial);
    dialLayout->addWidget(rbPulse);
    dialLayout->addWidget(rbTone);
    auto* dialGroup = new QButtonGroup(this);
    dialGroup->addButton(rbPulse, 0);
    dialGroup->addButton(rbTone, 1);
    rbPulse->setChecked(true);

    auto* modem = new QFormLayout(TabSheet2);
    modem->addRow(QStringLiteral("Телефон"), ePhone);
    modem->addRow(QStringLiteral("Порт компьютера"), cbMPort);
    modem->addRow(QStringLiteral("Скорость (BPS)"), cbMBaud);
    modem->addRow(QStringLiteral("Номер устройства"), eMNumDev);
    modem->addRow(dial);
}

// The pages over "OK" and "Отмена"; the dialog keeps the size they need.
void TPortConfig::buildLayout() {
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    Button1->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

namespace {

// What stands behind a port mapping, shown after it: nothing for a device that is there.
QString mappingNote(const QString& path) {
    if (const auto training = sim::simulatedPort(path)) {
        // The reason of a misspelt one is told by "OK"; the list stays narrow.
        return training->error.isEmpty() ? QStringLiteral(" (учебный УСПД)")
                                         : QStringLiteral(" (учебный УСПД задан неверно)");
    }
    return QFileInfo::exists(path) ? QString() : QStringLiteral(" (нет устройства)");
}

}  // namespace

void TPortConfig::fillPorts(QComboBox* box) {
    // Each COM item names the device it maps to, so a missing adapter shows before "OK".
    const int index = box->currentIndex();
    box->clear();
    for (int n = 1; n <= 8; ++n) {
        const QString path = comPortPath(platform_.settings, n);
        box->addItem(QStringLiteral("COM%1 — %2%3").arg(n).arg(path, mappingNote(path)));
    }
    box->setCurrentIndex(index);
}

void TPortConfig::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TPortConfig::FormShow() {
    fillPorts(cbPort);
    fillPorts(cbMPort);
    const ConnectionSettings c = stored();
    cbPort->setCurrentIndex(c.Port);
    cbBaud->setCurrentIndex(c.Baud);
    eNumDev->setText(QString::number(c.NumDevice));
    cbMPort->setCurrentIndex(c.ModemPort);
    cbMBaud->setCurrentIndex(c.ModemBaud);
    eMNumDev->setText(QString::number(c.ModemNumDevice));
    ePhone->setText(c.Phone);
    rbPulse->setChecked(c.TypeDial == ConnectionSettings::kPulseDialling);
    rbTone->setChecked(c.TypeDial == ConnectionSettings::kToneDialling);
    PageControl1->setCurrentIndex(c.ActivePage);
}

ConnectionSettings TPortConfig::shown() const {
    ConnectionSettings c;
    c.Port = cbPort->currentIndex();
    c.Baud = cbBaud->currentIndex();
    c.ModemPort = cbMPort->currentIndex();
    c.ModemBaud = cbMBaud->currentIndex();
    c.Phone = ePhone->text();
    c.TypeDial = typeDialIndex();
    c.ActivePage = PageControl1->currentIndex();
    return c;
}

ConnectionSettings TPortConfig::stored() const {
    return ConnectionSettings::load(platform_.settings, shown());
}

int TPortConfig::typeDialIndex() const {
    return rbPulse->isChecked() ? 0 : rbTone->isChecked() ? 1 : -1;
}

QString TPortConfig::deviceNumberText() const {
    return PageControl1->currentIndex() == 0 ? eNumDev->text() : eMNumDev->text();
}

QString TPortConfig::phone() const {
    return ePhone->text();
}

TPortConfig::Refusal TPortConfig::refusal() const {
    const bool direct = PageControl1->currentIndex() == ConnectionSettings::kDirectPage;
    QComboBox* port = direct ? cbPort : cbMPort;
    QLineEdit* number = direct ? eNumDev : eMNumDev;
    const QString page = PageControl1->tabText(PageControl1->currentIndex());
    if (port->currentIndex() < 0)
        return {QStringLiteral("Не выбран порт компьютера (%1).").arg(page), port};
    const int comNumber = port->currentIndex() + 1;
    const QString path = comPortPath(platform_.settings, comNumber);
    if (const auto training = sim::simulatedPort(path)) {
        if (!training->error.isEmpty())
            return {QStringLiteral("Порт COM%1: учебный УСПД задан неверно: %2.")
                        .arg(comNumber)
                        .arg(training->error),
                    port};
    } else if (!QFileInfo::exists(path)) {
        return {
            QStringLiteral("Порт COM%1 недоступен: нет устройства %2.").arg(comNumber).arg(path),
            port};
    }
    if (number->text().trimmed().isEmpty())
        return {QStringLiteral("Не указан номер устройства (%1).").arg(page), number};
    return {};
}

void TPortConfig::Button1Click() {
    // The line in use must be one the upload can open and address: a refusal keeps the
    // dialog open with nothing stored and the control to mend focused.
    if (const Refusal refused = refusal(); refused.control != nullptr) {
        platform_.messages.error(refused.text, texts::kError);
        refused.control->setFocus();
        return;
    }
    // Both device numbers are read before anything is stored: a refused one stores nothing.
    const bool stored = guarded(platform_.messages, [this] {
        const auto number = [](QLineEdit* edit) {
            return edit->text().isEmpty() ? 0 : strToInt(edit->text());
        };
        ConnectionSettings c = shown();
        c.NumDevice = number(eNumDev);
        c.ModemNumDevice = number(eMNumDev);
        c.save(platform_.settings);
    });
    if (stored)
        accept();
}

bool TPortConfig::eventFilter(QObject* watched, QEvent* event) {
    // The hidden ready-file switch: Ctrl+Shift and a click on the page show it, Ctrl+Alt
    // and a click hide it; its check mark stays for the run.
    if (watched == TabSheet1 && event->type() == QEvent::MouseButtonRelease) {
        const Qt::KeyboardModifiers mods = static_cast<QMouseEvent*>(event)->modifiers();
        if ((mods & Qt::ControlModifier) && (mods & Qt::ShiftModifier))
            cb_Ready->setVisible(true);
        else if ((mods & Qt::ControlModifier) && (mods & Qt::AltModifier))
            cb_Ready->setVisible(false);
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace orvet
