#include "editing/image_import.h"

#include <QFileInfo>
#include <QList>
#include <QVariant>
#include <tuple>
#include <utility>
#include <variant>
#include <vector>

#include "editing/channel_operations.h"
#include "editing/interface_operations.h"
#include "editing/module_operations.h"
#include "image/image.h"
#include "image/image_values.h"
#include "image/record_layout.h"
#include "store/channel_kinds.h"
#include "store/data_module.h"
#include "store/store_error.h"

namespace orvet {
namespace {

constexpr qsizetype kNameWidth = 50;

using Keys = QList<QVariant>;

void writeValue(Field& field, qint64 value, StoreRead read) {
    field.setAsInteger(read == StoreRead::BaudCode ? baudCode(value) : value);
}

void writeValue(Field& field, double value, StoreRead) {
    field.setAsFloat(value);
}

void writeValue(Field& field, const QString& value, StoreRead) {
    field.setAsString(value);
}

// Writes every value of `rec` into the column of the current row of `row` that the compiler
// reads it from; positions go in as they are (the compiler keeps those it cannot derive).
template <class Rec>
void writeRecord(Dataset& row, const Rec& rec) {
    for (const StoreField<Rec>& field : storeFields<Rec>()) {
        Field target = row.fieldByName(field.column);
        std::visit([&](auto member) { writeValue(target, rec.*member, field.read); }, field.member);
    }
}

// The key of the row at `position` of a section; invalid when the section has no such row.
QVariant keyAt(const Keys& keys, qint64 position) {
    return position >= 0 && position < keys.size() ? keys[position] : QVariant();
}

Keys addInterfaces(TDataModule1& data, const Image& image) {
    Dataset& interfaces = data.tblSpecInterFace;
    Keys keys;
    for (const IfaceRec& rec : image.interfaces) {
        addInterface(interfaces);
        writeRecord(interfaces, rec);
        interfaces.post();
        keys << interfaces.fieldByName(u"id_iface_s").value();
    }
    return keys;
}

Keys addModules(TDataModule1& data, const Image& image, const Keys& interfaces) {
    Dataset& modules = data.tblSpecDevice;
    Keys keys;
    for (const DeviceRec& rec : image.modules) {
        addModule(modules);
        writeRecord(modules, rec);
        const QVariant first = keyAt(interfaces, rec.id_iface);
        if (first.isValid())
            modules.fieldByName(u"id_iface_s").setValue(first);
        // A second interface that the module does not retransmit to may name no interface in
        // the store it was compiled from: its position is kept instead.
        const QVariant second = rec.fl_retrans != 0 ? keyAt(interfaces, rec.id_iface2) : QVariant();
        if (second.isValid())
            modules.fieldByName(u"id_iface_s2").setValue(second);
        modules.post();
        updateModuleIdentity(data);
        // The identity update takes the type's channel counts and drops the retransmission of
        // a type other than 0; the image says what the device was given.
        modules.edit();
        writeRecord(modules, rec);
        modules.post();
        keys << modules.fieldByName(u"id_device").value();
    }
    return keys;
}

// Adds the channels of `kind`; a module channel goes on the module at its record's position
// with that module's identity (type, interface position, number on the interface), the
// values chooseModule() copies from a module list. They are taken from the module itself:
// a module whose type has no channels of the kind is in no list, yet the image may give it
// some.
template <class Rec>
void addChannels(TDataModule1& data, const ChannelKind& kind, const QList<Rec>& records,
                 const Image& image, const Keys& moduleKeys) {
    Dataset& channels = data.*kind.dataset;
    for (const Rec& rec : records) {
        addChannel(data, kind);
        writeRecord(channels, rec);
        if constexpr (requires(const Rec& channel) { channel.id_device_p; }) {
            const QVariant module = keyAt(moduleKeys, rec.id_device_p);
            if (module.isValid()) {
                const DeviceRec& owner = image.modules[rec.id_device_p];
                channels.fieldByName(u"id_device").setValue(module);
                channels.fieldByName(u"t_device").setAsInteger(owner.t_device);
                channels.fieldByName(u"num_iface").setAsInteger(owner.id_iface);
                channels.fieldByName(u"numdevice").setAsInteger(owner.n_on_iface);
            }
        }
        channels.post();
    }
}

void addUspdRows(TDataModule1& data, const Image& image) {
    const Keys interfaces = addInterfaces(data, image);
    const Keys modules = addModules(data, image, interfaces);
    addChannels(data, kOnboardInputs, image.onboardInputs, image, modules);
    addChannels(data, kDiscreteInputs, image.discreteInputs, image, modules);
    addChannels(data, kOnboardOutputs, image.onboardOutputs, image, modules);
    addChannels(data, kDiscreteOutputs, image.discreteOutputs, image, modules);
    addChannels(data, kKbhaChannels, image.kbhaChannels, image, modules);
    addChannels(data, kAnalogInputs, image.analogInputs, image, modules);
    addChannels(data, kCountingInputs, image.countingInputs, image, modules);

    Dataset& phones = data.tblCallbackPhone;
    for (const PhoneRec& rec : image.phones) {
        phones.append();
        writeRecord(phones, rec);
        phones.post();
    }

    Dataset& flags = data.tblHeadline;
    flags.edit();  // appends the row when the USPD has none yet
    const std::pair<const char16_t*, qint64> headline[] = {
        {u"need_short_int", image.header.need_short_int},
        {u"need_main_int", image.header.need_main_int},
        {u"led_enable", image.header.led_enable},
        {u"intchan_enable", image.header.intchan_enable},
        {u"callback", image.header.callback}};
    for (const auto& [field, value] : headline)
        flags.fieldByName(field).setAsInteger(value);
    flags.post();

    // arcchannel and the main base are the compiler's: it counts and derives them.
    const std::tuple<Dataset*, const char16_t*, const char16_t*, const ArchiveBlock*> archives[] = {
        {&data.tblShortArchive, u"short_records", u"short_time_min", &image.shortArchive},
        {&data.tblMainArchive, u"main_records", u"main_time_min", &image.mainArchive}};
    for (const auto& [archive, records, minutes, block] : archives) {
        archive->edit();
        archive->fieldByName(records).setAsInteger(block->records);
        archive->fieldByName(minutes).setAsInteger(block->time_min);
        archive->post();
    }
}

// After a failure: the store kept nothing, so every open list is read again, with the USPD
// that was current (if any) current again.
void readAgain(TDataModule1& data, const QVariant& previous) {
    try {
        std::vector<Dataset*> reopened;
        for (Dataset* dataset : data.ADOConnection1.datasets()) {
            if (dataset->isOpen() && dataset != &data.tblUSPD) {
                dataset->close();
                reopened.push_back(dataset);
            }
        }
        data.tblUSPD.close();
        data.tblUSPD.open();
        if (previous.isValid())
            data.tblUSPD.locate(u"id_uspd", previous);
        for (Dataset* dataset : reopened)
            dataset->open();
        if (data.hasCurrentUspd())
            data.refreshModuleLists();
    } catch (const StoreError&) {
        // The import's own failure is the one to report; the lists are read again when a
        // USPD is next opened.
    }
}

}  // namespace

QString importedUspdName(const QString& path) {
    return QFileInfo(path).fileName().left(kNameWidth);
}

ImportedImage importImage(TDataModule1& data, const QByteArray& bytes, const QString& name) {
    const DecodedImage decoded = decodeImage(bytes);
    if (!decoded.image || !decoded.error.isEmpty()) {
        throw StoreError(decoded.error.isEmpty()
                             ? QStringLiteral("Файл не является образом конфигурации УСПД.")
                             : decoded.error);
    }
    const Image& image = *decoded.image;

    // What the user typed is stored before the new USPD takes the lists, and stays whatever
    // becomes of the import.
    for (Dataset* dataset : data.ADOConnection1.datasets()) {
        if (dataset->state() == Dataset::State::Edit || dataset->state() == Dataset::State::Insert)
            dataset->post();
    }
    Dataset& uspd = data.tblUSPD;
    uspd.open();
    const QVariant previous = data.hasCurrentUspd() ? QVariant(data.currentUspd()) : QVariant();
    try {
        TDataModule1::HeldReactions held = data.holdReactions();
        Connection::Transaction writes(data.ADOConnection1);
        uspd.append();
        uspd.fieldByName(u"uspd_name").setAsString(name.left(kNameWidth));
        uspd.post();
        const int id = uspd.fieldByName(u"id_uspd").asInteger();
        data.openDatasets();
        addUspdRows(data, image);
        writes.commit();
        held.catchUp();
        data.refreshModuleLists();
        return {id, decoded.warnings};
    } catch (const StoreError&) {
        readAgain(data, previous);
        throw;
    }
}

}  // namespace orvet
