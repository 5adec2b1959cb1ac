// The upload of a 64 KiB image at 115 200 bit/s with 1024-byte packets, through the port
// component on a virtual line paced at the line speed, to the simulated USPD. Time is the
// test clock's: the figure is the exchange's time beside the protocol's floor, computed in
// the same run from the frames actually sent (their transmit times, the 100 ms collection
// window and the 50 ms event pacing per reply).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include "link/fake_link.h"
#include "link/upload_session.h"
#include "support/scripted_message_boxes.h"
#include "support/test_clock.h"
#include "virtual_uspd.h"

namespace orvet {
namespace {

constexpr int kImageSize = 64 * 1024;
constexpr int kBaud = 115200;
constexpr int kPakLen = 1024;

// Milliseconds to send `bytes` characters of ten bits (8N1) at the line speed.
double transmitMs(qint64 bytes) {
    return bytes * 10 * 1000.0 / kBaud;
}

void BM_Upload64KiB(benchmark::State& state) {
    QTemporaryDir dir;
    QByteArray image(kImageSize, '\0');
    for (int i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>(i * 7);
    {
        QFile file(dir.filePath("config.dat"));
        file.open(QIODevice::WriteOnly);
        file.write(image);
    }
    double elapsed = 0;
    double floor = 0;
    for (auto _ : state) {
        TestClock clock;
        MainThread mainThread;
        ScriptedMessageBoxes messages;
        Platform platform{clock, mainThread, messages, Settings::inFile(dir.filePath("s.ini"))};
        sim::VirtualUspd uspd(clock, {});
        TCommPort port(platform, uspd.line().opener(), TCommPort::Workers::Inline);
        LinkSettings link;
        link.PakLen = kPakLen;
        FakeView view;
        FakeDecisions decisions;
        UploadSession session(platform, port, link, view, decisions);
        UploadExchange& exchange = session.exchange();
        exchange.setImagePath(dir.filePath("config.dat"));
        exchange.setDeviceNumberSource([] { return QStringLiteral("1"); });
        bool done = false;
        exchange.setOnFinished([&](UploadExchange::Outcome) { done = true; });
        session.open(LineChoice::direct(1, kBaud));
        while (!done && clock.nowMs() < 600'000)
            clock.advance(10);
        if (uspd.device().image() != image)
            state.SkipWithError("image not delivered");
        elapsed = double(clock.nowMs());

        // The floor: every request and reply on the line, and per reply the collection
        // window and one event-pacing interval.
        floor = 0;
        int replies = 0;
        for (const QByteArray& frame : uspd.device().frames()) {
            floor += transmitMs(frame.size());
            const char letter = frame.at(1);
            if (letter == 'W')
                continue;
            ++replies;
            floor += transmitMs(letter == 'L' ? 6 : letter == 'T' ? 5 : 4);
        }
        floor += replies * (UploadExchange::kReplyWindowMs + TCommPort::kWatchPauseMs);
    }
    state.counters["upload_ms"] = elapsed;
    state.counters["floor_ms"] = floor;
    state.counters["ratio"] = elapsed / floor;
    state.counters["line_efficiency"] = kImageSize * 8 / (elapsed / 1000.0 * kBaud);
}
BENCHMARK(BM_Upload64KiB)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvet
