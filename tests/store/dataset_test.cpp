#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

#include "store/command.h"
#include "store/dataset.h"
#include "store/sql_text.h"
#include "store/store_error.h"
#include "support/store_test_support.h"

namespace orvet {
namespace {

using testing::execSql;
using testing::queryValue;
using testing::storeErrorOf;
using testing::TempStore;

// What a read or an action gives: its value as text, or "error: " and the StoreError's text.
template <typename Action>
QString outcome(Action action) {
    try {
        return QVariant(action()).toString();
    } catch (const StoreError& error) {
        return QStringLiteral("error: ") + error.message();
    }
}

// Records the events and observer notifications of a dataset in order.
struct Recorder : DatasetObserver {
    explicit Recorder(Dataset& observed) : dataset(observed) {
        for (auto [handler, name] : {std::pair{&Dataset::beforePost, "beforePost"},
                                     {&Dataset::afterPost, "afterPost"},
                                     {&Dataset::beforeDelete, "beforeDelete"},
                                     {&Dataset::afterDelete, "afterDelete"},
                                     {&Dataset::afterOpen, "afterOpen"},
                                     {&Dataset::afterScroll, "afterScroll"}}) {
            dataset.*handler = [this, name = QString::fromLatin1(name)](Dataset&) {
                events.append(name);
            };
        }
        dataset.addObserver(this);
    }
    ~Recorder() override {
        dataset.removeObserver(this);
        for (auto handler : {&Dataset::beforePost, &Dataset::afterPost, &Dataset::beforeDelete,
                             &Dataset::afterDelete, &Dataset::afterOpen, &Dataset::afterScroll}) {
            dataset.*handler = nullptr;
        }
    }
    void datasetAboutToChange(Dataset& d, const DatasetChange& change) override {
        notices.append(
            QStringLiteral("about %1 %2 of %3").arg(change.kind).arg(change.row).arg(d.rowCount()));
    }
    void datasetChanged(Dataset& d, const DatasetChange& change) override {
        notices.append(QStringLiteral("changed %1 %2 of %3")
                           .arg(change.kind)
                           .arg(change.row)
                           .arg(d.rowCount()));
    }
    Dataset& dataset;
    QStringList events;
    QStringList notices;
};

// ---- The contract, on the store (declared fields) and on a plain database without
// declarations, as the dispatch database is reached. ----

enum class Backend { Store, Plain };

class DatasetContract : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (GetParam() == Backend::Store) {
            store = std::make_unique<TempStore>();
            connection = store->connection.get();
        } else {
            plain = std::make_unique<Connection>("plain", "QSQLITE");
            plain->setDatabaseName(dir.filePath("plain.db"));
            plain->open();
            execSql(*plain,
                    "CREATE TABLE USPD (id_uspd INTEGER PRIMARY KEY AUTOINCREMENT, "
                    "uspd_name VARCHAR(50), enterprise VARCHAR(50))");
            execSql(*plain,
                    "CREATE TABLE CallbackPhone (id_phone INTEGER PRIMARY KEY "
                    "AUTOINCREMENT, phonenum VARCHAR(15), id_uspd INTEGER)");
            connection = plain.get();
        }
        uspd = std::make_unique<TableDataset>(*connection, "tblUSPD", "USPD");
        phones = std::make_unique<QueryDataset>(*connection, "tblCallbackPhone",
                                                "select * from CallbackPhone order by id_phone");
        phones->setMasterLink(*uspd, "id_uspd", "id_uspd");
    }

    int addUspd(const QString& name) {
        uspd->append();
        uspd->fieldByName(u"USPD_NAME").setAsString(name);
        uspd->post();
        return uspd->fieldByName(u"ID_USPD").asInteger();
    }
    void addPhone(const QString& number) {
        phones->append();
        phones->fieldByName(u"phonenum").setAsString(number);
        phones->post();
    }
    QStringList column(Dataset& dataset, QStringView field) {
        QStringList values;
        for (int row = 0; row < dataset.rowCount(); ++row) {
            values.append(valueAsString(dataset.value(row, dataset.fieldIndex(field))));
        }
        return values;
    }
    int count(const QString& table) {
        return queryValue(*connection, "SELECT count(*) FROM " + table).toInt();
    }

