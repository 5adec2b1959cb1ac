#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QStringList>
#include <map>
#include <memory>

#include "editing/channel_operations.h"
#include "export/dispatch_database.h"
#include "export/export_plan.h"
#include "store/channel_kinds.h"
#include "store/store_error.h"
#include "support/dispatch_server.h"
#include "support/program_run.h"
#include "support/store_rig.h"
#include "support/store_test_support.h"

namespace orvet {
namespace {

using testing::DispatchServer;

// One server of each kind per test program: a PostgreSQL server takes seconds to start.
DispatchServer& server(DispatchServer::Kind kind) {
    static std::map<DispatchServer::Kind, std::unique_ptr<DispatchServer>> servers;
    auto& made = servers[kind];
    if (!made)
        made = std::make_unique<DispatchServer>(kind);
    return *made;
}

// The columns of Channels the export writes, as one line a row in the order of the target's
// letters and numbers.
const QString kWrittenColumns = QStringLiteral(
    "TypeChan, NumChan, Name, NeedMain, NeedShort, NeedSumm, NeedCurrent, NeedCurrDiskret, "
    "NeedTimeCurr, NeedEvents, ID_Units, uTypeDevice, uNumIFace, uNumDevice, uNumChanDev, "
    "ProtocolMask, WaitMask");

// A store with one USPD whose Headline collects main intervals but not short ones, and a fresh
// dispatch database with the target USPD "Котельная" and a second USPD; run on each server.
class Export : public ::testing::TestWithParam<DispatchServer::Kind> {
protected:
    void SetUp() override {
        DispatchServer& dispatchServer = server(GetParam());
        ASSERT_TRUE(dispatchServer.ready()) << dispatchServer.why().toStdString();
        connectString = dispatchServer.newDatabase();
        ASSERT_FALSE(connectString.isEmpty()) << dispatchServer.why().toStdString();
        dispatch.connectTo(connectString);
        target = addTarget(QStringLiteral("Котельная"), 0);
        other = addTarget(QStringLiteral("Насосная"), 0);

        rig.addUspd(QStringLiteral("УСПД"));
        data.openDatasets();
        Dataset& headline = data.tblHeadline;
        headline.edit();
        headline.fieldByName(u"need_main_int").setAsInteger(1);
        headline.fieldByName(u"need_short_int").setAsInteger(0);
        headline.post();
    }

    int addTarget(const QString& name, int hotReserveFor) {
        dispatchSql(QStringLiteral("insert into USD (Name, HotReservFor) values ('%1', %2)")
                        .arg(name)
                        .arg(hotReserveFor));
        return testing::queryValue(dispatch.ADOConnection2,
                                   QStringLiteral("select max(ID_USPD) from USD"))
            .toInt();
    }
    void dispatchSql(const QString& sql) { testing::execSql(dispatch.ADOConnection2, sql); }

    // Appends a stored channel of `kind` on module type 6, interface 1, module 2, its channel
    // `onModule`, with unit 4 where the kind has units.
    void addStoredChannel(const ChannelKind& kind, const QString& name, int onModule) {
        addChannel(data, kind);
        Dataset& channels = data.*kind.dataset;
        channels.fieldByName(u"name").setAsString(name);
        channels.fieldByName(u"t_device").setAsInteger(6);
        channels.fieldByName(u"num_iface").setAsInteger(1);
        channels.fieldByName(u"numdevice").setAsInteger(2);
        channels.fieldByName(u"n_channel").setAsInteger(onModule);
        if (channels.fieldIndex(u"u_measure") >= 0)
            channels.fieldByName(u"u_measure").setAsInteger(4);
        channels.post();
    }
    void removeStoredChannel(const ChannelKind& kind, int row) {
        Dataset& channels = data.*kind.dataset;
        channels.moveTo(row);
        channels.remove();
    }

