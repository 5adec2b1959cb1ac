#pragma once

// What the benchmark programs share: a store on a test platform, the channel kinds of their
// USPDs, and a main() that sets each program's figure beside its bare baseline.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/main_thread.h"
#include "store/connection.h"
#include "store/data_module.h"
#include "store/store_error.h"
#include "store/store_location.h"
#include "store/store_server.h"
#include "support/scripted_message_boxes.h"
#include "support/test_clock.h"
#include "support/throwaway_postgres.h"

namespace orvet {

constexpr int kModules = 300;

// One channel kind of a benchmark USPD: its dataset, table, key, position field, number of
// channels (10 000 over the seven kinds) and kind letter. Named apart from the program's own
// ChannelKind, which the libraries under measurement define in the same namespace.
struct BenchKind {
    QueryDataset TDataModule1::*dataset;
    const char* table;
    const char* key;
    const char* position;
    int count;
    const char* letter;
};

inline const BenchKind kBenchKinds[] = {
    {&TDataModule1::tblSpecAChannel, "SpecAChannel", "id_achannel", "id_achannel_p", 3000, "G"},
    {&TDataModule1::tblSpecDChannel, "SpecDChannel", "id_dchannel", "id_dchannel_p", 2500, "E"},
    {&TDataModule1::tblSpecDOChannel, "SpecDOChannel", "id_dochannel", "id_dochannel_p", 1500, "L"},
    {&TDataModule1::tblSpecKBHA, "SpecKBHA", "id_kvna", "id_kvna_p", 500, "B"},
    {&TDataModule1::tblSpecNIChannel, "SpecNIChannel", "id_nichannel", "id_nichannel_p", 1000, "C"},
    {&TDataModule1::tblSpecEmDChannel, "SpecEmDChannel", "id_dchannel", "id_dchannel_p", 1000, "K"},
    {&TDataModule1::tblSpecEmDOChannel, "SpecEmDOChannel", "id_dochannel", "id_dochannel_p", 500,
     "R"},
};

// Runs a prepared query; the engine's refusal becomes a StoreError.
inline void exec(QSqlQuery& query) {
    if (!query.exec())
        throw engineError(query.lastError());
}

// A configuration store with the data module on it, on a test platform whose message boxes
// let every notice pass. The store is a file in a temporary folder or, with
// ORVET_BENCH_STORE=postgresql in the environment, a database on a PostgreSQL server of the
// run's own; the bare baselines run on the same connection.
class BenchStore {
public:
    BenchStore() : settings_(Settings::inFile(dir_.filePath("settings.ini"))) {
        messages_.allowNotices();
        Platform platform{clock_, mainThread_, messages_, settings_};
        dm_ = std::make_unique<TDataModule1>(platform, storeLocation());
    }

    TDataModule1& dm() { return *dm_; }
    QSqlDatabase db() { return dm_->ADOConnection1.database(); }
    QString filePath(const QString& name) const { return dir_.filePath(name); }

    // Stores a USPD row; returns its id_uspd.
    qint64 addUspd() {
        QSqlQuery query(db());
        query.prepare(QStringLiteral("INSERT INTO USPD (uspd_name) VALUES ('УСПД')"));
        exec(query);
        return query.lastInsertId().toLongLong();
    }

    // Stores a USPD row with its flag and archive rows; returns its id_uspd.
    qint64 addUspdWithSettings() {
        const qint64 uspd = addUspd();
        QSqlQuery query(db());
        for (const char* table : {"Headline", "ShortArchive", "MainArchive"}) {
            query.prepare(QStringLiteral("INSERT INTO %1 (id_uspd) VALUES (?)").arg(table));
            query.addBindValue(uspd);
            exec(query);
        }
        return uspd;
    }

    // Stores an interface of `uspd` on each of `ports`; returns their keys in that order.
    QList<qint64> addInterfaces(qint64 uspd, const QList<int>& ports) {
        QSqlQuery query(db());
        query.prepare(
            "INSERT INTO SpecInterFace (id_uspd, port, baud, data, stop) VALUES (?, ?, 4, 8, 1)");
        QList<qint64> interfaces;
        for (const int port : ports) {
            query.addBindValue(uspd);
            query.addBindValue(port);
            exec(query);
            interfaces.append(query.lastInsertId().toLongLong());
        }
        return interfaces;
    }

