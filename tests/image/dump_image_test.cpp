#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "image/image.h"
#include "image/image_dump.h"
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
    EXPECT_EQ(runCli({"dump-image"}, &out_, &err_), 2);
    EXPECT_EQ(runCli({"dump-image", "a", "b"}, &out_, &err_), 2);
}

}  // namespace
}  // namespace orvet
