// One contract for every SerialLine: the POSIX line over a pseudo-terminal and the virtual
// line. The pseudo-terminal cases use bounded real-time waits.
#include <gtest/gtest.h>

#include <QByteArray>
#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "serial/posix_line.h"
#include "serial/virtual_line.h"
#include "serial_test_support.h"

namespace orvet {
namespace {

using testing::pattern;

// A line and the device at its other end.
class LinePair {
public:
    virtual ~LinePair() = default;
    virtual std::unique_ptr<SerialLine> open(int* error) = 0;
    virtual void peerSend(const QByteArray& bytes) = 0;
    virtual QByteArray peerReceive(int count) = 0;
    // The device goes away.
    virtual void pull() = 0;
};

class PtyLinePair final : public LinePair {
public:
    std::unique_ptr<SerialLine> open(int* error) override {
        return PosixLine::open(pty_.path(), error);
    }
    void peerSend(const QByteArray& bytes) override { pty_.write(bytes); }
    QByteArray peerReceive(int count) override { return pty_.read(count); }
    void pull() override { pty_.hangUp(); }

private:
    testing::PtyPair pty_;
};

class VirtualLinePair final : public LinePair {
public:
    std::unique_ptr<SerialLine> open(int* error) override {
        return line_.opener()(QStringLiteral("virtual"), error);
    }
    void peerSend(const QByteArray& bytes) override { line_.send(bytes); }
    QByteArray peerReceive(int count) override { return line_.takeReceived().left(count); }
    void pull() override { line_.unplug(); }

private:
    VirtualLine line_;
};

struct LineKind {
    const char* name;
    std::function<std::unique_ptr<LinePair>()> make;
};

void PrintTo(const LineKind& kind, std::ostream* os) {
    *os << kind.name;
}

class SerialLineContract : public ::testing::TestWithParam<LineKind> {
protected:
    void SetUp() override {
        pair = GetParam().make();
        int error = 0;
        line = pair->open(&error);
        ASSERT_NE(line, nullptr) << "open failed: " << error;
    }

    // Reads `count` bytes as they arrive, waiting for EV_RXCHAR between reads.
    QByteArray readArriving(int count) {
        QByteArray got;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
            char buf[512];
            const int n = line->read(buf, sizeof buf);
            if (n > 0) {
                got.append(buf, n);
                continue;
            }
            line->waitEvents(EV_RXCHAR, 100);
        }
        return got;
    }

