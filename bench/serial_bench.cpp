// Serial port throughput and idle cost over a pseudo-terminal whose other side echoes.
//
// PortEvents:  PutBlock -> pty -> echo -> pty -> GetBlock, driven by OnDataReceived as the
//              program drives it (the user-interface thread sleeps between deliveries).
// PortPolling: the same, the user-interface thread calling GetBlock in a loop.
// BareLoop:    write() and read() on the same kind of pair, no port: the baseline.
// Idle*:       CPU time of the whole process over 5 s with an open, silent port.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <ctime>
#include <thread>
#include <vector>

#include "core/main_thread.h"
#include "core/platform.h"
#include "core/qt_clock.h"
#include "serial/comm_port.h"
#include "serial/virtual_line.h"
#include "support/scripted_message_boxes.h"

namespace {

using orvet::TCommPort;

constexpr int kTransfer = 1 << 20;
constexpr int kChunk = 4096;

// The device side of a pseudo-terminal: sends back everything it receives, or, silent, only
// holds the line open.
class EchoPeer {
public:
    explicit EchoPeer(bool echo = true) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ::grantpt(master_);
        ::unlockpt(master_);
        path_ = ::ptsname(master_);
        ::fcntl(master_, F_SETFL, O_NONBLOCK);
        if (echo)
            thread_ = std::thread([this] { run(); });
    }
    ~EchoPeer() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        ::close(master_);
    }
    const std::string& path() const { return path_; }

private:
    void run() {
        std::vector<char> pending;
        char buf[kChunk];
        while (!stop_) {
            pollfd p{master_, static_cast<short>(pending.empty() ? POLLIN : POLLIN | POLLOUT), 0};
            ::poll(&p, 1, 10);
            const auto got = ::read(master_, buf, sizeof buf);
            if (got > 0)
                pending.insert(pending.end(), buf, buf + got);
            if (pending.empty())
                continue;
            const auto sent = ::write(master_, pending.data(), pending.size());
            if (sent > 0)
                pending.erase(pending.begin(), pending.begin() + sent);
        }
    }

    int master_ = -1;
    std::string path_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The program's platform with a settings file that maps COM1 to `device`.
struct BenchPlatform {
    explicit BenchPlatform(const std::string& device)
        : platform{clock, mainThread, messages,
                   orvet::Settings::inFile(dir.filePath(QStringLiteral("settings.ini")))} {
        platform.settings.writeString(QStringLiteral("COM1"), QString::fromStdString(device),
                                      QStringLiteral("Ports"));
    }
    QTemporaryDir dir;
    orvet::QtClock clock;
    orvet::MainThread mainThread;
    orvet::ScriptedMessageBoxes messages;
    orvet::Platform platform;
};

std::vector<char> payload() {
    std::vector<char> data(kTransfer);
    for (int i = 0; i < kTransfer; ++i)
        data[static_cast<std::size_t>(i)] = static_cast<char>(i * 131);
    return data;
}

// A port on COM1, mapped to a pseudo-terminal, open; the data to send and room to receive.
struct PtyPort {
    explicit PtyPort(bool echo = true) : peer(echo), bench(peer.path()), port(bench.platform) {
        port.SetComNumber(1);
        port.OpenPort();
    }
    bool ready(benchmark::State& state) {
        if (!port.Open())
            state.SkipWithError("cannot open the pseudo-terminal");
        return port.Open();
    }
    EchoPeer peer;
    BenchPlatform bench;
    TCommPort port;
    const std::vector<char> data = payload();
    std::vector<char> buf = std::vector<char>(kChunk);
};

void BM_PortEvents(benchmark::State& state) {
    PtyPort rig;
    if (!rig.ready(state))
        return;
    const std::vector<char>& data = rig.data;
    std::vector<char>& buf = rig.buf;
    int sent = 0, received = 0;
    rig.port.OnDataReceived = [&](TCommPort& p, int) {
        received += p.GetBlock(buf.data(), buf.size());
        if (sent < kTransfer)
            sent += p.PutBlock(data.data() + sent, static_cast<std::size_t>(kTransfer - sent));
    };
    for (auto _ : state) {
        sent = received = 0;
        sent += rig.port.PutBlock(data.data(), kTransfer);
        rig.bench.mainThread.waitUntil([&] { return received >= kTransfer; });
    }
    state.SetBytesProcessed(state.iterations() * kTransfer);
    rig.port.OnDataReceived = nullptr;
}

void BM_PortPolling(benchmark::State& state) {
    PtyPort rig;
    if (!rig.ready(state))
        return;
    const std::vector<char>& data = rig.data;
    std::vector<char>& buf = rig.buf;
    for (auto _ : state) {
        int sent = 0, received = 0;
        while (received < kTransfer) {
            if (sent < kTransfer)
                sent += rig.port.PutBlock(data.data() + sent,
                                          static_cast<std::size_t>(kTransfer - sent));
            const int got = rig.port.GetBlock(buf.data(), buf.size());
            received += got;
            rig.bench.mainThread.runPending();
            if (got == 0)
                std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
    state.SetBytesProcessed(state.iterations() * kTransfer);
}

void BM_BareLoop(benchmark::State& state) {
    EchoPeer peer;
    const int fd = ::open(peer.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    const std::vector<char> data = payload();
    std::vector<char> buf(kChunk);
    for (auto _ : state) {
        int sent = 0, received = 0;
        while (received < kTransfer) {
            pollfd p{fd, static_cast<short>(sent < kTransfer ? POLLIN | POLLOUT : POLLIN), 0};
            ::poll(&p, 1, 10);
            if (sent < kTransfer) {
                const auto n = ::write(fd, data.data() + sent, std::min(kChunk, kTransfer - sent));
                if (n > 0)
                    sent += static_cast<int>(n);
            }
            const auto n = ::read(fd, buf.data(), buf.size());
            if (n > 0)
                received += static_cast<int>(n);
        }
    }
    state.SetBytesProcessed(state.iterations() * kTransfer);
    ::close(fd);
}

double processCpuMs() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// CPU time of the whole process while `port` (if any) sits open for 5 s of real time.
void measureIdle(benchmark::State& state, orvet::MainThread& mainThread, TCommPort* port) {
    if (port != nullptr && !port->Open()) {
        state.SkipWithError("cannot open the port");
        return;
    }
    for (auto _ : state) {
        const double start = processCpuMs();
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < until) {
            mainThread.runPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        state.counters["cpu_ms_per_5s"] = processCpuMs() - start;
    }
}

void BM_IdleNoPort(benchmark::State& state) {
    orvet::MainThread mainThread;
    measureIdle(state, mainThread, nullptr);
}

void BM_IdlePtyPort(benchmark::State& state) {
    PtyPort rig(false);
    measureIdle(state, rig.bench.mainThread, &rig.port);
}

void BM_IdleVirtualPort(benchmark::State& state) {
    BenchPlatform bench("virtual");
    orvet::VirtualLine line;
    line.setDCD(true);
    TCommPort port(bench.platform, line.opener());
    port.OpenPort();
    measureIdle(state, bench.mainThread, &port);
}

BENCHMARK(BM_BareLoop)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PortEvents)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PortPolling)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_IdleNoPort)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_IdlePtyPort)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_IdleVirtualPort)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
