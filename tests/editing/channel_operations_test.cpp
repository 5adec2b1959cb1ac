#include <gtest/gtest.h>

#include <QStringList>

#include "editing/channel_operations.h"
#include "editing/module_operations.h"
#include "store/channel_kinds.h"
#include "store/store_error.h"
#include "support/store_rig.h"
#include "support/store_test_support.h"

namespace orvet {
namespace {

using testing::execSql;
using testing::queryValue;

// The channel operations on a store with two USPDs; the first is current.
class ChannelOperations : public ::testing::Test {
protected:
    ChannelOperations() {
        other = rig.addUspd(QStringLiteral("Насосная"));
        uspd = rig.addUspd(QStringLiteral("Котельная"));
        data.openDatasets();
        data.refreshModuleLists();
    }

    Dataset& channels(const ChannelKind& kind) { return data.*kind.dataset; }
    // Adds `count` channels of `kind` and stores them.
    void addStored(const ChannelKind& kind, int count) {
        for (int i = 0; i < count; ++i)
            addChannel(data, kind);
        channels(kind).post();
    }
    // A row of `sql` as texts.
    QStringList storedRows(const QString& sql) {
        return testing::queryRows(data.ADOConnection1, sql, u' ');
    }
    QStringList numbers(const ChannelKind& kind, int owner) {
        return storedRows(QStringLiteral("select type_num, %1 from %2 where id_uspd=%3 order by %4")
                              .arg(QLatin1String(kind.position), QLatin1String(kind.table))
                              .arg(owner)
                              .arg(QLatin1String(kind.key)));
    }
    // The stored rows of every channel table but that of `except`, each in key order.
    QStringList otherKindsRows(const ChannelKind& except) {
        QStringList rows;
        for (const ChannelKind* kind : kChannelKinds) {
            if (kind != &except) {
                rows << storedRows(QStringLiteral("select '%1', * from %1 order by %2")
                                       .arg(QLatin1String(kind->table), QLatin1String(kind->key)));
            }
        }
        return rows;
    }
    void makeCurrent(int id) {
        ASSERT_TRUE(data.tblUSPD.locate(u"id_uspd", id));
        ASSERT_EQ(data.currentUspd(), id);
    }
    // A stored module of `type` on a new interface, numbered `number`; returns its id_device.
    int storedModule(int type, int number, int interfacePosition) {
        Dataset& ifaces = data.tblSpecInterFace;
        ifaces.append();
        ifaces.fieldByName(u"port").setAsInteger(number);
        ifaces.post();
        Dataset& modules = data.tblSpecDevice;
        addModule(modules);
        modules.fieldByName(u"t_device").setAsInteger(type);
        modules.fieldByName(u"id_iface_s").setValue(ifaces.fieldByName(u"id_iface_s").value());
        modules.fieldByName(u"n_on_iface").setAsInteger(number);
        modules.fieldByName(u"id_iface").setAsInteger(interfacePosition);
        updateModuleIdentity(data);
        return modules.fieldByName(u"id_device").asInteger();
    }

