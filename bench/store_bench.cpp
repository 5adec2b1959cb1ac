// The store's dataset layer beside the same SQL run through bare QSqlQuery, on a USPD with
// 300 modules and 10 000 channels of the seven kinds (and a second USPD as large):
//   OpenDatasets  open every per-USPD dataset of the data module (its reactions included)
//   AppendPost    append and post 10 000 channels through the channel datasets
// The ratios layer/bare are printed at the end; the goal is at most 1.5. The store is a file,
// or a PostgreSQL server's database with ORVET_BENCH_STORE=postgresql.
#include <benchmark/benchmark.h>

#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>

#include "bench_support.h"
#include "store/schema.h"
#include "store/sql_text.h"

namespace orvet {
namespace {

// The fields a new channel receives, in the order they are assigned.
const QStringView kChannelFields[] = {u"name",      u"type_num",  u"id_device", u"t_device",
                                      u"num_iface", u"numdevice", u"n_channel"};

class Bench : public BenchStore {
public:
    Bench() {
        for (int uspd = 1; uspd <= 2; ++uspd)
            fill();
        openFirstUspd();
    }

    int uspd() { return dm().currentUspd(); }

    std::vector<Dataset*> perUspdDatasets() {
        std::vector<Dataset*> datasets;
        for (Dataset* dataset : dm().ADOConnection1.datasets()) {
            if (dataset->master())
                datasets.push_back(dataset);
        }
        return datasets;
    }

    // The value of field `field` of the `n`-th new channel.
    static QVariant channelValue(QStringView name, int n, const BenchKind& kind) {
        if (name == u"name")
            return QStringLiteral("Канал %1").arg(n);
        if (name == u"type_num")
            return QStringLiteral("%1%2").arg(kind.letter).arg(n % 9999);
        if (name == u"id_device")
            return qint64(n % kModules + 1);
        if (name == u"t_device")
            return qint64(6);
        if (name == u"n_channel")
            return qint64(n % 8);
        return qint64(n % 100);
    }

    // Removes the channels added by a run, so every run starts from the same store.
    void removeAddedChannels() {
        for (const BenchKind& kind : kBenchKinds) {
            QSqlQuery query(db());
            query.prepare(
                QStringLiteral("DELETE FROM %1 WHERE name LIKE 'Канал %'").arg(kind.table));
            exec(query);
            Dataset& dataset = dm().*kind.dataset;
            dataset.close();
            dataset.open();
        }
    }

private:
    void fill() {
        db().transaction();
        const qint64 uspd = addUspd();
        QSqlQuery query(db());
        query.prepare(
            "INSERT INTO SpecDevice (id_uspd, t_device, n_on_iface, fullname) VALUES (?, 6, ?, ?)");
        QList<qint64> modules;
        for (int i = 0; i < kModules; ++i) {
            query.addBindValue(uspd);
            query.addBindValue(i);
            query.addBindValue(QStringLiteral("Смешанный, на COM1, №%1").arg(i));
            exec(query);
            modules.append(query.lastInsertId().toLongLong());
        }
        addNumberedChannels(uspd, modules);
        db().commit();
    }
};

Bench& bench() {
    static Bench instance;
    return instance;
}

void OpenDatasets_Layer(benchmark::State& state) {
    const std::vector<Dataset*> datasets = bench().perUspdDatasets();
    for (auto _ : state) {
        for (Dataset* dataset : datasets)
            dataset->close();
        for (Dataset* dataset : datasets)
            dataset->open();
    }
}

void OpenDatasets_Bare(benchmark::State& state) {
    const std::vector<Dataset*> datasets = bench().perUspdDatasets();
    QStringList statements;
    for (Dataset* dataset : datasets) {
        statements.append(withCondition(dataset->statement(), QStringLiteral("\"id_uspd\" = ?")));
    }
    const qint64 uspd = bench().uspd();
    for (auto _ : state) {
        for (const QString& sql : statements) {
            QSqlQuery query(bench().db());
            query.setForwardOnly(true);
            query.prepare(sql);
            query.addBindValue(uspd);
            exec(query);
            const int columns = query.record().count();
            while (query.next()) {
                for (int i = 0; i < columns; ++i) {
                    QVariant value = query.value(i);
                    benchmark::DoNotOptimize(value);
                }
            }
        }
    }
}

void AppendPost_Layer(benchmark::State& state) {
    for (auto _ : state) {
        for (const BenchKind& kind : kBenchKinds) {
            Dataset& dataset = bench().dm().*kind.dataset;
            for (int n = 0; n < kind.count; ++n) {
                dataset.append();
                for (QStringView field : kChannelFields) {
                    dataset.fieldByName(field).setValue(Bench::channelValue(field, n, kind));
                }
                dataset.post();
            }
        }
        state.PauseTiming();
        bench().removeAddedChannels();
        state.ResumeTiming();
    }
}

void AppendPost_Bare(benchmark::State& state) {
    const Connection& connection = bench().dm().ADOConnection1;
    const qint64 uspd = bench().uspd();
    for (auto _ : state) {
        for (const BenchKind& kind : kBenchKinds) {
            // The statement the layer runs: the link field and the assigned fields, in the
            // table's column order.
            QStringList fields;
            for (const FieldDef& def :
                 Schema::store().table(QString::fromLatin1(kind.table))->fields) {
                if (def.name == u"id_uspd" ||
                    std::find(std::begin(kChannelFields), std::end(kChannelFields), def.name) !=
                        std::end(kChannelFields)) {
                    fields.append(def.name);
                }
            }
            QStringList columns;
            QStringList marks;
            for (const QString& field : fields) {
                columns.append(connection.identifier(field, QSqlDriver::FieldName));
                marks.append("?");
            }
            QSqlQuery query(bench().db());
            query.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                              .arg(connection.identifier(QString::fromLatin1(kind.table),
                                                         QSqlDriver::TableName),
                                   columns.join(','), marks.join(',')));
            for (int n = 0; n < kind.count; ++n) {
                for (int i = 0; i < fields.size(); ++i) {
                    query.bindValue(i, fields[i] == u"id_uspd"
                                           ? QVariant(uspd)
                                           : Bench::channelValue(fields[i], n, kind));
                }
                exec(query);
                benchmark::DoNotOptimize(query.lastInsertId());
            }
        }
        state.PauseTiming();
        bench().removeAddedChannels();
        state.ResumeTiming();
    }
}

BENCHMARK(OpenDatasets_Bare)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(OpenDatasets_Layer)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(AppendPost_Bare)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(AppendPost_Layer)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace orvet

int main(int argc, char** argv) {
    return orvet::runBenchmarks(argc, argv, "store_bench", {"OpenDatasets", "AppendPost"}, 1.5);
}
