#include "report/config_report.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTextDocumentWriter>
#include <QVariant>

#include "editing/config_check.h"
#include "image/compiler.h"
#include "link/crc16.h"
#include "store/channel_kinds.h"
#include "store/connection.h"
#include "store/data_module.h"
#include "store/store_error.h"

namespace orvet {
namespace {

QString escaped(const QString& text) {
    return text.toHtmlEscaped();
}

QString heading(const QString& text) {
    return QStringLiteral("<h2>%1</h2>\n").arg(escaped(text));
}

QString yesNo(const QVariant& value) {
    return value.toInt() != 0 ? QStringLiteral("да") : QStringLiteral("нет");
}

// A two-column table of names and values.
QString pairTable(const QList<std::pair<QString, QString>>& rows) {
    QString html = QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">\n");
    for (const auto& row : rows) {
        html += QStringLiteral("<tr><td>%1</td><td>%2</td></tr>\n")
                    .arg(escaped(row.first), escaped(row.second));
    }
    return html + QStringLiteral("</table>\n");
}

// Every stored row of the current USPD in `table`, in ascending `order`, as a table with a
// column for each field but id_uspd; `none` when there is no row. Throws StoreError.
QString rowsTable(TDataModule1& data, const char* table, const char* order, const QString& none) {
    QSqlQuery query(data.ADOConnection1.database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("select * from %1 where id_uspd = ? order by %2")
                      .arg(QLatin1String(table), QLatin1String(order)));
    query.addBindValue(data.currentUspd());
    if (!query.exec())
        throw engineError(query.lastError());
    const QSqlRecord record = query.record();
    QList<int> shown;
    QString header;
    for (int i = 0; i < record.count(); ++i) {
        if (record.fieldName(i) == QLatin1String("id_uspd"))
            continue;
        shown.append(i);
        header += QStringLiteral("<th>%1</th>").arg(escaped(record.fieldName(i)));
    }
    QString body;
    while (query.next()) {
        body += QStringLiteral("<tr>");
        for (const int i : shown)
            body += QStringLiteral("<td>%1</td>").arg(escaped(query.value(i).toString()));
        body += QStringLiteral("</tr>\n");
    }
    if (body.isEmpty())
        return QStringLiteral("<p>%1</p>\n").arg(escaped(none));
    return QStringLiteral(
               "<table border=\"1\" cellspacing=\"0\" "
               "cellpadding=\"3\">\n<tr>%1</tr>\n%2</table>\n")
        .arg(header, body);
}

// The first stored row of the current USPD in `table`; an empty record when there is none.
QSqlRecord firstRow(TDataModule1& data, const char* table) {
    QSqlQuery query(data.ADOConnection1.database());
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("select * from %1 where id_uspd = ? limit 1").arg(QLatin1String(table)));
    query.addBindValue(data.currentUspd());
    if (!query.exec())
        throw engineError(query.lastError());
    return query.next() ? query.record() : QSqlRecord();
}

QString uspdPart(TDataModule1& data) {
    QSqlQuery query(data.ADOConnection1.database());
    query.prepare(QStringLiteral("select uspd_name, enterprise from USPD where id_uspd = ?"));
    query.addBindValue(data.currentUspd());
    if (!query.exec())
        throw engineError(query.lastError());
    const bool found = query.next();
    const QString name = found ? query.value(0).toString() : QString();
    const QString enterprise = found ? query.value(1).toString() : QString();
    return QStringLiteral("<h1>Отчёт о конфигурации УСПД</h1>\n") +
           pairTable(
               {{QStringLiteral("УСПД"), name},
                {QStringLiteral("Предприятие"), enterprise},
                {QStringLiteral("Номер в базе (id_uspd)"), QString::number(data.currentUspd())}});
}

QString settingsPart(TDataModule1& data) {
    const QSqlRecord headline = firstRow(data, "Headline");
    if (headline.isEmpty())
        return heading(QStringLiteral("Настройки")) + QStringLiteral("<p>Нет настроек.</p>\n");
    return heading(QStringLiteral("Настройки")) +
           pairTable({
               {QStringLiteral("Основной интервал"),
                yesNo(headline.value(QStringLiteral("need_main_int")))},
               {QStringLiteral("Короткий интервал"),
                yesNo(headline.value(QStringLiteral("need_short_int")))},
               {QStringLiteral("Светодиодная индикация установлена"),
                yesNo(headline.value(QStringLiteral("led_enable")))},
               {QStringLiteral("Встроенные каналы используются"),
                yesNo(headline.value(QStringLiteral("intchan_enable")))},
               {QStringLiteral("Обратный вызов"),
                yesNo(headline.value(QStringLiteral("callback")))},
           });
}

QString archivePart(TDataModule1& data) {
    const QSqlRecord main = firstRow(data, "MainArchive");
    const QSqlRecord shortArchive = firstRow(data, "ShortArchive");
    return heading(QStringLiteral("Глубина архивов")) +
           pairTable({
               {QStringLiteral("Основной архив: интервал, мин"),
                main.value(QStringLiteral("main_time_min")).toString()},
               {QStringLiteral("Основной архив: записей"),
                main.value(QStringLiteral("main_records")).toString()},
               {QStringLiteral("Короткий архив: интервал, мин"),
                shortArchive.value(QStringLiteral("short_time_min")).toString()},
               {QStringLiteral("Короткий архив: записей"),
                shortArchive.value(QStringLiteral("short_records")).toString()},
           });
}

