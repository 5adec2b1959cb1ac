#include <gtest/gtest.h>

#include <QStringList>

#include "editing/channel_fill.h"
#include "editing/config_check.h"
#include "support/store_rig.h"
#include "support/store_test_support.h"

namespace orvet {
namespace {

using testing::execSql;
using Severity = Finding::Severity;

// A USPD the check finds nothing in: an RS485 interface on COM2, an "Аналог-8" module on it
// with its inputs 0 and 1 (G1, G2), the on-board input 0 (K1), callback off, no phones. Its
// image is 60 + 32 + 60 + 40 + 2 × 48 + 16 = 304 bytes.
class ConfigCheck : public ::testing::Test {
protected:
    ConfigCheck() {
        uspd = rig.addUspd(QStringLiteral("Котельная"));
        data.openDatasets();  // gives the USPD its Headline row
        sql("insert into SpecInterFace (id_iface_s, port, t_iface, baud, initstring, id_uspd) "
            "values (10, 2, 2, 4, 'ATZ', %1)");
        sql("insert into SpecDevice (id_device, t_device, id_iface_s, n_on_iface, fullname, "
            "password, id_uspd) values (20, 1, 10, 1, 'Аналог-8, на COM2, №1', '', %1)");
        for (int n : {0, 1}) {
            execSql(data.ADOConnection1,
                    QStringLiteral(
                        "insert into SpecAChannel (id_achannel, id_achannel_p, type_num, "
                        "id_device, name, n_channel, t_device, min_code, max_code, min_value, "
                        "max_value, act_corr, coef_corr, emerg_val, id_uspd) values (%1, %2, "
                        "'G%3', 20, 'Давление', %2, 1, 0, 4095, 0, 100, 4, 1.5, 0, %4)")
                        .arg(30 + n)
                        .arg(n)
                        .arg(n + 1)
                        .arg(uspd));
        }
        sql("insert into SpecEmDChannel (id_dchannel, id_dchannel_p, type_num, id_device, name, "
            "n_channel, t_device, id_uspd) values (40, 0, 'K1', 0, 'Дверь', 0, 15, %1)");
    }

    // Runs `text` with the USPD's id_uspd in place of %1.
    void sql(const QString& text) {
        execSql(data.ADOConnection1, text.contains(QStringLiteral("%1")) ? text.arg(uspd) : text);
    }
    void sql(const char* text) { sql(QString::fromUtf8(text)); }