    QTemporaryDir dir;
    std::unique_ptr<TempStore> store;
    std::unique_ptr<Connection> plain;
    Connection* connection = nullptr;
    std::unique_ptr<TableDataset> uspd;
    std::unique_ptr<QueryDataset> phones;
};

// Rows appended one after another with different fields filled each store exactly what
// they hold: a field left empty takes its default, not the value of an earlier row.
TEST_P(DatasetContract, AppendedRowsStoreTheirOwnFields) {
    uspd->open();
    const std::pair<QString, QString> rows[] = {
        {"A", "Завод"}, {"B", ""}, {"", "ТЭЦ"}, {"D", "Завод"}, {"", ""}};
    for (const auto& [name, enterprise] : rows) {
        uspd->append();
        if (!name.isEmpty())
            uspd->fieldByName(u"uspd_name").setAsString(name);
        if (!enterprise.isEmpty())
            uspd->fieldByName(u"enterprise").setAsString(enterprise);
    }
    uspd->post();
    EXPECT_EQ(testing::queryRows(*connection,
                                 "SELECT coalesce(uspd_name, '-') || '/' || "
                                 "coalesce(enterprise, '-') FROM USPD ORDER BY id_uspd",
                                 u' ')
                  .join(u' '),
              "A/Завод B/- -/ТЭЦ D/Завод -/-");
}

TEST_P(DatasetContract, PendingRowLife) {
    uspd->open();
    EXPECT_TRUE(uspd->isEmpty());
    EXPECT_TRUE(uspd->eof() && uspd->bof());

    uspd->append();
    EXPECT_EQ(uspd->state(), Dataset::State::Insert);
    EXPECT_EQ(uspd->recordCount(), 0);  // a pending row is not counted
    EXPECT_EQ(uspd->rowCount(), 1);
    EXPECT_EQ(uspd->recordNumber(), 0);
    EXPECT_FALSE(uspd->isEmpty());
    uspd->fieldByName(u"uspd_name").setAsString("A");
    EXPECT_EQ(uspd->fieldByName(u"USPD_NAME").asString(), "A");
    EXPECT_TRUE(uspd->fieldByName(u"ID_USPD").isNull());
    EXPECT_EQ(count("USPD"), 0);

    uspd->post();
    EXPECT_EQ(uspd->state(), Dataset::State::Browse);
    EXPECT_EQ(uspd->recordCount(), 1);
    EXPECT_EQ(uspd->recordNumber(), 1);
    const int first = uspd->fieldByName(u"id_uspd").asInteger();
    EXPECT_GT(first, 0);
    EXPECT_EQ(count("USPD"), 1);

    // The next append stores the pending row first.
    uspd->append();
    uspd->fieldByName(u"uspd_name").setAsString("B");
    uspd->append();
    EXPECT_EQ(uspd->recordCount(), 2);
    EXPECT_EQ(count("USPD"), 2);
    uspd->cancel();
    EXPECT_EQ(uspd->rowCount(), 2);
    EXPECT_EQ(uspd->recordNumber(), 2);
    EXPECT_EQ(uspd->fieldByName(u"uspd_name").asString(), "B");

    // Edit, cancel, edit, post.
    uspd->edit();
    uspd->fieldByName(u"uspd_name").setAsString("changed");
    uspd->cancel();
    EXPECT_EQ(uspd->fieldByName(u"uspd_name").asString(), "B");
    uspd->edit();
    uspd->fieldByName(u"uspd_name").setAsString("B2");
    uspd->post();
    EXPECT_EQ(
        queryValue(*connection, "SELECT uspd_name FROM USPD ORDER BY id_uspd DESC").toString(),
        "B2");

    // Closing drops a pending row; removing a pending row only drops it.
    uspd->append();
    uspd->fieldByName(u"uspd_name").setAsString("C");
    uspd->close();
    uspd->open();
    EXPECT_EQ(column(*uspd, u"uspd_name"), (QStringList{"A", "B2"}));
    uspd->append();
    uspd->remove();
    EXPECT_EQ(uspd->rowCount(), 2);
    EXPECT_EQ(count("USPD"), 2);

    // Keys are never reused.
    uspd->last();
    const int last = uspd->fieldByName(u"id_uspd").asInteger();
    uspd->remove();
    EXPECT_GT(addUspd("D"), last);
}

