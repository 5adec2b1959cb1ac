#include "editing/config_check.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <tuple>

#include "core/code_page.h"
#include "image/image.h"
#include "image/image_records.h"
#include "store/channel_kinds.h"
#include "store/data_module.h"
#include "store/store_error.h"

namespace orvet {
namespace {

constexpr int kOnboardType = 15;
constexpr int kModemInterface = 3;  // TypeIface key of the AT modem
constexpr int kCom1 = 1;            // Port key of COM1
constexpr int kMaxBlocks = 255;     // the block number is one byte
constexpr int kMaxPhones = 127;     // the phone count byte is handled as signed
constexpr int kDivide = 4;          // act_corr: divide by coef_corr

// Fields of analog and counting inputs that the compiler refuses to take empty.
constexpr std::array<const char*, 3> kAnalogRequired = {"emerg_val", "coef_corr", "act_corr"};
constexpr std::array<const char*, 3> kCountingRequired = {"n_channel", "act_corr", "coef_corr"};

// A channel kind as the check sees it: its NChannels kind (t_channel), its image record size
// and how its rows are named.
struct KindInfo {
    const ChannelKind* kind;
    int templateKind;
    int recordSize;
};

const KindInfo kKinds[] = {
    {&kOnboardInputs, 2, EmDChannelRec::size},   {&kDiscreteInputs, 2, DChannelRec::size},
    {&kOnboardOutputs, 4, EmDOChannelRec::size}, {&kDiscreteOutputs, 4, DOChannelRec::size},
    {&kKbhaChannels, 3, KBHARec::size},          {&kAnalogInputs, 1, AChannelRec::size},
    {&kCountingInputs, 5, NIChannelRec::size},
};

// Runs `sql` and gives each row to `row`. Throws StoreError when the store refuses it.
template <typename F>
void forEachRow(TDataModule1& data, const QString& sql, F row) {
    QSqlQuery query(data.ADOConnection1.database());
    query.setForwardOnly(true);
    if (!query.exec(sql))
        throw engineError(query.lastError());
    while (query.next())
        row(query);
}

int intOf(const QSqlQuery& query, const char* field) {
    return query.value(QString::fromLatin1(field)).toInt();
}

QString textOf(const QSqlQuery& query, const char* field) {
    return query.value(QString::fromLatin1(field)).toString();
}

// Whether the code page holds every character of `text` (the others become '?').
bool fitsCodePage(const QString& text, CodePage page) {
    const QByteArray bytes = toCodePage(text, page);
    return bytes.count('?') == text.count(u'?');
}

struct Module {
    int id = 0;
    int type = 0;
    QString object;
};

class Checker {
public:
    Checker(TDataModule1& data, int pakLen)
        : data_(data), uspd_(QString::number(data.currentUspd())), pakLen_(pakLen) {}

    QList<Finding> run() {
        readTypes();
        checkInterfaces();
        checkModules();
        for (const KindInfo& kind : kKinds)
            checkChannels(kind);
        checkCallback();
        checkImageSize();
        return findings_;
    }

private:
    void add(Finding::Severity severity, const QString& table, const QString& keyField, int key,
             const QString& object, const QString& problem, const QString& advice) {
        findings_.append({severity, table, keyField, key, object, problem, advice});
    }

    QString perUspd(const QString& table, const QString& order = {}) const {
        QString sql =
            QStringLiteral("select * from ") + table + QStringLiteral(" where id_uspd=") + uspd_;
        if (!order.isEmpty())
            sql += QStringLiteral(" order by ") + order;
        return sql;
    }

    void readTypes() {
        forEachRow(data_, QStringLiteral("select * from TypeDevice"), [this](const QSqlQuery& q) {
            auto& counts = typeCounts_[intOf(q, "key")];
            counts[1] = intOf(q, "col_achannel");
            counts[2] = intOf(q, "col_dchannel");
            counts[3] = intOf(q, "col_kvna");
            counts[4] = intOf(q, "col_dochannel");
            counts[5] = intOf(q, "col_nichannel");
            typeNames_[intOf(q, "key")] = textOf(q, "t_device");
        });
        forEachRow(data_, QStringLiteral("select id_tdevice, n_chan, t_channel from NChannels"),
                   [this](const QSqlQuery& q) {
                       templates_.insert(
                           {intOf(q, "id_tdevice"), intOf(q, "t_channel"), intOf(q, "n_chan")});
                       templateKinds_.insert({intOf(q, "id_tdevice"), intOf(q, "t_channel")});
                   });
        forEachRow(data_, QStringLiteral("select key, portname from Port"),
                   [this](const QSqlQuery& q) { ports_[intOf(q, "key")] = textOf(q, "portname"); });
    }

