#include <gtest/gtest.h>

#include "editing/interface_operations.h"
#include "editing/module_operations.h"
#include "support/store_rig.h"
#include "support/store_test_support.h"

namespace orvet {
namespace {

using testing::execSql;
using testing::queryValue;

class EditorOperations : public ::testing::Test {
protected:
    EditorOperations() {
        uspd = rig.addUspd(QStringLiteral("Котельная"));
        data.openDatasets();
        data.refreshModuleLists();
    }

    // A stored interface on port code `port`; returns its id_iface_s.
    int storedInterface(int port) {
        Dataset& ifaces = data.tblSpecInterFace;
        addInterface(ifaces);
        ifaces.fieldByName(u"port").setAsInteger(port);
        ifaces.post();
        return ifaces.fieldByName(u"id_iface_s").asInteger();
    }
    // A new module of `type` on interface `iface` with number `number`, still pending.
    void newModule(int type, int iface, int number) {
        Dataset& modules = data.tblSpecDevice;
        addModule(modules);
        modules.fieldByName(u"t_device").setAsInteger(type);
        modules.fieldByName(u"id_iface_s").setAsInteger(iface);
        modules.fieldByName(u"n_on_iface").setAsInteger(number);
    }
    QString fullname() { return data.tblSpecDevice.fieldByName(u"fullname").asString(); }
    QVariant stored(const QString& sql) { return queryValue(data.ADOConnection1, sql); }
    // Compares the fields of the current USPD's only row of `table` (empty: no value).
    void expectStored(const QString& table,
                      std::initializer_list<std::pair<const char*, QVariant>> expected) {
        const QString row = QStringLiteral(" from %1 where id_uspd=%2").arg(table).arg(uspd);
        for (const auto& [field, value] : expected) {
            const QVariant actual = stored(QStringLiteral("select ") + field + row);
            EXPECT_EQ(actual.isNull(), value.isNull()) << field;
            if (!value.isNull()) {
                EXPECT_EQ(actual.toDouble(), value.toDouble()) << field;
            }
        }
    }

