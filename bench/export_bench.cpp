// The export preview ("Дальше >>") beside bare baselines, on a USPD with 10 000 channels of
// every kind and a dispatch database on a throw-away PostgreSQL server reached through ODBC,
// whose target USPD already holds every channel (exporting again: every row an update):
//   Preview_Layer     the program's preview: each kind compressed, the target's Channels
//                     rows read once, 10 000 preview rows written into the store
//   Preview_Bare      one bulk select of the target's Channels rows through a bare QSqlQuery
//   PerChannel_Bare   one existence query per channel through a bare QSqlQuery, as a preview
//                     that asks the database channel by channel would
// The ratio of the medians layer/bare is printed at the end; the goal is at most 2.
#include <benchmark/benchmark.h>

#include <QSqlQuery>

#include "bench_support.h"
#include "export/dispatch_database.h"
#include "export/export_plan.h"
#include "support/dispatch_server.h"

namespace orvet {
namespace {

class Bench : public BenchStore {
public:
    Bench() : server_(testing::DispatchServer::Postgres) {
        db().transaction();
        const qint64 uspd = addUspdWithSettings();
        addNumberedChannels(uspd, addMixedModules(uspd, addInterfaces(uspd, {1}), {}));
        db().commit();
        openFirstUspd();

        const QString connectString = server_.newDatabase();
        if (connectString.isEmpty())
            throw StoreError(server_.why());
        dispatch_.connectTo(connectString);
        QSqlQuery query(dispatchDb());
        query.prepare(QStringLiteral("INSERT INTO USD (Name) VALUES ('Котельная')"));
        exec(query);
        query.prepare(QStringLiteral("SELECT max(ID_USPD) FROM USD"));
        exec(query);
        query.next();
        target_ = query.value(0).toInt();
        // The first export fills Channels.
        buildPreview(dm(), dispatch_, target_);
        applyPreview(dm(), dispatch_, target_);
    }

    DispatchDatabase& dispatch() { return dispatch_; }
    QSqlDatabase dispatchDb() { return dispatch_.ADOConnection2.database(); }
    int target() const { return target_; }

private:
    testing::DispatchServer server_;
    DispatchDatabase dispatch_;
    int target_ = 0;
};

Bench& bench() {
    static Bench instance;
    return instance;
}

int channelCount() {
    int count = 0;
    for (const BenchKind& kind : kBenchKinds)
        count += kind.count;
    return count;
}

void Preview_Layer(benchmark::State& state) {
    for (auto _ : state) {
        buildPreview(bench().dm(), bench().dispatch(), bench().target());
        benchmark::DoNotOptimize(bench().dm().tblChPreview.recordCount());
    }
    if (bench().dm().tblChPreview.recordCount() != channelCount())
        state.SkipWithError("the preview does not hold every channel");
}

void Preview_Bare(benchmark::State& state) {
    QSqlQuery query(bench().dispatchDb());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("select * from Channels where id_uspd=?"));
    for (auto _ : state) {
        query.addBindValue(bench().target());
        exec(query);
        int rows = 0;
        while (query.next())
            ++rows;
        if (rows != channelCount())
            state.SkipWithError("the target does not hold every channel");
    }
}

void PerChannel_Bare(benchmark::State& state) {
    QSqlQuery query(bench().dispatchDb());
    query.setForwardOnly(true);
    for (auto _ : state) {
        int found = 0;
        for (const BenchKind& kind : kBenchKinds) {
            query.prepare(QStringLiteral("select * from Channels where TypeChan='%1' and "
                                         "NumChan=? and ID_USPD=?")
                              .arg(QLatin1String(kind.letter)));
            for (int number = 1; number <= kind.count; ++number) {
                query.addBindValue(number);
                query.addBindValue(bench().target());
                exec(query);
                found += query.next() ? 1 : 0;
            }
        }
        if (found != channelCount())
            state.SkipWithError("a channel was not found");
    }
}

BENCHMARK(Preview_Layer)->Unit(benchmark::kMillisecond)->Iterations(2)->Repetitions(5);
BENCHMARK(Preview_Bare)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(5);
BENCHMARK(PerChannel_Bare)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

}  // namespace
}  // namespace orvet

int main(int argc, char** argv) {
    return orvet::runBenchmarks(argc, argv, "export_bench", {"Preview"}, 2);
}
