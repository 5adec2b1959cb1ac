// orvet-cli check on a store file: one finding a line and an exit status that tells whether
// the USPD may go to the device.
#include <gtest/gtest.h>

#include <QStringList>

#include "support/program_run.h"
#include "support/store_test_support.h"

namespace orvet {
namespace {

using testing::execSql;
using testing::ProgramRun;

class CheckCommand : public ::testing::Test {
protected:
    CheckCommand() {
        execSql(*store.connection, "insert into USPD (id_uspd, uspd_name) values (1, 'Котельная')");
    }
    ProgramRun run(QStringList args) {
        args.prepend(QStringLiteral("check"));
        args << "--store" << store.path() << "--paklen"
             << "255";
        return testing::runProgram(QStringLiteral(ORVET_CLI_PATH), args);
    }

    testing::TempStore store;
};

TEST_F(CheckCommand, ExitStatusTellsErrorsFromWarnings) {
    const ProgramRun clean = run({});
    EXPECT_EQ(clean.exitCode, 0) << clean.errors.toStdString();
    EXPECT_EQ(clean.out, QString());

    // An on-board input numbered K5 in first place: a warning only.
    execSql(*store.connection,
            "insert into SpecEmDChannel (id_dchannel, id_dchannel_p, type_num, id_device, name, "
            "n_channel, t_device, id_uspd) values (40, 0, 'K5', 0, 'Дверь', 0, 15, 1)");
    const ProgramRun warned = run({});
    EXPECT_EQ(warned.exitCode, 0) << warned.errors.toStdString();
    EXPECT_TRUE(
        warned.out.startsWith("предупреждение: канал K5 «Дверь»: нумерация каналов не "
                              "сплошная"))
        << warned.out.toStdString();
    EXPECT_EQ(warned.out.count('\n'), 1);

    execSql(*store.connection,
            "insert into SpecDevice (id_device, id_uspd, t_device, n_on_iface, fullname) values "
            "(5, 1, 0, 1, 'Не выбран, №1')");
    const ProgramRun failed = run({});
    EXPECT_EQ(failed.exitCode, 1) << failed.errors.toStdString();
    const QStringList lines = failed.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << failed.out.toStdString();
    EXPECT_EQ(lines[0],
              "ошибка: модуль Не выбран, №1: интерфейс не выбран; выберите интерфейс, на котором "
              "стоит модуль");
    EXPECT_TRUE(lines[1].startsWith("предупреждение: канал K5"));
}

TEST_F(CheckCommand, ACheckThatCannotRunExitsWithTwo) {
    const ProgramRun noUspd = run({"--uspd", "7"});
    EXPECT_EQ(noUspd.exitCode, 2);
    EXPECT_EQ(noUspd.out, QString());
    EXPECT_FALSE(noUspd.errors.isEmpty());

    const ProgramRun noStore =
        testing::runProgram(QStringLiteral(ORVET_CLI_PATH),
                            {"check", "--store", store.dir.filePath(QStringLiteral("missing.db"))});
    EXPECT_EQ(noStore.exitCode, 2);
    EXPECT_FALSE(noStore.errors.isEmpty());

    const ProgramRun badLength = testing::runProgram(
        QStringLiteral(ORVET_CLI_PATH), {"check", "--store", store.path(), "--paklen", "0"});
    EXPECT_EQ(badLength.exitCode, 2);
    EXPECT_FALSE(badLength.errors.isEmpty());
}

}  // namespace
}  // namespace orvet
