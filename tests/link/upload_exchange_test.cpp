#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>
#include <functional>
#include <ostream>

#include "link/fake_link.h"
#include "link/upload_exchange.h"
#include "support/test_platform.h"

namespace orvet {
namespace {

class UploadExchangeTest : public ::testing::Test {
protected:
    UploadExchangeTest() : exchange(test.platform(), port, link, view, decisions) {
        exchange.setDeviceNumberSource([this] { return deviceNumber; });
        exchange.setImagePath(test.dir() + "/config.dat");
        exchange.setOnFinished([this](UploadExchange::Outcome o) { outcomes.push_back(o); });
    }

    void writeImage(int size) {
        image.resize(size);
        for (int i = 0; i < size; ++i)
            image[i] = static_cast<char>(i * 7 + 3);
        QFile file(test.dir() + "/config.dat");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(image);
    }

    // The device's reply arrives in one piece; the collection window then closes.
    // `letter` may carry the refusal bit (0x80).
    void reply(int letter, const QByteArray& payload = {}, int address = 1) {
        arrive(buildFrame(address, static_cast<LinkCommand>(static_cast<char>(letter)), payload));
        test.clock.advance(UploadExchange::kReplyWindowMs);
    }
    void arrive(const QByteArray& part) {
        port.input += part;
        exchange.onDataReceived();
    }

    // Lets `count` reply time-outs pass.
    void advanceTimeOuts(int count) { test.clock.advance(std::int64_t{count} * link.TOAnswer); }

    QByteArray lastSent() const { return port.sent.empty() ? QByteArray() : port.sent.back(); }
    char lastLetter() const { return lastSent().size() > 1 ? lastSent()[1] : 0; }

    // Runs the exchange up to the first 'T' frame.
    void startTransfer() {
        exchange.startDirect();
        reply('L', bytes({2, 25}));
        reply('S');
        ASSERT_EQ(lastLetter(), 'T');
    }