TEST_P(DatasetContract, EditOnAnEmptyDatasetStartsANewRow) {
    uspd->open();
    uspd->edit();
    EXPECT_EQ(uspd->state(), Dataset::State::Insert);
    uspd->post();
    EXPECT_EQ(count("USPD"), 1);
    EXPECT_EQ(storeErrorOf([&] {
                  uspd->remove();
                  uspd->remove();
              }),
              "Набор данных «tblUSPD» пуст: удалять нечего");
}

TEST_P(DatasetContract, NavigatesStoredRows) {
    uspd->open();
    for (const char* name : {"A", "B", "C"})
        addUspd(name);
    QStringList visited;
    QList<int> numbers;
    for (uspd->first(); !uspd->eof(); uspd->next()) {
        visited.append(uspd->fieldByName(u"uspd_name").asString());
        numbers.append(uspd->recordNumber());
    }
    EXPECT_EQ(visited, (QStringList{"A", "B", "C"}));
    EXPECT_EQ(numbers, (QList<int>{1, 2, 3}));
    EXPECT_EQ(uspd->recordNumber(), 3);  // the cursor stays on the last row

    uspd->last();
    EXPECT_TRUE(uspd->eof());
    int steps = 0;
    for (; !uspd->bof(); uspd->prior())
        ++steps;
    EXPECT_EQ(steps, 3);
    EXPECT_EQ(uspd->recordNumber(), 1);

    EXPECT_TRUE(uspd->locate(u"USPD_NAME", "C"));
    EXPECT_EQ(uspd->recordNumber(), 3);
    EXPECT_FALSE(uspd->locate(u"uspd_name", "Z"));
    EXPECT_EQ(uspd->recordNumber(), 3);

    // Moving to another row posts the edited one first.
    uspd->first();
    uspd->edit();
    uspd->fieldByName(u"enterprise").setAsString("posted by moving");
    uspd->next();
    EXPECT_EQ(uspd->state(), Dataset::State::Browse);
    EXPECT_EQ(queryValue(*connection, "SELECT enterprise FROM USPD WHERE uspd_name='A'").toString(),
              "posted by moving");
}

