#pragma once

#include <QFile>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "core/platform.h"
#include "link/frame.h"
#include "link/frame_trace.h"
#include "link/link_port.h"
#include "link/link_settings.h"
#include "link/upload_decisions.h"

namespace orvet {

// What the upload shows to the user: the progress window's bar and lamps.
class UploadView {
public:
    virtual ~UploadView() = default;
    virtual bool isVisible() const = 0;
    virtual void setBlockCount(int count) = 0;  // the transfer bar's maximum
    virtual void stepBlock() = 0;               // one block acknowledged
    virtual void lightTxd() = 0;                // the line opened, or a block went out
    virtual void dimTxd() = 0;                  // the port's transmit buffer ran empty
    virtual void lightRxd() = 0;                // characters arrived
    virtual void dimRxd() = 0;                  // a reply's collection window closed
    // The image is delivered ('W' sent): stop the lamps, hide, reset both bars.
    virtual void transferEnded() = 0;
    // Hides the window when the exchange is broken off (carrier lost).
    virtual void hideProgress() = 0;
    // What the exchange waits for now ("Ожидание ответа на …"); stays until the next one.
    virtual void showWaiting(const QString& text) = 0;
    // What went wrong last (a bad CRC, a foreign reply, a time-out, with the repeat count);
    // empty once a reply has moved the exchange on.
    virtual void showProblem(const QString& text) = 0;
};

// The upload of "config.dat" into one USPD: a state machine on the user-interface thread,
// driven by accepted replies, the reply time-out and the user's decisions.
class UploadExchange {
public:
    enum class State {
        Idle,
        WaitingForCarrier,
        Link,       // 'L' sent
        Announce,   // 'S' sent
        Transfer,   // 'T' sent
        Finishing,  // 'W' sent, questions asked
        Restart,    // 'X' sent
        Stalled,    // waits for the user to cancel
    };
    // How an exchange ended; `Stalled` ones end only when cancelled.
    enum class Outcome {
        Delivered,  // image delivered, restart declined
        Restarted,  // 'X' answered
        Cancelled,  // "Отмена"
        CarrierLost,
        PortLost,  // the device of the port went away
        GaveUp,    // one frame was repeated too often
    };

    static constexpr int kReplyWindowMs = 100;
    static constexpr int kCarrierPauseMs = 500;
    static constexpr int kRestartPauseMs = 500;
    static constexpr int kMaxBlocks = 255;
    // A silent device after 'X' cannot be cancelled from the (hidden) progress window.
    static constexpr int kDefaultRestartRepeats = 5;

    // `link` must pass LinkSettings::validate() before an exchange starts.
    UploadExchange(Platform& platform, LinkPort& port, const LinkSettings& link, UploadView& view,
                   UploadDecisions& decisions);
    ~UploadExchange();

    // The text of the "Номер устройства" field in use, read again for every frame.
    void setDeviceNumberSource(std::function<QString()> source) {
        deviceNumber_ = std::move(source);
    }
    void setImagePath(const QString& path) { imagePath_ = path; }
    const QString& imagePath() const { return imagePath_; }
    // Repetitions of one frame before the exchange gives up, whatever made them: a reply
    // time-out (after silence, a bad CRC, a foreign or an ignored reply), a refused 'S' or a
    // block acknowledged with a wrong number. -1: no limit (the user cancels). 'X' is
    // bounded by `restartRepeats` in any case.
    void setMaxRepeats(int repeats) { maxRepeats_ = repeats; }
    void setRestartRepeats(int repeats) { restartRepeats_ = repeats; }
    // Called once an exchange has ended (not when it stalls).
    void setOnFinished(std::function<void(Outcome)> handler) { onFinished_ = std::move(handler); }
    // Called when the exchange stops and waits for the user, with the reason shown.
    void setOnStalled(std::function<void()> handler) { onStalled_ = std::move(handler); }
    // Receives every frame sent and every reply checked, and the time-outs; none: nothing is
    // traced. Told of each start, from which its times count.
    void setFrameTrace(FrameTrace* trace) { trace_ = trace; }

