// The Hayes modem in front of the simulated USPD, on the test clock: what the terminal (the
// configurator's side) sees of its commands, its connection and its carrier.
#include <gtest/gtest.h>

#include <vector>

#include "sim/hayes_modem.h"
#include "support/test_clock.h"

namespace orvet::sim {
namespace {

// The terminal's side of the modem: its text and its carrier changes.
struct Terminal final : SimLine {
    void write(const QByteArray& bytes) override { text += bytes; }
    void setCarrier(bool on) override { carrier.push_back(on); }
    QByteArray text;
    std::vector<bool> carrier;
};

struct ModemRig {
    ModemRig() : modem(clock, terminal, 2000) {
        modem.setDevice([this](const QByteArray& bytes) { device += bytes; });
    }
    // Types `line` (a carriage return added) and takes what the terminal got meanwhile.
    QByteArray type(const QByteArray& line) {
        modem.fromTerminal(line + '\r');
        return std::exchange(terminal.text, {});
    }
    // Dials and waits until the line is online.
    void connect() {
        type("ATDT1234");
        clock.advance(2000 + HayesModem::kConnectLeadMs);
        ASSERT_TRUE(modem.online());
        terminal.text.clear();
    }

    TestClock clock;
    Terminal terminal;
    HayesModem modem;
    QByteArray device;  // what reached the device
};

TEST(HayesModem, AnswersCommandsWithEchoUntilTurnedOff) {
    const struct {
        const char* typed;
        const char* seen;
    } cases[] = {
        {"AT", "AT\r\r\nOK\r\n"},
        {"at&f", "at&f\r\r\nOK\r\n"},
        {"ATH", "ATH\r\r\nOK\r\n"},
        {"ATO", "ATO\r\r\nNO CARRIER\r\n"},  // no connection to return to
        {"hello", "hello\r"},                // not a command: echoed, not answered
        {"\x01L\x01\xd5"
         "at",
         "\x01L\x01\xd5"
         "at\r\r\nOK\r\n"},  // noise before "AT"
        {"ATE0", "ATE0\r\r\nOK\r\n"},
        {"AT", "\r\nOK\r\n"},  // the echo is off from then on
        {"ATZ", "\r\nOK\r\n"},
        {"AT", "AT\r\r\nOK\r\n"},  // and on again after a reset
    };
    ModemRig rig;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(rig.type(c.typed), QByteArray(c.seen));
    }
    EXPECT_TRUE(rig.device.isEmpty()) << "nothing reaches the device before a connection";
    EXPECT_TRUE(rig.terminal.carrier.empty());
}

TEST(HayesModem, DialAnswersConnectThenRaisesTheCarrierAndPassesBytes) {
    for (const char* dial : {"ATDP77", "ATDT1234"}) {
        SCOPED_TRACE(dial);
        ModemRig rig;
        EXPECT_EQ(rig.type(dial), QByteArray(dial) + '\r');
        EXPECT_EQ(rig.modem.dialled(), QByteArray(dial).mid(2));
        rig.clock.advance(1999);
        EXPECT_TRUE(rig.terminal.text.isEmpty()) << "dialling takes its time";
        rig.clock.advance(1);
        EXPECT_EQ(rig.terminal.text, "\r\nCONNECT\r\n");
        EXPECT_TRUE(rig.modem.online());
        // The carrier comes after the answer, so that the answer is taken on its own.
        rig.clock.advance(HayesModem::kConnectLeadMs - 1);
        EXPECT_TRUE(rig.terminal.carrier.empty());
        EXPECT_FALSE(rig.modem.carrier());
        rig.clock.advance(1);
        EXPECT_EQ(rig.terminal.carrier, std::vector{true});
        EXPECT_TRUE(rig.modem.carrier());

        rig.terminal.text.clear();
        rig.modem.fromTerminal("AT\r");  // online, text is data
        rig.modem.write("reply");
        EXPECT_EQ(rig.device, "AT\r");
        EXPECT_EQ(rig.terminal.text, "reply");
    }
}

TEST(HayesModem, EscapeNeedsGuardTimesAndKeepsTheConnection) {
    ModemRig rig;
    rig.connect();
    rig.modem.fromTerminal("a+++");  // no guard time before: data
    rig.clock.advance(2 * std::int64_t{HayesModem::kGuardTimeMs});
    EXPECT_TRUE(rig.modem.online());
    rig.modem.fromTerminal("+++");
    rig.clock.advance(HayesModem::kGuardTimeMs / 2);
    rig.modem.fromTerminal("b");  // no guard time after: data
    rig.clock.advance(2 * std::int64_t{HayesModem::kGuardTimeMs});
    EXPECT_TRUE(rig.modem.online());
    EXPECT_EQ(rig.device, "a++++++b");
    EXPECT_TRUE(rig.terminal.text.isEmpty());

    rig.modem.fromTerminal("+");
    rig.modem.fromTerminal("++");
    rig.clock.advance(HayesModem::kGuardTimeMs);
    EXPECT_FALSE(rig.modem.online());
    EXPECT_TRUE(rig.modem.carrier()) << "the escape keeps the connection";
    EXPECT_EQ(rig.terminal.text, "\r\nOK\r\n");
    rig.terminal.text.clear();
    rig.modem.write("lost");  // the device's bytes are not passed on in command mode
    EXPECT_TRUE(rig.terminal.text.isEmpty());
    EXPECT_EQ(rig.type("ATO"), "ATO\r\r\nCONNECT\r\n");
    EXPECT_TRUE(rig.modem.online());
    EXPECT_EQ(rig.terminal.carrier, std::vector{true});
}

// Every way a connection ends: the carrier drops, with the answer the terminal sees.
TEST(HayesModem, ConnectionEndsWithHangUpDtrOrTheFarEnd) {
    enum class End { EscapeAndHangUp, Dtr, FarEnd };
    const struct {
        End end;
        const char* seen;
    } cases[] = {
        {End::EscapeAndHangUp, "\r\nOK\r\nATH\r\r\nOK\r\n"},
        {End::Dtr, "\r\nNO CARRIER\r\n"},
        {End::FarEnd, "\r\nNO CARRIER\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seen);
        ModemRig rig;
        rig.connect();
        switch (c.end) {
            case End::EscapeAndHangUp:
                rig.clock.advance(HayesModem::kGuardTimeMs);
                rig.modem.fromTerminal("+++");
                rig.clock.advance(HayesModem::kGuardTimeMs);
                rig.modem.fromTerminal("ATH\r");
                break;
            case End::Dtr:
                rig.modem.setDTR(false);
                break;
            case End::FarEnd:
                rig.modem.hangUp();
                break;
        }
        EXPECT_EQ(rig.terminal.text, QByteArray(c.seen));
        EXPECT_EQ(rig.terminal.carrier, (std::vector{true, false}));
        EXPECT_FALSE(rig.modem.carrier());
        EXPECT_FALSE(rig.modem.online());
        rig.modem.setDTR(true);
        rig.terminal.text.clear();
        EXPECT_EQ(rig.type("ATDT5"), "ATDT5\r") << "the modem can dial again";
    }
}

TEST(HayesModem, DroppingDtrWhileDiallingCancelsTheCall) {
    ModemRig rig;
    rig.type("ATDT1");
    rig.modem.setDTR(false);
    rig.clock.advance(10'000);
    EXPECT_EQ(rig.terminal.text, "\r\nNO CARRIER\r\n");
    EXPECT_TRUE(rig.terminal.carrier.empty()) << "there never was a carrier";
    EXPECT_FALSE(rig.modem.online());
}

}  // namespace
}  // namespace orvet::sim
