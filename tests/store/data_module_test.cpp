#include <gtest/gtest.h>

#include <QDir>
#include <memory>

#include "store/data_module.h"
#include "store/schema.h"
#include "store/store_error.h"
#include "support/store_test_support.h"
#include "support/test_platform.h"

namespace orvet {
namespace {

using testing::queryValue;
using testing::storeErrorOf;

const QStringList kUspdTables = {
    "Headline",       "ShortArchive",    "MainArchive",   "SpecInterFace", "SpecDevice",
    "SpecAChannel",   "SpecDChannel",    "SpecDOChannel", "SpecKBHA",      "SpecNIChannel",
    "SpecEmDChannel", "SpecEmDOChannel", "CallbackPhone"};
const QStringList kModuleChannelTables = {"SpecAChannel", "SpecDChannel", "SpecDOChannel",
                                          "SpecKBHA", "SpecNIChannel"};

QString createdNotice(const QString& path) {
    return QStringLiteral(
               "Файл базы конфигурации «%1» не найден. Создана новая база со "
               "справочными таблицами.")
        .arg(QDir::toNativeSeparators(path));
}

class DataModule : public ::testing::Test {
protected:
    DataModule() : location_(testing::newStoreLocation(test.dir())) {
        if (!testing::storesOnServer())
            test.messages.expectNotice(createdNotice(path()));
        dm = std::make_unique<TDataModule1>(test.platform(), path());
    }
    // The store: a file the data module creates, or a database on the test server.
    const QString& path() const { return location_; }

    void sql(const QString& statement) { testing::execSql(dm->ADOConnection1, statement); }
    int number(const QString& statement) {
        return queryValue(dm->ADOConnection1, statement).toInt();
    }
    int lastId() {
        return number(dm->ADOConnection1.isPostgres() ? "SELECT lastval()"
                                                      : "SELECT last_insert_rowid()");
    }

    // A USPD with a row in every per-USPD table: two modules (types 6 and 1) with channels
    // of every module kind, on-board channels and a phone. Returns its id_uspd.
    int addFullUspd(const QString& name) {
        sql(QStringLiteral("INSERT INTO USPD (uspd_name) VALUES ('%1')").arg(name));
        const int uspd = lastId();
        for (const char* table :
             {"Headline", "ShortArchive", "MainArchive", "SpecInterFace", "CallbackPhone"}) {
            sql(QStringLiteral("INSERT INTO %1 (id_uspd) VALUES (%2)").arg(table).arg(uspd));
        }
        for (int type : {6, 1}) {
            sql(QStringLiteral("INSERT INTO SpecDevice (id_uspd, t_device) VALUES (%1, %2)")
                    .arg(uspd)
                    .arg(type));
            const int module = lastId();
            for (const QString& table : kModuleChannelTables) {
                sql(QStringLiteral(
                        "INSERT INTO %1 (id_uspd, id_device, t_device) VALUES (%2, %3, %4)")
                        .arg(table)
                        .arg(uspd)
                        .arg(module)
                        .arg(type));
            }
        }
        for (const char* table : {"SpecEmDChannel", "SpecEmDOChannel", "SpecAChannel"}) {
            sql(QStringLiteral("INSERT INTO %1 (id_uspd, id_device, t_device, num_iface, "
                               "numdevice) VALUES (%2, 0, 15, -1, -1)")
                    .arg(table)
                    .arg(uspd));
        }
        return uspd;
    }
    // Row count and key sum of every table a cascade touches.
    QString snapshot() {
        QStringList parts;
        for (const QString& table : kUspdTables + QStringList{"USPD", "ChPreview"}) {
            const QString key = Schema::store().table(table)->key()->name;
            parts.append(table + ":" +
                         testing::queryRows(
                             dm->ADOConnection1,
                             "SELECT count(*), coalesce(sum(" + key + "), 0) FROM " + table, u'/')
                             .join(u' '));
        }
        return parts.join(' ');
    }
    int rowsOf(const QString& table, const QString& where) {
        return number(QStringLiteral("SELECT count(*) FROM %1 WHERE %2").arg(table, where));
    }
    void openUspd(int id) {
        dm->tblUSPD.open();
        ASSERT_TRUE(dm->tblUSPD.locate(u"id_uspd", id));
        dm->openDatasets();
        dm->refreshModuleLists();
    }
    QList<int> integers(Dataset& dataset, QStringView field) {
        QList<int> values;
        for (int row = 0; row < dataset.rowCount(); ++row) {
            values.append(valueAsInteger(dataset.value(row, dataset.fieldIndex(field))));
        }
        return values;
    }

