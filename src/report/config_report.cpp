#include "report/config_report.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentWriter>
#include <QTextTable>
#include <QVariant>
#include <algorithm>
#include <utility>

#include "editing/config_check.h"
#include "image/compiler.h"
#include "link/crc16.h"
#include "store/channel_kinds.h"
#include "store/connection.h"
#include "store/data_module.h"
#include "store/store_error.h"

namespace orvet {
namespace {

// A column of a report table: the SQL expression over the table's row `t` that gives its
// text, and its caption as the editors show it.
struct Column {
    Column(const char* sql, QString text)
        : expression(QString::fromUtf8(sql)), caption(std::move(text)) {}
    Column(QString sql, QString text) : expression(std::move(sql)), caption(std::move(text)) {}

    QString expression;
    QString caption;
};

// "Да"/"Нет" for the 0/1 `field`, as the editors' lists show it.
QString sign(const char* field) {
    return QStringLiteral("(select sign from Sign where key = t.%1)").arg(QLatin1String(field));
}

const QList<Column> kInterfaceColumns = {
    {"(select portname from Port where key = t.port)", QStringLiteral("Порт")},
    {"(select t_iface from TypeIface where key = t.t_iface)", QStringLiteral("Тип")},
    {"(select baud from Baud where key = t.baud)", QStringLiteral("Скорость")},
    {"t.data", QStringLiteral("Бит данных")},
    {"case t.parity when 0 then 'None' when 1 then 'Even' when 2 then 'Odd' when 3 then 'Mark' "
     "when 4 then 'Space' else cast(t.parity as varchar(11)) end",
     QStringLiteral("Четность")},
    {"t.stop", QStringLiteral("Стоп-бит")},
    {"case t.DTR_enable when 1 then 'Enable' when 0 then 'Disable' else cast(t.DTR_enable as "
     "varchar(11)) end",
     QStringLiteral("DTR")},
    {"t.initstring", QStringLiteral("Строка инициализации модема")},
};

const QList<Column> kModuleColumns = {
    {"(select t_device from TypeDevice where key = t.t_device)", QStringLiteral("Тип")},
    {"t.fullname", QStringLiteral("Наименование")},
    {"(select portname from Port where key = (select port from SpecInterFace i where "
     "i.id_iface_s = t.id_iface_s))",
     QStringLiteral("Порт")},
    {"t.n_on_iface", QStringLiteral("№ на интерфейсе")},
    {sign("fl_retrans"), QStringLiteral("Ретрансляция")},
    {"(select portname from Port where key = (select port from SpecInterFace i where "
     "i.id_iface_s = t.id_iface_s2))",
     QStringLiteral("Порт ретрансляции")},
    {"t.n_on_iface2", QStringLiteral("№ на интерфейсе ретрансляции")},
    {"t.t_pool", QStringLiteral("Такт опроса (мс)")},
    {"t.to_answer", QStringLiteral("Таймаут ответа (мс)")},
    {"t.to_byte_receive", QStringLiteral("Таймаут приема байта (мс)")},
    {"t.t_start", QStringLiteral("Такт старта устройства (мс)")},
    {"t.password", QStringLiteral("Пароль")},
};

const QList<Column> kPhoneColumns = {{"t.phonenum", QStringLiteral("Телефон")}};

// The columns of a channel kind: the grids' number and name, the module and its channel, then
// the settings of the kind's editor.
QList<Column> channelColumns(const ChannelKind& kind) {
    const bool onboard = &kind == &kOnboardInputs || &kind == &kOnboardOutputs;
    QList<Column> columns = {{"t.type_num", QStringLiteral("№")},
                             {"t.name", QStringLiteral("Наименование")}};
    if (!onboard) {
        columns += {
            {"(select coalesce(nullif(d.fullname, ''), (select t_device from TypeDevice where key "
             "= "
             "d.t_device) || ' №' || d.n_on_iface) from SpecDevice d where d.id_device = "
             "t.id_device)",
             QStringLiteral("Модуль УСО")},
            {"t.n_channel", QStringLiteral("Канал модуля")},
        };
    }
    const Column archived{sign("archive"), QStringLiteral("Архивируемый")};
    const Column unit{"(select ShortName from Unit_Measure where ID_Units = t.u_measure)",
                      QStringLiteral("Единицы измерения")};
    const Column callback{sign("callback"), QStringLiteral("Обратный вызов")};
    if (&kind == &kOnboardInputs || &kind == &kDiscreteInputs) {
        columns += {archived,
                    {sign("invers"), QStringLiteral("Инверсия")},
                    callback,
                    {"case t.cbevent when 1 then '0 --> 1' when 2 then '1 --> 0' when 3 then "
                     "'Все' else cast(t.cbevent as varchar(11)) end",
                     QStringLiteral("События обратного вызова")}};
        if (onboard)
            columns.append(Column("t.jingle_time", QStringLiteral("Время дребезга (мс)")));
    } else if (&kind == &kOnboardOutputs || &kind == &kDiscreteOutputs) {
        columns += archived;
    } else if (&kind == &kKbhaChannels) {
        columns += unit;
    } else if (&kind == &kAnalogInputs) {
        columns += {archived,
                    unit,
                    {"(select t_transf from TypeTransf where key = t.t_transf)",
                     QStringLiteral("Преобразование")},
                    {"t.min_code", QStringLiteral("Минимум кода")},
                    {"t.max_code", QStringLiteral("Максимум кода")},
                    {"t.min_value", QStringLiteral("Минимум величины")},
                    {"t.max_value", QStringLiteral("Максимум величины")},
                    {"t.emerg_val", QStringLiteral("Аварийное значение")},
                    {sign("st_filter"), QStringLiteral("Фильтрация")},
                    {"t.W", QStringLiteral("Вес")},
                    {"t.coef_corr", QStringLiteral("Коэффициент коррекции")},
                    callback,
                    {"t.hi_lim", QStringLiteral("Предельное значение: верхнее")},
                    {"t.lo_lim", QStringLiteral("Предельное значение: нижнее")}};
    } else {
        columns += {unit, {"t.coef_corr", QStringLiteral("Коэффициент коррекции")}};
    }
    return columns;
}

QString yesNo(const QVariant& value) {
    return value.toInt() != 0 ? QStringLiteral("да") : QStringLiteral("нет");
}

// Every stored row of the current USPD in `table`, in ascending `order`, under `columns`;
// `none` when there is no row. Throws StoreError.
ReportSection rowsSection(TDataModule1& data, const QString& heading, const char* table,
                          const char* order, const QList<Column>& columns, const QString& none) {
    ReportSection section;
    section.heading = heading;
    QStringList expressions;
    for (const Column& column : columns) {
        expressions.append(column.expression);
        section.captions.append(column.caption);
    }
    QSqlQuery query(data.ADOConnection1.database());
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("select %1 from %2 t where t.id_uspd = ? order by t.%3")
                           .arg(expressions.join(QStringLiteral(", ")), QLatin1String(table),
                                QLatin1String(order)))) {
        throw engineError(query.lastError());
    }
    query.addBindValue(data.currentUspd());
    if (!query.exec())
        throw engineError(query.lastError());
    while (query.next()) {
        QStringList row;
        row.reserve(columns.size());
        for (int i = 0; i < columns.size(); ++i)
            row.append(query.value(i).toString());
        section.rows.append(std::move(row));
    }
    if (section.rows.isEmpty()) {
        section.captions.clear();
        section.sentence = none;
    }
    return section;
}

