// TCommPort on the virtual line, its workers run inline on the test clock: every timing
// here is exact.
#include <gtest/gtest.h>

#include <QByteArray>
#include <cerrno>
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
using testing::TestPlatform;
using Log = std::vector<std::string>;

// A port whose far end the test plays, and the events it raised.
struct Rig {
    explicit Rig(bool paced = false, LineCalls* calls = nullptr)
        : line(paced ? &tp.clock : nullptr),
          port(tp.platform(),
               calls ? testing::countingOpener(line.opener(), *calls) : line.opener(),
               TCommPort::Workers::Inline) {
        testing::recordEvents(port, log);
    }

    void open() {
        port.OpenPort();
        ASSERT_TRUE(port.Open());
        log.clear();
    }
    // Lets one status watcher cycle pass.
    void cycle() { tp.clock.advance(TCommPort::kWatchPauseMs); }
    QByteArray take(int max) {
        QByteArray got(max, '\0');
        got.resize(port.GetBlock(got.data(), static_cast<std::size_t>(max)));
        return got;
    }

    Log log;
    TestPlatform tp;
    VirtualLine line;
    TCommPort port;
};

// --- Output ring -------------------------------------------------------------------------

struct PutCase {
    const char* name;
    std::uint32_t pos;   // OutBuffPos before
    std::uint32_t used;  // bytes already queued from there
    int len;
    int copied;
};

void PrintTo(const PutCase& c, std::ostream* os) {
    *os << c.name;
}

class SerialPutBlock : public ::testing::TestWithParam<PutCase> {};

