#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "core/platform.h"
#include "serial/comm_types.h"
#include "serial/posix_line.h"
#include "serial/ring_buffer.h"
#include "serial/serial_line.h"
#include "serial/wake_signal.h"

namespace orvet {

class WorkerThread;
class TStatusThread;
class TReadThread;
class TWriteThread;
class TReadEventThread;
class TStatusEventThread;

// The serial port component: owns one serial device, a software input ring and output ring,
// and raises its events on the user-interface thread. The caller never waits for the line:
// PutBlock and GetBlock only copy into and out of the rings.
//
// Every operation is called on the user-interface thread, and every event runs there.
// Properties are read by the getter named after them and written by their setter (SetX).
//
// Workers::Threads is how the program runs: five worker threads move bytes and watch the
// line while the port is open, and deliver events through the platform's main-thread calls.
// Workers::Inline runs the same steps on the user-interface thread from a 1 ms timer of the
// platform clock, with the same pacing of event waits, so that tests on the test clock
// (with a VirtualLine) are exact. It is only for lines whose calls never block for long.
//
// A handler may close the port (a lost carrier does); the worker that delivered that event
// then ends once the handler has returned. A handler must not destroy the port.
class TCommPort {
public:
    enum class Workers { Threads, Inline };

    // The status watcher pauses this long before every event wait that does not complete at
    // once, so it completes at most one such wait per pause: bytes that arrive while it is
    // paused are seen when the pause ends.
    static constexpr int kWatchPauseMs = 50;

    // `opener` opens the device that ComNumber maps to through the settings (comPortPath).
    explicit TCommPort(Platform& platform, LineOpener opener = &PosixLine::open,
                       Workers workers = Workers::Threads);
    ~TCommPort();
    TCommPort(const TCommPort&) = delete;
    TCommPort& operator=(const TCommPort&) = delete;

    // Port number n. Setting it closes the port (it is not reopened).
    int ComNumber() const { return comNumber_; }
    void SetComNumber(int number);
    bool Open() const { return open_; }
    void SetOpen(bool open);
    // Requested DTR and RTS states.
    bool DTR() const { return dtr_; }
    void SetDTR(bool on);
    bool RTS() const { return rts_; }
    void SetRTS(bool on);
    // Modem status inputs as the status watcher last read them; all off while closed.
    bool CTS() const { return cts_; }
    bool DSR() const { return dsr_; }
    bool DCD() const { return dcd_; }
    bool Ring() const { return ring_; }
    // Ring sizes. Setting one closes the port, stores the size and reopens it if it was open.
    std::uint32_t InSize() const { return inSize_; }
    void SetIBuffSize(std::uint32_t size);
    std::uint32_t OutSize() const { return outSize_; }
    void SetOBuffSize(std::uint32_t size);
    std::uint32_t InBuffUsed() const;
    std::uint32_t InBuffFree() const;
    std::uint32_t OutBuffUsed() const;
    std::uint32_t OutBuffFree() const;
    // Bytes in the device's output queue; 0 while closed.
    int OutQueCount() const;
    // Line settings, applied at once while open.
    int Baud() const { return baudOf(baudRate_); }
    void SetBaud(int baud);  // a rate outside the TBaudRate table changes nothing
    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate rate);
    TComControl Control() const { return control_; }
    void SetComControl(TComControl control);
    TParity Parity() const { return parity_; }
    void SetParity(TParity parity);
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits stopBits);
    std::uint16_t DataBits() const { return dataBits_; }
    void SetDataBits(std::uint16_t bits);  // outside 5..8 stored as 8
    // Events the status watcher waits for; read when the port opens.
    TEventStates MonitorEvents() const { return monitorEvents_; }
    void SetMonitorEvents(TEventStates events) { monitorEvents_ = events; }
    // The status watcher's pause in milliseconds (0..kWatchPauseMs, kWatchPauseMs by default);
    // read when the port opens. A shorter pause sees a reply sooner at the cost of more
    // event cycles while bytes flow.
    int WatchPauseMs() const { return watchPauseMs_; }
    void SetWatchPauseMs(int ms);
    std::uint16_t XonLim() const { return xonLim_; }
    void SetXonLim(std::uint16_t limit);
    std::uint16_t XoffLim() const { return xoffLim_; }
    void SetXoffLim(std::uint16_t limit);  // capped by InSize
    char XonChar() const { return xonChar_; }
    void SetXonChar(char c);
    char XoffChar() const { return xoffChar_; }
    void SetXoffChar(char c);
    char EventChar() const { return eventChar_; }
    void SetEventChar(char c);
    // Device events (EV_*) of the status watcher's last completed wait.
    std::uint32_t LastEvents() const { return lastEvents_; }

    // The device the port opens: the one ComNumber maps to through the settings, unless a
    // path is given here (empty: the mapping again).
    QString DevicePath() const;
    void SetDevicePath(const QString& path) { devicePath_ = path; }
    // Opens the line with the port's settings; a device that cannot be opened leaves the port
    // closed (Open() false) without a message: the caller tells the user, with OpenError().
    void OpenPort();
    // The system error code (errno) of the last open that failed; 0 after one that worked.
    int OpenError() const { return openError_; }
    void ClosePort();
    bool IsEnabled() const { return line_ != nullptr; }

    // Copies as much of `data` as fits into the output ring; the count (0 while closed).
    int PutBlock(const char* data, std::size_t len);
    int PutChar(char c);
    int PutString(const char* text);
    // Moves up to `max` bytes out of the input ring; the count (0 while closed or empty).
    int GetBlock(char* buf, std::size_t max);
    char GetChar();  // 0 when the input ring is empty
    bool CharReady() const { return InBuffUsed() != 0; }
    void FlushInBuffer();
    void FlushOutBuffer();
    void PowerOn();
    void PowerOff();
    bool SetBreak(bool on);
    // Holds a break for ticks × 55 ms, blocking the calling thread on the platform clock.
    void SendBreak(unsigned short ticks);
    // Modem status read now: 1 CTS, 2 DSR, 3 ring, 4 DCD; false for anything else.
    bool GetModemState(int which);
    void BitsWarning();