    testing::TestPlatform test;
    FakePort port;
    FakeView view;
    FakeDecisions decisions;
    LinkSettings link;
    QString deviceNumber = "1";
    QByteArray image;
    std::vector<UploadExchange::Outcome> outcomes;
    UploadExchange exchange;
};

TEST_F(UploadExchangeTest, DeliversTheImageAndRestartsTheDevice) {
    writeImage(1000);
    exchange.startDirect();
    EXPECT_EQ(lastSent(), bytes({0x01, 0x4C, 0x01, 0xD5}));

    reply('L', bytes({2, 20}));
    const QByteArray s = lastSent();
    ASSERT_EQ(s.size(), 20);
    EXPECT_EQ(s.mid(2, 4), bytes({0xE8, 0x03, 0, 0}));
    EXPECT_EQ(view.blockCount, 4);

    reply('S');
    QByteArray received;
    QList<int> frameLengths;
    for (int block = 0; block < 4; ++block) {
        const QByteArray t = lastSent();
        ASSERT_EQ(t[1], 'T');
        EXPECT_EQ(static_cast<std::uint8_t>(t[2]), block);
        frameLengths << t.size();
        received += t.mid(3, t.size() - 5);
        if (block == 3)
            decisions.restart = decisions.clear = true;
        reply('T', bytes({block}));
    }
    EXPECT_EQ(frameLengths, (QList<int>{260, 260, 260, 240}));
    EXPECT_EQ(received, image);
    EXPECT_EQ(view.steps, 4);
    EXPECT_TRUE(view.ended);

    // 'W' went out, then after a 500 ms pause 'X' asking to clear the archives.
    ASSERT_GE(port.sent.size(), 2u);
    EXPECT_EQ(port.sent[port.sent.size() - 2], bytes({0x01, 0x57, 0x41, 0xDE}));
    EXPECT_EQ(lastSent().left(3), bytes({0x01, 0x58, 0x01}));
    EXPECT_EQ(test.clock.pauses(), (std::vector<int>{500}));
    EXPECT_EQ(exchange.state(), UploadExchange::State::Restart);
    EXPECT_EQ(decisions.asked, (QStringList{"restart", "clear archives"}));

    test.messages.expectNotice("УСПД перезагружен");
    reply('X');
    EXPECT_FALSE(port.open);
    EXPECT_FALSE(port.dtr);
    EXPECT_EQ(outcomes, (std::vector{UploadExchange::Outcome::Restarted}));
}

TEST_F(UploadExchangeTest, BlockCountFollowsImageSizeAndPacketLength) {
    const struct {
        int size;
        int pakLen;
        int blocks;
        int lastPayload;
    } cases[] = {{1000, 255, 4, 235}, {510, 255, 2, 255}, {92, 1024, 1, 92}, {1024, 1, 1024, 1}};
    for (const auto& c : cases) {
        if (c.size / c.pakLen > UploadExchange::kMaxBlocks)
            continue;
        SCOPED_TRACE(::testing::Message() << c.size << " bytes by " << c.pakLen);
        port.sent.clear();
        link.PakLen = c.pakLen;
        writeImage(c.size);
        exchange.startDirect();
        reply('L', bytes({2, 25}));
        EXPECT_EQ(view.blockCount, c.blocks);
        reply('S');
        for (int block = 0; block + 1 < c.blocks; ++block)
            reply('T', bytes({block}));
        EXPECT_EQ(lastSent().size(), 5 + c.lastPayload);
        reply('T', bytes({c.blocks - 1}));
        EXPECT_EQ(lastLetter(), 'W');
        port.open = true;
    }
}

TEST_F(UploadExchangeTest, FirmwareVersionGates) {
    const struct {
        int major, minor;
        bool asked;
        bool answer;
        bool sendsSize;
    } cases[] = {
        {2, 20, false, false, true}, {2, 29, false, false, true}, {2, 30, true, false, false},
        {3, 25, true, true, true},   {2, 19, true, false, false}, {2, 200, true, true, true},
    };
    writeImage(300);
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.major << "." << c.minor);
        port.sent.clear();
        decisions.asked.clear();
        decisions.firmware = c.answer;
        exchange.startDirect();
        reply('L', bytes({c.major, c.minor}));
        // The version is shown as the device's bytes read as signed numbers.
        EXPECT_EQ(decisions.asked, c.asked
                                       ? QStringList{QStringLiteral("firmware %1.%2")
                                                         .arg(c.major)
                                                         .arg(static_cast<std::int8_t>(c.minor))}
                                       : QStringList{});
        EXPECT_EQ(port.sent.size(), c.sendsSize ? 2u : 1u);
        EXPECT_EQ(lastLetter(), c.sendsSize ? 'S' : 'L');
        EXPECT_TRUE(port.input.isEmpty());
        if (!c.sendsSize) {
            EXPECT_EQ(exchange.state(), UploadExchange::State::Stalled);
            advanceTimeOuts(10);
            EXPECT_EQ(port.sent.size(), 1u) << "a declined version sends nothing more";
        }
    }
}

TEST_F(UploadExchangeTest, RefusedLinkStallsWithAWarning) {
    writeImage(300);
    exchange.startDirect();
    test.messages.expectNotice("УСПД не понял запроса. Возможно Firmware имеет старую версию.");
    reply('L' | 0x80);
    EXPECT_EQ(exchange.state(), UploadExchange::State::Stalled);
    EXPECT_TRUE(port.input.isEmpty());
    advanceTimeOuts(5);
    EXPECT_EQ(port.sent.size(), 1u);
}

TEST_F(UploadExchangeTest, WrongAcknowledgementSendsTheSameBlockAgain) {
    writeImage(1000);
    startTransfer();
    reply('T', bytes({0}));
    ASSERT_EQ(exchange.blockNo(), 1);
    const QByteArray second = lastSent();
    ASSERT_EQ(second.mid(3, 255), image.mid(255, 255));
    for (int stale : {0, 7}) {
        SCOPED_TRACE(stale);
        reply('T', bytes({stale}));  // block 1 not acknowledged
        EXPECT_EQ(exchange.blockNo(), 1);
        EXPECT_EQ(view.steps, 1) << "no step for a block that was not acknowledged";
        EXPECT_EQ(lastSent(), second) << "the same bytes under the same number";
    }
    EXPECT_EQ(view.problem, "подтверждён блок 7 вместо 1: запрос 'T' послан снова (повтор 2)");
    reply('T', bytes({1}));
    EXPECT_EQ(view.problem, QString()) << "a matching acknowledgement moves on";
    EXPECT_EQ(lastSent().mid(3, 255), image.mid(510, 255));
    EXPECT_EQ(static_cast<std::uint8_t>(lastSent()[2]), 2);
    reply('T', bytes({2}));
    reply('T', bytes({3}));
    EXPECT_EQ(lastLetter(), 'W');
}

