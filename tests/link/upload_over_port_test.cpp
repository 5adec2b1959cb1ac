// The upload through the real port component (inline workers) on a virtual line paced at
// the line speed, with the simulated USPD at its far end, all on the test clock.
#include <gtest/gtest.h>

#include "link/comm_port_link.h"
#include "link/fake_link.h"
#include "support/test_files.h"
#include "support/test_platform.h"
#include "virtual_uspd.h"

namespace orvet {
namespace {

struct PortRig {
    explicit PortRig(sim::Options options, int imageSize = 3000)
        : uspd(test.clock, std::move(options)),
          port(test.platform(), uspd.line().opener(), TCommPort::Workers::Inline),
          line(port),
          exchange(test.platform(), line, link, view) {
        image.resize(imageSize);
        for (int i = 0; i < image.size(); ++i)
            image[i] = static_cast<char>(i * 13 + (i >> 4));
        testing::writeFile(test.dir() + "/config.dat", image);
        exchange.setImagePath(test.dir() + "/config.dat");
        exchange.setDeviceNumberSource([] { return QStringLiteral("1"); });
        exchange.setOnFinished([this](UploadExchange::Outcome o) { outcomes.push_back(o); });
        connectExchange(port, exchange);
        port.SetBaud(19200);
        port.SetOpen(true);
        port.SetRTS(true);
        port.SetDTR(true);
    }

    testing::TestPlatform test;
    sim::VirtualUspd uspd;
    TCommPort port;
    CommPortLink line;
    LinkSettings link;
    FakeView view;
    UploadExchange exchange;
    QByteArray image;
    std::vector<UploadExchange::Outcome> outcomes;
};

TEST(UploadOverPort, DirectLineDeliversAndRestarts) {
    PortRig rig({});
    rig.test.messages.expectQuestion("Перезагрузить УСПД?", true);
    rig.test.messages.expectQuestion("Очистить все архивы?", false);
    rig.test.messages.expectNotice("УСПД перезагружен");
    rig.exchange.startDirect();
    rig.test.clock.advance(30'000);
    EXPECT_EQ(rig.uspd.device().image(), rig.image);
    EXPECT_EQ(rig.outcomes, (std::vector{UploadExchange::Outcome::Restarted}));
    EXPECT_FALSE(rig.port.Open());
    EXPECT_FALSE(rig.uspd.line().DTR());
    EXPECT_FALSE(rig.uspd.device().archivesCleared());
}

TEST(UploadOverPort, RestartDeclinedAtOnceStillEndsTheImage) {
    PortRig rig({});
    rig.test.messages.expectQuestion("Перезагрузить УСПД?", false);
    rig.exchange.startDirect();
    rig.test.clock.advance(30'000);
    EXPECT_EQ(rig.outcomes, (std::vector{UploadExchange::Outcome::Delivered}));
    EXPECT_TRUE(rig.uspd.device().imageComplete()) << "the 'W' frame reached the device";
    EXPECT_EQ(rig.uspd.device().image(), rig.image);
    EXPECT_FALSE(rig.port.Open());
}

TEST(UploadOverPort, ModemCarrierLostClosesThePort) {
    sim::Options options;
    options.modem = true;
    options.faults.dropCarrierAfterBlocks = 2;
    PortRig rig(options);
    rig.exchange.startModem(true, "1234");
    rig.test.clock.advance(30'000);
    EXPECT_EQ(rig.outcomes, (std::vector{UploadExchange::Outcome::CarrierLost}));
    EXPECT_FALSE(rig.port.Open());
    EXPECT_FALSE(rig.view.visible);
    EXPECT_EQ(rig.uspd.device().frames().front().at(1), 'L') << "no frame before the carrier";
}

}  // namespace
}  // namespace orvet