    // Stores kModules mixed modules (type 6) of `uspd`, spread over `interfaces` in turn and
    // numbered on each from 1, with the channel counts `counts` (column, count); returns
    // their id_device in order.
    QList<qint64> addMixedModules(qint64 uspd, const QList<qint64>& interfaces,
                                  std::initializer_list<std::pair<const char*, int>> counts) {
        QString columns;
        QString values;
        for (const auto& [column, count] : counts) {
            columns += QStringLiteral(", %1").arg(column);
            values += QStringLiteral(", %1").arg(count);
        }
        QSqlQuery query(db());
        query.prepare(QStringLiteral("INSERT INTO SpecDevice (id_uspd, id_iface_s, t_device, "
                                     "n_on_iface, fullname%1) VALUES (?, ?, 6, ?, ?%2)")
                          .arg(columns, values));
        QList<qint64> modules;
        for (int i = 0; i < kModules; ++i) {
            query.addBindValue(uspd);
            query.addBindValue(interfaces[i % interfaces.size()]);
            query.addBindValue(i / interfaces.size() + 1);
            query.addBindValue(QStringLiteral("Смешанный, на COM%1, №%2").arg(i % 8 + 1).arg(i));
            exec(query);
            modules.append(query.lastInsertId().toLongLong());
        }
        return modules;
    }

    // Stores the channels of every kind of `uspd` (kind.count / `share` each), spread over
    // `modules` in turn, named "Вход <n>" and numbered densely as the editors number them.
    void addNumberedChannels(qint64 uspd, const QList<qint64>& modules, int share = 1) {
        QSqlQuery query(db());
        for (const BenchKind& kind : kBenchKinds) {
            query.prepare(
                QStringLiteral("INSERT INTO %1 (id_uspd, id_device, t_device, name, %2, type_num) "
                               "VALUES (?, ?, 6, ?, ?, ?)")
                    .arg(kind.table, kind.position));
            for (int i = 0; i < kind.count / share; ++i) {
                query.addBindValue(uspd);
                query.addBindValue(modules[i % modules.size()]);
                query.addBindValue(QStringLiteral("Вход %1").arg(i));
                query.addBindValue(i);
                query.addBindValue(QStringLiteral("%1%2").arg(kind.letter).arg(i + 1));
                exec(query);
            }
        }
    }

    // Makes the first USPD current and opens its datasets, as opening it in the program does.
    void openFirstUspd() {
        dm_->tblUSPD.open();
        dm_->tblUSPD.first();
        dm_->openDatasets();
        dm_->refreshModuleLists();
    }

private:
    QString storeLocation() {
        if (qgetenv("ORVET_BENCH_STORE") != "postgresql")
            return dir_.filePath("Config.db");
        server_ = std::make_unique<testing::ThrowawayPostgres>();
        if (!server_->running() || !server_->createDatabase(QStringLiteral("bench")))
            throw StoreError(server_->why());
        QString address = server_->storeAddress(QStringLiteral("bench"));
        Connection creator(QStringLiteral("bench-store"), QStringLiteral("QPSQL"));
        initServerStore(creator, StoreLocation::parse(address));
        return address;
    }

    QTemporaryDir dir_;
    std::unique_ptr<testing::ThrowawayPostgres> server_;  // outlives the data module
    TestClock clock_;
    MainThread mainThread_;
    ScriptedMessageBoxes messages_;
    Settings settings_;
    std::unique_ptr<TDataModule1> dm_;
};

// Prints the runs as usual and keeps each one's time per iteration (the median of a repeated
// one), so that a benchmark "<name>_Layer" (the program's code) can be set beside its
// baseline "<name>_Bare".
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            // With repetitions the median stands for the benchmark (it is reported after
            // the single runs); the other aggregates are not times.
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median")
                continue;
            times_[run.run_name.function_name] = {run.GetAdjustedRealTime(),
                                                  run.GetAdjustedCPUTime()};
        }
    }

    // Prints "<name> layer/bare = <real> real, <CPU> CPU (goal <= <goal>)" when both ran.
    void printRatio(const std::string& name, double goal) const {
        const auto layer = times_.find(name + "_Layer");
        const auto bare = times_.find(name + "_Bare");
        if (layer == times_.end() || bare == times_.end())
            return;
        std::printf("%-13s layer/bare = %.2f real, %.2f CPU (goal <= %g)\n", name.c_str(),
                    layer->second.first / bare->second.first,
                    layer->second.second / bare->second.second, goal);
    }

private:
    std::map<std::string, std::pair<double, double>> times_;  // real, CPU
};

// The main() of a benchmark program: runs the benchmarks under an `Application` (a
// QGuiApplication for those that lay out documents), then prints the ratio of each of `names`
// against `goal`. A store failure ends the program with its message.
template <typename Application = QCoreApplication>
int runBenchmarks(int argc, char** argv, const char* program,
                  std::initializer_list<const char*> names, double goal) {
    Application app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    try {
        benchmark::RunSpecifiedBenchmarks(&reporter);
    } catch (const StoreError& error) {
        std::fprintf(stderr, "%s: %s\n", program, error.what());
        return 1;
    }
    for (const char* name : names)
        reporter.printRatio(name, goal);
    benchmark::Shutdown();
    return 0;
}

}  // namespace orvet