    std::unique_ptr<LinePair> pair;
    std::unique_ptr<SerialLine> line;
};

TEST_P(SerialLineContract, BytesCrossBothWaysInOrder) {
    const QByteArray out = pattern(3000);
    int written = 0;
    while (written < out.size()) {
        const int n =
            line->write(out.constData() + written, static_cast<int>(out.size()) - written);
        ASSERT_GE(n, 0);
        written += n;
        if (n == 0)
            line->waitWritable(50);
    }
    EXPECT_EQ(pair->peerReceive(out.size()), out);

    const QByteArray in = pattern(700);
    pair->peerSend(in);
    const LineEvents first = line->waitEvents(EV_RXCHAR | EV_TXEMPTY, 2000);
    EXPECT_NE(first.events, 0u);
    EXPECT_EQ(readArriving(in.size()), in);
    EXPECT_EQ(line->queued(), 0);
}

TEST_P(SerialLineContract, ArrivalAndDrainedOutputAreEvents) {
    pair->peerSend("abc");
    LineEvents events = line->waitEvents(EV_RXCHAR, 2000);
    EXPECT_EQ(events.events, static_cast<std::uint32_t>(EV_RXCHAR));
    EXPECT_EQ(line->queued(), 3);
    EXPECT_EQ(line->waitEvents(EV_RXCHAR, 0).events, 0u) << "taken by the first wait";

    ASSERT_EQ(line->write("x", 1), 1);
    events = line->waitEvents(EV_TXEMPTY, 2000);
    EXPECT_EQ(events.events, static_cast<std::uint32_t>(EV_TXEMPTY));
    EXPECT_EQ(line->outQueued(), 0);
}

TEST_P(SerialLineContract, WaitEndsOnTimeOutOrInterrupt) {
    EXPECT_EQ(line->waitEvents(EV_RXCHAR, 30).events, 0u);

    line->interruptWait();
    EXPECT_EQ(line->waitEvents(EV_RXCHAR, 0).events, 0u);
    EXPECT_EQ(line->waitEvents(EV_RXCHAR, -1).events, 0u)
        << "an interrupt that found no wait ends the next one with a time-out";

    std::thread interrupter([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        line->interruptWait();
    });
    EXPECT_EQ(line->waitEvents(EV_RXCHAR | EV_CTS, -1).events, 0u);
    interrupter.join();
}

TEST_P(SerialLineContract, SettingsAreTakenOrRefusedWhole) {
    const LineSettings accepted[] = {
        {9600, 8, paNone, sb1_0, ccNone, 0, 1024, 17, 19, 0},
        {14400, 7, paEven, sb1_0, ccNone, 10, 100, 17, 19, 0},
        {56000, 8, paOdd, sb2_0, ccHard, 0, 2048, 17, 19, 0},
        {128000, 6, paMark, sb2_0, ccSoft, 0, 0, 'q', 's', '!'},
        {256000, 5, paSpace, sb1_5, ccNone, 0, 1024, 17, 19, 0},
        {110, 8, paNone, sb1_5, ccNone, 0, 1024, 17, 19, 0},
    };
    for (const LineSettings& s : accepted) {
        EXPECT_EQ(line->setSettings(s), 0) << s.baudRate;
        EXPECT_EQ(line->settings(), s) << s.baudRate;
    }
    const LineSettings kept = line->settings();
    LineSettings refused[3] = {kept, kept, kept};
    refused[0].dataBits = 9;
    refused[1].dataBits = 4;
    refused[2].baudRate = 0;
    for (const LineSettings& s : refused) {
        EXPECT_EQ(line->setSettings(s), -EINVAL);
        EXPECT_EQ(line->settings(), kept);
    }
}

TEST_P(SerialLineContract, ModemControlWorksWithOrWithoutModemLines) {
    EXPECT_EQ(line->setDTR(true), 0);
    EXPECT_EQ(line->setRTS(true), 0);
    EXPECT_EQ(line->setBreak(true), 0);
    EXPECT_EQ(line->setBreak(false), 0);
    EXPECT_GE(line->modemStatus(), 0);
}

TEST_P(SerialLineContract, PurgeDiscardsWhatArrivedAndNothingLater) {
    pair->peerSend("discard me");
    ASSERT_NE(line->waitEvents(EV_RXCHAR, 2000).events, 0u);
    ASSERT_EQ(line->purge(true, true), 0);
    EXPECT_EQ(line->queued(), 0);
    pair->peerSend("kept");
    EXPECT_EQ(readArriving(4), "kept");
}

TEST_P(SerialLineContract, OpenIsExclusive) {
    int error = 0;
    EXPECT_EQ(pair->open(&error), nullptr);
    EXPECT_EQ(error, EBUSY);
}

TEST_P(SerialLineContract, VanishedDeviceFailsAndReportsOnce) {
    pair->pull();
    const LineEvents events = line->waitEvents(EV_ERR | EV_RXCHAR | EV_CTS | EV_RLSD, 2000);
    EXPECT_TRUE(events.events & EV_ERR);
    EXPECT_EQ(events.errors, static_cast<std::uint32_t>(CE_IOE));
    EXPECT_LT(line->write("x", 1), 0);
    char c;
    EXPECT_LT(line->read(&c, 1), 0);
    EXPECT_EQ(line->modemStatus(), 0) << "lines of a vanished device are off";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(line->waitEvents(0x1FF, 60).events, 0u) << "reported once";
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50))
        << "the wait blocks instead of returning at once";
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SerialLineContract,
    ::testing::Values(LineKind{"PosixPty", [] { return std::make_unique<PtyLinePair>(); }},
                      LineKind{"Virtual", [] { return std::make_unique<VirtualLinePair>(); }}),
    [](const ::testing::TestParamInfo<LineKind>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace orvet
