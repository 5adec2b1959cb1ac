#include "export/export_plan.h"

#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "export/dispatch_database.h"
#include "store/channel_kinds.h"
#include "store/command.h"
#include "store/connection.h"
#include "store/field.h"
#include "store/sql_text.h"
#include "store/store_error.h"

namespace orvet {
namespace {

// A preview column and the value it receives.
struct Column {
    const char* name;
    QVariant value;
};

// The kinds in the order the export goes through them.
const ChannelKind* const kExportOrder[] = {&kAnalogInputs,   &kCountingInputs, &kOnboardInputs,
                                           &kDiscreteInputs, &kOnboardOutputs, &kDiscreteOutputs,
                                           &kKbhaChannels};

const ChannelKind* kindOfLetter(const QString& letter) {
    for (const ChannelKind* kind : kExportOrder) {
        if (letter == QLatin1String(kind->letter))
            return kind;
    }
    return nullptr;
}

// A number as the apply writes it into Channels: an empty one is 0.
QString numberOrZero(const QVariant& value) {
    if (value.isNull() || !value.isValid() || value.toString().trimmed().isEmpty())
        return QStringLiteral("0");
    return QString::number(value.toLongLong());
}

// Fixed-width text comes back padded with spaces from some servers.
QString trimmedText(const QVariant& value) {
    QString text = value.toString();
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}

// The flags, and the unit where the kind has one, of an add or update row of `kind`.
std::vector<Column> kindFlags(const ChannelKind& kind, const QVariant& needMain,
                              const QVariant& needShort, const QVariant& unit) {
    const QVariant zero(0);
    const QVariant one(1);
    if (&kind == &kAnalogInputs) {
        return {{"needmain", needMain}, {"needshort", needShort},  {"needsumm", zero},
                {"needcurrent", one},   {"needcurrdiskret", zero}, {"needevents", zero},
                {"id_units", unit}};
    }
    if (&kind == &kCountingInputs) {
        return {{"needmain", needMain}, {"needshort", needShort},  {"needsumm", zero},
                {"needcurrent", zero},  {"needcurrdiskret", zero}, {"needtimecurr", one},
                {"needevents", zero},   {"id_units", unit}};
    }
    if (&kind == &kKbhaChannels) {
        return {{"needmain", one},     {"needshort", zero},       {"needsumm", zero},
                {"needcurrent", zero}, {"needcurrdiskret", zero}, {"needevents", zero},
                {"id_units", unit}};
    }
    return {{"needmain", zero},    {"needshort", zero},      {"needsumm", zero},
            {"needcurrent", zero}, {"needcurrdiskret", one}, {"needevents", zero}};
}

// Writes preview rows into the store's ChPreview, one insert statement a row that names the
// row's columns; each statement is prepared once per set of columns and run with the values.
class PreviewWriter {
public:
    explicit PreviewWriter(Connection& store) : store_(store) {}

    void insert(int action, const QString& letter, const QString& name, int number,
                const std::vector<Column>& columns) {
        QString names = QStringLiteral("recaction, typechan, name, numchan");
        for (const Column& column : columns)
            names += QStringLiteral(", ") + QLatin1String(column.name);
        auto found = statements_.find(names);
        if (found == statements_.end()) {
            QSqlQuery query(store_.database());
            QString marks = QStringLiteral("?");
            for (size_t i = 1; i < columns.size() + 4; ++i)
                marks += QStringLiteral(", ?");
            if (!query.prepare(
                    QStringLiteral("insert into ChPreview (%1) values (%2)").arg(names, marks)))
                throw engineError(query.lastError());
            found = statements_.emplace(names, std::move(query)).first;
        }
        QSqlQuery& query = found->second;
        query.bindValue(0, action);
        query.bindValue(1, letter);
        query.bindValue(2, name);
        query.bindValue(3, number);
        for (size_t i = 0; i < columns.size(); ++i)
            query.bindValue(int(i) + 4, storedNumber(columns[i].value));
        if (!query.exec())
            throw engineError(query.lastError());
    }

private:
    // A number as ChPreview holds it; empty stays empty.
    static QVariant storedNumber(const QVariant& value) {
        if (value.isNull() || !value.isValid() || value.toString().trimmed().isEmpty())
            return QVariant();
        return value.toLongLong();
    }

