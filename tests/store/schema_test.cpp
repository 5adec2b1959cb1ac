#include <gtest/gtest.h>

#include <QSqlQuery>
#include <QSqlRecord>

#include "store/schema.h"
#include "store/store_error.h"
#include "support/store_test_support.h"

namespace orvet {
namespace {

using testing::TempStore;

TEST(Schema, DeclaresTypesWidthsAndRanges) {
    const struct {
        const char* table;
        const char* field;
        FieldType type;
        int size;
        qint64 minimum;
        qint64 maximum;
    } cases[] = {
        {"USPD", "id_uspd", FieldType::AutoInc, 0, INT32_MIN, INT32_MAX},
        {"USPD", "uspd_name", FieldType::Text, 50, 0, 0},
        {"Port", "key", FieldType::Word, 0, 0, 65535},
        {"Port", "portname", FieldType::Text, 4, 0, 0},
        {"Unit_Measure", "CoeffToBase", FieldType::Float, 0, 0, 0},
        {"Unit_Measure", "ID_Units", FieldType::Integer, 0, INT32_MIN, INT32_MAX},
        {"SpecDevice", "id_iface_s2", FieldType::Smallint, 0, -32768, 32767},
        {"SpecDevice", "col_kvna", FieldType::Integer, 0, INT32_MIN, INT32_MAX},
        {"SpecDevice", "password", FieldType::Text, 8, 0, 0},
        {"SpecAChannel", "n_channel", FieldType::Smallint, 0, -32768, 32767},
        {"SpecAChannel", "t_device", FieldType::Smallint, 0, -32768, 32767},
        {"SpecDChannel", "n_channel", FieldType::Word, 0, 0, 65535},
        {"SpecDChannel", "t_device", FieldType::Integer, 0, INT32_MIN, INT32_MAX},
        {"SpecEmDChannel", "jingle_time", FieldType::Smallint, 0, 0, 10000},
        {"SpecAChannel", "type_num", FieldType::Text, 5, 0, 0},
        {"TAction", "key", FieldType::Smallint, 0, -32768, 32767},
        {"ChPreview", "key", FieldType::AutoInc, 0, INT32_MIN, INT32_MAX},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.table) + "." + c.field);
        const TableDef* table = Schema::store().table(QString::fromLatin1(c.table));
        ASSERT_NE(table, nullptr);
        // Names are matched without regard to case.
        const FieldDef* field = table->field(QString::fromLatin1(c.field).toUpper());
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->name, QLatin1String(c.field));
        EXPECT_EQ(field->type, c.type);
        EXPECT_EQ(field->size, c.size);
        EXPECT_EQ(field->minimum, c.minimum);
        EXPECT_EQ(field->maximum, c.maximum);
    }
    EXPECT_EQ(Schema::store().table(u"Headline")->key()->name, QLatin1String("id_hline"));
    EXPECT_EQ(Schema::store().table(u"NChannels")->key(), nullptr);
}

TEST(Schema, AgreesWithTheTablesItCreates) {
    TempStore store(TempStore::Kind::File);
    QSqlQuery tables(store.connection->database());
    ASSERT_TRUE(
        tables.exec("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT "
                    "LIKE 'sqlite_%' ORDER BY name"));
    QStringList created;
    while (tables.next())
        created.append(tables.value(0).toString());
    QStringList declared;
    for (const TableDef& table : Schema::store().tables())
        declared.append(table.name);
    declared.sort();
    EXPECT_EQ(created, declared);
    EXPECT_EQ(declared.size(), 24);

    for (const TableDef& table : Schema::store().tables()) {
        QSqlQuery columns(store.connection->database());
        ASSERT_TRUE(columns.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table.name)));
        QStringList names;
        while (columns.next())
            names.append(columns.value(1).toString());
        QStringList fields;
        for (const FieldDef& field : table.fields)
            fields.append(field.name);
        EXPECT_EQ(names, fields) << table.name.toStdString();
    }
}

TEST(Schema, RefusesWhatItCannotRead) {
    EXPECT_EQ(testing::storeErrorOf([] { Schema::parse("CREATE TABLE T (a WORD, b DATETIME);"); }),
              QStringLiteral("Описание поля таблицы T не распознано: b DATETIME"));
    const Schema parsed = Schema::parse(
        "-- a; comment\nCREATE TABLE T (k INTEGER PRIMARY KEY AUTOINCREMENT, t TEXT(3));\n"
        "CREATE INDEX T_t ON T (t);");
    ASSERT_EQ(parsed.tables().size(), 1u);
    EXPECT_EQ(parsed.tables()[0].key()->type, FieldType::AutoInc);
}

