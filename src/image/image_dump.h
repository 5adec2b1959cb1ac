#pragma once

#include <QIODevice>
#include <QString>
#include <functional>

#include "image/image.h"

namespace orvet {

// The image as text for people and tests to read and diff: one line per field,
// "header.ver_hi = 1", "short_archive.records = 300", "iface[0].port = 1", each value as
// the device reads it, texts decoded from their code page in double quotes; before each part
// a comment line such as "# iface: 2 x 60 bytes at offset 92". Lines end with '\n'.
QString dumpImage(const Image& image);

// The dump of the image that the `size` bytes of `in` hold, written line by line to `out`
// while the records are read, so that memory stays the same for the largest image: the
// text dumpImage() gives for the records decodeImage() would read. Warnings of foreign
// bytes go to `warn` as they are found. Returns why the data is not a whole image (see
// DecodedImage::error), empty for a whole one.
QString dumpImage(QIODevice& in, qint64 size, const std::function<void(const QString&)>& out,
                  const std::function<void(const QString&)>& warn);

}  // namespace orvet