    QString portName(int port) const {
        const auto found = ports_.find(port);
        return found != ports_.end() ? found->second : QStringLiteral("порт %1").arg(port);
    }

    void checkInterfaces() {
        const QString table = QStringLiteral("SpecInterFace");
        const QString keyField = QStringLiteral("id_iface_s");
        forEachRow(data_, perUspd(table, QStringLiteral("port")), [&](const QSqlQuery& q) {
            ++interfaceCount_;
            const int id = intOf(q, "id_iface_s");
            const int port = intOf(q, "port");
            const QString object = QStringLiteral("интерфейс ") + portName(port);
            interfaces_[id] = portName(port);
            if (port == kCom1 && intOf(q, "t_iface") == kModemInterface)
                modemOnCom1_ = true;
            const QString init = textOf(q, "initstring");
            if (init.size() > IfaceRec::initstringMax) {
                add(Finding::Severity::Error, table, keyField, id, object,
                    QStringLiteral("строка инициализации модема длиннее %1 символов")
                        .arg(IfaceRec::initstringMax),
                    QStringLiteral("сократите строку инициализации"));
            } else if (!fitsCodePage(init, CodePage::Ansi)) {
                add(Finding::Severity::Warning, table, keyField, id, object,
                    QStringLiteral("в строке инициализации есть символы, которые УСПД получит "
                                   "как «?»"),
                    QStringLiteral("оставьте в строке только латиницу, кириллицу и цифры"));
            }
        });
    }

    void checkModules() {
        const QString table = QStringLiteral("SpecDevice");
        const QString keyField = QStringLiteral("id_device");
        std::map<std::pair<int, int>, QString> numbers;  // (interface, number) -> first module
        forEachRow(data_, perUspd(table, keyField), [&](const QSqlQuery& q) {
            ++moduleCount_;
            Module module;
            module.id = intOf(q, "id_device");
            module.type = intOf(q, "t_device");
            const int iface = intOf(q, "id_iface_s");
            const int number = intOf(q, "n_on_iface");
            QString name = textOf(q, "fullname");
            if (name.isEmpty())
                name = QStringLiteral("№%1 (id_device %2)").arg(number).arg(module.id);
            module.object = QStringLiteral("модуль ") + name;
            modules_[module.id] = module;

            if (!typeNames_.count(module.type)) {
                add(Finding::Severity::Error, table, keyField, module.id, module.object,
                    QStringLiteral("тип модуля %1 не описан в справочнике типов").arg(module.type),
                    QStringLiteral("выберите тип модуля из списка"));
            }
            if (!interfaces_.count(iface)) {
                add(Finding::Severity::Error, table, keyField, module.id, module.object,
                    iface == 0 ? QStringLiteral("интерфейс не выбран")
                               : QStringLiteral("интерфейс модуля удалён"),
                    QStringLiteral("выберите интерфейс, на котором стоит модуль"));
            } else {
                const auto [first, inserted] = numbers.try_emplace({iface, number}, name);
                if (!inserted) {
                    add(Finding::Severity::Error, table, keyField, module.id, module.object,
                        QStringLiteral("номер %1 на интерфейсе %2 уже занят модулем %3")
                            .arg(number)
                            .arg(interfaces_[iface], first->second),
                        QStringLiteral("дайте модулю свободный номер на интерфейсе"));
                }
            }
            const QString password = textOf(q, "password");
            if (password.size() > DeviceRec::passwordMax) {
                add(Finding::Severity::Error, table, keyField, module.id, module.object,
                    QStringLiteral("пароль длиннее %1 символов").arg(DeviceRec::passwordMax),
                    QStringLiteral("сократите пароль"));
            } else if (!fitsCodePage(password, CodePage::Oem)) {
                add(Finding::Severity::Error, table, keyField, module.id, module.object,
                    QStringLiteral("в пароле есть символы, которые УСПД получит как «?»"),
                    QStringLiteral("введите пароль латиницей, кириллицей или цифрами"));
            }
        });
    }

    // Whether a module of `type` has channel `number` of NChannels kind `templateKind`: by
    // the type's templates, or by its channel count when it has no templates of the kind.
    bool typeHasChannel(int type, int templateKind, int number) const {
        if (templateKinds_.count({type, templateKind}))
            return templates_.count({type, templateKind, number}) > 0;
        const auto counts = typeCounts_.find(type);
        const int count = counts == typeCounts_.end() ? 0 : counts->second.at(templateKind);
        return number >= 0 && number < count;
    }

