// Feeds arbitrary bytes to the reply check and to the upload exchange as device replies.
// Input: a packet length byte, then chunks of [length, action, bytes...]; each chunk arrives
// as received data and then the clock moves by an amount the action picks. Checks that every
// frame sent is well formed and no block carries more than the packet length.
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

#include "link/crc16.h"
#include "link/fake_link.h"
#include "link/frame.h"
#include "support/scripted_message_boxes.h"
#include "support/test_clock.h"

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

void checkFrame(const QByteArray& frame, int pakLen) {
    check(frame.size() >= 4);
    const auto* data = reinterpret_cast<const std::uint8_t*>(frame.constData());
    const std::uint16_t crc = orvet::crc16(data, frame.size() - 2);
    check(data[frame.size() - 2] == (crc & 0xFF) && data[frame.size() - 1] == (crc >> 8));
    if (frame[1] == 'T')
        check(frame.size() - 5 <= pakLen);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static int argc = 1;
    static char name[] = "exchange_fuzzer";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static QTemporaryDir dir;
    static const QString imagePath = dir.filePath("config.dat");
    static const bool written = [] {
        QFile file(imagePath);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        QByteArray image(2000, '\0');
        for (int i = 0; i < image.size(); ++i)
            image[i] = static_cast<char>(i);
        return file.write(image) == image.size();
    }();
    check(written);
    if (size < 1)
        return 0;

    // The reply check alone, on the whole input.
    const orvet::Reply reply = orvet::checkReply(data, static_cast<int>(size), data[0]);
    check(reply.payload.size() <= static_cast<qsizetype>(size));

    orvet::TestClock clock;
    orvet::MainThread mainThread;
    orvet::ScriptedMessageBoxes messages;
    messages.allowNotices();
    orvet::Platform platform{clock, mainThread, messages,
                             orvet::Settings::inFile(dir.filePath("s.ini"))};
    orvet::FakePort port;
    orvet::FakeView view;
    orvet::FakeDecisions decisions;
    decisions.firmware = data[0] & 0x40;
    decisions.restart = data[0] & 0x80;
    decisions.clear = data[0] & 0x01;
    orvet::LinkSettings link;
    link.PakLen = 1 + data[0] % 64;
    link.TOAnswer = 500;
    orvet::UploadExchange exchange(platform, port, link, view, decisions);
    exchange.setDeviceNumberSource([] { return QStringLiteral("1"); });
    exchange.setImagePath(imagePath);
    exchange.setMaxRepeats(3);
    exchange.startDirect();

    std::size_t pos = 1;
    while (pos + 2 <= size) {
        const std::size_t length = data[pos];
        const std::uint8_t action = data[pos + 1];
        pos += 2;
        const std::size_t take = std::min(length, size - pos);
        port.input.append(reinterpret_cast<const char*>(data + pos), static_cast<qsizetype>(take));
        pos += take;
        exchange.onDataReceived();
        const bool closed = !port.open;
        const std::size_t sent = port.sent.size();
        clock.advance(action & 0x80 ? 700 : 30 + (action & 0x7F));
        if ((action & 0x7E) == 0x7E)
            exchange.onCarrierChanged(action & 1);
        if ((action & 0x7F) == 0x7C)
            exchange.onPortLost();
        // Nothing goes out on a port the exchange has closed.
        check(!closed || port.sent.size() == sent);
    }
    const std::size_t sent = port.sent.size();
    const bool closed = !port.open;
    clock.advance(2000);
    check(!closed || port.sent.size() == sent);
    for (const QByteArray& frame : port.sent)
        checkFrame(frame, link.PakLen);
    return 0;
}
