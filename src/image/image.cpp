#include "image/image.h"

#include <QDir>
#include <QSaveFile>
#include <algorithm>
#include <type_traits>

#include "core/texts.h"
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

void writeImageFile(const Image& image, const QString& path) {
    const QByteArray bytes = encodeImage(image);
    QSaveFile file(path);
    // Unbuffered, so that a short write shows in write()'s count: a buffered QSaveFile
    // commits a file cut short by a full disk as if it were whole.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        throw ImageError(texts::kFileCannotOpen, file.errorString());
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

DecodedImage decodeImage(const QByteArray& data) {
    DecodedImage result;
    if (data.size() < kImageFixedLength) {
        result.error = QStringLiteral(
                           "Файл слишком короткий для образа: %1 байт, а заголовок и "
                           "блоки архивов занимают %2")
                           .arg(data.size())
                           .arg(kImageFixedLength);
        return result;
    }
    Image image;
    const char* bytes = data.constData();
    image.header = decodeRecord<ImageHeader>(bytes, QStringLiteral("header"), &result.warnings);
    image.shortArchive = decodeRecord<ArchiveBlock>(
        bytes + ImageHeader::size, QStringLiteral("short_archive"), &result.warnings);
    image.mainArchive =
        decodeRecord<ArchiveBlock>(bytes + ImageHeader::size + ArchiveBlock::size,
                                   QStringLiteral("main_archive"), &result.warnings);

    const qint64 expected = imageLength(image.header);
    qint64 offset = kImageFixedLength;
    forEachSection(image, [&](const char* name, qint64 count, auto& records) {
        using Rec = RecordOf<decltype(records)>;
        for (qint64 index = 0; index < count && result.error.isEmpty(); ++index) {
            const QString where = QStringLiteral("%1[%2]").arg(QLatin1String(name)).arg(index);
            if (data.size() - offset < Rec::size) {
                result.error = QStringLiteral(
                                   "Образ обрезан: запись %1 (смещение %2, %3 байт) "
                                   "выходит за конец файла длиной %4 байт; по "
                                   "заголовку длина образа %5 байт")
                                   .arg(where)
                                   .arg(offset)
                                   .arg(Rec::size)
                                   .arg(data.size())
                                   .arg(expected);
                return;
            }
            records.append(decodeRecord<Rec>(bytes + offset, where, &result.warnings));
            offset += Rec::size;
        }
    });
    if (result.error.isEmpty() && data.size() > expected) {
        result.error = QStringLiteral(
                           "Образ длиннее, чем указано в заголовке: по заголовку %1 "
                           "байт, в файле %2 (лишних %3 байт)")
                           .arg(expected)
                           .arg(data.size())
                           .arg(data.size() - expected);
    }
    result.image = image;
    return result;
}

}  // namespace orvet
