#include "image/record_layout.h"

#include <QtEndian>
#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <ranges>
#include <type_traits>
#include <variant>

#include "core/code_page.h"
#include "image/image_values.h"
#include "store/sql_text.h"

namespace orvet {
namespace {

enum class Kind {
    U8,
    U16,
    U32,
    I16,
    I32,
    F32,
    RoundedU8,   // a double rounded half to even, low 8 bits
    RoundedF32,  // a double rounded half to even, as float32
    Text,
    One,  // a constant byte 1 with no store field behind it
};

template <class Rec>
using Member = std::variant<std::monostate, qint64 Rec::*, double Rec::*, QString Rec::*>;

template <class Rec>
struct Field {
    const char16_t* name;  // also the store column the compiler reads, unless `column` says
    int offset;
    Kind kind;
    Member<Rec> member;
    int slot = 0;  // text: bytes of the slot
    CodePage page = CodePage::Ansi;
    bool terminated = true;  // text: the slot keeps a NUL after the longest text
    StoreRead read = StoreRead::Plain;
    const char16_t* column = nullptr;

    constexpr int width() const {
        switch (kind) {
            case Kind::U8:
            case Kind::RoundedU8:
            case Kind::One:
                return 1;
            case Kind::U16:
            case Kind::I16:
                return 2;
            case Kind::U32:
            case Kind::I32:
            case Kind::F32:
            case Kind::RoundedF32:
                return 4;
            case Kind::Text:
                return slot;
        }
        return 0;
    }
    constexpr int textCapacity() const { return terminated ? slot - 1 : slot; }
};

template <class Rec>
constexpr Field<Rec> integer(const char16_t* name, int offset, Kind kind, qint64 Rec::*member) {
    return {name, offset, kind, member};
}

template <class Rec>
constexpr Field<Rec> real(const char16_t* name, int offset, Kind kind, double Rec::*member) {
    return {name, offset, kind, member};
}

template <class Rec>
constexpr Field<Rec> text(const char16_t* name, int offset, int slot, CodePage page,
                          bool terminated, QString Rec::*member) {
    return {name, offset, Kind::Text, member, slot, page, terminated};
}

template <class Rec>
constexpr Field<Rec> one(int offset) {
    return {u"", offset, Kind::One, std::monostate{}};
}

// A field the compiler reads through the general conversion, which refuses an empty value.
template <class Rec>
constexpr Field<Rec> strict(Field<Rec> field) {
    field.read = StoreRead::Strict;
    return field;
}

// A line speed the compiler reads as the speed code in `column`.
template <class Rec>
constexpr Field<Rec> fromBaudCode(const char16_t* column, Field<Rec> field) {
    field.read = StoreRead::BaudCode;
    field.column = column;
    return field;
}

constexpr auto layoutOf(std::type_identity<ImageHeader>) {
    return std::array{
        integer(u"ver_hi", 0, Kind::U16, &ImageHeader::ver_hi),
        integer(u"ver_lo", 2, Kind::U16, &ImageHeader::ver_lo),
        integer(u"col_iface", 4, Kind::U16, &ImageHeader::col_iface),
        integer(u"col_device", 6, Kind::U16, &ImageHeader::col_device),
        integer(u"col_dmod", 8, Kind::U16, &ImageHeader::col_dmod),
        integer(u"col_amod", 10, Kind::U16, &ImageHeader::col_amod),
        integer(u"col_aomod", 12, Kind::U16, &ImageHeader::col_aomod),
        integer(u"col_nimod", 14, Kind::U16, &ImageHeader::col_nimod),
        integer(u"col_domod", 16, Kind::U16, &ImageHeader::col_domod),
        integer(u"col_kbhamod", 18, Kind::U16, &ImageHeader::col_kbhamod),
        integer(u"col_emdchan", 20, Kind::U16, &ImageHeader::col_emdchan),
        integer(u"col_dchan", 22, Kind::U16, &ImageHeader::col_dchan),
        integer(u"col_achan", 24, Kind::U16, &ImageHeader::col_achan),
        integer(u"col_nichan", 28, Kind::U16, &ImageHeader::col_nichan),
        integer(u"col_emdochan", 30, Kind::U16, &ImageHeader::col_emdochan),
        integer(u"col_dochan", 32, Kind::U16, &ImageHeader::col_dochan),
        integer(u"col_kbhachan", 34, Kind::U16, &ImageHeader::col_kbhachan),
        integer(u"max_dchan", 36, Kind::U16, &ImageHeader::max_dchan),
        integer(u"max_achan", 38, Kind::U16, &ImageHeader::max_achan),
        integer(u"max_nichan", 40, Kind::U16, &ImageHeader::max_nichan),
        integer(u"max_dochan", 44, Kind::U16, &ImageHeader::max_dochan),
        integer(u"max_kbhachan", 46, Kind::U16, &ImageHeader::max_kbhachan),
        integer(u"need_short_int", 48, Kind::U8, &ImageHeader::need_short_int),
        integer(u"need_main_int", 49, Kind::U8, &ImageHeader::need_main_int),
        integer(u"led_enable", 50, Kind::U8, &ImageHeader::led_enable),
        integer(u"intchan_enable", 51, Kind::U8, &ImageHeader::intchan_enable),
        integer(u"col_phone", 52, Kind::U8, &ImageHeader::col_phone),
        integer(u"callback", 53, Kind::U8, &ImageHeader::callback),
    };
}

constexpr auto layoutOf(std::type_identity<ArchiveBlock>) {
    return std::array{
        integer(u"records", 0, Kind::I32, &ArchiveBlock::records),
        integer(u"arcchannel", 4, Kind::U16, &ArchiveBlock::arcchannel),
        integer(u"base", 6, Kind::U16, &ArchiveBlock::base),
        integer(u"time_min", 8, Kind::U8, &ArchiveBlock::time_min),
    };
}

constexpr auto layoutOf(std::type_identity<IfaceRec>) {
    return std::array{
        fromBaudCode(u"baud", integer(u"speed", 0, Kind::U32, &IfaceRec::speed)),
        integer(u"col_device", 6, Kind::U16, &IfaceRec::col_device),
        integer(u"port", 8, Kind::U8, &IfaceRec::port),
        integer(u"t_iface", 9, Kind::U8, &IfaceRec::t_iface),
        integer(u"data", 10, Kind::U8, &IfaceRec::data),
        integer(u"parity", 11, Kind::U8, &IfaceRec::parity),
        real(u"stop", 12, Kind::RoundedU8, &IfaceRec::stop),
        one<IfaceRec>(13),
        integer(u"DTR_enable", 14, Kind::U8, &IfaceRec::DTR_enable),
        text(u"initstring", 15, IfaceRec::initstringMax + 1, CodePage::Ansi, true,
             &IfaceRec::initstring),
    };
}

constexpr auto layoutOf(std::type_identity<DeviceRec>) {
    return std::array{
        integer(u"n_on_iface", 0, Kind::U32, &DeviceRec::n_on_iface),
        integer(u"num_mod", 4, Kind::I16, &DeviceRec::num_mod),
        integer(u"t_pool", 6, Kind::I16, &DeviceRec::t_pool),
        integer(u"to_answer", 8, Kind::I16, &DeviceRec::to_answer),
        integer(u"to_byte_receive", 10, Kind::I16, &DeviceRec::to_byte_receive),
        integer(u"t_start", 12, Kind::I16, &DeviceRec::t_start),
        integer(u"id_device_p", 14, Kind::U16, &DeviceRec::id_device_p),
        integer(u"n_on_iface2", 16, Kind::U8, &DeviceRec::n_on_iface2),
        integer(u"id_iface2", 17, Kind::U8, &DeviceRec::id_iface2),
        integer(u"id_iface", 18, Kind::U8, &DeviceRec::id_iface),
        integer(u"t_device", 19, Kind::U8, &DeviceRec::t_device),
        integer(u"col_achannel", 20, Kind::U8, &DeviceRec::col_achannel),
        integer(u"col_nichannel", 21, Kind::U8, &DeviceRec::col_nichannel),
        integer(u"col_dchannel", 22, Kind::U8, &DeviceRec::col_dchannel),
        integer(u"col_aochannel", 23, Kind::U8, &DeviceRec::col_aochannel),
        integer(u"col_dochannel", 24, Kind::U8, &DeviceRec::col_dochannel),
        integer(u"col_kvna", 25, Kind::U8, &DeviceRec::col_kvna),
        integer(u"fl_retrans", 26, Kind::U8, &DeviceRec::fl_retrans),
        one<DeviceRec>(27),
        text(u"password", 28, DeviceRec::passwordMax, CodePage::Oem, false, &DeviceRec::password),
    };
}

constexpr auto layoutOf(std::type_identity<EmDChannelRec>) {
    return std::array{
        integer(u"jingle_time", 0, Kind::I16, &EmDChannelRec::jingle_time),
        integer(u"n_channel", 4, Kind::U8, &EmDChannelRec::n_channel),
        integer(u"invers", 5, Kind::U8, &EmDChannelRec::invers),
        integer(u"cbevent", 6, Kind::U8, &EmDChannelRec::cbevent),
        integer(u"callback", 7, Kind::U8, &EmDChannelRec::callback),
    };
}

constexpr auto layoutOf(std::type_identity<DChannelRec>) {
    return std::array{
        integer(u"id_device_p", 0, Kind::U16, &DChannelRec::id_device_p),
        integer(u"n_channel", 2, Kind::U8, &DChannelRec::n_channel),
        integer(u"invers", 3, Kind::U8, &DChannelRec::invers),
        integer(u"cbevent", 4, Kind::U8, &DChannelRec::cbevent),
        integer(u"callback", 5, Kind::U8, &DChannelRec::callback),
    };
}

constexpr auto layoutOf(std::type_identity<EmDOChannelRec>) {
    return std::array{
        integer(u"n_channel", 2, Kind::U8, &EmDOChannelRec::n_channel),
    };
}

constexpr auto layoutOf(std::type_identity<DOChannelRec>) {
    return std::array{
        integer(u"id_device_p", 0, Kind::U16, &DOChannelRec::id_device_p),
        integer(u"n_channel", 2, Kind::U8, &DOChannelRec::n_channel),
    };
}

constexpr auto layoutOf(std::type_identity<AChannelRec>) {
    return std::array{
        real(u"min_code", 0, Kind::RoundedF32, &AChannelRec::min_code),
        real(u"max_code", 4, Kind::RoundedF32, &AChannelRec::max_code),
        real(u"min_value", 8, Kind::F32, &AChannelRec::min_value),
        real(u"max_value", 12, Kind::F32, &AChannelRec::max_value),
        strict(real(u"emerg_val", 16, Kind::F32, &AChannelRec::emerg_val)),
        strict(real(u"coef_corr", 20, Kind::F32, &AChannelRec::coef_corr)),
        real(u"hi_lim", 24, Kind::F32, &AChannelRec::hi_lim),
        real(u"lo_lim", 28, Kind::F32, &AChannelRec::lo_lim),
        integer(u"id_device_p", 32, Kind::U16, &AChannelRec::id_device_p),
        strict(integer(u"act_corr", 34, Kind::U8, &AChannelRec::act_corr)),
        integer(u"n_channel", 35, Kind::U8, &AChannelRec::n_channel),
        integer(u"st_filter", 36, Kind::U8, &AChannelRec::st_filter),
        integer(u"W", 37, Kind::U8, &AChannelRec::W),
        integer(u"t_transf", 38, Kind::U8, &AChannelRec::t_transf),
        integer(u"archive", 39, Kind::U8, &AChannelRec::archive),
        integer(u"callback", 40, Kind::U8, &AChannelRec::callback),
    };
}

constexpr auto layoutOf(std::type_identity<NIChannelRec>) {
    return std::array{
        strict(real(u"coef_corr", 0, Kind::F32, &NIChannelRec::coef_corr)),
        strict(integer(u"id_device_p", 4, Kind::I16, &NIChannelRec::id_device_p)),
        strict(integer(u"act_corr", 6, Kind::U8, &NIChannelRec::act_corr)),
        strict(integer(u"n_channel", 7, Kind::U8, &NIChannelRec::n_channel)),
    };
}

constexpr auto layoutOf(std::type_identity<PhoneRec>) {
    return std::array{
        text(u"phonenum", 0, PhoneRec::phonenumMax + 1, CodePage::Oem, true, &PhoneRec::phonenum),
    };
}

template <class Rec>
constexpr auto kLayout = layoutOf(std::type_identity<Rec>{});

// Fields lie inside the record in byte order, without overlapping.
template <class Rec>
constexpr bool kLayoutIsSound = [] {
    int end = 0;
    for (const Field<Rec>& field : kLayout<Rec>) {
        if (field.offset < end) {
            return false;
        }
        end = field.offset + field.width();
    }
    return end <= Rec::size;
}();

// Whether the record has a field whose member is of type T.
template <class Rec, class T>
constexpr bool kHasMemberOf = [] {
    for (const Field<Rec>& field : kLayout<Rec>) {
        if (std::holds_alternative<T Rec::*>(field.member)) {
            return true;
        }
    }
    return false;
}();

// A layout field that holds a store value, as the compiler reads it. Each variant is made
// whole by its constructor: assigning another alternative is not a constant expression on
// every compiler the checks run.
template <class Rec>
constexpr StoreField<Rec> storeField(const Field<Rec>& field) {
    const QStringView column = field.column ? field.column : field.name;
    if (std::holds_alternative<qint64 Rec::*>(field.member))
        return {column, field.read, std::get<qint64 Rec::*>(field.member)};
    if (std::holds_alternative<double Rec::*>(field.member))
        return {column, field.read, std::get<double Rec::*>(field.member)};
    return {column, field.read, std::get<QString Rec::*>(field.member)};
}

template <class Rec>
constexpr bool holdsValue(const Field<Rec>& field) {
    return !std::holds_alternative<std::monostate>(field.member);
}

// The positions in the layout of the fields that hold a store value.
template <class Rec>
constexpr auto kValueFieldPositions = [] {
    std::array<std::size_t, std::ranges::count_if(kLayout<Rec>, holdsValue<Rec>)> positions{};
    std::size_t out = 0;
    for (std::size_t at = 0; at < kLayout<Rec>.size(); ++at) {
        if (holdsValue(kLayout<Rec>[at]))
            positions[out++] = at;
    }
    return positions;
}();

template <class Rec, std::size_t... I>
constexpr auto storeFieldsAt(std::index_sequence<I...>) {
    return std::array<StoreField<Rec>, sizeof...(I)>{
        storeField(kLayout<Rec>[kValueFieldPositions<Rec>[I]])...};
}

// The layout's fields that hold a store value, as the compiler reads them.
template <class Rec>
constexpr auto kStoreFields =
    storeFieldsAt<Rec>(std::make_index_sequence<kValueFieldPositions<Rec>.size()>{});

// A field's value as the device reads it.
using DeviceValue = std::variant<qint64, float, QByteArray>;

qint64 cutInteger(qint64 value, Kind kind) {
    switch (kind) {
        case Kind::U8:
            return static_cast<quint8>(value);
        case Kind::U16:
            return static_cast<quint16>(value);
        case Kind::U32:
            return static_cast<quint32>(value);
        case Kind::I16:
            return static_cast<qint16>(value);
        case Kind::I32:
            return static_cast<qint32>(value);
        default:
            return value;
    }
}

template <class Rec>
DeviceValue deviceValue(const Field<Rec>& field, const Rec& rec) {
    switch (field.kind) {
        case Kind::One:
            return qint64{1};
        case Kind::RoundedU8:
            return qint64{lowBitsOf(roundHalfEven(rec.*std::get<double Rec::*>(field.member)), 8)};
        case Kind::F32:
            return toFloat32(rec.*std::get<double Rec::*>(field.member));
        case Kind::RoundedF32:
            return toFloat32(roundHalfEven(rec.*std::get<double Rec::*>(field.member)));
        case Kind::Text: {
            // The device reads a text up to its NUL, and the slot is 0 from there on: what
            // a stored text holds after an embedded NUL is not part of the record.
            QByteArray bytes = toCodePage(rec.*std::get<QString Rec::*>(field.member), field.page);
            if (const qsizetype nul = bytes.indexOf('\0'); nul >= 0)
                bytes.truncate(nul);
            return bytes.left(field.textCapacity());
        }
        default:
            return cutInteger(rec.*std::get<qint64 Rec::*>(field.member), field.kind);
    }
}

template <class Rec>
void writeField(const Field<Rec>& field, const DeviceValue& value, char* out) {
    char* at = out + field.offset;
    if (const auto* bytes = std::get_if<QByteArray>(&value)) {
        std::memcpy(at, bytes->constData(), bytes->size());
        return;
    }
    if (const auto* real = std::get_if<float>(&value)) {
        quint32 bits;
        std::memcpy(&bits, real, sizeof bits);
        qToLittleEndian(bits, at);
        return;
    }
    const qint64 number = std::get<qint64>(value);
    switch (field.width()) {
        case 1:
            *at = static_cast<char>(number);
            break;
        case 2:
            qToLittleEndian(static_cast<quint16>(number), at);
            break;
        default:
            qToLittleEndian(static_cast<quint32>(number), at);
            break;
    }
}

template <class Rec>
DeviceValue readField(const Field<Rec>& field, const char* in) {
    const char* at = in + field.offset;
    switch (field.kind) {
        case Kind::U8:
        case Kind::RoundedU8:
        case Kind::One:
            return qint64{static_cast<quint8>(*at)};
        case Kind::U16:
            return qint64{qFromLittleEndian<quint16>(at)};
        case Kind::U32:
            return qint64{qFromLittleEndian<quint32>(at)};
        case Kind::I16:
            return qint64{qFromLittleEndian<qint16>(at)};
        case Kind::I32:
            return qint64{qFromLittleEndian<qint32>(at)};
        case Kind::F32:
        case Kind::RoundedF32: {
            const quint32 bits = qFromLittleEndian<quint32>(at);
            float real;
            std::memcpy(&real, &bits, sizeof real);
            return real;
        }
        case Kind::Text: {
            const void* nul = std::memchr(at, 0, field.slot);
            const qsizetype length = nul ? static_cast<const char*>(nul) - at : field.slot;
            return QByteArray(at, length);
        }
    }
    return qint64{0};
}

template <class Rec>
void assignField(const Field<Rec>& field, const DeviceValue& value, Rec& rec) {
    // The guards keep GCC from checking stores into members a small record does not have.
    if (const auto* integral = std::get_if<qint64 Rec::*>(&field.member)) {
        rec.*(*integral) = std::get<qint64>(value);
    }
    if constexpr (kHasMemberOf<Rec, double>) {
        if (const auto* real = std::get_if<double Rec::*>(&field.member)) {
            rec.*(*real) = field.kind == Kind::RoundedU8
                               ? static_cast<double>(std::get<qint64>(value))
                               : static_cast<double>(std::get<float>(value));
        }
    }
    if constexpr (kHasMemberOf<Rec, QString>) {
        if (const auto* textual = std::get_if<QString Rec::*>(&field.member)) {
            rec.*(*textual) = fromCodePage(std::get<QByteArray>(value), field.page);
        }
    }
}

QString byteText(char byte) {
    return QStringLiteral("0x%1").arg(static_cast<quint8>(byte), 2, 16, QLatin1Char('0'));
}

QString quoted(const QString& text) {
    return QLatin1Char('"') + escapedText(text) + QLatin1Char('"');
}

QString floatText(float value) {
    std::array<char, 32> buffer;
    const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value).ptr;
    return QString::fromLatin1(buffer.data(), end - buffer.data());
}

}  // namespace