// Output is held by hardware flow control (CTS off) while the ring is filled; raising CTS
// then shows exactly which bytes were queued, in order, across the wrap.
TEST_P(SerialPutBlock, QueuesWhatFitsAndSendsItInOrder) {
    const PutCase& c = GetParam();
    Rig rig;
    rig.port.SetComControl(ccHard);
    rig.open();
    ASSERT_EQ(rig.port.OutSize(), 4096u);
    rig.port.OutBuffPos = c.pos;
    const QByteArray queued = pattern(static_cast<int>(c.used), 1);
    ASSERT_EQ(rig.port.PutBlock(queued.constData(), queued.size()), queued.size());
    const QByteArray data = pattern(c.len, 2);

    EXPECT_EQ(rig.port.PutBlock(data.constData(), data.size()), c.copied);
    EXPECT_EQ(rig.port.OutBuffUsed(), c.used + static_cast<std::uint32_t>(c.copied));
    EXPECT_EQ(rig.line.receivedCount(), 0);

    rig.line.setCTS(true);
    rig.cycle();
    EXPECT_EQ(rig.line.takeReceived(), queued + data.left(c.copied));
    EXPECT_EQ(rig.port.OutBuffUsed(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialPutBlock,
    ::testing::Values(PutCase{"5000 into an empty 4096", 0, 0, 5000, 4096},
                      PutCase{"to the end exactly", 0, 0, 4096, 4096},
                      PutCase{"wraps from 4000", 4000, 0, 200, 200},
                      PutCase{"both free ends, start limited by the position", 1000, 3000, 500,
                              500},
                      PutCase{"start free part smaller than the rest", 300, 3700, 500, 396},
                      PutCase{"queue wraps, only the gap is free", 100, 4000, 200, 96},
                      PutCase{"full", 10, 4096, 1, 0}, PutCase{"nothing", 5, 5, 0, 0}));

TEST(SerialRing, PutBlockSplitsAtTheEndOfTheRing) {
    Rig rig;
    rig.port.SetComControl(ccHard);
    rig.open();
    rig.port.OutBuffPos = 4000;
    const QByteArray data = pattern(200);
    ASSERT_EQ(rig.port.PutBlock(data.constData(), data.size()), 200);
    EXPECT_EQ(QByteArray(rig.port.OutBuff() + 4000, 96), data.left(96));
    EXPECT_EQ(QByteArray(rig.port.OutBuff(), 104), data.mid(96));
}

// The device link builds a frame in OutBuff and queues OutBuff itself.
TEST(SerialRing, FrameBuiltInPlaceIsQueuedUnchanged) {
    Rig rig;
    rig.open();
    const QByteArray stale = pattern(10);
    rig.port.PutBlock(stale.constData(), stale.size());
    rig.line.takeReceived();

    const QByteArray frame = pattern(300, 5);
    rig.port.FlushOutBuffer();
    rig.port.OutBuffPos = 0;
    std::copy(frame.begin(), frame.end(), rig.port.OutBuff());
    EXPECT_EQ(rig.port.PutBlock(rig.port.OutBuff(), frame.size()), frame.size());
    EXPECT_EQ(rig.line.takeReceived(), frame);
}

// --- Input ring --------------------------------------------------------------------------

struct GetCase {
    const char* name;
    std::uint32_t pos;  // InBuffPos before the bytes arrive
    int arrive;
    int max;
    int got;
};

void PrintTo(const GetCase& c, std::ostream* os) {
    *os << c.name;
}

class SerialGetBlock : public ::testing::TestWithParam<GetCase> {};

TEST_P(SerialGetBlock, TakesUpToMaxInOrderAndKeepsTheRest) {
    const GetCase& c = GetParam();
    Rig rig;
    rig.open();
    ASSERT_EQ(rig.port.InSize(), 2048u);
    rig.port.InBuffPos = c.pos;
    const QByteArray sent = pattern(c.arrive);
    rig.line.send(sent);
    rig.cycle();
    const std::uint32_t inRing =
        std::min<std::uint32_t>(static_cast<std::uint32_t>(c.arrive), 2048);
    ASSERT_EQ(rig.port.InBuffUsed(), inRing);

    EXPECT_EQ(rig.take(c.max), sent.left(c.got));
    EXPECT_EQ(rig.port.InBuffUsed(), inRing - static_cast<std::uint32_t>(c.got));
    // GetBlock wakes the reader, which fetches what the full ring had left in the device.
    rig.tp.clock.advance(1);
    EXPECT_EQ(rig.take(4096), sent.mid(c.got));
    EXPECT_FALSE(rig.port.CharReady());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialGetBlock,
    ::testing::Values(GetCase{"3 unread, max 10", 0, 3, 10, 3},
                      GetCase{"wrapped, all of it", 2000, 100, 100, 100},
                      GetCase{"wrapped, part of the first run", 2000, 100, 30, 30},
                      GetCase{"wrapped, into the second run", 2000, 100, 60, 60},
                      GetCase{"full ring, rest waits in the device", 0, 2148, 2048, 2048},
                      GetCase{"full wrapped ring", 1500, 2148, 600, 600}));

TEST(SerialRing, EmptyOrClosedPortGivesNothing) {
    Rig rig;
    char c = 'x';
    EXPECT_EQ(rig.port.PutBlock("abc", 3), 0);
    EXPECT_EQ(rig.port.GetBlock(&c, 1), 0);
    rig.open();
    EXPECT_EQ(rig.port.GetChar(), 0);
    EXPECT_FALSE(rig.port.CharReady());
    EXPECT_EQ(rig.port.PutString(""), 0);
    EXPECT_EQ(rig.port.PutString("ab"), 2);
    EXPECT_EQ(rig.port.PutChar('c'), 1);
    EXPECT_EQ(rig.line.takeReceived(), "abc");
}

// The device link reads a reply in place from index 0.
TEST(SerialRing, ReplyLandsAtTheStartAfterFlushAndPositionReset) {
    Rig rig;
    rig.open();
    rig.line.send("junk");
    rig.cycle();
    rig.take(2);
    rig.port.FlushInBuffer();
    rig.port.InBuffPos = 0;
    rig.line.send("reply");
    rig.cycle();
    ASSERT_EQ(rig.port.InBuffUsed(), 5u);
    EXPECT_EQ(QByteArray(rig.port.InBuff(), 5), "reply");
}

// A ring with no room is a full one: the reader leaves the bytes in the device.
TEST(SerialRing, ZeroSizeInputRingLeavesBytesInTheDevice) {
    Rig rig;
    rig.port.SetIBuffSize(0);
    rig.open();
    rig.line.send("abc");
    rig.cycle();
    EXPECT_EQ(rig.port.InBuffUsed(), 0u);
    EXPECT_EQ(rig.take(3), QByteArray());
    EXPECT_EQ(rig.log, (Log{"RxD"})) << "no data delivery";
}

TEST(SerialRing, FlushesDiscardTheRingsAndTheDeviceQueues) {
    Rig rig;
    rig.port.SetComControl(ccHard);
    rig.open();
    rig.line.send(pattern(2100));
    rig.cycle();
    ASSERT_EQ(rig.port.InBuffUsed(), 2048u);
    rig.port.FlushInBuffer();
    EXPECT_EQ(rig.port.InBuffUsed(), 0u);
    rig.cycle();
    EXPECT_EQ(rig.port.InBuffUsed(), 0u) << "the 52 bytes left in the device were purged too";

    rig.port.PutString("held");
    rig.port.FlushOutBuffer();
    EXPECT_EQ(rig.port.OutBuffUsed(), 0u);
    rig.line.setCTS(true);
    rig.cycle();
    EXPECT_EQ(rig.line.receivedCount(), 0);
}

// --- Open, close and their events --------------------------------------------------------

TEST(SerialOpenClose, EventsOfOpenAndCloseHappenOnce) {
    Rig rig;
    rig.port.OpenPort();
    rig.port.OpenPort();
    rig.port.SetOpen(true);
    EXPECT_EQ(rig.log, (Log{"Open:0"}));
    rig.log.clear();

    rig.line.send("abc");
    rig.cycle();
    EXPECT_EQ(rig.log, (Log{"RxD", "Data:3"}));
    rig.log.clear();

    rig.port.ClosePort();
    EXPECT_EQ(rig.log, (Log{"Data:3", "Close"}));
    EXPECT_FALSE(rig.port.Open());
    EXPECT_FALSE(rig.line.nearOpen());
    EXPECT_EQ(rig.port.InBuffUsed(), 0u);
    rig.log.clear();
    rig.port.ClosePort();
    rig.port.SetOpen(false);
    rig.cycle();
    EXPECT_TRUE(rig.log.empty());
}

TEST(SerialOpenClose, FailedOpenStaysClosedAndLeavesTheReportToTheCaller) {
    Rig rig;
    rig.line.unplug();
    rig.port.OpenPort();
    EXPECT_FALSE(rig.port.Open());
    EXPECT_FALSE(rig.port.IsEnabled());
    EXPECT_TRUE(rig.log.empty()) << "no OnOpen";
    EXPECT_TRUE(rig.tp.messages.shown().empty());
    ASSERT_NE(rig.port.OutBuff(), nullptr) << "the link builds frames in it even so";
    EXPECT_EQ(rig.port.PutBlock(rig.port.OutBuff(), 10), 0);
    rig.port.ClosePort();
    EXPECT_TRUE(rig.log.empty());
}

TEST(SerialOpenClose, OpeningABusyDeviceFails) {
    Rig rig;
    rig.open();
    TCommPort second(rig.tp.platform(), rig.line.opener(), TCommPort::Workers::Inline);
    second.OpenPort();
    EXPECT_FALSE(second.Open());
}

TEST(SerialOpenClose, RingSizeChangeReopensAnOpenPort) {
    Rig rig;
    rig.open();
    rig.port.SetIBuffSize(512);
    EXPECT_EQ(rig.log, (Log{"Data:0", "Close", "Open:0"}));
    EXPECT_TRUE(rig.port.Open());
    rig.line.send(pattern(600));
    rig.cycle();
    EXPECT_EQ(rig.port.InBuffUsed(), 512u);
    rig.log.clear();
    rig.port.SetOBuffSize(100);
    EXPECT_EQ(rig.log, (Log{"Data:512", "Close", "Open:0"}));
    EXPECT_EQ(rig.port.OutBuffFree(), 100u);

    rig.port.SetComNumber(5);
    EXPECT_FALSE(rig.port.Open()) << "a new port number closes and does not reopen";
    EXPECT_EQ(rig.port.ComNumber(), 5);
}

TEST(SerialOpenClose, CloseSendsWhatIsQueuedUnlessCtsHoldsIt) {
    Rig rig(true);
    rig.open();
    rig.port.PutString("all of it");
    rig.port.ClosePort();
    rig.tp.clock.advance(20);
    EXPECT_EQ(rig.line.takeReceived(), "all of it");

    rig.port.SetComControl(ccHard);
    rig.open();
    rig.port.PutString("held");
    rig.port.ClosePort();
    rig.line.setCTS(true);
    rig.tp.clock.advance(20);
    EXPECT_EQ(rig.line.receivedCount(), 0);
}

// The carrier-loss path of the device link closes the port from OnDCDSignal.
TEST(SerialOpenClose, HandlerMayCloseThePort) {
    Rig rig;
    rig.line.setDCD(true);
    rig.open();
    testing::closeOnCarrierLoss(rig.port, rig.log);
    rig.line.send("x");
    rig.line.setDCD(false);
    rig.cycle();
    EXPECT_EQ(rig.log, (Log{"DCD", "Data:1", "Close"})) << "no RxD and no second Data";
    EXPECT_FALSE(rig.port.Open());
    rig.log.clear();
    rig.cycle();
    EXPECT_TRUE(rig.log.empty());
    rig.port.OpenPort();
    EXPECT_EQ(rig.log, (Log{"Open:0"}));
}

// --- Settings ----------------------------------------------------------------------------

TEST(SerialSettings, StoredValues) {
    Rig rig;
    TCommPort& port = rig.port;
    EXPECT_EQ(port.ComNumber(), 2);
    EXPECT_EQ(port.Baud(), 9600);
    EXPECT_EQ(port.DataBits(), 8);
    EXPECT_EQ(port.XoffLim(), 1024);
    EXPECT_EQ(port.MonitorEvents(),
              eventSet({evRxChar, evTxEmpty, evCTS, evDSR, evRlsd, evBreak, evError, evRing}));

    port.SetDataBits(9);
    EXPECT_EQ(port.DataBits(), 8);
    port.SetDataBits(5);
    EXPECT_EQ(port.DataBits(), 5);
    port.SetDataBits(4);
    EXPECT_EQ(port.DataBits(), 8);

    port.SetBaud(56000);
    EXPECT_EQ(port.Baud(), 56000);
    EXPECT_EQ(port.BaudRate(), cbr56000);
    port.SetBaud(12345);
    EXPECT_EQ(port.BaudRate(), cbr56000);
    port.SetBaudRate(static_cast<TBaudRate>(15));
    EXPECT_EQ(port.Baud(), 0);

    port.SetXoffLim(3000);
    EXPECT_EQ(port.XoffLim(), 2048);
    port.SetIBuffSize(65353);
    port.SetXoffLim(65535);
    EXPECT_EQ(port.XoffLim(), 65353);
    port.SetIBuffSize(65354);
    port.SetXoffLim(65535);
    EXPECT_EQ(port.XoffLim(), 65535);
}

TEST(SerialSettings, BaudTableRoundTrips) {
    const int rates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                         19200, 38400, 56000, 57600, 115200, 128000, 256000};
    Rig rig;
    for (int i = 0; i < 15; ++i) {
        rig.port.SetBaud(rates[i]);
        EXPECT_EQ(rig.port.BaudRate(), static_cast<TBaudRate>(i)) << rates[i];
        EXPECT_EQ(rig.port.Baud(), rates[i]);
    }
}

TEST(SerialSettings, OpenAppliesEverySettingAndLaterChangesApplyAtOnce) {
    Rig rig;
    rig.port.SetBaud(19200);
    rig.port.SetParity(paMark);
    rig.port.SetComControl(ccSoft);
    rig.port.SetXonChar('q');
    rig.port.SetEventChar('!');
    rig.open();
    LineSettings s = rig.line.nearSettings();
    EXPECT_EQ(s.baudRate, 19200);
    EXPECT_EQ(s.parity, paMark);
    EXPECT_EQ(s.control, ccSoft);
    EXPECT_EQ(s.xonChar, 'q');
    EXPECT_EQ(s.eventChar, '!');
    EXPECT_EQ(s.xoffLim, 1024);

    rig.port.SetParity(paSpace);
    rig.port.SetStopBits(sb2_0);
    rig.port.SetDataBits(7);
    rig.port.SetXoffLim(100);
    s = rig.line.nearSettings();
    EXPECT_EQ(s.parity, paSpace);
    EXPECT_EQ(s.stopBits, sb2_0);
    EXPECT_EQ(s.dataBits, 7);
    EXPECT_EQ(s.xoffLim, 100);
}

struct BitsCase {
    int dataBits;
    TStopBits stopBits;
    const char* warning;  // null: none
};

void PrintTo(const BitsCase& c, std::ostream* os) {
    *os << c.dataBits << " data bits, stop bits #" << c.stopBits;
}

class SerialBitsWarning : public ::testing::TestWithParam<BitsCase> {};

TEST_P(SerialBitsWarning, WarnsOnEachSetterAndTwiceOnOpen) {
    const BitsCase& c = GetParam();
    Rig rig;
    rig.tp.messages.allowNotices();
    rig.port.SetDataBits(static_cast<std::uint16_t>(c.dataBits));
    rig.port.SetStopBits(c.stopBits);
    const std::size_t expectedPerSetter = c.warning ? 1 : 0;
    EXPECT_EQ(rig.tp.messages.shown().size(), expectedPerSetter) << "after SetStopBits";
    rig.tp.messages.clear();
    rig.tp.messages.allowNotices();

    rig.port.OpenPort();
    const auto& shown = rig.tp.messages.shown();
    ASSERT_EQ(shown.size(), 2 * expectedPerSetter);
    for (const auto& box : shown) {
        EXPECT_EQ(box.kind, ScriptedMessageBoxes::Kind::Warning);
        EXPECT_EQ(box.text, QString::fromLatin1(c.warning));
        EXPECT_EQ(box.caption, QStringLiteral("COM port warning"));
    }
    EXPECT_EQ(rig.line.nearSettings().stopBits, c.stopBits) << "warned, still applied";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialBitsWarning,
    ::testing::Values(
        BitsCase{5, sb2_0, "Invalid combination (5 data bits with 2 stop bits)"},
        BitsCase{8, sb1_5, "Invalid combination (6,7 or 8 data bits with 1.5 stop bits)"},
        BitsCase{6, sb1_5, "Invalid combination (6,7 or 8 data bits with 1.5 stop bits)"},
        BitsCase{5, sb1_5, nullptr}, BitsCase{6, sb2_0, nullptr}, BitsCase{8, sb1_0, nullptr}));

// --- Modem lines, break ------------------------------------------------------------------

TEST(SerialModemLines, DtrAndRtsAreRecordedAndAppliedOnOpen) {
    Rig rig;
    rig.port.SetDTR(true);
    EXPECT_TRUE(rig.port.DTR());
    EXPECT_FALSE(rig.line.DTR()) << "closed: only recorded";
    rig.open();
    EXPECT_TRUE(rig.line.DTR());
    EXPECT_FALSE(rig.line.RTS());
    rig.port.SetRTS(true);
    EXPECT_TRUE(rig.line.RTS());
    rig.port.PowerOff();
    EXPECT_FALSE(rig.line.DTR() || rig.line.RTS() || rig.port.DTR() || rig.port.RTS());
    rig.port.PowerOn();
    EXPECT_TRUE(rig.line.DTR() && rig.line.RTS());

    rig.line.unplug();
    rig.port.SetDTR(false);
    EXPECT_TRUE(rig.port.DTR()) << "a failed change is not recorded";
    rig.port.PowerOff();
    EXPECT_FALSE(rig.port.DTR()) << "PowerOff records whatever the outcome";
}

TEST(SerialModemLines, InputsFollowTheWatcherAndClearOnClose) {
    Rig rig;
    rig.line.setCTS(true);
    rig.open();
    EXPECT_TRUE(rig.port.CTS()) << "read when the port opens";
    rig.line.setDCD(true);
    rig.line.setDSR(true);
    EXPECT_TRUE(rig.port.GetModemState(4)) << "read now";
    EXPECT_TRUE(rig.port.GetModemState(2));
    EXPECT_FALSE(rig.port.GetModemState(3));
    EXPECT_FALSE(rig.port.GetModemState(0));
    EXPECT_FALSE(rig.port.DCD()) << "the watcher has not seen it yet";
    rig.cycle();
    EXPECT_TRUE(rig.port.DCD() && rig.port.DSR() && rig.port.CTS());
    EXPECT_EQ(rig.log, (Log{"DCD", "DSR"}));
    rig.port.ClosePort();
    EXPECT_FALSE(rig.port.CTS() || rig.port.DSR() || rig.port.DCD() || rig.port.Ring());
    EXPECT_FALSE(rig.port.GetModemState(1));
}

TEST(SerialModemLines, SendBreakHoldsTheBreakForTheTicks) {
    Rig rig;
    EXPECT_FALSE(rig.port.SetBreak(true)) << "closed";
    rig.open();
    EXPECT_TRUE(rig.port.SetBreak(true));
    EXPECT_TRUE(rig.line.breakOn());
    EXPECT_TRUE(rig.port.SetBreak(false));
    rig.port.SendBreak(10);
    EXPECT_EQ(rig.tp.clock.pauses(), (std::vector<int>{550}));
    EXPECT_FALSE(rig.line.breakOn());
}

// --- Line events and their pacing --------------------------------------------------------

TEST(SerialEvents, OneDeliveryCallsHandlersInTheFixedOrder) {
    Rig rig;
    rig.port.SetMonitorEvents(rig.port.MonitorEvents() | eventSet({evRxEventChar}));
    rig.port.SetEventChar('!');
    rig.open();
    rig.port.PutString("out");
    rig.line.sendBreak();
    rig.line.raiseLineErrors(CE_FRAME | CE_OVERRUN);
    rig.line.send("in!");
    rig.line.setRing(true);
    rig.line.setDSR(true);
    rig.line.setDCD(true);
    rig.line.setCTS(true);
    rig.cycle();
    EXPECT_EQ(rig.log, (Log{"CTS", "DCD", "DSR", "Ring", "RxD", "RxEvent", "TxD", "Break",
                            "Error:10", "Data:3"}));
}

TEST(SerialEvents, ReceiveAndTransmitInOneDelivery) {
    Rig rig;
    rig.open();
    rig.line.send("x");
    rig.port.PutChar('y');
    rig.cycle();
    EXPECT_EQ(rig.log, (Log{"RxD", "TxD", "Data:1"}));
}

TEST(SerialEvents, MonitorEventsChoosesWhatIsReported) {
    Rig rig;
    rig.port.SetMonitorEvents(eventSet({evRlsd}));
    rig.open();
    rig.line.send("x");
    rig.line.setCTS(true);
    rig.cycle();
    EXPECT_TRUE(rig.log.empty()) << "no RXCHAR wait: the bytes wait in the device";
    rig.line.setDCD(true);
    rig.cycle();
    EXPECT_EQ(rig.log, (Log{"DCD"}));
}

// Bytes that arrive while the reader is idle come with the watcher's next completed wait,
// at most one per 50 ms; each delivery counts every unread byte.
struct WatchPauseCase {
    int pauseMs;                          // as set before the port opens
    std::vector<std::string> deliveries;  // "count@ms"
};

void PrintTo(const WatchPauseCase& c, std::ostream* os) {
    *os << "pause " << c.pauseMs << " ms";
}

class SerialWatchPause : public ::testing::TestWithParam<WatchPauseCase> {};

// Bytes at 10, 60, 80 and 300 ms: the watcher sees what arrived during its pause when the
// pause ends, and a byte after a long quiet spell at once.
TEST_P(SerialWatchPause, DeliveriesFollowThePauseOfTheWatcher) {
    const WatchPauseCase& c = GetParam();
    std::vector<std::string> at;
    Rig rig;
    rig.port.OnDataReceived = [&](TCommPort&, int count) {
        at.push_back(std::to_string(count) + "@" + std::to_string(rig.tp.clock.nowMs()));
    };
    rig.port.SetWatchPauseMs(c.pauseMs);
    rig.open();
    rig.port.SetWatchPauseMs(TCommPort::kWatchPauseMs);  // read when the port opens
    rig.tp.clock.advance(10);
    rig.line.send("a");
    rig.tp.clock.advance(50);
    rig.line.send("b");
    rig.tp.clock.advance(20);
    rig.line.send("c");
    rig.tp.clock.advance(220);
    rig.line.send("d");
    rig.tp.clock.advance(5);
    EXPECT_EQ(at, c.deliveries);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialWatchPause,
    ::testing::Values(WatchPauseCase{50, {"1@50", "3@100", "4@301"}},
                      WatchPauseCase{1, {"1@11", "2@61", "3@81", "4@301"}},
                      WatchPauseCase{0, {"1@11", "2@61", "3@81", "4@301"}},
                      WatchPauseCase{-5, {"1@11", "2@61", "3@81", "4@301"}},  // taken as 0
                      WatchPauseCase{500, {"1@50", "3@100", "4@301"}}));      // taken as 50

struct PaceCase {
    int baud;
    int dataBits;
    TParity parity;
    TStopBits stopBits;
    int chars;  // characters that take exactly 100 ms
};

void PrintTo(const PaceCase& c, std::ostream* os) {
    *os << c.baud << " bit/s " << c.dataBits << " data bits";
}

class SerialLinePacing : public ::testing::TestWithParam<PaceCase> {};

TEST_P(SerialLinePacing, CharactersTakeTheirBitsAtTheLineSpeed) {
    const PaceCase& c = GetParam();
    Rig rig(true);
    rig.tp.messages.allowNotices();
    rig.port.SetBaud(c.baud);
    rig.port.SetDataBits(static_cast<std::uint16_t>(c.dataBits));
    rig.port.SetParity(c.parity);
    rig.port.SetStopBits(c.stopBits);
    rig.open();
    rig.line.send(pattern(c.chars));
    rig.port.PutBlock(pattern(c.chars).constData(), static_cast<std::size_t>(c.chars));
    rig.tp.clock.advance(99);
    EXPECT_GT(rig.line.inFlightToNear(), 0);
    EXPECT_LT(rig.line.receivedCount(), c.chars);
    rig.tp.clock.advance(1);
    EXPECT_EQ(rig.line.inFlightToNear(), 0);
    EXPECT_EQ(rig.line.receivedCount(), c.chars);
    EXPECT_EQ(rig.port.OutQueCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, SerialLinePacing,
                         ::testing::Values(PaceCase{9600, 8, paNone, sb1_0, 96},
                                           PaceCase{1200, 7, paEven, sb1_0, 12},
                                           PaceCase{110, 8, paNone, sb2_0, 1},
                                           PaceCase{300, 5, paNone, sb1_5, 4},
                                           PaceCase{115200, 8, paNone, sb1_0, 1152}));

// The user-interface thread blocks (the pause before the restart frame) while the line goes
// on sending; the next frame's flush must not discard what was sent meanwhile.
TEST(SerialPacing, ABlockingPauseDoesNotHoldTheLineUp) {
    Rig rig(true);
    rig.open();
    rig.port.PutString("last frame");
    rig.tp.clock.pause(500);
    rig.port.FlushOutBuffer();
    EXPECT_EQ(rig.line.takeReceived(), "last frame");
}

// --- Flow control, faults ----------------------------------------------------------------

TEST(SerialFlowControl, HardwareFlowControlHoldsOutputUntilCts) {
    Rig rig;
    rig.port.SetComControl(ccHard);
    rig.open();
    rig.port.PutString("held back");
    rig.tp.clock.advance(500);
    EXPECT_EQ(rig.line.receivedCount(), 0);
    EXPECT_EQ(rig.port.OutBuffUsed(), 9u);
    rig.line.setCTS(true);
    rig.cycle();
    EXPECT_EQ(rig.line.takeReceived(), "held back") << "sent without another PutBlock";
    rig.cycle();
    EXPECT_EQ(rig.log, (Log{"CTS", "TxD"}));

    rig.line.setCTS(false);
    rig.cycle();
    rig.port.PutString("then released");
    rig.tp.clock.advance(1);
    EXPECT_EQ(rig.line.receivedCount(), 0);
    rig.port.SetComControl(ccNone);
    rig.tp.clock.advance(1);
    EXPECT_EQ(rig.line.takeReceived(), "then released");
}

TEST(SerialFlowControl, XoffFromTheFarEndHoldsOutputUntilXon) {
    Rig rig;
    rig.port.SetComControl(ccSoft);
    rig.open();
    rig.line.send(QByteArray(1, '\x13'));
    rig.port.PutString("wait");
    EXPECT_EQ(rig.line.receivedCount(), 0);
    EXPECT_EQ(rig.port.OutQueCount(), 4) << "taken by the device, held there";
    rig.line.send(QByteArray(1, '\x11'));
    EXPECT_EQ(rig.line.takeReceived(), "wait");
    rig.cycle();
    EXPECT_EQ(rig.port.InBuffUsed(), 0u) << "XON and XOFF are not data";
}

TEST(SerialFaults, FailingWriteIsTriedThreeTimesPerWakeUp) {
    LineCalls calls;
    Rig rig(false, &calls);
    rig.open();
    rig.line.failWrites(4, EIO);
    rig.port.PutString("abc");
    EXPECT_EQ(calls.writes, 3);
    rig.tp.clock.advance(1000);
    EXPECT_EQ(calls.writes, 3) << "waits for the next wake-up";
    EXPECT_EQ(rig.line.receivedCount(), 0);
    rig.port.PutChar('d');
    EXPECT_EQ(rig.line.takeReceived(), "abcd");
}

TEST(SerialFaults, FailingReadIsTriedThreeTimesPerWakeUp) {
    LineCalls calls;
    Rig rig(false, &calls);
    rig.open();
    rig.line.failReads(3, EIO);
    rig.line.send("xyz");
    rig.cycle();
    EXPECT_EQ(calls.reads, 3);
    EXPECT_EQ(rig.port.InBuffUsed(), 0u);
    rig.line.send("w");
    rig.cycle();
    EXPECT_EQ(rig.take(10), "xyzw");
}

// A USB adapter pulled out while the port is open.
TEST(SerialFaults, VanishedDeviceReportsOnceAndLetsThePortClose) {
    LineCalls calls;
    Rig rig(false, &calls);
    rig.line.setDCD(true);
    rig.open();
    rig.line.unplug();
    rig.cycle();
    EXPECT_EQ(rig.log, (Log{"DCD", "Error:1024"}));
    EXPECT_FALSE(rig.port.DCD());
    EXPECT_EQ(rig.port.PutString("lost"), 4);
    EXPECT_EQ(calls.writes, 3);
    rig.tp.clock.advance(1000);
    EXPECT_EQ(calls.writes + calls.reads, 3) << "nothing retries a device that is gone";
    rig.log.clear();
    rig.port.ClosePort();
    EXPECT_EQ(rig.log, (Log{"Data:0", "Close"}));
}

// --- Port numbers ------------------------------------------------------------------------

TEST(SerialPortPath, NumbersMapToDevicesThroughTheSettings) {
    TestPlatform tp;
    const Settings& settings = tp.settings();
    EXPECT_EQ(comPortPath(settings, 1), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(comPortPath(settings, 8), QStringLiteral("/dev/ttyS7"));
    EXPECT_EQ(comPortPath(settings, 0), QString());
    settings.writeString(QStringLiteral("COM3"), QStringLiteral("/dev/ttyUSB0"),
                         QStringLiteral("Ports"));
    settings.writeString(QStringLiteral("COM4"), QString(), QStringLiteral("Ports"));
    EXPECT_EQ(comPortPath(settings, 3), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(comPortPath(settings, 4), QStringLiteral("/dev/ttyS3")) << "empty: the default";
}

TEST(SerialPortPath, PortOpensTheMappedDevice) {
    TestPlatform tp;
    VirtualLine line;
    QStringList opened;
    LineOpener recording = [&](const QString& path, int* error) {
        opened << path;
        return line.opener()(path, error);
    };
    TCommPort port(tp.platform(), recording, TCommPort::Workers::Inline);
    tp.settings().writeString(QStringLiteral("COM3"), QStringLiteral("/dev/ttyUSB0"),
                              QStringLiteral("Ports"));
    port.SetComNumber(3);
    port.OpenPort();
    port.SetComNumber(2);
    port.OpenPort();
    EXPECT_EQ(opened, (QStringList{"/dev/ttyUSB0", "/dev/ttyS1"}));

    // A path given to the port wins over the number until it is taken back.
    port.ClosePort();
    port.SetDevicePath(QStringLiteral("/dev/pts/7"));
    EXPECT_EQ(port.DevicePath(), QStringLiteral("/dev/pts/7"));
    port.OpenPort();
    port.ClosePort();
    port.SetDevicePath(QString());
    EXPECT_EQ(port.DevicePath(), QStringLiteral("/dev/ttyS1"));
    EXPECT_EQ(opened.last(), QStringLiteral("/dev/pts/7"));
}

TEST(SerialPortPath, FailedOpenKeepsTheSystemsReason) {
    Rig rig;
    rig.line.unplug();
    rig.port.OpenPort();
    EXPECT_EQ(rig.port.OpenError(), ENOENT);
    rig.line.plugIn();
    rig.port.OpenPort();
    ASSERT_TRUE(rig.port.Open());
    EXPECT_EQ(rig.port.OpenError(), 0);
}

}  // namespace
}  // namespace orvet
