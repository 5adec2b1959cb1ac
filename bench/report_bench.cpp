// The configuration report beside Qt's own route from HTML, on a USPD with 300 modules and
// 2 000 channels of the seven kinds:
//   Pdf_Layer  writeReport() to PDF: the document built through a text cursor, laid out and
//              painted page by page at 300 dpi
//   Pdf_Bare   the report's HTML given to QTextDocument::setHtml() and printed with
//              QTextDocument::print() on a QPdfWriter at 300 dpi
//   Odt_Layer  writeReport() to ODF text
//   Odt_Bare   the report's HTML given to setHtml() and written by QTextDocumentWriter
// The ratios layer/bare are printed at the end; the goal is at most 0.75 (Qt's HTML parsing
// grows faster than the rows, so a larger USPD gains more).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QPdfWriter>
#include <QTextDocument>
#include <QTextDocumentWriter>

#include "bench_support.h"
#include "report/config_report.h"

namespace orvet {
namespace {

constexpr int kChannelShare = 5;  // a fifth of each kind's count in kBenchKinds
constexpr int kPakLen = 1024;

class Bench : public BenchStore {
public:
    Bench() {
        db().transaction();
        const qint64 uspd = addUspdWithSettings();
        addNumberedChannels(uspd, addMixedModules(uspd, addInterfaces(uspd, {1}), {}),
                            kChannelShare);
        db().commit();
        openFirstUspd();
        report_ = configurationReport(dm(), kPakLen);
    }

    const ConfigurationReport& report() const { return report_; }

private:
    ConfigurationReport report_;
};

Bench& bench() {
    static Bench instance;
    return instance;
}

void written(benchmark::State& state, ReportFormat format, const char* name) {
    const QString path = bench().filePath(QLatin1String(name));
    for (auto _ : state) {
        const ReportWriteResult result = writeReport(bench().report(), format, path);
        if (!result.written())
            state.SkipWithError(result.failure.toUtf8().constData());
    }
}

void Pdf_Layer(benchmark::State& state) {
    written(state, ReportFormat::Pdf, "layer.pdf");
}

void Pdf_Bare(benchmark::State& state) {
    const QString html = reportHtml(bench().report());
    for (auto _ : state) {
        QTextDocument document;
        document.setHtml(html);
        QPdfWriter pdf(bench().filePath(QStringLiteral("bare.pdf")));
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setResolution(300);
        document.print(&pdf);
    }
}

void Odt_Layer(benchmark::State& state) {
    written(state, ReportFormat::Odt, "layer.odt");
}

void Odt_Bare(benchmark::State& state) {
    const QString html = reportHtml(bench().report());
    for (auto _ : state) {
        QTextDocument document;
        document.setHtml(html);
        QTextDocumentWriter writer(bench().filePath(QStringLiteral("bare.odt")), "odf");
        if (!writer.write(&document))
            state.SkipWithError("the ODF file is not written");
    }
}

BENCHMARK(Pdf_Layer)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(Pdf_Bare)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(Odt_Layer)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(Odt_Bare)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

}  // namespace
}  // namespace orvet

int main(int argc, char** argv) {
    return orvet::runBenchmarks<QGuiApplication>(argc, argv, "report_bench", {"Pdf", "Odt"}, 0.75);
}