// The first stored row of the current USPD in `table`; an empty record when there is none.
QSqlRecord firstRow(TDataModule1& data, const char* table) {
    QSqlQuery query(data.ADOConnection1.database());
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("select * from %1 where id_uspd = ? limit 1")
                           .arg(QLatin1String(table)))) {
        throw engineError(query.lastError());
    }
    query.addBindValue(data.currentUspd());
    if (!query.exec())
        throw engineError(query.lastError());
    return query.next() ? query.record() : QSqlRecord();
}

ReportSection uspdSection(TDataModule1& data) {
    QSqlQuery query(data.ADOConnection1.database());
    if (!query.prepare(QStringLiteral("select uspd_name, enterprise from USPD where id_uspd = ?")))
        throw engineError(query.lastError());
    query.addBindValue(data.currentUspd());
    if (!query.exec())
        throw engineError(query.lastError());
    const bool found = query.next();
    ReportSection section;
    section.pairs = {
        {QStringLiteral("УСПД"), found ? query.value(0).toString() : QString()},
        {QStringLiteral("Предприятие"), found ? query.value(1).toString() : QString()},
        {QStringLiteral("Номер в базе (id_uspd)"), QString::number(data.currentUspd())}};
    return section;
}

ReportSection settingsSection(TDataModule1& data) {
    ReportSection section;
    section.heading = QStringLiteral("Настройки");
    const QSqlRecord headline = firstRow(data, "Headline");
    if (headline.isEmpty()) {
        section.sentence = QStringLiteral("Нет настроек.");
        return section;
    }
    section.pairs = {
        {QStringLiteral("Основной интервал"),
         yesNo(headline.value(QStringLiteral("need_main_int")))},
        {QStringLiteral("Короткий интервал"),
         yesNo(headline.value(QStringLiteral("need_short_int")))},
        {QStringLiteral("Светодиодная индикация установлена"),
         yesNo(headline.value(QStringLiteral("led_enable")))},
        {QStringLiteral("Встроенные каналы используются"),
         yesNo(headline.value(QStringLiteral("intchan_enable")))},
        {QStringLiteral("Обратный вызов"), yesNo(headline.value(QStringLiteral("callback")))},
    };
    return section;
}