TEST_F(UploadExchangeTest, RepetitionsOfOneFrameAreBoundedWhateverTheirCause) {
    // Each device answers every request of the named kind in the same useless way.
    const struct {
        const char* what;
        char request;  // the letter of the frame that is repeated
        std::function<void()> answer;
        const char* detail;
    } cases[] = {
        {"refused access word", 'S', [this] { reply('S' | 0x80); }, "пароль не принят"},
        {"stale acknowledgement", 'T', [this] { reply('T', bytes({9})); },
         "подтверждён блок 9 вместо 0"},
        {"unknown letter", 'T', [this] { reply('Q'); }, "ответ с неизвестной командой 'Q'"},
        {"foreign address", 'T', [this] { reply('T', bytes({0}), 5); }, "ответ с чужим адресом 5"},
        {"bad CRC", 'T',
         [this] {
             QByteArray corrupt = buildFrame(1, LinkCommand::Block, bytes({0}));
             corrupt[2] = 1;
             arrive(corrupt);
             test.clock.advance(UploadExchange::kReplyWindowMs);
         },
         "Ошибка CRC"},
        {"incomplete reply", 'T', [this] { reply('T'); },
         "Ответ УСПД на запрос 'T' неполон и не может быть принят."},
    };
    writeImage(1000);
    link.TOAnswer = 400;
    exchange.setMaxRepeats(2);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        port.sent.clear();
        port.input.clear();  // a port opens with an empty input buffer
        outcomes.clear();
        port.open = true;
        test.messages.allowNotices();
        exchange.startDirect();
        reply('L', bytes({2, 25}));
        if (c.request == 'T')
            reply('S');
        // The device answers each frame at once; what the exchange does not take is no reply,
        // so its time-out runs on.
        for (int round = 0; round < 10 && outcomes.empty(); ++round) {
            ASSERT_EQ(lastLetter(), c.request);
            const size_t before = port.sent.size();
            c.answer();
            if (outcomes.empty() && port.sent.size() == before)
                test.clock.advance(link.TOAnswer);
        }
        const auto requests = std::count_if(port.sent.begin(), port.sent.end(),
                                            [&](const QByteArray& f) { return f[1] == c.request; });
        EXPECT_EQ(requests, 3) << "the frame and two repetitions";
        EXPECT_EQ(outcomes, (std::vector{UploadExchange::Outcome::GaveUp}));
        EXPECT_FALSE(port.open);
        EXPECT_EQ(test.messages.shown().back().text,
                  QStringLiteral("Запрос '%1' повторён 2 раз без успеха: %2. Порт закрыт.")
                      .arg(QChar::fromLatin1(c.request), QString::fromUtf8(c.detail)));
        for (const QByteArray& frame : port.sent) {
            if (frame[1] == 'T') {
                EXPECT_EQ(frame, port.sent.back()) << "block 0 each time";
            }
        }
    }
}

TEST_F(UploadExchangeTest, IgnoredRepliesLeaveTheTimeOutOfTheRequestRunning) {
    writeImage(300);
    link.TOAnswer = 1000;
    exchange.startDirect();
    test.clock.advance(300);
    reply('Q');  // valid CRC, a letter the exchange does not know
    EXPECT_EQ(view.problem, "ответ с неизвестной командой 'Q' (запрос 'L')");
    EXPECT_EQ(port.input.size(), 4) << "its bytes stay until the request goes again";
    test.clock.advance(599);
    EXPECT_EQ(port.sent.size(), 1u) << "the time-out counts from the request, not the reply";
    test.clock.advance(1);
    ASSERT_EQ(port.sent.size(), 2u);
    EXPECT_TRUE(port.input.isEmpty()) << "the stale bytes go before the request is repeated";

    // Bytes that never start with the device's address stream in without pause: every
    // window is dropped, and the request still goes again once per time-out.
    port.sent.clear();
    exchange.setMaxRepeats(3);
    exchange.startDirect();
    test.messages.allowNotices();
    for (int ms = 0; ms < 10'000 && outcomes.empty(); ms += 20) {
        arrive(bytes({0x07, 0x07, 0x07}));
        test.clock.advance(20);
    }
    EXPECT_EQ(port.sent.size(), 4u);
    EXPECT_EQ(outcomes, (std::vector{UploadExchange::Outcome::GaveUp}));
    EXPECT_EQ(test.messages.shown().back().text,
              "Запрос 'L' повторён 3 раз без успеха: ответ с чужим адресом 7. Порт закрыт.");
}