TEST(Schema, SplitsScriptsOutsideQuotesAndComments) {
    const struct {
        const char* script;
        QStringList statements;
    } cases[] = {
        {"a; b;", {"a", "b"}},
        {"x 'it''s; fine';\n-- gone; too\ny", {"x 'it''s; fine'", "y"}},
        {"\"q;\" -- tail\n;", {"\"q;\""}},
        {" ;; ", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitStatements(c.script), c.statements) << c.script;
}

TEST(ReferenceRows, HoldTheKeysTheProgramGivesAMeaning) {
    TempStore store(TempStore::Kind::File);
    Connection& db = *store.connection;
    const auto count = [&](const QString& sql) { return testing::queryValue(db, sql).toInt(); };
    for (int type : {0, 7, 15, 17, 19, 23, 24}) {
        EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM TypeDevice WHERE key=%1").arg(type)),
                  1)
            << type;
    }
    EXPECT_GE(count("SELECT count(*) FROM TypeDevice"), 8);
    EXPECT_GE(count("SELECT count(DISTINCT col_achannel + 100 * col_dchannel + 10000 * "
                    "col_nichannel) FROM TypeDevice"),
              5);
    for (int port = 1; port <= 8; ++port) {
        EXPECT_EQ(testing::queryValue(
                      db, QStringLiteral("SELECT portname FROM Port WHERE key=%1").arg(port))
                      .toString(),
                  QStringLiteral("COM%1").arg(port));
    }
    EXPECT_EQ(count("SELECT count(*) FROM Baud WHERE key BETWEEN 1 AND 8"), 8);
    EXPECT_EQ(count("SELECT count(*) FROM TypeIface WHERE key=3"), 1);
    EXPECT_EQ(count("SELECT count(*) FROM TypeTransf WHERE key=0"), 1);
    EXPECT_EQ(count("SELECT count(*) FROM Unit_Measure WHERE ID_Units=40"), 1);
    EXPECT_EQ(count("SELECT count(*) FROM Sign WHERE key IN (0, 1)"), 2);
    EXPECT_EQ(testing::queryValue(db,
                                  "SELECT group_concat(action, '/') FROM (SELECT action FROM "
                                  "TAction ORDER BY key)")
                  .toString(),
              QStringLiteral("Добавить/Обновить/Удалить"));
    // The USPD's own board: templates of its discrete inputs and outputs.
    EXPECT_GT(count("SELECT count(*) FROM NChannels WHERE id_tdevice=15 AND t_channel=2"), 0);
    EXPECT_GT(count("SELECT count(*) FROM NChannels WHERE id_tdevice=15 AND t_channel=4"), 0);
}

TEST(ReferenceRows, GiveEveryModuleChannelATemplateWithDescriptionAndUnit) {
    TempStore store(TempStore::Kind::File);
    QSqlQuery types(store.connection->database());
    ASSERT_TRUE(
        types.exec("SELECT key, col_achannel, col_dchannel, col_dochannel, col_kvna, "
                   "col_nichannel FROM TypeDevice"));
    const int kinds[] = {1, 2, 4, 3, 5};  // t_channel of each count column above
    int checked = 0;
    while (types.next()) {
        for (int k = 0; k < 5; ++k) {
            const int count = types.value(k + 1).toInt();
            for (int n = 0; n < count; ++n) {
                const QString sql = QStringLiteral(
                                        "SELECT count(*) FROM NChannels WHERE id_tdevice=%1 AND "
                                        "t_channel=%2 AND n_chan=%3 AND description <> '' AND "
                                        "(t_channel IN (2, 4) OR umeasure IN (SELECT ID_Units FROM "
                                        "Unit_Measure))")
                                        .arg(types.value(0).toInt())
                                        .arg(kinds[k])
                                        .arg(n);
                EXPECT_EQ(testing::queryValue(*store.connection, sql).toInt(), 1)
                    << sql.toStdString();
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 50);
}

TEST(ReferenceRows, FitTheirFieldsAndTheChannelNamesTheyFill) {
    TempStore store(TempStore::Kind::File);
    for (const TableDef& table : Schema::store().tables()) {
        QSqlQuery rows(store.connection->database());
        ASSERT_TRUE(rows.exec(QStringLiteral("SELECT * FROM %1").arg(table.name)));
        while (rows.next()) {
            for (const FieldDef& field : table.fields) {
                const QVariant value = rows.record().value(field.name);
                EXPECT_NO_THROW(field.accept(value))
                    << table.name.toStdString() << "." << field.name.toStdString();
            }
        }
    }
    // The auto-fill names a channel (text of 20) by its template's description.
    EXPECT_EQ(testing::queryValue(*store.connection,
                                  "SELECT count(*) FROM NChannels WHERE length(description) > 20")
                  .toInt(),
              0);
}

}  // namespace
}  // namespace orvet