    testing::StoreRig rig;
    TDataModule1& data = *rig.data;
    int uspd = 0;
};

TEST_F(ConfigCheck, ACleanUspdHasNoFindings) {
    // Another USPD's mistakes are not this one's.
    execSql(data.ADOConnection1,
            QStringLiteral("insert into SpecDevice (id_device, t_device, id_iface_s, n_on_iface, "
                           "id_uspd) values (90, 99, 77, 1, %1)")
                .arg(uspd + 1));
    execSql(data.ADOConnection1,
            QStringLiteral("insert into CallbackPhone (phonenum, id_uspd) values ('', %1)")
                .arg(uspd + 1));

    const QList<Finding> findings = checkConfiguration(data, 255);
    QStringList texts;
    for (const Finding& finding : findings)
        texts << finding.text();
    EXPECT_TRUE(findings.isEmpty()) << texts.join(u'\n').toStdString();
    EXPECT_FALSE(hasErrors(findings));
    // 304 bytes in 255 blocks of 2 bytes fit.
    EXPECT_TRUE(checkConfiguration(data, 2).isEmpty());
}

// Channels made by the module editor's fill are what the check expects, but for the value
// range of the analog inputs (0..0), which the engineer still has to set.
TEST_F(ConfigCheck, FilledChannelsPassTheCheck) {
    sql("insert into SpecDevice (id_device, t_device, id_iface_s, n_on_iface, fullname, "
        "password, col_achannel, col_dchannel, col_aochannel, col_dochannel, id_uspd) values "
        "(21, 6, 10, 2, 'Смешанный, на COM2, №2', '', 4, 4, 2, 2, %1)");
    for (Dataset* dataset : {static_cast<Dataset*>(&data.tblSpecDevice),
                             static_cast<Dataset*>(&data.tblSpecAChannel)}) {
        dataset->close();
        dataset->open();
    }
    ASSERT_TRUE(data.tblSpecDevice.locate(u"id_device", 21));
    BulkProgress progress;
    ASSERT_EQ(fillModuleChannels(data, progress).created.size(), 10);

    const QList<Finding> findings = checkConfiguration(data, 255);
    QStringList texts;
    for (const Finding& finding : findings) {
        if (finding.problem != QStringLiteral("нижняя граница значения не меньше верхней"))
            texts << finding.text();
    }
    EXPECT_TRUE(texts.isEmpty()) << texts.join(u'\n').toStdString();
    EXPECT_EQ(findings.size(), 4);
    EXPECT_FALSE(hasErrors(findings));
}

// One planted mistake per case: the check finds exactly it, on the right row.
struct Planted {
    const char* name;
    QStringList statements;  // %1: the USPD's id_uspd
    Severity severity;
    const char* table;
    int key;
    const char* object;   // a part of the finding's object
    const char* problem;  // a part of its problem
    int pakLen = 255;
};

TEST_F(ConfigCheck, EachPlantedMistakeIsFoundOnItsRow) {
    const auto s = [](const char* text) { return QString::fromUtf8(text); };
    const Planted cases[] = {
        {"two modules with one number on an interface",
         {s("insert into SpecDevice (id_device, t_device, id_iface_s, n_on_iface, fullname, "
            "id_uspd) values (21, 0, 10, 1, 'Второй', %1)")},
         Severity::Error,
         "SpecDevice",
         21,
         "модуль Второй",
         "номер 1 на интерфейсе COM2 уже занят модулем Аналог-8, на COM2, №1"},
        {"a module on a deleted interface",
         {s("update SpecDevice set id_iface_s=99 where id_device=20")},
         Severity::Error,
         "SpecDevice",
         20,
         "модуль Аналог-8, на COM2, №1",
         "интерфейс модуля удалён"},
        {"a module without an interface",
         {s("insert into SpecDevice (id_device, t_device, id_iface_s, n_on_iface, id_uspd) "
            "values (21, 0, 0, 2, %1)")},
         Severity::Error,
         "SpecDevice",
         21,
         "модуль №2 (id_device 21)",
         "интерфейс не выбран"},
        {"a module type missing from TypeDevice",
         {s("insert into SpecDevice (id_device, t_device, id_iface_s, n_on_iface, fullname, "
            "id_uspd) values (21, 99, 10, 2, 'Странный', %1)")},
         Severity::Error,
         "SpecDevice",
         21,
         "модуль Странный",
         "тип модуля 99 не описан"},
        {"a channel of no module",
         {s("update SpecAChannel set id_device=77 where id_achannel=31")},
         Severity::Error,
         "SpecAChannel",
         31,
         "канал G2 «Давление»",
         "канал не привязан к модулю"},
        {"a channel number the module type lacks",
         {s("update SpecAChannel set n_channel=8 where id_achannel=31")},
         Severity::Error,
         "SpecAChannel",
         31,
         "канал G2",
         "у модуля типа «Аналог-8» нет канала номер 8"},
        {"an on-board channel number the board lacks",
         {s("update SpecEmDChannel set n_channel=50 where id_dchannel=40")},
         Severity::Error,
         "SpecEmDChannel",
         40,
         "канал K1 «Дверь»",
         "у модуля типа «Плата УСПД» нет канала номер 50"},
        {"two channels on one module channel",
         {s("update SpecAChannel set n_channel=0 where id_achannel=31")},
         Severity::Error,
         "SpecAChannel",
         31,
         "канал G2",
         "канал номер 0 модуля модуль Аналог-8, на COM2, №1 задан дважды"},
        {"numbering with a gap",
         {s("delete from SpecAChannel where id_achannel=30")},
         Severity::Warning,
         "SpecAChannel",
         31,
         "канал G2",
         "нумерация каналов не сплошная"},
        {"a type_num that does not follow the position",
         {s("update SpecEmDChannel set type_num='K7' where id_dchannel=40")},
         Severity::Warning,
         "SpecEmDChannel",
         40,
         "канал K7",
         "нумерация каналов не сплошная"},
        {"an analog input with fields the image cannot do without left empty",
         {s("update SpecAChannel set emerg_val=null, act_corr=null where id_achannel=31")},
         Severity::Error,
         "SpecAChannel",
         31,
         "канал G2",
         "не заполнены поля emerg_val, act_corr"},
        {"a code range upside down",
         {s("update SpecAChannel set min_code=4095, max_code=0 where id_achannel=30")},
         Severity::Error,
         "SpecAChannel",
         30,
         "канал G1",
         "нижняя граница кода не меньше верхней"},
        {"an empty value range",
         {s("update SpecAChannel set min_value=100 where id_achannel=30")},
         Severity::Warning,
         "SpecAChannel",
         30,
         "канал G1",
         "нижняя граница значения не меньше верхней"},
        {"an analog input divided by zero",
         {s("update SpecAChannel set coef_corr=0 where id_achannel=31")},
         Severity::Error,
         "SpecAChannel",
         31,
         "канал G2",
         "коррекция делением на коэффициент 0"},
        {"a counting input divided by zero",
         {s("insert into SpecDevice (id_device, t_device, id_iface_s, n_on_iface, fullname, "
            "id_uspd) values (21, 5, 10, 2, 'Счетчик-4, на COM2, №2', %1)"),
          s("insert into SpecNIChannel (id_nichannel, id_nichannel_p, type_num, id_device, "
            "name, n_channel, t_device, act_corr, coef_corr, id_uspd) values (60, 0, 'C1', 21, "
            "'Вода', 0, 5, 4, 0, %1)")},
         Severity::Error,
         "SpecNIChannel",
         60,
         "канал C1 «Вода»",
         "коррекция делением на коэффициент 0"},
        {"a callback phone over 12 characters",
         {s("insert into CallbackPhone (id_phone, phonenum, id_uspd) values (50, "
            "'8 912 345 6789', %1)")},
         Severity::Error,
         "CallbackPhone",
         50,
         "телефон обратного вызова «8 912 345 6789»",
         "номер длиннее 12 символов"},
        {"an empty callback phone",
         {s("insert into CallbackPhone (id_phone, phonenum, id_uspd) values (50, '', %1)")},
         Severity::Error,
         "CallbackPhone",
         50,
         "телефон обратного вызова",
         "номер телефона пуст"},
        {"a phone the OEM code page cannot hold",
         {s("insert into CallbackPhone (id_phone, phonenum, id_uspd) values (50, '8€123', %1)")},
         Severity::Error,
         "CallbackPhone",
         50,
         "«8€123»",
         "символы, которые УСПД получит как «?»"},
        {"a password the OEM code page cannot hold",
         {s("update SpecDevice set password='ключ€' where id_device=20")},
         Severity::Error,
         "SpecDevice",
         20,
         "модуль Аналог-8",
         "в пароле есть символы"},
        {"an initialisation string the ANSI code page cannot hold",
         {s("update SpecInterFace set initstring='AT☎' where id_iface_s=10")},
         Severity::Warning,
         "SpecInterFace",
         10,
         "интерфейс COM2",
         "в строке инициализации есть символы"},
        {"callback without a modem on COM1",
         {s("update Headline set callback=1 where id_uspd=%1"),
          s("insert into CallbackPhone (id_phone, phonenum, id_uspd) values (50, '123', %1)")},
         Severity::Error,
         "Headline",
         0,
         "обратный вызов",
         "интерфейса типа AT-Modem на COM1 нет"},
        {"callback with a modem on COM1 but no phone",
         {s("update Headline set callback=1 where id_uspd=%1"),
          s("insert into SpecInterFace (id_iface_s, port, t_iface, id_uspd) values "
            "(11, 1, 3, %1)")},
         Severity::Warning,
         "Headline",
         0,
         "обратный вызов",
         "телефонов нет"},
        {"an image of more than 255 blocks",
         {},
         Severity::Error,
         "",
         0,
         "конфигурация",
         "образ конфигурации (304 байт) не помещается в 255 блоков по 1 байт",
         1},
    };
    for (const Planted& planted : cases) {
        SCOPED_TRACE(planted.name);
        execSql(data.ADOConnection1, QStringLiteral("begin"));
        for (const QString& statement : planted.statements)
            sql(statement);

        const QList<Finding> findings = checkConfiguration(data, planted.pakLen);
        ASSERT_EQ(findings.size(), 1) << findings.value(0).text().toStdString();
        const Finding& found = findings.front();
        EXPECT_EQ(found.severity, planted.severity);
        EXPECT_EQ(found.table, QString::fromLatin1(planted.table));
        EXPECT_EQ(found.key, planted.key);
        EXPECT_TRUE(found.object.contains(QString::fromUtf8(planted.object)))
            << found.object.toStdString();
        EXPECT_TRUE(found.problem.contains(QString::fromUtf8(planted.problem)))
            << found.problem.toStdString();
        EXPECT_FALSE(found.advice.isEmpty());
        EXPECT_EQ(hasErrors(findings), planted.severity == Severity::Error);

        execSql(data.ADOConnection1, QStringLiteral("rollback"));
    }
}

TEST_F(ConfigCheck, AFindingReadsAsOneLine) {
    sql("update SpecAChannel set coef_corr=0 where id_achannel=30");
    const QList<Finding> findings = checkConfiguration(data, 255);
    ASSERT_EQ(findings.size(), 1);
    EXPECT_EQ(findings.front().text(),
              QStringLiteral("ошибка: канал G1 «Давление»: коррекция делением на коэффициент 0; "
                             "задайте коэффициент коррекции, отличный от нуля"));
}

}  // namespace
}  // namespace orvet