ReportSection archiveSection(TDataModule1& data) {
    const QSqlRecord main = firstRow(data, "MainArchive");
    const QSqlRecord shortArchive = firstRow(data, "ShortArchive");
    ReportSection section;
    section.heading = QStringLiteral("Глубина архивов");
    section.pairs = {
        {QStringLiteral("Основной архив: интервал, мин"),
         main.value(QStringLiteral("main_time_min")).toString()},
        {QStringLiteral("Основной архив: записей"),
         main.value(QStringLiteral("main_records")).toString()},
        {QStringLiteral("Короткий архив: интервал, мин"),
         shortArchive.value(QStringLiteral("short_time_min")).toString()},
        {QStringLiteral("Короткий архив: записей"),
         shortArchive.value(QStringLiteral("short_records")).toString()},
    };
    return section;
}

QString channelKindTitle(const ChannelKind& kind) {
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

ReportSection imageSection(TDataModule1& data) {
    ReportSection section;
    section.heading = QStringLiteral("Образ конфигурации");
    const QString failed = QStringLiteral("Образ не сформирован: %1");
    QTemporaryDir dir;
    if (!dir.isValid()) {
        section.sentence = failed.arg(dir.errorString());
        return section;
    }
    CompileOptions options;
    options.imagePath = dir.filePath(QStringLiteral("config.dat"));
    CompileProgress progress;
    const CompileResult result = ConfigCompiler(data).compile(options, progress);
    if (!result.succeeded()) {
        section.sentence = failed.arg(result.message);
        return section;
    }
    QFile file(options.imagePath);
    if (!file.open(QIODevice::ReadOnly)) {
        section.sentence = failed.arg(file.errorString());
        return section;
    }
    const QByteArray bytes = file.readAll();
    const std::uint16_t crc =
        crc16(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
    section.pairs = {
        {QStringLiteral("Размер config.dat, байт"), QString::number(bytes.size())},
        {QStringLiteral("CRC-16 config.dat"),
         QStringLiteral("%1").arg(crc, 4, 16, QLatin1Char('0')).toUpper()},
    };
    return section;
}

ReportSection findingsSection(TDataModule1& data, int pakLen) {
    ReportSection section;
    section.heading = QStringLiteral("Проверка конфигурации");
    const QList<Finding> findings = checkConfiguration(data, pakLen);
    if (findings.isEmpty())
        section.sentence = QStringLiteral("Ошибок не найдено.");
    for (const Finding& finding : findings)
        section.items.append(finding.text());
    return section;
}

QString htmlTable(const QList<QStringList>& rows, const QStringList& captions) {
    QString html = QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">\n");
    if (!captions.isEmpty()) {
        html += QStringLiteral("<tr>");
        for (const QString& caption : captions)
            html += QStringLiteral("<th>%1</th>").arg(caption.toHtmlEscaped());
        html += QStringLiteral("</tr>\n");
    }
    for (const QStringList& row : rows) {
        html += QStringLiteral("<tr>");
        for (const QString& cell : row)
            html += QStringLiteral("<td>%1</td>").arg(cell.toHtmlEscaped());
        html += QStringLiteral("</tr>\n");
    }
    return html + QStringLiteral("</table>\n");
}

// A report table in the document has this many rows at most under its captions; a longer one
// goes on in another table with the captions repeated. Qt's layout of one table of thousands
// of rows is slow and, past a few thousand, breaks its pagination.
constexpr int kRowsPerTable = 100;

// A4 height in inches, and the end of the layout's fixed-point coordinates (26.6 bits) in
// device units.
constexpr double kA4HeightInches = 297 / 25.4;
constexpr double kLayoutLimit = 33554431;
// About this many single-line table rows or list items fit a page in the document's 8-point
// font: the basis of the estimate of a PDF's pages before its layout.
constexpr int kRowsPerPage = 45;

// The report as a QTextDocument, built row by row through a cursor (much faster than parsing
// the HTML for a large report). Tells `progress` of the rows; false once it cancels.
class DocumentBuilder {
public:
    DocumentBuilder(QTextDocument& document, const ReportProgress& progress, qsizetype rows)
        : cursor_(&document), progress_(progress), total_(rows) {
        document.setUndoRedoEnabled(false);
        QFont font = document.defaultFont();
        font.setPointSizeF(8);
        document.setDefaultFont(font);
        titleFormat_.setFontPointSize(14);
        titleFormat_.setFontWeight(QFont::Bold);
        headingFormat_.setFontPointSize(11);
        headingFormat_.setFontWeight(QFont::Bold);
        captionFormat_.setFontWeight(QFont::Bold);
        headingBlock_.setTopMargin(12);
        headingBlock_.setBottomMargin(4);
        headingBlock_.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
        tableFormat_.setBorder(0.5);
        tableFormat_.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        tableFormat_.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        tableFormat_.setCellSpacing(0);
        tableFormat_.setCellPadding(2);
        tableFormat_.setBottomMargin(0);
    }

    bool build(const ConfigurationReport& report) {
        cursor_.beginEditBlock();
        cursor_.setBlockCharFormat(titleFormat_);
        cursor_.insertText(report.title, titleFormat_);
        bool going = true;
        for (const ReportSection& section : report.sections) {
            going = add(section);
            if (!going)
                break;
        }
        cursor_.endEditBlock();
        return going;
    }

private:
    bool add(const ReportSection& section) {
        if (!section.heading.isEmpty()) {
            cursor_.insertBlock(headingBlock_, headingFormat_);
            cursor_.insertText(section.heading, headingFormat_);
        }
        QList<QStringList> pairs;
        for (const auto& [name, value] : section.pairs)
            pairs.append({name, value});
        if (!addTable(pairs, {}) || !addTable(section.rows, section.captions))
            return false;
        if (!section.sentence.isEmpty()) {
            cursor_.insertBlock(QTextBlockFormat(), QTextCharFormat());
            cursor_.insertText(section.sentence);
        }
        // Bulleted paragraphs rather than a QTextList, whose numbering makes each item cost
        // as much as the items before it: a large USPD has tens of thousands of findings.
        for (const QString& item : section.items) {
            cursor_.insertBlock(QTextBlockFormat(), QTextCharFormat());
            cursor_.insertText(QStringLiteral("• ") + item);
            if (++done_ % kRowsPerTable == 0 && progress_ &&
                !progress_(QStringLiteral("Построение документа"), done_, total_))
                return false;
        }
        return true;
    }

    // `rows` in tables of kRowsPerTable rows, each under `captions` (when there are).
    bool addTable(const QList<QStringList>& rows, const QStringList& captions) {
        const int header = captions.isEmpty() ? 0 : 1;
        const qsizetype columns =
            captions.isEmpty() && !rows.isEmpty() ? rows.first().size() : captions.size();
        QTextTableFormat format = tableFormat_;
        format.setHeaderRowCount(header);
        if (header > 0)
            format.setColumnWidthConstraints(columnWidths(rows, captions));
        for (qsizetype start = 0; start < rows.size(); start += kRowsPerTable) {
            const qsizetype count = std::min<qsizetype>(kRowsPerTable, rows.size() - start);
            cursor_.movePosition(QTextCursor::End);
            QTextTable* table = cursor_.insertTable(int(count) + header, int(columns), format);
            for (int c = 0; c < header * columns; ++c)
                table->cellAt(0, c).firstCursorPosition().insertText(captions[c], captionFormat_);
            for (qsizetype r = 0; r < count; ++r) {
                const QStringList& row = rows[start + r];
                for (int c = 0; c < row.size() && c < columns; ++c) {
                    if (!row[c].isEmpty())
                        table->cellAt(int(r) + header, c).firstCursorPosition().insertText(row[c]);
                }
            }
            done_ += count;
            cursor_.movePosition(QTextCursor::End);
            if (progress_ && !progress_(QStringLiteral("Построение документа"), done_, total_))
                return false;
        }
        return true;
    }

    // Shares of the page's width by the longest text of each column (a caption's longest word,
    // since captions wrap): left to itself the layout gives a wide table equal columns, and
    // names then take a line a syllable.
    static QList<QTextLength> columnWidths(const QList<QStringList>& rows,
                                           const QStringList& captions) {
        QList<qsizetype> widths;
        for (const QString& caption : captions) {
            qsizetype longest = 2;
            for (const QString& word : caption.split(QLatin1Char(' ')))
                longest = std::max(longest, word.size());
            widths.append(longest);
        }
        for (const QStringList& row : rows) {
            for (qsizetype c = 0; c < row.size() && c < widths.size(); ++c)
                widths[c] = std::max(widths[c], row[c].size());
        }
        // Two characters more for each column's padding and rules.
        double total = 0;
        for (const qsizetype width : widths)
            total += double(width + 2);
        QList<QTextLength> lengths;
        for (const qsizetype width : widths) {
            lengths.append(
                QTextLength(QTextLength::PercentageLength, 100 * double(width + 2) / total));
        }
        return lengths;
    }

    QTextCursor cursor_;
    const ReportProgress& progress_;
    qsizetype total_ = 0;
    qsizetype done_ = 0;
    QTextCharFormat titleFormat_;
    QTextCharFormat headingFormat_;
    QTextCharFormat captionFormat_;
    QTextBlockFormat headingBlock_;
    QTextTableFormat tableFormat_;
};

bool told(const ReportProgress& progress, const QString& stage, qint64 done, qint64 total) {
    return !progress || progress(stage, done, total);
}

QString tooLongForPdf(qint64 pages) {
    return QStringLiteral(
               "Отчёт слишком велик для PDF (около %1 страниц): запишите его в "
               "формате .odt или .html")
        .arg(pages);
}

// Lays `document` out on the pages of `pdf` and paints them one by one. Empty once written,
// else the reason; `cancelled` is set when `progress` cancels.
QString paintPdf(QTextDocument& document, QPdfWriter& pdf, const ReportProgress& progress,
                 bool& cancelled) {
    document.documentLayout()->setPaintDevice(&pdf);
    const QSizeF page(pdf.width(), pdf.height());
    document.setPageSize(page);
    if (!told(progress, QStringLiteral("Разметка страниц"), 0, 0)) {
        cancelled = true;
        return {};
    }
    const int pages = document.pageCount();
    // Past the end of the coordinates the layout comes out short or empty: the document's
    // last line then stands outside its pages.
    const double end = document.documentLayout()->blockBoundingRect(document.lastBlock()).bottom();
    if (pages <= 0 || document.size().height() >= kLayoutLimit || end <= 0 ||
        end > pages * page.height())
        return tooLongForPdf(qint64(kLayoutLimit / page.height()));
    QPainter painter;
    if (!painter.begin(&pdf))
        return QStringLiteral("Не удалось начать документ PDF");
    QAbstractTextDocumentLayout::PaintContext context;
    for (int i = 0; i < pages; ++i) {
        if (!told(progress, QStringLiteral("Вывод страниц"), i, pages)) {
            cancelled = true;
            painter.end();
            return {};
        }
        if (i > 0)
            pdf.newPage();
        const QRectF view(0, i * page.height(), page.width(), page.height());
        painter.save();
        painter.translate(0, -view.top());
        painter.setClipRect(view);
        context.clip = view;
        document.documentLayout()->draw(&painter, context);
        painter.restore();
    }
    painter.end();
    return {};
}

}  // namespace

