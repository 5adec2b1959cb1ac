#include <gtest/gtest.h>

#include <QStringList>

#include "editing/channel_csv.h"
#include "store/channel_kinds.h"
#include "store/store_error.h"
#include "support/store_test_support.h"

namespace orvet {
namespace {

using testing::execSql;
using testing::queryRows;

// A store with two USPDs, each with a module; USPD 1 holds channels of every kind, with
// texts that need quoting, Cyrillic, floats that need every digit and empty values.
class ChannelCsv : public ::testing::Test {
protected:
    ChannelCsv() {
        for (
            const char* sql :
            {"insert into USPD (id_uspd, uspd_name) values (1, 'Котельная'), (2, 'Склад')",
             "insert into SpecDevice (id_device, id_uspd, t_device) values (5, 1, 6), (6, 2, 6)",
             "insert into SpecAChannel (id_uspd, id_device, name, n_channel, min_code, max_code, "
             "min_value, max_value, emerg_val, coef_corr, act_corr, n_u_measure, type_num) "
             "values (1, 5, 'Давл; \"П1\"', 0, 0.1, 4095, -0.25, 1e6, -1, 1.0000001, 3, 'кгс/см²', "
             "'G1'), (1, 5, 'две\nстроки', 1, 3.5, 20, 0, 100, 0, 1, 0, '', 'G2')",
             "insert into SpecNIChannel (id_uspd, id_device, name, n_channel, coef_corr, act_corr) "
             "values (1, 5, 'Счётчик', 2, 0.001, 4)",
             "insert into SpecDChannel (id_uspd, id_device, name, n_channel, invers, cbevent) "
             "values (1, 5, 'Дверь', 3, 1, 2)",
             "insert into SpecDOChannel (id_uspd, id_device, name, n_channel) values (1, 5, "
             "'Насос', 4)",
             "insert into SpecKBHA (id_uspd, id_device, name, n_channel, n_u_measure) values "
             "(1, 5, 'КВНА', 5, 'м³')",
             "insert into SpecEmDChannel (id_uspd, id_device, t_device, name, n_channel, "
             "jingle_time) values (1, 0, 15, 'Вход платы', 1, 10000)",
             "insert into SpecEmDOChannel (id_uspd, id_device, t_device, name, n_channel) values "
             "(1, 0, 15, 'Выход платы', 2)"}) {
            execSql(*store.connection, QString::fromUtf8(sql));
        }
    }
    // Every column of the kind's rows of `uspd` but the key, in key order.
    QStringList rows(const ChannelKind& kind, int uspd = 1) {
        QStringList result =
            queryRows(*store.connection,
                      QStringLiteral("select * from %1 where id_uspd=%2 order by %3")
                          .arg(QLatin1String(kind.table))
                          .arg(uspd)
                          .arg(QLatin1String(kind.key)),
                      u'|');
        // Without the key, which comes first.
        for (QString& row : result)
            row = row.section(u'|', 1);
        return result;
    }
    QString importRefusal(const QByteArray& csv, bool replace = false) {
        return testing::storeErrorOf(
            [&] { importChannelsCsv(*store.connection, kAnalogInputs, 1, csv, replace); });
    }

    testing::TempStore store;
};

// Exported channels imported in place of the originals come back as they were, every kind.
TEST_F(ChannelCsv, ExportThenImportGivesTheSameRows) {
    for (const ChannelKind* kind : kChannelKinds) {
        SCOPED_TRACE(kind->table);
        const QStringList before = rows(*kind);
        ASSERT_FALSE(before.isEmpty());
        const QByteArray csv = exportChannelsCsv(*store.connection, *kind, 1);
        EXPECT_EQ(importChannelsCsv(*store.connection, *kind, 1, csv, true), before.size());
        EXPECT_EQ(rows(*kind), before);
    }
}

// The file is what spreadsheets read: a header of the table's names, ';' between fields,
// quotes around a field with ';', '"' or a line break, quotes doubled, CRLF line ends.
TEST_F(ChannelCsv, TheFileQuotesAsSpreadsheetsExpect) {
    const QString csv = QString::fromUtf8(exportChannelsCsv(*store.connection, kAnalogInputs, 1));
    const QStringList lines = csv.split(QStringLiteral("\r\n"));
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("id_achannel_p;type_num;id_device;")));
    EXPECT_FALSE(lines[0].contains(QStringLiteral("id_uspd")));
    EXPECT_TRUE(csv.contains(QStringLiteral(";\"Давл; \"\"П1\"\"\";")));
    EXPECT_TRUE(csv.contains(QStringLiteral(";\"две\nстроки\";")));
    EXPECT_TRUE(csv.contains(QStringLiteral(";0,1;4095;-0,25;1000000;-1;")));
    EXPECT_TRUE(csv.contains(QStringLiteral(";1,0000001;3;")));
    EXPECT_EQ(lines.size(), 4);  // header, two rows, and the end of the last line
}

// A file from elsewhere: a byte order mark, a subset of the columns in another order, LF line
// ends; the other columns stay empty. Without --replace the rows are added.
TEST_F(ChannelCsv, ImportTakesAnyColumnsInAnyOrder) {
    const QByteArray csv =
        "\xEF\xBB\xBFname;n_channel;id_device;min_code\n"
        "\"Уровень; м\";7;5;2,5\n"
        "Температура;8;;3.25\n";
    EXPECT_EQ(importChannelsCsv(*store.connection, kAnalogInputs, 1, csv, false), 2);
    EXPECT_EQ(queryRows(*store.connection,
                        "select name, n_channel, id_device, min_code from SpecAChannel "
                        "where id_uspd=1 order by id_achannel",
                        u'|')
                  .mid(2),
              QStringList({"Уровень; м|7|5|2.5", "Температура|8||3.25"}));
}

// A file that cannot be taken whole is refused with its line and column, and nothing changes,
// also when it was to replace the channels.
TEST_F(ChannelCsv, ARefusedFileChangesNothing) {
    const struct {
        const char* csv;
        const char* message;
    } cases[] = {
        {"name;colour\nДавление;red\n",
         "Строка 1, столбец «colour»: такого столбца в таблице SpecAChannel нет"},
        {"name;n_channel\nА;1\nБ;много\n", "Строка 3, столбец «n_channel»: "},
        {"name;W\n\"две\nстроки\";1\nБ;70000\n", "Строка 4, столбец «W»: "},
        {"name;id_device\nА;6\n", "Строка 2, столбец «id_device»: у УСПД нет модуля с ключом 6"},
        {"name;n_channel\nА;1;2\n", "Строка 2: полей 3, а столбцов в заголовке 2"},
        {"name\n\"не закрыта\n", "Строка 2: кавычка не закрыта до конца файла"},
        {"name\nАбвгдеёжзийклмнопрсту\n", "Строка 2, столбец «name»: "},
    };
    const QStringList before = rows(kAnalogInputs);
    for (const auto& c : cases) {
        for (const bool replace : {false, true}) {
            SCOPED_TRACE(c.csv);
            const QString message = importRefusal(c.csv, replace);
            EXPECT_TRUE(message.startsWith(QString::fromUtf8(c.message))) << message.toStdString();
            EXPECT_EQ(rows(kAnalogInputs), before);
        }
    }
}

}  // namespace
}  // namespace orvet