    // Direct line: sends 'L'.
    void startDirect();
    // Modem: sends the dial command ("ATDP" for pulse, "ATDT" for tone, the phone, CR) and
    // waits for the carrier.
    void startModem(bool toneDialling, const QString& phone);
    // The port's data-received event: opens the reply collection window. With
    // LinkSettings::FastExchange a reply that is now whole closes the window at once.
    void onDataReceived();
    // The port's carrier event (acted on only while the progress window is visible).
    void onCarrierChanged(bool present);
    // "Отмена": lowers DTR, closes the port, hides nothing (the window hides itself).
    void cancel();
    // The port's device went away: the port is closed, the window hidden and the user told.
    void onPortLost();

    State state() const { return state_; }
    std::uint8_t blockNo() const { return blockNo_; }
    int blockCount() const { return blockCount_; }
    char currentCommand() const { return static_cast<char>(curCmd_); }
    // Refused 'S' frames since the last "Неверный пароль!"; kept between exchanges.
    int passErrors() const { return passErrors_; }

private:
    // Why a frame is sent again.
    enum class Problem { None, Silence, Reply, Refused, WrongAck };

    // Sends a new frame: its repetitions are counted from 0.
    void send(LinkCommand command);
    // Sends `curCmd_` again because of `problem` (`detail` says what it was), or gives up
    // once the repetitions are used up; false when it gave up.
    bool repeat(Problem problem, const QString& detail);
    void transmit(LinkCommand command);
    // A window that brought no usable reply counts as no reply: the time-out of the request
    // goes on from where the arriving bytes stopped it.
    void missedReply(const QString& detail);
    bool awaitsReply() const;
    // Asks the user; none when the exchange ended while the question was open (the answer no
    // longer counts).
    std::optional<bool> ask(const std::function<bool()>& question);
    // A notice of the exchange; one that comes while another is open goes to the status line
    // only, so that repeated faults do not pile boxes up.
    void notify(const QString& text, bool warning = false);
    void showWaiting(LinkCommand command);
    // The exchange starts: the trace's times count from now.
    void begin();
    void trace(TraceEntry entry);
    // The request waiting for its reply, as the status line names it: "'T' (блок 12)".
    QString requestName() const;
    QByteArray buildRequest(LinkCommand command);
    // Fast exchange: the bytes received are exactly the reply the last request awaits, with
    // a CRC that checks; anything else leaves the window to run its full length.
    bool replyComplete() const;
    void replyWindowClosed();
    void replyTimedOut();
    // Tells the trace what `bytes`, one reply window's worth, were found to be.
    void traceReply(const QByteArray& bytes, const Reply& reply);
    void react(const Reply& reply);
    void onLinkReply(const Reply& reply);
    void onSizeReply(const Reply& reply);
    void onBlockReply(const Reply& reply);
    void onRestartReply();
    void imageDelivered();
    void end(Outcome outcome);
    void stall(const QString& problem);
    void closeLine();

    Platform& platform_;
    LinkPort& port_;
    const LinkSettings& link_;
    UploadView& view_;
    UploadDecisions& decisions_;
    Timer TO_BYTE_RECEIVE;
    Timer TO_ANSWER;
    std::function<QString()> deviceNumber_;
    std::function<void(Outcome)> onFinished_;
    std::function<void()> onStalled_;
    FrameTrace* trace_ = nullptr;
    std::int64_t startedMs_ = 0;  // when the exchange started, on the platform clock
    QString imagePath_ = QStringLiteral("config.dat");
    int maxRepeats_ = -1;
    int restartRepeats_ = kDefaultRestartRepeats;

    State state_ = State::Idle;
    LinkCommand curCmd_ = LinkCommand::Link;
    bool reSend_ = false;
    int repeats_ = 0;
    Problem problem_ = Problem::None;  // what went wrong since the frame was last sent
    QString problemDetail_;            // and its particulars, as shown
    std::int64_t answerDue_ = 0;       // when the reply time-out of the last request falls
    int generation_ = 0;               // counts ended exchanges
    bool asking_ = false;
    bool noticeOpen_ = false;
    std::uint8_t blockNo_ = 0;
    int blockCount_ = 0;
    qint64 blockPos_ = 0;
    std::unique_ptr<QFile> imageFile_;
    int passErrors_ = 0;
    bool clearArchives_ = false;
};

}  // namespace orvet