TEST_P(DatasetContract, RunsEventsInsideTheOperationInOrder) {
    const struct {
        const char* name;
        int rows;  // stored rows before the action
        std::function<void(Dataset&)> action;
        QStringList events;
    } cases[] = {
        {"open with rows",
         2,
         [](Dataset& d) {
             d.close();
             d.open();
         },
         {"afterOpen", "afterScroll"}},
        {"open empty",
         0,
         [](Dataset& d) {
             d.close();
             d.open();
         },
         {"afterOpen"}},
        {"append", 1, [](Dataset& d) { d.append(); }, {"afterScroll"}},
        {"append over a pending row",
         1,
         [](Dataset& d) {
             d.append();
             d.append();
         },
         {"afterScroll", "beforePost", "afterPost", "afterScroll"}},
        {"edit and post",
         1,
         [](Dataset& d) {
             d.edit();
             d.post();
         },
         {"beforePost", "afterPost"}},
        {"post in browse state", 1, [](Dataset& d) { d.post(); }, {}},
        {"next", 2, [](Dataset& d) { d.next(); }, {"afterScroll"}},
        {"next at the end", 1, [](Dataset& d) { d.next(); }, {}},
        {"first", 2, [](Dataset& d) { d.first(); }, {"afterScroll"}},
        {"delete",
         2,
         [](Dataset& d) { d.remove(); },
         {"beforeDelete", "afterDelete", "afterScroll"}},
        {"delete the last row", 1, [](Dataset& d) { d.remove(); }, {"beforeDelete", "afterDelete"}},
        {"cancel a pending row",
         1,
         [](Dataset& d) {
             d.append();
             d.cancel();
         },
         {"afterScroll"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        uspd->close();
        execSql(*connection, "DELETE FROM USPD");
        for (int i = 0; i < c.rows; ++i)
            execSql(*connection, "INSERT INTO USPD (uspd_name) VALUES ('x')");
        uspd->open();
        Recorder recorder(*uspd);
        c.action(*uspd);
        EXPECT_EQ(recorder.events, c.events);
    }
}

TEST_P(DatasetContract, DetailShowsOnlyTheCurrentMastersRows) {
    uspd->open();
    const int a = addUspd("A");
    const int b = addUspd("B");
    phones->open();
    addPhone("b1");
    addPhone("b2");
    uspd->first();
    EXPECT_EQ(column(*phones, u"phonenum"), QStringList{});
    addPhone("a1");
    EXPECT_EQ(phones->fieldByName(u"id_uspd").asInteger(), a);

    const auto phonesOf = [&](int id) {
        EXPECT_TRUE(uspd->locate(u"id_uspd", id));
        for (int row = 0; row < phones->rowCount(); ++row) {
            EXPECT_EQ(valueAsInteger(phones->value(row, phones->fieldIndex(u"id_uspd"))), id);
        }
        return column(*phones, u"phonenum");
    };
    EXPECT_EQ(phonesOf(b), (QStringList{"b1", "b2"}));
    EXPECT_EQ(phonesOf(a), QStringList{"a1"});
    EXPECT_EQ(phonesOf(b), (QStringList{"b1", "b2"}));

    // The detail follows its master and scrolls to its first row.
    Recorder recorder(*phones);
    uspd->first();
    EXPECT_EQ(recorder.events, QStringList{"afterScroll"});

    // A pending detail row is posted before the master moves, under the old master.
    phones->append();
    phones->fieldByName(u"phonenum").setAsString("a2");
    uspd->next();
    EXPECT_EQ(
        queryValue(*connection, "SELECT id_uspd FROM CallbackPhone WHERE phonenum='a2'").toInt(),
        a);

    // A master without a stored current row gives its details nothing to own.
    uspd->append();
    EXPECT_TRUE(phones->isEmpty());
    EXPECT_EQ(
        storeErrorOf([&] { phones->append(); }),
        "В «tblCallbackPhone» нельзя добавить запись: в «tblUSPD» нет текущей сохраненной записи");
    uspd->cancel();
    EXPECT_EQ(phonesOf(b), (QStringList{"b1", "b2"}));

    // Deleting the master's row drops the detail's pending row with it.
    phones->append();
    phones->fieldByName(u"phonenum").setAsString("orphan");
    uspd->remove();
    EXPECT_EQ(queryValue(*connection, "SELECT count(*) FROM CallbackPhone WHERE phonenum='orphan'")
                  .toInt(),
              0);
    EXPECT_EQ(phonesOf(a), (QStringList{"a1", "a2"}));
}

TEST_P(DatasetContract, ReplacesAStatementOnlyWhileClosed) {
    uspd->open();
    addUspd("A");
    phones->open();
    addPhone("1");
    addPhone("22");
    EXPECT_EQ(storeErrorOf([&] { phones->setSql("select * from CallbackPhone"); }),
              "Набор данных «tblCallbackPhone» открыт: заменить текст запроса невозможно");
    phones->close();
    phones->setSql("select * from CallbackPhone where length(phonenum) > 1 order by id_phone desc");
    phones->open();
    EXPECT_EQ(column(*phones, u"phonenum"), QStringList{"22"});

    // A statement reading anything but one table gives a read-only dataset.
    QueryDataset joined(*connection, "joined",
                        "select USPD.uspd_name, CallbackPhone.phonenum from USPD, CallbackPhone "
                        "where USPD.id_uspd = CallbackPhone.id_uspd");
    joined.open();
    EXPECT_EQ(joined.recordCount(), 2);
    EXPECT_EQ(storeErrorOf([&] { joined.append(); }),
              "Набор данных «joined» только для чтения: записи в нем не изменяются");
}

TEST_P(DatasetContract, ARefusedPostKeepsTheRowForCorrection) {
    testing::refuseRows(*connection, "refuse", "BEFORE INSERT ON USPD", "NEW.uspd_name = 'bad'",
                        "refused by the test");
    uspd->open();
    uspd->append();
    uspd->fieldByName(u"uspd_name").setAsString("bad");
    uspd->fieldByName(u"enterprise").setAsString("kept");
    EXPECT_EQ(storeErrorOf([&] { uspd->post(); }), "refused by the test");
    EXPECT_EQ(uspd->state(), Dataset::State::Insert);
    EXPECT_EQ(uspd->fieldByName(u"enterprise").asString(), "kept");
    EXPECT_EQ(storeErrorOf([&] { uspd->next(); }), "refused by the test");
    uspd->fieldByName(u"uspd_name").setAsString("good");
    uspd->post();
    EXPECT_EQ(count("USPD"), 1);
}

TEST_P(DatasetContract, DeleteAndItsBeforeDeleteHandlerAreAllOrNothing) {
    uspd->open();
    const int a = addUspd("A");
    phones->open();
    addPhone("1");
    Command command(*connection, "command");
    uspd->beforeDelete = [&](Dataset&) {
        command.execute(QStringLiteral("DELETE FROM CallbackPhone WHERE id_uspd=%1").arg(a));
        throw StoreError("stopped");
    };
    EXPECT_EQ(storeErrorOf([&] { uspd->remove(); }), "stopped");
    EXPECT_EQ(count("CallbackPhone"), 1);
    EXPECT_EQ(count("USPD"), 1);
    EXPECT_EQ(uspd->recordCount(), 1);

    uspd->beforeDelete = [&](Dataset&) {
        command.execute(QStringLiteral("DELETE FROM CallbackPhone WHERE id_uspd=%1").arg(a));
    };
    uspd->remove();
    EXPECT_EQ(count("CallbackPhone"), 0);
    EXPECT_EQ(count("USPD"), 0);
}

TEST_P(DatasetContract, ComputesLookupFieldsOnEveryRead) {
    uspd->open();
    addUspd("A");
    phones->open();
    addPhone("1");
    phones->addLookupField("Owner", "id_uspd", *uspd, "id_uspd", "uspd_name");
    phones->addLookupField("OwnerLength", "Owner", *uspd, "uspd_name", "id_uspd");
    EXPECT_EQ(phones->fieldByName(u"OWNER").asString(), "A");
    EXPECT_EQ(phones->fieldByName(u"ownerlength").asInteger(),
              uspd->fieldByName(u"id_uspd").asInteger());
    uspd->edit();
    uspd->fieldByName(u"uspd_name").setAsString("renamed");
    uspd->post();
    EXPECT_EQ(phones->fieldByName(u"Owner").asString(), "renamed");
    phones->edit();
    EXPECT_EQ(storeErrorOf([&] { phones->fieldByName(u"Owner").setAsString("x"); }),
              "Поле «Owner» вычисляется и не может быть изменено");
    phones->cancel();
    phones->edit();
    phones->fieldByName(u"id_uspd").setAsInteger(999);
    EXPECT_TRUE(phones->fieldByName(u"Owner").isNull());
}

TEST_P(DatasetContract, SuspendedDisplayHearsNothingUntilResumed) {
    uspd->open();
    Recorder recorder(*uspd);
    uspd->append();
    EXPECT_EQ(recorder.notices.first(), "about 1 0 of 0");  // before the row exists
    EXPECT_TRUE(recorder.notices.contains("changed 1 0 of 1"));
    uspd->cancel();

    recorder.notices.clear();
    recorder.events.clear();
    uspd->suspendDisplay();
    uspd->suspendDisplay();
    for (const char* name : {"A", "B"})
        addUspd(name);
    uspd->first();
    uspd->resumeDisplay();
    EXPECT_TRUE(recorder.notices.isEmpty());
    EXPECT_EQ(recorder.events.count("afterScroll"), 3);  // events still run
    uspd->resumeDisplay();
    EXPECT_EQ(recorder.notices, (QStringList{"about 0 -1 of 2", "changed 0 -1 of 2",
                                             "changed 5 -1 of 2", "changed 4 0 of 2"}));
    EXPECT_EQ(uspd->recordCount(), 2);
}

TEST_P(DatasetContract, StoresAndFindsNamesWithApostrophes) {
    Command command(*connection, "command");
    const QString name = "O'Neil's \"store\"";
    EXPECT_EQ(command.execute("INSERT INTO USPD (uspd_name) VALUES (" + sqlQuoted(name) + ")"), 1);
    uspd->open();
    EXPECT_EQ(uspd->fieldByName(u"uspd_name").asString(), name);
    addUspd("d'Artagnan");
    QueryDataset found(
        *connection, "found",
        "select * from USPD where uspd_name=" + sqlQuoted(QStringLiteral("d'Artagnan")));
    found.open();
    EXPECT_EQ(found.recordCount(), 1);
    EXPECT_EQ(storeErrorOf([&] { command.execute("DELETE FROM NoSuchTable"); }),
              connection->isPostgres() ? "relation \"nosuchtable\" does not exist"
                                       : "no such table: NoSuchTable");
}

INSTANTIATE_TEST_SUITE_P(Backends, DatasetContract,
                         ::testing::Values(Backend::Store, Backend::Plain), [](const auto& param) {
                             return param.param == Backend::Store ? "Store" : "Plain";
                         });

// ---- Fields of the store: empty-value rules, conversions, declared types and ranges. ----

// Values that a store file holds whatever its columns declare.
class StoreFields : public ::testing::Test {
protected:
    TempStore store{TempStore::Kind::File};
};

TEST_F(StoreFields, ReadWithTheEmptyValueRules) {
    execSql(*store.connection,
            "INSERT INTO SpecAChannel (name, n_channel, min_code, max_code, emerg_val, type_num) "
            "VALUES ('abc', 7, 2.5, 3.5, -0.5, '1,5')");
    TableDataset channels(*store.connection, "channels", "SpecAChannel");
    channels.open();
    const struct {
        const char* field;
        const char* integer;
        const char* real;
        const char* text;
    } cases[] = {
        {"n_u_measure", "0", "0", ""},  // empty
        {"N_CHANNEL", "7", "7", "7"},
        {"min_code", "2", "2.5", "2.5"},  // halves go to the even neighbour
        {"max_code", "4", "3.5", "3.5"},
        {"emerg_val", "0", "-0.5", "-0.5"},
        {"name", "error: 'abc' is not a valid integer value",
         "error: 'abc' не является допустимым числом", "abc"},
        {"type_num", "error: '1,5' is not a valid integer value", "1.5", "1,5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        Field field = channels.fieldByName(QString::fromLatin1(c.field));
        EXPECT_EQ(outcome([&] { return field.asInteger(); }), c.integer);
        EXPECT_EQ(outcome([&] { return field.asFloat(); }), c.real);
        EXPECT_EQ(outcome([&] { return field.asString(); }), c.text);
    }
    // The general value conversion refuses an empty value.
    const QVariant empty = channels.fieldByName(u"coef_corr").value();
    EXPECT_EQ(outcome([&] { return variantToFloat(empty); }),
              "error: Invalid variant type conversion");
    EXPECT_EQ(outcome([&] { return variantToInteger(empty); }),
              "error: Invalid variant type conversion");
    EXPECT_EQ(outcome([&] { return variantToInteger(channels.fieldByName(u"n_channel").value()); }),
              "7");
    EXPECT_EQ(storeErrorOf([&] { channels.fieldByName(u"nope"); }),
              "В наборе данных «channels» нет поля «nope»");

    // A blob reads as its bytes: the message shows them escaped, not cut at the NUL.
    execSql(*store.connection, "UPDATE SpecAChannel SET name = X'00274122'");
    channels.close();
    channels.open();
    EXPECT_EQ(outcome([&] { return channels.fieldByName(u"name").asInteger(); }),
              "error: '\\x00'A\\\"' is not a valid integer value");
}

TEST_F(StoreFields, RefuseAValueTheyCannotHoldAndKeepTheirValue) {
    const struct {
        const char* table;
        const char* field;
        QVariant value;
        const char* result;  // what the field reads after the assignment
    } cases[] = {
        {"SpecEmDChannel", "jingle_time", 0, "0"},
        {"SpecEmDChannel", "jingle_time", 10000, "10000"},
        {"SpecEmDChannel", "jingle_time", "250", "250"},
        {"SpecEmDChannel", "jingle_time", 10001,
         "error: 10001 — недопустимое значение поля «jingle_time»: допустимы значения от 0 до "
         "10000"},
        {"SpecEmDChannel", "jingle_time", -1,
         "error: -1 — недопустимое значение поля «jingle_time»: допустимы значения от 0 до 10000"},
        {"SpecEmDChannel", "jingle_time", "5x", "error: '5x' is not a valid integer value"},
        {"ShortArchive", "short_time_min", 65535, "65535"},
        {"ShortArchive", "short_time_min", 65536,
         "error: 65536 — недопустимое значение поля «short_time_min»: допустимы значения от 0 до "
         "65535"},
        {"ShortArchive", "short_time_min", 2.5, "2"},
        {"ShortArchive", "short_time_min", "", ""},
        {"ShortArchive", "short_time_min", "  ", ""},
        {"SpecAChannel", "n_u_measure", "      ", "      "},
        {"SpecDevice", "t_pool", -32768, "-32768"},
        {"SpecDevice", "t_pool", 32768,
         "error: 32768 — недопустимое значение поля «t_pool»: допустимы значения от -32768 до "
         "32767"},
        {"SpecDevice", "col_kvna", "2147483647", "2147483647"},
        {"SpecDevice", "col_kvna", "2147483648",
         "error: '2147483648' is not a valid integer value"},
        {"SpecDevice", "password", "12345678", "12345678"},
        {"SpecDevice", "password", "123456789",
         "error: Значение «123456789» не помещается в поле «password»: допустимо не более 8 "
         "символов"},
        {"SpecDevice", "id_device", 5,
         "error: Поле «id_device» заполняется автоматически и не может быть изменено"},
        {"SpecInterFace", "stop", "1,5", "1.5"},
        {"SpecInterFace", "stop", 2, "2"},
        {"SpecInterFace", "stop", "two", "error: 'two' не является допустимым числом"},
        // The value in a message is cut, and shows every character it keeps.
        {"SpecDevice", "password", QString(100000, u'7'),
         "error: Значение «7777777777777777777777777777777777777777…» не помещается в поле "
         "«password»: допустимо не более 8 символов"},
        {"SpecDevice", "col_kvna",
         QByteArray("\x01\x00"
                    "7",
                    3),
         "error: '\\x01\\x007' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " := " + c.value.toString().toStdString());
        TableDataset dataset(*store.connection, "dataset", c.table);
        dataset.open();
        dataset.append();
        Field field = dataset.fieldByName(QString::fromLatin1(c.field));
        const bool refused = QLatin1String(c.result).startsWith(QLatin1String("error: "));
        if (refused && field.def().type != FieldType::AutoInc) {
            field.setAsString("1");
        }
        const QString before = field.asString();
        EXPECT_EQ(outcome([&] {
                      field.setValue(c.value);
                      return field.asString();
                  }),
                  c.result);
        if (refused) {
            EXPECT_EQ(field.asString(), before);
        }
        // What the field holds is what the store keeps.
        const QString held = field.asString();
        const bool key = field.def().type == FieldType::AutoInc;
        dataset.post();
        dataset.close();
        dataset.open();
        dataset.last();
        if (!key) {
            EXPECT_EQ(dataset.fieldByName(QString::fromLatin1(c.field)).asString(), held);
        }
    }
}

TEST_F(StoreFields, AreAssignedOnlyInEditing) {
    execSql(*store.connection, "INSERT INTO USPD (uspd_name) VALUES ('A')");
    TableDataset uspd(*store.connection, "tblUSPD", "USPD");
    EXPECT_EQ(storeErrorOf([&] { uspd.fieldByName(u"uspd_name"); }),
              "Набор данных «tblUSPD» закрыт: операция невозможна");
    uspd.open();
    EXPECT_EQ(storeErrorOf([&] { uspd.fieldByName(u"uspd_name").setAsString("B"); }),
              "Набор данных «tblUSPD» не в режиме редактирования");
    EXPECT_EQ(uspd.fieldByName(u"uspd_name").asString(), "A");
}

// ---- Statement texts. ----

TEST(SqlText, AddsAConditionWhereItBelongs) {
    const struct {
        const char* statement;
        const char* result;
    } cases[] = {
        {"select * from T", "select * from T WHERE k = ?"},
        {"select * from T order by port", "select * from T WHERE k = ? order by port"},
        {"select * from T where a>0 and b=5", "select * from T WHERE (a>0 and b=5) AND k = ?"},
        {"SELECT * FROM T WHERE x='order by' ORDER BY y",
         "SELECT * FROM T WHERE (x='order by') AND k = ? ORDER BY y"},
        {"select * from T where a in (select b from U where c=1) group by a",
         "select * from T WHERE (a in (select b from U where c=1)) AND k = ? group by a"},
        {"select * from Torder", "select * from Torder WHERE k = ?"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(withCondition(c.statement, "k = ?"), c.result) << c.statement;
}

TEST(SqlText, FindsTheOneTableAStatementReads) {
    EXPECT_EQ(singleTableOf("select * from SpecDevice order by id_device"), "SpecDevice");
    EXPECT_EQ(singleTableOf("SELECT * FROM USPD"), "USPD");
    EXPECT_EQ(singleTableOf("select * from SpecDevice where col_dchannel>0 and id_uspd=3"),
              "SpecDevice");
    EXPECT_EQ(singleTableOf("select * from NChannels, Unit_Measure where a=b"), "");
    EXPECT_EQ(singleTableOf("select id_tdevice, n_chan from NChannels"), "");
    EXPECT_EQ(sqlQuoted(u"it's"), "'it''s'");
}

TEST(SqlText, ShowsAStoredValueOnOneLineAndCutsItShort) {
    const struct {
        QString value;
        const char* shown;
    } cases[] = {
        {"", ""},
        {"8-495-123", "8-495-123"},
        {"Котельная №1", "Котельная №1"},
        {QStringLiteral("a\"b\\c"), "a\\\"b\\\\c"},
        {QStringView(u"a\0b\nc\td\x7f", 8).toString(), "a\\x00b\\x0ac\\x09d\\x7f"},
        {QString(40, u'я'), "яяяяяяяяяяяяяяяяяяяяяяяяяяяяяяяяяяяяяяяя"},
        {QString(20'000'000, u'9'), "9999999999999999999999999999999999999999…"},
        // Cut first, so an escape is never split.
        {QString(39, u'x') + QStringLiteral("\n\n"),
         "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\\x0a…"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shownValue(c.value), QString::fromUtf8(c.shown)) << c.shown;
    EXPECT_EQ(escapedText(QString(50, u'\n')).size(), 200);
}

}  // namespace
}  // namespace orvet
