#pragma once

#include <QString>

#include "image/image.h"

namespace orvet {

// The image as text for people and tests to read and diff: one line per field,
// "header.ver_hi = 1", "short_archive.records = 300", "iface[0].port = 1", each value as
// the device reads it, texts decoded from their code page in double quotes; before each part
// a comment line such as "# iface: 2 x 60 bytes at offset 92". Lines end with '\n'.
QString dumpImage(const Image& image);

}  // namespace orvet
