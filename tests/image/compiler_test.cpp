#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QSqlRecord>
#include <functional>
#include <new>

#include "editing/image_import.h"
#include "editing/uspd_clone.h"
#include "image/compiler.h"
#include "image/image_dump.h"
#include "image_fixtures.h"
#include "store/data_module.h"
#include "store/store_error.h"
#include "support/store_test_support.h"
#include "support/test_files.h"
#include "support/test_platform.h"

namespace orvet {
namespace {

using testing::goldenBytes;
using testing::goldenText;
using testing::readFile;
using testing::runCli;
using testing::writeFile;
using Box = ScriptedMessageBoxes::Box;
using BoxKind = ScriptedMessageBoxes::Kind;

const QString kInvalidConversion = QStringLiteral("Invalid variant type conversion");
const QString kFileNotOpened = QStringLiteral("Файл не удается открыть");

// The bar "Формирование описателей" as the progress window keeps it: "max 13", "at 1" ...
class RecordedProgress : public CompileProgress {
public:
    void setMax(int max) override { events.append(QStringLiteral("max %1").arg(max)); }
    void setPosition(int position) override {
        position_ = position;
        events.append(QStringLiteral("at %1").arg(position_));
    }
    void step() override { setPosition(position_ + 1); }
    int position() const { return position_; }

    QStringList events;

private:
    int position_ = 0;
};

// The steps of a whole compilation: every stage but the last, the caller's connection set-up.
QStringList wholeRun() {
    QStringList events{"max 13"};
    for (int at = 1; at <= 12; ++at)
        events.append(QStringLiteral("at %1").arg(at));
    return events;
}

// A configuration store in a temporary folder with the data module on it. Rows go straight
// into its tables, as an earlier session of the program would have left them, and are read
// back on a connection of their own, which sees what is stored, not what the data module's
// connection holds uncommitted.
class Store {
public:
    explicit Store(testing::TestPlatform& test) : dm(test.platform(), files.path()) {}

    qint64 insert(const QString& table, const QVariantMap& values) {
        QSqlQuery query(files.connection->database());
        const QStringList marks(values.size(), QStringLiteral("?"));
        query.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                          .arg(table, values.keys().join(u','), marks.join(u',')));
        for (const QVariant& value : values)
            query.addBindValue(value);
        EXPECT_TRUE(query.exec()) << table.toStdString() << ": "
                                  << query.lastError().text().toStdString();
        return query.lastInsertId().toLongLong();
    }
    // A USPD with its flag and archive rows (none when `flags` is empty).
    qint64 addUspd(const QString& name, const QVariantMap& flags = {},
                   const QVariantMap& shortArchive = {}, const QVariantMap& mainArchive = {}) {
        const qint64 uspd = insert("USPD", {{"uspd_name", name}});
        const std::pair<const char*, const QVariantMap&> rows[] = {
            {"Headline", flags}, {"ShortArchive", shortArchive}, {"MainArchive", mainArchive}};
        for (const auto& [table, values] : rows) {
            if (!values.isEmpty()) {
                QVariantMap row = values;
                row.insert("id_uspd", uspd);
                insert(table, row);
            }
        }
        return uspd;
    }
    void sql(const QString& statement) { testing::execSql(*files.connection, statement); }
    // Every row of `statement`: columns joined by '/', rows by blanks.
    QString rows(const QString& statement) {
        QSqlQuery query(files.connection->database());
        EXPECT_TRUE(query.exec(statement)) << statement.toStdString();
        QStringList result;
        while (query.next()) {
            QStringList columns;
            for (int i = 0; i < query.record().count(); ++i)
                columns.append(query.isNull(i) ? QStringLiteral("NULL")
                                               : query.value(i).toString());
            result.append(columns.join(u'/'));
        }
        return result.join(u' ');
    }
    // Makes `uspd` current and opens its datasets, as opening it in the program does.
    void open(qint64 uspd) {
        dm.tblUSPD.open();
        ASSERT_TRUE(dm.tblUSPD.locate(u"id_uspd", uspd));
        dm.openDatasets();
        dm.refreshModuleLists();
    }
    QString imagePath() const { return files.dir.filePath("config.dat"); }

    // Compiles into imagePath().
    CompileResult compile(RecordedProgress& progress, CompileOptions options = {}) {
        options.imagePath = imagePath();
        return ConfigCompiler(dm).compile(options, progress);
    }
    CompileResult compile() {
        RecordedProgress progress;
        return compile(progress);
    }
    // The image file read back; fails the test unless the file holds the bytes of the image
    // the compilation returned.
    Image writtenImage(const CompileResult& result) {
        const QByteArray bytes = readFile(imagePath());
        EXPECT_EQ(bytes.toHex(' '), encodeImage(result.image).toHex(' '));
        const DecodedImage decoded = decodeImage(bytes);
        EXPECT_EQ(decoded.error, QString());
        EXPECT_EQ(decoded.warnings, QStringList());
        return decoded.image.value_or(Image{});
    }