qsizetype ConfigurationReport::rowCount() const {
    qsizetype rows = 0;
    for (const ReportSection& section : sections)
        rows += section.pairs.size() + section.rows.size() + section.items.size();
    return rows;
}

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

ConfigurationReport configurationReport(TDataModule1& data, int pakLen) {
    // The check reads the store before the compiler renumbers it, so the findings speak of
    // the numbers the user sees.
    ReportSection findings = findingsSection(data, pakLen);
    ConfigurationReport report;
    report.title = QStringLiteral("Отчёт о конфигурации УСПД");
    report.sections = {uspdSection(data), settingsSection(data)};
    report.sections.append(rowsSection(data, QStringLiteral("Интерфейсы"), "SpecInterFace", "port",
                                       kInterfaceColumns, QStringLiteral("Интерфейсов нет.")));
    report.sections.append(rowsSection(data, QStringLiteral("Модули"), "SpecDevice", "id_device",
                                       kModuleColumns, QStringLiteral("Модулей нет.")));
    for (const ChannelKind* kind : kChannelKinds) {
        report.sections.append(rowsSection(data, channelKindTitle(*kind), kind->table, kind->key,
                                           channelColumns(*kind), QStringLiteral("Каналов нет.")));
    }
    report.sections.append(archiveSection(data));
    report.sections.append(rowsSection(data, QStringLiteral("Телефоны обратного вызова"),
                                       "CallbackPhone", "id_phone", kPhoneColumns,
                                       QStringLiteral("Телефонов нет.")));
    report.sections.append(imageSection(data));
    report.sections.append(std::move(findings));
    return report;
}

