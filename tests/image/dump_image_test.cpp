#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <type_traits>

#include "image/image.h"
#include "image/image_dump.h"
#include "image/record_layout.h"
#include "image_fixtures.h"
#include "support/test_files.h"

namespace orvet {
namespace {

using testing::fullImage;
using testing::goldenText;
using testing::runCli;

class DumpImage : public ::testing::Test {
protected:
    QString file(const QString& name, const QByteArray& bytes) {
        QString path = dir_.filePath(name);
        testing::writeFile(path, bytes);
        return path;
    }

    QTemporaryDir dir_;
    QString out_;
    QString err_;
};

TEST_F(DumpImage, ShowsEveryFieldByName) {
    const QString dump = dumpImage(fullImage());
    EXPECT_EQ(dump, goldenText("full.dump", dump));
    // What the device reads, whether shown from the store's values or from the file.
    EXPECT_EQ(dumpImage(*decodeImage(encodeImage(fullImage())).image), dump);
}

TEST_F(DumpImage, CommandPrintsAGoodImage) {
    const QString path = file("config.dat", encodeImage(fullImage()));
    EXPECT_EQ(runCli({"dump-image", path}, &out_, &err_), 0) << err_.toStdString();
    EXPECT_EQ(out_, dumpImage(fullImage()));
    EXPECT_EQ(err_, QString());
}

TEST_F(DumpImage, CommandReportsATruncatedImageAfterTheRecordsItHolds) {
    const QByteArray whole = encodeImage(fullImage());
    const QString path = file("config.dat", whole.left(whole.size() - 1));
    EXPECT_EQ(runCli({"dump-image", path}, &out_, &err_), 1);
    Image partial = fullImage();
    partial.phones.removeLast();
    EXPECT_EQ(out_, dumpImage(partial));
    EXPECT_EQ(err_, QStringLiteral("orvet-cli dump-image: Образ обрезан: запись phone[1] "
                                   "(смещение 517, 13 байт) выходит за конец файла длиной 529 "
                                   "байт; по заголовку длина образа 530 байт\n"));
}

TEST_F(DumpImage, CommandReportsAnOverlongImage) {
    const QString path = file("config.dat", encodeImage(fullImage()) + "\x01\x02");
    EXPECT_EQ(runCli({"dump-image", path}, &out_, &err_), 1);
    EXPECT_EQ(out_, dumpImage(fullImage()));
    EXPECT_EQ(err_, QStringLiteral("orvet-cli dump-image: Образ длиннее, чем указано в "
                                   "заголовке: по заголовку 530 байт, в файле 532 (лишних 2 "
                                   "байт)\n"));

    const QString huge = dir_.filePath("huge.dat");
    QFile out(huge);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.resize(maxImageLength() + 1));
    EXPECT_EQ(runCli({"dump-image", huge}, &out_, &err_), 1);
    EXPECT_EQ(out_, QString());
    EXPECT_TRUE(err_.contains(QStringLiteral("не может быть образом"))) << err_.toStdString();
}

TEST_F(DumpImage, CommandWarnsOfForeignBytesButReadsTheImage) {
    QByteArray bytes = encodeImage(fullImage());
    bytes[26] = '\x07';  // the header's reserved word
    const QString path = file("config.dat", bytes);
    EXPECT_EQ(runCli({"dump-image", path}, &out_, &err_), 0);
    EXPECT_EQ(out_, dumpImage(fullImage()));
    EXPECT_EQ(err_, QStringLiteral("orvet-cli dump-image: внимание: header: неиспользуемый байт "
                                   "26 равен 0x07 вместо 0\n"));
}

TEST_F(DumpImage, CommandRefusesMissingFilesAndBadArguments) {
    EXPECT_EQ(runCli({"dump-image", dir_.filePath("absent.dat")}, &out_, &err_), 1);
    EXPECT_TRUE(err_.contains(QStringLiteral("не удается открыть"))) << err_.toStdString();
    // A FIFO would keep the command waiting for a writer.
    const QString fifo = dir_.filePath("fifo.dat");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(runCli({"dump-image", fifo}, &out_, &err_), 1);
    EXPECT_EQ(err_, QStringLiteral("orvet-cli dump-image: Файл %1 не удается открыть: «%1» не "
                                   "является обычным файлом\n")
                        .arg(fifo));
    EXPECT_EQ(runCli({"dump-image"}, &out_, &err_), 2);
    EXPECT_EQ(runCli({"dump-image", "a", "b"}, &out_, &err_), 2);
}

// The largest image a header can describe: every count at the most its field holds.
QByteArray largestImage() {
    Image image;
    QByteArray bytes;
    forEachSection(image, [](const char*, qint64& count, const auto& records) {
        count = std::is_same_v<std::decay_t<decltype(records)>, QList<PhoneRec>> ? 255 : 65535;
    });
    bytes += encodeRecord(image.header) + encodeRecord(image.shortArchive) +
             encodeRecord(image.mainArchive);
    forEachSection(image, [&bytes](const char*, qint64 count, const auto& records) {
        bytes +=
            encodeRecord(typename std::decay_t<decltype(records)>::value_type{}).repeated(count);
    });
    return bytes;
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer) || __has_feature(thread_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

// The dump of the largest image is over 100 MB of text; the command prints it record by
// record within an address space that could not hold the text once.
TEST_F(DumpImage, CommandPrintsTheLargestImageInBoundedMemory) {
    if (kSanitized)
        GTEST_SKIP() << "the sanitizers reserve more address space than the bound";
    const QByteArray bytes = largestImage();
    ASSERT_EQ(bytes.size(), maxImageLength());
    const QString path = file("largest.dat", bytes);
    const QString dump = dir_.filePath("largest.dump");

    QProcess process;
    process.setChildProcessModifier([] {
        constexpr rlim_t kBound = rlim_t{200} * 1024 * 1024;
        const rlimit bound{kBound, kBound};
        ::setrlimit(RLIMIT_AS, &bound);
    });
    process.setStandardOutputFile(dump);
    process.start(QStringLiteral(ORVET_CLI_PATH), {"dump-image", path});
    ASSERT_TRUE(process.waitForFinished(600'000)) << process.errorString().toStdString();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(process.readAllStandardError()), QString());

    // Whole, up to the last record.
    QFile out(dump);
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_GT(out.size(), 100'000'000);
    const QByteArray last = "phone[254].phonenum = \"\"\n";
    ASSERT_TRUE(out.seek(out.size() - last.size()));
    EXPECT_EQ(out.readAll(), last);
}

}  // namespace
}  // namespace orvet