    testing::TestPlatform test;
    QString location_;
    std::unique_ptr<TDataModule1> dm;
};

TEST_F(DataModule, CreatesTheStoreOnceAndOpensTheStartDatasets) {
    QStringList open;
    for (Dataset* dataset : dm->ADOConnection1.datasets()) {
        if (dataset->isOpen())
            open.append(dataset->name());
    }
    EXPECT_EQ(open, (QStringList{"tblPort", "tblTypeIface", "tblBaud", "tblTypeTransf", "tblSign",
                                 "tblTypeDevice", "tblSpecInterFace"}));
    EXPECT_TRUE(dm->tblSpecInterFace.isEmpty());  // no USPD is current yet
    dm.reset();
    TDataModule1 again(test.platform(), path());  // an existing store: no notice
    EXPECT_EQ(test.messages.shown().size(), testing::storesOnServer() ? 0u : 1u);
}

TEST_F(DataModule, ReportsAStoreThatCannotBeUsed) {
    dm.reset();
    QTemporaryDir dir;
    const QString bad = dir.filePath("Config.db");
    testing::writeFile(bad, "plain text, not a database");
    EXPECT_EQ(storeErrorOf([&] { TDataModule1 module(test.platform(), bad); }),
              QStringLiteral("Файл «%1» не является базой данных конфигурации")
                  .arg(QDir::toNativeSeparators(bad)));
    EXPECT_EQ(testing::readFile(bad), "plain text, not a database");
}

TEST_F(DataModule, HoldsTheCatalogue) {
    const QString lists =
        "select SpecDevice.id_device, SpecDevice.fullname, TypeDevice.t_device, TypeDevice.key, "
        "SpecDevice.n_on_iface, SpecDevice.id_iface from SpecDevice, TypeDevice, USPD where "
        "TypeDevice.%1>0 and TypeDevice.key=SpecDevice.t_device and "
        "SpecDevice.id_uspd=USPD.id_uspd";
    const QString analogList = QString(lists).replace("id_device, ", "id_device,");
    const std::pair<const char*, QString> catalogue[] = {
        {"tblPort", "SELECT * FROM Port"},
        {"tblTypeIface", "SELECT * FROM TypeIface"},
        {"tblBaud", "SELECT * FROM Baud"},
        {"tblTypeTransf", "SELECT * FROM TypeTransf"},
        {"tblSign", "SELECT * FROM Sign"},
        {"tblTypeDevice", "SELECT * FROM TypeDevice ORDER BY t_device"},
        {"tblUnitMeasure", "SELECT * FROM Unit_Measure"},
        {"tblNChannel", "SELECT * FROM NChannels ORDER BY id_tdevice"},
        {"tblTAction", "SELECT * FROM TAction"},
        {"tblChPreview", "SELECT * FROM ChPreview"},
        {"tblUSPD", "SELECT * FROM USPD"},
        {"tblHeadline", "SELECT * FROM Headline"},
        {"tblShortArchive", "SELECT * FROM ShortArchive"},
        {"tblMainArchive", "SELECT * FROM MainArchive"},
        {"tblSpecInterFace", "select * from SpecInterFace order by port"},
        {"tblSpecDevice", "select * from SpecDevice order by id_device"},
        {"tblSpecAChannel", "select * from SpecAChannel order by id_achannel"},
        {"tblSpecDChannel", "select * from SpecDChannel order by id_dchannel"},
        {"tblSpecDOChannel", "select * from SpecDOChannel order by id_dochannel"},
        {"tblSpecKBHA", "select * from SpecKBHA order by id_kvna"},
        {"tblSpecNIChannel", "select * from SpecNIChannel order by id_nichannel"},
        {"tblSpecEmDChannel", "select * from SpecEmDChannel order by id_dchannel"},
        {"tblSpecEmDOChannel", "select * from SpecEmDOChannel order by id_dochannel"},
        {"tblCallbackPhone", "select * from CallbackPhone"},
        {"qryWConfig", "select * from SpecDevice"},
        {"DADevice", analogList.arg("col_achannel")},
        {"DDDevice", lists.arg("col_dchannel")},
        {"DDODevice", lists.arg("col_dochannel")},
        {"DKBHADevice", lists.arg("col_kvna")},
        {"DNIDevice", lists.arg("col_nichannel")},
        {"DNAChannel",
         "select id_tdevice, n_chan, name, description from NChannels where t_channel=1"},
        {"DNDChannel", "select id_tdevice, n_chan, name from NChannels where t_channel=2"},
        {"DNDOChannel", "select id_tdevice, n_chan, name from NChannels where t_channel=4"},
        {"DNKBHA", "select id_tdevice, n_chan, name, description from NChannels where t_channel=3"},
        {"DNNIChannel",
         "select id_tdevice, n_chan, name, description from NChannels where t_channel=5"},
        {"DNEmDChannel", "select id_tdevice, n_chan, name from NChannels "},
        {"DNEmDOChannel", "select id_tdevice, n_chan, name from NChannels"},
    };
    ASSERT_EQ(dm->ADOConnection1.datasets().size(), std::size(catalogue));
    for (size_t i = 0; i < std::size(catalogue); ++i) {
        const auto& [name, statement] = catalogue[i];
        Dataset* dataset = dm->ADOConnection1.datasets()[i];
        EXPECT_EQ(dataset->name(), name);
        EXPECT_EQ(dataset->statement(), statement) << name;
        const bool detail = kUspdTables.contains(dataset->tableName()) &&
                            QLatin1String(name).startsWith(QLatin1String("tbl"));
        EXPECT_EQ(dataset->master(), detail ? &dm->tblUSPD : nullptr) << name;
    }
    EXPECT_EQ(dm->dataset(u"tblSpecKBHA"), &dm->tblSpecKBHA);
    EXPECT_EQ(dm->ADOCommand1.commandText(), "select * from ChPreview");
    EXPECT_EQ(TDataModule1::moduleListStatement("col_achannel", 12),
              "select SpecDevice.id_device,SpecDevice.fullname, TypeDevice.t_device, "
              "TypeDevice.key, SpecDevice.n_on_iface, SpecDevice.id_iface from SpecDevice, "
              "TypeDevice where TypeDevice.col_achannel>0 and "
              "TypeDevice.key=SpecDevice.t_device and SpecDevice.id_uspd=12");
    EXPECT_FALSE(dm->ExportInProgress);
}

TEST_F(DataModule, AUspdWithoutRowsHasEmptyDetailsAndLists) {
    addFullUspd("other");
    sql("INSERT INTO USPD (uspd_name) VALUES ('empty')");
    openUspd(lastId());
    for (Dataset* dataset : dm->ADOConnection1.datasets()) {
        if (dataset->master() && !dataset->afterOpen) {
            EXPECT_TRUE(dataset->isEmpty()) << dataset->name().toStdString();
        }
    }
    for (Dataset* list :
         {&dm->DADevice, &dm->DDDevice, &dm->DDODevice, &dm->DKBHADevice, &dm->DNIDevice}) {
        EXPECT_TRUE(list->isEmpty()) << list->name().toStdString();
    }
}

TEST_F(DataModule, ShowsNoRowOfAnotherUspd) {
    const int a = addFullUspd("A");
    const int b = addFullUspd("B");
    openUspd(a);
    for (int current : {a, b, a}) {
        ASSERT_TRUE(dm->tblUSPD.locate(u"id_uspd", current));
        dm->refreshModuleLists();
        for (Dataset* dataset : dm->ADOConnection1.datasets()) {
            if (!dataset->master())
                continue;
            EXPECT_FALSE(dataset->isEmpty()) << dataset->name().toStdString();
            for (int id : integers(*dataset, u"id_uspd")) {
                EXPECT_EQ(id, current) << dataset->name().toStdString();
            }
        }
        const QList<int> modules = integers(dm->DADevice, u"id_device");
        EXPECT_EQ(modules.size(), 2);
        for (int module : modules) {
            EXPECT_EQ(number(QStringLiteral("SELECT id_uspd FROM SpecDevice WHERE id_device=%1")
                                 .arg(module)),
                      current);
        }
    }
}

TEST_F(DataModule, DeletingAUspdDeletesAllItsRows) {
    const int a = addFullUspd("A");
    const int b = addFullUspd("B");
    sql("INSERT INTO ChPreview (recaction, typechan, id_uspd) VALUES (1, 'G', 77)");
    QStringList kept;
    for (const QString& table : kUspdTables)
        kept.append(QString::number(rowsOf(table, QStringLiteral("id_uspd=%1").arg(b))));

    openUspd(a);
    dm->tblUSPD.remove();
    for (const QString& table : kUspdTables) {
        EXPECT_EQ(rowsOf(table, QStringLiteral("id_uspd=%1").arg(a)), 0) << table.toStdString();
    }
    QStringList after;
    for (const QString& table : kUspdTables)
        after.append(QString::number(rowsOf(table, QStringLiteral("id_uspd=%1").arg(b))));
    EXPECT_EQ(after, kept);
    EXPECT_EQ(number("SELECT count(*) FROM ChPreview"), 0);
    // The details follow the USPD that became current.
    EXPECT_EQ(dm->currentUspd(), b);
    EXPECT_EQ(integers(dm->tblSpecDevice, u"id_uspd"), (QList<int>{b, b}));
}

// Fault injection: each statement of the cascade, and the deletion of the row itself, fails
// in turn. Every time, the store keeps every row and the USPD stays current.
TEST_F(DataModule, AUspdDeletionThatFailsHalfWayDeletesNothing) {
    const int a = addFullUspd("A");
    addFullUspd("B");
    sql("INSERT INTO ChPreview (recaction, typechan) VALUES (1, 'G')");
    openUspd(a);
    const QString before = snapshot();
    for (const QString& table : kUspdTables + QStringList{"ChPreview", "USPD"}) {
        SCOPED_TRACE(table.toStdString());
        testing::refuseRows(dm->ADOConnection1, "injected", "BEFORE DELETE ON " + table, {},
                            "injected failure");
        EXPECT_EQ(storeErrorOf([&] { dm->tblUSPD.remove(); }), "injected failure");
        testing::dropRefusal(dm->ADOConnection1, "injected", table);
        EXPECT_EQ(snapshot(), before);
        EXPECT_EQ(dm->currentUspd(), a);
        EXPECT_EQ(dm->tblUSPD.recordCount(), 2);
    }
    dm->tblUSPD.remove();
    EXPECT_NE(snapshot(), before);
}

TEST_F(DataModule, DeletingAModuleDeletesItsChannelsOnly) {
    const int uspd = addFullUspd("A");
    openUspd(uspd);
    dm->tblSpecDevice.first();
    const int doomed = dm->tblSpecDevice.fieldByName(u"id_device").asInteger();
    const int kept = number(QStringLiteral("SELECT max(id_device) FROM SpecDevice"));
    dm->tblSpecAChannel.append();  // dropped by the reload

    // Failing half-way deletes nothing and leaves the channel datasets alone.
    const QString before = snapshot();
    testing::refuseRows(dm->ADOConnection1, "injected", "BEFORE DELETE ON SpecKBHA", {}, "no");
    EXPECT_EQ(storeErrorOf([&] { dm->tblSpecDevice.remove(); }), "no");
    testing::dropRefusal(dm->ADOConnection1, "injected", "SpecKBHA");
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(dm->tblSpecAChannel.state(), Dataset::State::Insert);

    dm->tblSpecDevice.remove();
    for (const QString& table : kModuleChannelTables) {
        EXPECT_EQ(rowsOf(table, QStringLiteral("id_device=%1").arg(doomed)), 0)
            << table.toStdString();
        EXPECT_EQ(rowsOf(table, QStringLiteral("id_device=%1").arg(kept)), 1)
            << table.toStdString();
    }
    // The on-board channels (module 0) and the analog input without a module stay.
    EXPECT_EQ(rowsOf("SpecEmDChannel", "id_device=0") + rowsOf("SpecEmDOChannel", "id_device=0"),
              2);
    EXPECT_EQ(rowsOf("SpecAChannel", "id_device=0"), 1);
    // The five channel datasets show the remaining rows at once.
    EXPECT_EQ(dm->tblSpecAChannel.state(), Dataset::State::Browse);
    EXPECT_EQ(integers(dm->tblSpecAChannel, u"id_device"), (QList<int>{kept, 0}));
    for (Dataset* channels :
         {&dm->tblSpecDChannel, &dm->tblSpecDOChannel, &dm->tblSpecKBHA, &dm->tblSpecNIChannel}) {
        EXPECT_EQ(integers(*channels, u"id_device"), QList<int>{kept})
            << channels->name().toStdString();
    }
}

TEST_F(DataModule, PostingAModuleRefreshesTheModuleLists) {
    sql("INSERT INTO USPD (uspd_name) VALUES ('A')");
    openUspd(lastId());
    const auto listed = [&] {
        QStringList names;
        for (Dataset* list :
             {&dm->DADevice, &dm->DDDevice, &dm->DDODevice, &dm->DKBHADevice, &dm->DNIDevice}) {
            if (!list->isEmpty())
                names.append(list->name());
        }
        return names;
    };
    dm->tblSpecDevice.append();
    dm->tblSpecDevice.fieldByName(u"T_DEVICE").setAsInteger(6);  // analog, discrete, outputs
    // The lists test the type's counts, not the module's own (still empty here).
    EXPECT_TRUE(listed().isEmpty());
    dm->tblSpecDevice.post();
    EXPECT_EQ(listed(), (QStringList{"DADevice", "DDDevice", "DDODevice"}));
    EXPECT_EQ(dm->DADevice.fieldByName(u"key").asInteger(), 6);
    EXPECT_EQ(dm->DADevice.fieldByName(u"t_device").asString(), "Смешанный");

    dm->tblSpecDevice.edit();
    dm->tblSpecDevice.fieldByName(u"t_device").setAsInteger(5);  // counting inputs only
    EXPECT_EQ(listed(), (QStringList{"DADevice", "DDDevice", "DDODevice"}));
    dm->tblSpecDevice.post();
    EXPECT_EQ(listed(), QStringList{"DNIDevice"});
    EXPECT_EQ(dm->tblSpecDevice.fieldByName(u"TDevice").asString(), "Счетчик-4");
}

TEST_F(DataModule, AChannelRowBringsItsTypesTemplates) {
    sql("INSERT INTO USPD (uspd_name) VALUES ('A')");
    const int uspd = lastId();
    for (const char* type : {"1", "0", "NULL", "19"}) {
        sql(QStringLiteral("INSERT INTO SpecAChannel (id_uspd, t_device) VALUES (%1, %2)")
                .arg(uspd)
                .arg(type));
    }
    sql(QStringLiteral("INSERT INTO SpecEmDChannel (id_uspd, id_device, t_device, num_iface, "
                       "numdevice) VALUES (%1, 0, 15, -1, -1)")
            .arg(uspd));
    openUspd(uspd);
    const auto templates = [&] { return integers(dm->DNAChannel, u"id_tdevice"); };
    const QList<int> typeOne(
        number("SELECT count(*) FROM NChannels WHERE id_tdevice=1 AND t_channel=1"), 1);
    ASSERT_EQ(typeOne.size(), 8);
    EXPECT_EQ(templates(), typeOne);  // the first row is current after opening
    EXPECT_EQ(dm->DNAChannel.statement(),
              "select id_tdevice, n_chan, name, description from NChannels where id_tdevice=1 and "
              "t_channel=1");
    dm->tblSpecAChannel.next();  // type 0
    EXPECT_EQ(templates(), typeOne);
    dm->tblSpecAChannel.next();  // empty type
    EXPECT_EQ(templates(), typeOne);
    dm->ExportInProgress = true;
    dm->tblSpecAChannel.next();  // type 19, while the export runs
    EXPECT_EQ(templates(), typeOne);
    dm->ExportInProgress = false;
    dm->tblSpecAChannel.first();
    dm->tblSpecAChannel.last();
    EXPECT_EQ(templates(), (QList<int>{19, 19}));
    EXPECT_EQ(dm->DNAChannel.fieldByName(u"description").asString(), "Аналог. вход 1");

    // The on-board row: no module, no interface, its templates those of the board.
    EXPECT_EQ(dm->tblSpecEmDChannel.fieldByName(u"id_device").asInteger(), 0);
    EXPECT_EQ(dm->tblSpecEmDChannel.fieldByName(u"num_iface").asInteger(), -1);
    EXPECT_EQ(dm->tblSpecEmDChannel.fieldByName(u"numdevice").asInteger(), -1);
    EXPECT_EQ(dm->DNEmDChannel.statement(),
              "select id_tdevice, n_chan, name from NChannels where id_tdevice=15 and t_channel=2");
    EXPECT_EQ(dm->DNEmDChannel.recordCount(),
              number("SELECT count(*) FROM NChannels WHERE id_tdevice=15 AND t_channel=2"));
}

TEST_F(DataModule, OpeningGivesTheUspdItsFlagAndArchiveRowsOnce) {
    sql("INSERT INTO USPD (uspd_name) VALUES ('A')");
    const int a = lastId();
    sql("INSERT INTO USPD (uspd_name) VALUES ('B')");
    const int b = lastId();
    openUspd(a);
    EXPECT_EQ(
        rowsOf("Headline", QStringLiteral("id_uspd=%1 AND need_short_int=0 AND need_main_int=0 "
                                          "AND led_enable=0 AND intchan_enable=0 AND callback=0 "
                                          "AND verh IS NULL")
                               .arg(a)),
        1);
    EXPECT_EQ(rowsOf("ShortArchive",
                     QStringLiteral("id_uspd=%1 AND short_time_min=0 AND short_records=0").arg(a)),
              1);
    EXPECT_EQ(rowsOf("MainArchive",
                     QStringLiteral("id_uspd=%1 AND main_time_min=0 AND main_records=0").arg(a)),
              1);

    // Another USPD made current while the datasets stay open gets none yet; reopening does.
    ASSERT_TRUE(dm->tblUSPD.locate(u"id_uspd", b));
    EXPECT_EQ(rowsOf("Headline", QStringLiteral("id_uspd=%1").arg(b)), 0);
    for (Dataset* dataset : {&dm->tblHeadline, &dm->tblShortArchive, &dm->tblMainArchive}) {
        dataset->close();
        dataset->open();
        dataset->close();
        dataset->open();
    }
    for (const char* table : {"Headline", "ShortArchive", "MainArchive"}) {
        EXPECT_EQ(rowsOf(table, QStringLiteral("id_uspd=%1").arg(b)), 1) << table;
        EXPECT_EQ(rowsOf(table, QStringLiteral("id_uspd=%1").arg(a)), 1) << table;
    }
}

TEST_F(DataModule, AUspdWithTheKeyZeroIsCurrentLikeAnyOther) {
    sql("INSERT INTO USPD (id_uspd, uspd_name) VALUES (0, 'Нулевой')");
    openUspd(0);
    EXPECT_TRUE(dm->hasCurrentUspd());
    EXPECT_EQ(dm->currentUspd(), 0);
    for (const char* table : {"Headline", "ShortArchive", "MainArchive"})
        EXPECT_EQ(rowsOf(table, "id_uspd=0"), 1) << table;

    // A new row is no stored USPD until it is posted; a closed list has none.
    dm->tblUSPD.append();
    EXPECT_FALSE(dm->hasCurrentUspd());
    dm->tblUSPD.cancel();
    EXPECT_TRUE(dm->hasCurrentUspd());
    dm->tblUSPD.close();
    EXPECT_FALSE(dm->hasCurrentUspd());
}

TEST_F(DataModule, ComputesTheListsLookupFields) {
    sql("INSERT INTO USPD (uspd_name) VALUES ('A')");
    const int uspd = lastId();
    sql(QStringLiteral(
            "INSERT INTO SpecInterFace (id_uspd, port, t_iface, baud) VALUES (%1, 3, 3, 8)")
            .arg(uspd));
    const int iface = lastId();
    sql(QStringLiteral("INSERT INTO SpecDevice (id_uspd, t_device, id_iface_s) VALUES (%1, 7, %2)")
            .arg(uspd)
            .arg(iface));
    sql(QStringLiteral("INSERT INTO SpecDChannel (id_uspd, archive, invers) VALUES (%1, 1, 0)")
            .arg(uspd));
    openUspd(uspd);
    const auto text = [](Dataset& dataset, const char16_t* field) {
        return dataset.fieldByName(field).asString();
    };
    EXPECT_EQ(text(dm->tblSpecInterFace, u"NPort"), "COM3");
    EXPECT_EQ(text(dm->tblSpecInterFace, u"TIface"), "Модем");
    EXPECT_EQ(text(dm->tblSpecInterFace, u"bBaud"), "115200");
    EXPECT_EQ(dm->tblSpecDevice.fieldByName(u"IfToPort").asInteger(), 3);
    EXPECT_EQ(text(dm->tblSpecDevice, u"NPORT"), "COM3");
    EXPECT_EQ(text(dm->tblSpecDevice, u"TDevice"), "КВНА-4");
    EXPECT_EQ(dm->tblSpecDevice.fieldByName(u"TChannel").asInteger(), 3);
    EXPECT_EQ(text(dm->tblSpecDChannel, u"SArchive"), "Да");
    EXPECT_EQ(text(dm->tblSpecDChannel, u"SInvers"), "Нет");

    // The interface moves to another port: the module's port follows on the next read.
    dm->tblSpecInterFace.edit();
    dm->tblSpecInterFace.fieldByName(u"port").setAsInteger(5);
    dm->tblSpecInterFace.post();
    EXPECT_EQ(text(dm->tblSpecDevice, u"NPort"), "COM5");
}

// The per-row reactions held back: a posted module and channel rows made current change no
// list until the hold catches up, which runs each reaction that came due once.
class HeldReactions : public DataModule {
protected:
    HeldReactions() {
        openUspd(addFullUspd("A"));
        // Each refresh of the module lists opens DADevice once; each template re-query opens
        // its list once.
        dm->DADevice.afterOpen = [this](Dataset&) { ++moduleLists; };
        dm->DNAChannel.afterOpen = [this](Dataset&) { ++analogTemplates; };
        dm->DNKBHA.afterOpen = [this](Dataset&) { ++kbhaTemplates; };
    }
    // Moves the first module to type 5 (counting inputs only, so out of the analog list) and
    // the analog inputs to their last row, the on-board one of type 15.
    void changeRows() {
        dm->tblSpecDevice.first();
        dm->tblSpecDevice.edit();
        dm->tblSpecDevice.fieldByName(u"t_device").setAsInteger(5);
        dm->tblSpecDevice.post();
        dm->tblSpecAChannel.first();
        dm->tblSpecAChannel.next();
        dm->tblSpecAChannel.next();
    }