    // The preview: action, letter, number, name, flags, unit, module identity, target.
    QStringList preview() {
        return testing::queryRows(
            data.ADOConnection1,
            QStringLiteral("select recaction, typechan, numchan, name, needmain, needshort, "
                           "needsumm, needcurrent, needcurrdiskret, needtimecurr, needevents, "
                           "id_units, typedevice, num_iface, numdevice, numchandev, id_uspd "
                           "from ChPreview order by key"),
            u'|');
    }
    QStringList channelsOf(int uspd, const QString& columns = kWrittenColumns) {
        QStringList rows = testing::queryRows(
            dispatch.ADOConnection2,
            QStringLiteral("select %1 from Channels where ID_USPD=%2 order by TypeChan, NumChan")
                .arg(columns)
                .arg(uspd),
            u'|');
        // Fixed-width names come back padded from PostgreSQL.
        for (QString& row : rows)
            row.replace(QRegularExpression(QStringLiteral(" +(\\||$)")), QStringLiteral("\\1"));
        return rows;
    }
    void exportAll() {
        buildPreview(data, dispatch, target);
        applyPreview(data, dispatch, target);
    }

    testing::StoreRig rig;
    TDataModule1& data = *rig.data;
    DispatchDatabase dispatch;
    QString connectString;
    int target = 0;
    int other = 0;
};

// A first export adds every channel with its kind's flags; the Headline's switches go to the
// analog and counting inputs; a quote in a name is stored as typed.
TEST_P(Export, FirstExportAddsEveryChannelWithItsKindsFlags) {
    addStoredChannel(kAnalogInputs, QStringLiteral("Давление 'П1'"), 0);
    addStoredChannel(kAnalogInputs, QStringLiteral("Температура"), 1);
    addStoredChannel(kCountingInputs, QStringLiteral("Счётчик"), 2);
    addStoredChannel(kOnboardInputs, QStringLiteral("Дверь"), 0);
    addStoredChannel(kDiscreteInputs, QStringLiteral("Насос"), 3);
    addStoredChannel(kOnboardOutputs, QStringLiteral("Сирена"), 0);
    addStoredChannel(kDiscreteOutputs, QStringLiteral("Задвижка"), 4);
    addStoredChannel(kKbhaChannels, QStringLiteral("КВНА"), 5);

    buildPreview(data, dispatch, target);
    const QString t = QString::number(target);
    EXPECT_EQ(preview(), QStringList({"1|G|1|Давление 'П1'|1|0|0|1|0||0|4|6|1|2|1|" + t,
                                      "1|G|2|Температура|1|0|0|1|0||0|4|6|1|2|2|" + t,
                                      "1|C|1|Счётчик|1|0|0|0|0|1|0|4|6|1|2|3|" + t,
                                      "1|K|1|Дверь|0|0|0|0|1||0||6|1|2|1|" + t,
                                      "1|E|1|Насос|0|0|0|0|1||0||6|1|2|4|" + t,
                                      "1|R|1|Сирена|0|0|0|0|1||0||6|1|2|1|" + t,
                                      "1|L|1|Задвижка|0|0|0|0|1||0||6|1|2|5|" + t,
                                      "1|B|1|КВНА|1|0|0|0|0||0|4|6|1|2|6|" + t}));

    applyPreview(data, dispatch, target);
    EXPECT_EQ(channelsOf(target), QStringList({"B|1|КВНА|1|0|0|0|0|0|0|4|6|1|2|6|143|64",
                                               "C|1|Счётчик|1|0|0|0|0|1|0|4|6|1|2|3|143|64",
                                               "E|1|Насос|0|0|0|0|1|0|0|0|6|1|2|4|143|64",
                                               "G|1|Давление 'П1'|1|0|0|1|0|0|0|4|6|1|2|1|143|64",
                                               "G|2|Температура|1|0|0|1|0|0|0|4|6|1|2|2|143|64",
                                               "K|1|Дверь|0|0|0|0|1|0|0|0|6|1|2|1|143|64",
                                               "L|1|Задвижка|0|0|0|0|1|0|0|0|6|1|2|5|143|64",
                                               "R|1|Сирена|0|0|0|0|1|0|0|0|6|1|2|1|143|64"}));
    EXPECT_TRUE(channelsOf(other).isEmpty());
    EXPECT_FALSE(data.ExportInProgress);
}

// Exporting again without changes updates every row in place: the dispatch system's own
// columns and its Need* flags stay, a changed name is written.
TEST_P(Export, SecondExportUpdatesAndKeepsTheDispatchSystemsColumns) {
    addStoredChannel(kAnalogInputs, QStringLiteral("Давление"), 0);
    addStoredChannel(kCountingInputs, QStringLiteral("Счётчик"), 1);
    exportAll();
    const QStringList keys = channelsOf(target, QStringLiteral("ID_Channel"));
    dispatchSql(
        QStringLiteral("update Channels set NeedMain=0, NeedCurrent=0, "
                       "StoreCurrInterval=7 where TypeChan='G'"));
    Dataset& analog = data.tblSpecAChannel;
    analog.first();
    analog.edit();
    analog.fieldByName(u"name").setAsString(QStringLiteral("Давление на входе"));
    analog.post();

    buildPreview(data, dispatch, target);
    const QStringList plan = preview();
    ASSERT_EQ(plan.size(), 2);
    for (const QString& row : plan)
        EXPECT_TRUE(row.startsWith(QStringLiteral("2|"))) << row.toStdString();
    applyPreview(data, dispatch, target);

    EXPECT_EQ(channelsOf(target, QStringLiteral("ID_Channel")), keys);
    EXPECT_EQ(channelsOf(target, QStringLiteral("TypeChan, Name, NeedMain, NeedCurrent, "
                                                "StoreCurrInterval, ProtocolMask, WaitMask")),
              QStringList({"C|Счётчик|1|0|1|143|64", "G|Давление на входе|0|0|7|143|64"}));
}

// Deleting an analog input: after the compress the remaining ones are updates of the first
// numbers and the highest number is deleted, whichever input went.
TEST_P(Export, DeletedAnalogInputsLeaveTheHighestNumber) {
    struct Case {
        int removed;
        QStringList names;
    };
    for (const Case& c : {Case{2, {"А", "Б"}}, Case{0, {"Б", "В"}}}) {
        SCOPED_TRACE(c.removed);
        for (const char* name : {"А", "Б", "В"})
            addStoredChannel(kAnalogInputs, QString::fromUtf8(name), 0);
        exportAll();
        removeStoredChannel(kAnalogInputs, c.removed);

        buildPreview(data, dispatch, target);
        const QStringList plan = preview();
        ASSERT_EQ(plan.size(), 3);
        EXPECT_TRUE(plan[0].startsWith("2|G|1|" + c.names[0] + "|"));
        EXPECT_TRUE(plan[1].startsWith("2|G|2|" + c.names[1] + "|"));
        EXPECT_TRUE(plan[2].startsWith(QStringLiteral("3|G|3|В|"))) << plan[2].toStdString();
        applyPreview(data, dispatch, target);
        EXPECT_EQ(channelsOf(target, QStringLiteral("TypeChan, NumChan, Name")),
                  QStringList({"G|1|" + c.names[0], "G|2|" + c.names[1]}));

        // The next case starts from an empty USPD and target.
        while (!data.tblSpecAChannel.isEmpty())
            removeStoredChannel(kAnalogInputs, 0);
        exportAll();
        ASSERT_TRUE(channelsOf(target).isEmpty());
    }
}

// Deletions stay within the target and the seven letters: another USPD's rows and rows of
// letters the configurator does not describe are left alone.
TEST_P(Export, DeletesTouchOnlyTheTargetsOwnLetters) {
    addStoredChannel(kAnalogInputs, QStringLiteral("Давление"), 0);
    for (const auto& [uspd, letter, number] :
         {std::tuple{target, "G", 5}, std::tuple{target, "X", 1}, std::tuple{other, "G", 5}}) {
        dispatchSql(QStringLiteral("insert into Channels (ID_USPD, TypeChan, NumChan, Name) "
                                   "values (%1, '%2', %3, 'чужой')")
                        .arg(uspd)
                        .arg(QLatin1String(letter))
                        .arg(number));
    }
    buildPreview(data, dispatch, target);
    const QStringList plan = preview();
    ASSERT_EQ(plan.size(), 2);
    EXPECT_TRUE(plan[0].startsWith(QStringLiteral("1|G|1|Давление|")));
    EXPECT_TRUE(plan[1].startsWith(QStringLiteral("3|G|5|чужой|"))) << plan[1].toStdString();

    applyPreview(data, dispatch, target);
    EXPECT_EQ(channelsOf(target, QStringLiteral("TypeChan, NumChan")), QStringList({"G|1", "X|1"}));
    EXPECT_EQ(channelsOf(other, QStringLiteral("TypeChan, NumChan")), QStringList({"G|5"}));
}

// The user's edits in the preview are what is written: a changed name is, a changed flag of
// an update is not, a dropped row is not applied, and an emptied number is written as 0.
TEST_P(Export, TheEditedPreviewIsWhatIsApplied) {
    addStoredChannel(kAnalogInputs, QStringLiteral("Давление"), 0);
    addStoredChannel(kAnalogInputs, QStringLiteral("Температура"), 1);
    exportAll();
    addStoredChannel(kKbhaChannels, QStringLiteral("КВНА"), 0);
    addStoredChannel(kOnboardInputs, QStringLiteral("Дверь"), 0);

    buildPreview(data, dispatch, target);
    Dataset& plan = data.tblChPreview;
    ASSERT_EQ(plan.recordCount(), 4);  // G1, G2 updates, K1 and B1 adds
    plan.first();
    plan.edit();
    plan.fieldByName(u"name").setAsString(QStringLiteral("Давление, МПа"));
    plan.fieldByName(u"needmain").setAsInteger(0);
    plan.post();
    plan.next();
    plan.remove();  // G2
    ASSERT_TRUE(plan.locate(u"typechan", QStringLiteral("B")));
    plan.edit();
    plan.fieldByName(u"typedevice").clear();
    plan.post();
    EXPECT_EQ(testing::queryValue(data.ADOConnection1,
                                  QStringLiteral("select typedevice is null from ChPreview "
                                                 "where typechan='B'"))
                  .toInt(),
              1);
    dispatchSql(QStringLiteral("update Channels set Name='старое' where NumChan=2"));

    applyPreview(data, dispatch, target);
    EXPECT_EQ(channelsOf(target, QStringLiteral("TypeChan, NumChan, Name, NeedMain, uTypeDevice, "
                                                "ID_Units")),
              QStringList({"B|1|КВНА|1|0|4", "G|1|Давление, МПа|1|6|4", "G|2|старое|1|6|4",
                           "K|1|Дверь|0|6|0"}));
}

// A row the dispatch database refuses undoes the whole apply: Channels is exactly as before.
TEST_P(Export, ARefusedRowWritesNothing) {
    dispatchSql(
        QStringLiteral("create unique index ChannelsOnce on Channels "
                       "(ID_USPD, TypeChan, NumChan)"));
    addStoredChannel(kAnalogInputs, QStringLiteral("Давление"), 0);
    exportAll();
    const QStringList before = channelsOf(target);
    Dataset& analog = data.tblSpecAChannel;
    analog.first();
    analog.edit();
    analog.fieldByName(u"name").setAsString(QStringLiteral("Новое имя"));
    analog.post();
    addStoredChannel(kAnalogInputs, QStringLiteral("Температура"), 1);
    buildPreview(data, dispatch, target);
    // Someone else adds G2 between the preview and the apply.
    dispatchSql(QStringLiteral("insert into Channels (ID_USPD, TypeChan, NumChan, Name) "
                               "values (%1, 'G', 2, 'чужой')")
                    .arg(target));
    const QStringList withForeign = channelsOf(target);

    EXPECT_FALSE(testing::storeErrorOf([&] { applyPreview(data, dispatch, target); }).isEmpty());
    EXPECT_EQ(channelsOf(target), withForeign);
    EXPECT_EQ(withForeign.first(), before.first());
    EXPECT_FALSE(data.ExportInProgress);
    EXPECT_FALSE(data.tblChPreview.displaySuspended());
    // The plan is still there to be applied once the conflict is resolved.
    dispatchSql(QStringLiteral("delete from Channels where Name='чужой'"));
    applyPreview(data, dispatch, target);
    EXPECT_EQ(channelsOf(target, QStringLiteral("TypeChan, NumChan, Name")),
              QStringList({"G|1|Новое имя", "G|2|Температура"}));
}

// Nothing to export: an empty preview that writes nothing.
TEST_P(Export, AnEmptyUspdAndTargetGiveAnEmptyPreview) {
    exportAll();
    EXPECT_TRUE(preview().isEmpty());
    EXPECT_TRUE(channelsOf(target).isEmpty());
}

// The target list leaves out hot-reserve units; a target that is not listed cannot be located.
TEST_P(Export, HotReserveUnitsAreNotTargets) {
    const int reserve = addTarget(QStringLiteral("Резерв"), target);
    dispatch.connectTo(connectString);
    EXPECT_EQ(dispatch.tblUSD.recordCount(), 2);
    EXPECT_TRUE(dispatch.locateTarget(other));
    EXPECT_EQ(dispatch.currentTarget(), other);
    EXPECT_FALSE(dispatch.locateTarget(reserve));
}

// orvet-cli export: prints the plan, applies it unless asked for the preview only, and on a
// refusal exits 1 with the database's message.
TEST_P(Export, TheCommandLinePrintsAndAppliesThePlan) {
    addStoredChannel(kAnalogInputs, QStringLiteral("Давление"), 0);
    addStoredChannel(kOnboardOutputs, QStringLiteral("Сирена"), 0);
    data.tblSpecEmDOChannel.close();
    const QStringList common = {QStringLiteral("export"),
                                QStringLiteral("--connect"),
                                connectString,
                                QStringLiteral("--target"),
                                QString::number(target),
                                QStringLiteral("--store"),
                                rig.location};

    testing::ProgramRun run =
        testing::runProgram(QStringLiteral(ORVET_CLI_PATH), common + QStringList{"--preview-only"});
    EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("Добавить G 1 Давление\nДобавить R 1 Сирена\n"));
    EXPECT_TRUE(channelsOf(target).isEmpty());

