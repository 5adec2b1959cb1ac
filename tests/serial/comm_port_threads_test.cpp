// TCommPort with its real worker threads, as the program runs it: on the virtual line and on
// a pseudo-terminal. Waits are bounded real-time waits that run the user-interface thread's
// pending calls meanwhile.
#include <gtest/gtest.h>

#include <QByteArray>
#include <algorithm>
#include <atomic>
#include <random>
#include <string>
#include <vector>

#include "serial/comm_port.h"
#include "serial/virtual_line.h"
#include "serial_test_support.h"
#include "support/test_platform.h"

namespace orvet {
namespace {

using testing::LineCalls;
using testing::pattern;
using testing::pumpUntil;
using testing::TestPlatform;
using Log = std::vector<std::string>;

// Counts the synchronised calls that workers have queued.
class CountingMainThread final : public MainThread {
public:
    std::atomic<int> queued{0};

protected:
    void wake() override { ++queued; }
};

struct ThreadRig {
    explicit ThreadRig(LineCalls* calls = nullptr, Clock* pacing = nullptr)
        : line(pacing),
          platform{tp.clock, mainThread, tp.messages, tp.settings()},
          port(platform, calls ? testing::countingOpener(line.opener(), *calls) : line.opener()) {
        testing::recordEvents(port, log);
    }

    void open() {
        port.OpenPort();
        ASSERT_TRUE(port.Open());
        log.clear();
    }
    bool pump(const std::function<bool()>& done) { return pumpUntil(mainThread, done); }
    // Runs pending calls for `ms` of real time.
    void idle(int ms) {
        pumpUntil(
            mainThread, [] { return false; }, ms);
    }
    bool logged(const std::string& entry) const {
        return std::find(log.begin(), log.end(), entry) != log.end();
    }
    // The events raised since `from`.
    Log since(std::size_t from) const {
        return Log(log.begin() + static_cast<std::ptrdiff_t>(from), log.end());
    }