    testing::TempStore files;
    TDataModule1 dm;
};

// A USPD with every kind of object, created in an order that differs from the image's and
// with stale positions, counts and numbers everywhere; a smaller USPD before it.
struct RichUspd {
    qint64 other;
    qint64 uspd;
    qint64 line;   // interface on port 1, created second
    qint64 modem;  // interface on port 2, created first
    qint64 m1, m2, m3;
};

RichUspd addRichUspd(Store& s) {
    RichUspd r;
    r.other =
        s.addUspd("Склад", {{"led_enable", 1}}, {{"short_records", 16}}, {{"main_records", 32}});
    const qint64 otherIface = s.insert(
        "SpecInterFace", {{"id_uspd", r.other}, {"port", 4}, {"id_iface", 3}, {"col_device", 5}});
    const qint64 otherModule = s.insert("SpecDevice", {{"id_uspd", r.other},
                                                       {"id_iface_s", otherIface},
                                                       {"id_iface", 2},
                                                       {"id_device_p", 4},
                                                       {"col_dchannel", 8}});
    s.insert("SpecDChannel", {{"id_uspd", r.other},
                              {"id_device", otherModule},
                              {"id_device_p", 4},
                              {"id_dchannel_p", 6},
                              {"type_num", "E7"}});

    r.uspd = s.addUspd(
        "Котельная №1",
        {{"need_short_int", 1},
         {"need_main_int", 1},
         {"led_enable", 1},
         {"intchan_enable", 1},
         {"callback", 1}},
        {{"short_time_min", 3}, {"short_records", 304}, {"arcchannel", 9}},
        {{"main_time_min", 30}, {"main_records", 1024}, {"initial_base", 77}, {"arcchannel", 0}});
    r.modem = s.insert("SpecInterFace", {{"id_uspd", r.uspd},
                                         {"port", 2},
                                         {"t_iface", 3},
                                         {"baud", 5},
                                         {"data", 8},
                                         {"parity", 0},
                                         {"stop", 1.0},
                                         {"DTR_enable", 1},
                                         {"initstring", "AT&F Модем"},
                                         {"id_iface", 7},
                                         {"col_device", 0}});
    r.line = s.insert("SpecInterFace", {{"id_uspd", r.uspd},
                                        {"port", 1},
                                        {"t_iface", 1},
                                        {"baud", 4},
                                        {"data", 7},
                                        {"parity", 2},
                                        {"stop", 2.0},
                                        {"DTR_enable", 0},
                                        {"id_iface", 7},
                                        {"col_device", 9}});
    r.m1 = s.insert("SpecDevice", {{"id_uspd", r.uspd},
                                   {"id_iface_s", r.line},
                                   {"id_iface", 5},
                                   {"t_device", 17},
                                   {"fullname", "Ввод, на COM1, №1"},
                                   {"n_on_iface", 1},
                                   {"t_pool", 1000},
                                   {"to_answer", 500},
                                   {"to_byte_receive", 20},
                                   {"t_start", 3000},
                                   {"col_achannel", 4},
                                   {"col_aochannel", 2},
                                   {"col_dchannel", 8},
                                   {"col_nichannel", 2},
                                   {"col_dochannel", 0},
                                   {"col_kvna", 0},
                                   {"fl_retrans", 0},
                                   {"password", "Пароль12"},
                                   {"id_device_p", 7}});
    r.m2 = s.insert("SpecDevice", {{"id_uspd", r.uspd},
                                   {"id_iface_s", r.modem},
                                   {"id_iface_s2", r.line},
                                   {"id_iface2", 9},
                                   {"n_on_iface2", 5},
                                   {"fl_retrans", 1},
                                   {"t_device", 0},
                                   {"n_on_iface", 2},
                                   {"num_mod", -1},
                                   {"t_pool", 250},
                                   {"to_answer", 300},
                                   {"to_byte_receive", 10},
                                   {"col_dchannel", 16},
                                   {"col_dochannel", 4},
                                   {"col_kvna", 2},
                                   {"col_nichannel", 200},
                                   {"id_device_p", 7}});
    r.m3 = s.insert("SpecDevice", {{"id_uspd", r.uspd},
                                   {"id_iface_s", r.line},
                                   {"t_device", 23},
                                   {"num_mod", 3},
                                   {"n_on_iface", 3},
                                   {"col_achannel", 0},
                                   {"col_dchannel", 0},
                                   {"col_nichannel", 0}});

    const QVariantMap board{{"id_uspd", r.uspd},
                            {"id_device", 0},
                            {"t_device", 15},
                            {"num_iface", -1},
                            {"numdevice", -1}};
    const auto on = [&](qint64 module, QVariantMap row) {
        row.insert("id_uspd", r.uspd);
        row.insert("id_device", module);
        row.insert("id_device_p", 9);
        return row;
    };
    const auto onBoard = [&](QVariantMap row) {
        row.insert(board);
        return row;
    };
    s.insert("SpecEmDChannel", onBoard({{"jingle_time", 10000},
                                        {"n_channel", 1},
                                        {"invers", 1},
                                        {"cbevent", 2},
                                        {"callback", 1},
                                        {"type_num", "K5"},
                                        {"id_dchannel_p", 4}}));
    s.insert("SpecEmDChannel", onBoard({{"jingle_time", 0}, {"n_channel", 2}}));
    s.insert("SpecDChannel",
             on(r.m1, {{"n_channel", 3}, {"cbevent", 1}, {"callback", 1}, {"type_num", "E9"}}));
    s.insert("SpecDChannel", on(r.m2, {{"n_channel", 16}, {"invers", 1}, {"type_num", "E9"}}));
    s.insert("SpecDChannel", on(r.m1, {{"n_channel", 4}, {"type_num", "E9"}}));
    s.insert("SpecEmDOChannel", onBoard({{"n_channel", 2}, {"type_num", "R3"}}));
    s.insert("SpecDOChannel", on(r.m2, {{"n_channel", 1}, {"type_num", "L4"}}));
    s.insert("SpecDOChannel", on(r.m2, {{"n_channel", 4}, {"type_num", "L4"}}));
    s.insert("SpecKBHA", on(r.m2, {{"n_channel", 2}, {"type_num", "B2"}, {"n_u_measure", "м³"}}));
    s.insert("SpecAChannel", on(r.m1, {{"min_code", 3.5},
                                       {"max_code", 4095.0},
                                       {"min_value", -0.1},
                                       {"max_value", 100.0},
                                       {"emerg_val", -1.0},
                                       {"coef_corr", 1.0000001},
                                       {"hi_lim", 95.5},
                                       {"lo_lim", 0.25},
                                       {"act_corr", 3},
                                       {"n_channel", 1},
                                       {"st_filter", 1},
                                       {"W", 5},
                                       {"t_transf", 2},
                                       {"archive", 1},
                                       {"marchive", 0},
                                       {"callback", 1},
                                       {"t_device", 6},
                                       {"name", "Давление"},
                                       {"type_num", "G7"}}));
    s.insert("SpecAChannel", on(r.m1, {{"min_code", 2.5},
                                       {"max_code", 1000.4},
                                       {"max_value", 1e6},
                                       {"emerg_val", 0.0},
                                       {"coef_corr", 1.0},
                                       {"act_corr", 0},
                                       {"n_channel", 2},
                                       {"archive", 0},
                                       {"marchive", 1},
                                       {"t_device", 1},
                                       {"type_num", "G7"}}));
    s.insert("SpecAChannel", on(r.m1, {{"emerg_val", 0.0},
                                       {"coef_corr", 1.0},
                                       {"act_corr", 0},
                                       {"n_channel", 3},
                                       {"archive", 1},
                                       {"type_num", "G7"}}));
    s.insert(
        "SpecNIChannel",
        on(r.m1, {{"coef_corr", 0.001}, {"act_corr", 4}, {"n_channel", 7}, {"type_num", "C5"}}));
    s.insert("SpecNIChannel",
             on(r.m2, {{"coef_corr", 2.5}, {"act_corr", 0}, {"n_channel", 1}, {"type_num", "C5"}}));
    s.insert("CallbackPhone", {{"id_uspd", r.uspd}, {"phonenum", "+74951234567"}});
    s.insert("CallbackPhone", {{"id_uspd", r.uspd}, {"phonenum", "8495доб12"}});
    return r;
}

// The SQL of a check and the rows it gives: what the rich USPD's rows hold after a
// compilation, and the other USPD's untouched rows.
struct RowsCheck {
    const char* sql;
    const char* rows;
};
const RowsCheck kRenumberedRich[] = {
    {"SELECT port, id_iface, col_device FROM SpecInterFace WHERE id_uspd=2 ORDER BY port",
     "1/0/2 2/1/1"},
    {"SELECT id_device_p, id_iface, id_iface2 FROM SpecDevice WHERE id_uspd=2 ORDER BY id_device",
     "0/0/NULL 1/1/0 2/0/NULL"},
    {"SELECT type_num, id_dchannel_p FROM SpecEmDChannel ORDER BY id_dchannel", "K1/0 K2/1"},
    {"SELECT type_num, id_dchannel_p, id_device_p FROM SpecDChannel WHERE id_uspd=2 "
     "ORDER BY id_dchannel",
     "E1/0/0 E2/1/1 E3/2/0"},
    {"SELECT type_num, id_dochannel_p FROM SpecEmDOChannel", "R1/0"},
    {"SELECT type_num, id_dochannel_p, id_device_p FROM SpecDOChannel ORDER BY id_dochannel",
     "L1/0/1 L2/1/1"},
    {"SELECT type_num, id_kvna_p, id_device_p FROM SpecKBHA", "B1/0/1"},
    {"SELECT type_num, id_achannel_p, id_device_p FROM SpecAChannel ORDER BY id_achannel",
     "G1/0/0 G2/1/0 G3/2/0"},
    {"SELECT type_num, id_nichannel_p, id_device_p FROM SpecNIChannel ORDER BY id_nichannel",
     "C1/0/0 C2/1/1"},
    {"SELECT arcchannel FROM ShortArchive WHERE id_uspd=2 UNION ALL "
     "SELECT arcchannel FROM MainArchive WHERE id_uspd=2",
     "2 2"},
    {"SELECT i.id_iface, i.col_device, d.id_iface, d.id_device_p, c.type_num, c.id_dchannel_p, "
     "c.id_device_p FROM SpecInterFace i, SpecDevice d, SpecDChannel c WHERE i.id_uspd=1 AND "
     "d.id_uspd=1 AND c.id_uspd=1",
     "3/5/2/4/E7/6/4"},
};

// A failed compilation's result: the compiler shows nothing itself, and its caller shows
// the one message box `expected`.
void expectFailure(testing::TestPlatform& test, const CompileResult& result, const Box& expected) {
    EXPECT_EQ(result.outcome, CompileResult::Outcome::Failed);
    EXPECT_EQ(result.message, expected.text);
    EXPECT_EQ(test.messages.shown(), std::vector<Box>{});
    test.messages.expectNotice(expected.text);
    result.showFailure(test.messages);
    EXPECT_EQ(test.messages.shown(), std::vector<Box>{expected});
}

class Compiler : public ::testing::Test {
protected:
    Compiler() : rich(addRichUspd(store)) { store.open(rich.uspd); }