    int moduleLists = 0;
    int analogTemplates = 0;
    int kbhaTemplates = 0;
    const QString kTypeSixTemplates =
        "select id_tdevice, n_chan, name, description from NChannels where id_tdevice=6 and "
        "t_channel=1";
    const QString kOnboardTemplates =
        "select id_tdevice, n_chan, name, description from NChannels where id_tdevice=15 and "
        "t_channel=1";
};

TEST_F(HeldReactions, CatchingUpRefreshesEachDueListOnce) {
    ASSERT_EQ(dm->DADevice.recordCount(), 2);
    ASSERT_EQ(dm->DNAChannel.statement(), kTypeSixTemplates);
    {
        TDataModule1::HeldReactions held = dm->holdReactions();
        changeRows();
        EXPECT_EQ(moduleLists, 0);
        EXPECT_EQ(analogTemplates, 0);
        EXPECT_EQ(dm->DADevice.recordCount(), 2);
        EXPECT_EQ(dm->DNAChannel.statement(), kTypeSixTemplates);

        held.catchUp();
        EXPECT_EQ(moduleLists, 1);
        EXPECT_EQ(analogTemplates, 1);
        EXPECT_EQ(kbhaTemplates, 0);  // no KBHA row became current
        EXPECT_EQ(dm->DADevice.recordCount(), 1);
        EXPECT_EQ(dm->DNAChannel.statement(), kOnboardTemplates);

        held.catchUp();
        EXPECT_EQ(moduleLists + analogTemplates, 2);
    }
    EXPECT_EQ(moduleLists + analogTemplates, 2);
    // The reactions are back.
    dm->tblSpecAChannel.first();
    EXPECT_EQ(analogTemplates, 2);
    EXPECT_EQ(dm->DNAChannel.statement(), kTypeSixTemplates);
    dm->tblSpecDevice.edit();
    dm->tblSpecDevice.post();
    EXPECT_EQ(moduleLists, 2);
}

TEST_F(HeldReactions, EndingTheHoldRunsNothingAndGivesTheReactionsBack) {
    {
        TDataModule1::HeldReactions held = dm->holdReactions();
        changeRows();
    }
    EXPECT_EQ(moduleLists, 0);
    EXPECT_EQ(analogTemplates, 0);
    EXPECT_EQ(dm->DNAChannel.statement(), kTypeSixTemplates);
    // Back on the type-6 row the list already holds its templates and is not read again; the
    // on-board row reads its own.
    dm->tblSpecAChannel.first();
    EXPECT_EQ(analogTemplates, 0);
    dm->tblSpecAChannel.last();
    EXPECT_EQ(analogTemplates, 1);
    EXPECT_EQ(dm->DNAChannel.statement(), kOnboardTemplates);
    dm->tblSpecDevice.edit();
    dm->tblSpecDevice.post();
    EXPECT_EQ(moduleLists, 1);
    EXPECT_EQ(dm->DADevice.recordCount(), 1);
}

}  // namespace
}  // namespace orvet
