#include "image/image_dump.h"

#include "image/record_layout.h"

namespace orvet {
namespace {

class DumpWriter {
public:
    template <class Rec>
    void part(const QString& name, const Rec& rec) {
        comment(name, 1, Rec::size);
        fields(name, rec);
    }

    template <class Rec>
    void section(const QString& name, const QList<Rec>& records) {
        comment(name, records.size(), Rec::size);
        for (qsizetype index = 0; index < records.size(); ++index) {
            fields(QStringLiteral("%1[%2]").arg(name).arg(index), records[index]);
        }
    }

    const QString& text() const { return text_; }

private:
    void comment(const QString& name, qsizetype count, int size) {
        text_ += QStringLiteral("# %1: %2 x %3 bytes at offset %4\n")
                     .arg(name)
                     .arg(count)
                     .arg(size)
                     .arg(offset_);
        offset_ += count * size;
    }

    template <class Rec>
    void fields(const QString& prefix, const Rec& rec) {
        for (const auto& [field, value] : describeRecord(rec)) {
            text_ += prefix + QLatin1Char('.') + field + QStringLiteral(" = ") + value +
                     QLatin1Char('\n');
        }
    }

    QString text_;
    qint64 offset_ = 0;
};

}  // namespace

QString dumpImage(const Image& image) {
    DumpWriter writer;
    writer.part(QStringLiteral("header"), image.header);
    writer.part(QStringLiteral("short_archive"), image.shortArchive);
    writer.part(QStringLiteral("main_archive"), image.mainArchive);
    forEachSection(image, [&](const char* name, qint64, const auto& records) {
        writer.section(QLatin1String(name), records);
    });
    return writer.text();
}

}  // namespace orvet