template <class Rec>
QByteArray encodeRecord(const Rec& rec) {
    static_assert(kLayoutIsSound<Rec>);
    QByteArray bytes(Rec::size, '\0');
    for (const Field<Rec>& field : kLayout<Rec>) {
        writeField(field, deviceValue(field, rec), bytes.data());
    }
    return bytes;
}

template <class Rec>
Rec decodeRecord(const char* data, const QString& where, QStringList* warnings) {
    Rec rec;
    std::array<bool, Rec::size> carried{};
    for (const Field<Rec>& field : kLayout<Rec>) {
        const DeviceValue value = readField(field, data);
        int width = field.width();
        if (field.kind == Kind::One && std::get<qint64>(value) != 1) {
            warnings->append(QStringLiteral("%1: байт %2 равен %3 вместо 0x01")
                                 .arg(where)
                                 .arg(field.offset)
                                 .arg(byteText(data[field.offset])));
        } else if (field.kind == Kind::Text) {
            const qsizetype length = std::get<QByteArray>(value).size();
            if (length == field.slot && field.terminated) {
                warnings->append(QStringLiteral("%1.%2: текст занимает всё поле, без "
                                                "завершающего нуля")
                                     .arg(where, QStringView(field.name)));
            }
            width = static_cast<int>(length);  // the bytes after the text are unused
        }
        std::fill_n(carried.begin() + field.offset, width, true);
        assignField(field, value, rec);
    }
    for (int offset = 0; offset < Rec::size; ++offset) {
        if (!carried[offset] && data[offset] != 0) {
            warnings->append(QStringLiteral("%1: неиспользуемый байт %2 равен %3 вместо 0")
                                 .arg(where)
                                 .arg(offset)
                                 .arg(byteText(data[offset])));
        }
    }
    return rec;
}