private:
    // The rings of the current opening; declared before the public positions that alias theirs.
    RingBuffer in_;
    RingBuffer out_;

public:
    // Direct ring access for the device link. The rings exist from the first OpenPort on
    // (also after a failed one) and stay until the next OpenPort or destruction. To send a
    // frame: FlushOutBuffer, OutBuffPos = 0, write the frame into OutBuff() from 0, and
    // PutBlock(OutBuff(), length). To read a reply in place: FlushInBuffer and InBuffPos = 0
    // before it arrives; it then lies in InBuff() from 0 to InBuffUsed() - 1.
    char* InBuff() const { return in_.data(); }
    char* OutBuff() const { return out_.data(); }
    std::atomic<std::uint32_t>& InBuffPos = in_.position();    // index of the oldest unread byte
    std::atomic<std::uint32_t>& OutBuffPos = out_.position();  // index of the oldest unsent byte
    // The unread bytes from InBuffPos that lie before the end of InBuff(): what can be read in
    // place there.
    std::uint32_t InBuffRun() const;

    // Events. A close of an open port raises OnDataReceived exactly once (Count: the unread
    // bytes) and then OnClose, and no line event. Line events of several completed waits
    // that come before one dispatch are dispatched together, none of them lost.
    using Handler = std::function<void(TCommPort& sender)>;
    using CountHandler = std::function<void(TCommPort& sender, int value)>;
    Handler OnCTSSignal;
    Handler OnDCDSignal;
    Handler OnDSRSignal;
    Handler OnRxDSignal;
    Handler OnTxDSignal;
    Handler OnRingSignal;
    Handler OnBreakSignal;
    Handler OnRxEventSignal;
    CountHandler OnErrorSignal;   // value: the CE_* line errors
    CountHandler OnDataReceived;  // value: InBuffUsed at delivery
    CountHandler OnOpen;          // value: the system error code left by the open sequence
    Handler OnClose;

