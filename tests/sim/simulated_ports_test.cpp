// The training USPD behind a port mapping: which mappings name it, how a port opens it, and
// the port's worker threads on its line as the program runs them.
#include <gtest/gtest.h>

#include <QDir>
#include <cerrno>
#include <optional>

#include "link/frame.h"
#include "serial/comm_port.h"
#include "serial/serial_test_support.h"
#include "sim/simulated_ports.h"
#include "sim/virtual_uspd.h"
#include "support/test_platform.h"

namespace orvet::sim {
namespace {

TEST(SimulatedPortMapping, NamesTheTrainingUspdWithItsSettings) {
    struct Expected {
        bool modem = false;
        int device = 1;
        int major = 2;
        int minor = 25;
        int connectMs = 1000;
        int dropAfter = -1;
    };
    const struct {
        const char* mapping;
        std::optional<Expected> expected;  // none: a device path
        const char* error = "";
    } cases[] = {
        {"/dev/ttyUSB0", std::nullopt},
        {"simulator", std::nullopt},
        {"./sim", std::nullopt},
        {"sim", Expected{}},
        {" sim ", Expected{}},
        {"sim:modem", Expected{.modem = true}},
        {"sim device=7 firmware=2.30", Expected{.device = 7, .minor = 30}},
        {"sim:modem  connect=3000\tdrop-carrier=4 ",
         Expected{.modem = true, .connectMs = 3000, .dropAfter = 4}},
        {"sim:fax", Expected{}, "неизвестный вид «sim:fax», есть sim и sim:modem"},
        {"sim drop-carrier=2", Expected{}, "неверный параметр «drop-carrier=2»"},  // modem only
        {"sim:modem drop-carrier=0", Expected{.modem = true}, "неверный параметр «drop-carrier=0»"},
        {"sim device=256", Expected{}, "неверный параметр «device=256»"},
        {"sim firmware=2", Expected{}, "неверный параметр «firmware=2»"},
        {"sim speed=9600", Expected{}, "неверный параметр «speed=9600»"},
        {"sim,device=2", std::nullopt},  // a path, however unlikely
        {"sim device", Expected{}, "неверный параметр «device»"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mapping);
        const std::optional<SimulatedPort> port = simulatedPort(QString::fromUtf8(c.mapping));
        ASSERT_EQ(port.has_value(), c.expected.has_value());
        if (!port)
            continue;
        EXPECT_EQ(port->error, QString::fromUtf8(c.error));
        if (!port->error.isEmpty())
            continue;
        const Options& o = port->options;
        EXPECT_EQ(o.modem, c.expected->modem);
        EXPECT_EQ(o.device, c.expected->device);
        EXPECT_EQ(o.major, c.expected->major);
        EXPECT_EQ(o.minor, c.expected->minor);
        EXPECT_EQ(o.carrierDelayMs, c.expected->connectMs);
        EXPECT_EQ(o.faults.dropCarrierAfterBlocks, c.expected->dropAfter);
    }
}

TEST(SimulatedPortMapping, OpensTheTrainingUspdOrTheDevice) {
    testing::TestPlatform test;
    SimulatedPorts training(test.clock, test.dir() + "/images");
    QStringList others;
    LineOpener opener = training.opener([&others](const QString& path, int* error) {
        others << path;
        *error = ENOENT;
        return std::unique_ptr<SerialLine>();
    });
    int error = 0;
    EXPECT_EQ(opener(QStringLiteral("/dev/ttyS3"), &error), nullptr);
    EXPECT_EQ(error, ENOENT);
    EXPECT_EQ(others, QStringList{"/dev/ttyS3"});

    EXPECT_EQ(opener(QStringLiteral("sim:fax"), &error), nullptr);
    EXPECT_EQ(error, EINVAL) << "a training mapping that cannot be used opens nothing";
    EXPECT_EQ(training.device(), nullptr);

    std::unique_ptr<SerialLine> line = opener(QStringLiteral("sim:modem device=9"), &error);
    ASSERT_NE(line, nullptr);
    ASSERT_NE(training.device(), nullptr);
    EXPECT_TRUE(training.device()->line().nearOpen());
    EXPECT_NE(training.device()->device().modem(), nullptr);
    EXPECT_EQ(others.size(), 1);
    line.reset();

    // Each opening meets a fresh device; the previous one is gone with its timers.
    EXPECT_NE(opener(QStringLiteral("sim"), &error), nullptr);
    EXPECT_EQ(training.device()->device().modem(), nullptr);
    EXPECT_TRUE(QDir(test.dir()).entryList({"images"}).isEmpty())
        << "nothing is written before an image is received";
    EXPECT_EQ(training.imagePath(), test.dir() + "/images/config.dat");
}

// The program's arrangement: the port's real worker threads on the training line, the line
// paced and the modem run by the user-interface thread's clock (here the test clock, moved
// on by the test's pump).
TEST(SerialTrainingPort, ModemConnectsAnswersAndHangsUpThroughThePortThreads) {
    testing::TestPlatform test;
    SimulatedPorts training(test.clock, test.dir());
    TCommPort port(test.platform(), training.opener(&PosixLine::open));
    const auto pump = [&](const std::function<bool()>& done) {
        return testing::pumpUntil(test.mainThread, [&] {
            test.clock.advance(5);
            return done();
        });
    };
    port.SetDevicePath(QStringLiteral("sim:modem connect=100"));
    port.SetBaud(115200);
    port.OpenPort();
    ASSERT_TRUE(port.Open());
    port.SetDTR(true);
    port.PutString("ATDT1234\r");
    ASSERT_TRUE(pump([&] { return port.DCD(); })) << "the carrier comes up";
    HayesModem* modem = training.device()->device().modem();
    EXPECT_EQ(modem->dialled(), "DT1234");

    QByteArray seen(static_cast<int>(port.InBuffUsed()), '\0');
    port.GetBlock(seen.data(), seen.size());
    EXPECT_EQ(seen, "ATDT1234\r\r\nCONNECT\r\n");
    const QByteArray request = buildFrame(1, LinkCommand::Link);
    port.PutBlock(request.constData(), request.size());
    const QByteArray reply = buildFrame(1, LinkCommand::Link, QByteArray("\x02\x19", 2));
    ASSERT_TRUE(
        pump([&] { return port.InBuffUsed() >= static_cast<std::uint32_t>(reply.size()); }));
    seen.resize(static_cast<int>(port.InBuffUsed()));
    port.GetBlock(seen.data(), seen.size());
    EXPECT_EQ(seen, reply);

    // Closing the port drops DTR, and the modem hangs up.
    port.ClosePort();
    EXPECT_TRUE(pump([&] { return !modem->carrier(); }));
}

}  // namespace
}  // namespace orvet::sim