    Log log;
    TestPlatform tp;
    CountingMainThread mainThread;
    VirtualLine line;
    Platform platform;
    TCommPort port;
};

TEST(SerialThreads, BytesMoveBothWays) {
    ThreadRig rig;
    rig.open();
    const QByteArray out = pattern(3000);
    ASSERT_EQ(rig.port.PutBlock(out.constData(), out.size()), out.size());
    ASSERT_TRUE(rig.pump([&] { return rig.line.receivedCount() == out.size(); }));
    EXPECT_EQ(rig.line.takeReceived(), out);

    const QByteArray in = pattern(1500);
    rig.line.send(in);
    ASSERT_TRUE(rig.pump([&] { return rig.logged("Data:1500") && rig.logged("RxD"); }));
    QByteArray got(2000, '\0');
    got.resize(rig.port.GetBlock(got.data(), 2000));
    EXPECT_EQ(got, in);
}

// The writer may find the queue empty and reset its signal just as a block is queued.
TEST(SerialThreads, EveryQueuedByteIsSentWhateverTheWriterWasDoing) {
    ThreadRig rig;
    rig.open();
    QByteArray sent;
    std::mt19937 random(7);
    for (int i = 0; i < 400; ++i) {
        const char c = static_cast<char>('a' + i % 26);
        ASSERT_EQ(rig.port.PutChar(c), 1);
        sent.append(c);
        if (random() % 4 == 0)
            rig.idle(static_cast<int>(random() % 2));
    }
    ASSERT_TRUE(rig.pump([&] { return rig.line.receivedCount() == sent.size(); }));
    EXPECT_EQ(rig.line.takeReceived(), sent);
}

// With no pause or the fast exchange's 1 ms the watcher cycles for every few bytes; each
// reply still reaches the data handler whole and in order.
TEST(SerialThreads, ShortWatchPauseDeliversEveryReplyInOrder) {
    for (const int pauseMs : {0, 1}) {
        SCOPED_TRACE(pauseMs);
        ThreadRig rig;
        rig.port.SetWatchPauseMs(pauseMs);
        rig.open();
        QByteArray got;
        rig.port.OnDataReceived = [&](TCommPort& port, int) {
            char buf[16];
            int n = 0;
            while ((n = port.GetBlock(buf, sizeof buf)) > 0)
                got.append(buf, n);
        };
        QByteArray expected;
        for (int i = 0; i < 200; ++i) {
            const QByteArray reply = QByteArray::number(i) + ';';
            expected += reply;
            rig.line.send(reply);
            ASSERT_TRUE(rig.pump([&] { return got.size() == expected.size(); })) << i;
        }
        EXPECT_EQ(got, expected);
    }
}

TEST(SerialThreads, CloseOfAnIdlePortRaisesDataOnceThenClose) {
    ThreadRig rig;
    rig.open();
    rig.line.send("abc");
    ASSERT_TRUE(rig.pump([&] { return rig.logged("Data:3"); }));
    const std::size_t from = rig.log.size();
    rig.port.ClosePort();
    EXPECT_EQ(rig.since(from), (Log{"Data:3", "Close"}));
}

// A data delivery (and a line-event delivery) queued but not yet run when the close starts
// is dropped; the close raises its own one.
TEST(SerialThreads, CloseWithDeliveriesPendingRaisesDataOnce) {
    ThreadRig rig;
    rig.open();
    rig.line.send("abc");
    // Waits on the test platform's own main thread, which runs none of the port's calls.
    ASSERT_TRUE(pumpUntil(rig.tp.mainThread, [&] { return rig.mainThread.queued >= 2; }))
        << "the data and status notifiers each queue a call";
    EXPECT_TRUE(rig.log.empty());
    rig.port.ClosePort();
    EXPECT_EQ(rig.log, (Log{"Data:3", "Close"}));
}

// Whatever the notifiers are doing when the close starts - waiting, queuing a call, inside
// one, just back from one - the close raises exactly one OnDataReceived and no line event.
TEST(SerialThreads, CloseRaisesExactlyOneDataReceivedInEveryInterleaving) {
    ThreadRig rig;
    std::mt19937 random(11);
    for (int round = 0; round < 150; ++round) {
        rig.port.OpenPort();
        ASSERT_TRUE(rig.port.Open());
        rig.line.send(pattern(1 + static_cast<int>(random() % 40)));
        rig.line.setDSR(round % 2 == 0);
        rig.idle(static_cast<int>(random() % 4));
        const std::size_t from = rig.log.size();
        rig.port.ClosePort();
        const Log closing = rig.since(from);
        ASSERT_EQ(closing.size(), 2u) << "round " << round;
        EXPECT_EQ(closing[0].rfind("Data:", 0), 0u) << "round " << round << ": " << closing[0];
        EXPECT_EQ(closing[1], "Close");
        rig.idle(1);
        EXPECT_EQ(rig.log.size(), from + 2) << "nothing after the close";
    }
}

// The device link closes the port from OnDCDSignal when the carrier drops; that handler
// runs inside the status notifier's synchronised call.
TEST(SerialThreads, HandlerOfTheStatusNotifierMayCloseThePort) {
    ThreadRig rig;
    rig.line.setDCD(true);
    rig.open();
    testing::closeOnCarrierLoss(rig.port, rig.log);
    rig.line.setDCD(false);
    ASSERT_TRUE(rig.pump([&] { return rig.logged("Close"); }));
    EXPECT_EQ(rig.log, (Log{"DCD", "Data:0", "Close"}));
    EXPECT_FALSE(rig.port.Open());

    rig.line.setDCD(true);
    rig.open();
    EXPECT_TRUE(rig.port.DCD());
    rig.line.send("again");
    ASSERT_TRUE(rig.pump([&] { return rig.logged("Data:5"); }));
}

TEST(SerialThreads, HandlerOfTheDataNotifierMayCloseThePort) {
    ThreadRig rig;
    rig.open();
    rig.port.OnRxDSignal = nullptr;
    rig.port.OnDataReceived = [&](TCommPort& port, int count) {
        rig.log.push_back("Data:" + std::to_string(count));
        port.ClosePort();
    };
    rig.line.send("abc");
    ASSERT_TRUE(rig.pump([&] { return rig.logged("Close"); }));
    EXPECT_EQ(rig.log, (Log{"Data:3", "Data:3", "Close"}))
        << "the close's own delivery runs inside";
    rig.open();
    rig.port.ClosePort();
}

TEST(SerialThreads, CloseSendsWhatTheWriterHasNotSentYet) {
    ThreadRig rig;
    const QByteArray block = pattern(4000);
    for (int round = 0; round < 20; ++round) {
        rig.port.OpenPort();
        ASSERT_EQ(rig.port.PutBlock(block.constData(), block.size()), block.size());
        rig.port.ClosePort();
        ASSERT_EQ(rig.line.takeReceived(), block) << "round " << round;
    }
}

TEST(SerialThreads, HardwareFlowControlHoldsOutputUntilCts) {
    ThreadRig rig;
    rig.port.SetComControl(ccHard);
    rig.open();
    rig.port.PutString("held back");
    rig.idle(120);
    EXPECT_EQ(rig.line.receivedCount(), 0);
    EXPECT_EQ(rig.port.OutBuffUsed(), 9u);
    rig.line.setCTS(true);
    ASSERT_TRUE(rig.pump([&] { return rig.line.receivedCount() == 9; }));
    EXPECT_EQ(rig.line.takeReceived(), "held back");
    ASSERT_TRUE(rig.pump([&] { return rig.logged("CTS"); }));

    rig.line.setCTS(false);
    ASSERT_TRUE(rig.pump([&] { return !rig.port.CTS(); }));
    rig.port.PutString("dropped");
    rig.port.ClosePort();
    rig.line.setCTS(true);
    EXPECT_EQ(rig.line.receivedCount(), 0) << "a close does not send what CTS holds back";
}

// A line that takes nothing more (here: paced on a clock that does not move) cannot keep
// the close waiting for ever.
TEST(SerialThreads, CloseGivesUpOnOutputTheLineHoldsBack) {
    TestPlatform pacing;
    ThreadRig rig(nullptr, &pacing.clock);
    rig.open();
    const QByteArray fill = pattern(VirtualLine::kOutputQueue);
    rig.port.PutBlock(fill.constData(), fill.size());
    ASSERT_TRUE(rig.pump([&] { return rig.port.OutBuffUsed() == 0; }));
    rig.port.PutString("no room");
    rig.idle(20);
    EXPECT_EQ(rig.port.OutBuffUsed(), 7u);
    rig.port.ClosePort();
    EXPECT_FALSE(rig.port.Open());
    pacing.clock.advance(10000);
    EXPECT_EQ(rig.line.takeReceived(), fill);
}

TEST(SerialThreads, VanishedDeviceDoesNotKeepWorkersBusy) {
    LineCalls calls;
    ThreadRig rig(&calls);
    rig.line.setDCD(true);
    rig.open();
    rig.line.unplug();
    ASSERT_TRUE(rig.pump([&] { return rig.logged("Error:1024"); }));
    EXPECT_TRUE(rig.logged("DCD"));
    EXPECT_FALSE(rig.port.DCD());
    rig.port.PutString("lost");
    rig.idle(50);
    const int before = calls.total();
    rig.idle(300);
    EXPECT_LE(calls.total() - before, 2) << "no worker retries a device that is gone";
    const std::size_t from = rig.log.size();
    rig.port.ClosePort();
    EXPECT_EQ(rig.since(from), (Log{"Data:0", "Close"}));
}

// --- On a pseudo-terminal ----------------------------------------------------------------

struct PtyRig {
    PtyRig() : port(tp.platform(), testing::countingOpener(&PosixLine::open, calls)) {
        testing::recordEvents(port, log);
        tp.settings().writeString(QStringLiteral("COM1"), pty.path(), QStringLiteral("Ports"));
        port.SetComNumber(1);
    }

