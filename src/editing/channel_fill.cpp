#include "editing/channel_fill.h"

#include <QHash>
#include <algorithm>
#include <deque>
#include <map>
#include <optional>
#include <utility>

#include "editing/channel_operations.h"
#include "store/channel_kinds.h"
#include "store/data_module.h"

namespace orvet {
namespace {

// The unit of a channel whose template gives none, and its short name.
constexpr int kNoUnit = 40;
const QString kNoUnitName = QStringLiteral("      ");

struct Template {
    QString description;
    int unit = 0;
    QString shortName;
};

// A kind the fill creates: the module's count of it and the kind of its templates in
// NChannels (0: the kind takes no template).
struct FilledKind {
    const ChannelKind* kind;
    const char16_t* count;
    int templateKind;
};

// In the order the fill creates them.
const FilledKind kFilledKinds[] = {
    {&kAnalogInputs, u"col_achannel", 1},   {&kCountingInputs, u"col_nichannel", 5},
    {&kDiscreteInputs, u"col_dchannel", 0}, {&kDiscreteOutputs, u"col_dochannel", 0},
    {&kKbhaChannels, u"col_kvna", 3},
};

// The templates of module type `type` and template kind `kind` whose unit Unit_Measure
// holds, by channel number (the first row of a number counts).
QHash<int, Template> templatesOf(TDataModule1& data, int type, int kind) {
    QueryDataset& query = data.qryWConfig;
    query.close();
    query.setSql(QStringLiteral("select NChannels.n_chan, NChannels.description, "
                                "NChannels.umeasure, Unit_Measure.ShortName\n"
                                "from NChannels, Unit_Measure\n"
                                "where NChannels.id_tdevice=%1 and NChannels.t_channel=%2 and "
                                "NChannels.umeasure=Unit_Measure.id_units")
                     .arg(type)
                     .arg(kind));
    query.open();
    QHash<int, Template> templates;
    for (int row = 0; row < query.recordCount(); ++row) {
        const int number = valueAsInteger(query.value(row, 0));
        if (templates.contains(number))
            continue;
        templates.insert(number,
                         {valueAsString(query.value(row, 1)), valueAsInteger(query.value(row, 2)),
                          valueAsString(query.value(row, 3))});
    }
    query.close();
    return templates;
}

// The module datasets a bulk command writes: their displays wait until it ends.
std::deque<DisplaySuspension> suspendDisplays(TDataModule1& data) {
    std::deque<DisplaySuspension> suspended;
    suspended.emplace_back(data.tblSpecDevice);
    for (const FilledKind& filled : kFilledKinds)
        suspended.emplace_back(data.*filled.kind->dataset);
    return suspended;
}

// Runs `command` as one transaction with the per-row reactions held; when it fails the
// store keeps nothing of it and the lists are read again from the store.
template <class Command>
auto allOrNothing(TDataModule1& data, Command command) {
    try {
        const std::deque<DisplaySuspension> suspended = suspendDisplays(data);
        TDataModule1::HeldReactions held = data.holdReactions();
        Connection::Transaction writes(data.ADOConnection1);
        auto result = command();
        writes.commit();
        held.catchUp();
        return result;
    } catch (...) {
        for (Dataset* list : {static_cast<Dataset*>(&data.tblSpecDevice),
                              static_cast<Dataset*>(&data.tblSpecAChannel),
                              static_cast<Dataset*>(&data.tblSpecNIChannel),
                              static_cast<Dataset*>(&data.tblSpecDChannel),
                              static_cast<Dataset*>(&data.tblSpecDOChannel),
                              static_cast<Dataset*>(&data.tblSpecKBHA)}) {
            list->close();
            list->open();
        }
        data.refreshModuleLists();
        throw;
    }
}

// The templates a command has read, by module type and template kind: a fill of all modules
// reads those of each type once.
class TemplateCache {
public:
    explicit TemplateCache(TDataModule1& data) : data_(data) {}

