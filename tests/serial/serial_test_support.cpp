#include "serial_test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace orvet::testing {

bool pumpUntil(MainThread& mainThread, const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        mainThread.runPending();
        if (done())
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void recordEvents(TCommPort& port, std::vector<std::string>& log) {
    auto named = [&log](const char* name) {
        return [&log, name](TCommPort&) { log.emplace_back(name); };
    };
    auto counted = [&log](const char* name) {
        return [&log, name](TCommPort&, int value) {
            log.push_back(std::string(name) + ":" + std::to_string(value));
        };
    };
    port.OnCTSSignal = named("CTS");
    port.OnDCDSignal = named("DCD");
    port.OnDSRSignal = named("DSR");
    port.OnRingSignal = named("Ring");
    port.OnRxDSignal = named("RxD");
    port.OnRxEventSignal = named("RxEvent");
    port.OnTxDSignal = named("TxD");
    port.OnBreakSignal = named("Break");
    port.OnErrorSignal = counted("Error");
    port.OnDataReceived = counted("Data");
    port.OnOpen = counted("Open");
    port.OnClose = named("Close");
}

QByteArray pattern(int size, int seed) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i + seed) * 31 + 7);
    return bytes;
}

void closeOnCarrierLoss(TCommPort& port, std::vector<std::string>& log) {
    port.OnDCDSignal = [&log](TCommPort& sender) {
        log.emplace_back("DCD");
        if (!sender.DCD()) {
            sender.SetDTR(false);
            sender.ClosePort();
        }
    };
}

namespace {

class CountingLine final : public SerialLine {
public:
    CountingLine(std::unique_ptr<SerialLine> line, LineCalls& calls)
        : line_(std::move(line)), calls_(calls) {}

    LineSettings settings() const override { return line_->settings(); }
    int setSettings(const LineSettings& s) override { return line_->setSettings(s); }
    int queued() override {
        ++calls_.queued;
        return line_->queued();
    }
    int read(char* data, int max) override {
        ++calls_.reads;
        return line_->read(data, max);
    }
    int write(const char* data, int len) override {
        ++calls_.writes;
        return line_->write(data, len);
    }
    void waitWritable(int timeoutMs) override { line_->waitWritable(timeoutMs); }
    int outQueued() override { return line_->outQueued(); }
    int purge(bool input, bool output) override { return line_->purge(input, output); }
    int setDTR(bool on) override { return line_->setDTR(on); }
    int setRTS(bool on) override { return line_->setRTS(on); }
    int setBreak(bool on) override { return line_->setBreak(on); }
    int modemStatus() override { return line_->modemStatus(); }
    LineEvents waitEvents(std::uint32_t mask, int timeoutMs) override {
        ++calls_.waits;
        return line_->waitEvents(mask, timeoutMs);
    }
    void interruptWait() override { line_->interruptWait(); }

private:
    std::unique_ptr<SerialLine> line_;
    LineCalls& calls_;
};

}  // namespace

LineOpener countingOpener(LineOpener opener, LineCalls& calls) {
    return [opener = std::move(opener), &calls](const QString& path,
                                                int* error) -> std::unique_ptr<SerialLine> {
        auto line = opener(path, error);
        if (!line)
            return nullptr;
        return std::make_unique<CountingLine>(std::move(line), calls);
    };
}

PtyPair::PtyPair() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0)
        return;
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        hangUp();
        return;
    }
    path_ = QString::fromLocal8Bit(::ptsname(master_));
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair() {
    hangUp();
}

void PtyPair::write(const QByteArray& bytes) {
    qsizetype done = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (done < bytes.size() && std::chrono::steady_clock::now() < deadline) {
        const auto n = ::write(master_, bytes.constData() + done,
                               static_cast<std::size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        pollfd p{master_, POLLOUT, 0};
        ::poll(&p, 1, 100);
    }
}

QByteArray PtyPair::read(int count, int timeoutMs) {
    QByteArray got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
        char buf[4096];
        const auto n = ::read(master_, buf, sizeof buf);
        if (n > 0) {
            got.append(buf, n);
            continue;
        }
        pollfd p{master_, POLLIN, 0};
        ::poll(&p, 1, 10);
    }
    return got;
}

void PtyPair::hangUp() {
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

}  // namespace orvet::testing