QString channelKindTitle(const ChannelKind& kind) {
    const QString table = QLatin1String(kind.table);
    QString title;
    if (&kind == &kOnboardInputs)
        title = QStringLiteral("Встроенные дискретные входы");
    else if (&kind == &kOnboardOutputs)
        title = QStringLiteral("Встроенные дискретные выходы");
    else if (&kind == &kDiscreteInputs)
        title = QStringLiteral("Дискретные входы");
    else if (&kind == &kDiscreteOutputs)
        title = QStringLiteral("Дискретные выходы");
    else if (&kind == &kKbhaChannels)
        title = QStringLiteral("Каналы КВНА");
    else if (&kind == &kAnalogInputs)
        title = QStringLiteral("Аналоговые входы");
    else
        title = QStringLiteral("Счётные входы");
    return QStringLiteral("%1 (%2)").arg(title, QLatin1String(kind.letter));
}

QString imagePart(TDataModule1& data) {
    QString html = heading(QStringLiteral("Образ конфигурации"));
    QTemporaryDir dir;
    if (!dir.isValid()) {
        return html +
               QStringLiteral("<p>Образ не сформирован: %1</p>\n").arg(escaped(dir.errorString()));
    }
    CompileOptions options;
    options.imagePath = dir.filePath(QStringLiteral("config.dat"));
    CompileProgress progress;
    const CompileResult result = ConfigCompiler(data).compile(options, progress);
    if (!result.succeeded())
        return html +
               QStringLiteral("<p>Образ не сформирован: %1</p>\n").arg(escaped(result.message));
    QFile file(options.imagePath);
    if (!file.open(QIODevice::ReadOnly)) {
        return html +
               QStringLiteral("<p>Образ не сформирован: %1</p>\n").arg(escaped(file.errorString()));
    }
    const QByteArray bytes = file.readAll();
    const std::uint16_t crc =
        crc16(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
    return html + pairTable({
                      {QStringLiteral("Размер config.dat, байт"), QString::number(bytes.size())},
                      {QStringLiteral("CRC-16 config.dat"),
                       QStringLiteral("%1").arg(crc, 4, 16, QLatin1Char('0')).toUpper()},
                  });
}

QString findingsPart(TDataModule1& data, int pakLen) {
    QString html = heading(QStringLiteral("Проверка конфигурации"));
    const QList<Finding> findings = checkConfiguration(data, pakLen);
    if (findings.isEmpty())
        return html + QStringLiteral("<p>Ошибок не найдено.</p>\n");
    html += QStringLiteral("<ul>\n");
    for (const Finding& finding : findings)
        html += QStringLiteral("<li>%1</li>\n").arg(escaped(finding.text()));
    return html + QStringLiteral("</ul>\n");
}

}  // namespace

std::optional<ReportFormat> reportFormatFor(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("odt"))
        return ReportFormat::Odt;
    if (suffix == QLatin1String("pdf"))
        return ReportFormat::Pdf;
    if (suffix == QLatin1String("html") || suffix == QLatin1String("htm"))
        return ReportFormat::Html;
    return std::nullopt;
}

QString configurationReportHtml(TDataModule1& data, int pakLen) {
    // The check reads the store before the compiler renumbers it, so the findings speak of
    // the numbers the user sees.
    const QString findings = findingsPart(data, pakLen);
    QString body = uspdPart(data) + settingsPart(data);
    body += heading(QStringLiteral("Интерфейсы")) +
            rowsTable(data, "SpecInterFace", "port", QStringLiteral("Интерфейсов нет."));
    body += heading(QStringLiteral("Модули")) +
            rowsTable(data, "SpecDevice", "id_device", QStringLiteral("Модулей нет."));
    for (const ChannelKind* kind : kChannelKinds) {
        body += heading(channelKindTitle(*kind)) +
                rowsTable(data, kind->table, kind->key, QStringLiteral("Каналов нет."));
    }
    body += archivePart(data);
    body += heading(QStringLiteral("Телефоны обратного вызова")) +
            rowsTable(data, "CallbackPhone", "id_phone", QStringLiteral("Телефонов нет."));
    body += imagePart(data);
    body += findings;
    return QStringLiteral(
               "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Отчёт о "
               "конфигурации</title></head>\n<body>\n%1</body></html>\n")
        .arg(body);
}

QString writeReport(const QString& html, ReportFormat format, const QString& path) {
    QString failure = QStringLiteral("Не удалось записать отчёт в файл %1").arg(path);
    if (format == ReportFormat::Html) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QStringLiteral("%1: %2").arg(failure, file.errorString());
        const QByteArray bytes = html.toUtf8();
        if (file.write(bytes) != bytes.size() || !file.flush())
            return QStringLiteral("%1: %2").arg(failure, file.errorString());
        return {};
    }
    QTextDocument document;
    document.setHtml(html);
    if (format == ReportFormat::Odt) {
        // The document goes to memory first: Qt's ODF writer leaks its zip writer when the
        // file cannot be opened, and the file is then written whole or not at all.
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QTextDocumentWriter writer(&buffer, "odf");
        if (!writer.write(&document))
            return failure;
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(buffer.data()) != buffer.size() ||
            !file.commit())
            return QStringLiteral("%1: %2").arg(failure, file.errorString());
        return {};
    }
    {
        QFile probe(path);
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QStringLiteral("%1: %2").arg(failure, probe.errorString());
    }
    QPdfWriter pdf(path);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    // The layout runs in fixed-point device units that end near 33.5 million: at the writer's
    // default 1200 dpi that is about 2 400 A4 pages, and a larger report came out as one empty
    // page. 300 dpi keeps text and rules as sharp (both are vector) and reaches 9 500 pages.
    pdf.setResolution(300);
    pdf.setTitle(QStringLiteral("Отчёт о конфигурации"));
    document.print(&pdf);
    return {};
}

}  // namespace orvet
