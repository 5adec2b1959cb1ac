#include "image/compiler.h"

#include <algorithm>
#include <deque>
#include <new>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <type_traits>
#include <variant>

#include "core/message_boxes.h"
#include "core/texts.h"
#include "image/image_values.h"
#include "image/record_layout.h"
#include "store/channel_kinds.h"
#include "store/connection.h"
#include "store/data_module.h"
#include "store/sql_text.h"
#include "store/store_error.h"

namespace orvet {
namespace {

const QString kDevicesInOrder = QStringLiteral("select * from SpecDevice order by id_device");

// A failure the compiler itself refuses with a message of its own.
struct Refusal {
    QString message;
};

QString decimal(qint64 value) {
    return QString::number(value);
}

int integer(Dataset& dataset, QStringView field) {
    return dataset.fieldByName(field).asInteger();
}

QString text(Dataset& dataset, QStringView field) {
    return dataset.fieldByName(field).asString();
}

void readInto(qint64& member, const Field& field, StoreRead read) {
    switch (read) {
        case StoreRead::Plain:
            member = field.asInteger();
            return;
        case StoreRead::Strict:
            member = variantToInteger(field.value());
            return;
        case StoreRead::BaudCode:
            member = baudRate(field.asInteger());
            return;
    }
}

void readInto(double& member, const Field& field, StoreRead read) {
    member = read == StoreRead::Strict ? variantToFloat(field.value()) : field.asFloat();
}

void readInto(QString& member, const Field& field, StoreRead) {
    member = field.asString();
}

// The record of the current row of `row`, read field by field as its layout says.
template <class Rec>
Rec readRecord(Dataset& row) {
    Rec rec;
    for (const StoreField<Rec>& field : storeFields<Rec>()) {
        const Field value = row.fieldByName(field.column);
        std::visit([&](auto member) { readInto(rec.*member, value, field.read); }, field.member);
    }
    return rec;
}

// One compilation: the image being built and the store it is built from.
class Compilation {
public:
    Compilation(TDataModule1& dm, const CompileOptions& options) : dm_(dm), options_(options) {}

    // Suspends the display of the interface, module and channel datasets until the image
    // file's stage or the end of the compilation.
    void suspendDisplays();
    void refresh();
    // The per-row reactions of the data module wait while the compiler posts and moves
    // through thousands of rows; nothing reads their lists during a compilation.
    void holdReactions() { held_.emplace(dm_.holdReactions()); }
    void refuseLongPhoneNumbers();
    // A kind with more channels than its type_num can number ("E9999" fills the field) is
    // refused before anything is renumbered.
    void refuseUnnumberableChannels();
    // The renumbering's store writes run in one transaction: one commit instead of one per
    // row, and no half-renumbered store after a crash. After a failure the writes made so
    // far are committed too.
    // Another session renumbering the same USPD waits until this one is committed.
    void beginWrites() {
        writes_.emplace(dm_.ADOConnection1);
        dm_.lockForRenumbering();
    }
    // Catches the held reactions up and moves the displayed datasets to their first rows,
    // as the editors show them after a compilation.
    void showLists();
    // After a failure: drops a half-made change and shows every module again.
    void recover();

    // The stages.
    void compileHeader();
    void compileInterfaces();
    void compileModules();
    void compilePhones();
    // Renumbers the channels of `kind` into `image.*records`; the channels of a module kind
    // first take their modules' positions and are read again in key order.
    template <const ChannelKind& kind, auto records>
    void compileChannels();
    void compileShortArchive();
    void compileMainArchive();
    // Shows the lists, commits the renumbering, resumes the displays and writes the file.
    void writeImage();

