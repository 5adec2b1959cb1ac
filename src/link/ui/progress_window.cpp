#include "link/ui/progress_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

#include "core/guarded.h"
#include "link/ui/port_config_dialog.h"
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

namespace {

// The message boxes on screen now.
QList<QPointer<QMessageBox>> visibleBoxes() {
    QList<QPointer<QMessageBox>> shown;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            shown << box;
    }
    return shown;
}

}  // namespace

bool WithdrawableDecisions::track(const std::function<bool()>& show) {
    // The boxes that appear while the outermost one is open are the exchange's: its boxes
    // are modal, so nobody else opens one meanwhile but the exchange itself.
    if (open_++ == 0)
        before_ = visibleBoxes();
    const auto closed = qScopeGuard([this] { --open_; });
    return show();
}

bool WithdrawableDecisions::acceptFirmware(int major, int minor) {
    return track([&] { return boxes_.acceptFirmware(major, minor); });
}

bool WithdrawableDecisions::restartDevice() {
    return track([this] { return boxes_.restartDevice(); });
}

bool WithdrawableDecisions::clearArchives() {
    return track([this] { return boxes_.clearArchives(); });
}

void WithdrawableDecisions::notice(const std::function<void()>& show) {
    track([&] {
        show();
        return false;
    });
}

void WithdrawableDecisions::withdraw() {
    if (open_ == 0)
        return;
    for (const QPointer<QMessageBox>& box : visibleBoxes()) {
        if (!before_.contains(box))
            box->done(QMessageBox::No);
    }
}

TPrgrs::TPrgrs(Platform& platform, TDataModule1& dataModule, TPortConfig& config, TCommPort& port,
               const LinkSettings& link, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      ProgressBar1(new QProgressBar),
      ProgressBar2(new QProgressBar),
      Image3(new QLabel),
      Image5(new QLabel),
      Image2(new QLabel),
      Image1(new QLabel),
      StatusLabel(new QLabel),
      ProblemLabel(new QLabel),
      Button1(new QPushButton(QStringLiteral("Отмена"))),
      platform_(platform),
      data_(dataModule),
      config_(config),
      port_(port),
      decisions_(platform.messages),
      session_(platform, port, link, *this, decisions_),
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
    StatusLabel->setObjectName(QStringLiteral("StatusLabel"));
    ProblemLabel->setObjectName(QStringLiteral("ProblemLabel"));
    ProblemLabel->setStyleSheet(QStringLiteral("color: #b00000"));
    // The lines keep room for what they usually say (one line of waiting, two of a problem
    // with its repeat count), so that the window does not jump with every repeat.
    for (QLabel* line : {StatusLabel, ProblemLabel}) {
        line->setWordWrap(true);
        line->setFixedWidth(340);
        line->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        line->setMinimumHeight(line->fontMetrics().lineSpacing() * (line == StatusLabel ? 1 : 2));
        layout->addWidget(line);
    }
    layout->addLayout(lamps);
    setMinimumWidth(360);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The device number is the field of the page in use, read again for every frame.
    session_.exchange().setDeviceNumberSource([&config] { return config.deviceNumberText(); });
    session_.exchange().setFrameTrace(&frameLog_);
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
    StatusLabel->clear();
    ProblemLabel->clear();
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
    showWaiting(QStringLiteral("Формирование описателей"));
    bool opened = false;
    const bool ran = guarded(platform_.messages, [&] {
        if (!session_.prepareImage(data_, config_.cb_Ready->isChecked(), *this))
            return;
        opened = session_.open(LineChoice::fromConnection(config_.stored(), config_.phone()));
        step();  // the connection set-up is the bar's last stage
    });
    // A window that stays at 0 % says why, until "Отмена".
    if (!opened) {
        showWaiting(QStringLiteral("Запись не начата: нажмите «Отмена»"));
        showProblem(ran ? session_.failure() : QStringLiteral("Описатели не сформированы"));
    }
}

void TPrgrs::Button1Click() {
    // A cancel before the start timer has run also stops the compilation and the upload.
    Timer1.setEnabled(false);
    session_.cancel();
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

void TPrgrs::showWaiting(const QString& text) {
    StatusLabel->setText(text);
}

void TPrgrs::showProblem(const QString& text) {
    ProblemLabel->setText(text);
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
