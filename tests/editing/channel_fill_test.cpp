#include <gtest/gtest.h>

#include <QStringList>

#include "editing/channel_fill.h"
#include "editing/channel_operations.h"
#include "editing/module_operations.h"
#include "store/channel_kinds.h"
#include "store/store_error.h"
#include "support/store_rig.h"
#include "support/store_test_support.h"

namespace orvet {
namespace {

using testing::execSql;

// Counts what a bulk command shows.
struct CountedProgress final : BulkProgress {
    void start(int maximum) override { maxima << maximum; }
    void step() override { ++steps; }
    void moduleDone() override { ++modules; }
    QList<int> maxima;
    int steps = 0;
    int modules = 0;
};

// The fill and the copy on a store with one USPD and two interfaces.
class ChannelFill : public ::testing::Test {
protected:
    ChannelFill() {
        uspd = rig.addUspd(QStringLiteral("Котельная"));
        data.openDatasets();
        data.refreshModuleLists();
        Dataset& ifaces = data.tblSpecInterFace;
        for (int port : {1, 2}) {
            ifaces.append();
            ifaces.fieldByName(u"port").setAsInteger(port);
            ifaces.post();
            interfaces << ifaces.fieldByName(u"id_iface_s").asInteger();
        }
    }

    // A stored module of `type` on interface `iface` (0 or 1, also its position), numbered
    // `number`; the module list stays on it.
    int storedModule(int type, int iface, int number) {
        Dataset& modules = data.tblSpecDevice;
        addModule(modules);
        modules.fieldByName(u"t_device").setAsInteger(type);
        modules.fieldByName(u"id_iface_s").setAsInteger(interfaces[iface]);
        modules.fieldByName(u"id_iface").setAsInteger(iface);
        modules.fieldByName(u"n_on_iface").setAsInteger(number);
        updateModuleIdentity(data);
        return modules.fieldByName(u"id_device").asInteger();
    }
    QStringList rows(const QString& sql) {
        return testing::queryRows(data.ADOConnection1, sql, u'|');
    }
    int count(const QString& table) {
        return testing::queryValue(data.ADOConnection1, "select count(*) from " + table).toInt();
    }