TEST_F(UploadExchangeTest, SizeFrameClearsAResendLeftByAnEarlierFrame) {
    writeImage(1000);
    startTransfer();
    reply('T', bytes({0}));
    reply('T', bytes({1}));  // the file stands at block 2
    exchange.cancel();

    // The next upload: its 'L' goes unanswered once (a resend is pending), then all is well.
    port.open = true;
    port.sent.clear();
    exchange.startDirect();
    advanceTimeOuts(1);
    ASSERT_EQ(port.sent.size(), 2u);
    reply('L', bytes({2, 25}));
    reply('S');
    EXPECT_EQ(lastSent(), buildFrame(1, LinkCommand::Block, blockPayload(0, image.left(255))))
        << "the first block, not the one the last upload stood at";
}

TEST_F(UploadExchangeTest, RefusedBlockReplyStillAcknowledgesItsBlock) {
    writeImage(1000);
    startTransfer();
    reply('T' | 0x80, bytes({0}));
    EXPECT_EQ(exchange.blockNo(), 1);
    EXPECT_EQ(view.steps, 1);
    EXPECT_EQ(lastSent(), buildFrame(1, LinkCommand::Block, blockPayload(1, image.mid(255, 255))));
}

TEST_F(UploadExchangeTest, RefusedAccessWordsCountAcrossUploads) {
    writeImage(300);
    exchange.startDirect();
    reply('L', bytes({2, 25}));
    reply('S' | 0x80);
    reply('S' | 0x80);
    exchange.cancel();
    EXPECT_EQ(exchange.passErrors(), 2);

    port.open = true;
    exchange.startDirect();
    reply('L', bytes({2, 25}));
    test.messages.expectNotice("Неверный пароль!");
    reply('S' | 0x80);
    EXPECT_EQ(exchange.passErrors(), 0);
}

TEST_F(UploadExchangeTest, TimeOutResendsTheSameBlock) {
    link.TOAnswer = 700;
    writeImage(1000);
    startTransfer();
    reply('T', bytes({0}));
    const QByteArray second = lastSent();
    const size_t count = port.sent.size();
    test.clock.advance(699);
    EXPECT_EQ(port.sent.size(), count);
    test.clock.advance(1);
    EXPECT_EQ(lastSent(), second);
    test.clock.advance(700);
    EXPECT_EQ(port.sent.size(), count + 2);
    EXPECT_EQ(lastSent(), second);
    reply('T', bytes({1}));
    EXPECT_EQ(lastSent().mid(3, 255), image.mid(510, 255));
}

TEST_F(UploadExchangeTest, ThreeRefusedAccessWordsGiveOneMessage) {
    writeImage(300);
    exchange.startDirect();
    reply('L', bytes({2, 25}));
    for (int i = 0; i < 3; ++i) {
        if (i == 2)
            test.messages.expectNotice("Неверный пароль!");
        reply('S' | 0x80);
        EXPECT_EQ(lastLetter(), 'S');
    }
    EXPECT_EQ(port.sent.size(), 5u);  // 'L', then four 'S'
    EXPECT_EQ(exchange.passErrors(), 0);
    reply('S' | 0x80);
    EXPECT_EQ(exchange.passErrors(), 1);
}

TEST_F(UploadExchangeTest, RestartDeclinedClosesTheLine) {
    writeImage(100);
    startTransfer();
    reply('T', bytes({0}));
    EXPECT_EQ(decisions.asked, QStringList{"restart"});
    EXPECT_EQ(lastLetter(), 'W');
    EXPECT_FALSE(port.open);
    EXPECT_FALSE(port.dtr);
    EXPECT_EQ(outcomes, (std::vector{UploadExchange::Outcome::Delivered}));
    EXPECT_TRUE(test.clock.pauses().empty());
}

TEST_F(UploadExchangeTest, ReplyCollectionWindow) {
    writeImage(300);
    const QByteArray full = buildFrame(1, LinkCommand::Link, bytes({2, 25}));

    // Two parts 30 ms apart: checked once, 100 ms after the first part.
    exchange.startDirect();
    arrive(full.left(3));
    test.clock.advance(30);
    arrive(full.mid(3));
    test.clock.advance(69);
    EXPECT_EQ(lastLetter(), 'L');
    test.clock.advance(1);
    EXPECT_EQ(lastLetter(), 'S');

    // 150 ms apart: the first part fails the check and stays; the rest completes it.
    port.sent.clear();
    exchange.startDirect();
    test.messages.expectNotice("Ошибка CRC");
    arrive(full.left(3));
    test.clock.advance(150);
    EXPECT_EQ(exchange.state(), UploadExchange::State::Link) << "the request is still open";
    arrive(full.mid(3));
    test.clock.advance(100);
    EXPECT_EQ(lastLetter(), 'S');
    EXPECT_EQ(view.rxdDimmed, 3);
}

