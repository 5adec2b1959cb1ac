#pragma once

#include <QDialog>
#include <memory>

#include "core/clock.h"
#include "core/platform.h"
#include "image/compiler.h"
#include "link/upload_exchange.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace orvet {

class TCommPort;
class TPortConfig;
class TDataModule1;

// "Запись конфигурации в УСПД ORVET-4410": shown by the connection dialog's "OK", it
// compiles the image 100 ms later (bar 1), opens the port and starts the exchange, follows
// the transfer (bar 2) and the line lamps, and cancels.
class TPrgrs : public QDialog, public UploadView, public CompileProgress {
    Q_OBJECT
public:
    enum Lamp { Idle = 0, Carrier = 1, ClearToSend = 2, Activity = 3 };

    TPrgrs(Platform& platform, TDataModule1& dataModule, TPortConfig& config, TCommPort& port,
           QWidget* parent = nullptr);
    // The exchange this window shows and cancels (it is made with this window as its view).
    void setExchange(UploadExchange* exchange) { exchange_ = exchange; }

    // Shows the window and arms the start timer.
    void start();
    // The lamp's image index (0 to 3).
    int lamp(QLabel* lamp) const;
    void setLamp(QLabel* lamp, Lamp image);

    QProgressBar* ProgressBar1;
    QProgressBar* ProgressBar2;
    QLabel* Image3;  // DCD
    QLabel* Image5;  // CTS
    QLabel* Image2;  // RXD
    QLabel* Image1;  // TXD
    QPushButton* Button1;

    // UploadView
    bool isVisible() const override { return QDialog::isVisible(); }
    void setBlockCount(int count) override;
    void stepBlock() override;
    void lightTxd() override { setLamp(Image1, Activity); }
    void dimRxd() override { setLamp(Image2, Idle); }
    void transferEnded() override;
    void hideProgress() override { hide(); }
    // CompileProgress
    void setMax(int max) override;
    void setPosition(int position) override;
    void step() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Timer1Timer();
    void ScanSignalTimer();
    void Button1Click();
    // The stage after a successful compilation: opens the port with the stored settings and
    // starts.
    void openLine();

    Platform& platform_;
    TDataModule1& data_;
    TPortConfig& config_;
    TCommPort& port_;
    UploadExchange* exchange_ = nullptr;
    Timer Timer1;
    Timer ScanSignal;
};

}  // namespace orvet