    const QHash<int, Template>& of(int type, int kind) {
        const auto key = std::make_pair(type, kind);
        auto found = read_.find(key);
        if (found == read_.end())
            found = read_.emplace(key, templatesOf(data_, type, kind)).first;
        return found->second;
    }

private:
    TDataModule1& data_;
    std::map<std::pair<int, int>, QHash<int, Template>> read_;
};

// The channels a fill creates for the module in `row` of the module list.
int channelsToFill(const Dataset& modules, int row) {
    int total = 0;
    for (const FilledKind& filled : kFilledKinds)
        total += std::max(0, valueAsInteger(modules.value(row, modules.fieldIndex(filled.count))));
    return total;
}

// The fill of the current module, inside a command's transaction; steps the bar once per
// channel.
QStringList fillCurrentModule(TDataModule1& data, TemplateCache& cache, BulkProgress& progress) {
    Dataset& module = data.tblSpecDevice;
    const QVariant id = module.fieldByName(u"id_device").value();
    const int type = module.fieldByName(u"t_device").asInteger();
    const int iface = module.fieldByName(u"id_iface").asInteger();
    const int number = module.fieldByName(u"n_on_iface").asInteger();

    QStringList created;
    for (const FilledKind& filled : kFilledKinds) {
        const int count = module.fieldByName(filled.count).asInteger();
        if (count <= 0)
            continue;
        const QHash<int, Template> templates =
            filled.templateKind ? cache.of(type, filled.templateKind) : QHash<int, Template>();
        Dataset& channels = data.*filled.kind->dataset;
        // The fields a new row sets, found once for the kind.
        Field name = channels.fieldByName(u"name");
        Field moduleId = channels.fieldByName(u"id_device");
        Field moduleType = channels.fieldByName(u"t_device");
        Field moduleIface = channels.fieldByName(u"num_iface");
        Field moduleNumber = channels.fieldByName(u"numdevice");
        Field channel = channels.fieldByName(u"n_channel");
        Field typeNum = channels.fieldByName(u"type_num");
        // Kinds without templates have no unit.
        std::optional<Field> unitField;
        std::optional<Field> unitName;
        if (filled.templateKind) {
            unitField = channels.fieldByName(u"u_measure");
            unitName = channels.fieldByName(u"n_u_measure");
        }
        for (int k = 0; k < count; ++k) {
            addChannel(data, *filled.kind);
            if (filled.templateKind) {
                const auto found = templates.constFind(k);
                const bool known = found != templates.constEnd();
                if (known && !found->description.isEmpty())
                    name.setAsString(found->description);
                const bool unit = known && found->unit != 0;
                unitField->setAsInteger(unit ? found->unit : kNoUnit);
                unitName->setAsString(unit ? found->shortName : kNoUnitName);
            }
            moduleId.setValue(id);
            moduleType.setAsInteger(type);
            moduleIface.setAsInteger(iface);
            moduleNumber.setAsInteger(number);
            channel.setAsInteger(k);
            created << typeNum.asString();
            progress.step();
        }
        channels.post();
    }
    return created;
}

QString fillReport(TDataModule1& data) {
    return QStringLiteral("Добавлены все каналы для ") +
           data.tblSpecDevice.fieldByName(u"TDevice").asString();
}

}  // namespace

FillResult fillModuleChannels(TDataModule1& data, BulkProgress& progress) {
    return allOrNothing(data, [&] {
        TemplateCache templates(data);
        progress.start(channelsToFill(data.tblSpecDevice, data.tblSpecDevice.currentRow()));
        return FillResult{fillReport(data), fillCurrentModule(data, templates, progress)};
    });
}

FillResult fillAllModules(TDataModule1& data, BulkProgress& progress) {
    return allOrNothing(data, [&] {
        FillResult result{QStringLiteral("Добавлены все каналы всех модулей"), {}};
        TemplateCache templates(data);
        Dataset& modules = data.tblSpecDevice;
        // One bar over the channels of every module that is filled.
        const int type = modules.fieldIndex(u"t_device");
        int total = 0;
        for (int row = 0; row < modules.recordCount(); ++row) {
            if (valueAsInteger(modules.value(row, type)) != 0)
                total += channelsToFill(modules, row);
        }
        progress.start(total);
        for (modules.first(); !modules.eof(); modules.next()) {
            if (modules.fieldByName(u"t_device").asInteger() != 0)
                result.created << fillCurrentModule(data, templates, progress);
            progress.moduleDone();
        }
        return result;
    });
}

QList<int> copyModule(TDataModule1& data, int count, BulkProgress& progress) {
    static const char16_t* const kNumbers[] = {
        u"t_device",      u"id_iface_s",   u"n_on_iface",    u"fl_retrans",      u"id_iface_s2",
        u"n_on_iface2",   u"t_pool",       u"to_answer",     u"to_byte_receive", u"t_start",
        u"col_achannel",  u"col_dchannel", u"col_aochannel", u"col_dochannel",   u"col_kvna",
        u"col_nichannel", u"num_mod"};
    static const char16_t* const kTexts[] = {u"fullname", u"password"};
    return allOrNothing(data, [&] {
        Dataset& modules = data.tblSpecDevice;
        const bool hasModule = modules.isOpen() && modules.recordCount() > 0;
        std::vector<int> numbers;
        for (const char16_t* field : kNumbers)
            numbers.push_back(hasModule ? modules.fieldByName(field).asInteger() : 0);
        QStringList texts;
        for (const char16_t* field : kTexts)
            texts << (hasModule ? modules.fieldByName(field).asString() : QString());
        progress.start(count);
        QList<int> copies;
        for (int copy = 1; copy <= count; ++copy) {
            modules.append();
            for (std::size_t i = 0; i < numbers.size(); ++i) {
                const bool number = QStringView(kNumbers[i]) == u"n_on_iface";
                modules.fieldByName(kNumbers[i]).setAsInteger(numbers[i] + (number ? copy : 0));
            }
            for (std::size_t i = 0; i < std::size(kTexts); ++i)
                modules.fieldByName(kTexts[i]).setAsString(texts[int(i)]);
            modules.post();
            copies << modules.fieldByName(u"id_device").asInteger();
            progress.step();
            progress.moduleDone();
        }
        return copies;
    });
}

}  // namespace orvet