    Connection& store_;
    std::map<QString, QSqlQuery> statements_;
};

// Runs `work` in a store transaction whose rows stay also when it fails part-way: a failed
// build keeps the preview rows inserted before the refusal.
template <typename Work>
void keepingWhatIsDone(Connection& store, Work work) {
    Connection::Transaction rows(store);
    try {
        work();
    } catch (...) {
        rows.commit();
        throw;
    }
    rows.commit();
}

// The target's Channels rows by letter and number, each with its smallest ID_Channel: what
// the existence and update queries of single channels would find, read in one query.
class TargetChannels {
public:
    // Reads the Channels rows of `target` into tblChannels.
    TargetChannels(DispatchDatabase& dispatch, int target) : rows_(dispatch.tblChannels) {
        rows_.close();
        // The columns a delete row copies; the dispatch system's own ones are not read.
        rows_.setSql(QStringLiteral("select ID_Channel, TypeChan, NumChan, Name, NeedMain, "
                                    "NeedShort, NeedSumm, NeedCurrent, NeedCurrDiskret, "
                                    "NeedEvents, ID_Units, uTypeDevice, uNumIFace, uNumDevice, "
                                    "uNumChanDev from Channels where id_uspd=%1")
                         .arg(target));
        rows_.open();
        const int key = rows_.fieldIndex(u"ID_Channel");
        const int letter = rows_.fieldIndex(u"TypeChan");
        const int number = rows_.fieldIndex(u"NumChan");
        for (int row = 0; row < rows_.recordCount(); ++row) {
            const qint64 id = rows_.value(row, key).toLongLong();
            auto [place, added] = keys_.try_emplace(
                {trimmedText(rows_.value(row, letter)), rows_.value(row, number).toInt()}, id);
            if (!added)
                place->second = std::min(place->second, id);
        }
    }