    run = testing::runProgram(QStringLiteral(ORVET_CLI_PATH), common);
    EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
    EXPECT_TRUE(run.out.endsWith(QStringLiteral("Экспорт в БД (ADO) завершен\n")));
    EXPECT_EQ(channelsOf(target, QStringLiteral("TypeChan, NumChan")), QStringList({"G|1", "R|1"}));

    run = testing::runProgram(
        QStringLiteral(ORVET_CLI_PATH),
        {QStringLiteral("export"), QStringLiteral("--connect"),
         QStringLiteral("DRIVER=NoSuchDriver;Pwd=secret"), QStringLiteral("--target"),
         QString::number(target), QStringLiteral("--store"), common.last()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.errors.startsWith(QStringLiteral("orvet-cli export: ")))
        << run.errors.toStdString();
    EXPECT_FALSE(run.errors.contains(QStringLiteral("secret")));
}

INSTANTIATE_TEST_SUITE_P(OnEachServer, Export,
                         ::testing::Values(DispatchServer::Postgres, DispatchServer::Sqlite),
                         [](const ::testing::TestParamInfo<DispatchServer::Kind>& param) {
                             return param.param == DispatchServer::Postgres ? "PostgreSQL"
                                                                            : "SQLite";
                         });

}  // namespace
}  // namespace orvet
