#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>

#include "image/image.h"
#include "image/record_layout.h"
#include "image_fixtures.h"
#include "support/test_files.h"

namespace orvet {
namespace {

using testing::emptyImage;
using testing::fullImage;
using testing::goldenBytes;
using testing::readFile;
using testing::writeFile;

TEST(Image, EmptyUspdIsHeaderAndArchiveBlocksOnly) {
    const Image image = emptyImage();
    const QByteArray bytes = encodeImage(image);
    EXPECT_EQ(bytes.size(), 92);
    EXPECT_EQ(imageLength(image.header), 92);
    EXPECT_EQ(bytes.toHex(' '), goldenBytes("empty.hex", image).toHex(' '));
}

TEST(Image, EverySectionInFileOrder) {
    const Image image = fullImage();
    const QByteArray bytes = encodeImage(image);
    EXPECT_EQ(bytes.size(),
              92 + 2 * 60 + 2 * 40 + 16 + 2 * 18 + 16 + 16 + 16 + 2 * 48 + 16 + 2 * 13);
    EXPECT_EQ(imageLength(image.header), bytes.size());
    EXPECT_EQ(bytes.toHex(' '), goldenBytes("full.hex", image).toHex(' '));

    // The header's derived fields, which the golden file only shows as bytes.
    EXPECT_EQ(image.header.col_iface, 2);
    EXPECT_EQ(image.header.col_phone, 2);
    EXPECT_EQ(bytes.mid(36, 6).toHex(' '),
              "10 00 04 00 02 00");                         // max_dchan, max_achan, max_nichan
    EXPECT_EQ(bytes.mid(44, 4).toHex(' '), "04 00 02 00");  // max_dochan, max_kbhachan
    EXPECT_EQ(bytes.mid(76 + 6, 2).toHex(' '), "a0 38");    // main base of 40000 records
}

TEST(Image, ChannelMaximaCompareSignedBytes) {
    const auto maxima = [](std::initializer_list<qint64> dchannels) {
        Image image;
        for (const qint64 count : dchannels) {
            image.modules.append(DeviceRec{.col_dchannel = count, .col_kvna = count});
        }
        image.setChannelMaxima();
        EXPECT_EQ(image.header.max_dchan, image.header.max_kbhachan);
        return image.header.max_dchan;
    };
    EXPECT_EQ(maxima({}), 0);
    EXPECT_EQ(maxima({8, 16}), 16);
    EXPECT_EQ(maxima({0}), 0);
    EXPECT_EQ(maxima({127, 128}), 127);
    EXPECT_EQ(maxima({200, 2}), 2);
    EXPECT_EQ(maxima({255}), 0);
    EXPECT_EQ(maxima({256 + 16, 3}), 16);  // the record holds the low byte
}

TEST(Image, BytesReadBackIntoTheSameImage) {
    const QByteArray bytes = encodeImage(fullImage());
    const DecodedImage decoded = decodeImage(bytes);
    EXPECT_TRUE(decoded.error.isEmpty()) << decoded.error.toStdString();
    EXPECT_TRUE(decoded.warnings.isEmpty()) << decoded.warnings.join('\n').toStdString();
    ASSERT_TRUE(decoded.image);
    EXPECT_EQ(encodeImage(*decoded.image).toHex(' '), bytes.toHex(' '));
    EXPECT_EQ(decoded.image->modules, fullImage().modules);
    EXPECT_EQ(decoded.image->phones, fullImage().phones);
}

TEST(Image, CountsMustMatchTheSectionsAndFitTheirFields) {
    const auto refusal = [](const Image& image) -> QString {
        try {
            encodeImage(image);
        } catch (const ImageError& error) {
            return error.message();
        }
        return {};
    };
    Image image = fullImage();
    image.header.col_achan = 3;
    EXPECT_EQ(refusal(image), QStringLiteral("Число записей раздела «achan» в заголовке (3) не "
                                             "совпадает с числом записей (2)"));

    image = emptyImage();
    image.phones.resize(127);
    image.setSectionCounts();
    EXPECT_EQ(refusal(image), QString());
    image.phones.append(PhoneRec{});
    image.setSectionCounts();
    EXPECT_EQ(refusal(image), QStringLiteral("Слишком много записей в разделе «phone»: 128, в "
                                             "образе помещается не больше 127"));

    image = emptyImage();
    image.onboardOutputs.resize(65536);
    image.setSectionCounts();
    EXPECT_EQ(refusal(image), QStringLiteral("Слишком много записей в разделе «emdochan»: 65536, "
                                             "в образе помещается не больше 65535"));
}

TEST(Image, FileIsReplacedAsAWhole) {
    QTemporaryDir dir;
    const QString path = dir.filePath("config.dat");
    writeFile(path, QByteArray(4096, 'x'));
    writeImageFile(emptyImage(), path);
    EXPECT_EQ(readFile(path), encodeImage(emptyImage()));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList("config.dat"));
}

// A symbolic link stays a link to the image; what is not a regular file is never replaced.
TEST(Image, FileIsWrittenOnlyAsARegularFile) {
    QTemporaryDir dir;
    const QByteArray image = encodeImage(emptyImage());
    const QString target = dir.filePath("target.dat");
    writeFile(target, "old");
    const QString link = dir.filePath("link.dat");
    ASSERT_TRUE(QFile::link(target, link));
    const QString dangling = dir.filePath("dangling.dat");
    ASSERT_TRUE(QFile::link(dir.filePath("new.dat"), dangling));
    for (const QString& path : {link, dangling}) {
        writeImageFile(emptyImage(), path);
        EXPECT_TRUE(QFileInfo(path).isSymLink()) << path.toStdString();
        EXPECT_EQ(readFile(QFileInfo(path).symLinkTarget()), image) << path.toStdString();
    }

    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString fifoLink = dir.filePath("fifo-link.dat");
    ASSERT_TRUE(QFile::link(fifo, fifoLink));
    for (const QString& path : {fifo, fifoLink, dir.path()}) {
        try {
            writeImageFile(emptyImage(), path);
            ADD_FAILURE() << "wrote " << path.toStdString();
        } catch (const ImageError& error) {
            EXPECT_EQ(error.message(), QStringLiteral("Файл не удается открыть: %1").arg(path));
            EXPECT_EQ(error.reason(), QStringLiteral("«%1» не является обычным файлом").arg(path));
        }
    }
    struct stat status {};
    ASSERT_EQ(::lstat(QFile::encodeName(fifo).constData(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
              QStringList(
                  {"dangling.dat", "fifo", "fifo-link.dat", "link.dat", "new.dat", "target.dat"}));

    // The check alone, for what a test must not write to.
    EXPECT_EQ(notARegularFile("/dev/null"),
              QStringLiteral("«/dev/null» не является обычным файлом"));
    EXPECT_EQ(notARegularFile(dir.filePath("absent.dat")), QString());
    EXPECT_EQ(notARegularFile(target), QString());
}

TEST(Image, FailedWriteLeavesTheOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("config.dat");
    writeFile(path, "old");

    Image bad = fullImage();
    bad.header.col_iface = 0;
    EXPECT_THROW(writeImageFile(bad, path), ImageError);
    EXPECT_EQ(readFile(path), "old");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList("config.dat"));

    for (const QString& unwritable : {dir.filePath("missing/config.dat"), dir.path()}) {
        try {
            writeImageFile(emptyImage(), unwritable);
            ADD_FAILURE() << "wrote " << unwritable.toStdString();
        } catch (const ImageError& error) {
            EXPECT_EQ(error.message(),
                      QStringLiteral("Файл не удается открыть: %1").arg(unwritable));
            EXPECT_FALSE(error.reason().isEmpty());
        }
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("missing")));
    EXPECT_EQ(readFile(path), "old");
}

TEST(Image, WriteFailingHalfwayLeavesTheOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("config.dat");
    writeFile(path, "old");

    // Files of this process may grow to 100 bytes only, so the 530-byte image fails midway.
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString message;
    QString reason;
    try {
        writeImageFile(fullImage(), path);
    } catch (const ImageError& error) {
        message = error.message();
        reason = error.reason();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);

    EXPECT_EQ(message, QStringLiteral("Не удается записать файл %1").arg(path));
    EXPECT_EQ(reason, QStringLiteral("записано 100 байт из 530"));
    EXPECT_EQ(readFile(path), "old");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList("config.dat"));
}

