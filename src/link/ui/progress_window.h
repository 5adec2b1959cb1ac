#pragma once

#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <functional>
#include <memory>

#include "core/clock.h"
#include "core/platform.h"
#include "image/compiler.h"
#include "link/frame_trace.h"
#include "link/upload_decisions.h"
#include "link/upload_session.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace orvet {

class TCommPort;
class TPortConfig;
class TDataModule1;

// The user's decisions in the program's question boxes, and the exchange's notices. A box
// the exchange has left behind (a notice it got over, a question while the port went away or
// the carrier dropped) is closed; a question so closed counts as "No".
class WithdrawableDecisions final : public UploadDecisions {
public:
    explicit WithdrawableDecisions(MessageBoxes& messages) : boxes_(messages) {}

    bool acceptFirmware(int major, int minor) override;
    bool restartDevice() override;
    bool clearArchives() override;
    void notice(const std::function<void()>& show) override;
    void withdraw() override;

private:
    // Runs `show`, which opens a modal box, and knows that box while it is open.
    bool track(const std::function<bool()>& show);

    MessageBoxDecisions boxes_;
    int open_ = 0;  // boxes of the exchange open now
    // The message boxes already on screen when the exchange opened its first one.
    QList<QPointer<QMessageBox>> before_;
};

// "Запись конфигурации в УСПД ORVET-4410": shown by the connection dialog's "OK", it runs
// the upload session 100 ms later: compiles the image (bar 1), opens the port on the stored
// connection and starts the exchange; it follows the transfer (bar 2), the line lamps and,
// in its status lines, what the exchange waits for and what went wrong last; it asks the
// user's decisions in message boxes, and cancels.
class TPrgrs : public QDialog, public UploadView, public CompileProgress {
    Q_OBJECT
public:
    enum Lamp { Idle = 0, Carrier = 1, ClearToSend = 2, Activity = 3 };

    // `link` is the link settings in use, read at every frame.
    TPrgrs(Platform& platform, TDataModule1& dataModule, TPortConfig& config, TCommPort& port,
           const LinkSettings& link, QWidget* parent = nullptr);

    UploadSession& session() { return session_; }
    // The frames of the last upload.
    FrameLog& frameLog() { return frameLog_; }

    // Shows the window and arms the start timer.
    void start();
    // The lamp's image index (0 to 3).
    int lamp(QLabel* lamp) const;
    void setLamp(QLabel* lamp, Lamp image);

    QProgressBar* ProgressBar1;
    QProgressBar* ProgressBar2;
    QLabel* Image3;        // DCD
    QLabel* Image5;        // CTS
    QLabel* Image2;        // RXD
    QLabel* Image1;        // TXD
    QLabel* StatusLabel;   // what the exchange waits for
    QLabel* ProblemLabel;  // what went wrong last
    QPushButton* Button1;

    // UploadView
    bool isVisible() const override { return QDialog::isVisible(); }
    void setBlockCount(int count) override;
    void stepBlock() override;
    void lightTxd() override { setLamp(Image1, Activity); }
    void dimTxd() override { setLamp(Image1, Idle); }
    void lightRxd() override { setLamp(Image2, Activity); }
    void dimRxd() override { setLamp(Image2, Idle); }
    void transferEnded() override;
    void hideProgress() override { hide(); }
    void showWaiting(const QString& text) override;
    void showProblem(const QString& text) override;
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

    Platform& platform_;
    TDataModule1& data_;
    TPortConfig& config_;
    TCommPort& port_;
    WithdrawableDecisions decisions_;
    FrameLog frameLog_;  // outlives the session that writes into it
    UploadSession session_;
    Timer Timer1;
    Timer ScanSignal;
};

}  // namespace orvet
