#include <gtest/gtest.h>

#include <QList>

#include "link/crc16.h"
#include "link/fake_link.h"
#include "link/frame.h"

namespace orvet {
namespace {

std::uint16_t crcOf(const QByteArray& data) {
    return crc16(reinterpret_cast<const std::uint8_t*>(data.constData()), data.size());
}

TEST(Crc16, KnownVectors) {
    const struct {
        QByteArray input;
        std::uint16_t crc;
    } cases[] = {
        {"123456789", 0x4B37},
        {"", 0xFFFF},
        {bytes({0x01, 0x4C}), 0xD501},
        {bytes({0x01, 0x57}), 0xDE41},
        // Modbus RTU "read holding registers" request 01 03 00 00 00 0A, sent as ... C5 CD.
        {bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x0A}), 0xCDC5},
    };
    for (const auto& c : cases)
        EXPECT_EQ(crcOf(c.input), c.crc) << c.input.toHex().toStdString();
}

TEST(Frame, RequestsByteForByte) {
    const struct {
        const char* name;
        QByteArray frame;
        QByteArray expected;
    } cases[] = {
        {"L to device 1", buildFrame(1, LinkCommand::Link), bytes({0x01, 0x4C, 0x01, 0xD5})},
        {"W to device 1", buildFrame(1, LinkCommand::End), bytes({0x01, 0x57, 0x41, 0xDE})},
        {"device 300 keeps its low byte", buildFrame(300, LinkCommand::Link).left(1),
         bytes({0x2C})},
        {"X keeping archives", buildFrame(1, LinkCommand::Restart, restartPayload(false)).left(3),
         bytes({0x01, 0x58, 0x00})},
        {"X clearing archives", buildFrame(1, LinkCommand::Restart, restartPayload(true)).left(3),
         bytes({0x01, 0x58, 0x01})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.frame.toHex(' '), c.expected.toHex(' ')) << c.name;
}

TEST(Frame, SizeFrameCarriesSizeNameAndAccessWord) {
    const QByteArray frame = buildFrame(7, LinkCommand::Size, sizePayload(0x00012345));
    ASSERT_EQ(frame.size(), 20);
    EXPECT_EQ(frame.left(6), bytes({0x07, 0x53, 0x45, 0x23, 0x01, 0x00}));
    EXPECT_EQ(frame.mid(6, 12), QByteArray("configmarigo"));
    EXPECT_EQ(crcOf(frame.left(18)),
              static_cast<std::uint16_t>(static_cast<std::uint8_t>(frame[18]) |
                                         static_cast<std::uint8_t>(frame[19]) << 8));
}

TEST(Frame, BlockFrameLengths) {
    const QByteArray image(1000, 'x');
    const int pakLen = 255;
    QList<int> lengths;
    for (int pos = 0, blockNo = 0; pos < image.size(); pos += pakLen, ++blockNo) {
        const QByteArray frame =
            buildFrame(1, LinkCommand::Block, blockPayload(blockNo, image.mid(pos, pakLen)));
        EXPECT_EQ(static_cast<std::uint8_t>(frame[2]), blockNo);
        lengths << frame.size();
    }
    EXPECT_EQ(lengths, (QList<int>{260, 260, 260, 240}));
}

// A reply as the device would send it, optionally with its CRC bytes swapped.
QByteArray reply(int address, int command, const QByteArray& payload, bool swapCrc = false) {
    QByteArray frame = bytes({address, command}) + payload;
    const std::uint16_t crc = crcOf(frame);
    frame.append(static_cast<char>(swapCrc ? crc >> 8 : crc & 0xFF));
    frame.append(static_cast<char>(swapCrc ? crc & 0xFF : crc >> 8));
    return frame;
}

TEST(Frame, ReplyCheck) {
    using St = Reply::Status;
    const struct {
        const char* name;
        QByteArray received;
        int device;
        St status;
        char letter;
        bool refused;
        QByteArray payload;
    } cases[] = {
        {"L reply with version", reply(1, 'L', bytes({2, 25})), 1, St::Accepted, 'L', false,
         bytes({2, 25})},
        {"swapped CRC bytes", reply(1, 'L', bytes({2, 25}), true), 1, St::Accepted, 'L', false,
         bytes({2, 25})},
        {"device 300 answers as 0x2C", reply(0x2C, 'T', bytes({3})), 300, St::Accepted, 'T', false,
         bytes({3})},
        {"refused S", reply(1, 'S' | 0x80, {}), 1, St::Accepted, 'S', true, {}},
        {"refused L needs no version", reply(1, 'L' | 0x80, {}), 1, St::Accepted, 'L', true, {}},
        {"X reply", reply(1, 'X', {}), 1, St::Accepted, 'X', false, {}},
        {"other letter passes", reply(1, 'W', {}), 1, St::Accepted, 'W', false, {}},
        {"foreign address", reply(2, 'L', bytes({2, 25})), 1, St::WrongAddress, 0, false, {}},
        {"foreign address, one byte", bytes({9}), 1, St::WrongAddress, 0, false, {}},
        {"corrupt CRC",
         reply(1, 'L', bytes({2, 25})).chopped(1) + 'z',
         1,
         St::BadCrc,
         0,
         false,
         {}},
        {"first part of a split reply",
         reply(1, 'L', bytes({2, 25})).left(3),
         1,
         St::TooShort,
         0,
         false,
         {}},
        {"nothing", {}, 1, St::TooShort, 0, false, {}},
        {"L reply without version", reply(1, 'L', {}), 1, St::MissingPayload, 'L', false, {}},
        {"L reply with one version byte", reply(1, 'L', bytes({2})), 1, St::MissingPayload, 'L',
         false, bytes({2})},
        {"T reply without block number", reply(1, 'T', {}), 1, St::MissingPayload, 'T', false, {}},
        {"refused T still needs its number",
         reply(1, 'T' | 0x80, {}),
         1,
         St::MissingPayload,
         'T',
         true,
         {}},
    };
    for (const auto& c : cases) {
        const Reply r = checkReply(reinterpret_cast<const std::uint8_t*>(c.received.constData()),
                                   c.received.size(), c.device);
        EXPECT_EQ(r.status, c.status) << c.name;
        if (r.status == St::Accepted || c.letter != 0) {
            EXPECT_EQ(r.letter, c.letter) << c.name;
            EXPECT_EQ(r.refused, c.refused) << c.name;
            EXPECT_EQ(r.payload, c.payload) << c.name;
        }
    }
}

}  // namespace
}  // namespace orvet