    testing::StoreRig rig;
    TDataModule1& data = *rig.data;
    int uspd = 0;
    QList<int> interfaces;
    CountedProgress progress;
};

// A mixed module: four analog inputs named and measured by their templates, numbered after
// the analog inputs already stored, four discrete inputs and two outputs; no analog outputs.
TEST_F(ChannelFill, FillCreatesTheModulesChannelsFromItsTemplates) {
    addChannel(data, kAnalogInputs);
    addChannel(data, kAnalogInputs);
    data.tblSpecAChannel.post();
    const int mixed = storedModule(6, 1, 4);

    const FillResult result = fillModuleChannels(data, progress);
    EXPECT_EQ(result.report, QStringLiteral("Добавлены все каналы для Смешанный"));
    EXPECT_EQ(result.created,
              QStringList({"G3", "G4", "G5", "G6", "E1", "E2", "E3", "E4", "L1", "L2"}));
    EXPECT_EQ(progress.maxima, QList<int>({10}));
    EXPECT_EQ(progress.steps, 10);

    const QString module = QString::number(mixed);
    EXPECT_EQ(rows("select type_num, id_achannel_p, name, n_channel, u_measure, n_u_measure, "
                   "id_device, t_device, num_iface, numdevice, min_code, max_code, W, archive, "
                   "emerg_val from SpecAChannel where id_device is not null and id_device<>0 "
                   "order by id_achannel"),
              QStringList({"G3|2|Аналог. вход 1|0|4|мА|" + module + "|6|1|4|4|20|90|0|-1",
                           "G4|3|Аналог. вход 2|1|1|В|" + module + "|6|1|4|4|20|90|0|-1",
                           "G5|4|Аналог. вход 3|2|4|мА|" + module + "|6|1|4|4|20|90|0|-1",
                           "G6|5|Аналог. вход 4|3|1|В|" + module + "|6|1|4|4|20|90|0|-1"}));
    EXPECT_EQ(rows("select type_num, name, n_channel, t_device, num_iface, numdevice, cbevent "
                   "from SpecDChannel order by id_dchannel")
                  .last(),
              "E4|Дискретный вход УСО|3|6|1|4|3");
    EXPECT_EQ(rows("select type_num, name, n_channel from SpecDOChannel order by id_dochannel"),
              QStringList({"L1|Дискретный выход УСО|0", "L2|Дискретный выход УСО|1"}));
    EXPECT_EQ(count("SpecNIChannel") + count("SpecKBHA"), 0);
    EXPECT_EQ(data.tblSpecAChannel.state(), Dataset::State::Browse);
}

// Without a template, or with one whose unit the store does not hold, a channel has its
// kind's name and unit 40 with a blank short name.
TEST_F(ChannelFill, MissingTemplatesGiveTheDefaults) {
    execSql(data.ADOConnection1, "delete from NChannels where id_tdevice=5 and n_chan=1");
    execSql(data.ADOConnection1,
            "update NChannels set umeasure=999 where id_tdevice=5 and n_chan=2");
    execSql(data.ADOConnection1,
            "update NChannels set umeasure=0, description='Импульсы' where id_tdevice=5 and "
            "n_chan=3");
    execSql(data.ADOConnection1,
            "insert into Unit_Measure (ID_Units, ShortName) values (0, 'нет')");
    storedModule(5, 0, 2);
    fillModuleChannels(data, progress);
    EXPECT_EQ(rows("select name, u_measure, n_u_measure from SpecNIChannel order by n_channel"),
              QStringList({"Счетный вход 1|12|имп", "Счетный вход УСО|40|      ",
                           "Счетный вход УСО|40|      ", "Импульсы|40|      "}));
}

// A second fill adds a second set, numbered after the first.
TEST_F(ChannelFill, FillingTwiceDoublesTheChannels) {
    storedModule(7, 0, 1);
    fillModuleChannels(data, progress);
    const FillResult second = fillModuleChannels(data, progress);
    EXPECT_EQ(second.created, QStringList({"B5", "B6", "B7", "B8"}));
    EXPECT_EQ(rows("select n_channel from SpecKBHA order by id_kvna"),
              QStringList({"0", "1", "2", "3", "0", "1", "2", "3"}));
}

// Every module but those of type 0, each channel with its own module's identity; one report.
TEST_F(ChannelFill, AllModulesFillsEachWithItsOwnIdentity) {
    const int analog = storedModule(1, 0, 3);
    storedModule(0, 0, 5);
    const int counter = storedModule(5, 1, 7);
    const FillResult result = fillAllModules(data, progress);
    EXPECT_EQ(result.report, QStringLiteral("Добавлены все каналы всех модулей"));
    // One bar over the channels of both filled modules, a step for each.
    EXPECT_EQ(progress.maxima, QList<int>({12}));
    EXPECT_EQ(progress.steps, 12);
    EXPECT_EQ(progress.modules, 3);
    EXPECT_EQ(result.created.size(), 12);
    EXPECT_EQ(rows("select distinct id_device, t_device, num_iface, numdevice from SpecAChannel"),
              QStringList(QStringLiteral("%1|1|0|3").arg(analog)));
    EXPECT_EQ(rows("select distinct id_device, t_device, num_iface, numdevice from SpecNIChannel"),
              QStringList(QStringLiteral("%1|5|1|7").arg(counter)));
}

// The store refusing one row leaves nothing of the command, in the store and in the lists.
TEST_F(ChannelFill, AFillThatFailsHalfWayLeavesNothing) {
    storedModule(6, 0, 1);
    testing::refuseRows(data.ADOConnection1, "refuse", "before insert on SpecDChannel",
                        "new.n_channel=2");
    EXPECT_THROW(fillModuleChannels(data, progress), StoreError);
    EXPECT_EQ(count("SpecAChannel") + count("SpecDChannel") + count("SpecDOChannel"), 0);
    EXPECT_EQ(data.tblSpecAChannel.recordCount(), 0);
    EXPECT_EQ(data.tblSpecDChannel.recordCount(), 0);
    EXPECT_EQ(data.tblSpecDChannel.state(), Dataset::State::Browse);
    EXPECT_EQ(data.tblSpecDevice.recordCount(), 1);
}

// Copies take the module's values with the next numbers on the interface; no channels.
TEST_F(ChannelFill, CopiesNumberOnAndCopyNoChannels) {
    storedModule(6, 1, 3);
    Dataset& modules = data.tblSpecDevice;
    modules.edit();
    modules.fieldByName(u"n_on_iface2").setAsInteger(9);
    modules.fieldByName(u"t_pool").setAsInteger(250);
    modules.post();
    fillModuleChannels(data, progress);
    const int channels = count("SpecAChannel");

    const QList<int> copies = copyModule(data, 5, progress);
    EXPECT_EQ(copies.size(), 5);
    EXPECT_EQ(copies.back(), modules.fieldByName(u"id_device").asInteger());
    EXPECT_EQ(
        rows("select n_on_iface, fullname, n_on_iface2, t_pool, col_achannel, "
             "case when id_iface is null then 1 else 0 end from SpecDevice order by id_device"),
        QStringList({"3|Смешанный, на COM2, №3|9|250|4|0", "4|Смешанный, на COM2, №3|9|250|4|1",
                     "5|Смешанный, на COM2, №3|9|250|4|1", "6|Смешанный, на COM2, №3|9|250|4|1",
                     "7|Смешанный, на COM2, №3|9|250|4|1", "8|Смешанный, на COM2, №3|9|250|4|1"}));
    EXPECT_EQ(count("SpecAChannel"), channels);
    EXPECT_EQ(modules.fieldByName(u"n_on_iface").asInteger(), 8);
    // The module lists followed the copies.
    EXPECT_EQ(data.DADevice.recordCount(), 6);
}

}  // namespace
}  // namespace orvet
