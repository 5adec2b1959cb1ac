// orvet-cli's arguments: a command runs only with usable ones; others are refused with one
// line in the program's words, then the command's usage line, and exit status 2. Files the
// tools are given are used only when they are what the tool takes them for.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QFile>
#include <QTemporaryDir>

#include "support/program_run.h"
#include "support/test_files.h"

namespace orvet {
namespace {

using testing::ProgramRun;

ProgramRun runCli(const QStringList& args) {
    return testing::runProgram(QStringLiteral(ORVET_CLI_PATH), args);
}

std::string shown(const QStringList& args) {
    return "orvet-cli " + args.join(' ').toStdString();
}

// Whether `path` is (still) a FIFO, not a file put in its place.
bool isFifo(const QString& path) {
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISFIFO(status.st_mode);
}

struct Refusal {
    QStringList args;
    const char* line;   // the reason, before the usage line
    const char* usage;  // the usage line's start
};

TEST(CliArguments, UnusableArgumentsAreRefused) {
    const Refusal cases[] = {
        {{"compile", "--verbose", "1"},
         "orvet-cli compile: неизвестный параметр --verbose",
         "usage: orvet-cli compile [--store STORE]"},
        {{"compile", "-v"},
         "orvet-cli compile: неизвестный параметр -v",
         "usage: orvet-cli compile "},
        {{"compile", "--store", "Config.db", "--uspd"},
         "orvet-cli compile: у параметра --uspd нет значения",
         "usage: orvet-cli compile "},
        {{"compile", "--uspd", "first"},
         "orvet-cli compile: 'first' не является номером УСПД (id_uspd)",
         "usage: orvet-cli compile "},
        {{"compile", "--uspd", " 7"},
         "orvet-cli compile: ' 7' не является номером УСПД (id_uspd)",
         "usage: orvet-cli compile "},
        {{"compile", "Config.db"},
         "orvet-cli compile: лишний аргумент Config.db",
         "usage: orvet-cli compile "},
        {{"fill-channels"},
         "orvet-cli fill-channels: укажите либо --module ID, либо --all",
         "usage: orvet-cli fill-channels "},
        {{"fill-channels", "--module", "2", "--all"},
         "orvet-cli fill-channels: укажите либо --module ID, либо --all",
         "usage: orvet-cli fill-channels "},
        {{"fill-channels", "--module", "x2"},
         "orvet-cli fill-channels: 'x2' не является числом (--module)",
         "usage: orvet-cli fill-channels "},
        {{"copy-module", "--count", "5"},
         "orvet-cli copy-module: укажите --module ID и --count N",
         "usage: orvet-cli copy-module "},
        {{"copy-module", "--module", "2", "--count", "3"},
         "orvet-cli copy-module: число копий 3 не предусмотрено: допустимы 1, 5, 10, 50 и 100",
         "usage: orvet-cli copy-module "},
        {{"upload", "--baud", "9600"},
         "orvet-cli upload: не указано устройство порта (--port PATH)",
         "usage: orvet-cli upload --port PATH"},
        {{"upload", "--port", "/dev/null", "--file"},
         "orvet-cli upload: у параметра --file нет значения",
         "usage: orvet-cli upload "},
        {{"upload", "--port", "/dev/null", "--baud", "96OO"},
         "orvet-cli upload: '96OO' не является числом (--baud)",
         "usage: orvet-cli upload "},
        {{"upload", "--port", "/dev/null", "--paklen", "64 "},
         "orvet-cli upload: '64 ' не является числом (--paklen)",
         "usage: orvet-cli upload "},
        {{"upload", "--port", "/dev/null", "--answer-timeout", "3000000000"},
         "orvet-cli upload: '3000000000' не является числом (--answer-timeout)",
         "usage: orvet-cli upload "},
        {{"upload", "--port", "/dev/null", "--max-repeats="},
         "orvet-cli upload: '' не является числом (--max-repeats)",
         "usage: orvet-cli upload "},
        {{"upload", "--port", "/dev/null", "--restart=yes"},
         "orvet-cli upload: параметр --restart указывается без значения",
         "usage: orvet-cli upload "},
        {{"upload", "--port", "/dev/null", "--unknown", "--port"},
         "orvet-cli upload: неизвестный параметр --unknown",
         "usage: orvet-cli upload "},
        {{"dump-image"},
         "orvet-cli dump-image: не указан аргумент FILE",
         "usage: orvet-cli dump-image FILE"},
        {{"dump-image", "a.dat", "b.dat"},
         "orvet-cli dump-image: лишний аргумент b.dat",
         "usage: orvet-cli dump-image FILE"},
        {{"dump-image", "--all", "a.dat"},
         "orvet-cli dump-image: неизвестный параметр --all",
         "usage: orvet-cli dump-image FILE"},
        {{"frobnicate", "--help"},
         "orvet-cli: unknown command 'frobnicate'",
         "usage: orvet-cli COMMAND [OPTIONS]"},
    };
    for (const Refusal& c : cases) {
        const ProgramRun run = runCli(c.args);
        EXPECT_EQ(run.exitCode, 2) << shown(c.args);
        EXPECT_EQ(run.out.toStdString(), "") << shown(c.args);
        const QStringList lines = run.errors.split(u'\n');
        EXPECT_EQ(lines.value(0).toStdString(), c.line) << shown(c.args);
        EXPECT_TRUE(lines.value(1).startsWith(QString::fromUtf8(c.usage)))
            << shown(c.args) << ": " << run.errors.toStdString();
    }
}

TEST(CliArguments, ToolItselfWantsACommandAndKnowsOnlyHelp) {
    const ProgramRun bare = runCli({});
    EXPECT_EQ(bare.exitCode, 2);
    EXPECT_TRUE(bare.errors.startsWith("usage: orvet-cli COMMAND [OPTIONS]\n"))
        << bare.errors.toStdString();

    const ProgramRun unknown = runCli({"--verbose", "compile"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.errors.startsWith("orvet-cli: ") && unknown.errors.contains("verbose") &&
                unknown.errors.contains("\nusage: orvet-cli COMMAND [OPTIONS]\n"))
        << unknown.errors.toStdString();

    const ProgramRun help = runCli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.errors.toStdString(), "");
    for (const char* line : {"\n  compile [--store STORE] [--uspd ID] [--output PATH]\n",
                             "\n  dump-image FILE\n", "\n  upload --port PATH "}) {
        EXPECT_TRUE(help.out.contains(QString::fromUtf8(line))) << line;
    }
}

struct Help {
    QStringList args;
    const char* usage;
    QStringList options;  // as the help lists them
};

TEST(CliArguments, HelpOfACommandListsItsOptions) {
    const Help cases[] = {
        {{"compile", "--help"},
         "usage: orvet-cli compile [--store STORE] [--uspd ID] [--output PATH]\n\nCompiles ",
         {"-h, --help", "--store <STORE>", "--uspd <ID>", "--output <PATH>"}},
        {{"dump-image", "-h"},
         "usage: orvet-cli dump-image FILE\n\nPrints ",
         {"-h, --help", "FILE"}},
        // Help goes before the check of the required --port, and before unusable values.
        {{"upload", "--baud", "fast", "--help"},
         "usage: orvet-cli upload --port PATH [--baud BPS]",
         {"--port <PATH>", "--baud <BPS>", "--device <N>", "--file <PATH>", "--paklen <N>",
          "--answer-timeout <MS>", "--restart", "--clear-archives", "--max-repeats <N>"}},
        // Help wins over whatever else is written: an unknown option, a switch with a
        // value, too many arguments, an option that would take "--help" for its value.
        {{"upload", "--help"}, "usage: orvet-cli upload --port PATH ", {"--port <PATH>"}},
        {{"upload", "--port", "--help"}, "usage: orvet-cli upload --port PATH ", {"--file <PATH>"}},
        {{"upload", "--bogus", "-h"}, "usage: orvet-cli upload --port PATH ", {"--restart"}},
        {{"upload", "--restart=1", "--help"}, "usage: orvet-cli upload ", {"--restart"}},
        {{"compile", "--verbose", "--help"}, "usage: orvet-cli compile ", {"--store <STORE>"}},
        {{"dump-image", "a.dat", "b.dat", "--help"}, "usage: orvet-cli dump-image FILE", {"FILE"}},
    };
    for (const Help& c : cases) {
        const ProgramRun run = runCli(c.args);
        EXPECT_EQ(run.exitCode, 0) << shown(c.args);
        EXPECT_EQ(run.errors.toStdString(), "") << shown(c.args);
        EXPECT_TRUE(run.out.startsWith(QString::fromUtf8(c.usage))) << shown(c.args) << ":\n"
                                                                    << run.out.toStdString();
        for (const QString& option : c.options) {
            EXPECT_TRUE(run.out.contains("\n  " + option + " "))
                << shown(c.args) << " lists no " << option.toStdString();
        }
    }
}

// The forms QCommandLineParser accepts besides "--option value" reach the command.
TEST(CliArguments, ValuesReachTheCommandInEveryForm) {
    const QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString absent = dir.filePath("absent.db");
    const struct {
        QStringList args;
        QString line;
    } cases[] = {
        {{"compile", "--store=" + absent},
         QStringLiteral("orvet-cli compile: файл базы конфигурации «%1» не найден").arg(absent)},
        {{"compile", "--store", "elsewhere.db", "--store", absent},
         QStringLiteral("orvet-cli compile: файл базы конфигурации «%1» не найден").arg(absent)},
        {{"dump-image", "--", "-image.dat"},
         "orvet-cli dump-image: Файл -image.dat не удается открыть: "},
        // After "--" a "-h" is a file.
        {{"dump-image", "--", "-h"}, "orvet-cli dump-image: Файл -h не удается открыть: "},
    };
    for (const auto& c : cases) {
        const ProgramRun run = runCli(c.args);
        EXPECT_EQ(run.exitCode, 1) << shown(c.args);
        EXPECT_TRUE(run.errors.startsWith(c.line))
            << shown(c.args) << ": " << run.errors.toStdString();
    }
}

// An image file is read or written only as a regular file (or through a link to one): a FIFO
// would keep the command waiting, and renaming over it would put a file in its place.
TEST(CliArguments, FifosAreNoImageFiles) {
    const QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fifo = dir.filePath("config.dat");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const struct {
        QStringList args;
        QString line;
    } cases[] = {
        {{"upload", "--port", dir.filePath("absent-port"), "--file", fifo},
         QStringLiteral("orvet-cli upload: Файл не удается открыть: «%1» не является обычным "
                        "файлом\n")
             .arg(fifo)},
        {{"dump-image", fifo},
         QStringLiteral("orvet-cli dump-image: Файл %1 не удается открыть: «%1» не является "
                        "обычным файлом\n")
             .arg(fifo)},
    };
    for (const auto& c : cases) {
        const ProgramRun run = runCli(c.args);
        EXPECT_EQ(run.exitCode, 1) << shown(c.args);
        EXPECT_EQ(run.errors, c.line) << shown(c.args);
    }
    EXPECT_TRUE(isFifo(fifo));
}

// The frame log of upload --trace is written over a regular file or nothing: never over the
// image it traces, nor into a FIFO or device; the upload does not start then.
TEST(CliArguments, TraceFileNeverTakesAnotherFilesPlace) {
    const QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString image = dir.filePath("config.dat");
    testing::writeFile(image, "image");
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const struct {
        QString trace;
        QString reason;
    } cases[] = {
        {image, QStringLiteral("это файл конфигурации, который передаётся")},
        {dir.filePath("./config.dat"), QStringLiteral("это файл конфигурации, который передаётся")},
        {fifo, QStringLiteral("«%1» не является обычным файлом").arg(fifo)},
        {dir.filePath("absent/trace.txt"), QStringLiteral("No such file or directory")},
    };
    for (const auto& c : cases) {
        const QStringList args{"upload",  "--port", dir.filePath("absent-port"), "--file", image,
                               "--trace", c.trace};
        const ProgramRun run = runCli(args);
        EXPECT_EQ(run.exitCode, 1) << shown(args);
        EXPECT_EQ(run.errors, QStringLiteral("orvet-cli upload: Файл журнала %1 не удается "
                                             "открыть: %2\n")
                                  .arg(c.trace, c.reason))
            << shown(args);
    }
    EXPECT_EQ(testing::readFile(image), "image");
    EXPECT_TRUE(isFifo(fifo));
}

// uspd-sim replaces --link PATH only when PATH is a link or nothing.
TEST(CliArguments, SimulatorLinksOnlyInPlaceOfALink) {
    const QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath("port");
    testing::writeFile(file, "kept");
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& path : {file, fifo, dir.path()}) {
        const ProgramRun run = testing::runProgram(QStringLiteral(USPD_SIM_PATH), {"--link", path});
        EXPECT_EQ(run.exitCode, 2) << path.toStdString();
        EXPECT_EQ(run.errors, QStringLiteral("uspd-sim: %1 exists and is not a symbolic link; it "
                                             "is left as it is\n")
                                  .arg(path));
    }
    EXPECT_EQ(testing::readFile(file), "kept");
    EXPECT_TRUE(isFifo(fifo));
}

}  // namespace
}  // namespace orvet