QString reportHtml(const ConfigurationReport& report) {
    QString body = QStringLiteral("<h1>%1</h1>\n").arg(report.title.toHtmlEscaped());
    for (const ReportSection& section : report.sections) {
        if (!section.heading.isEmpty())
            body += QStringLiteral("<h2>%1</h2>\n").arg(section.heading.toHtmlEscaped());
        if (!section.pairs.isEmpty()) {
            QList<QStringList> pairs;
            for (const auto& [name, value] : section.pairs)
                pairs.append({name, value});
            body += htmlTable(pairs, {});
        }
        if (!section.rows.isEmpty())
            body += htmlTable(section.rows, section.captions);
        if (!section.sentence.isEmpty())
            body += QStringLiteral("<p>%1</p>\n").arg(section.sentence.toHtmlEscaped());
        if (!section.items.isEmpty()) {
            body += QStringLiteral("<ul>\n");
            for (const QString& item : section.items)
                body += QStringLiteral("<li>%1</li>\n").arg(item.toHtmlEscaped());
            body += QStringLiteral("</ul>\n");
        }
    }
    return QStringLiteral(
               "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%1</title></head>\n"
               "<body>\n%2</body></html>\n")
        .arg(report.title.toHtmlEscaped(), body);
}

int pdfResolutionFor(qint64 pages) {
    // Twice the estimate must fit: rows that wrap make pages the estimate does not count.
    for (const int dpi : {300, 200, 150, 100, 75}) {
        if (2.0 * double(pages) * kA4HeightInches * dpi < kLayoutLimit)
            return dpi;
    }
    return 0;
}

