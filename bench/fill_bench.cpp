// "Все каналы всех модулей" beside a bare baseline, on a USPD with 16 interfaces and 300
// modules of 32 channels each (12 analog inputs, 4 counting inputs, 8 discrete inputs,
// 6 discrete outputs, 2 KBHA channels):
//   Fill_Layer  fill every module as the module editor does: the editors' values and
//               numbering, the templates' names and units, one transaction
//   Fill_Bare   the same 9 600 rows, every column as the fill wrote it, inserted through a
//               prepared bare QSqlQuery per table in one transaction
// Between runs the channels are deleted and the lists read again, outside the timing.
// The ratio of the medians layer/bare is printed at the end; the goal is at most 1.5.
#include <benchmark/benchmark.h>

#include <QSqlQuery>
#include <QSqlRecord>
#include <vector>

#include "bench_support.h"
#include "editing/channel_fill.h"

namespace orvet {
namespace {

constexpr int kInterfaces = 16;

// A table the fill writes, and its key.
struct FilledTable {
    const char* table;
    const char* key;
};
constexpr FilledTable kFilled[] = {
    {"SpecAChannel", "id_achannel"}, {"SpecNIChannel", "id_nichannel"},
    {"SpecDChannel", "id_dchannel"}, {"SpecDOChannel", "id_dochannel"},
    {"SpecKBHA", "id_kvna"},
};
constexpr int kChannelsPerModule = 32;

class Bench : public BenchStore {
public:
    Bench() {
        fill();
        openFirstUspd();
    }

    // Deletes every channel and reads the lists again, leaving the module list on its
    // first row as the editor does.
    void clearChannels() {
        QSqlQuery query(db());
        for (const FilledTable& kind : kFilled)
            query.exec(QStringLiteral("DELETE FROM %1").arg(kind.table));
        for (const BenchKind& kind : kBenchKinds) {
            QueryDataset& dataset = dm().*kind.dataset;
            dataset.close();
            dataset.open();
        }
        dm().tblSpecDevice.first();
    }

    // The rows of one table as the fill wrote them, without their key.
    struct Rows {
        QString insert;  // a prepared INSERT of every column but the key
        std::vector<QVariantList> values;
    };

    // Reads the rows the last fill wrote, for the baseline to insert again.
    std::vector<Rows> snapshot() {
        std::vector<Rows> tables;
        for (const FilledTable& kind : kFilled) {
            QSqlQuery query(db());
            query.exec(QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(kind.table, kind.key));
            const QSqlRecord record = query.record();
            QStringList columns;
            QStringList marks;
            for (int i = 0; i < record.count(); ++i) {
                if (record.fieldName(i) != QLatin1String(kind.key)) {
                    columns << record.fieldName(i);
                    marks << QStringLiteral("?");
                }
            }
            Rows rows{QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                          .arg(kind.table, columns.join(u','), marks.join(u',')),
                      {}};
            while (query.next()) {
                QVariantList values;
                for (int i = 0; i < record.count(); ++i) {
                    if (record.fieldName(i) != QLatin1String(kind.key))
                        values << query.value(i);
                }
                rows.values.push_back(std::move(values));
            }
            tables.push_back(std::move(rows));
        }
        return tables;
    }

    qint64 channelCount() {
        qint64 count = 0;
        QSqlQuery query(db());
        for (const FilledTable& kind : kFilled) {
            query.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(kind.table));
            if (query.next())
                count += query.value(0).toLongLong();
        }
        return count;
    }

private:
    void fill() {
        db().transaction();
        const qint64 uspd = addUspdWithSettings();
        QList<int> ports;
        for (int i = 0; i < kInterfaces; ++i)
            ports.append(i + 1);
        addMixedModules(uspd, addInterfaces(uspd, ports),
                        {{"col_achannel", 12},
                         {"col_nichannel", 4},
                         {"col_dchannel", 8},
                         {"col_dochannel", 6},
                         {"col_kvna", 2}});
        db().commit();
    }
};

Bench& bench() {
    static Bench instance;
    return instance;
}

// Every run must have created all the channels, or the figures compare different work.
void checkCreated(benchmark::State& state) {
    const qint64 created = bench().channelCount();
    if (created != qint64{kModules} * kChannelsPerModule)
        state.SkipWithError("the run did not create every channel");
}

void Fill_Layer(benchmark::State& state) {
    BulkProgress progress;
    for (auto _ : state) {
        state.PauseTiming();
        bench().clearChannels();
        state.ResumeTiming();
        const FillResult result = fillAllModules(bench().dm(), progress);
        benchmark::DoNotOptimize(result.created.size());
        state.PauseTiming();
        checkCreated(state);
        state.ResumeTiming();
    }
}

void Fill_Bare(benchmark::State& state) {
    bench().clearChannels();
    BulkProgress progress;
    fillAllModules(bench().dm(), progress);
    const std::vector<Bench::Rows> tables = bench().snapshot();
    for (auto _ : state) {
        state.PauseTiming();
        bench().clearChannels();
        state.ResumeTiming();
        bench().db().transaction();
        for (const Bench::Rows& rows : tables) {
            QSqlQuery query(bench().db());
            query.prepare(rows.insert);
            for (const QVariantList& values : rows.values) {
                for (int i = 0; i < values.size(); ++i)
                    query.bindValue(i, values[i]);
                exec(query);
            }
        }
        bench().db().commit();
        state.PauseTiming();
        checkCreated(state);
        state.ResumeTiming();
    }
}

// This machine's neighbours make single runs vary by half: the medians of seven are compared.
BENCHMARK(Fill_Layer)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(7);
BENCHMARK(Fill_Bare)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(7);

}  // namespace
}  // namespace orvet

int main(int argc, char** argv) {
    return orvet::runBenchmarks(argc, argv, "fill_bench", {"Fill"}, 1.5);
}
