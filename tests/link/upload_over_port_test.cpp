// The upload session through the real port component (inline workers) on a virtual line
// paced at the line speed, with the simulated USPD at its far end, all on the test clock.
#include <gtest/gtest.h>

#include <cerrno>

#include "link/fake_link.h"
#include "link/upload_session.h"
#include "sim/virtual_uspd.h"
#include "support/test_files.h"
#include "support/test_platform.h"

namespace orvet {
namespace {

struct PortRig {
    explicit PortRig(sim::Options options, int imageSize = 3000)
        : uspd(test.clock, std::move(options)),
          port(test.platform(), uspd.line().opener(), TCommPort::Workers::Inline),
          session(test.platform(), port, link, view, decisions) {
        image.resize(imageSize);
        for (int i = 0; i < image.size(); ++i)
            image[i] = static_cast<char>(i * 13 + (i >> 4));
        testing::writeFile(test.dir() + "/config.dat", image);
        UploadExchange& exchange = session.exchange();
        exchange.setImagePath(test.dir() + "/config.dat");
        exchange.setDeviceNumberSource([] { return QStringLiteral("1"); });
        exchange.setOnFinished([this](UploadExchange::Outcome o) { outcomes.push_back(o); });
    }

    testing::TestPlatform test;
    sim::VirtualUspd uspd;
    TCommPort port;
    LinkSettings link;
    FakeView view;
    FakeDecisions decisions;
    UploadSession session;
    QByteArray image;
    std::vector<UploadExchange::Outcome> outcomes;
};

const LineChoice kDirect19200 = LineChoice::direct(2, 19200);

TEST(UploadOverPort, DirectLineDeliversAndRestarts) {
    PortRig rig({});
    rig.decisions.restart = true;
    rig.test.messages.expectNotice("УСПД перезагружен");
    ASSERT_TRUE(rig.session.open(kDirect19200));
    EXPECT_EQ(rig.port.ComNumber(), 2);
    EXPECT_EQ(rig.port.Baud(), 19200);
    EXPECT_TRUE(rig.uspd.line().DTR());
    EXPECT_EQ(rig.view.txd, 1) << "the TXD lamp lights as the line opens";
    rig.test.clock.advance(30'000);
    EXPECT_EQ(rig.uspd.device().image(), rig.image);
    EXPECT_EQ(rig.outcomes, (std::vector{UploadExchange::Outcome::Restarted}));
    EXPECT_EQ(rig.decisions.asked, (QStringList{"restart", "clear archives"}));
    EXPECT_FALSE(rig.port.Open());
    EXPECT_FALSE(rig.uspd.line().DTR());
    EXPECT_FALSE(rig.uspd.device().archivesCleared());
    EXPECT_GT(rig.view.rxd, 0) << "the port's receive events reach the RXD lamp";
    EXPECT_GT(rig.view.txdDimmed, 0) << "and its transmit-empty events the TXD lamp";
}

TEST(UploadOverPort, RestartDeclinedAtOnceStillEndsTheImage) {
    PortRig rig({});
    ASSERT_TRUE(rig.session.open(kDirect19200));
    rig.test.clock.advance(30'000);
    EXPECT_EQ(rig.outcomes, (std::vector{UploadExchange::Outcome::Delivered}));
    EXPECT_TRUE(rig.uspd.device().imageComplete()) << "the 'W' frame reached the device";
    EXPECT_EQ(rig.uspd.device().image(), rig.image);
    EXPECT_FALSE(rig.port.Open());
}

// With the fast exchange the port's watcher is paced at 1 ms, so each reply is taken within a
// few milliseconds of its last byte; without it every reply costs its full collection window
// and up to one 50 ms pacing interval. The upload's time ends when 'W' is on the line.
TEST(UploadOverPort, FastExchangeTakesEachReplyMillisecondsAfterItsLastByte) {
    for (const bool fast : {false, true}) {
        SCOPED_TRACE(fast ? "fast exchange" : "full windows");
        sim::Options options;
        options.turnaroundMs = 0;
        PortRig rig(options, 6000);
        rig.link.FastExchange = fast;
        SendTimes sent;
        rig.session.exchange().setFrameTrace(&sent);
        ASSERT_TRUE(rig.session.open(kDirect19200));
        EXPECT_EQ(rig.port.WatchPauseMs(), fast ? 1 : TCommPort::kWatchPauseMs);
        rig.test.clock.advance(30'000);
        ASSERT_EQ(rig.uspd.device().image(), rig.image);
        const int replies = rig.uspd.device().replies();
        ASSERT_EQ(replies, 26);  // 'L', 'S' and 24 blocks; 'W' is not answered
        const double lineMs = (rig.uspd.device().frameBytes() - 4) * 10 * 1000.0 / 19200;
        const double perReply = (sent.sentAt.at('W') - lineMs) / replies;
        if (fast) {
            EXPECT_LE(perReply, 2.0);
        } else {
            EXPECT_GE(perReply, UploadExchange::kReplyWindowMs);
        }
    }
}

TEST(UploadOverPort, ModemDialsAndCarrierLostClosesThePort) {
    sim::Options options;
    options.modem = true;
    options.faults.dropCarrierAfterBlocks = 2;
    PortRig rig(options);
    ASSERT_TRUE(rig.session.open(LineChoice::modem(1, 19200, true, QStringLiteral("1234"))));
    rig.test.clock.advance(30'000);
    EXPECT_EQ(rig.outcomes, (std::vector{UploadExchange::Outcome::CarrierLost}));
    EXPECT_FALSE(rig.port.Open());
    EXPECT_FALSE(rig.view.visible);
    EXPECT_EQ(rig.uspd.device().frames().front().at(1), 'L') << "no frame before the carrier";
}

TEST(UploadOverPort, VanishedDeviceEndsTheUploadAndClosesThePort) {
    PortRig rig({});
    ASSERT_TRUE(rig.session.open(kDirect19200));
    rig.test.clock.advance(1000);  // 'L', 'S' and the first blocks
    ASSERT_EQ(rig.session.exchange().state(), UploadExchange::State::Transfer);
    rig.test.messages.expectNotice("Порт закрыт: устройство отключено.");
    rig.uspd.line().unplug();
    rig.test.clock.advance(200);
    EXPECT_EQ(rig.outcomes, (std::vector{UploadExchange::Outcome::PortLost}));
    EXPECT_FALSE(rig.port.Open()) << "the vanished device is not held open";
    EXPECT_FALSE(rig.view.visible);
    rig.test.clock.advance(10'000);
    EXPECT_EQ(rig.test.messages.shown().size(), 1u);
}

TEST(UploadOverPort, UnusableLinkSettingsLeaveTheLineAlone) {
    const struct {
        int pakLen;
        int toAnswer;
        const char* reason;
    } cases[] = {
        {0, 2000, "Длина пакета должна быть не меньше 1 байта"},
        {1025, 2000, "Длина пакета не может превышать 1024 байта"},
        {255, -1, "Таймаут ответа не может быть отрицательным"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        PortRig rig({});
        rig.link = {c.pakLen, c.toAnswer};
        rig.test.messages.allowNotices();
        EXPECT_FALSE(rig.session.open(kDirect19200));
        ASSERT_EQ(rig.test.messages.shown().size(), 1u);
        EXPECT_TRUE(rig.test.messages.shown()[0].text.startsWith(QString::fromUtf8(c.reason)));
        EXPECT_FALSE(rig.port.Open());
        EXPECT_FALSE(rig.uspd.line().nearOpen());
        rig.test.clock.advance(10'000);
        EXPECT_TRUE(rig.uspd.device().frames().empty());
    }
}

TEST(UploadOverPort, PortThatCannotOpenIsReportedOnceAndNothingStarts) {
    PortRig rig({});
    rig.uspd.line().unplug();
    rig.test.messages.allowNotices();
    EXPECT_FALSE(rig.session.open(kDirect19200));
    EXPECT_EQ(rig.session.exchange().state(), UploadExchange::State::Idle);
    rig.test.clock.advance(10'000);
    ASSERT_EQ(rig.test.messages.shown().size(), 1u) << "no repetition to nowhere";
    EXPECT_EQ(rig.test.messages.shown()[0].caption, QStringLiteral("COM port error"));
    // The component's text, then the device and the system's reason.
    EXPECT_EQ(rig.test.messages.shown()[0].text,
              QStringLiteral("Can't open COM port\n%1: %2")
                  .arg(comPortPath(rig.test.platform().settings, 2), qt_error_string(ENOENT)));
}

TEST(LineChoice, FollowsThePageInUse) {
    ConnectionSettings c;
    c.Port = 2;
    c.Baud = 7;
    c.ModemPort = 4;
    c.ModemBaud = 5;
    c.TypeDial = ConnectionSettings::kToneDialling;

    const LineChoice direct = LineChoice::fromConnection(c, QStringLiteral("555"));
    EXPECT_EQ(direct.comNumber, 3);
    EXPECT_EQ(direct.baudRate, 115200);
    EXPECT_EQ(direct.start, LineChoice::Start::Direct);

    c.ActivePage = ConnectionSettings::kModemPage;
    const LineChoice modem = LineChoice::fromConnection(c, QStringLiteral("555"));
    EXPECT_EQ(modem.comNumber, 5);
    EXPECT_EQ(modem.baudRate, 38400);
    EXPECT_EQ(modem.start, LineChoice::Start::Modem);
    EXPECT_TRUE(modem.toneDialling);
    EXPECT_EQ(modem.phone, QStringLiteral("555"));

    // No selection, or a speed outside the list: port 0, the port's speed left as it is.
    c.ActivePage = 7;
    c.ModemPort = -1;
    c.ModemBaud = 8;
    c.TypeDial = -1;
    const LineChoice other = LineChoice::fromConnection(c, QString());
    EXPECT_EQ(other.comNumber, 0);
    EXPECT_EQ(other.baudRate, std::nullopt);
    EXPECT_EQ(other.start, LineChoice::Start::Nothing);
    EXPECT_TRUE(other.toneDialling) << "any dialling value but pulse dials tone";
}

}  // namespace
}  // namespace orvet