TEST_F(UploadExchangeTest, FastExchangeTakesAWholeReplyAtOnce) {
    link.FastExchange = true;
    writeImage(1000);
    decisions.restart = decisions.clear = true;
    exchange.startDirect();
    // Every reply arrives whole: the upload runs to the end without the clock moving, but
    // for the pause before 'X'.
    port.input = buildFrame(1, LinkCommand::Link, bytes({2, 25}));
    exchange.onDataReceived();
    ASSERT_EQ(lastLetter(), 'S');
    // The CRC bytes may come in either order, as in the full window.
    QByteArray size = buildFrame(1, LinkCommand::Size);
    std::swap(size[2], size[3]);
    arrive(size);
    for (int block = 0; block < 4; ++block) {
        ASSERT_EQ(lastLetter(), 'T');
        arrive(buildFrame(1, LinkCommand::Block, bytes({block})));
    }
    EXPECT_EQ(lastLetter(), 'X');
    test.messages.expectNotice("УСПД перезагружен");
    arrive(buildFrame(1, LinkCommand::Restart));
    EXPECT_EQ(outcomes, (std::vector{UploadExchange::Outcome::Restarted}));
    EXPECT_EQ(test.clock.nowMs(), UploadExchange::kRestartPauseMs);
    // Each window that closed early put out its lamp (the window is hidden once 'W' is sent).
    EXPECT_EQ(view.rxdDimmed, 6);

    // A reply in two parts 30 ms apart is taken with its second part.
    port.open = true;
    port.flushInput();  // the 'X' reply stays behind a closed port
    port.sent.clear();
    exchange.startDirect();
    const QByteArray full = buildFrame(1, LinkCommand::Link, bytes({2, 25}));
    arrive(full.left(3));
    test.clock.advance(30);
    EXPECT_EQ(lastLetter(), 'L');
    arrive(full.mid(3));
    EXPECT_EQ(lastLetter(), 'S');
    EXPECT_TRUE(port.input.isEmpty());
    // The window it ended does not close again on its own.
    test.clock.advance(UploadExchange::kReplyWindowMs);
    EXPECT_EQ(port.sent.size(), 2u);
}

// What the exchange did with one reply, at two moments.
struct ReplyHandling {
    std::vector<QByteArray> sent;
    UploadExchange::State state = UploadExchange::State::Idle;
    QByteArray left;  // bytes still in the input
    QStringList problems;
    std::vector<ScriptedMessageBoxes::Box> boxes;
    bool operator==(const ReplyHandling&) const = default;
};

void PrintTo(const ReplyHandling& h, std::ostream* os) {
    *os << h.sent.size() << " frames sent, state " << static_cast<int>(h.state) << ", "
        << h.left.size() << " bytes left, problems: " << h.problems.join(" | ").toStdString();
}

