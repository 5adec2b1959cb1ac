#include "editing/module_operations.h"

#include "store/data_module.h"

namespace orvet {
namespace {

const char16_t* const kCounts[] = {u"col_achannel",  u"col_dchannel", u"col_aochannel",
                                   u"col_dochannel", u"col_kvna",     u"col_nichannel"};

}  // namespace

bool hasPassword(int type) {
    return type == 17 || type == 19;
}

bool hasModemNumber(int type) {
    return type == 23 || type == 24;
}

int moduleIcon(int type, int retransmission) {
    if (type == kNewModuleType)
        return retransmission == 1 ? 4 : 2;
    return type == kKbhaModuleType ? 3 : 0;
}

void addModule(Dataset& modules) {
    modules.append();
    const std::pair<const char16_t*, int> defaults[] = {
        {u"t_device", kNewModuleType},
        {u"id_iface_s", 0},
        {u"n_on_iface", 0},
        {u"fl_retrans", 0},
        {u"id_iface_s2", 0},
        {u"n_on_iface2", 0},
        {u"t_pool", 1000},
        {u"to_answer", 1000},
        {u"to_byte_receive", 10},
        {u"t_start", 1000},
        {u"num_mod", 0},
    };
    for (const auto& [field, value] : defaults)
        modules.fieldByName(field).setAsInteger(value);
}

QString moduleFullname(const QString& typeName, const QString& portName, int number) {
    QString name = typeName;
    if (!portName.isEmpty())
        name += QStringLiteral(", на ") + portName;
    return name + QStringLiteral(", №") + QString::number(number);
}

void updateModuleIdentity(TDataModule1& data) {
    Dataset& modules = data.tblSpecDevice;
    modules.edit();
    const int type = modules.fieldByName(u"t_device").asInteger();
    const Dataset& types = data.tblTypeDevice;
    // Everything is looked up by key, so a part the store lacks stays empty instead of
    // taking the text of whichever row a list stood on.
    const bool typeKnown = !types.lookup(u"key", type, u"key").isNull();
    for (const char16_t* count : kCounts) {
        modules.fieldByName(count).setAsInteger(
            typeKnown ? valueAsInteger(types.lookup(u"key", type, count)) : 0);
    }
    const QString typeName = typeKnown ? valueAsString(types.lookup(u"key", type, u"t_device"))
                                       : QStringLiteral("Тип %1").arg(type);
    const QVariant port = data.tblSpecInterFace.lookup(
        u"id_iface_s", modules.fieldByName(u"id_iface_s").value(), u"port");
    const QString portName = valueAsString(data.tblPort.lookup(u"key", port, u"portname"));
    modules.fieldByName(u"fullname")
        .setAsString(
            moduleFullname(typeName, portName, modules.fieldByName(u"n_on_iface").asInteger()));
    // Retransmission exists only for type 0: a module of another type does not keep it.
    if (type != kNewModuleType)
        modules.fieldByName(u"fl_retrans").setAsInteger(0);
    modules.post();
}

}  // namespace orvet