    QueryDataset& rows() const { return rows_; }
    bool isEmpty() const { return keys_.empty(); }
    // ID_Channel of the channel `letter` `number`, if the target has it.
    std::optional<qint64> find(const QString& letter, int number) const {
        const auto found = keys_.find({letter, number});
        return found == keys_.end() ? std::nullopt : std::optional<qint64>(found->second);
    }

private:
    QueryDataset& rows_;
    std::map<std::pair<QString, int>, qint64> keys_;
};

void previewKind(TDataModule1& data, const TargetChannels& target, const ChannelKind& kind,
                 const QVariant& needMain, const QVariant& needShort) {
    compressChannels(data, kind);
    Dataset& channels = data.*kind.dataset;
    const int position = channels.fieldIndex(QString::fromLatin1(kind.position));
    const int name = channels.fieldIndex(u"name");
    const int unit = channels.fieldIndex(u"u_measure");
    const int type = channels.fieldIndex(u"t_device");
    const int iface = channels.fieldIndex(u"num_iface");
    const int device = channels.fieldIndex(u"numdevice");
    const int channel = channels.fieldIndex(u"n_channel");
    const QString letter = QLatin1String(kind.letter);
    PreviewWriter writer(data.ADOConnection1);
    keepingWhatIsDone(data.ADOConnection1, [&] {
        for (int row = 0; row < channels.recordCount(); ++row) {
            const int number = channels.value(row, position).toInt() + 1;
            const bool exists = target.find(letter, number).has_value();
            std::vector<Column> columns = kindFlags(
                kind, needMain, needShort, unit < 0 ? QVariant() : channels.value(row, unit));
            const QVariant moduleChannel = channels.value(row, channel);
            columns.push_back({"typedevice", channels.value(row, type)});
            columns.push_back({"num_iface", channels.value(row, iface)});
            columns.push_back({"numdevice", channels.value(row, device)});
            columns.push_back({"numchandev", moduleChannel.isNull()
                                                 ? QVariant()
                                                 : QVariant(moduleChannel.toInt() + 1)});
            writer.insert(exists ? kUpdateChannel : kAddChannel, letter,
                          channels.value(row, name).toString(), number, columns);
        }
    });
}

void previewDeletions(TDataModule1& data, const TargetChannels& target,
                      const std::map<const ChannelKind*, int>& counts) {
    QueryDataset& rows = target.rows();
    auto column = [&rows](const char* name) { return rows.fieldIndex(QString::fromLatin1(name)); };
    const int letter = column("TypeChan");
    const int number = column("NumChan");
    const int name = column("Name");
    const std::pair<const char*, int> copied[] = {
        {"needmain", column("NeedMain")},
        {"needshort", column("NeedShort")},
        {"needsumm", column("NeedSumm")},
        {"needcurrent", column("NeedCurrent")},
        {"needcurrdiskret", column("NeedCurrDiskret")},
        {"needevents", column("NeedEvents")},
        {"id_units", column("ID_Units")},
        {"typedevice", column("uTypeDevice")},
        {"num_iface", column("uNumIFace")},
        {"numdevice", column("uNumDevice")},
        {"numchandev", column("uNumChanDev")},
    };
    PreviewWriter writer(data.ADOConnection1);
    keepingWhatIsDone(data.ADOConnection1, [&] {
        for (int row = 0; row < rows.recordCount(); ++row) {
            const QString rowLetter = trimmedText(rows.value(row, letter));
            const ChannelKind* kind = kindOfLetter(rowLetter);
            // Rows of kinds the configurator does not describe belong to someone else.
            if (!kind)
                continue;
            const int rowNumber = rows.value(row, number).toInt();
            // After compressing, the USPD's channels of a kind sit at positions 0 .. count - 1.
            const int position = rowNumber - 1;
            if (position >= 0 && position < counts.at(kind))
                continue;
            std::vector<Column> columns;
            for (const auto& [preview, index] : copied)
                columns.push_back({preview, index < 0 ? QVariant() : rows.value(row, index)});
            writer.insert(kDeleteChannel, rowLetter, trimmedText(rows.value(row, name)), rowNumber,
                          columns);
        }
    });
}

// The preview rows of every kind and the deletions, for the USD row `target`.
void fillPreview(TDataModule1& data, DispatchDatabase& dispatch, int target) {
    Dataset& headline = data.tblHeadline;
    headline.open();
    const QVariant needMain = headline.currentValue(headline.fieldIndex(u"need_main_int"));
    const QVariant needShort = headline.currentValue(headline.fieldIndex(u"need_short_int"));

    const TargetChannels channels(dispatch, target);
    std::map<const ChannelKind*, int> counts;
    for (const ChannelKind* kind : kExportOrder) {
        previewKind(data, channels, *kind, needMain, needShort);
        counts[kind] = (data.*kind->dataset).recordCount();
    }
    previewDeletions(data, channels, counts);
    data.ADOCommand1.execute(QStringLiteral("UPDATE ChPreview SET id_uspd=%1").arg(target));
}

}  // namespace

void buildPreview(TDataModule1& data, DispatchDatabase& dispatch, int target) {
    data.ADOCommand1.execute(QStringLiteral("DELETE FROM ChPreview"));
    data.tblChPreview.close();
    data.tblChPreview.open();

    std::vector<std::unique_ptr<DisplaySuspension>> suspended;
    for (const ChannelKind* kind : kExportOrder)
        suspended.push_back(std::make_unique<DisplaySuspension>(data.*kind->dataset));
    // The template lists need to follow only the rows left current at the end.
    TDataModule1::HeldReactions held = data.holdReactions();
    try {
        fillPreview(data, dispatch, target);
    } catch (const StoreError&) {
        // The build's refusal is the one to report; the lists are brought up to date as far
        // as the store lets them be.
        try {
            held.catchUp();
        } catch (const StoreError&) {
        }
        throw;
    }
    held.catchUp();

    data.tblChPreview.close();
    data.tblChPreview.open();
}

namespace {

// The Channels columns an add or update writes, with the preview columns they come from.
struct Written {
    const char* channels;
    const char* preview;
};
const Written kUpdateColumns[] = {
    {"ID_USPD", "id_uspd"},      {"TypeChan", nullptr},         {"NumChan", "numchan"},
    {"ID_Units", "id_units"},    {"uTypeDevice", "typedevice"}, {"uNumIFace", "num_iface"},
    {"uNumDevice", "numdevice"}, {"uNumChanDev", "numchandev"},
};
const Written kFlagColumns[] = {
    {"NeedMain", "needmain"},         {"NeedShort", "needshort"},
    {"NeedCurrent", "needcurrent"},   {"NeedCurrDiskret", "needcurrdiskret"},
    {"NeedTimeCurr", "needtimecurr"}, {"NeedSumm", "needsumm"},
    {"NeedEvents", "needevents"},
};

// One preview row as the apply writes it.
class PreviewRow {
public:
    PreviewRow(Dataset& preview, int row) : preview_(preview), row_(row) {}