private:
    friend class TStatusThread;
    friend class TReadThread;
    friend class TWriteThread;
    friend class TReadEventThread;
    friend class TStatusEventThread;

    void applySetting(const std::function<void(LineSettings&)>& change);
    void setControlLine(int (SerialLine::*set)(bool), bool& recorded, bool on);
    void setBothControlLines(bool on);
    void recordFailure(int result);
    bool readModemStatus();
    bool heldByCts() const { return control_ == ccHard && !cts_; }
    // The worker steps, run by the worker threads or inline (worker null).
    void watchCycle(const LineEvents& events);
    void readQueued(const WorkerThread* worker);
    void writeQueued(const WorkerThread* worker);
    void deliverData(std::uint64_t session, const WorkerThread* from);
    void deliverStatus(std::uint64_t session, const WorkerThread* from);
    bool delivering(std::uint64_t session) const;
    void inlineTick();
    void startWorkers();
    template <typename Worker, typename Wake>
    void stopWorker(std::unique_ptr<Worker>& worker, Wake wake);
    void reapRetired(bool wait);

    Platform& platform_;
    LineOpener opener_;
    const Workers workers_;

    int comNumber_ = 2;
    bool open_ = false;
    bool closing_ = false;
    bool dtr_ = false;
    bool rts_ = false;
    std::atomic<bool> cts_{false}, dsr_{false}, dcd_{false}, ring_{false};
    std::uint32_t inSize_ = 2048;
    std::uint32_t outSize_ = 4096;
    TBaudRate baudRate_ = cbr9600;
    std::atomic<TComControl> control_{ccNone};
    TParity parity_ = paNone;
    TStopBits stopBits_ = sb1_0;
    std::uint16_t dataBits_ = 8;
    TEventStates monitorEvents_ =
        eventSet({evRxChar, evTxEmpty, evCTS, evDSR, evRlsd, evBreak, evError, evRing});
    std::uint16_t xonLim_ = 0;
    std::uint16_t xoffLim_ = 1024;
    char xonChar_ = 17;
    char xoffChar_ = 19;
    char eventChar_ = 0;
    int lastError_ = 0;
    int openError_ = 0;
    QString devicePath_;
    std::atomic<std::uint32_t> lastEvents_{0};
    // Events (and their line errors) of completed waits that no dispatch has taken yet: a
    // wait that completes before the status notifier's call runs adds to them instead of
    // hiding the earlier ones.
    std::atomic<std::uint32_t> undeliveredEvents_{0};
    std::atomic<std::uint32_t> undeliveredErrors_{0};

    std::unique_ptr<SerialLine> line_;
    mutable std::mutex InLock;   // in_
    mutable std::mutex OutLock;  // out_
    // Held by the reader (writer) from taking a ring position until it has counted what it
    // moved, never across a wait; a flush takes it so that it never lands inside that span.
    std::mutex readBusy_;
    std::mutex writeBusy_;

    WakeSignal ReadSignal{WakeSignal::Reset::Auto};
    WakeSignal WriteSignal{WakeSignal::Reset::Manual};
    WakeSignal DataSignal{WakeSignal::Reset::Auto};
    WakeSignal StatusSignal{WakeSignal::Reset::Auto};

    std::uint64_t session_ = 0;  // counts openings; a delivery of an earlier one is dropped
    const WorkerThread* deliveringFrom_ = nullptr;
    std::unique_ptr<TStatusThread> statusThread_;
    std::unique_ptr<TReadThread> readThread_;
    std::unique_ptr<TWriteThread> writeThread_;
    std::unique_ptr<TReadEventThread> readEventThread_;
    std::unique_ptr<TStatusEventThread> statusEventThread_;
    // Notifiers stopped by a close that their own handler made; joined once they have ended.
    std::vector<std::unique_ptr<WorkerThread>> retired_;

    std::unique_ptr<Timer> inlineTicker_;
    int watchPauseMs_ = kWatchPauseMs;
    std::uint32_t inlineWaitMask_ = 0;
    int inlineWatchPauseMs_ = kWatchPauseMs;
    std::int64_t lastWaitDoneMs_ = 0;
};

// The device path of COM port `comNumber`: the value "COM<n>" of the settings group "Ports",
// by default /dev/ttyS<n-1>; empty (no device) for a number below 1.
QString comPortPath(const Settings& settings, int comNumber);

}  // namespace orvet