    testing::StoreRig rig;
    TDataModule1& data = *rig.data;
    int other = 0;
    int uspd = 0;
};

// The first channel of each kind is number 1 at position 0; the fifth, with four stored
// before it, number 5 at position 4.
TEST_F(ChannelOperations, NumbersCountTheStoredChannelsOfTheKind) {
    for (const ChannelKind* kind : kChannelKinds) {
        Dataset& list = channels(*kind);
        addChannel(data, *kind);
        EXPECT_EQ(list.state(), Dataset::State::Insert) << kind->table;
        EXPECT_EQ(list.fieldByName(u"type_num").asString(), channelNumber(*kind, 0));
        EXPECT_EQ(list.fieldByName(QString::fromLatin1(kind->position)).asInteger(), 0);
        // The pending one is posted by the next add; the new one is not counted.
        for (int i = 1; i < 5; ++i)
            addChannel(data, *kind);
        EXPECT_EQ(list.fieldByName(u"type_num").asString(),
                  QLatin1String(kind->letter) + QStringLiteral("5"));
        EXPECT_EQ(list.fieldByName(QString::fromLatin1(kind->position)).asInteger(), 4);
        EXPECT_EQ(list.recordCount(), 4) << kind->table;
        list.cancel();
    }
}

// Each kind's new channel, as stored.
TEST_F(ChannelOperations, NewChannelsHaveTheirKindsValues) {
    const struct {
        const ChannelKind* kind;
        const char* columns;
        const char* values;
    } cases[] = {
        {&kAnalogInputs,
         "name, archive, emerg_val, id_device, t_device, t_transf, u_measure, n_channel, "
         "min_value, max_value, min_code, max_code, st_filter, coef_corr, act_corr, callback, W, "
         "hi_lim, lo_lim, case when n_u_measure is null then 1 else 0 end",
         "Аналоговый вход УСО 0 -1 0 0 0 0 0 0 0 4 20 0 0 0 0 90 0 0 1"},
        {&kDiscreteInputs,
         "name, archive, id_device, t_device, n_channel, invers, callback, cbevent",
         "Дискретный вход УСО 0 0 0 0 0 0 3"},
        {&kDiscreteOutputs, "name, archive, id_device, t_device, n_channel",
         "Дискретный выход УСО 0 0 0 0"},
        {&kOnboardInputs,
         "name, archive, id_device, t_device, n_channel, invers, num_iface, numdevice, callback, "
         "cbevent, jingle_time",
         "Дискретный вход 0 0 15 0 0 -1 -1 0 3 100"},
        {&kOnboardOutputs, "name, archive, id_device, t_device, n_channel, num_iface, numdevice",
         "Дискретный выход 0 0 15 0 -1 -1"},
        {&kCountingInputs, "name, id_device, t_device, u_measure, n_channel, coef_corr, act_corr",
         "Счетный вход УСО 0 0 0 0 0 0"},
        {&kKbhaChannels, "name, id_device, t_device, u_measure, n_channel", "КВНА 0 0 0 0"},
    };
    for (const auto& c : cases) {
        addStored(*c.kind, 1);
        EXPECT_EQ(storedRows(QStringLiteral("select %1 from %2 where id_uspd=%3")
                                 .arg(QLatin1String(c.columns), QLatin1String(c.kind->table))
                                 .arg(uspd)),
                  QStringList(QString::fromUtf8(c.values)))
            << c.kind->table;
    }
}

// Deleting leaves a gap that the next add fills with a repeated number; Compress numbers the
// kind densely again in ascending key, and touches nothing else.
TEST_F(ChannelOperations, CompressNumbersDenselyInOrderOfCreationAndTouchesNothingElse) {
    addStored(kAnalogInputs, 3);
    addStored(kDiscreteOutputs, 2);
    Dataset& analog = channels(kAnalogInputs);
    analog.locate(u"type_num", QStringLiteral("G2"));
    analog.remove();
    addStored(kAnalogInputs, 1);
    EXPECT_EQ(numbers(kAnalogInputs, uspd), QStringList({"G1 0", "G3 2", "G3 2"}));

    // Another USPD's channels, and the outputs' numbers spoilt by hand.
    execSql(data.ADOConnection1,
            QStringLiteral("insert into SpecAChannel (id_uspd, type_num, id_achannel_p) values "
                           "(%1, 'G7', 6)")
                .arg(other));
    execSql(data.ADOConnection1, "update SpecDOChannel set type_num='L9', id_dochannel_p=8");
    const QStringList outputs = numbers(kDiscreteOutputs, uspd);
    // A channel added and not yet stored is not part of the group.
    addChannel(data, kAnalogInputs);

    compressChannels(data, kAnalogInputs);
    EXPECT_EQ(numbers(kAnalogInputs, uspd), QStringList({"G1 0", "G2 1", "G3 2"}));
    EXPECT_EQ(numbers(kAnalogInputs, other), QStringList({"G7 6"}));
    EXPECT_EQ(numbers(kDiscreteOutputs, uspd), outputs);
    EXPECT_EQ(analog.state(), Dataset::State::Browse);
    EXPECT_EQ(analog.recordCount(), 3);
    EXPECT_EQ(analog.recordNumber(), 1);
}

// A store that refuses a renumbered row leaves every number as it was.
TEST_F(ChannelOperations, CompressIsAllOrNothing) {
    addStored(kKbhaChannels, 3);
    execSql(data.ADOConnection1, "update SpecKBHA set type_num='B' || (id_kvna + 10)");
    const QStringList before = numbers(kKbhaChannels, uspd);
    testing::refuseRows(data.ADOConnection1, "refuse_third",
                        "before update of type_num on SpecKBHA", "new.type_num = 'B3'");
    EXPECT_THROW(compressChannels(data, kKbhaChannels), StoreError);
    EXPECT_EQ(numbers(kKbhaChannels, uspd), before);
    Dataset& list = channels(kKbhaChannels);
    EXPECT_TRUE(list.isOpen());
    EXPECT_EQ(list.fieldByName(u"type_num").asString(), before.front().section(u' ', 0, 0));
}

// The chosen module's type, interface position and number go into the channel; a module
// the list does not hold gives zeros.
TEST_F(ChannelOperations, ModuleChoiceCopiesTheModulesIdentity) {
    storedModule(1, 1, 0);
    const int mixed = storedModule(6, 4, 1);
    const int counter = storedModule(5, 2, 2);
    ASSERT_EQ(data.DADevice.recordCount(), 2);

    Dataset& analog = channels(kAnalogInputs);
    addChannel(data, kAnalogInputs);
    analog.fieldByName(u"id_device").setAsInteger(mixed);
    chooseModule(analog, data.DADevice);
    EXPECT_EQ(analog.state(), Dataset::State::Browse);
    EXPECT_EQ(storedRows("select t_device, num_iface, numdevice from SpecAChannel"),
              QStringList({"6 1 4"}));

    // The counter has no analog inputs: it is not in the analog inputs' module list.
    analog.edit();
    analog.fieldByName(u"id_device").setAsInteger(counter);
    chooseModule(analog, data.DADevice);
    EXPECT_EQ(storedRows("select t_device, num_iface, numdevice from SpecAChannel"),
              QStringList({"0 0 0"}));

    Dataset& counting = channels(kCountingInputs);
    addChannel(data, kCountingInputs);
    counting.fieldByName(u"id_device").setAsInteger(counter);
    chooseModule(counting, data.DNIDevice);
    EXPECT_EQ(storedRows("select t_device, num_iface, numdevice from SpecNIChannel"),
              QStringList({"5 2 2"}));
}

// A unit's short name is copied when a unit is set; with none the name stays.
TEST_F(ChannelOperations, UnitChoiceCopiesTheShortName) {
    for (const ChannelKind* kind : {&kAnalogInputs, &kKbhaChannels, &kCountingInputs}) {
        Dataset& list = channels(*kind);
        addChannel(data, *kind);
        list.fieldByName(u"n_u_measure").setAsString(QStringLiteral("typed"));
        chooseUnit(list, data.tblUnitMeasure);
        EXPECT_EQ(list.state(), Dataset::State::Insert) << kind->table;  // nothing done
        EXPECT_EQ(list.fieldByName(u"n_u_measure").asString(), QStringLiteral("typed"));

        list.fieldByName(u"u_measure").setAsInteger(4);
        chooseUnit(list, data.tblUnitMeasure);
        EXPECT_EQ(list.state(), Dataset::State::Browse) << kind->table;
        EXPECT_EQ(
            queryValue(data.ADOConnection1,
                       QStringLiteral("select n_u_measure from %1").arg(QLatin1String(kind->table)))
                .toString(),
            QStringLiteral("мА"));
    }
}

// "Разделить" makes the divisor 1 whatever was typed; the other actions keep it. A divisor
// of 0 is refused once, the action going back to none and the divisor staying 0.
TEST_F(ChannelOperations, CorrectionAndDivisionCheck) {
    for (const ChannelKind* kind : {&kAnalogInputs, &kCountingInputs}) {
        Dataset& list = channels(*kind);
        addChannel(data, *kind);
        list.fieldByName(u"coef_corr").setAsFloat(7.5);
        chooseCorrection(list, 1);
        EXPECT_EQ(list.fieldByName(u"coef_corr").asFloat(), 7.5);
        chooseCorrection(list, kDivide);
        EXPECT_EQ(list.fieldByName(u"coef_corr").asFloat(), 1.0);
        chooseCorrection(list, 3);
        EXPECT_EQ(list.state(), Dataset::State::Browse);
        EXPECT_EQ(list.fieldByName(u"act_corr").asInteger(), 3);
        EXPECT_EQ(list.fieldByName(u"coef_corr").asFloat(), 1.0);

        chooseCorrection(list, kDivide);
        list.edit();
        list.fieldByName(u"coef_corr").setAsFloat(0.25);
        EXPECT_TRUE(checkDivision(list, rig.test.messages));
        EXPECT_TRUE(rig.test.messages.shown().empty());

        list.fieldByName(u"coef_corr").setAsFloat(0);
        rig.test.messages.expectNotice(kDivisionByZero);
        EXPECT_FALSE(checkDivision(list, rig.test.messages));
        ASSERT_EQ(rig.test.messages.shown().size(), size_t(1));
        EXPECT_EQ(rig.test.messages.shown()[0].caption, QStringLiteral("Ошибка"));
        EXPECT_EQ(rig.test.messages.shown()[0].kind, ScriptedMessageBoxes::Kind::Error);
        EXPECT_EQ(storedRows(QStringLiteral("select act_corr, coef_corr from %1")
                                 .arg(QLatin1String(kind->table))),
                  QStringList({"0 0"}));
        EXPECT_TRUE(checkDivision(list, rig.test.messages));  // nothing more to refuse
        rig.test.messages.clear();
    }
}

// Each kind counts only the current USPD's stored channels: another USPD's channels do not
// shift the numbers, the numbers stored are those given on add, and after a deletion the
// next channel repeats the last number.
TEST_F(ChannelOperations, NumbersAreStoredPerUspdAndRepeatAfterADeletion) {
    makeCurrent(other);
    for (const ChannelKind* kind : kChannelKinds)
        addStored(*kind, 4);
    makeCurrent(uspd);
    for (const ChannelKind* kind : kChannelKinds) {
        const QString x = QLatin1String(kind->letter);
        Dataset& list = channels(*kind);
        addStored(*kind, 3);
        EXPECT_EQ(numbers(*kind, uspd), QStringList({x + "1 0", x + "2 1", x + "3 2"}));

        ASSERT_TRUE(list.locate(u"type_num", QString(x + "2")));
        list.remove();
        addChannel(data, *kind);
        EXPECT_EQ(list.fieldByName(u"type_num").asString(), x + "3");
        list.post();
        EXPECT_EQ(numbers(*kind, uspd), QStringList({x + "1 0", x + "3 2", x + "3 2"}));
        EXPECT_EQ(numbers(*kind, other), QStringList({x + "1 0", x + "2 1", x + "3 2", x + "4 3"}));
    }
}

// Compress of every kind: the current USPD's stored channels get their numbers from their
// keys, not from the numbers they held; the rows keep everything else, and no other table
// and no other USPD's row changes.
TEST_F(ChannelOperations, CompressOfEachKindFollowsTheKeysAndChangesNothingElse) {
    makeCurrent(other);
    for (const ChannelKind* kind : kChannelKinds)
        addStored(*kind, 2);
    makeCurrent(uspd);
    for (const ChannelKind* kind : kChannelKinds)
        addStored(*kind, 4);

    for (const ChannelKind* kind : kChannelKinds) {
        const QString x = QLatin1String(kind->letter);
        const QString table = QLatin1String(kind->table);
        const QString key = QLatin1String(kind->key);
        Dataset& list = channels(*kind);
        // Numbers in the reverse of the keys' order, names telling the rows apart.
        execSql(data.ADOConnection1,
                QStringLiteral("update %1 set %2=100-%3, type_num='%4'||(100-%3), name='n'||%3 "
                               "where id_uspd=%5")
                    .arg(table, QLatin1String(kind->position), key, x)
                    .arg(uspd));
        list.close();
        list.open();
        list.next();
        list.remove();
        addChannel(data, *kind);

        const QString others = QStringLiteral("select * from %1 where id_uspd<>%2 order by %3")
                                   .arg(table)
                                   .arg(uspd)
                                   .arg(key);
        const QString kept = QStringLiteral(
                                 "select %1, name, id_device, t_device, n_channel from %2 where "
                                 "id_uspd=%3 order by %1")
                                 .arg(key, table)
                                 .arg(uspd);
        const QStringList before = otherKindsRows(*kind);
        const QStringList othersBefore = storedRows(others);
        const QStringList keptBefore = storedRows(kept);

        compressChannels(data, *kind);
        EXPECT_EQ(numbers(*kind, uspd), QStringList({x + "1 0", x + "2 1", x + "3 2"}));
        EXPECT_EQ(otherKindsRows(*kind), before) << kind->table;
        EXPECT_EQ(storedRows(others), othersBefore) << kind->table;
        EXPECT_EQ(storedRows(kept), keptBefore) << kind->table;
        EXPECT_EQ(list.recordCount(), 3) << kind->table;
        EXPECT_EQ(list.recordNumber(), 1) << kind->table;
    }
}

// The division check over the action and the stored divisor: only "Разделить" by 0 (an
// empty divisor reads 0) is refused, with one box, and then the action is none.
TEST_F(ChannelOperations, DivisionCheckRefusesOnlyADivisionByZero) {
    const struct {
        int action;
        QVariant divisor;
        bool refused;
        const char* stored;  // act_corr and coef_corr afterwards
    } cases[] = {
        {kDivide, 0.25, false, "4 0.25"}, {kDivide, 0.001, false, "4 0.001"},
        {kDivide, 0.0, true, "0 0"},      {kDivide, QVariant(), true, "0 "},
        {3, 0.0, false, "3 0"},           {0, 0.0, false, "0 0"},
    };
    for (const ChannelKind* kind : {&kAnalogInputs, &kCountingInputs}) {
        Dataset& list = channels(*kind);
        addChannel(data, *kind);
        list.post();
        for (const auto& c : cases) {
            const QString label = QStringLiteral("%1 %2/%3")
                                      .arg(QLatin1String(kind->table))
                                      .arg(c.action)
                                      .arg(c.divisor.toString());
            list.edit();
            list.fieldByName(u"act_corr").setAsInteger(c.action);
            list.fieldByName(u"coef_corr").setValue(c.divisor);
            list.post();
            if (c.refused)
                rig.test.messages.expectNotice(kDivisionByZero);
            EXPECT_EQ(checkDivision(list, rig.test.messages), !c.refused) << label.toStdString();
            EXPECT_EQ(rig.test.messages.shown().size(), size_t(c.refused ? 1 : 0))
                << label.toStdString();
            EXPECT_EQ(list.state(), Dataset::State::Browse) << label.toStdString();
            EXPECT_EQ(storedRows(QStringLiteral("select act_corr, coef_corr from %1")
                                     .arg(QLatin1String(kind->table))),
                      QStringList(QString::fromLatin1(c.stored)))
                << label.toStdString();
            rig.test.messages.clear();
        }
    }
}

}  // namespace
}  // namespace orvet