TEST(Image, TruncatedDataIsReportedAndNotReadPastItsEnd) {
    const QByteArray whole = encodeImage(fullImage());
    const struct {
        qsizetype length;
        bool fixedPart;    // header and archive blocks read
        int interfaces;    // complete interface records read
        qsizetype phones;  // complete phone records read
    } cases[] = {
        {0, false, 0, 0},
        {59, false, 0, 0},
        {91, false, 0, 0},
        {92, true, 0, 0},
        {151, true, 0, 0},
        {152, true, 1, 0},
        {whole.size() - 1, true, 2, 1},
    };
    for (const auto& c : cases) {
        // An exact copy, so that a read past the end is a read past the allocation.
        const QByteArray data(whole.constData(), c.length);
        const DecodedImage decoded = decodeImage(data);
        EXPECT_FALSE(decoded.error.isEmpty()) << c.length;
        ASSERT_EQ(decoded.image.has_value(), c.fixedPart) << c.length;
        if (decoded.image) {
            EXPECT_EQ(decoded.image->header, fullImage().header) << c.length;
            EXPECT_EQ(decoded.image->interfaces.size(), c.interfaces) << c.length;
            EXPECT_EQ(decoded.image->phones.size(), c.phones) << c.length;
        }
    }
    EXPECT_EQ(decodeImage(whole.left(91)).error,
              QStringLiteral("Файл слишком короткий для образа: 91 байт, а заголовок и блоки "
                             "архивов занимают 92"));
    EXPECT_EQ(decodeImage(whole.left(151)).error,
              QStringLiteral("Образ обрезан: запись iface[0] (смещение 92, 60 байт) выходит за "
                             "конец файла длиной 151 байт; по заголовку длина образа 530 байт"));
}