    Log log;
    LineCalls calls;
    testing::PtyPair pty;
    TestPlatform tp;
    TCommPort port;
};

TEST(SerialPty, PortTalksOverAPseudoTerminal) {
    PtyRig rig;
    ASSERT_TRUE(rig.pty.ok());
    rig.port.PowerOn();
    rig.port.OpenPort();
    ASSERT_TRUE(rig.port.Open());
    EXPECT_EQ(rig.log, (Log{"Open:0"})) << "no modem lines is no failure";
    EXPECT_FALSE(rig.port.DCD());

    const QByteArray out = pattern(5000);
    int put = 0;
    while (put < out.size()) {
        put += rig.port.PutBlock(out.constData() + put, static_cast<std::size_t>(out.size() - put));
        pumpUntil(
            rig.tp.mainThread, [] { return false; }, 1);
    }
    EXPECT_EQ(rig.pty.read(out.size()), out);

    rig.pty.write("ping");
    ASSERT_TRUE(pumpUntil(rig.tp.mainThread, [&] { return rig.port.InBuffUsed() == 4; }));
    char got[8] = {};
    EXPECT_EQ(rig.port.GetBlock(got, sizeof got), 4);
    EXPECT_EQ(QByteArray(got, 4), "ping");
    rig.port.ClosePort();
    EXPECT_EQ(rig.log.back(), "Close");
}

TEST(SerialPty, SecondPortCannotOpenTheSameDevice) {
    PtyRig rig;
    ASSERT_TRUE(rig.pty.ok());
    rig.port.OpenPort();
    ASSERT_TRUE(rig.port.Open());
    TCommPort second(rig.tp.platform());
    second.SetComNumber(1);
    second.OpenPort();
    EXPECT_FALSE(second.Open());
}

TEST(SerialPty, PulledDeviceIsReportedAndThePortCloses) {
    PtyRig rig;
    ASSERT_TRUE(rig.pty.ok());
    rig.port.OpenPort();
    ASSERT_TRUE(rig.port.Open());
    rig.pty.hangUp();
    ASSERT_TRUE(pumpUntil(rig.tp.mainThread, [&] {
        return std::find(rig.log.begin(), rig.log.end(), "Error:1024") != rig.log.end();
    }));
    rig.port.PutString("lost");
    pumpUntil(
        rig.tp.mainThread, [] { return false; }, 50);
    const int before = rig.calls.total();
    pumpUntil(
        rig.tp.mainThread, [] { return false; }, 300);
    EXPECT_LE(rig.calls.total() - before, 2) << "no worker spins on the vanished device";
    rig.port.ClosePort();
    EXPECT_EQ(rig.log.back(), "Close");
    EXPECT_FALSE(rig.port.Open());
}

}  // namespace
}  // namespace orvet