    testing::StoreRig rig;
    TDataModule1& data = *rig.data;
    int uspd = 0;
};

TEST_F(EditorOperations, NewInterfaceHasTheSettingsOfANewLineAndStaysPending) {
    Dataset& ifaces = data.tblSpecInterFace;
    addInterface(ifaces);
    EXPECT_EQ(ifaces.state(), Dataset::State::Insert);
    EXPECT_EQ(ifaces.recordCount(), 0);
    ifaces.post();
    expectStored("SpecInterFace", {{"t_iface", 0},
                                   {"port", 0},
                                   {"baud", 0},
                                   {"DTR_enable", 0},
                                   {"parity", 0},
                                   {"data", 8},
                                   {"stop", 1.0},
                                   {"initstring", {}},
                                   {"id_iface", {}},
                                   {"col_device", {}},
                                   {"state_iface", {}}});
}

TEST_F(EditorOperations, NewModuleHasTheSettingsOfANewModuleAndStaysPending) {
    Dataset& modules = data.tblSpecDevice;
    addModule(modules);
    EXPECT_EQ(modules.state(), Dataset::State::Insert);
    EXPECT_EQ(data.DADevice.recordCount(), 0);
    modules.post();
    expectStored("SpecDevice", {{"t_device", 0},
                                {"id_iface_s", 0},
                                {"n_on_iface", 0},
                                {"fl_retrans", 0},
                                {"id_iface_s2", 0},
                                {"n_on_iface2", 0},
                                {"t_pool", 1000},
                                {"to_answer", 1000},
                                {"to_byte_receive", 10},
                                {"t_start", 1000},
                                {"num_mod", 0},
                                {"fullname", {}},
                                {"password", {}},
                                {"col_achannel", {}},
                                {"col_nichannel", {}},
                                {"id_device_p", {}}});
}

TEST_F(EditorOperations, IdentityUpdateNamesCountsAndPostsTheModule) {
    const int com2 = storedInterface(2);
    newModule(6, com2, 3);
    updateModuleIdentity(data);

    Dataset& modules = data.tblSpecDevice;
    EXPECT_EQ(modules.state(), Dataset::State::Browse);
    EXPECT_EQ(fullname(), QStringLiteral("Смешанный, на COM2, №3"));
    const QString row = QStringLiteral(" from SpecDevice where id_device=%1")
                            .arg(modules.fieldByName(u"id_device").asInteger());
    EXPECT_EQ(stored("select fullname" + row).toString(), QStringLiteral("Смешанный, на COM2, №3"));
    const std::pair<const char*, int> counts[] = {
        {"col_achannel", 4},  {"col_dchannel", 4}, {"col_aochannel", 2},
        {"col_dochannel", 2}, {"col_kvna", 0},     {"col_nichannel", 0},
    };
    for (const auto& [field, count] : counts)
        EXPECT_EQ(stored(QStringLiteral("select ") + field + row).toInt(), count) << field;
    // The post refreshed the module lists: the type has analog inputs but no KBHA channels.
    EXPECT_EQ(data.DADevice.recordCount(), 1);
    EXPECT_EQ(data.DKBHADevice.recordCount(), 0);
}

TEST_F(EditorOperations, CountsFollowTheTypeAtEveryUpdateAndChannelsStay) {
    newModule(1, storedInterface(1), 1);
    updateModuleIdentity(data);
    Dataset& modules = data.tblSpecDevice;
    const int module = modules.fieldByName(u"id_device").asInteger();
    execSql(data.ADOConnection1,
            QStringLiteral("insert into SpecAChannel (id_uspd, id_device, t_device) values (%1, "
                           "%2, 1)")
                .arg(uspd)
                .arg(module));
    execSql(data.ADOConnection1, "update TypeDevice set col_achannel=12 where key=1");
    data.tblTypeDevice.close();
    data.tblTypeDevice.open();

    EXPECT_EQ(modules.fieldByName(u"col_achannel").asInteger(), 8);
    updateModuleIdentity(data);
    EXPECT_EQ(modules.fieldByName(u"col_achannel").asInteger(), 12);
    EXPECT_EQ(
        stored(QStringLiteral("select count(*) from SpecAChannel where id_device=%1").arg(module))
            .toInt(),
        1);
}

// What is not known is left out of the name, and nothing is taken from another row: each
// case starts from a module fully named on COM2.
TEST_F(EditorOperations, NameIsBuiltFromWhatIsKnown) {
    const int com2 = storedInterface(2);
    const int noPortName = storedInterface(0);
    const int deleted = storedInterface(5);
    data.tblSpecInterFace.last();
    data.tblSpecInterFace.remove();

    const struct {
        const char* what;
        int type;
        int iface;
        const char* name;
        int analogInputs;
    } cases[] = {
        {"known type and port", 1, com2, "Аналог-8, на COM2, №3", 8},
        {"no interface", 1, 0, "Аналог-8, №3", 8},
        {"deleted interface", 1, deleted, "Аналог-8, №3", 8},
        {"port the store does not name", 1, noPortName, "Аналог-8, №3", 8},
        {"type the store does not hold", 42, com2, "Тип 42, на COM2, №3", 0},
        {"neither", 42, deleted, "Тип 42, №3", 0},
    };
    Dataset& modules = data.tblSpecDevice;
    for (const auto& c : cases) {
        newModule(7, com2, 9);
        updateModuleIdentity(data);
        ASSERT_EQ(fullname(), QStringLiteral("КВНА-4, на COM2, №9"));
        ASSERT_EQ(modules.fieldByName(u"col_kvna").asInteger(), 4);

        modules.edit();
        modules.fieldByName(u"t_device").setAsInteger(c.type);
        modules.fieldByName(u"id_iface_s").setAsInteger(c.iface);
        modules.fieldByName(u"n_on_iface").setAsInteger(3);
        updateModuleIdentity(data);
        EXPECT_EQ(fullname(), QString::fromUtf8(c.name)) << c.what;
        EXPECT_EQ(modules.fieldByName(u"col_achannel").asInteger(), c.analogInputs) << c.what;
        EXPECT_EQ(modules.fieldByName(u"col_kvna").asInteger(), 0) << c.what;
        EXPECT_EQ(modules.state(), Dataset::State::Browse) << c.what;
    }
}

}  // namespace
}  // namespace orvet
