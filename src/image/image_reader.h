#pragma once

#include <QIODevice>
#include <QString>
#include <QStringList>
#include <type_traits>

#include "image/image.h"
#include "image/record_layout.h"

namespace orvet {

// Why data is not a whole image, in the words decodeImage() reports.
namespace image_errors {
QString tooShort(qint64 size);
QString truncated(const QString& where, qint64 offset, int recordSize, qint64 size,
                  qint64 expected);
QString overlong(qint64 expected, qint64 size);
QString unreadable(const QString& reason);
}  // namespace image_errors

struct ImageWalk {
    bool fixedPartRead = false;  // the header and the archive blocks were there
    QString error;               // as DecodedImage::error
};

// Reads the image that the `size` bytes of `in` from its current position hold, one record
// at a time, so that memory does not grow with the header's counts: the header and the
// archive blocks into *fixed, then the sections in file order. Before each section it calls
// onSection(name, present, records), where `present` is the number of the section's records
// the data holds whole and `records` is the section's (empty) list in *fixed, which tells
// the record type; then onRecord(where, records, record) for each of those records. Warnings of
// foreign bytes go to onWarning(text) as the records are read. Never reads past `size`.
template <class OnSection, class OnRecord, class OnWarning>
ImageWalk walkImage(QIODevice& in, qint64 size, Image* fixed, OnSection&& onSection,
                    OnRecord&& onRecord, OnWarning&& onWarning) {
    ImageWalk walk;
    QStringList warnings;
    const auto passWarnings = [&] {
        for (const QString& warning : warnings)
            onWarning(warning);
        warnings.clear();
    };
    QByteArray bytes;
    const auto readBytes = [&](qint64 count) {
        bytes = in.read(count);
        if (bytes.size() == count)
            return true;
        walk.error = image_errors::unreadable(in.errorString());
        return false;
    };
    if (size < kImageFixedLength) {
        walk.error = image_errors::tooShort(size);
        return walk;
    }
    if (!readBytes(kImageFixedLength))
        return walk;
    const char* data = bytes.constData();
    fixed->header = decodeRecord<ImageHeader>(data, QStringLiteral("header"), &warnings);
    fixed->shortArchive = decodeRecord<ArchiveBlock>(data + ImageHeader::size,
                                                     QStringLiteral("short_archive"), &warnings);
    fixed->mainArchive = decodeRecord<ArchiveBlock>(data + ImageHeader::size + ArchiveBlock::size,
                                                    QStringLiteral("main_archive"), &warnings);
    passWarnings();
    walk.fixedPartRead = true;

    const qint64 expected = imageLength(fixed->header);
    qint64 offset = kImageFixedLength;
    forEachSection(*fixed, [&](const char* name, qint64 count, auto& records) {
        using Rec = typename std::remove_cvref_t<decltype(records)>::value_type;
        const qint64 present =
            walk.error.isEmpty() ? std::min(count, (size - offset) / Rec::size) : 0;
        onSection(name, present, records);
        for (qint64 index = 0; index < present && walk.error.isEmpty(); ++index) {
            const QString where = QStringLiteral("%1[%2]").arg(QLatin1String(name)).arg(index);
            if (!readBytes(Rec::size))
                return;
            const Rec rec = decodeRecord<Rec>(bytes.constData(), where, &warnings);
            passWarnings();
            onRecord(where, records, rec);
            offset += Rec::size;
        }
        if (walk.error.isEmpty() && present < count) {
            walk.error = image_errors::truncated(
                QStringLiteral("%1[%2]").arg(QLatin1String(name)).arg(present), offset, Rec::size,
                size, expected);
        }
    });
    if (walk.error.isEmpty() && size > expected)
        walk.error = image_errors::overlong(expected, size);
    return walk;
}

}  // namespace orvet
