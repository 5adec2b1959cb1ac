// The configuration compiler beside a bare baseline, on a USPD with 16 interfaces, 300
// modules and 10 000 channels of the seven kinds:
//   Compile_Layer  compile the USPD: renumber the store and write the image
//   Compile_Bare   the same number of single-row UPDATE statements through bare QSqlQuery,
//                  and a file of the image's size written
// The ratio layer/bare is printed at the end; the goal is at most 3. The store is a file, or a
// PostgreSQL server's database with ORVET_BENCH_STORE=postgresql.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QSqlQuery>

#include "bench_support.h"
#include "image/compiler.h"

namespace orvet {
namespace {

constexpr int kInterfaces = 16;

// The statements a compilation writes with: per interface two posts and two updates of
// its modules, a post per module, an update of each module's channels per module kind, a
// post per channel and one per archive.
constexpr int kModuleKinds = 5;
constexpr int kChannels = 10000;
constexpr int kUpdates = 4 * kInterfaces + kModules + kModuleKinds * kModules + kChannels + 2;

class Bench : public BenchStore {
public:
    Bench() {
        fill();
        openFirstUspd();
    }

    QString imagePath() const { return filePath("config.dat"); }
    QString barePath() const { return filePath("bare.dat"); }

    // The keys of `table`'s rows in key order.
    QList<qint64> keys(const char* table, const char* key) {
        QSqlQuery query(db());
        query.prepare(QStringLiteral("SELECT %1 FROM %2 ORDER BY %1").arg(key, table));
        exec(query);
        QList<qint64> result;
        while (query.next())
            result.append(query.value(0).toLongLong());
        return result;
    }

private:
    void fill() {
        db().transaction();
        const qint64 uspd = addUspdWithSettings();
        // Ports in descending order, so that the compiler's renumbering has work to do.
        QList<int> ports;
        for (int i = 0; i < kInterfaces; ++i)
            ports.append(kInterfaces - i);
        const QList<qint64> interfaces = addInterfaces(uspd, ports);
        const QList<qint64> modules = addMixedModules(uspd, interfaces,
                                                      {{"col_achannel", 10},
                                                       {"col_dchannel", 9},
                                                       {"col_dochannel", 5},
                                                       {"col_kvna", 2},
                                                       {"col_nichannel", 4}});
        QSqlQuery query(db());
        for (const BenchKind& kind : kBenchKinds) {
            const bool onBoard = QLatin1String(kind.table).startsWith(QLatin1String("SpecEm"));
            query.prepare(QStringLiteral("INSERT INTO %1 (id_uspd, id_device, t_device, name, "
                                         "n_channel%2) VALUES (?, ?, ?, ?, ?%3)")
                              .arg(kind.table,
                                   kind.letter == QLatin1String("G")
                                       ? ", emerg_val, coef_corr, act_corr, archive"
                                   : kind.letter == QLatin1String("C") ? ", coef_corr, act_corr"
                                                                       : "",
                                   kind.letter == QLatin1String("G")   ? ", 0, 1, 0, 1"
                                   : kind.letter == QLatin1String("C") ? ", 1, 0"
                                                                       : ""));
            for (int i = 0; i < kind.count; ++i) {
                query.addBindValue(uspd);
                query.addBindValue(onBoard ? 0 : modules[i % kModules]);
                query.addBindValue(onBoard ? 15 : 6);
                query.addBindValue(QStringLiteral("Вход %1").arg(i));
                query.addBindValue(i % 8 + 1);
                exec(query);
            }
        }
        db().commit();
    }
};

Bench& bench() {
    static Bench instance;
    return instance;
}

qint64 imageSize = 0;

void Compile_Layer(benchmark::State& state) {
    CompileOptions options;
    options.imagePath = bench().imagePath();
    CompileProgress progress;
    for (auto _ : state) {
        const CompileResult result = ConfigCompiler(bench().dm()).compile(options, progress);
        if (!result.succeeded())
            throw StoreError(result.message);
        imageSize = result.size;
    }
}

void Compile_Bare(benchmark::State& state) {
    // Single-row updates of the channels' numbers and of the modules' positions, as many as
    // the compilation runs.
    struct Target {
        QString sql;
        QList<qint64> keys;
        const char* letter;
    };
    std::vector<Target> targets;
    for (const BenchKind& kind : kBenchKinds) {
        targets.push_back({QStringLiteral("UPDATE %1 SET %2=?, type_num=? WHERE %3=?")
                               .arg(kind.table, kind.position, kind.key),
                           bench().keys(kind.table, kind.key), kind.letter});
    }
    const QList<qint64> modules = bench().keys("SpecDevice", "id_device");
    const QByteArray image(imageSize > 0 ? imageSize : qsizetype{64} * 1024, '\x5a');
    for (auto _ : state) {
        int updates = 0;
        for (const Target& target : targets) {
            QSqlQuery query(bench().db());
            query.prepare(target.sql);
            for (int i = 0; i < target.keys.size(); ++i) {
                query.bindValue(0, i);
                query.bindValue(1, QLatin1String(target.letter) + QString::number(i + 1));
                query.bindValue(2, target.keys[i]);
                exec(query);
                ++updates;
            }
        }
        QSqlQuery query(bench().db());
        query.prepare(QStringLiteral("UPDATE SpecDevice SET id_device_p=? WHERE id_device=?"));
        for (int i = 0; updates < kUpdates; ++i, ++updates) {
            query.bindValue(0, i % kModules);
            query.bindValue(1, modules[i % kModules]);
            exec(query);
        }
        QFile file(bench().barePath());
        if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size())
            throw StoreError(file.errorString());
        file.close();
    }
}

BENCHMARK(Compile_Layer)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(Compile_Bare)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace orvet

int main(int argc, char** argv) {
    return orvet::runBenchmarks(argc, argv, "compile_bench", {"Compile"}, 3);
}
