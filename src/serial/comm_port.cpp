#include "serial/comm_port.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "serial/port_threads.h"

namespace orvet {
namespace {

// Events after which the watcher reads the modem status again.
constexpr std::uint32_t kModemEvents = EV_CTS | EV_DSR | EV_RLSD | EV_ERR | EV_RING;
// A failing read or write is tried this many times per wake-up.
constexpr int kAttempts = 3;
// How long the writer waits for a line that holds output back before it looks again, and,
// once the port is closing, how long it gives such a line before it drops what is left.
constexpr int kWritableWaitMs = 50;
constexpr int kClosingWriteGraceMs = 500;

const QString kPortsGroup = QStringLiteral("Ports");

}  // namespace

QString comPortPath(const Settings& settings, int comNumber) {
    if (comNumber < 1)
        return QString();
    const QString fallback = QStringLiteral("/dev/ttyS%1").arg(comNumber - 1);
    const QString path =
        settings.readString(QStringLiteral("COM%1").arg(comNumber), fallback, kPortsGroup);
    return path.isEmpty() ? fallback : path;
}

TCommPort::TCommPort(Platform& platform, LineOpener opener, Workers workers)
    : platform_(platform), opener_(std::move(opener)), workers_(workers) {
    if (workers_ == Workers::Inline) {
        inlineTicker_ = std::make_unique<Timer>(platform_.clock, 1, false);
        inlineTicker_->setOnTimer([this] { inlineTick(); });
    }
}

TCommPort::~TCommPort() {
    ClosePort();
    reapRetired(true);
}

void TCommPort::SetComNumber(int number) {
    ClosePort();
    comNumber_ = number;
}

void TCommPort::SetWatchPauseMs(int ms) {
    watchPauseMs_ = std::clamp(ms, 0, kWatchPauseMs);
}

void TCommPort::SetOpen(bool open) {
    if (open == open_)
        return;
    if (open) {
        OpenPort();
    } else {
        ClosePort();
    }
}

void TCommPort::recordFailure(int result) {
    if (result < 0)
        lastError_ = -result;
}

void TCommPort::setControlLine(int (SerialLine::*set)(bool), bool& recorded, bool on) {
    if (!IsEnabled()) {
        recorded = on;
        return;
    }
    const int result = (line_.get()->*set)(on);
    recordFailure(result);
    if (result == 0)
        recorded = on;
}

void TCommPort::SetDTR(bool on) {
    setControlLine(&SerialLine::setDTR, dtr_, on);
}

void TCommPort::SetRTS(bool on) {
    setControlLine(&SerialLine::setRTS, rts_, on);
}

void TCommPort::setBothControlLines(bool on) {
    if (IsEnabled()) {
        recordFailure(line_->setDTR(on));
        recordFailure(line_->setRTS(on));
    }
    dtr_ = rts_ = on;
}

void TCommPort::PowerOn() {
    setBothControlLines(true);
}

void TCommPort::PowerOff() {
    setBothControlLines(false);
}

void TCommPort::SetIBuffSize(std::uint32_t size) {
    const bool wasOpen = open_;
    ClosePort();
    inSize_ = size;
    if (wasOpen)
        OpenPort();
}

void TCommPort::SetOBuffSize(std::uint32_t size) {
    const bool wasOpen = open_;
    ClosePort();
    outSize_ = size;
    if (wasOpen)
        OpenPort();
}

std::uint32_t TCommPort::InBuffUsed() const {
    std::lock_guard lock(InLock);
    return in_.used();
}

std::uint32_t TCommPort::InBuffFree() const {
    std::lock_guard lock(InLock);
    return inSize_ - std::min(in_.used(), inSize_);
}

std::uint32_t TCommPort::OutBuffUsed() const {
    std::lock_guard lock(OutLock);
    return out_.used();
}

std::uint32_t TCommPort::OutBuffFree() const {
    std::lock_guard lock(OutLock);
    return outSize_ - std::min(out_.used(), outSize_);
}

std::uint32_t TCommPort::InBuffRun() const {
    std::lock_guard lock(InLock);
    return in_.heldRun(in_.held()).length;
}

int TCommPort::OutQueCount() const {
    if (!IsEnabled())
        return 0;
    return std::max(line_->outQueued(), 0);
}

void TCommPort::applySetting(const std::function<void(LineSettings&)>& change) {
    if (!IsEnabled())
        return;
    LineSettings settings = line_->settings();
    change(settings);
    recordFailure(line_->setSettings(settings));
}

void TCommPort::SetBaud(int baud) {
    TBaudRate rate;
    if (baudRateOf(baud, &rate))
        SetBaudRate(rate);
}

void TCommPort::SetBaudRate(TBaudRate rate) {
    baudRate_ = rate;
    applySetting([rate](LineSettings& s) { s.baudRate = baudOf(rate); });
}

void TCommPort::SetComControl(TComControl control) {
    control_ = control;
    applySetting([control](LineSettings& s) { s.control = control; });
    // Output that CTS held back may go now; the writer finds out on its next pass.
    std::lock_guard lock(OutLock);
    if (out_.used() > 0)
        WriteSignal.set();
}

void TCommPort::SetParity(TParity parity) {
    parity_ = parity;
    applySetting([parity](LineSettings& s) { s.parity = parity; });
}

void TCommPort::SetStopBits(TStopBits stopBits) {
    stopBits_ = stopBits;
    applySetting([stopBits](LineSettings& s) { s.stopBits = stopBits; });
    BitsWarning();
}

void TCommPort::SetDataBits(std::uint16_t bits) {
    dataBits_ = bits >= 5 && bits <= 8 ? bits : 8;
    applySetting([bits = dataBits_](LineSettings& s) { s.dataBits = bits; });
    BitsWarning();
}

void TCommPort::SetXonLim(std::uint16_t limit) {
    xonLim_ = limit;
    applySetting([limit](LineSettings& s) { s.xonLim = limit; });
}

void TCommPort::SetXoffLim(std::uint16_t limit) {
    // 65353, not 65535, is where the cap stops following InSize.
    const std::uint32_t cap = inSize_ <= 65353 ? inSize_ : 65535;
    xoffLim_ = static_cast<std::uint16_t>(std::min<std::uint32_t>(limit, cap));
    applySetting([limit = xoffLim_](LineSettings& s) { s.xoffLim = limit; });
}

void TCommPort::SetXonChar(char c) {
    xonChar_ = c;
    applySetting([c](LineSettings& s) { s.xonChar = c; });
}

void TCommPort::SetXoffChar(char c) {
    xoffChar_ = c;
    applySetting([c](LineSettings& s) { s.xoffChar = c; });
}

void TCommPort::SetEventChar(char c) {
    eventChar_ = c;
    applySetting([c](LineSettings& s) { s.eventChar = c; });
}

void TCommPort::BitsWarning() {
    const QString caption = QStringLiteral("COM port warning");
    if (dataBits_ == 5 && stopBits_ == sb2_0) {
        platform_.messages.warning(
            QStringLiteral("Invalid combination (5 data bits with 2 stop bits)"), caption);
    }
    if (dataBits_ >= 6 && dataBits_ <= 8 && stopBits_ == sb1_5) {
        platform_.messages.warning(
            QStringLiteral("Invalid combination (6,7 or 8 data bits with 1.5 stop bits)"), caption);
    }
}

bool TCommPort::readModemStatus() {
    const int status = line_->modemStatus();
    if (status < 0)
        return false;
    const auto bits = static_cast<std::uint32_t>(status);
    cts_ = (bits & MS_CTS_ON) != 0;
    dsr_ = (bits & MS_DSR_ON) != 0;
    dcd_ = (bits & MS_RLSD_ON) != 0;
    ring_ = (bits & MS_RING_ON) != 0;
    return true;
}

QString TCommPort::DevicePath() const {
    return devicePath_.isEmpty() ? comPortPath(platform_.settings, comNumber_) : devicePath_;
}

void TCommPort::OpenPort() {
    if (open_)
        return;
    reapRetired(false);
    in_.allocate(inSize_);
    out_.allocate(outSize_);

    lastError_ = 0;
    int error = 0;
    line_ = opener_(DevicePath(), &error);
    openError_ = line_ ? 0 : error;
    // The caller sees Open() stay false and reports it.
    if (!line_)
        return;
    SetComControl(control_);
    SetBaudRate(baudRate_);
    SetParity(parity_);
    SetStopBits(stopBits_);
    SetDataBits(dataBits_);
    SetXonLim(xonLim_);
    SetXoffLim(xoffLim_);
    SetXonChar(xonChar_);
    SetXoffChar(xoffChar_);
    SetEventChar(eventChar_);

    // The watcher's first step, done here so that the flags are current when OpenPort returns.
    readModemStatus();
    lastEvents_ = 0;
    undeliveredEvents_ = 0;
    undeliveredErrors_ = 0;
    ++session_;
    startWorkers();
    open_ = true;
    SetDTR(dtr_);
    SetRTS(rts_);
    if (OnOpen)
        OnOpen(*this, lastError_);
}

void TCommPort::startWorkers() {
    // Member i of MonitorEvents is the device event bit 1 << i.
    const std::uint32_t mask = monitorEvents_ & 0x1FF;
    MainThread& mainThread = platform_.mainThread;
    if (workers_ == Workers::Inline) {
        ReadSignal.reset();
        WriteSignal.reset();
        DataSignal.reset();
        StatusSignal.reset();
        lastWaitDoneMs_ = platform_.clock.nowMs();
        inlineWaitMask_ = mask;
        inlineWatchPauseMs_ = watchPauseMs_;
        inlineTicker_->setEnabled(true);
        return;
    }
    statusThread_ = std::make_unique<TStatusThread>(mainThread, *this, *line_, mask, watchPauseMs_);
    statusThread_->start();
    ReadSignal.reset();
    readThread_ = std::make_unique<TReadThread>(mainThread, *this);
    readThread_->start();
    WriteSignal.reset();
    writeThread_ = std::make_unique<TWriteThread>(mainThread, *this);
    writeThread_->start();
    DataSignal.reset();
    readEventThread_ = std::make_unique<TReadEventThread>(mainThread, *this, session_);
    readEventThread_->start();
    StatusSignal.reset();
    statusEventThread_ = std::make_unique<TStatusEventThread>(mainThread, *this, session_);
    statusEventThread_->start();
}

template <typename Worker, typename Wake>
void TCommPort::stopWorker(std::unique_ptr<Worker>& worker, Wake wake) {
    if (!worker)
        return;
    worker->terminate();
    wake();
    if (worker.get() == deliveringFrom_) {
        // Its synchronised call is the one running this close: it ends when that returns.
        retired_.push_back(std::move(worker));
        return;
    }
    worker->waitFor();
    worker.reset();
}

void TCommPort::reapRetired(bool wait) {
    std::erase_if(retired_, [wait](const std::unique_ptr<WorkerThread>& worker) {
        if (!wait && !worker->finished())
            return false;
        worker->waitFor();
        return true;
    });
}

void TCommPort::ClosePort() {
    if (!open_ || closing_)
        return;
    closing_ = true;
    if (workers_ == Workers::Threads) {
        stopWorker(statusThread_, [this] { line_->interruptWait(); });
        stopWorker(readThread_, [this] { ReadSignal.set(); });
        stopWorker(writeThread_, [this] { WriteSignal.set(); });
        stopWorker(readEventThread_, [this] { DataSignal.set(); });
    } else {
        inlineTicker_->setEnabled(false);
        readQueued(nullptr);
        writeQueued(nullptr);
    }
    cts_ = dsr_ = dcd_ = ring_ = false;
    lastEvents_ = 0;
    // The one delivery of every close; notifier deliveries that ran during the waits above
    // were dropped, so it is exactly one whatever the notifier was doing.
    if (OnDataReceived)
        OnDataReceived(*this, static_cast<int>(InBuffUsed()));
    stopWorker(statusEventThread_, [this] { StatusSignal.set(); });

    line_.reset();
    {
        std::lock_guard lock(InLock);
        in_.clear();
    }
    {
        std::lock_guard lock(OutLock);
        out_.clear();
    }
    open_ = false;
    closing_ = false;
    if (OnClose)
        OnClose(*this);
}

int TCommPort::PutBlock(const char* data, std::size_t len) {
    if (!open_)
        return 0;
    RingBuffer::Span span;
    {
        std::lock_guard lock(OutLock);
        span = out_.held();
    }
    const std::size_t copied = out_.copyIn(span, data, len);
    if (copied > 0) {
        std::lock_guard lock(OutLock);
        out_.added(static_cast<std::uint32_t>(copied));
        WriteSignal.set();
    }
    if (copied > 0 && workers_ == Workers::Inline && !closing_)
        writeQueued(nullptr);
    return static_cast<int>(copied);
}

int TCommPort::PutChar(char c) {
    return PutBlock(&c, 1);
}

int TCommPort::PutString(const char* text) {
    return PutBlock(text, std::strlen(text));
}

int TCommPort::GetBlock(char* buf, std::size_t max) {
    if (!open_)
        return 0;
    RingBuffer::Span span;
    {
        std::lock_guard lock(InLock);
        span = in_.held();
    }
    if (span.used == 0)
        return 0;
    const std::size_t copied = in_.copyOut(span, buf, max);
    {
        std::lock_guard lock(InLock);
        in_.removed(span, static_cast<std::uint32_t>(copied));
    }
    ReadSignal.set();
    return static_cast<int>(copied);
}

char TCommPort::GetChar() {
    char c = 0;
    return GetBlock(&c, 1) == 1 ? c : 0;
}

void TCommPort::FlushInBuffer() {
    std::lock_guard busy(readBusy_);
    if (IsEnabled())
        recordFailure(line_->purge(true, false));
    std::lock_guard lock(InLock);
    in_.clear();
}

void TCommPort::FlushOutBuffer() {
    std::lock_guard busy(writeBusy_);
    if (IsEnabled())
        recordFailure(line_->purge(false, true));
    std::lock_guard lock(OutLock);
    WriteSignal.reset();
    out_.clear();
}

bool TCommPort::SetBreak(bool on) {
    if (!IsEnabled())
        return false;
    const int result = line_->setBreak(on);
    recordFailure(result);
    return result == 0;
}

void TCommPort::SendBreak(unsigned short ticks) {
    SetBreak(true);
    platform_.clock.pause(ticks * 55);
    SetBreak(false);
}

bool TCommPort::GetModemState(int which) {
    if (!IsEnabled())
        return false;
    const int status = line_->modemStatus();
    if (status < 0)
        return false;
    switch (which) {
        case 1:
            return (status & MS_CTS_ON) != 0;
        case 2:
            return (status & MS_DSR_ON) != 0;
        case 3:
            return (status & MS_RING_ON) != 0;
        case 4:
            return (status & MS_RLSD_ON) != 0;
        default:
            return false;
    }
}

void TCommPort::watchCycle(const LineEvents& events) {
    lastEvents_ = events.events;
    undeliveredErrors_ |= events.errors;
    undeliveredEvents_ |= events.events;
    if ((events.events & kModemEvents) && readModemStatus() && control_ == ccHard && cts_ &&
        OutBuffUsed() > 0) {
        // Output that hardware flow control held back may go on.
        WriteSignal.set();
    }
    if (events.events & EV_RXCHAR)
        ReadSignal.set();
    StatusSignal.set();
}

void TCommPort::readQueued(const WorkerThread* worker) {
    int failures = 0;
    for (;;) {
        int result;
        {
            std::lock_guard busy(readBusy_);
            result = line_->queued();
            if (result > 0) {
                RingBuffer::Run space;
                {
                    std::lock_guard lock(InLock);
                    space = in_.freeRun(in_.held());
                }
                const int wanted = static_cast<int>(
                    std::min<std::uint32_t>(space.length, static_cast<std::uint32_t>(result)));
                if (wanted == 0)
                    return;  // the ring is full: GetBlock wakes the reader
                result = line_->read(in_.data() + space.at, wanted);
                if (result > 0) {
                    std::lock_guard lock(InLock);
                    in_.added(static_cast<std::uint32_t>(result));
                }
            }
        }
        if (result > 0) {
            DataSignal.set();
            failures = 0;
            continue;
        }
        if (result == 0)
            return;
        if (++failures >= kAttempts || (worker != nullptr && worker->terminated()))
            return;
    }
}

void TCommPort::writeQueued(const WorkerThread* worker) {
    {
        std::lock_guard lock(OutLock);
        if (out_.used() == 0) {
            WriteSignal.reset();
            return;
        }
    }
    if (heldByCts()) {
        // Reset first: the watcher sets the signal after it has seen CTS come on.
        WriteSignal.reset();
        if (heldByCts())
            return;
    }
    int failures = 0;
    int heldMs = 0;
    while (!heldByCts()) {
        int written;
        {
            std::lock_guard busy(writeBusy_);
            RingBuffer::Span span;
            {
                std::lock_guard lock(OutLock);
                span = out_.held();
            }
            if (span.used == 0)
                return;
            const RingBuffer::Run run = out_.heldRun(span);
            written = line_->write(out_.data() + run.at, static_cast<int>(run.length));
            if (written > 0) {
                std::lock_guard lock(OutLock);
                out_.removed(span, static_cast<std::uint32_t>(written));
            }
        }
        if (written > 0) {
            failures = 0;
            heldMs = 0;
            continue;
        }
        if (written == 0) {
            // Held back by the line: inline, the next tick tries again.
            if (worker == nullptr)
                return;
            if (worker->terminated() && heldMs >= kClosingWriteGraceMs)
                return;
            line_->waitWritable(kWritableWaitMs);
            heldMs += kWritableWaitMs;
            continue;
        }
        if (++failures >= kAttempts || (worker != nullptr && worker->terminated())) {
            // Wait for the next wake-up instead of spinning on a failing device.
            WriteSignal.reset();
            return;
        }
    }
}

bool TCommPort::delivering(std::uint64_t session) const {
    return open_ && !closing_ && session == session_;
}

void TCommPort::deliverData(std::uint64_t session, const WorkerThread* from) {
    if (!delivering(session))
        return;
    const WorkerThread* outer = std::exchange(deliveringFrom_, from);
    auto handler = OnDataReceived;
    if (handler)
        handler(*this, static_cast<int>(InBuffUsed()));
    deliveringFrom_ = outer;
}

void TCommPort::deliverStatus(std::uint64_t session, const WorkerThread* from) {
    if (!delivering(session))
        return;
    const WorkerThread* outer = std::exchange(deliveringFrom_, from);
    const std::uint32_t events = undeliveredEvents_.exchange(0);
    const std::uint32_t errors = undeliveredErrors_.exchange(0);
    const std::pair<std::uint32_t, Handler TCommPort::*> order[] = {
        {EV_CTS, &TCommPort::OnCTSSignal},     {EV_RLSD, &TCommPort::OnDCDSignal},
        {EV_DSR, &TCommPort::OnDSRSignal},     {EV_RING, &TCommPort::OnRingSignal},
        {EV_RXCHAR, &TCommPort::OnRxDSignal},  {EV_RXFLAG, &TCommPort::OnRxEventSignal},
        {EV_TXEMPTY, &TCommPort::OnTxDSignal}, {EV_BREAK, &TCommPort::OnBreakSignal},
    };
    for (const auto& [bit, member] : order) {
        if (!(events & bit))
            continue;
        auto handler = this->*member;
        if (handler)
            handler(*this);
        if (!delivering(session))
            break;
    }
    if ((events & EV_ERR) && delivering(session)) {
        auto handler = OnErrorSignal;
        if (handler)
            handler(*this, static_cast<int>(errors));
    }
    deliveringFrom_ = outer;
}

void TCommPort::inlineTick() {
    const std::uint64_t session = session_;
    if (WriteSignal.take())
        writeQueued(nullptr);
    if (ReadSignal.take())
        readQueued(nullptr);
    const std::int64_t now = platform_.clock.nowMs();
    if (now - lastWaitDoneMs_ >= inlineWatchPauseMs_) {
        const LineEvents events = line_->waitEvents(inlineWaitMask_, 0);
        if (events.events != 0) {
            lastWaitDoneMs_ = now;
            watchCycle(events);
            if (ReadSignal.take())
                readQueued(nullptr);
            if (WriteSignal.take())
                writeQueued(nullptr);
        }
    }
    if (StatusSignal.take())
        deliverStatus(session, nullptr);
    if (DataSignal.take() && delivering(session))
        deliverData(session, nullptr);
}

}  // namespace orvet
