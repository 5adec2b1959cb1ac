#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>

namespace orvet {

class TDataModule1;

// The document formats of the report, told by the file's extension.
enum class ReportFormat { Odt, Pdf, Html };

// The format of `path` by its extension (.odt, .pdf, .html or .htm, in any case); nothing for
// any other.
std::optional<ReportFormat> reportFormatFor(const QString& path);

// One part of the report: its heading, then whichever of a table of names and values, a table
// of rows under column captions, a sentence and a list it has, in that order.
struct ReportSection {
    QString heading;
    QList<std::pair<QString, QString>> pairs;
    QStringList captions;
    QList<QStringList> rows;
    QString sentence;
    QStringList items;
};

// The configuration report of one USPD: its title and parts in reading order.
struct ConfigurationReport {
    QString title;
    QList<ReportSection> sections;

    // The rows of every table (names and values included) and the items of every list.
    qsizetype rowCount() const;
};

// The configuration report of the current USPD (the current row of tblUSPD): its name and
// enterprise, its Headline settings, interfaces, modules, every channel kind, the archive
// depths and the callback phones as tables under the captions the editors show, the size and
// CRC-16 of its image and the findings of the configuration check for upload blocks of
// `pakLen` bytes. The image is compiled into a temporary file with the compiler the upload
// uses, so the store is renumbered as writing into the USPD does; a failed compilation is
// reported in the document in place of the size and CRC. Throws StoreError when the store
// refuses a query.
ConfigurationReport configurationReport(TDataModule1& data, int pakLen);

// The report as an HTML page (UTF-8, texts escaped).
QString reportHtml(const ConfigurationReport& report);

// Told how far the writing has come: the stage, in the user's words, and the units done of
// `total` (0 when the stage cannot count its work). Returns false to cancel the writing.
using ReportProgress = std::function<bool(const QString& stage, qint64 done, qint64 total)>;

// How a writing ended: written, cancelled (no file is left), or failed with the reason for
// the user (no file is left either).
struct ReportWriteResult {
    bool cancelled = false;
    QString failure;

    bool written() const { return !cancelled && failure.isEmpty(); }
};

// Writes `report` to `path` in `format`: HTML as reportHtml() gives it, ODF text through
// QTextDocumentWriter, PDF through QPdfWriter at the resolution pdfResolutionFor() picks.
// The file is replaced whole once the document is complete; on a failure or a cancel the
// previous file, if any, stays as it was. `progress`, if given, is told the stages and may
// cancel between rows and between pages. Needs a QGuiApplication.
ReportWriteResult writeReport(const ConfigurationReport& report, ReportFormat format,
                              const QString& path, const ReportProgress& progress = {});

// The resolution (dpi) to lay out a PDF of about `pages` A4 pages at: 300 as a rule, lower
// for a report so long that the layout's fixed-point coordinates (about 33.5 million device
// units) would overflow at 300 dpi, with room to spare for rows that wrap; 0 when no usable
// resolution holds it.
int pdfResolutionFor(qint64 pages);

}  // namespace orvet
