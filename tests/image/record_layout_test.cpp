#include <gtest/gtest.h>

#include "image/image_values.h"
#include "image/record_layout.h"
#include "image_fixtures.h"

namespace orvet {
namespace {

using testing::hex;
using testing::record;

struct EncodingCase {
    const char* what;
    QByteArray actual;
    QByteArray expected;
};

void expectEncodings(std::initializer_list<EncodingCase> cases) {
    for (const EncodingCase& c : cases) {
        EXPECT_EQ(c.actual.toHex(' '), c.expected.toHex(' ')) << c.what;
    }
}

TEST(RecordLayout, EveryFieldAtItsOffsetAndWidth) {
    ImageHeader header;
    header.col_iface = 2;
    header.col_device = 3;
    header.col_dmod = 4;
    header.col_amod = 5;
    header.col_aomod = 6;
    header.col_nimod = 7;
    header.col_domod = 8;
    header.col_kbhamod = 9;
    header.col_emdchan = 10;
    header.col_dchan = 11;
    header.col_achan = 12;
    header.col_nichan = 13;
    header.col_emdochan = 14;
    header.col_dochan = 15;
    header.col_kbhachan = 16;
    header.max_dchan = 17;
    header.max_achan = 18;
    header.max_nichan = 19;
    header.max_dochan = 20;
    header.max_kbhachan = 21;
    header.need_short_int = 1;
    header.led_enable = 1;
    header.intchan_enable = 1;
    header.col_phone = 2;
    header.callback = 1;

    expectEncodings({
        {"header", encodeRecord(header),
         record(60, {{0,
                      "01 00 01 00 02 00 03 00 04 00 05 00 06 00 07 00 08 00 09 00 0a 00 "
                      "0b 00 0c 00 00 00 0d 00 0e 00 0f 00 10 00 11 00 12 00 13 00 00 00 "
                      "14 00 15 00 01 00 01 01 02 01"}})},
        {"archive block",
         encodeRecord(ArchiveBlock{.records = 300, .arcchannel = 5, .base = 632, .time_min = 3}),
         record(16, {{0, "2c 01 00 00 05 00 78 02 03"}})},
        {"interface",
         encodeRecord(IfaceRec{.speed = baudRate(4),
                               .col_device = 2,
                               .port = 1,
                               .t_iface = 3,
                               .data = 8,
                               .parity = 2,
                               .stop = 1,
                               .DTR_enable = 1,
                               .initstring = QStringLiteral("AT&F")}),
         record(60, {{0, "80 25 00 00"}, {6, "02 00 01 03 08 02 01 01 01 41 54 26 46"}})},
        {"module",
         encodeRecord(DeviceRec{.n_on_iface = 1,
                                .num_mod = 2,
                                .t_pool = 1000,
                                .to_answer = 500,
                                .to_byte_receive = 20,
                                .t_start = 3000,
                                .id_device_p = 4,
                                .n_on_iface2 = 5,
                                .id_iface2 = 6,
                                .id_iface = 7,
                                .t_device = 17,
                                .col_achannel = 8,
                                .col_nichannel = 9,
                                .col_dchannel = 10,
                                .col_aochannel = 11,
                                .col_dochannel = 12,
                                .col_kvna = 13,
                                .fl_retrans = 1,
                                .password = QStringLiteral("pw")}),
         record(40, {{0,
                      "01 00 00 00 02 00 e8 03 f4 01 14 00 b8 0b 04 00 05 06 07 11 08 09 0a "
                      "0b 0c 0d 01 01 70 77"}})},
        {"on-board discrete input",
         encodeRecord(EmDChannelRec{
             .jingle_time = 10000, .n_channel = 1, .invers = 1, .cbevent = 2, .callback = 1}),
         record(16, {{0, "10 27 00 00 01 01 02 01"}})},
        {"discrete input",
         encodeRecord(DChannelRec{
             .id_device_p = 258, .n_channel = 3, .invers = 1, .cbevent = 2, .callback = 1}),
         record(18, {{0, "02 01 03 01 02 01"}})},
        {"on-board discrete output", encodeRecord(EmDOChannelRec{.n_channel = 7}),
         record(16, {{2, "07"}})},
        {"discrete output or KBHA", encodeRecord(KBHARec{.id_device_p = 5, .n_channel = 9}),
         record(16, {{0, "05 00 09"}})},
        {"analog input",
         encodeRecord(AChannelRec{.min_code = 0,
                                  .max_code = 4095,
                                  .min_value = 0.1,
                                  .max_value = -1,
                                  .emerg_val = 1e39,
                                  .coef_corr = 1,
                                  .hi_lim = 0.5,
                                  .lo_lim = -0.5,
                                  .id_device_p = 1,
                                  .act_corr = 3,
                                  .n_channel = 4,
                                  .st_filter = 1,
                                  .W = 5,
                                  .t_transf = 2,
                                  .archive = 1,
                                  .callback = 1}),
         record(48, {{0,
                      "00 00 00 00 00 f0 7f 45 cd cc cc 3d 00 00 80 bf 00 00 80 7f 00 00 80 "
                      "3f 00 00 00 3f 00 00 00 bf 01 00 03 04 01 05 02 01 01"}})},
        {"counting input",
         encodeRecord(
             NIChannelRec{.coef_corr = 0.001, .id_device_p = -1, .act_corr = 4, .n_channel = 7}),
         record(16, {{0, "6f 12 83 3a ff ff 04 07"}})},
        {"phone", encodeRecord(PhoneRec{.phonenum = QStringLiteral("+74951234567")}),
         hex("2b 37 34 39 35 31 32 33 34 35 36 37 00")},
    });
}

TEST(RecordLayout, IntegersKeepTheirLowBits) {
    expectEncodings({
        {"module fields beyond their widths",
         encodeRecord(DeviceRec{.n_on_iface = 0x123456789,
                                .num_mod = -1,
                                .t_pool = 40000,
                                .to_answer = -32769,
                                .id_device_p = 65539,
                                .n_on_iface2 = 261,
                                .id_iface2 = -1,
                                .col_achannel = 300,
                                .col_nichannel = 127,
                                .col_dchannel = 128,
                                .col_kvna = 65536}),
         record(40, {{0, "89 67 45 23 ff ff 40 9c ff 7f"},
                     {14, "03 00 05 ff"},
                     {20, "2c 7f 80"},
                     {27, "01"}})},
        {"archive records and base",
         encodeRecord(ArchiveBlock{
             .records = -1, .arcchannel = 70000, .base = mainArchiveBase(40000), .time_min = 300}),
         record(16, {{0, "ff ff ff ff 70 11 a0 38 2c"}})},
        {"header counts and flags",
         encodeRecord(ImageHeader{.ver_hi = 65537, .ver_lo = 1, .col_iface = -1, .col_phone = 257}),
         record(60, {{0, "01 00 01 00 ff ff"}, {52, "01"}})},
        {"signed counting input module position", encodeRecord(NIChannelRec{.id_device_p = 32768}),
         record(16, {{4, "00 80"}})},
    });
}

TEST(RecordLayout, MainArchiveBaseWrapsInSixteenBits) {
    const struct {
        qint64 shortRecords;
        const char* base;
    } cases[] = {
        {0, "20 00"}, {300, "78 02"}, {32751, "fe ff"}, {32752, "00 00"}, {40000, "a0 38"}};
    for (const auto& c : cases) {
        ArchiveBlock block;
        block.base = mainArchiveBase(c.shortRecords);
        EXPECT_EQ(encodeRecord(block).mid(6, 2).toHex(' '), QByteArray(c.base)) << c.shortRecords;
    }
}

TEST(RecordLayout, StopBitsRoundHalfToEven) {
    const struct {
        double stop;
        char byte;
    } cases[] = {{1, 1}, {1.5, 2}, {2, 2}, {2.5, 2}, {0.5, 0}, {0.6, 1}, {257, 1}, {-1, '\xff'}};
    for (const auto& c : cases) {
        EXPECT_EQ(encodeRecord(IfaceRec{.stop = c.stop}).at(12), c.byte) << c.stop;
    }
}

TEST(RecordLayout, CodeRangesRoundHalfToEvenThenBecomeFloat32) {
    const struct {
        double code;
        const char* bytes;
    } cases[] = {
        {3.5, "00 00 80 40"},       // 4
        {2.5, "00 00 00 40"},       // 2
        {-0.5, "00 00 00 00"},      // +0, not -0
        {1000.4, "00 00 7a 44"},    // 1000
        {16777217, "00 00 80 4b"},  // an integer float32 cannot hold: nearest, 2^24
    };
    for (const auto& c : cases) {
        const QByteArray bytes = encodeRecord(AChannelRec{.min_code = c.code, .max_code = c.code});
        EXPECT_EQ(bytes.mid(0, 4).toHex(' '), QByteArray(c.bytes)) << "min_code " << c.code;
        EXPECT_EQ(bytes.mid(4, 4).toHex(' '), QByteArray(c.bytes)) << "max_code " << c.code;
    }
}

TEST(RecordLayout, TextsFillTheirSlotsInTheirCodePages) {
    const QByteArray letters44(44, 'A');
    const auto initstring = [](const char* text) {
        return encodeRecord(IfaceRec{.initstring = QString::fromUtf8(text)}).mid(15);
    };
    const auto password = [](const char* text) {
        return encodeRecord(DeviceRec{.password = QString::fromUtf8(text)}).mid(28);
    };
    const auto phone = [](const char* text) {
        return encodeRecord(PhoneRec{.phonenum = QString::fromUtf8(text)});
    };
    expectEncodings({
        {"empty initstring", initstring(""), QByteArray(45, '\0')},
        {"Cyrillic initstring in CP1251", initstring("ATZ Модем"),
         record(45, {{0, "41 54 5a 20 cc ee e4 e5 ec"}})},
        {"initstring of 44", initstring(letters44.constData()), letters44 + '\0'},
        {"initstring of 50 cut to 44", initstring(QByteArray(50, 'B').constData()),
         QByteArray(44, 'B') + '\0'},
        {"password in CP866, zero-filled", password("Пароль"),
         record(12, {{0, "8f a0 e0 ae ab ec"}})},
        {"password of 8 without NUL", password("Пароль12"),
         record(12, {{0, "8f a0 e0 ae ab ec 31 32"}})},
        {"password of 10 cut to 8", password("1234567890"),
         record(12, {{0, "31 32 33 34 35 36 37 38"}})},
        {"password sign missing in CP866", password("€1"), record(12, {{0, "3f 31"}})},
        {"Cyrillic phone in CP866", phone("8495доб12"),
         record(13, {{0, "38 34 39 35 a4 ae a1 31 32"}})},
        {"phone of 15 cut to 12", phone("123456789012345"),
         hex("31 32 33 34 35 36 37 38 39 30 31 32 00")},
        // The device reads a text up to its NUL; what a stored text holds after one is not
        // copied.
        {"initstring ends at an embedded NUL",
         encodeRecord(IfaceRec{.initstring = QStringView(u"AT\0Z", 4).toString()}).mid(15),
         record(45, {{0, "41 54"}})},
        {"password ends at an embedded NUL",
         encodeRecord(DeviceRec{.password = QStringView(u"12\0"
                                                        u"345678",
                                                        9)
                                                .toString()})
             .mid(28),
         record(12, {{0, "31 32"}})},
        {"phone ends at an embedded NUL",
         encodeRecord(PhoneRec{.phonenum = QStringView(u"\0"
                                                       u"123",
                                                       4)
                                               .toString()}),
         QByteArray(13, '\0')},
    });
}

TEST(RecordLayout, DecodingGivesBackEveryField) {
    const Image image = testing::fullImage();
    const auto roundTrip = [](const auto& rec) {
        using Rec = std::remove_cvref_t<decltype(rec)>;
        QStringList warnings;
        Rec decoded = decodeRecord<Rec>(encodeRecord(rec).constData(), "r", &warnings);
        EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();
        return decoded;
    };
    EXPECT_EQ(roundTrip(image.header), image.header);
    EXPECT_EQ(roundTrip(image.mainArchive).base, 14496);
    EXPECT_EQ(roundTrip(image.modules[0]), image.modules[0]);
    EXPECT_EQ(roundTrip(image.modules[1]), image.modules[1]);
    EXPECT_EQ(roundTrip(image.onboardInputs[0]), image.onboardInputs[0]);
    EXPECT_EQ(roundTrip(image.discreteInputs[1]), image.discreteInputs[1]);
    EXPECT_EQ(roundTrip(image.onboardOutputs[0]), image.onboardOutputs[0]);
    EXPECT_EQ(roundTrip(image.kbhaChannels[0]), image.kbhaChannels[0]);
    EXPECT_EQ(roundTrip(image.phones[1]), image.phones[1]);

    // Values the device reads differently from the store come back as the device reads them.
    const IfaceRec iface = roundTrip(image.interfaces[1]);
    EXPECT_EQ(iface.initstring, QStringLiteral("ATZ Модем"));
    EXPECT_EQ(roundTrip(image.interfaces[0]).stop, 2.0);
    const AChannelRec analog = roundTrip(AChannelRec{.min_code = 3.5, .min_value = 0.1});
    EXPECT_EQ(analog.min_code, 4.0);
    EXPECT_EQ(analog.min_value, static_cast<double>(0.1f));
    EXPECT_EQ(roundTrip(DeviceRec{.num_mod = 40000, .col_achannel = 300}),
              (DeviceRec{.num_mod = -25536, .col_achannel = 44}));
}

TEST(RecordLayout, DecodingWarnsOfBytesAWrittenRecordNeverHolds) {
    QByteArray iface = encodeRecord(IfaceRec{.initstring = QStringLiteral("AB")});
    iface[4] = 0x05;      // reserved
    iface[13] = 0;        // the constant 1
    iface[15 + 3] = 'C';  // after the text's NUL
    QStringList warnings;
    const IfaceRec rec = decodeRecord<IfaceRec>(iface.constData(), "iface[0]", &warnings);
    EXPECT_EQ(rec.initstring, QStringLiteral("AB"));
    EXPECT_EQ(warnings, QStringList({
                            QStringLiteral("iface[0]: байт 13 равен 0x00 вместо 0x01"),
                            QStringLiteral("iface[0]: неиспользуемый байт 4 равен 0x05 вместо 0"),
                            QStringLiteral("iface[0]: неиспользуемый байт 18 равен 0x43 вместо 0"),
                        }));

    warnings.clear();
    const QByteArray full(13, '7');
    EXPECT_EQ(decodeRecord<PhoneRec>(full.constData(), "phone[2]", &warnings).phonenum,
              QStringLiteral("7777777777777"));
    EXPECT_EQ(warnings, QStringList(QStringLiteral(
                            "phone[2].phonenum: текст занимает всё поле, без завершающего нуля")));

    warnings.clear();
    decodeRecord<DeviceRec>(
        encodeRecord(DeviceRec{.password = QStringLiteral("12345678")}).constData(), "device[0]",
        &warnings);
    EXPECT_TRUE(warnings.isEmpty()) << "a full password slot needs no NUL";
}

TEST(RecordLayout, DescriptionShowsFieldsInByteOrderAsTheDeviceReadsThem) {
    const auto described = describeRecord(IfaceRec{.speed = 9600,
                                                   .col_device = 70000,
                                                   .port = 1,
                                                   .stop = 1.5,
                                                   .initstring = QStringLiteral("A\"\\\tМ")});
    const QList<std::pair<QString, QString>> expected = {
        {"speed", "9600"}, {"col_device", "4464"}, {"port", "1"},
        {"t_iface", "0"},  {"data", "0"},          {"parity", "0"},
        {"stop", "2"},     {"DTR_enable", "0"},    {"initstring", "\"A\\\"\\\\\\x09М\""},
    };
    EXPECT_EQ(described, expected);
    EXPECT_EQ(
        describeRecord(AChannelRec{.min_code = 2.5, .min_value = 0.1, .emerg_val = 1e39}).mid(0, 5),
        (QList<std::pair<QString, QString>>{{"min_code", "2"},
                                            {"max_code", "0"},
                                            {"min_value", "0.1"},
                                            {"max_value", "0"},
                                            {"emerg_val", "inf"}}));
}

}  // namespace
}  // namespace orvet
