#include "image/image_dump.h"

#include "image/image_reader.h"
#include "image/record_layout.h"

namespace orvet {
namespace {

// Writes the dump line by line to `out` as the parts and records come.
class DumpWriter {
public:
    explicit DumpWriter(const std::function<void(const QString&)>& out) : out_(out) {}

    template <class Rec>
    void part(const QString& name, const Rec& rec) {
        comment(name, 1, Rec::size);
        fields(name, rec);
    }

    // The comment line before a section's `count` records.
    template <class Rec>
    void section(const char* name, qint64 count, const QList<Rec>&) {
        comment(QLatin1String(name), count, Rec::size);
    }

    // One record of a section, `where` being its name and index ("iface[0]").
    template <class Rec>
    void fields(const QString& where, const Rec& rec) {
        for (const auto& [field, value] : describeRecord(rec)) {
            out_(where + QLatin1Char('.') + field + QStringLiteral(" = ") + value +
                 QLatin1Char('\n'));
        }
    }

    void fixedParts(const Image& image) {
        part(QStringLiteral("header"), image.header);
        part(QStringLiteral("short_archive"), image.shortArchive);
        part(QStringLiteral("main_archive"), image.mainArchive);
    }

private:
    void comment(const QString& name, qint64 count, int size) {
        out_(QStringLiteral("# %1: %2 x %3 bytes at offset %4\n")
                 .arg(name)
                 .arg(count)
                 .arg(size)
                 .arg(offset_));
        offset_ += count * size;
    }

    const std::function<void(const QString&)>& out_;
    qint64 offset_ = 0;
};

}  // namespace

QString dumpImage(const Image& image) {
    QString text;
    const std::function<void(const QString&)> append = [&text](const QString& line) {
        text += line;
    };
    DumpWriter writer(append);
    writer.fixedParts(image);
    forEachSection(image, [&](const char* name, qint64, const auto& records) {
        writer.section(name, records.size(), records);
        for (qsizetype index = 0; index < records.size(); ++index)
            writer.fields(QStringLiteral("%1[%2]").arg(QLatin1String(name)).arg(index),
                          records[index]);
    });
    return text;
}

QString dumpImage(QIODevice& in, qint64 size, const std::function<void(const QString&)>& out,
                  const std::function<void(const QString&)>& warn) {
    DumpWriter writer(out);
    Image fixed;
    bool fixedShown = false;
    const ImageWalk walk = walkImage(
        in, size, &fixed,
        [&](const char* name, qint64 present, const auto& records) {
            if (!fixedShown) {
                writer.fixedParts(fixed);
                fixedShown = true;
            }
            writer.section(name, present, records);
        },
        [&](const QString& where, const auto&, const auto& rec) { writer.fields(where, rec); },
        warn);
    return walk.error;
}

}  // namespace orvet
