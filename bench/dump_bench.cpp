// orvet-cli dump-image's printing beside a bare baseline, on the largest image a header can
// describe (16 MB, every count at its limit):
//   DumpImage_Layer  read the image record by record and print its dump (as UTF-8, to a
//                    sink that keeps nothing), as the command does
//   DumpImage_Bare   read the file in blocks and print as many lines of the same length,
//                    formatted but not decoded
// The ratio layer/bare is printed at the end; the goal is at most 3. The peak of the bytes
// the layer held in one line is reported too: it stays that of one record, however large
// the image.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>
#include <type_traits>

#include "bench_support.h"
#include "image/image.h"
#include "image/image_dump.h"
#include "image/record_layout.h"

namespace orvet {
namespace {

class Bench {
public:
    Bench() {
        Image image;
        forEachSection(image, [](const char*, qint64& count, const auto& records) {
            count = std::is_same_v<std::decay_t<decltype(records)>, QList<PhoneRec>> ? 255 : 65535;
        });
        QByteArray bytes = encodeRecord(image.header) + encodeRecord(image.shortArchive) +
                           encodeRecord(image.mainArchive);
        forEachSection(image, [&bytes](const char*, qint64 count, const auto& records) {
            bytes += encodeRecord(typename std::decay_t<decltype(records)>::value_type{})
                         .repeated(count);
        });
        QFile file(path());
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            throw StoreError(file.errorString());
    }

    QString path() const { return dir_.filePath("largest.dat"); }

private:
    QTemporaryDir dir_;
};

Bench& bench() {
    static Bench instance;
    return instance;
}

// What the layer printed, for the baseline to print as much.
qint64 dumpLines = 0;
qint64 dumpBytes = 0;

void DumpImage_Layer(benchmark::State& state) {
    qint64 longest = 0;
    for (auto _ : state) {
        QFile file(bench().path());
        if (!file.open(QIODevice::ReadOnly))
            throw StoreError(file.errorString());
        qint64 lines = 0;
        qint64 bytes = 0;
        const QString error = dumpImage(
            file, file.size(),
            [&](const QString& line) {
                const QByteArray text = line.toUtf8();
                benchmark::DoNotOptimize(text.constData());
                ++lines;
                bytes += text.size();
                longest = std::max<qint64>(longest, text.size());
            },
            [](const QString& warning) { throw StoreError(warning); });
        if (!error.isEmpty())
            throw StoreError(error);
        dumpLines = lines;
        dumpBytes = bytes;
    }
    state.counters["lines"] = double(dumpLines);
    state.counters["longest_line"] = double(longest);
}

void DumpImage_Bare(benchmark::State& state) {
    const qint64 lines = dumpLines > 0 ? dumpLines : 1'000'000;
    const qint64 width = dumpLines > 0 ? dumpBytes / dumpLines : 30;
    for (auto _ : state) {
        QFile file(bench().path());
        if (!file.open(QIODevice::ReadOnly))
            throw StoreError(file.errorString());
        while (!file.atEnd())
            benchmark::DoNotOptimize(file.read(4096).constData());
        const QString filler(width - 12, u'x');
        for (qint64 line = 0; line < lines; ++line) {
            const QByteArray text =
                (filler + QStringLiteral(" = %1\n").arg(line % 1000000, 6)).toUtf8();
            benchmark::DoNotOptimize(text.constData());
        }
    }
}

BENCHMARK(DumpImage_Layer)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(DumpImage_Bare)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace orvet

int main(int argc, char** argv) {
    return orvet::runBenchmarks(argc, argv, "dump_bench", {"DumpImage"}, 3);
}
