#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <string>
#include <tuple>

#include "link/fake_link.h"
#include "link/upload_exchange.h"
#include "sim/simulator.h"
#include "support/test_platform.h"

namespace orvet {
namespace {

// A line between the exchange and the simulated device on the test clock: requests reach
// the device at once, replies arrive 1 ms after the device sent them, as events do.
class Loopback final : public LinkPort, public sim::SimLine {
public:
    explicit Loopback(Clock& clock) : transit_(clock, 0) {
        transit_.setOnTimer([this] {
            transit_.setInterval(0);
            if (!open || inTransit_.isEmpty())
                return;
            input += inTransit_;
            inTransit_.clear();
            exchange->onDataReceived();
        });
    }

    // LinkPort: the configurator's side.
    bool isOpen() const override { return open; }
    void sendFrame(const QByteArray& frame) override { device->receive(frame); }
    void sendText(const QByteArray& text) override { device->receive(text); }
    QByteArray received() const override { return input; }
    void flushInput() override { input.clear(); }
    void flushOutput() override {}
    void setDTR(bool) override {}
    void close() override { open = false; }

    // SimLine: the device's side.
    void write(const QByteArray& bytes) override {
        inTransit_ += bytes;
        transit_.setInterval(1);
    }
    void setCarrier(bool on) override { exchange->onCarrierChanged(on); }

    sim::UspdSimulator* device = nullptr;
    UploadExchange* exchange = nullptr;
    bool open = true;
    QByteArray input;

private:
    Timer transit_;
    QByteArray inTransit_;
};

struct Scenario {
    const char* name;
    sim::Options options;
    std::vector<const char*> notices;
    bool delivered;
    // The firmware question declined, as FakeDecisions logs it.
    const char* declinedFirmware = nullptr;
    // Where an exchange that does not deliver stands at the end.
    UploadExchange::State stopsIn = UploadExchange::State::Stalled;
};

// The exchange wired to a simulated device over the loopback line, with a 3000-byte image;
// `fast` turns on the fast exchange.
struct Rig {
    explicit Rig(const sim::Options& options, bool fast = false)
        : line(test.clock),
          exchange(test.platform(), line, link, view, decisions),
          device(test.clock, line, options) {
        link.FastExchange = fast;
        image.resize(3000);
        for (int i = 0; i < image.size(); ++i)
            image[i] = static_cast<char>((i * 31) ^ (i >> 3));
        QFile file(test.dir() + "/config.dat");
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(image);
        line.device = &device;
        line.exchange = &exchange;
        exchange.setDeviceNumberSource([options] { return QString::number(options.device); });
        exchange.setImagePath(file.fileName());
        exchange.setOnFinished([this](UploadExchange::Outcome o) { outcomes.push_back(o); });
    }