TEST(Image, CountsBeyondTheDataAreNotTrusted) {
    Image image = emptyImage();
    image.header.col_achan = 65535;
    image.header.col_phone = 255;
    const DecodedImage decoded =
        decodeImage(encodeRecord(image.header) + encodeRecord(image.shortArchive) +
                    encodeRecord(image.mainArchive));
    ASSERT_TRUE(decoded.image);
    EXPECT_TRUE(decoded.image->analogInputs.isEmpty());
    EXPECT_EQ(decoded.error, QStringLiteral("Образ обрезан: запись achan[0] (смещение 92, 48 "
                                            "байт) выходит за конец файла длиной 92 байт; по "
                                            "заголовку длина образа 3149087 байт"));
}

TEST(Image, DataBeyondTheCountedRecordsIsReported) {
    const QByteArray whole = encodeImage(fullImage());
    for (const qsizetype extra : {1, 100}) {
        const DecodedImage decoded = decodeImage(whole + QByteArray(extra, '\0'));
        ASSERT_TRUE(decoded.image);
        EXPECT_EQ(encodeImage(*decoded.image), whole);
        EXPECT_EQ(decoded.error, QStringLiteral("Образ длиннее, чем указано в заголовке: по "
                                                "заголовку 530 байт, в файле %1 (лишних %2 байт)")
                                     .arg(530 + extra)
                                     .arg(extra));
    }
}

}  // namespace
}  // namespace orvet