    Image image;

private:
    // The interface, module and channel datasets, whose display is suspended.
    std::vector<Dataset*> displayed() const {
        return {&dm_.tblSpecInterFace, &dm_.tblSpecDevice,     &dm_.tblSpecAChannel,
                &dm_.tblSpecDChannel,  &dm_.tblSpecDOChannel,  &dm_.tblSpecKBHA,
                &dm_.tblSpecNIChannel, &dm_.tblSpecEmDChannel, &dm_.tblSpecEmDOChannel};
    }
    void catchUpReactions() {
        if (held_)
            held_->catchUp();
    }
    void commitWrites() {
        if (writes_)
            writes_->commit();
    }
    void numberInterfaces();
    void reopen(QueryDataset& dataset, const QString& sql);
    // The number of rows of "<table> where <condition>", counted by qryWConfig.
    int countRows(const QString& rows);
    QString forUspd() const { return QStringLiteral(" and id_uspd=") + decimal(uspd_); }

    TDataModule1& dm_;
    const CompileOptions& options_;
    int uspd_ = 0;
    int archived_ = 0;  // the analog inputs that go into the archives
    std::optional<TDataModule1::HeldReactions> held_;
    std::optional<Connection::Transaction> writes_;
    std::deque<DisplaySuspension> suspended_;
};

// A stage of writing the configuration into the USPD.
struct Stage {
    const char* name;
    void (Compilation::*run)();  // none: the caller's stage, once compile() has returned
    bool shown;                  // the bar steps once the stage is done
};

// The stages in the order they run. The caller's come last.
constexpr Stage kStages[] = {
    {"header", &Compilation::compileHeader, true},
    {"interfaces", &Compilation::compileInterfaces, true},
    {"modules", &Compilation::compileModules, true},
    {"callback phones", &Compilation::compilePhones, true},
    {"on-board discrete inputs",
     &Compilation::compileChannels<kOnboardInputs, &Image::onboardInputs>, true},
    {"discrete inputs", &Compilation::compileChannels<kDiscreteInputs, &Image::discreteInputs>,
     true},
    {"on-board discrete outputs",
     &Compilation::compileChannels<kOnboardOutputs, &Image::onboardOutputs>, true},
    {"discrete outputs", &Compilation::compileChannels<kDiscreteOutputs, &Image::discreteOutputs>,
     true},
    {"KBHA channels", &Compilation::compileChannels<kKbhaChannels, &Image::kbhaChannels>, true},
    {"analog inputs", &Compilation::compileChannels<kAnalogInputs, &Image::analogInputs>, true},
    {"counting inputs", &Compilation::compileChannels<kCountingInputs, &Image::countingInputs>,
     false},
    {"short archive", &Compilation::compileShortArchive, true},
    {"main archive", &Compilation::compileMainArchive, true},
    {"image file", &Compilation::writeImage, false},
    {"connection", nullptr, true},
};

// The bar's position once the stage `name` is done.
constexpr int positionAfter(std::string_view name) {
    int position = 0;
    for (const Stage& stage : kStages) {
        position += stage.shown ? 1 : 0;
        if (stage.name == name)
            return position;
    }
    throw std::logic_error("no such stage");
}

// The bar's maximum.
constexpr int kCompileSteps = int(std::ranges::count_if(kStages, &Stage::shown));
// A ready file runs none of the compiler's stages: the bar goes straight to the end of the
// short archive's stage, and the connection's step leaves it one short of its maximum.
constexpr int kReadyFilePosition = positionAfter("short archive");

void Compilation::suspendDisplays() {
    for (Dataset* dataset : displayed())
        suspended_.emplace_back(*dataset);
}

void Compilation::refresh() {
    const auto& datasets = dm_.ADOConnection1.datasets();
    for (Dataset* dataset : datasets) {
        if (dataset->state() == Dataset::State::Edit || dataset->state() == Dataset::State::Insert)
            dataset->post();
    }
    for (Dataset* dataset : datasets) {
        if (dataset != &dm_.tblUSPD)
            dataset->close();
    }
    for (Dataset* dataset : datasets) {
        if (dataset != &dm_.tblUSPD)
            dataset->open();
    }
    uspd_ = dm_.currentUspd();
}

void Compilation::refuseLongPhoneNumbers() {
    Dataset& phones = dm_.tblCallbackPhone;
    for (phones.first(); !phones.eof(); phones.next()) {
        const QString number = text(phones, u"PHONENUM");
        if (deviceTextLength(number) > PhoneRec::phonenumMax) {
            throw Refusal{QStringLiteral("Номер обратного вызова «%1» длиннее %2 символов и не "
                                         "помещается в конфигурацию УСПД. Сократите номер и "
                                         "повторите запись.")
                              .arg(shownValue(number))
                              .arg(PhoneRec::phonenumMax)};
        }
    }
}

void Compilation::refuseUnnumberableChannels() {
    for (const ChannelKind* kind : kChannelKinds) {
        Dataset& channels = dm_.*kind->dataset;
        const int width = channels.fieldByName(u"TYPE_NUM").def().size;
        if (width <= 1)
            continue;  // no limit declared
        qint64 limit = 1;
        for (int digit = 1; digit < width; ++digit)
            limit *= 10;
        --limit;
        if (channels.recordCount() > limit) {
            throw Refusal{QStringLiteral("У УСПД %1 каналов в таблице %2, а номер канала "
                                         "(type_num) не бывает больше %3%4: каналов одного вида "
                                         "может быть не больше %4. Удалите лишние каналы и "
                                         "повторите запись.")
                              .arg(channels.recordCount())
                              .arg(QLatin1String(kind->table), QLatin1String(kind->letter))
                              .arg(limit)};
        }
    }
}

void Compilation::reopen(QueryDataset& dataset, const QString& sql) {
    dataset.close();
    dataset.setSql(sql);
    dataset.open();
}

int Compilation::countRows(const QString& rows) {
    QueryDataset& query = dm_.qryWConfig;
    reopen(query, QStringLiteral("select count(*) from ") + rows);
    return valueAsInteger(query.value(0, 0));
}

void Compilation::compileHeader() {
    Dataset& flags = dm_.tblHeadline;
    image.header.need_short_int = integer(flags, u"NEED_SHORT_INT");
    image.header.need_main_int = integer(flags, u"NEED_MAIN_INT");
    image.header.led_enable = integer(flags, u"LED_ENABLE");
    image.header.intchan_enable = integer(flags, u"INTCHAN_ENABLE");
    image.header.callback = integer(flags, u"CALLBACK");

    const std::pair<const char*, qint64 ImageHeader::*> modulesWith[] = {
        {"col_achannel", &ImageHeader::col_amod},   {"col_nichannel", &ImageHeader::col_nimod},
        {"col_dchannel", &ImageHeader::col_dmod},   {"col_aochannel", &ImageHeader::col_aomod},
        {"col_dochannel", &ImageHeader::col_domod}, {"col_kvna", &ImageHeader::col_kbhamod},
    };
    for (const auto& [column, count] : modulesWith) {
        image.header.*count = countRows(
            QStringLiteral("SpecDevice where %1>0").arg(QLatin1String(column)) + forUspd());
    }

    image.interfaces.reserve(dm_.tblSpecInterFace.recordCount());
    image.modules.reserve(dm_.tblSpecDevice.recordCount());
    image.onboardInputs.reserve(dm_.tblSpecEmDChannel.recordCount());
    image.discreteInputs.reserve(dm_.tblSpecDChannel.recordCount());
    image.onboardOutputs.reserve(dm_.tblSpecEmDOChannel.recordCount());
    image.discreteOutputs.reserve(dm_.tblSpecDOChannel.recordCount());
    image.kbhaChannels.reserve(dm_.tblSpecKBHA.recordCount());
    image.analogInputs.reserve(dm_.tblSpecAChannel.recordCount());
    image.countingInputs.reserve(dm_.tblSpecNIChannel.recordCount());
    image.phones.reserve(dm_.tblCallbackPhone.recordCount());
}

void Compilation::numberInterfaces() {
    QueryDataset& interfaces = dm_.tblSpecInterFace;
    for (interfaces.first(); !interfaces.eof(); interfaces.next()) {
        const int modules = countRows(QStringLiteral("SpecDevice where id_iface_s=") +
                                      decimal(integer(interfaces, u"ID_IFACE_S")));
        interfaces.edit();
        interfaces.fieldByName(u"COL_DEVICE").setAsInteger(modules);
        interfaces.post();
    }
    int position = 0;
    for (interfaces.first(); !interfaces.eof(); interfaces.next()) {
        interfaces.edit();
        interfaces.fieldByName(u"ID_IFACE").setAsInteger(position++);
        interfaces.post();
    }
    for (interfaces.first(); !interfaces.eof(); interfaces.next()) {
        const QString id = decimal(integer(interfaces, u"ID_IFACE"));
        const QString key = decimal(integer(interfaces, u"ID_IFACE_S"));
        dm_.ADOCommand1.execute(QStringLiteral("update SpecDevice set id_iface=") + id +
                                QStringLiteral(" where id_iface_s=") + key);
        dm_.ADOCommand1.execute(QStringLiteral("update SpecDevice set id_iface2=") + id +
                                QStringLiteral(" where id_iface_s2=") + key);
    }
    reopen(dm_.tblSpecDevice, kDevicesInOrder);
}

void Compilation::compileInterfaces() {
    numberInterfaces();
    Dataset& interfaces = dm_.tblSpecInterFace;
    for (interfaces.first(); !interfaces.eof(); interfaces.next())
        image.interfaces.append(readRecord<IfaceRec>(interfaces));
}

void Compilation::compileModules() {
    Dataset& modules = dm_.tblSpecDevice;
    int position = 0;
    for (modules.first(); !modules.eof(); modules.next()) {
        modules.edit();
        modules.fieldByName(u"ID_DEVICE_P").setAsInteger(position++);
        modules.post();
        image.modules.append(readRecord<DeviceRec>(modules));
    }
}

void Compilation::compilePhones() {
    Dataset& phones = dm_.tblCallbackPhone;
    for (phones.first(); !phones.eof(); phones.next())
        image.phones.append(readRecord<PhoneRec>(phones));
}

template <const ChannelKind& kind, auto records>
void Compilation::compileChannels() {
    if (kind.countColumn) {
        // The module positions go into the channels of the modules that have the kind.
        QueryDataset& modules = dm_.tblSpecDevice;
        reopen(modules, QStringLiteral("select * from SpecDevice where %1>0")
                                .arg(QLatin1String(kind.countColumn)) +
                            forUspd());
        const QString update =
            QStringLiteral("update %1 set id_device_p=").arg(QLatin1String(kind.table));
        for (modules.first(); !modules.eof(); modules.next()) {
            dm_.ADOCommand1.execute(update + decimal(integer(modules, u"ID_DEVICE_P")) +
                                    QStringLiteral(" where id_device=") +
                                    decimal(integer(modules, u"ID_DEVICE")));
        }
    }
    // Compressing reads the channels again, with their modules' new positions.
    using Rec = typename std::remove_reference_t<decltype(image.*records)>::value_type;
    compressChannels(
        dm_, kind, [this](Dataset& channel) { (image.*records).append(readRecord<Rec>(channel)); });
}

void Compilation::compileShortArchive() {
    archived_ =
        countRows(QStringLiteral("SpecAChannel where archive=1 and id_uspd=") + decimal(uspd_));
    Dataset& shortArchive = dm_.tblShortArchive;
    shortArchive.edit();
    shortArchive.fieldByName(u"ARCCHANNEL").setAsInteger(archived_);
    shortArchive.post();
    image.shortArchive = ArchiveBlock{
        .records = integer(shortArchive, u"SHORT_RECORDS"),
        .arcchannel = integer(shortArchive, u"ARCCHANNEL"),
        .base = 0,
        .time_min = integer(shortArchive, u"SHORT_TIME_MIN"),
    };
}

void Compilation::compileMainArchive() {
    Dataset& mainArchive = dm_.tblMainArchive;
    mainArchive.edit();
    mainArchive.fieldByName(u"ARCCHANNEL").setAsInteger(archived_);
    mainArchive.post();
    image.mainArchive = ArchiveBlock{
        .records = integer(mainArchive, u"MAIN_RECORDS"),
        .arcchannel = integer(mainArchive, u"ARCCHANNEL"),
        .base = mainArchiveBase(image.shortArchive.records),
        .time_min = integer(mainArchive, u"MAIN_TIME_MIN"),
    };
    image.setSectionCounts();
    image.setChannelMaxima();
    reopen(dm_.tblSpecDevice, kDevicesInOrder);
}

void Compilation::writeImage() {
    showLists();
    commitWrites();
    suspended_.clear();
    writeImageFile(image, options_.imagePath);
}

void Compilation::showLists() {
    catchUpReactions();
    for (Dataset* dataset : displayed())
        dataset->first();
}

void Compilation::recover() {
    for (Dataset* dataset : displayed()) {
        if (dataset->isOpen())
            dataset->cancel();
    }
    QueryDataset& modules = dm_.tblSpecDevice;
    try {
        if (modules.statement() != kDevicesInOrder) {
            modules.close();
            modules.setSql(kDevicesInOrder);
            modules.open();
        }
        catchUpReactions();
        commitWrites();
    } catch (const StoreError&) {
        // The failure already being reported is the one the user acts on; the lists are
        // read again with the next compilation or USPD.
    }
}

}  // namespace

void CompileProgress::setMax(int) {
}

void CompileProgress::setPosition(int) {
}

void CompileProgress::step() {
}

void CompileResult::showFailure(MessageBoxes& messages) const {
    if (succeeded())
        return;
    // The system's reason for a file failure goes on a line of its own.
    const QString text = reason.isEmpty() ? message : message + QStringLiteral("\n") + reason;
    switch (box) {
        case Box::Error:
            messages.error(text, caption);
            break;
        case Box::Warning:
            messages.warning(text, caption);
            break;
        case Box::Information:
            messages.information(text, caption);
            break;
    }
}

ConfigCompiler::ConfigCompiler(TDataModule1& store) : store_(store) {
}

CompileResult ConfigCompiler::compile(const CompileOptions& options, CompileProgress& progress) {
    CompileResult result;
    Compilation compilation(store_, options);
    const auto fail = [&result](CompileResult::Box box, const QString& caption,
                                const QString& message) {
        result.outcome = CompileResult::Outcome::Failed;
        result.box = box;
        result.caption = caption;
        result.message = message;
    };
    try {
        compilation.suspendDisplays();
        progress.setMax(kCompileSteps);
        if (!store_.hasCurrentUspd())
            throw Refusal{
                QStringLiteral("Не открыт ни один УСПД: откройте УСПД и повторите запись.")};
        compilation.refresh();
        compilation.holdReactions();
        if (options.readyFile) {
            progress.setPosition(kReadyFilePosition);
            compilation.showLists();
            result.outcome = CompileResult::Outcome::ReadyFile;
            return result;
        }
        compilation.refuseLongPhoneNumbers();
        compilation.refuseUnnumberableChannels();
        compilation.beginWrites();
        for (const Stage& stage : kStages) {
            if (!stage.run)
                break;  // the caller's stages
            (compilation.*stage.run)();
            if (stage.shown)
                progress.step();
        }
        result.outcome = CompileResult::Outcome::Written;
        result.size = imageLength(compilation.image.header);
        result.image = std::move(compilation.image);
        return result;
    } catch (const StoreError& error) {
        fail(CompileResult::Box::Error, texts::kError, error.message());
    } catch (const Refusal& refusal) {
        fail(CompileResult::Box::Warning, texts::kError, refusal.message);
    } catch (const ImageError& error) {
        fail(CompileResult::Box::Information, QString(), error.message());
        result.reason = error.reason();
    } catch (const std::bad_alloc&) {
        fail(CompileResult::Box::Information, QString(), QStringLiteral("No enough memory"));
    }
    compilation.recover();
    return result;
}

}  // namespace orvet