    void checkChannels(const KindInfo& info) {
        const ChannelKind& kind = *info.kind;
        const QString table = QString::fromLatin1(kind.table);
        const QString keyField = QString::fromLatin1(kind.key);
        const bool onboard = kind.countColumn == nullptr;
        const bool analog = &kind == &kAnalogInputs;
        const bool counting = &kind == &kCountingInputs;
        std::set<std::pair<int, int>> used;  // (module, channel number)
        bool numberingReported = false;
        int rank = 0;
        forEachRow(data_, perUspd(table, keyField), [&](const QSqlQuery& q) {
            const int key = intOf(q, kind.key);
            const QString typeNum = textOf(q, "type_num");
            const QString object =
                QStringLiteral("канал %1 «%2»")
                    .arg(typeNum.isEmpty() ? QStringLiteral("?") : typeNum, textOf(q, "name"));
            const int number = intOf(q, "n_channel");
            const int moduleId = onboard ? 0 : intOf(q, "id_device");
            imageLength_ += info.recordSize;
            auto error = [&](const QString& problem, const QString& advice) {
                add(Finding::Severity::Error, table, keyField, key, object, problem, advice);
            };

            if (!numberingReported &&
                (intOf(q, kind.position) != rank || typeNum != channelNumber(kind, rank))) {
                numberingReported = true;
                add(Finding::Severity::Warning, table, keyField, key, object,
                    QStringLiteral("нумерация каналов не сплошная: при записи в УСПД номера "
                                   "каналов изменятся"),
                    QStringLiteral("выполните «Сжать группу каналов»"));
            }
            ++rank;

            int type = kOnboardType;
            if (!onboard) {
                const auto module = modules_.find(moduleId);
                if (module == modules_.end()) {
                    error(QStringLiteral("канал не привязан к модулю"),
                          QStringLiteral("выберите модуль канала или удалите канал"));
                    type = -1;
                } else {
                    type = module->second.type;
                }
            }
            if (type >= 0) {
                if (!typeHasChannel(type, info.templateKind, number)) {
                    const auto name = typeNames_.find(type);
                    error(QStringLiteral("у модуля типа «%1» нет канала номер %2")
                              .arg(name == typeNames_.end() ? QString::number(type) : name->second)
                              .arg(number),
                          QStringLiteral("выберите номер канала из списка"));
                }
                if (!used.insert({moduleId, number}).second) {
                    error(onboard
                              ? QStringLiteral("встроенный канал номер %1 задан дважды").arg(number)
                              : QStringLiteral("канал номер %1 модуля %2 задан дважды")
                                    .arg(number)
                                    .arg(modules_[moduleId].object),
                          QStringLiteral("выберите другой номер канала или удалите канал"));
                }
            }
            if (analog) {
                if (q.value(QStringLiteral("min_code")).toDouble() >=
                    q.value(QStringLiteral("max_code")).toDouble()) {
                    error(QStringLiteral("нижняя граница кода не меньше верхней"),
                          QStringLiteral("задайте диапазон кода от меньшего к большему"));
                }
                // The device scales by the code range only: a value range upside down or
                // empty still works, though it is rarely what is meant (a new input has 0..0).
                if (q.value(QStringLiteral("min_value")).toDouble() >=
                    q.value(QStringLiteral("max_value")).toDouble()) {
                    add(Finding::Severity::Warning, table, keyField, key, object,
                        QStringLiteral("нижняя граница значения не меньше верхней"),
                        QStringLiteral("задайте диапазон значения от меньшего к большему"));
                }
            }
            // The compiler cannot take these fields empty and stops at the row.
            if (analog || counting) {
                QStringList empty;
                for (const char* field : analog ? kAnalogRequired : kCountingRequired) {
                    if (q.value(QString::fromLatin1(field)).isNull())
                        empty << QString::fromLatin1(field);
                }
                if (!empty.isEmpty()) {
                    error(QStringLiteral("не заполнены поля %1, запись в УСПД остановится на "
                                         "этом канале")
                              .arg(empty.join(QStringLiteral(", "))),
                          QStringLiteral("заполните поля канала"));
                }
            }
            if ((analog || counting) && intOf(q, "act_corr") == kDivide &&
                q.value(QStringLiteral("coef_corr")).toDouble() == 0.0) {
                error(QStringLiteral("коррекция делением на коэффициент 0"),
                      QStringLiteral("задайте коэффициент коррекции, отличный от нуля"));
            }
        });
    }

