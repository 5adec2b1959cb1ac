#include "image/image.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <type_traits>

#include "core/texts.h"
#include "image/image_reader.h"
#include "image/record_layout.h"

namespace orvet {
namespace {

constexpr qint64 kMaxRecordsOfKind = 65535;  // uint16 counts
constexpr qint64 kMaxPhones = 127;           // the device reads the count byte as signed

template <class Records>
using RecordOf = typename std::remove_cvref_t<Records>::value_type;

QString sectionName(const char* name) {
    return QStringLiteral("«%1»").arg(QLatin1String(name));
}

}  // namespace

void Image::setSectionCounts() {
    forEachSection(*this,
                   [](const char*, qint64& count, const auto& records) { count = records.size(); });
}

void Image::setChannelMaxima() {
    const auto largest = [this](qint64 DeviceRec::*count) {
        qint64 result = 0;
        for (const DeviceRec& module : modules) {
            result = std::max<qint64>(result, static_cast<qint8>(module.*count));
        }
        return result;
    };
    header.max_dchan = largest(&DeviceRec::col_dchannel);
    header.max_achan = largest(&DeviceRec::col_achannel);
    header.max_nichan = largest(&DeviceRec::col_nichannel);
    header.max_dochan = largest(&DeviceRec::col_dochannel);
    header.max_kbhachan = largest(&DeviceRec::col_kvna);
}

qint64 imageLength(const ImageHeader& header) {
    qint64 length = kImageFixedLength;
    Image image;
    image.header = header;
    forEachSection(image, [&](const char*, qint64 count, const auto& records) {
        length += count * RecordOf<decltype(records)>::size;
    });
    return length;
}

qint64 maxImageLength() {
    qint64 length = kImageFixedLength;
    const Image image;
    forEachSection(image, [&](const char*, qint64, const auto& records) {
        using Rec = RecordOf<decltype(records)>;
        length += (std::is_same_v<Rec, PhoneRec> ? 255 : kMaxRecordsOfKind) * Rec::size;
    });
    return length;
}

ImageError::ImageError(const QString& message, const QString& reason)
    : std::runtime_error(message.toStdString()), message_(message), reason_(reason) {
}

QByteArray encodeImage(const Image& image) {
    forEachSection(image, [](const char* name, qint64 count, const auto& records) {
        const qint64 limit =
            std::is_same_v<RecordOf<decltype(records)>, PhoneRec> ? kMaxPhones : kMaxRecordsOfKind;
        if (records.size() > limit) {
            throw ImageError(
                QStringLiteral("Слишком много записей в разделе %1: %2, в образе помещается не "
                               "больше %3")
                    .arg(sectionName(name))
                    .arg(records.size())
                    .arg(limit));
        }
        if (count != records.size()) {
            throw ImageError(QStringLiteral("Число записей раздела %1 в заголовке (%2) не "
                                            "совпадает с числом записей (%3)")
                                 .arg(sectionName(name))
                                 .arg(count)
                                 .arg(records.size()));
        }
    });
    QByteArray bytes;
    bytes.reserve(imageLength(image.header));
    bytes += encodeRecord(image.header);
    bytes += encodeRecord(image.shortArchive);
    bytes += encodeRecord(image.mainArchive);
    forEachSection(image, [&](const char*, qint64, const auto& records) {
        for (const auto& rec : records) {
            bytes += encodeRecord(rec);
        }
    });
    return bytes;
}

namespace {

// The file a path names once symbolic links are followed; a link to nothing names the
// place its target would be.
QString resolvedPath(const QString& path) {
    QString resolved = path;
    // As many links as the system itself follows before it gives up on a loop.
    for (int links = 0; links < 40; ++links) {
        const QFileInfo info(resolved);
        if (!info.isSymLink())
            break;
        resolved = info.symLinkTarget();
    }
    return resolved;
}

}  // namespace

QString notARegularFile(const QString& path) {
    const QFileInfo info(resolvedPath(path));
    if (info.isSymLink() || (info.exists() && !info.isFile())) {
        return QStringLiteral("«%1» не является обычным файлом")
            .arg(QDir::toNativeSeparators(path));
    }
    return {};
}

void writeImageFile(const Image& image, const QString& path) {
    const QByteArray bytes = encodeImage(image);
    // Written beside the link's target and renamed over it: renaming over a FIFO or a
    // device node would put a regular file in its place.
    if (const QString reason = notARegularFile(path); !reason.isEmpty())
        throw ImageError(texts::fileCannotOpen(path), reason);
    QSaveFile file(resolvedPath(path));
    // Unbuffered, so that a short write shows in write()'s count: a buffered QSaveFile
    // commits a file cut short by a full disk as if it were whole.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        throw ImageError(texts::fileCannotOpen(path), file.errorString());
    }
    const qint64 written = file.write(bytes);
    const QString failure =
        QStringLiteral("Не удается записать файл %1").arg(QDir::toNativeSeparators(path));
    if (written != bytes.size()) {
        throw ImageError(
            failure, written < 0
                         ? file.errorString()
                         : QStringLiteral("записано %1 байт из %2").arg(written).arg(bytes.size()));
    }
    if (!file.commit()) {
        throw ImageError(failure, file.errorString());
    }
}

namespace image_errors {

QString tooShort(qint64 size) {
    return QStringLiteral(
               "Файл слишком короткий для образа: %1 байт, а заголовок и блоки архивов "
               "занимают %2")
        .arg(size)
        .arg(kImageFixedLength);
}

QString truncated(const QString& where, qint64 offset, int recordSize, qint64 size,
                  qint64 expected) {
    return QStringLiteral(
               "Образ обрезан: запись %1 (смещение %2, %3 байт) выходит за конец файла длиной "
               "%4 байт; по заголовку длина образа %5 байт")
        .arg(where)
        .arg(offset)
        .arg(recordSize)
        .arg(size)
        .arg(expected);
}

QString overlong(qint64 expected, qint64 size) {
    return QStringLiteral(
               "Образ длиннее, чем указано в заголовке: по заголовку %1 байт, в файле %2 "
               "(лишних %3 байт)")
        .arg(expected)
        .arg(size)
        .arg(size - expected);
}

QString unreadable(const QString& reason) {
    return QStringLiteral("Образ не удается дочитать: %1").arg(reason);
}

}  // namespace image_errors

DecodedImage decodeImage(const QByteArray& data) {
    DecodedImage result;
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    Image image;
    const ImageWalk walk = walkImage(
        buffer, data.size(), &image,
        [](const char*, qint64 present, auto& records) { records.reserve(present); },
        [](const QString&, auto& records, const auto& rec) { records.append(rec); },
        [&result](const QString& warning) { result.warnings.append(warning); });
    result.error = walk.error;
    if (walk.fixedPartRead)
        result.image = std::move(image);
    return result;
}

}  // namespace orvet
