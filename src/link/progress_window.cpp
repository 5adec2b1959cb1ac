#include "link/progress_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/guarded.h"
#include "link/port_config_dialog.h"
#include "serial/comm_port.h"

namespace orvet {
namespace {

// The four 8×8 lamp images: idle, carrier, clear to send, activity.
QPixmap lampImage(int index) {
    static const QColor colours[] = {QColor(0x40, 0x40, 0x40), QColor(0x20, 0xc0, 0x20),
                                     QColor(0xe0, 0xc0, 0x20), QColor(0xe0, 0x30, 0x30)};
    QPixmap pixmap(8, 8);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::black);
    p.setBrush(colours[index]);
    p.drawEllipse(QRectF(0.5, 0.5, 7, 7));
    return pixmap;
}

}  // namespace

TPrgrs::TPrgrs(Platform& platform, TDataModule1& dataModule, TPortConfig& config, TCommPort& port,
               QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      ProgressBar1(new QProgressBar),
      ProgressBar2(new QProgressBar),
      Image3(new QLabel),
      Image5(new QLabel),
      Image2(new QLabel),
      Image1(new QLabel),
      Button1(new QPushButton(QStringLiteral("Отмена"))),
      platform_(platform),
      data_(dataModule),
      config_(config),
      port_(port),
      Timer1(platform.clock, 100, false),
      ScanSignal(platform.clock, 500, true) {
    setObjectName(QStringLiteral("Prgrs"));
    setWindowTitle(QStringLiteral("Запись конфигурации в УСПД ORVET-4410"));
    setModal(false);

    auto* group1 = new QGroupBox(QStringLiteral("Формирование описателей"));
    (new QVBoxLayout(group1))->addWidget(ProgressBar1);
    auto* group2 = new QGroupBox(QStringLiteral("Загрузка конфигурации"));
    (new QVBoxLayout(group2))->addWidget(ProgressBar2);

    auto* lamps = new QHBoxLayout;
    const std::pair<QLabel*, const char*> named[] = {
        {Image3, "DCD"}, {Image5, "CTS"}, {Image2, "RXD"}, {Image1, "TXD"}};
    for (const auto& [image, text] : named) {
        lamps->addWidget(image);
        lamps->addWidget(new QLabel(QString::fromLatin1(text)));
        lamps->addSpacing(8);
        setLamp(image, Idle);
    }
    lamps->addStretch();
    lamps->addWidget(Button1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group1);
    layout->addWidget(group2);
    layout->addLayout(lamps);
    setMinimumWidth(360);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    Timer1.setOnTimer([this] { Timer1Timer(); });
    ScanSignal.setOnTimer([this] { ScanSignalTimer(); });
    connect(Button1, &QPushButton::clicked, this, &TPrgrs::Button1Click);
}

void TPrgrs::setLamp(QLabel* lamp, Lamp image) {
    lamp->setPixmap(lampImage(image));
    lamp->setProperty("lamp", int(image));
}

int TPrgrs::lamp(QLabel* lamp) const {
    return lamp->property("lamp").toInt();
}

void TPrgrs::start() {
    show();
    Timer1.setEnabled(true);
}

void TPrgrs::showEvent(QShowEvent* event) {
    for (QLabel* image : {Image3, Image5, Image2, Image1})
        setLamp(image, Idle);
    ProgressBar1->setValue(0);
    ProgressBar2->setValue(0);
    ScanSignal.setInterval(100);
    ScanSignal.setEnabled(true);
    QDialog::showEvent(event);
}

void TPrgrs::ScanSignalTimer() {
    if (!isVisible())
        return;
    setLamp(Image3, port_.DCD() ? Carrier : Idle);
    setLamp(Image5, port_.CTS() ? ClearToSend : Idle);
}

void TPrgrs::Timer1Timer() {
    Timer1.setEnabled(false);
    CompileOptions options;
    options.readyFile = config_.cb_Ready->isChecked();
    guarded(platform_.messages, [&] {
        const CompileResult result = ConfigCompiler(data_).compile(options, *this);
        if (!result.succeeded()) {
            result.showFailure(platform_.messages);
            return;
        }
        openLine();
        step();  // the connection set-up is the bar's last stage
    });
}

void TPrgrs::openLine() {
    if (port_.Open())
        port_.SetOpen(false);
    port_.FlushInBuffer();
    port_.FlushOutBuffer();
    const Settings& s = platform_.settings;
    const int page =
        s.readInteger(QStringLiteral("ActivePage"), config_.PageControl1->currentIndex());
    const bool direct = page == 0;
    const int portIndex =
        direct ? s.readInteger(QStringLiteral("Port"), config_.cbPort->currentIndex())
               : s.readInteger(QStringLiteral("ModemPort"), config_.cbMPort->currentIndex());
    const int baudIndex =
        direct ? s.readInteger(QStringLiteral("Baud"), config_.cbBaud->currentIndex())
               : s.readInteger(QStringLiteral("ModemBaud"), config_.cbMBaud->currentIndex());
    port_.SetComNumber(portIndex + 1);
    if (baudIndex >= 0 && baudIndex < TPortConfig::baudRates().size())
        port_.SetBaud(TPortConfig::baudRates()[baudIndex]);
    port_.SetOpen(true);
    port_.SetRTS(true);
    port_.SetDTR(true);
    setLamp(Image1, Activity);
    if (!exchange_->checkLinkSettings())
        return;
    const int startPage =
        s.readInteger(QStringLiteral("ActivePage"), config_.PageControl1->currentIndex());
    if (startPage == 0) {
        exchange_->startDirect();
    } else if (startPage == 1) {
        const int dial = s.readInteger(QStringLiteral("TypeDial"), config_.typeDialIndex());
        exchange_->startModem(dial != 0, config_.phone());
    }
}

void TPrgrs::Button1Click() {
    // A cancel before the start timer has run also stops the compilation and the upload.
    Timer1.setEnabled(false);
    exchange_->cancel();
    hide();
}

void TPrgrs::setBlockCount(int count) {
    ProgressBar2->setMaximum(count);
}

void TPrgrs::stepBlock() {
    ProgressBar2->setValue(ProgressBar2->value() + 1);
}

void TPrgrs::transferEnded() {
    ScanSignal.setEnabled(false);
    hide();
    if (parentWidget())
        parentWidget()->activateWindow();
    ProgressBar1->setValue(0);
    ProgressBar2->setValue(0);
}

void TPrgrs::setMax(int max) {
    ProgressBar1->setMaximum(max);
}

void TPrgrs::setPosition(int position) {
    ProgressBar1->setValue(position);
}

void TPrgrs::step() {
    ProgressBar1->setValue(ProgressBar1->value() + 1);
}

}  // namespace orvet