    void checkCallback() {
        const QString table = QStringLiteral("CallbackPhone");
        const QString keyField = QStringLiteral("id_phone");
        int phones = 0;
        forEachRow(data_, perUspd(table, keyField), [&](const QSqlQuery& q) {
            ++phones;
            const int key = intOf(q, "id_phone");
            const QString phone = textOf(q, "phonenum");
            const QString object = QStringLiteral("телефон обратного вызова «%1»").arg(phone);
            if (phone.trimmed().isEmpty()) {
                add(Finding::Severity::Error, table, keyField, key, object,
                    QStringLiteral("номер телефона пуст"), QStringLiteral("удалите пустой номер"));
            } else if (phone.size() > PhoneRec::phonenumMax) {
                add(Finding::Severity::Error, table, keyField, key, object,
                    QStringLiteral("номер длиннее %1 символов").arg(PhoneRec::phonenumMax),
                    QStringLiteral("сократите номер, например без «+» и пробелов"));
            } else if (!fitsCodePage(phone, CodePage::Oem)) {
                add(Finding::Severity::Error, table, keyField, key, object,
                    QStringLiteral("в номере есть символы, которые УСПД получит как «?»"),
                    QStringLiteral("оставьте в номере только цифры"));
            }
        });
        imageLength_ += qint64(phones) * PhoneRec::size;
        if (phones > kMaxPhones) {
            add(Finding::Severity::Error, table, {}, 0, QStringLiteral("телефоны обратного вызова"),
                QStringLiteral("номеров больше %1").arg(kMaxPhones),
                QStringLiteral("удалите лишние номера"));
        }
        bool callback = false;
        forEachRow(data_, perUspd(QStringLiteral("Headline")),
                   [&](const QSqlQuery& q) { callback = callback || intOf(q, "callback") == 1; });
        if (callback && !modemOnCom1_) {
            add(Finding::Severity::Error, QStringLiteral("Headline"), {}, 0,
                QStringLiteral("обратный вызов"),
                QStringLiteral("обратный вызов включён, а интерфейса типа AT-Modem на COM1 нет"),
                QStringLiteral("добавьте модемный интерфейс на COM1 или выключите обратный "
                               "вызов"));
        }
        if (callback && phones == 0) {
            add(Finding::Severity::Warning, QStringLiteral("Headline"), {}, 0,
                QStringLiteral("обратный вызов"),
                QStringLiteral("обратный вызов включён, а телефонов нет"),
                QStringLiteral("добавьте номер телефона"));
        }
    }

    void checkImageSize() {
        imageLength_ += kImageFixedLength + qint64(interfaceCount_) * IfaceRec::size +
                        qint64(moduleCount_) * DeviceRec::size;
        if (pakLen_ < 1)
            return;  // the upload refuses such a length itself
        const qint64 blocks = (imageLength_ + pakLen_ - 1) / pakLen_;
        if (blocks > kMaxBlocks) {
            add(Finding::Severity::Error, {}, {}, 0, QStringLiteral("конфигурация"),
                QStringLiteral("образ конфигурации (%1 байт) не помещается в %2 блоков по %3 "
                               "байт")
                    .arg(imageLength_)
                    .arg(kMaxBlocks)
                    .arg(pakLen_),
                QStringLiteral("увеличьте длину пакета в параметрах связи до %1 байт или "
                               "больше")
                    .arg((imageLength_ + kMaxBlocks - 1) / kMaxBlocks));
        }
    }

    TDataModule1& data_;
    const QString uspd_;
    const int pakLen_;
    QList<Finding> findings_;
    std::map<int, std::map<int, int>> typeCounts_;  // type -> NChannels kind -> count
    std::map<int, QString> typeNames_;
    std::set<std::tuple<int, int, int>> templates_;  // (type, kind, number)
    std::set<std::pair<int, int>> templateKinds_;    // (type, kind)
    std::map<int, QString> ports_;
    std::map<int, QString> interfaces_;  // id_iface_s -> port name
    std::map<int, Module> modules_;
    bool modemOnCom1_ = false;
    int interfaceCount_ = 0;
    int moduleCount_ = 0;
    qint64 imageLength_ = 0;
};

}  // namespace

QString Finding::severityText() const {
    return severity == Severity::Error ? QStringLiteral("ошибка")
                                       : QStringLiteral("предупреждение");
}

QString Finding::text() const {
    return QStringLiteral("%1: %2: %3; %4").arg(severityText(), object, problem, advice);
}

QList<Finding> checkConfiguration(TDataModule1& data, int pakLen) {
    return Checker(data, pakLen).run();
}

bool hasErrors(const QList<Finding>& findings) {
    return std::any_of(findings.begin(), findings.end(), [](const Finding& finding) {
        return finding.severity == Finding::Severity::Error;
    });
}

}  // namespace orvet
