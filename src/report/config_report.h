#pragma once

#include <QString>
#include <optional>

namespace orvet {

class TDataModule1;

// The document formats of the report, told by the file's extension.
enum class ReportFormat { Odt, Pdf, Html };

// The format of `path` by its extension (.odt, .pdf, .html or .htm, in any case); nothing for
// any other.
std::optional<ReportFormat> reportFormatFor(const QString& path);

// The configuration report of the current USPD (the current row of tblUSPD) as HTML: its name
// and enterprise, its Headline settings, interfaces, modules, every channel kind, the archive
// depths and the callback phones as tables, the size and CRC-16 of its image and the
// findings of the configuration check for upload blocks of `pakLen` bytes. The image is
// compiled into a temporary file with the compiler the upload uses, so the store is
// renumbered as writing into the USPD does; a failed compilation is reported in the document
// in place of the size and CRC. Throws StoreError when the store refuses a query.
QString configurationReportHtml(TDataModule1& data, int pakLen);

// Writes `html` to `path` in `format`: HTML as it is (UTF-8), ODF text through
// QTextDocumentWriter, PDF through QPdfWriter. Needs a QGuiApplication. Returns an empty
// string once written, else the reason for the user.
QString writeReport(const QString& html, ReportFormat format, const QString& path);

}  // namespace orvet