    // Compiles, expecting the failure shown in the one message box `text` of `kind` and
    // `caption`.
    CompileResult compileFailing(BoxKind kind, const QString& text, const QString& caption,
                                 RecordedProgress& progress, const CompileOptions& options = {}) {
        CompileResult result = store.compile(progress, options);
        expectFailure(test, result, {kind, text, caption});
        TDataModule1& dm = store.dm;
        for (Dataset* dataset : std::initializer_list<Dataset*>{
                 &dm.tblSpecInterFace, &dm.tblSpecDevice, &dm.tblSpecAChannel, &dm.tblSpecDChannel,
                 &dm.tblSpecDOChannel, &dm.tblSpecKBHA, &dm.tblSpecNIChannel, &dm.tblSpecEmDChannel,
                 &dm.tblSpecEmDOChannel}) {
            EXPECT_FALSE(dataset->displaySuspended()) << dataset->name().toStdString();
            EXPECT_EQ(dataset->state(), Dataset::State::Browse) << dataset->name().toStdString();
        }
        // Every module is shown again, whatever stage the failure stopped.
        EXPECT_EQ(store.dm.tblSpecDevice.recordCount(), 3);
        return result;
    }

    testing::TestPlatform test;
    Store store{test};
    RichUspd rich;
};

TEST_F(Compiler, RenumbersTheStoreInImageOrder) {
    const CompileResult result = store.compile();
    ASSERT_EQ(result.outcome, CompileResult::Outcome::Written);
    for (const RowsCheck& check : kRenumberedRich)
        EXPECT_EQ(store.rows(check.sql), check.rows) << check.sql;
    // The image refers to the rows by the positions written into the store.
    const Image image = store.writtenImage(result);
    EXPECT_EQ(image.interfaces[0].port, 1);
    EXPECT_EQ(image.modules[1].id_iface, 1);
    EXPECT_EQ(image.modules[1].id_iface2, 0);
    EXPECT_EQ(image.discreteInputs[1].id_device_p, 1);
    EXPECT_EQ(result.size, QFile(store.imagePath()).size());
}

TEST_F(Compiler, RichUspdRoundTrip) {
    const CompileResult result = store.compile();
    ASSERT_EQ(result.outcome, CompileResult::Outcome::Written);
    const Image image = store.writtenImage(result);
    // Texts come back from their code pages as they were typed.
    EXPECT_EQ(image.interfaces[1].initstring, QStringLiteral("AT&F Модем"));
    EXPECT_EQ(image.modules[0].password, QStringLiteral("Пароль12"));
    EXPECT_EQ(image.phones[1].phonenum, QStringLiteral("8495доб12"));
    const QString dump = dumpImage(image);
    EXPECT_EQ(dump, dumpImage(result.image));
    EXPECT_EQ(dump, goldenText("compile_rich.dump", dump));
}

TEST_F(Compiler, AgainChangesNothing) {
    ASSERT_TRUE(store.compile().succeeded());
    const QByteArray first = readFile(store.imagePath());
    QStringList rows;
    for (const RowsCheck& check : kRenumberedRich)
        rows.append(store.rows(check.sql));
    ASSERT_TRUE(store.compile().succeeded());
    EXPECT_EQ(readFile(store.imagePath()), first);
    for (size_t i = 0; i < std::size(kRenumberedRich); ++i)
        EXPECT_EQ(store.rows(kRenumberedRich[i].sql), rows[int(i)]);
}

// A clone holds a copy of every row of the USPD, its modules on the copies of its
// interfaces and its channels on the copies of its modules, and compiles to the same image.
TEST_F(Compiler, ACloneCompilesToTheSameImage) {
    const qint64 clone = cloneUspd(store.dm.ADOConnection1, int(rich.uspd));
    const QString c = QString::number(clone);
    EXPECT_EQ(store.rows("SELECT uspd_name FROM USPD WHERE id_uspd=" + c),
              QStringLiteral("Котельная №1 (копия)"));
    for (const char* table :
         {"SpecInterFace", "SpecDevice", "SpecAChannel", "SpecNIChannel", "SpecDChannel",
          "SpecDOChannel", "SpecKBHA", "SpecEmDChannel", "SpecEmDOChannel", "Headline",
          "ShortArchive", "MainArchive", "CallbackPhone"}) {
        const QString count = QStringLiteral("SELECT count(*) FROM %1 WHERE id_uspd=").arg(table);
        EXPECT_EQ(store.rows(count + c), store.rows(count + QString::number(rich.uspd))) << table;
    }
    EXPECT_EQ(store.rows("SELECT count(*) FROM SpecDevice d JOIN SpecInterFace i ON "
                         "i.id_iface_s=d.id_iface_s WHERE d.id_uspd=" +
                         c + " AND i.id_uspd=" + c),
              "3");
    EXPECT_EQ(store.rows("SELECT i.port FROM SpecDevice d JOIN SpecInterFace i ON "
                         "i.id_iface_s=d.id_iface_s2 WHERE d.id_uspd=" +
                         c + " AND i.id_uspd=" + c),
              "1");
    for (const char* table :
         {"SpecAChannel", "SpecNIChannel", "SpecDChannel", "SpecDOChannel", "SpecKBHA"}) {
        EXPECT_EQ(store.rows(QStringLiteral("SELECT count(*) FROM %1 x LEFT JOIN SpecDevice d ON "
                                            "d.id_device=x.id_device AND d.id_uspd=%2 WHERE "
                                            "x.id_uspd=%2 AND d.id_device IS NULL")
                                 .arg(table, c)),
                  "0")
            << table;
    }

    ASSERT_TRUE(store.compile().succeeded());
    const QByteArray original = readFile(store.imagePath());
    store.dm.tblUSPD.close();  // read again: the clone was stored behind its back
    store.open(clone);
    ASSERT_TRUE(store.compile().succeeded());
    EXPECT_EQ(readFile(store.imagePath()).toHex(' '), original.toHex(' '));
}

// A clone that cannot be made leaves the store as it was.
TEST_F(Compiler, ARefusedCloneAddsNothing) {
    const QString uspds = QStringLiteral("SELECT count(*) FROM USPD");
    const QString before = store.rows(uspds);
    EXPECT_EQ(testing::storeErrorOf([&] { cloneUspd(store.dm.ADOConnection1, 999); }),
              QStringLiteral("В базе нет УСПД с id_uspd 999."));
    EXPECT_FALSE(testing::storeErrorOf([&] {
                     cloneUspd(store.dm.ADOConnection1, int(rich.uspd), QString(51, u'Я'));
                 }).isEmpty());
    EXPECT_EQ(store.rows(uspds), before);
    // A name cut to fit: the whole clone name holds 50 characters.
    EXPECT_EQ(cloneName(QString(50, u'Я')), QString(42, u'Я') + QStringLiteral(" (копия)"));
}

// Records what the controls bound to a dataset are told.
class ChangeLog : public DatasetObserver {
public:
    void datasetChanged(Dataset&, const DatasetChange& change) override {
        changes.append(QStringLiteral("%1:%2").arg(change.kind).arg(change.row));
    }
    QStringList changes;
};

// The values of `field` in the rows of `dataset`.
QStringList values(Dataset& dataset, QStringView field) {
    QStringList result;
    for (int row = 0; row < dataset.rowCount(); ++row)
        result.append(valueAsString(dataset.value(row, dataset.fieldIndex(field))));
    return result;
}

QStringList distinct(QStringList list) {
    list.removeDuplicates();
    return list;
}

TEST_F(Compiler, EditorsAreToldOnceAndShowTheFirstRenumberedRow) {
    store.dm.tblSpecAChannel.next();
    ASSERT_EQ(distinct(values(store.dm.DNAChannel, u"id_tdevice")), QStringList{"1"});
    ASSERT_EQ(values(store.dm.DNIDevice, u"id_iface"), (QStringList{"5", ""}));
    ChangeLog log;
    store.dm.tblSpecDChannel.addObserver(&log);
    RecordedProgress progress;
    ASSERT_TRUE(store.compile(progress).succeeded());
    store.dm.tblSpecDChannel.removeObserver(&log);
    // Only the resumed display: reset, state, current row 0.
    EXPECT_EQ(log.changes, (QStringList{"0:-1", "5:-1", "4:0"}));
    EXPECT_EQ(store.dm.tblSpecDChannel.recordNumber(), 1);
    EXPECT_EQ(store.dm.tblSpecDChannel.fieldByName(u"TYPE_NUM").asString(), "E1");
    EXPECT_EQ(store.dm.tblSpecDevice.recordCount(), 3);
    EXPECT_EQ(progress.events, wholeRun());
    // The module lists show the renumbered modules; the template lists follow the rows
    // now current.
    EXPECT_EQ(values(store.dm.DNIDevice, u"id_iface"), (QStringList{"0", "0"}));
    EXPECT_EQ(distinct(values(store.dm.DNAChannel, u"id_tdevice")), QStringList{"6"});
}

TEST_F(Compiler, PendingRowsArePartOfTheImage) {
    Dataset& interfaces = store.dm.tblSpecInterFace;
    interfaces.append();
    interfaces.fieldByName(u"PORT").setAsInteger(3);
    interfaces.fieldByName(u"BAUD").setAsInteger(8);
    store.dm.tblHeadline.edit();
    store.dm.tblHeadline.fieldByName(u"LED_ENABLE").setAsInteger(0);

    const CompileResult result = store.compile();
    ASSERT_TRUE(result.succeeded());
    const Image image = store.writtenImage(result);
    ASSERT_EQ(image.interfaces.size(), 3);
    EXPECT_EQ(image.interfaces[2].port, 3);
    EXPECT_EQ(image.interfaces[2].speed, 115200);
    EXPECT_EQ(image.header.led_enable, 0);
    EXPECT_EQ(store.rows("SELECT led_enable FROM Headline WHERE id_uspd=2"), "0");
}

TEST_F(Compiler, ReadyFileGoesOnWithTheFileAsItIs) {
    for (const bool present : {true, false}) {
        if (present)
            writeFile(store.imagePath(), "old");
        RecordedProgress progress;
        CompileOptions options;
        options.readyFile = true;
        const CompileResult result = store.compile(progress, options);
        EXPECT_EQ(result.outcome, CompileResult::Outcome::ReadyFile);
        EXPECT_EQ(progress.events, (QStringList{"max 13", "at 11"}));
        EXPECT_EQ(QFile::exists(store.imagePath()), present);
        if (present) {
            EXPECT_EQ(readFile(store.imagePath()), "old");
        }
        EXPECT_EQ(store.rows("SELECT type_num FROM SpecDChannel WHERE id_uspd=2"), "E9 E9 E9");
        EXPECT_EQ(store.rows("SELECT id_iface FROM SpecInterFace WHERE id_uspd=2"), "7 7");
        QFile::remove(store.imagePath());
    }
}

TEST(CompilerFailures, EmptyValueOfAStrictFieldStopsAtItsRow) {
    const struct {
        const char* empty;     // empties a field of the first row of its kind (%1: module m3)
        const char* numbered;  // the kind's numbers: the first row's renumbered, the rest not
        int stage;             // the progress bar where the compilation stopped
    } cases[] = {
        {"UPDATE SpecAChannel SET emerg_val=NULL WHERE id_achannel=1", "G1 G7 G7", 9},
        {"UPDATE SpecAChannel SET coef_corr=NULL WHERE id_achannel=1", "G1 G7 G7", 9},
        {"UPDATE SpecAChannel SET act_corr=NULL WHERE id_achannel=1", "G1 G7 G7", 9},
        {"UPDATE SpecNIChannel SET coef_corr=NULL WHERE id_nichannel=1", "C1 C5", 10},
        {"UPDATE SpecNIChannel SET act_corr=NULL WHERE id_nichannel=1", "C1 C5", 10},
        {"UPDATE SpecNIChannel SET n_channel=NULL WHERE id_nichannel=1", "C1 C5", 10},
        // A counting input of a module without counting inputs keeps its own id_device_p.
        {"UPDATE SpecNIChannel SET id_device_p=NULL, id_device=%1 WHERE id_nichannel=1", "C1 C5",
         10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.empty);
        testing::TestPlatform caseTest;
        Store s(caseTest);
        const RichUspd r = addRichUspd(s);
        const QString empty = QString::fromUtf8(c.empty);
        s.sql(empty.contains(u'%') ? empty.arg(r.m3) : empty);
        s.open(r.uspd);
        writeFile(s.imagePath(), "old");

        RecordedProgress progress;
        const CompileResult result = s.compile(progress);
        expectFailure(caseTest, result, {BoxKind::Error, kInvalidConversion, "Ошибка"});
        EXPECT_EQ(progress.position(), c.stage);
        EXPECT_EQ(readFile(s.imagePath()), "old");
        for (Dataset* dataset :
             std::initializer_list<Dataset*>{&s.dm.tblSpecAChannel, &s.dm.tblSpecNIChannel,
                                             &s.dm.tblSpecInterFace, &s.dm.tblSpecDevice}) {
            EXPECT_FALSE(dataset->displaySuspended()) << dataset->name().toStdString();
        }
        EXPECT_EQ(s.dm.tblSpecDevice.recordCount(), 3);
        // What was renumbered before the row stays.
        const QString table = c.stage == 9 ? "SpecAChannel" : "SpecNIChannel";
        const QString key = c.stage == 9 ? "id_achannel" : "id_nichannel";
        EXPECT_EQ(s.rows("SELECT type_num FROM " + table + " ORDER BY " + key), c.numbered);
        EXPECT_EQ(s.rows("SELECT type_num FROM SpecDChannel WHERE id_uspd=2"), "E1 E2 E3");
        EXPECT_EQ(s.rows("SELECT arcchannel FROM ShortArchive WHERE id_uspd=2"), "9");
    }
}

TEST_F(Compiler, UnwritableImageFileEndsTheCompilationAfterTheRenumbering) {
    RecordedProgress progress;
    const QString path = store.files.dir.filePath("missing/config.dat");
    const CompileResult result =
        ConfigCompiler(store.dm).compile({.readyFile = false, .imagePath = path}, progress);
    // The box names the file and gives the system's reason on a line of its own.
    EXPECT_EQ(result.message, kFileNotOpened + QStringLiteral(": ") + path);
    ASSERT_FALSE(result.reason.isEmpty());
    test.messages.expectNotice(result.message + QStringLiteral("\n") + result.reason);
    result.showFailure(test.messages);
    EXPECT_EQ(test.messages.shown().back().kind, BoxKind::Information);
    EXPECT_EQ(progress.position(), 12);
    EXPECT_FALSE(QFile::exists(path));
    for (const RowsCheck& check : kRenumberedRich)
        EXPECT_EQ(store.rows(check.sql), check.rows) << check.sql;
    EXPECT_FALSE(store.dm.tblSpecDChannel.displaySuspended());
}

TEST_F(Compiler, LongPhoneNumberIsRefusedBeforeAnythingChanges) {
    store.insert("CallbackPhone", {{"id_uspd", rich.uspd}, {"phonenum", "8-495-1234567"}});
    const QString before = store.rows("SELECT type_num, id_device_p FROM SpecDChannel");
    RecordedProgress progress;
    compileFailing(BoxKind::Warning,
                   "Номер обратного вызова «8-495-1234567» длиннее 12 символов и не помещается "
                   "в конфигурацию УСПД. Сократите номер и повторите запись.",
                   "Ошибка", progress);
    EXPECT_EQ(progress.events, QStringList{"max 13"});
    EXPECT_FALSE(QFile::exists(store.imagePath()));
    EXPECT_EQ(store.rows("SELECT type_num, id_device_p FROM SpecDChannel"), before);
    EXPECT_EQ(store.rows("SELECT id_iface FROM SpecInterFace WHERE id_uspd=2"), "7 7");
}

TEST_F(Compiler, PhoneNumberInTheRefusalIsEscapedAndCut) {
    if (testing::storesOnServer())
        GTEST_SKIP() << "a server keeps text within its column's width: no such number is stored";
    store.insert("CallbackPhone",
                 {{"id_uspd", rich.uspd}, {"phonenum", "8\n" + QString(100'000, u'9')}});
    RecordedProgress progress;
    compileFailing(BoxKind::Warning,
                   "Номер обратного вызова «8\\x0a99999999999999999999999999999999999999…» "
                   "длиннее 12 символов и не помещается в конфигурацию УСПД. Сократите номер и "
                   "повторите запись.",
                   "Ошибка", progress);
}

// type_num holds a letter and four digits: a kind's 10000th channel cannot be numbered.
TEST_F(Compiler, MoreChannelsOfAKindThanTheirNumbersHoldAreRefusedBeforeAnythingChanges) {
    store.sql(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                             "WHERE i < 9996) INSERT INTO SpecAChannel (id_uspd, id_device, "
                             "emerg_val, coef_corr, act_corr) SELECT %1, %2, 0, 1, 0 FROM n")
                  .arg(rich.uspd)
                  .arg(rich.m1));
    // 9996 and the rich USPD's 3: every channel still has its number.
    const CompileResult numbered = store.compile();
    ASSERT_TRUE(numbered.succeeded()) << numbered.message.toStdString();
    EXPECT_EQ(store.rows("SELECT max(type_num) FROM SpecAChannel WHERE type_num LIKE 'G9%'"),
              "G9999");

    store.insert("SpecAChannel", {{"id_uspd", rich.uspd},
                                  {"id_device", rich.m1},
                                  {"emerg_val", 0},
                                  {"coef_corr", 1},
                                  {"act_corr", 0}});
    store.sql("UPDATE SpecInterFace SET id_iface=7");
    const QString before = store.rows("SELECT count(*), sum(id_achannel_p) FROM SpecAChannel");
    RecordedProgress progress;
    compileFailing(BoxKind::Warning,
                   "У УСПД 10000 каналов в таблице SpecAChannel, а номер канала (type_num) не "
                   "бывает больше G9999: каналов одного вида может быть не больше 9999. Удалите "
                   "лишние каналы и повторите запись.",
                   "Ошибка", progress);
    EXPECT_EQ(store.rows("SELECT count(*), sum(id_achannel_p) FROM SpecAChannel"), before);
    EXPECT_EQ(store.rows("SELECT id_iface FROM SpecInterFace WHERE id_uspd=2"), "7 7");
}

TEST_F(Compiler, RunningOutOfMemoryEndsOnlyTheCompilation) {
    class Exhausted : public RecordedProgress {
    public:
        void step() override { throw std::bad_alloc(); }
    } progress;
    compileFailing(BoxKind::Information, "No enough memory", "", progress);
    EXPECT_FALSE(QFile::exists(store.imagePath()));
}

// 0 is a key like any other: such a USPD is opened and compiled.
TEST(CompilerKeys, AUspdWithTheKeyZeroCompiles) {
    testing::TestPlatform test;
    Store store(test);
    store.insert("USPD", {{"id_uspd", 0}, {"uspd_name", "Нулевой"}});
    store.insert("SpecInterFace", {{"id_uspd", 0}, {"port", 1}, {"baud", 4}});
    store.insert("SpecEmDChannel", {{"id_uspd", 0}, {"t_device", 15}, {"n_channel", 3}});
    store.open(0);
    const CompileResult result = store.compile();
    ASSERT_EQ(result.outcome, CompileResult::Outcome::Written) << result.message.toStdString();
    const Image image = store.writtenImage(result);
    EXPECT_EQ(image.interfaces.size(), 1);
    EXPECT_EQ(image.onboardInputs.size(), 1);
    EXPECT_EQ(store.rows("SELECT type_num FROM SpecEmDChannel WHERE id_uspd=0"), "K1");
    EXPECT_EQ(store.rows("SELECT count(*) FROM Headline WHERE id_uspd=0"), "1");
}

TEST_F(Compiler, RefusesWithoutACurrentUspd) {
    store.dm.tblUSPD.close();
    expectFailure(
        test, store.compile(),
        {BoxKind::Warning, "Не открыт ни один УСПД: откройте УСПД и повторите запись.", "Ошибка"});
    EXPECT_FALSE(QFile::exists(store.imagePath()));
}

// Small stores for the edge cases of the image and the renumbering; each compiles into a
// checked-in dump (bytes for the empty USPD, where the layout is the point).
struct EdgeCase {
    const char* name;
    std::function<void(Store&, qint64 uspd)> fill;
    QVariantMap flags;
    QVariantMap shortArchive;
    QVariantMap mainArchive;
};

const EdgeCase kEdgeCases[] = {
    {"empty", [](Store&, qint64) {}, {}, {}, {}},
    // Modules keep the interface positions they had.
    {"no_interfaces",
     [](Store& s, qint64 uspd) {
         s.insert("SpecDevice", {{"id_uspd", uspd}, {"id_iface", 5}, {"n_on_iface", 1}});
         s.insert("SpecDevice", {{"id_uspd", uspd}, {"id_iface", 7}, {"n_on_iface", 2}});
     },
     {{"callback", 1}},
     {{"short_records", 300}},
     {}},
    // Port 1 comes first; speed codes 0 and 9 give no speed; stop 1.5 is 2; a second
    // interface that names no interface keeps the module's id_iface2.
    {"interfaces_by_port",
     [](Store& s, qint64 uspd) {
         const qint64 three = s.insert("SpecInterFace", {{"id_uspd", uspd},
                                                         {"port", 3},
                                                         {"t_iface", 3},
                                                         {"baud", 9},
                                                         {"data", 8},
                                                         {"stop", 1.5},
                                                         {"initstring", "ATZ Модем"}});
         const qint64 one = s.insert(
             "SpecInterFace",
             {{"id_uspd", uspd}, {"port", 1}, {"baud", 0}, {"stop", 1.0}, {"DTR_enable", 1}});
         s.insert("SpecDevice", {{"id_uspd", uspd},
                                 {"id_iface_s", three},
                                 {"id_iface_s2", 999},
                                 {"id_iface2", 4},
                                 {"n_on_iface", 1}});
         s.insert(
             "SpecDevice",
             {{"id_uspd", uspd}, {"id_iface_s", one}, {"id_iface_s2", three}, {"n_on_iface", 2}});
     },
     {},
     {},
     {}},
    // Discrete inputs 7, 9 and 12 are E1 to E3; the module without discrete inputs is left
    // out of col_dmod, and its input keeps the id_device_p it had.
    {"channels_by_key",
     [](Store& s, qint64 uspd) {
         const qint64 eight = s.insert("SpecDevice", {{"id_uspd", uspd}, {"col_dchannel", 8}});
         const qint64 sixteen = s.insert("SpecDevice", {{"id_uspd", uspd}, {"col_dchannel", 16}});
         const qint64 none = s.insert("SpecDevice", {{"id_uspd", uspd}, {"col_dchannel", 0}});
         const std::tuple<int, qint64, int> inputs[] = {
             {12, none, 1}, {7, sixteen, 2}, {9, eight, 3}};
         for (const auto& [key, module, channel] : inputs) {
             s.insert("SpecDChannel", {{"id_dchannel", key},
                                       {"id_uspd", uspd},
                                       {"id_device", module},
                                       {"id_device_p", 6},
                                       {"n_channel", channel},
                                       {"type_num", "E5"}});
         }
     },
     {},
     {},
     {}},
    // Archived inputs count in both blocks, marchive nowhere; the main base wraps.
    {"archives",
     [](Store& s, qint64 uspd) {
         const qint64 module = s.insert("SpecDevice", {{"id_uspd", uspd}, {"col_achannel", 3}});
         for (const auto& [archive, marchive] : {std::pair{1, 0}, {0, 1}, {1, 1}}) {
             s.insert("SpecAChannel", {{"id_uspd", uspd},
                                       {"id_device", module},
                                       {"archive", archive},
                                       {"marchive", marchive},
                                       {"emerg_val", 0.0},
                                       {"coef_corr", 1.0},
                                       {"act_corr", 0}});
         }
     },
     {{"need_short_int", 1}, {"need_main_int", 1}},
     {{"short_time_min", 1}, {"short_records", 40000}},
     {{"main_time_min", 60}, {"main_records", 2048}, {"initial_base", 500}}},
    // Rows with nothing but their owner: every empty value compiles as 0 or "".
    {"blank_values",
     [](Store& s, qint64 uspd) {
         const qint64 iface = s.insert("SpecInterFace", {{"id_uspd", uspd}});
         const qint64 module = s.insert("SpecDevice", {{"id_uspd", uspd},
                                                       {"id_iface_s", iface},
                                                       {"col_achannel", 1},
                                                       {"col_nichannel", 1},
                                                       {"col_dchannel", 1},
                                                       {"col_dochannel", 1},
                                                       {"col_kvna", 1}});
         for (const char* table :
              {"SpecEmDChannel", "SpecEmDOChannel", "SpecDChannel", "SpecDOChannel", "SpecKBHA"}) {
             s.insert(table, {{"id_uspd", uspd}, {"id_device", module}});
         }
         s.insert("SpecAChannel", {{"id_uspd", uspd},
                                   {"id_device", module},
                                   {"emerg_val", 0.0},
                                   {"coef_corr", 0.0},
                                   {"act_corr", 0}});
         s.insert("SpecNIChannel", {{"id_uspd", uspd},
                                    {"id_device", module},
                                    {"coef_corr", 0.0},
                                    {"act_corr", 0},
                                    {"n_channel", 0}});
         s.insert("CallbackPhone", {{"id_uspd", uspd}});
     },
     {{"id_hline", 1}},
     {{"id_sh_arc", 1}},
     {{"id_mn_arc", 1}}},
};

// Stores the edge case's USPD and opens it.
void openEdgeCase(Store& store, const EdgeCase& c) {
    const qint64 uspd = store.addUspd("УСПД", c.flags, c.shortArchive, c.mainArchive);
    c.fill(store, uspd);
    store.open(uspd);
}

TEST(CompilerEdgeCases, CompileIntoTheirGoldenImages) {
    for (const EdgeCase& c : kEdgeCases) {
        SCOPED_TRACE(c.name);
        testing::TestPlatform test;
        Store store(test);
        openEdgeCase(store, c);
        RecordedProgress progress;
        const CompileResult result = store.compile(progress);
        ASSERT_EQ(result.outcome, CompileResult::Outcome::Written);
        EXPECT_EQ(progress.events, wholeRun());
        const Image image = store.writtenImage(result);
        if (QLatin1String(c.name) == "empty") {
            EXPECT_EQ(readFile(store.imagePath()).toHex(' '),
                      goldenBytes("compile_empty.hex", image).toHex(' '));
            // The flag and archive rows the USPD lacked, given by opening their datasets.
            EXPECT_EQ(store.rows("SELECT count(*) FROM Headline"), "1");
        } else {
            const QString dump = dumpImage(image);
            EXPECT_EQ(dump, goldenText(QStringLiteral("compile_%1.dump").arg(c.name), dump));
        }
    }
}

TEST(CompilerEdgeCases, RenumberingOfTheEdgeCasesInTheStore) {
    const std::pair<const char*, QStringList> expected[] = {
        {"no_interfaces", {"SELECT id_iface, id_device_p FROM SpecDevice", "5/0 7/1"}},
        {"interfaces_by_port",
         {"SELECT port, id_iface, col_device FROM SpecInterFace ORDER BY port", "1/0/1 3/1/1",
          "SELECT id_iface, id_iface2 FROM SpecDevice ORDER BY id_device", "1/4 0/1"}},
        {"channels_by_key",
         {"SELECT id_dchannel, type_num, id_dchannel_p, id_device_p FROM SpecDChannel ORDER BY 1",
          "7/E1/0/1 9/E2/1/0 12/E3/2/6"}},
        {"archives",
         {"SELECT arcchannel FROM ShortArchive UNION ALL SELECT arcchannel FROM "
          "MainArchive",
          "2 2"}},
    };
    for (const auto& [caseName, checks] : expected) {
        // A structured binding cannot be captured by every compiler the checks run.
        const char* name = caseName;
        SCOPED_TRACE(name);
        const EdgeCase& c =
            *std::find_if(std::begin(kEdgeCases), std::end(kEdgeCases),
                          [&](const EdgeCase& e) { return qstrcmp(e.name, name) == 0; });
        testing::TestPlatform test;
        Store store(test);
        openEdgeCase(store, c);
        ASSERT_TRUE(store.compile().succeeded());
        for (qsizetype i = 0; i < checks.size(); i += 2)
            EXPECT_EQ(store.rows(checks[i]), checks[i + 1]) << checks[i].toStdString();
    }
}

// Rows of `sql` as text that a failed check prints readably.
std::string rows(Store& store, const QString& sql) {
    return store.rows(sql).toStdString();
}

// Importing the image of the current USPD of `store` makes a new USPD that compiles to the
// same bytes; returns the new USPD, opened.
qint64 expectImportCompilesTheSame(Store& store) {
    EXPECT_TRUE(store.compile().succeeded());
    const QByteArray original = readFile(store.imagePath());
    const QString uspds = QStringLiteral("SELECT count(*) FROM USPD");
    const int before = store.rows(uspds).toInt();
    const ImportedImage imported = importImage(store.dm, original, "config.dat");
    EXPECT_EQ(imported.warnings, QStringList());
    EXPECT_EQ(store.rows(uspds).toInt(), before + 1);
    EXPECT_EQ(store.dm.currentUspd(), imported.uspd);
    store.open(imported.uspd);
    EXPECT_TRUE(store.compile().succeeded());
    EXPECT_EQ(readFile(store.imagePath()).toHex(' '), original.toHex(' '));
    return imported.uspd;
}

TEST(ImageImport, EveryEdgeCaseCompilesBackToItsBytes) {
    for (const EdgeCase& c : kEdgeCases) {
        SCOPED_TRACE(c.name);
        testing::TestPlatform test;
        Store store(test);
        openEdgeCase(store, c);
        expectImportCompilesTheSame(store);
    }
}

// The rich USPD comes back with what the image cannot carry rebuilt as the editors make it:
// modules on the new interfaces with their full names, channels on the new modules with
// their identity, the editors' channel names.
TEST_F(Compiler, AnImportedRichUspdCompilesBackToItsBytes) {
    const qint64 imported = expectImportCompilesTheSame(store);
    const QString u = QString::number(imported);
    EXPECT_EQ(rows(store, "SELECT uspd_name, enterprise FROM USPD WHERE id_uspd=" + u),
              "config.dat/NULL");
    EXPECT_EQ(rows(store,
                   "SELECT i.port, d.n_on_iface, d.fullname, d.fl_retrans, d.password, "
                   "(SELECT port FROM SpecInterFace WHERE id_iface_s=d.id_iface_s2) "
                   "FROM SpecDevice d JOIN SpecInterFace i ON i.id_iface_s=d.id_iface_s "
                   "WHERE d.id_uspd=" +
                       u + " ORDER BY d.id_device"),
              std::string("1/1/Прибор учета-1, на COM1, №1/0/Пароль12/NULL "
                          "2/2/Не выбран, на COM2, №2/1/NULL/1 "
                          "1/3/Модемный-1, на COM1, №3/0/NULL/NULL"));
    EXPECT_EQ(rows(store,
                   "SELECT c.type_num, c.name, d.n_on_iface, c.t_device, c.num_iface, "
                   "c.numdevice FROM SpecDChannel c JOIN SpecDevice d ON "
                   "d.id_device=c.id_device WHERE c.id_uspd=" +
                       u + " ORDER BY c.id_dchannel"),
              std::string("E1/Дискретный вход УСО/1/17/0/1 E2/Дискретный вход УСО/2/0/1/2 "
                          "E3/Дискретный вход УСО/1/17/0/1"));
    EXPECT_EQ(rows(store,
                   "SELECT count(*) FROM SpecAChannel c JOIN SpecDevice d ON "
                   "d.id_device=c.id_device WHERE d.n_on_iface=1 AND c.id_uspd=" +
                       u),
              "3");
    EXPECT_EQ(rows(store,
                   "SELECT id_device, num_iface, numdevice, t_device FROM SpecEmDChannel "
                   "WHERE id_uspd=" +
                       u),
              "0/-1/-1/15 0/-1/-1/15");
    EXPECT_EQ(
        store.rows("SELECT baud, stop FROM SpecInterFace WHERE id_uspd=" + u + " ORDER BY port"),
        "4/2 5/1");
}

// The test images of the format: the empty one and the one with every record kind, as the
// device would be given them, come back byte for byte.
TEST(ImageImport, TheFormatsFixturesCompileBackToTheirBytes) {
    for (const auto& [name, image] :
         {std::pair{"empty", testing::emptyImage()}, std::pair{"full", testing::fullImage()}}) {
        SCOPED_TRACE(name);
        testing::TestPlatform test;
        Store store(test);
        const QByteArray bytes = encodeImage(image);
        const ImportedImage imported = importImage(store.dm, bytes, "config.dat");
        EXPECT_EQ(imported.warnings, QStringList());
        store.open(imported.uspd);
        ASSERT_TRUE(store.compile().succeeded());
        EXPECT_EQ(readFile(store.imagePath()).toHex(' '), bytes.toHex(' '));
    }
}

// What a store cannot say: values the compiler derives come out derived, a speed without
// a code as no speed, interfaces in port order. Each case changes the full image and says
// what its import compiles to instead.
TEST(ImageImport, WhatTheStoreCannotSayComesBackAsTheCompilerMakesIt) {
    struct Case {
        const char* name;
        std::function<void(Image&)> change;
        std::function<void(Image&)> compiled;  // from the full image
    };
    const auto unchanged = [](Image&) {};
    const Case cases[] = {
        {"main archive base", [](Image& i) { i.mainArchive.base = 7; }, unchanged},
        {"archived inputs", [](Image& i) { i.shortArchive.arcchannel = 9; }, unchanged},
        {"modules per interface", [](Image& i) { i.interfaces[0].col_device = 4; }, unchanged},
        {"modules with discrete inputs", [](Image& i) { i.header.col_dmod = 5; }, unchanged},
        {"largest discrete input count", [](Image& i) { i.header.max_dchan = 1; }, unchanged},
        {"a speed no code gives", [](Image& i) { i.interfaces[0].speed = 300; },
         [](Image& i) { i.interfaces[0].speed = 0; }},
        {"interfaces out of port order",
         [](Image& i) { std::swap(i.interfaces[0].port, i.interfaces[1].port); },
         [](Image& i) {
             std::swap(i.interfaces[0].port, i.interfaces[1].port);
             std::swap(i.interfaces[0], i.interfaces[1]);
             i.modules[0].id_iface = 1;
             i.modules[1].id_iface = 0;
             i.modules[1].id_iface2 = 1;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::TestPlatform test;
        Store store(test);
        Image changed = testing::fullImage();
        c.change(changed);
        Image expected = testing::fullImage();
        c.compiled(expected);
        const ImportedImage imported = importImage(store.dm, encodeImage(changed), "config.dat");
        store.open(imported.uspd);
        const CompileResult result = store.compile();
        ASSERT_TRUE(result.succeeded());
        EXPECT_EQ(dumpImage(result.image), dumpImage(expected));
    }
}

// A file that is not an image, or an image the store cannot hold, adds nothing and leaves
// the USPD that was open current, its lists read again.
TEST_F(Compiler, ARefusedImportAddsNothing) {
    const QByteArray whole = encodeImage(testing::fullImage());
    Image unstorable = testing::fullImage();
    unstorable.onboardInputs[0].jingle_time = 20000;
    const std::pair<const char*, QByteArray> files[] = {
        {"text", QByteArray("not an image")},
        {"cut short", whole.left(whole.size() - 1)},
        {"too long", whole + '\0'},
        {"jingle time the store refuses", encodeImage(unstorable)},
    };
    const QString count = QStringLiteral(
        "SELECT (SELECT count(*) FROM USPD) || '/' || (SELECT count(*) FROM SpecInterFace) || "
        "'/' || (SELECT count(*) FROM SpecDevice) || '/' || (SELECT count(*) FROM "
        "SpecEmDChannel) || '/' || (SELECT count(*) FROM Headline)");
    const QString before = store.rows(count);
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        const DecodedImage decoded = decodeImage(bytes);
        const QString error = testing::storeErrorOf(
            [&, &data = bytes] { importImage(store.dm, data, "config.dat"); });
        EXPECT_FALSE(error.isEmpty());
        if (!decoded.error.isEmpty()) {
            EXPECT_EQ(error, decoded.error);
        }
        EXPECT_EQ(store.rows(count), before);
        EXPECT_EQ(store.dm.currentUspd(), rich.uspd);
        EXPECT_EQ(store.dm.tblSpecDevice.recordCount(), 3);
        EXPECT_EQ(store.dm.tblUSPD.recordCount(), 2);
    }
}

// orvet-cli compile runs the same compiler on a store file.
class CompileCommand : public Compiler {
protected:
    int run(const QStringList& args) { return runCli(QStringList{"compile"} + args, &out, &err); }
    QString output() const { return store.files.dir.filePath("out.dat"); }

    QString out;
    QString err;
};

TEST_F(CompileCommand, CompilesTheChosenUspdAndSummarisesTheImage) {
    const QStringList args{"--store", store.files.path(), "--output", output()};
    ASSERT_EQ(run(args + QStringList{"--uspd", QString::number(rich.uspd)}), 0)
        << err.toStdString();
    EXPECT_EQ(err, QString());
    const qint64 size = QFile(output()).size();
    EXPECT_EQ(out, QStringLiteral("%1: %2 bytes; iface 2, device 3, emdchan 2, dchan 3, "
                                  "emdochan 1, dochan 2, kbhachan 1, achan 3, nichan 2, phone 2\n")
                       .arg(output())
                       .arg(size));
    for (const RowsCheck& check : kRenumberedRich)
        EXPECT_EQ(store.rows(check.sql), check.rows) << check.sql;
    // The same image as the program's own compilation of the renumbered store.
    ASSERT_TRUE(store.compile().succeeded());
    EXPECT_EQ(readFile(output()), readFile(store.imagePath()));

    // Without --uspd: the USPD with the smallest id_uspd.
    ASSERT_EQ(run(args), 0) << err.toStdString();
    EXPECT_TRUE(
        out.endsWith("iface 1, device 1, emdchan 0, dchan 1, emdochan 0, dochan 0, "
                     "kbhachan 0, achan 0, nichan 0, phone 0\n"))
        << out.toStdString();
}

TEST_F(CompileCommand, FailuresPrintTheMessageAndWriteNoFile) {
    const QStringList args{"--store", store.files.path(), "--output", output()};
    store.sql("UPDATE SpecAChannel SET emerg_val=NULL WHERE id_achannel=2");
    EXPECT_EQ(run(args + QStringList{"--uspd", QString::number(rich.uspd)}), 1);
    EXPECT_EQ(err, "orvet-cli compile: Ошибка: Invalid variant type conversion\n");
    EXPECT_EQ(out, QString());
    EXPECT_FALSE(QFile::exists(output()));

    const QString unwritable = store.files.dir.filePath("missing/out.dat");
    EXPECT_EQ(run({"--store", store.files.path(), "--output", unwritable}), 1);
    EXPECT_TRUE(err.startsWith("orvet-cli compile: Файл не удается открыть: " + unwritable + "\n"))
        << err.toStdString();

    // A FIFO (or a device) is not replaced by the image: as root, "--output /dev/null"
    // would have replaced the system's /dev/null.
    const QString fifo = store.files.dir.filePath("fifo.dat");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(run({"--store", store.files.path(), "--output", fifo}), 1);
    EXPECT_EQ(err, QStringLiteral("orvet-cli compile: Файл не удается открыть: %1\norvet-cli "
                                  "compile: «%1» не является обычным файлом\n")
                       .arg(fifo));
    EXPECT_FALSE(QFileInfo(fifo).isFile());
    EXPECT_TRUE(QFileInfo::exists(fifo));

    EXPECT_EQ(run(args + QStringList{"--uspd", "99"}), 1);
    EXPECT_EQ(err, "orvet-cli compile: в базе конфигурации нет УСПД с id_uspd 99\n");

    const QString absent = store.files.dir.filePath("absent.db");
    EXPECT_EQ(run({"--store", absent, "--output", output()}), 1);
    EXPECT_EQ(
        err,
        QStringLiteral("orvet-cli compile: файл базы конфигурации «%1» не найден\n").arg(absent));
    EXPECT_FALSE(QFile::exists(absent));
    EXPECT_FALSE(QFile::exists(output()));

    EXPECT_EQ(run({"--uspd"}), 2);
    EXPECT_EQ(run({"--uspd", "first"}), 2);
    EXPECT_EQ(run({"--verbose", "1"}), 2);
}

// orvet-cli import-image stores an image as a new USPD, also in a store without any.
TEST(ImportImageCommand, StoresTheImageAsANewUspdOrRefusesTheFile) {
    testing::TestPlatform test;
    Store store(test);
    const QString image = store.files.dir.filePath("device.dat");
    const QByteArray bytes = encodeImage(testing::fullImage());
    writeFile(image, bytes);
    QString out;
    QString err;
    ASSERT_EQ(runCli({"import-image", "--store", store.files.path(), image}, &out, &err), 0)
        << err.toStdString();
    EXPECT_EQ(err, QString());
    EXPECT_EQ(out, "USPD 1: device.dat\n");
    store.open(1);
    ASSERT_TRUE(store.compile().succeeded());
    EXPECT_EQ(readFile(store.imagePath()).toHex(' '), bytes.toHex(' '));

    const QString notImage = store.files.dir.filePath("notes.txt");
    writeFile(notImage, "not an image");
    EXPECT_EQ(runCli({"import-image", "--store", store.files.path(), notImage}, &out, &err), 1);
    EXPECT_EQ(err, QStringLiteral("orvet-cli import-image: %1: %2\n")
                       .arg(notImage, decodeImage("not an image").error));
    EXPECT_EQ(out, QString());
    EXPECT_EQ(store.rows("SELECT count(*) FROM USPD"), "1");

    const QString absent = store.files.dir.filePath("absent.dat");
    EXPECT_EQ(runCli({"import-image", "--store", store.files.path(), absent}, &out, &err), 1);
    EXPECT_TRUE(err.startsWith(
        QStringLiteral("orvet-cli import-image: файл «%1» не прочитан: ").arg(absent)))
        << err.toStdString();
    EXPECT_EQ(runCli({"import-image", "--store", store.files.path()}, &out, &err), 2);
}

}  // namespace
}  // namespace orvet