template <class Rec>
QList<std::pair<QString, QString>> describeRecord(const Rec& rec) {
    QList<std::pair<QString, QString>> fields;
    for (const Field<Rec>& field : kLayout<Rec>) {
        if (field.kind == Kind::One) {
            continue;
        }
        const DeviceValue value = deviceValue(field, rec);
        QString shown;
        if (const auto* bytes = std::get_if<QByteArray>(&value)) {
            shown = quoted(fromCodePage(*bytes, field.page));
        } else if (const auto* real = std::get_if<float>(&value)) {
            shown = floatText(*real);
        } else {
            shown = QString::number(std::get<qint64>(value));
        }
        fields.append({QString::fromUtf16(field.name), shown});
    }
    return fields;
}

template <class Rec>
std::span<const StoreField<Rec>> storeFields() {
    return kStoreFields<Rec>;
}

#define ORVET_RECORD_LAYOUT(Rec)                                               \
    template QByteArray encodeRecord<Rec>(const Rec&);                         \
    template Rec decodeRecord<Rec>(const char*, const QString&, QStringList*); \
    template QList<std::pair<QString, QString>> describeRecord<Rec>(const Rec&);

ORVET_RECORD_LAYOUT(ImageHeader)
ORVET_RECORD_LAYOUT(ArchiveBlock)
ORVET_RECORD_LAYOUT(IfaceRec)
ORVET_RECORD_LAYOUT(DeviceRec)
ORVET_RECORD_LAYOUT(EmDChannelRec)
ORVET_RECORD_LAYOUT(DChannelRec)
ORVET_RECORD_LAYOUT(EmDOChannelRec)
ORVET_RECORD_LAYOUT(DOChannelRec)
ORVET_RECORD_LAYOUT(AChannelRec)
ORVET_RECORD_LAYOUT(NIChannelRec)
ORVET_RECORD_LAYOUT(PhoneRec)
#undef ORVET_RECORD_LAYOUT

template std::span<const StoreField<IfaceRec>> storeFields<IfaceRec>();
template std::span<const StoreField<DeviceRec>> storeFields<DeviceRec>();
template std::span<const StoreField<EmDChannelRec>> storeFields<EmDChannelRec>();
template std::span<const StoreField<DChannelRec>> storeFields<DChannelRec>();
template std::span<const StoreField<EmDOChannelRec>> storeFields<EmDOChannelRec>();
template std::span<const StoreField<DOChannelRec>> storeFields<DOChannelRec>();
template std::span<const StoreField<AChannelRec>> storeFields<AChannelRec>();
template std::span<const StoreField<NIChannelRec>> storeFields<NIChannelRec>();
template std::span<const StoreField<PhoneRec>> storeFields<PhoneRec>();

}  // namespace orvet
