#include <gtest/gtest.h>

#include <QStringList>

#include "link/fake_link.h"
#include "link/frame_trace.h"

namespace orvet {
namespace {

TraceEntry sent(std::int64_t ms, char letter, const QByteArray& frame, int repeat = 0) {
    TraceEntry entry;
    entry.ms = ms;
    entry.letter = letter;
    entry.bytes = frame;
    entry.repeat = repeat;
    return entry;
}

TraceEntry received(std::int64_t ms, const QByteArray& bytes, TraceEntry::Check check) {
    TraceEntry entry;
    entry.kind = TraceEntry::Kind::Received;
    entry.ms = ms;
    entry.bytes = bytes;
    entry.letter = bytes.size() > 1 ? static_cast<char>(bytes[1] & 0x7F) : 0;
    entry.refused = bytes.size() > 1 && (static_cast<std::uint8_t>(bytes[1]) & 0x80) != 0;
    entry.check = check;
    return entry;
}

TEST(FrameTraceLine, NamesTimeDirectionLetterLengthVerdictAndBytes) {
    using Check = TraceEntry::Check;
    TraceEntry timedOut;
    timedOut.kind = TraceEntry::Kind::TimedOut;
    timedOut.ms = 3'600'000;
    timedOut.letter = 'S';
    timedOut.waitedMs = 2000;
    const struct {
        TraceEntry entry;
        const char* line;
    } cases[] = {
        {sent(0, 'L', bytes({0x01, 0x4C, 0x01, 0xD5})), "     0.000 → 'L'    4 байт  01 4C 01 D5"},
        {sent(12'345, 'T', bytes({0x01, 0x54, 0x0C, 0xAA, 0xBB}), 3),
         "    12.345 → 'T'    5 байт [повтор 3]  01 54 0C AA BB"},
        {received(14'007, bytes({0x01, 0x54, 0x0C, 0x00, 0x00}), Check::BadCrc),
         "    14.007 ← 'T'    5 байт [Ошибка CRC]  01 54 0C 00 00"},
        {received(90, bytes({0x09, 0x4C, 0x02, 0x19, 0x11, 0x22}), Check::ForeignAddress),
         "     0.090 ← 'L'    6 байт [чужой адрес 9]  09 4C 02 19 11 22"},
        {received(5, bytes({0x01, 0xD3, 0x00, 0x00}), Check::Accepted),
         "     0.005 ← 'S'    4 байт [принят, отказ УСПД]  01 D3 00 00"},
        {received(5, bytes({0x01, 0x51, 0x00, 0x00}), Check::UnknownCommand),
         "     0.005 ← 'Q'    4 байт [неизвестная команда]  01 51 00 00"},
        {received(5, bytes({0x01, 0x54, 0x00, 0x00}), Check::MissingPayload),
         "     0.005 ← 'T'    4 байт [нет данных ответа]  01 54 00 00"},
        // A lone byte has no letter to show.
        {received(1, bytes({0x01}), Check::TooShort),
         "     0.001 ← '?'    1 байт [неполный кадр]  01"},
        {timedOut, "  3600.000 × 'S' [таймаут 2000 мс]"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatTraceLine(c.entry), QString::fromUtf8(c.line));
}

// A stalled exchange repeats its frame for hours: the log keeps the newest lines and says
// how many went.
TEST(FrameLog, KeepsTheNewestLinesAndTellsHowManyWent) {
    FrameLog log(3);
    QStringList announced;
    int cleared = 0;
    log.onLine = [&](const QString& line) { announced << line; };
    log.onCleared = [&] { ++cleared; };
    for (int i = 0; i < 5; ++i)
        log.record(sent(std::int64_t{i} * 1000, 'L', bytes({0x01, 0x4C, 0x01, 0xD5}), i));
    ASSERT_EQ(announced.size(), 5);
    EXPECT_EQ(log.dropped(), 2);
    ASSERT_EQ(log.lines().size(), 3u);
    EXPECT_EQ(log.lines().front(), announced[2]);
    EXPECT_EQ(log.lines().back(), announced[4]);
    EXPECT_EQ(log.text(), "… 2 более ранних строк отброшено, показаны последние 3\n" +
                              QStringList(announced.mid(2)).join('\n') + '\n');

    log.exchangeStarted();
    EXPECT_EQ(cleared, 1);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(log.dropped(), 0);
    EXPECT_EQ(log.text(), QString());

    FrameLog single(0);  // keeps one line at least
    single.record(sent(0, 'W', bytes({0x01, 0x57, 0x41, 0xDE})));
    EXPECT_EQ(single.lines().size(), 1u);
}

}  // namespace
}  // namespace orvet