    QVariant value(const char* column) const {
        return preview_.value(row_, preview_.fieldIndex(QString::fromLatin1(column)));
    }
    QString letter() const { return trimmedText(value("typechan")); }
    // Name, letter, number, unit, the module's identity and the masks, and with
    // `withFlags` the Need* flags: column names and values as statements write them.
    std::vector<std::pair<QString, QString>> written(bool withFlags) const {
        std::vector<std::pair<QString, QString>> columns;
        columns.emplace_back(QStringLiteral("Name"), sqlQuoted(value("name").toString()));
        for (const Written& column : kUpdateColumns) {
            columns.emplace_back(
                QLatin1String(column.channels),
                column.preview ? numberOrZero(value(column.preview)) : sqlQuoted(letter()));
        }
        if (withFlags) {
            for (const Written& column : kFlagColumns)
                columns.emplace_back(QLatin1String(column.channels),
                                     numberOrZero(value(column.preview)));
        }
        columns.emplace_back(QStringLiteral("ProtocolMask"), QString::number(kProtocolMask));
        columns.emplace_back(QStringLiteral("WaitMask"), QString::number(kWaitMask));
        return columns;
    }
    // The condition that finds the row's channel of its USPD.
    QString condition() const {
        return QStringLiteral("id_uspd=%1 and typechan=%2 and numchan=%3")
            .arg(numberOrZero(value("id_uspd")), sqlQuoted(letter()),
                 numberOrZero(value("numchan")));
    }

private:
    Dataset& preview_;
    int row_;
};

QString insertStatement(const std::vector<std::pair<QString, QString>>& columns) {
    QStringList names;
    QStringList values;
    for (const auto& [name, value] : columns) {
        names << name;
        values << value;
    }
    return QStringLiteral("insert into Channels (%1) values (%2)")
        .arg(names.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")));
}

void addChannel(Command& writes, const PreviewRow& row) {
    writes.execute(insertStatement(row.written(true)));
}

// Rewrites the first Channels row of the preview row's channel, or adds one when there is none;
// the dispatch system keeps its Need* flags.
void updateChannel(const TargetChannels& target, Command& writes, const PreviewRow& row) {
    const auto columns = row.written(false);
    const std::optional<qint64> key =
        target.find(row.letter(), valueAsInteger(row.value("numchan")));
    if (!key) {
        writes.execute(insertStatement(columns));
        return;
    }
    QStringList assignments;
    for (const auto& [name, value] : columns)
        assignments << name + QStringLiteral("=") + value;
    writes.execute(QStringLiteral("update Channels set %1 where ID_Channel=%2")
                       .arg(assignments.join(QStringLiteral(", ")))
                       .arg(*key));
}

}  // namespace

void applyPreview(TDataModule1& data, DispatchDatabase& dispatch, int target) {
    data.ExportInProgress = true;
    auto finished = qScopeGuard([&data] { data.ExportInProgress = false; });
    Dataset& preview = data.tblChPreview;
    preview.open();
    // The user's last edit in the grid is part of the plan.
    preview.post();
    DisplaySuspension suspended(preview);

    const TargetChannels channels(dispatch, target);
    const bool firstExport = channels.isEmpty();

    Command writes(dispatch.ADOConnection2, QStringLiteral("exportWrites"));
    Connection::Transaction transaction(dispatch.ADOConnection2);
    for (int index = 0; index < preview.recordCount(); ++index) {
        const PreviewRow row(preview, index);
        const int action = valueAsInteger(row.value("recaction"));
        if (firstExport) {
            // Nothing of the target to update or delete: every channel is new.
            if (action == kAddChannel || action == kUpdateChannel)
                addChannel(writes, row);
        } else if (action == kAddChannel) {
            addChannel(writes, row);
        } else if (action == kUpdateChannel) {
            updateChannel(channels, writes, row);
        } else if (action == kDeleteChannel) {
            writes.execute(QStringLiteral("delete from Channels where ") + row.condition());
        }
    }
    transaction.commit();
    preview.first();
}

QStringList previewLines(TDataModule1& data) {
    Dataset& preview = data.tblChPreview;
    preview.open();
    QStringList lines;
    for (int index = 0; index < preview.recordCount(); ++index) {
        const PreviewRow row(preview, index);
        lines << QStringLiteral("%1 %2 %3 %4")
                     .arg(preview.value(index, preview.fieldIndex(u"NAction")).toString(),
                          row.letter(), row.value("numchan").toString(),
                          row.value("name").toString());
    }
    return lines;
}

}  // namespace orvet
