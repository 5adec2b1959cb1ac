// orvet-cli fill-channels and copy-module on a store file: what they create, what they print,
// and a store left as it was when one fails.
#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>

#include "support/program_run.h"
#include "support/store_test_support.h"

namespace orvet {
namespace {

using testing::execSql;
using testing::ProgramRun;
using testing::queryValue;

class BulkCommands : public ::testing::Test {
protected:
    // A USPD with a mixed module (4 analog inputs, 4 discrete inputs, 2 outputs) numbered 3
    // on its interface, and a module of type 0.
    BulkCommands() {
        execSql(*store.connection, "insert into USPD (id_uspd, uspd_name) values (1, 'Котельная')");
        execSql(*store.connection,
                "insert into SpecDevice (id_device, id_uspd, t_device, n_on_iface, id_iface, "
                "fullname, col_achannel, col_dchannel, col_dochannel, col_kvna, col_nichannel, "
                "n_on_iface2, t_pool) values (5, 1, 6, 3, 0, 'Смешанный, №3', 4, 4, 2, 0, 0, 7, "
                "250), (6, 1, 0, 1, 0, 'Не выбран, №1', 0, 0, 0, 0, 0, 0, 1000)");
    }
    ProgramRun run(QStringList args) {
        args << "--store" << store.path();
        return testing::runProgram(QStringLiteral(ORVET_CLI_PATH), args);
    }
    int count(const QString& sql) { return queryValue(*store.connection, sql).toInt(); }

    testing::TempStore store;
};

TEST_F(BulkCommands, FillCreatesTheModulesChannelsAndSaysWhich) {
    const ProgramRun fill = run({"fill-channels", "--module", "5"});
    ASSERT_EQ(fill.exitCode, 0) << fill.errors.toStdString();
    EXPECT_EQ(fill.out.toStdString(),
              "created 10 channels: G1 G2 G3 G4 E1 E2 E3 E4 L1 L2\n"
              "Добавлены все каналы для Смешанный\n");
    EXPECT_EQ(count("select count(*) from SpecAChannel where id_device=5 and numdevice=3"), 4);

    // --all skips the module of type 0 and adds a second set to the mixed one.
    const ProgramRun all = run({"fill-channels", "--all"});
    ASSERT_EQ(all.exitCode, 0) << all.errors.toStdString();
    EXPECT_TRUE(all.out.startsWith("created 10 channels: G5 "));
    EXPECT_TRUE(all.out.endsWith("Добавлены все каналы всех модулей\n"));
    EXPECT_EQ(count("select count(*) from SpecDChannel where id_device=6"), 0);
}

TEST_F(BulkCommands, CopyNumbersOnAlongTheInterface) {
    const ProgramRun copy = run({"copy-module", "--module", "5", "--count", "5"});
    ASSERT_EQ(copy.exitCode, 0) << copy.errors.toStdString();
    const QStringList lines = copy.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_TRUE(lines.front().endsWith(": Смешанный, №3, n_on_iface 4"))
        << lines.front().toStdString();
    EXPECT_TRUE(lines.back().endsWith(": Смешанный, №3, n_on_iface 8"))
        << lines.back().toStdString();
    EXPECT_EQ(count("select count(*) from SpecDevice where t_device=6 and n_on_iface2=7 and "
                    "t_pool=250 and fullname='Смешанный, №3'"),
              6);
    EXPECT_EQ(count("select count(*) from SpecAChannel"), 0);
}

// The store refusing a row ends the command with its message; nothing of it stays.
TEST_F(BulkCommands, AFailureLeavesTheStoreAsItWas) {
    testing::refuseRows(*store.connection, "refuse", "before insert on SpecDOChannel",
                        "new.n_channel=1", "запись отклонена");
    const ProgramRun fill = run({"fill-channels", "--module", "5"});
    EXPECT_EQ(fill.exitCode, 1);
    EXPECT_TRUE(fill.errors.startsWith("orvet-cli fill-channels: ")) << fill.errors.toStdString();
    EXPECT_TRUE(fill.errors.contains("запись отклонена")) << fill.errors.toStdString();
    EXPECT_EQ(count("select count(*) from SpecAChannel") +
                  count("select count(*) from SpecDChannel") +
                  count("select count(*) from SpecDOChannel"),
              0);

    const ProgramRun missing = run({"copy-module", "--module", "9", "--count", "1"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.errors.toStdString(),
              "orvet-cli copy-module: у УСПД нет модуля с id_device 9\n");
}

// clone-uspd prints the copy; a copy the store refuses part-way leaves nothing behind.
TEST_F(BulkCommands, CloneCopiesTheUspdOrNothing) {
    execSql(*store.connection, "insert into SpecInterFace (id_uspd, port) values (1, 1)");
    const ProgramRun clone = run({"clone-uspd", "--uspd", "1"});
    ASSERT_EQ(clone.exitCode, 0) << clone.errors.toStdString();
    EXPECT_EQ(clone.out.toStdString(), "USPD 2: Котельная (копия)\n");
    EXPECT_EQ(count("select count(*) from SpecDevice where id_uspd=2"), 2);

    testing::refuseRows(*store.connection, "refuse_module", "before insert on SpecDevice",
                        "new.t_device=0", "запись отклонена");
    const ProgramRun refused = run({"clone-uspd", "--uspd", "1", "--name", "Третий"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.errors.contains("запись отклонена")) << refused.errors.toStdString();
    EXPECT_EQ(count("select count(*) from USPD"), 2);
    EXPECT_EQ(count("select count(*) from SpecInterFace"), 2);
    EXPECT_EQ(run({"clone-uspd"}).exitCode, 2);
}

// channels export writes the kind's CSV file and channels import takes it back; a file the
// store cannot take is refused with its line and column, exit status 1.
TEST_F(BulkCommands, ChannelsGoToAndFromCsv) {
    ASSERT_EQ(run({"fill-channels", "--module", "5"}).exitCode, 0);
    const QString file = store.dir.filePath("g.csv");
    const ProgramRun exported = run({"channels", "export", "--kind", "G", file});
    ASSERT_EQ(exported.exitCode, 0) << exported.errors.toStdString();
    const ProgramRun imported = run({"channels", "import", "--kind", "G", file});
    ASSERT_EQ(imported.exitCode, 0) << imported.errors.toStdString();
    EXPECT_EQ(imported.out.toStdString(), "imported 4 channels\n");
    EXPECT_EQ(count("select count(*) from SpecAChannel where id_uspd=1"), 8);

    QFile bad(file);
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("name;n_channel\nА;много\n");
    bad.close();
    const ProgramRun refused = run({"channels", "import", "--kind", "G", "--replace", file});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.errors.contains("Строка 2, столбец «n_channel»"))
        << refused.errors.toStdString();
    EXPECT_EQ(count("select count(*) from SpecAChannel where id_uspd=1"), 8);
    EXPECT_EQ(run({"channels", "export", "--kind", "Q", file}).exitCode, 2);
}

}  // namespace
}  // namespace orvet