TEST(FastExchange, RepliesThatAreNotWholeWaitTheFullWindowAsWithoutIt) {
    const QByteArray link = buildFrame(1, LinkCommand::Link, bytes({2, 25}));
    QByteArray corrupt = link;
    corrupt[3] = 26;
    const struct {
        const char* name;
        QByteArray reply;
    } cases[] = {
        {"bad CRC", corrupt},
        {"trailing byte", link + bytes({0})},
        {"foreign address", buildFrame(2, LinkCommand::Link, bytes({2, 25}))},
        {"short frame", link.left(3)},
        {"another letter", buildFrame(1, LinkCommand::End, bytes({2, 25}))},
        {"refused, without the version", buildFrame(1, static_cast<LinkCommand>('L' | 0x80))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // [mode][moment]: 99 ms after the reply, at 100 ms, after the request's time-out.
        ReplyHandling seen[2][3];
        for (const bool fast : {false, true}) {
            testing::TestPlatform test;
            test.messages.allowNotices();
            FakePort port;
            FakeView view;
            FakeDecisions decisions;
            LinkSettings settings;
            settings.FastExchange = fast;
            UploadExchange exchange(test.platform(), port, settings, view, decisions);
            exchange.setDeviceNumberSource([] { return QStringLiteral("1"); });
            exchange.startDirect();
            port.input = c.reply;
            exchange.onDataReceived();
            for (const int step : {UploadExchange::kReplyWindowMs - 1, 1, settings.TOAnswer}) {
                test.clock.advance(step);
                const int moment = step == 1 ? 1 : step == settings.TOAnswer ? 2 : 0;
                seen[fast][moment] = {port.sent, exchange.state(), port.input, view.problems,
                                      test.messages.shown()};
            }
        }
        EXPECT_EQ(seen[1][0], seen[0][0]) << "undecided until the window ends";
        EXPECT_EQ(seen[1][0].sent.size(), 1u);
        EXPECT_EQ(seen[1][1], seen[0][1]);
        EXPECT_EQ(seen[1][2], seen[0][2]);
    }
}

TEST_F(UploadExchangeTest, ForeignAndCorruptRepliesAreNoReply) {
    writeImage(300);
    exchange.startDirect();
    reply('L', bytes({2, 25}), 2);
    EXPECT_TRUE(port.input.isEmpty()) << "a foreign reply is dropped without a message";
    EXPECT_TRUE(test.messages.shown().empty());
    EXPECT_EQ(exchange.state(), UploadExchange::State::Link);
    EXPECT_EQ(view.problem, "ответ с чужим адресом 2 (запрос 'L')");
    advanceTimeOuts(1);
    EXPECT_EQ(port.sent.size(), 2u) << "the request goes again";

    exchange.startDirect();
    test.messages.expectNotice("Ошибка CRC");
    QByteArray corrupt = buildFrame(1, LinkCommand::Link, bytes({2, 25}));
    corrupt[2] = 9;
    arrive(corrupt);
    test.clock.advance(100);
    EXPECT_EQ(port.input, corrupt) << "the bytes stay";
    EXPECT_EQ(exchange.state(), UploadExchange::State::Link);

    port.flushInput();
    test.messages.expectNotice("Ответ УСПД на запрос 'L' неполон и не может быть принят.");
    reply('L', bytes({2}));
    EXPECT_TRUE(port.input.isEmpty());
    EXPECT_EQ(exchange.state(), UploadExchange::State::Link);
}

// A notice stays only as long as what it reports: the exchange that gets past a garbled reply
// while its box is open withdraws the box; one that never gets past leaves it to the user.
TEST_F(UploadExchangeTest, NoticeIsWithdrawnOnceTheExchangeMovesOn) {
    writeImage(300);
    QByteArray corrupt = buildFrame(1, LinkCommand::Link, bytes({2, 25}));
    corrupt[2] = 9;
    test.messages.expectNotice("Ошибка CRC");
    decisions.duringNotice = [&] {
        EXPECT_EQ(decisions.withdrawn, 0);
        advanceTimeOuts(1);  // 'L' again
        port.flushInput();
        reply('L', bytes({2, 25}));
        EXPECT_EQ(lastLetter(), 'S');
        EXPECT_EQ(decisions.withdrawn, 1) << "the 'S' went out while the box was open";
    };
    exchange.startDirect();
    arrive(corrupt);
    test.clock.advance(UploadExchange::kReplyWindowMs);
    EXPECT_FALSE(decisions.duringNotice) << "the notice was shown";
    EXPECT_EQ(decisions.withdrawn, 1);

    // Still at 'S' when the box is closed: nothing is withdrawn.
    test.messages.expectNotice("Ошибка CRC");
    decisions.duringNotice = [] {};
    arrive(buildFrame(1, LinkCommand::Size, bytes({1})).left(3));
    test.clock.advance(UploadExchange::kReplyWindowMs);
    EXPECT_FALSE(decisions.duringNotice);
    EXPECT_EQ(decisions.withdrawn, 1);
}

TEST_F(UploadExchangeTest, DeviceNumber) {
    writeImage(300);
    deviceNumber = "300";
    exchange.startDirect();
    EXPECT_EQ(lastSent()[0], '\x2C');
    reply('L', bytes({2, 25}), 0x2C);
    EXPECT_EQ(lastLetter(), 'S');

    exchange.cancel();
    port.open = true;
    port.sent.clear();
    deviceNumber = "";
    test.messages.expectNotice("'' is not a valid integer value");
    exchange.startDirect();
    EXPECT_TRUE(port.sent.empty());
    advanceTimeOuts(5);
    EXPECT_TRUE(port.sent.empty()) << "no time-out was armed";
}

TEST_F(UploadExchangeTest, ImageProblemsStopBeforeTheSizeFrame) {
    const struct {
        int size;  // -1: no file
        int pakLen;
        const char* message;
    } cases[] = {
        {-1, 255, "Файл не удается открыть"},
        {0, 255, "пуст"},
        {256 * 100, 100,
         "Конфигурация (25600 байт) не помещается в 255 блоков по 100 байт. Увеличьте длину "
         "пакета в окне «Параметры связи» не меньше чем до 101 байт."},
        // No packet length the settings allow would do.
        {255 * 1024 + 1, 100,
         "Конфигурация (261121 байт) слишком велика: она не помещается в 255 блоков даже при "
         "наибольшей длине пакета 1024 байт."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        QFile::remove(test.dir() + "/config.dat");
        if (c.size >= 0)
            writeImage(c.size);
        link.PakLen = c.pakLen;
        port.sent.clear();
        test.messages.allowNotices();
        exchange.startDirect();
        reply('L', bytes({2, 25}));
        EXPECT_EQ(port.sent.size(), 1u) << "no 'S' frame";
        EXPECT_TRUE(test.messages.shown().back().text.contains(QString::fromUtf8(c.message)));
        advanceTimeOuts(5);
        EXPECT_EQ(port.sent.size(), 1u) << "no time-out";
    }
    // 255 blocks exactly is fine.
    writeImage(255 * 100);
    port.sent.clear();
    exchange.startDirect();
    reply('L', bytes({2, 25}));
    EXPECT_EQ(lastLetter(), 'S');
    EXPECT_EQ(view.blockCount, 255);
}

TEST_F(UploadExchangeTest, SilentDeviceAfterRestartIsGivenUp) {
    writeImage(100);
    startTransfer();
    decisions.restart = true;
    reply('T', bytes({0}));
    EXPECT_EQ(lastSent().left(3), bytes({0x01, 0x58, 0x00}));
    const size_t before = port.sent.size();
    test.messages.expectNotice("УСПД не ответил на команду перезагрузки. Порт закрыт.");
    advanceTimeOuts(UploadExchange::kDefaultRestartRepeats + 1);
    EXPECT_EQ(port.sent.size(), before + UploadExchange::kDefaultRestartRepeats);
    EXPECT_FALSE(port.open);
    EXPECT_EQ(outcomes, (std::vector{UploadExchange::Outcome::GaveUp}));
    advanceTimeOuts(10);
    EXPECT_EQ(port.sent.size(), before + UploadExchange::kDefaultRestartRepeats);
}

TEST_F(UploadExchangeTest, BoundedRepeatsGiveUpOnASilentDevice) {
    writeImage(100);
    exchange.setMaxRepeats(3);
    exchange.startDirect();
    test.messages.expectNotice("УСПД не отвечает: запрос 'L' повторён 3 раз. Порт закрыт.");
    advanceTimeOuts(10);
    EXPECT_EQ(port.sent.size(), 4u);
    EXPECT_EQ(outcomes, (std::vector{UploadExchange::Outcome::GaveUp}));
    EXPECT_FALSE(view.visible);
}

TEST_F(UploadExchangeTest, ModemDialsAndFollowsTheCarrier) {
    writeImage(1000);
    exchange.startModem(true, "1234");
    ASSERT_EQ(port.texts.size(), 1u);
    EXPECT_EQ(port.texts[0], QByteArray("ATDT1234\r"));
    EXPECT_TRUE(port.sent.empty()) << "no frame before the carrier";
    advanceTimeOuts(10);
    EXPECT_TRUE(port.sent.empty());

    // Carrier up twice before the first acknowledgement: 'L' each time, 500 ms after.
    exchange.onCarrierChanged(true);
    exchange.onCarrierChanged(true);
    EXPECT_EQ(port.sent.size(), 2u);
    EXPECT_EQ(test.clock.pauses(), (std::vector<int>{500, 500}));
    reply('L', bytes({2, 25}));
    reply('S');
    reply('T', bytes({0}));
    exchange.onCarrierChanged(true);
    EXPECT_EQ(lastLetter(), 'T') << "no 'L' once a block is acknowledged";

    exchange.onCarrierChanged(false);
    EXPECT_FALSE(view.visible);
    EXPECT_FALSE(port.open);
    EXPECT_FALSE(port.dtr);
    EXPECT_EQ(outcomes, (std::vector{UploadExchange::Outcome::CarrierLost}));
    EXPECT_TRUE(test.messages.shown().empty()) << "no message on a lost carrier";

    exchange.startModem(false, "55");
    EXPECT_EQ(port.texts.back(), QByteArray("ATDP55\r"));
}

TEST_F(UploadExchangeTest, CarrierEventsOutsideAnUploadAreIgnored) {
    view.visible = false;
    exchange.onCarrierChanged(true);
    exchange.onCarrierChanged(false);
    EXPECT_TRUE(port.sent.empty());
    EXPECT_TRUE(port.open);
}

TEST_F(UploadExchangeTest, VanishedPortEndsTheExchangeAndItsOpenQuestion) {
    writeImage(1000);
    startTransfer();
    test.messages.expectNotice("Порт закрыт: устройство отключено.");
    exchange.onPortLost();
    EXPECT_FALSE(port.open);
    EXPECT_FALSE(view.visible);
    EXPECT_EQ(view.problem, "Порт закрыт: устройство отключено");
    EXPECT_EQ(outcomes, (std::vector{UploadExchange::Outcome::PortLost}));
    const size_t sent = port.sent.size();
    advanceTimeOuts(5);
    EXPECT_EQ(port.sent.size(), sent);

    // While the version question is open a late reply is left alone, and the port going away
    // withdraws the question: its "yes" no longer counts.
    port.open = view.visible = true;
    port.sent.clear();
    outcomes.clear();
    decisions.firmware = true;
    decisions.duringQuestion = [this] {
        arrive(buildFrame(1, LinkCommand::Link, bytes({2, 30})));
        test.clock.advance(UploadExchange::kReplyWindowMs);
        EXPECT_EQ(decisions.asked.size(), 1) << "no second question over the first";
        exchange.onPortLost();
    };
    test.messages.expectNotice("Порт закрыт: устройство отключено.");
    exchange.startDirect();
    reply('L', bytes({2, 30}));
    EXPECT_EQ(decisions.withdrawn, 1);
    EXPECT_EQ(port.sent.size(), 1u) << "no 'S' after the withdrawn question";
    EXPECT_EQ(outcomes, (std::vector{UploadExchange::Outcome::PortLost}));
}

TEST_F(UploadExchangeTest, StatusLineTellsWhatIsAwaitedAndWhatWentWrong) {
    writeImage(300);
    exchange.startDirect();
    EXPECT_EQ(view.waiting, "Ожидание ответа на запрос связи ('L')");
    advanceTimeOuts(1);
    EXPECT_EQ(view.problem, "Нет ответа УСПД на 'L', повтор 1");
    reply('L', bytes({2, 25}));
    EXPECT_EQ(view.waiting, "Ожидание ответа на объявление конфигурации ('S')");
    EXPECT_EQ(view.problem, QString());
    reply('S');
    reply('T', bytes({0}));
    advanceTimeOuts(3);
    EXPECT_EQ(view.problem, "Нет ответа УСПД на 'T' (блок 1), повтор 3");
    exchange.setMaxRepeats(10);
    advanceTimeOuts(1);
    EXPECT_EQ(view.problem, "Нет ответа УСПД на 'T' (блок 1), повтор 4 из 10");
    test.messages.allowNotices();
    reply('L' | 0x80);  // a refusal the exchange cannot answer ('L' refused out of turn)
    EXPECT_EQ(view.waiting, "Обмен остановлен: нажмите «Отмена»");
    EXPECT_EQ(view.problem, "УСПД не понял запроса. Возможно Firmware имеет старую версию.");

    decisions.firmware = false;
    exchange.startDirect();
    reply('L', bytes({2, 19}));
    EXPECT_EQ(view.waiting, "Обмен остановлен: нажмите «Отмена»");
    EXPECT_EQ(view.problem, "Версия 2.19 не поддерживается: продолжение отклонено");
}

TEST_F(UploadExchangeTest, CancelClosesTheLineAndStopsRepeating) {
    writeImage(300);
    exchange.startDirect();
    exchange.cancel();
    EXPECT_FALSE(port.open);
    EXPECT_FALSE(port.dtr);
    advanceTimeOuts(10);
    EXPECT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(outcomes, (std::vector{UploadExchange::Outcome::Cancelled}));
}

}  // namespace
}  // namespace orvet
