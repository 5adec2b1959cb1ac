// The upload of a 64 KiB image through the port component on a virtual line paced at the line
// speed, to the simulated USPD answering as fast as the line allows (no turnaround, a block
// taken as soon as it is whole). Time is the test clock's, until 'W' is on the line. Each run
// reports its time beside figures computed in the same run from the frames actually sent:
//  - floor_ms: the protocol's floor with full collection windows: every frame both ways at
//    8N1, and per reply the 100 ms window and one 50 ms event-pacing interval;
//  - physical_ms: the 8N1 time of every frame both ways with no gaps at all;
//  - paced_ms: physical_ms and one event-pacing interval of the port's status watcher per
//    reply (50 ms; 1 ms with the fast exchange): a reply is seen up to that long after its
//    last byte;
// and the line efficiency: the 8N1 time of the payload / the upload's time, the share of the
// line that carried the image (1.0 only without any frame header, reply or gap).
//
// 9600 bit/s runs with 255-byte packets and an image of 255 × 255 = 65 025 bytes, the most
// 255 blocks of 255 bytes carry (64 KiB would need 258 blocks); 57 600 and 115 200 bit/s run
// with 1024-byte packets and 64 KiB.
//
// Measured (test clock: exact and repeatable). ratio = upload / floor, phys = upload /
// physical, paced = upload / paced:
//   mode      bit/s  upload_ms  floor_ms  physical_ms  paced_ms  ratio  phys  paced  line_eff
//   faithful   9600     107680    108980        70430     83280   0.99  1.53   1.29      0.63
//   fast       9600      70697    108980        70430     70687   0.65  1.004  1.00      0.96
//   faithful  57600      21361     21396        11496     14796   1.00  1.86   1.44      0.53
//   fast      57600      11549     21396        11496     11562   0.54  1.005  1.00      0.99
//   faithful 115200      15662     15648         5748      9048   1.00  2.72   1.73      0.36
//   fast     115200       5849     15648         5748      5814   0.37  1.018  1.01      0.97
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>

#include "link/fake_link.h"
#include "link/upload_session.h"
#include "sim/virtual_uspd.h"
#include "support/scripted_message_boxes.h"
#include "support/test_clock.h"

namespace orvet {
namespace {

// Milliseconds to send `bytes` characters of ten bits (8N1) at `baud`.
double transmitMs(qint64 bytes, int baud) {
    return bytes * 10 * 1000.0 / baud;
}

// Arguments: line speed, packet length, fast exchange (0 or 1).
void BM_Upload(benchmark::State& state) {
    const int baud = static_cast<int>(state.range(0));
    const int pakLen = static_cast<int>(state.range(1));
    const bool fast = state.range(2) != 0;
    const int imageSize =
        std::min(64 * 1024, pakLen * UploadExchange::kMaxBlocks);  // what the blocks can carry
    QTemporaryDir dir;
    QByteArray image(imageSize, '\0');
    for (int i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>(i * 7);
    {
        QFile file(dir.filePath("config.dat"));
        file.open(QIODevice::WriteOnly);
        file.write(image);
    }
    double elapsed = 0;
    double floor = 0;
    double physical = 0;
    double paced = 0;
    for (auto _ : state) {
        TestClock clock;
        MainThread mainThread;
        ScriptedMessageBoxes messages;
        Platform platform{clock, mainThread, messages, Settings::inFile(dir.filePath("s.ini"))};
        sim::Options options;
        options.turnaroundMs = 0;
        sim::VirtualUspd uspd(clock, options);
        TCommPort port(platform, uspd.line().opener(), TCommPort::Workers::Inline);
        LinkSettings link;
        link.PakLen = pakLen;
        link.FastExchange = fast;
        FakeView view;
        FakeDecisions decisions;
        // The restart keeps the line open until 'W' is through: a port closed at once after
        // 'W' (restart declined) can drop it on this virtual line. The upload's time ends
        // when the device has the image.
        decisions.restart = true;
        UploadSession session(platform, port, link, view, decisions);
        UploadExchange& exchange = session.exchange();
        exchange.setImagePath(dir.filePath("config.dat"));
        exchange.setDeviceNumberSource([] { return QStringLiteral("1"); });
        bool done = false;
        exchange.setOnFinished([&](UploadExchange::Outcome) { done = true; });
        SendTimes sent;
        exchange.setFrameTrace(&sent);
        qint64 lineBytes = 0;
        int replies = 0;
        uspd.device().onImage = [&](const QByteArray&) {
            lineBytes = uspd.device().frameBytes();
            replies = uspd.device().replies();
        };
        session.open(LineChoice::direct(1, baud));
        while (!done && clock.nowMs() < 1'200'000)
            clock.advance(10);
        if (uspd.device().image() != image || !uspd.device().imageComplete())
            state.SkipWithError("image not delivered");
        // Until 'W' is on the line. (The inline port writes it only after the 500 ms pause
        // that follows it; a port with its own threads writes it at once.)
        elapsed = double(sent.sentAt.at('W')) + transmitMs(4, baud);

        // Every request and reply on the line up to 'W'; the floor adds per reply the
        // collection window and one event-pacing interval.
        physical = transmitMs(lineBytes, baud);
        floor = physical + replies * (UploadExchange::kReplyWindowMs + TCommPort::kWatchPauseMs);
        paced = physical + replies * port.WatchPauseMs();
    }
    state.counters["upload_ms"] = elapsed;
    state.counters["floor_ms"] = floor;
    state.counters["physical_ms"] = physical;
    state.counters["paced_ms"] = paced;
    state.counters["ratio"] = elapsed / floor;
    state.counters["physical_ratio"] = elapsed / physical;
    state.counters["paced_ratio"] = elapsed / paced;
    state.counters["line_efficiency"] = transmitMs(imageSize, baud) / elapsed;
}
BENCHMARK(BM_Upload)
    ->ArgNames({"baud", "paklen", "fast"})
    ->ArgsProduct({{9600}, {255}, {0, 1}})
    ->ArgsProduct({{57600, 115200}, {1024}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvet
