#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <stdexcept>

#include "image/image_records.h"

namespace orvet {

// One USPD's configuration image: the header, the two archive blocks and the record
// sections in file order. Records refer to each other by their position in their section.
struct Image {
    ImageHeader header;
    ArchiveBlock shortArchive;
    ArchiveBlock mainArchive;
    QList<IfaceRec> interfaces;
    QList<DeviceRec> modules;
    QList<EmDChannelRec> onboardInputs;
    QList<DChannelRec> discreteInputs;
    QList<EmDOChannelRec> onboardOutputs;
    QList<DOChannelRec> discreteOutputs;
    QList<KBHARec> kbhaChannels;
    QList<AChannelRec> analogInputs;
    QList<NIChannelRec> countingInputs;
    QList<PhoneRec> phones;

    // Sets the header's record counts (col_iface ... col_phone) to the sections' sizes.
    void setSectionCounts();
    // Sets the header's max_* fields to the largest per-module channel counts of the module
    // records, compared as the device does: as signed bytes, starting from 0, so that a
    // count above 127 never becomes a maximum.
    void setChannelMaxima();

    bool operator==(const Image&) const = default;
};

// Calls f(name, count, records) for each record section in file order: `name` is the
// section's name in dumps ("iface", "device", ...), `count` the header field that holds
// its number of records.
template <class ImageT, class F>
void forEachSection(ImageT& image, F&& f) {
    f("iface", image.header.col_iface, image.interfaces);
    f("device", image.header.col_device, image.modules);
    f("emdchan", image.header.col_emdchan, image.onboardInputs);
    f("dchan", image.header.col_dchan, image.discreteInputs);
    f("emdochan", image.header.col_emdochan, image.onboardOutputs);
    f("dochan", image.header.col_dochan, image.discreteOutputs);
    f("kbhachan", image.header.col_kbhachan, image.kbhaChannels);
    f("achan", image.header.col_achan, image.analogInputs);
    f("nichan", image.header.col_nichan, image.countingInputs);
    f("phone", image.header.col_phone, image.phones);
}

// Header and archive blocks: the part of every image that does not depend on the counts.
constexpr qint64 kImageFixedLength = ImageHeader::size + 2 * ArchiveBlock::size;

// The file length that the header's record counts call for.
qint64 imageLength(const ImageHeader& header);

// The longest image any header can describe.
qint64 maxImageLength();

// A failure to encode, write or read an image; message() is the text for the user.
class ImageError : public std::runtime_error {
public:
    explicit ImageError(const QString& message, const QString& reason = {});
    const QString& message() const { return message_; }
    // The system's reason for a file failure; empty otherwise.
    const QString& reason() const { return reason_; }

private:
    QString message_;
    QString reason_;
};

// The image's bytes in file order. Throws ImageError when a section's size differs from
// its header count or does not fit the count field (at most 65535 records of a kind, 127
// phone numbers), since the device walks the file by those counts.
QByteArray encodeImage(const Image& image);

// Why `path` cannot be read or replaced as an image file: a message naming it when it is
// something other than a regular file (a FIFO, a device, a folder), also behind symbolic
// links; empty for a regular file and for a path where nothing is.
QString notARegularFile(const QString& path);

// Encodes the image and replaces the file at `path` with it as a whole: the bytes go to a
// temporary file beside it that is renamed over the old one only when all of them are
// written, so a failure leaves the old file as it was. A symbolic link stays and its target
// is replaced (or created). Throws ImageError with "Файл не удается открыть" when the file
// cannot be created or `path` is not a regular file (notARegularFile() is the reason), or
// with a message naming the file when it cannot be written.
void writeImageFile(const Image& image, const QString& path);

struct DecodedImage {
    // Every complete record of the data; none when the data is shorter than the header and
    // the two archive blocks.
    std::optional<Image> image;
    // Why the data is not a whole image: it ends before the records the header counts, or
    // goes on after them. Empty for a whole image.
    QString error;
    // Bytes that a written image never holds: unused bytes that are not 0, constant bytes
    // that are not 1, texts without their NUL.
    QStringList warnings;
};

// Reads an image back. Never reads past the end of `data`.
DecodedImage decodeImage(const QByteArray& data);

}  // namespace orvet