ReportWriteResult writeReport(const ConfigurationReport& report, ReportFormat format,
                              const QString& path, const ReportProgress& progress) {
    const QString failure = QStringLiteral("Не удалось записать отчёт в файл %1").arg(path);
    ReportWriteResult result;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.failure = QStringLiteral("%1: %2").arg(failure, file.errorString());
        return result;
    }
    if (format == ReportFormat::Html) {
        file.write(reportHtml(report).toUtf8());
    } else {
        const qint64 pages = report.rowCount() / kRowsPerPage + 1;
        const int dpi = format == ReportFormat::Pdf ? pdfResolutionFor(pages) : 0;
        if (format == ReportFormat::Pdf && dpi == 0) {
            file.cancelWriting();
            result.failure = tooLongForPdf(pages);
            return result;
        }
        QTextDocument document;
        if (!DocumentBuilder(document, progress, report.rowCount()).build(report)) {
            file.cancelWriting();
            result.cancelled = true;
            return result;
        }
        if (format == ReportFormat::Odt) {
            if (!told(progress, QStringLiteral("Запись файла"), 0, 0)) {
                file.cancelWriting();
                result.cancelled = true;
                return result;
            }
            // The document goes to memory first: Qt's ODF writer leaks its zip writer when
            // its device fails.
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            QTextDocumentWriter writer(&buffer, "odf");
            if (!writer.write(&document)) {
                file.cancelWriting();
                result.failure = failure;
                return result;
            }
            file.write(buffer.data());
        } else {
            QString painted;
            {
                QPdfWriter pdf(&file);
                pdf.setPageSize(QPageSize(QPageSize::A4));
                // The analog inputs' sixteen columns need the page's length.
                const bool wide = std::any_of(
                    report.sections.cbegin(), report.sections.cend(),
                    [](const ReportSection& section) { return section.captions.size() > 8; });
                pdf.setPageOrientation(wide ? QPageLayout::Landscape : QPageLayout::Portrait);
                pdf.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
                pdf.setResolution(dpi);
                pdf.setTitle(report.title);
                painted = paintPdf(document, pdf, progress, result.cancelled);
            }
            if (result.cancelled || !painted.isEmpty()) {
                file.cancelWriting();
                result.failure = painted;
                return result;
            }
        }
    }
    if (!file.commit())
        result.failure = QStringLiteral("%1: %2").arg(failure, file.errorString());
    return result;
}

}  // namespace orvet
