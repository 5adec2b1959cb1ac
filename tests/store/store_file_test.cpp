#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include "store/store_error.h"
#include "store/store_file.h"
#include "support/store_test_support.h"

namespace orvet {
namespace {

using testing::execSql;
using testing::queryValue;
using testing::readFile;
using testing::storeErrorOf;
using testing::writeFile;

TEST(StoreFile, CreatesAMissingStoreOnceWithReferenceRowsAndWal) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Config.db");
    {
        Connection connection("file", "QSQLITE");
        EXPECT_TRUE(openStoreFile(connection, path));
        EXPECT_EQ(queryValue(connection, "PRAGMA journal_mode").toString(), QLatin1String("wal"));
        EXPECT_EQ(queryValue(connection, "SELECT count(*) FROM Port").toInt(), 8);
        execSql(connection, "INSERT INTO USPD (uspd_name) VALUES ('A')");
    }
    // Nothing of the build is left beside the store.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Config.db"});

    Connection again("file", "QSQLITE");
    EXPECT_FALSE(openStoreFile(again, path));
    EXPECT_EQ(queryValue(again, "SELECT uspd_name FROM USPD").toString(), QLatin1String("A"));
}

TEST(StoreFile, AFailedCreationLeavesNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath("missing/Config.db");
    Connection connection("file", "QSQLITE");
    const QString message = storeErrorOf([&] { openStoreFile(connection, path); });
    EXPECT_TRUE(message.startsWith(QStringLiteral("Не удается создать базу конфигурации «%1»: ")
                                       .arg(QDir::toNativeSeparators(path))))
        << message.toStdString();
    EXPECT_FALSE(connection.isOpen());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

// An unusable file is reported in the program's words, stays byte for byte as it was, and
// leaves the connection closed.
TEST(StoreFile, RefusesUnusableFilesWithoutTouchingThem) {
    const auto storeWith = [](const QString& path, const QString& change) {
        Connection connection("build", "QSQLITE");
        openStoreFile(connection, path);
        execSql(connection, "INSERT INTO USPD (uspd_name) VALUES ('kept')");
        for (const QString& statement : change.split(u';'))
            execSql(connection, statement);
    };
    QByteArray noise(5000, '\0');
    for (char& byte : noise)
        byte = char(QRandomGenerator::global()->generate());
    noise.replace(0, 16, "not a database!!");

    const struct {
        const char* name;
        std::function<void(const QString&)> make;
        QString message;  // %1: the path
    } cases[] = {
        {"random bytes", [&](const QString& path) { writeFile(path, noise); },
         "Файл «%1» не является базой данных конфигурации"},
        {"empty file", [](const QString& path) { writeFile(path, {}); },
         "Файл «%1» не является базой конфигурации: в нем нет таблиц"},
        {"table missing", [&](const QString& path) { storeWith(path, "DROP TABLE SpecKBHA"); },
         "В базе конфигурации «%1» нет таблицы SpecKBHA"},
        {"field missing",
         [&](const QString& path) {
             storeWith(path, "ALTER TABLE SpecDevice DROP COLUMN num_mod");
         },
         "В таблице SpecDevice базы конфигурации «%1» нет поля num_mod"},
        // A copy of a table keeps its columns but not its key.
        {"key missing",
         [&](const QString& path) {
             storeWith(path,
                       "ALTER TABLE SpecKBHA RENAME TO Old;"
                       "CREATE TABLE SpecKBHA AS SELECT * FROM Old; DROP TABLE Old");
         },
         "В таблице SpecKBHA базы конфигурации «%1» поле id_kvna не является ключом"},
        {"text field of a number type",
         [&](const QString& path) {
             storeWith(path,
                       "ALTER TABLE SpecDChannel DROP COLUMN type_num;"
                       "ALTER TABLE SpecDChannel ADD COLUMN type_num INTEGER");
         },
         "В таблице SpecDChannel базы конфигурации «%1» поле type_num другого типа: INTEGER"},
        {"number field of a text type",
         [&](const QString& path) {
             storeWith(path,
                       "ALTER TABLE SpecDevice DROP COLUMN col_dchannel;"
                       "ALTER TABLE SpecDevice ADD COLUMN col_dchannel VARCHAR(5)");
         },
         "В таблице SpecDevice базы конфигурации «%1» поле col_dchannel другого типа: "
         "VARCHAR(5)"},
        {"folder", [](const QString& path) { QDir().mkdir(path); },
         "«%1» — папка, а не файл базы конфигурации"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("Config.db");
        c.make(path);
        const bool folder = QFileInfo(path).isDir();
        const QByteArray before = folder ? QByteArray() : readFile(path);

        Connection connection("file", "QSQLITE");
        EXPECT_EQ(storeErrorOf([&] { openStoreFile(connection, path); }),
                  c.message.arg(QDir::toNativeSeparators(path)));
        EXPECT_FALSE(connection.isOpen());
        if (!folder) {
            EXPECT_EQ(readFile(path), before);
        }
    }
}

// The store is refused at start rather than failing at every later edit. As root every file
// is writable, so the check then runs as an unprivileged user in a child process.
TEST(StoreFile, RefusesAReadOnlyFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Config.db");
    {
        Connection connection("build", "QSQLITE");
        openStoreFile(connection, path);
    }
    const QByteArray before = readFile(path);
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                          QFileDevice::ExeOther);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadOther);

    const auto attempt = [&] {
        Connection connection("file", "QSQLITE");
        try {
            openStoreFile(connection, path);
        } catch (const StoreError& error) {
            return error.message();
        }
        return QString();
    };
    QString message;
    if (geteuid() != 0) {
        message = attempt();
    } else {
        int channel[2];
        ASSERT_EQ(pipe(channel), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(channel[0]);
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(2);
            const QByteArray text = attempt().toUtf8();
            _exit(write(channel[1], text.constData(), size_t(text.size())) == text.size() ? 0 : 3);
        }
        close(channel[1]);
        QByteArray text;
        char buffer[512];
        for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;)
            text.append(buffer, n);
        close(channel[0]);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        message = QString::fromUtf8(text);
    }
    EXPECT_EQ(message, QStringLiteral("Файл базы конфигурации «%1» доступен только для чтения: "
                                      "изменения в нем сохранить нельзя")
                           .arg(QDir::toNativeSeparators(path)));
    EXPECT_EQ(readFile(path), before);
}

}  // namespace
}  // namespace orvet
