#include "image_fixtures.h"

#include <gtest/gtest.h>

#include <cctype>
#include <iostream>

#include "image/image_values.h"
#include "image/record_layout.h"
#include "support/program_run.h"
#include "support/test_files.h"

namespace orvet::testing {
namespace {

QString goldenPath(const QString& name) {
    return QStringLiteral(ORVET_IMAGE_GOLDEN_DIR "/") + name;
}

bool updatingGoldens() {
    return qEnvironmentVariable("ORVET_UPDATE_GOLDEN") == "1";
}

void rewrite(const QString& path, const QByteArray& contents) {
    writeFile(path, contents);
    std::cout << "rewrote golden file " << path.toStdString() << '\n';
}

// One "# part" comment line before each record's bytes, 16 bytes a line.
QByteArray hexText(const QString& title, const Image& image) {
    QByteArray text = "# " + title.toUtf8() + "\n";
    const auto part = [&](const QString& name, const QByteArray& bytes) {
        text += "# " + name.toUtf8() + "\n";
        for (qsizetype at = 0; at < bytes.size(); at += 16) {
            text += bytes.mid(at, 16).toHex(' ') + "\n";
        }
    };
    part("header", encodeRecord(image.header));
    part("short_archive", encodeRecord(image.shortArchive));
    part("main_archive", encodeRecord(image.mainArchive));
    forEachSection(image, [&](const char* name, qint64, const auto& records) {
        for (qsizetype index = 0; index < records.size(); ++index) {
            part(QStringLiteral("%1[%2]").arg(QLatin1String(name)).arg(index),
                 encodeRecord(records[index]));
        }
    });
    return text;
}

}  // namespace

QByteArray hex(const char* text) {
    QByteArray digits;
    for (const char* at = text; *at; ++at) {
        if (!QChar::isSpace(static_cast<uchar>(*at))) {
            digits += *at;
        }
    }
    EXPECT_EQ(digits.size() % 2, 0) << "odd number of hex digits in " << text;
    for (const char digit : digits) {
        EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(digit))) << "not hex: " << text;
    }
    return QByteArray::fromHex(digits);
}

QByteArray record(int size, std::initializer_list<std::pair<int, const char*>> runs) {
    QByteArray bytes(size, '\0');
    for (const auto& [offset, text] : runs) {
        const QByteArray run = hex(text);
        EXPECT_LE(offset + run.size(), size) << "run past the record: " << text;
        bytes.replace(offset, run.size(), run);
    }
    return bytes;
}

Image emptyImage() {
    Image image;
    image.header.need_short_int = 1;
    image.header.need_main_int = 1;
    image.header.led_enable = 0;
    image.header.intchan_enable = 1;
    image.header.callback = 1;
    image.shortArchive = {.records = 300, .arcchannel = 0, .base = 0, .time_min = 3};
    image.mainArchive = {
        .records = 1024, .arcchannel = 0, .base = mainArchiveBase(300), .time_min = 30};
    return image;
}

Image fullImage() {
    Image image = emptyImage();
    image.header.led_enable = 1;
    image.header.col_dmod = 2;
    image.header.col_amod = 1;
    image.header.col_nimod = 2;
    image.header.col_domod = 1;
    image.header.col_kbhamod = 1;
    image.shortArchive.records = 40000;
    image.shortArchive.arcchannel = 1;
    image.mainArchive.arcchannel = 1;
    image.mainArchive.base = mainArchiveBase(40000);

    image.interfaces = {
        {.speed = baudRate(4),
         .col_device = 1,
         .port = 1,
         .t_iface = 1,
         .data = 8,
         .parity = 0,
         .stop = 1.5,
         .DTR_enable = 1,
         .initstring = {}},
        {.speed = baudRate(9),
         .col_device = 1,
         .port = 3,
         .t_iface = 3,
         .data = 7,
         .parity = 2,
         .stop = 2,
         .DTR_enable = 0,
         .initstring = QStringLiteral("ATZ Модем")},
    };
    image.modules = {
        {.n_on_iface = 1,
         .num_mod = 0,
         .t_pool = 1000,
         .to_answer = 500,
         .to_byte_receive = 20,
         .t_start = 3000,
         .id_device_p = 0,
         .id_iface = 0,
         .t_device = 17,
         .col_achannel = 4,
         .col_nichannel = 2,
         .col_dchannel = 8,
         .password = QStringLiteral("Пароль12")},
        {.n_on_iface = 2,
         .num_mod = -1,
         .t_pool = 250,
         .to_answer = 300,
         .to_byte_receive = 10,
         .t_start = 0,
         .id_device_p = 1,
         .n_on_iface2 = 5,
         .id_iface2 = 0,
         .id_iface = 1,
         .t_device = 7,
         .col_nichannel = 200,
         .col_dchannel = 16,
         .col_dochannel = 4,
         .col_kvna = 2,
         .fl_retrans = 1,
         .password = {}},
    };
    image.onboardInputs = {
        {.jingle_time = 10000, .n_channel = 1, .invers = 1, .cbevent = 2, .callback = 1}};
    image.discreteInputs = {
        {.id_device_p = 0, .n_channel = 3, .invers = 0, .cbevent = 1, .callback = 1},
        {.id_device_p = 1, .n_channel = 16, .invers = 1, .cbevent = 0, .callback = 0},
    };
    image.onboardOutputs = {{.n_channel = 2}};
    image.discreteOutputs = {{.id_device_p = 1, .n_channel = 4}};
    image.kbhaChannels = {{.id_device_p = 1, .n_channel = 2}};
    image.analogInputs = {
        {.min_code = 3.5,
         .max_code = 4095,
         .min_value = -0.1,
         .max_value = 100,
         .emerg_val = -1,
         .coef_corr = 1.0000001,
         .hi_lim = 95.5,
         .lo_lim = 0.25,
         .id_device_p = 0,
         .act_corr = 3,
         .n_channel = 1,
         .st_filter = 1,
         .W = 5,
         .t_transf = 2,
         .archive = 1,
         .callback = 1},
        {.min_code = 2.5,
         .max_code = 1000.4,
         .min_value = 0,
         .max_value = 1e6,
         .emerg_val = 0,
         .coef_corr = 1,
         .hi_lim = 0,
         .lo_lim = 0,
         .id_device_p = 0,
         .n_channel = 2},
    };
    image.countingInputs = {{.coef_corr = 0.001, .id_device_p = 1, .act_corr = 4, .n_channel = 7}};
    image.phones = {
        {.phonenum = QStringLiteral("+74951234567")},
        {.phonenum = QStringLiteral("8495доб12")},
    };
    image.setSectionCounts();
    image.setChannelMaxima();
    return image;
}

QByteArray goldenBytes(const QString& name, const Image& image) {
    const QString path = goldenPath(name);
    if (updatingGoldens()) {
        rewrite(path, hexText(name, image));
    }
    QByteArray digits;
    for (const QByteArray& line : readFile(path).split('\n')) {
        if (!line.startsWith('#')) {
            digits += line + ' ';
        }
    }
    return hex(digits.constData());
}

QString goldenText(const QString& name, const QString& actual) {
    const QString path = goldenPath(name);
    if (updatingGoldens()) {
        rewrite(path, actual.toUtf8());
    }
    return QString::fromUtf8(readFile(path));
}

int runCli(const QStringList& args, QString* out, QString* err) {
    const ProgramRun run = runProgram(QStringLiteral(ORVET_CLI_PATH), args);
    *out = run.out;
    *err = run.errors;
    return run.exitCode;
}

}  // namespace orvet::testing