    testing::TestPlatform test;
    QByteArray image;
    LinkSettings link;
    FakeView view;
    FakeDecisions decisions;
    Loopback line;
    UploadExchange exchange;
    sim::UspdSimulator device;
    std::vector<UploadExchange::Outcome> outcomes;
};

// Every scenario ends alike with and without the fast exchange.
class ExchangeWithSimulator : public ::testing::TestWithParam<std::tuple<Scenario, bool>> {};

TEST_P(ExchangeWithSimulator, Uploads) {
    const Scenario& scenario = std::get<0>(GetParam());
    Rig rig(scenario.options, std::get<1>(GetParam()));
    auto& messages = rig.test.messages;
    for (const char* notice : scenario.notices)
        messages.expectNotice(QString::fromUtf8(notice));
    if (scenario.delivered) {
        rig.decisions.restart = rig.decisions.clear = true;
        messages.expectNotice("УСПД перезагружен");
    }
    rig.exchange.startDirect();
    rig.test.clock.advance(60'000);

    if (scenario.declinedFirmware) {
        EXPECT_EQ(rig.decisions.asked, QStringList{scenario.declinedFirmware});
    }
    if (scenario.delivered) {
        EXPECT_EQ(rig.decisions.asked, (QStringList{"restart", "clear archives"}));
        EXPECT_EQ(rig.device.image(), rig.image);
        EXPECT_TRUE(rig.device.imageComplete());
        EXPECT_EQ(rig.device.restarts(), 1);
        EXPECT_TRUE(rig.device.archivesCleared());
        EXPECT_EQ(rig.outcomes, (std::vector{UploadExchange::Outcome::Restarted}));
        EXPECT_FALSE(rig.line.open);
    } else {
        EXPECT_EQ(rig.exchange.state(), scenario.stopsIn);
        EXPECT_FALSE(rig.device.imageComplete());
    }
}

TEST(ExchangeThroughModem, DialsWaitsForTheCarrierAndDelivers) {
    sim::Options options;
    options.modem = true;
    options.carrierDelayMs = 3000;
    Rig rig(options);
    rig.exchange.startModem(true, "1234");
    rig.test.clock.advance(2999);
    EXPECT_TRUE(rig.device.frames().empty()) << "no frame before the carrier";
    rig.test.clock.advance(60'000);
    EXPECT_EQ(rig.test.clock.pauses(), (std::vector<int>{500}));
    EXPECT_EQ(rig.device.image(), rig.image);
    EXPECT_EQ(rig.outcomes, (std::vector{UploadExchange::Outcome::Delivered}));
    EXPECT_EQ(rig.decisions.asked, QStringList{"restart"});
}

TEST(ExchangeThroughModem, CarrierLostDuringTheTransferEndsIt) {
    sim::Options options;
    options.modem = true;
    options.faults.dropCarrierAfterBlocks = 3;
    for (const bool fast : {false, true}) {
        SCOPED_TRACE(fast ? "fast exchange" : "full windows");
        Rig rig(options, fast);
        rig.exchange.startModem(false, "77");
        rig.test.clock.advance(60'000);
        EXPECT_EQ(rig.outcomes, (std::vector{UploadExchange::Outcome::CarrierLost}));
        EXPECT_FALSE(rig.line.open);
        EXPECT_FALSE(rig.view.visible);
        EXPECT_FALSE(rig.device.imageComplete());
    }
}

// The frame log of an upload through a bad CRC and a silence: every frame with its direction
// and letter, and what became of it. Lines are reduced to direction, letter and verdict; the
// times must not go back.
TEST(ExchangeWithSimulatorTrace, LogsEveryFrameWithItsVerdict) {
    sim::Options options;
    options.faults.silentFirst['S'] = 1;
    options.faults.corruptCrc['T'] = 1;
    Rig rig(options);
    FrameLog log;
    rig.exchange.setFrameTrace(&log);
    rig.decisions.restart = rig.decisions.clear = true;
    rig.test.messages.expectNotice("Ошибка CRC");
    rig.test.messages.expectNotice("УСПД перезагружен");
    rig.exchange.startDirect();
    rig.test.clock.advance(60'000);
    ASSERT_EQ(rig.outcomes, (std::vector{UploadExchange::Outcome::Restarted}));

    static const QRegularExpression shape(QStringLiteral(
        "^ *(\\d+)\\.(\\d{3}) (.) '(.)'(?: +(\\d+) байт)?(?: \\[([^\\]]*)\\])?(?:  (.*))?$"));
    QStringList summary;
    std::int64_t previous = 0;
    for (const QString& line : log.lines()) {
        const QRegularExpressionMatch m = shape.match(line);
        ASSERT_TRUE(m.hasMatch()) << line.toStdString();
        const std::int64_t ms = m.captured(1).toLongLong() * 1000 + m.captured(2).toInt();
        EXPECT_GE(ms, previous) << line.toStdString();
        previous = ms;
        const QString verdict = m.captured(6);
        summary << m.captured(3) + m.captured(4) + (verdict.isEmpty() ? QString() : " " + verdict);
        if (m.captured(3) != "×") {
            EXPECT_EQ(m.captured(5).toInt(), (m.captured(7).size() + 1) / 3) << line.toStdString();
        }
    }
    EXPECT_EQ(log.lines().front(), "     0.000 → 'L'    4 байт  01 4C 01 D5");
    const QStringList start{
        "→L",
        "←L принят",
        "→S",
        "×S таймаут 2000 мс",
        "→S повтор 1",
        "←S принят",
        "→T",
        "←T Ошибка CRC",
        "×T таймаут 2000 мс",
        "→T повтор 1",
        "←T принят",
        "→T",
        "←T принят",
    };
    EXPECT_EQ(summary.mid(0, start.size()), start);
    EXPECT_EQ(summary.mid(summary.size() - 3), (QStringList{"→W", "→X", "←X принят"}));
    // 3000 bytes in blocks of 255: twelve blocks, the first sent twice.
    EXPECT_EQ(summary.count("→T") + summary.count("→T повтор 1"), 13);
}

sim::Options with(const std::function<void(sim::Options&)>& change) {
    sim::Options options;
    change(options);
    return options;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ExchangeWithSimulator,
    ::testing::Combine(
        ::testing::Values(
            Scenario{"Clean", {}, {}, true},
            Scenario{"Device300", with([](auto& o) { o.device = 300; }), {}, true},
            Scenario{"SwappedCrc", with([](auto& o) { o.faults.swapCrc = true; }), {}, true},
            Scenario{"SplitReplies30ms",
                     with([](auto& o) {
                         o.faults.splitAt = 2;
                         o.faults.splitDelayMs = 30;
                     }),
                     {},
                     true},
            Scenario{"SilentFirstFrames",
                     with(
                         [](auto& o) {
                             o.faults.silentFirst['L'] = 2;
                             o.faults.silentFirst['T'] = 1;
                             o.faults.silentFirst['X'] = 1;
                         }),
                     {},
                     true},
            Scenario{"ThreeRefusedAccessWords",
                     with([](auto& o) { o.faults.refuseSize = 3; }),
                     {"Неверный пароль!"},
                     true},
            Scenario{"CorruptLinkReplyIsRepeated",
                     with([](auto& o) { o.faults.corruptCrc['L'] = 1; }),
                     {"Ошибка CRC"},
                     true},
            // A device that takes a block as soon as it is whole and answers
            // at once, or after a turnaround.
            Scenario{"QuickDevice", with([](auto& o) { o.turnaroundMs = 0; }), {}, true},
            Scenario{"QuickDeviceWithTurnaroundAndStaleAcknowledgement",
                     with(
                         [](auto& o) {
                             o.turnaroundMs = 5;
                             o.faults.staleAckAtBlock = 2;
                         }),
                     {},
                     true},
            Scenario{"StaleAcknowledgementResendsTheBlock",
                     with([](auto& o) { o.faults.staleAckAtBlock = 2; }),
                     {},
                     true},
            // Without a bound the window goes on asking until the user cancels.
            Scenario{"ForeignAddressRepeatsTheRequest",
                     with([](auto& o) { o.faults.foreignAddress = 9; }),
                     {},
                     false,
                     nullptr,
                     UploadExchange::State::Link},
            Scenario{"OldFirmwareDeclined",
                     with([](auto& o) { o.minor = 19; }),
                     {},
                     false,
                     "firmware 2.19"}),
        ::testing::Bool()),
    [](const ::testing::TestParamInfo<std::tuple<Scenario, bool>>& param) {
        return std::string(std::get<0>(param.param).name) +
               (std::get<1>(param.param) ? "_Fast" : "");
    });

void PrintTo(const Scenario& s, std::ostream* os) {
    *os << s.name;
}

}  // namespace
}  // namespace orvet
