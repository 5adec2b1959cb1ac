#pragma once

#include <QString>
#include <QtGlobal>

namespace orvet {

// The records of the configuration image "config.dat". Fields carry the names of the store
// columns they come from and hold store values as read (integers, doubles, texts); the
// record writer cuts integers to the field's low bits, rounds and converts to float32, and
// converts texts to the field's code page (record_layout.h). Every field starts at 0, as in
// a zero-filled record.

struct ImageHeader {
    static constexpr int size = 60;

    qint64 ver_hi = 1;
    qint64 ver_lo = 1;
    qint64 col_iface = 0;
    qint64 col_device = 0;
    qint64 col_dmod = 0;
    qint64 col_amod = 0;
    qint64 col_aomod = 0;
    qint64 col_nimod = 0;
    qint64 col_domod = 0;
    qint64 col_kbhamod = 0;
    qint64 col_emdchan = 0;
    qint64 col_dchan = 0;
    qint64 col_achan = 0;
    qint64 col_nichan = 0;
    qint64 col_emdochan = 0;
    qint64 col_dochan = 0;
    qint64 col_kbhachan = 0;
    qint64 max_dchan = 0;
    qint64 max_achan = 0;
    qint64 max_nichan = 0;
    qint64 max_dochan = 0;
    qint64 max_kbhachan = 0;
    qint64 need_short_int = 0;
    qint64 need_main_int = 0;
    qint64 led_enable = 0;
    qint64 intchan_enable = 0;
    qint64 col_phone = 0;
    qint64 callback = 0;

    bool operator==(const ImageHeader&) const = default;
};

// The short and the main archive block.
struct ArchiveBlock {
    static constexpr int size = 16;

    qint64 records = 0;
    qint64 arcchannel = 0;
    qint64 base = 0;  // 0 for the short block, mainArchiveBase() for the main block
    qint64 time_min = 0;

    bool operator==(const ArchiveBlock&) const = default;
};

struct IfaceRec {
    static constexpr int size = 60;
    static constexpr int initstringMax = 44;  // characters; the slot keeps one for the NUL

    qint64 speed = 0;  // bit/s: baudRate() of the store's `baud` code
    qint64 col_device = 0;
    qint64 port = 0;
    qint64 t_iface = 0;
    qint64 data = 0;
    qint64 parity = 0;
    double stop = 0;  // rounded half to even
    qint64 DTR_enable = 0;
    QString initstring{};  // Windows-1251

    bool operator==(const IfaceRec&) const = default;
};

struct DeviceRec {
    static constexpr int size = 40;
    static constexpr int passwordMax = 8;  // characters; a full slot has no NUL

    qint64 n_on_iface = 0;
    qint64 num_mod = 0;
    qint64 t_pool = 0;
    qint64 to_answer = 0;
    qint64 to_byte_receive = 0;
    qint64 t_start = 0;
    qint64 id_device_p = 0;
    qint64 n_on_iface2 = 0;
    qint64 id_iface2 = 0;
    qint64 id_iface = 0;
    qint64 t_device = 0;
    qint64 col_achannel = 0;
    qint64 col_nichannel = 0;
    qint64 col_dchannel = 0;
    qint64 col_aochannel = 0;
    qint64 col_dochannel = 0;
    qint64 col_kvna = 0;
    qint64 fl_retrans = 0;
    QString password{};  // CP866

    bool operator==(const DeviceRec&) const = default;
};

// An on-board discrete input.
struct EmDChannelRec {
    static constexpr int size = 16;

    qint64 jingle_time = 0;
    qint64 n_channel = 0;
    qint64 invers = 0;
    qint64 cbevent = 0;
    qint64 callback = 0;

    bool operator==(const EmDChannelRec&) const = default;
};

// A module discrete input.
struct DChannelRec {
    static constexpr int size = 18;

    qint64 id_device_p = 0;
    qint64 n_channel = 0;
    qint64 invers = 0;
    qint64 cbevent = 0;
    qint64 callback = 0;

    bool operator==(const DChannelRec&) const = default;
};

// An on-board discrete output.
struct EmDOChannelRec {
    static constexpr int size = 16;

    qint64 n_channel = 0;

    bool operator==(const EmDOChannelRec&) const = default;
};

// A module discrete output; KBHA channels have the same record.
struct DOChannelRec {
    static constexpr int size = 16;

    qint64 id_device_p = 0;
    qint64 n_channel = 0;

    bool operator==(const DOChannelRec&) const = default;
};
using KBHARec = DOChannelRec;

// An analog input.
struct AChannelRec {
    static constexpr int size = 48;

    double min_code = 0;  // rounded half to even, then float32
    double max_code = 0;  // rounded half to even, then float32
    double min_value = 0;
    double max_value = 0;
    double emerg_val = 0;
    double coef_corr = 0;
    double hi_lim = 0;
    double lo_lim = 0;
    qint64 id_device_p = 0;
    qint64 act_corr = 0;
    qint64 n_channel = 0;
    qint64 st_filter = 0;
    qint64 W = 0;
    qint64 t_transf = 0;
    qint64 archive = 0;
    qint64 callback = 0;

    bool operator==(const AChannelRec&) const = default;
};

// A counting input.
struct NIChannelRec {
    static constexpr int size = 16;

    double coef_corr = 0;
    qint64 id_device_p = 0;
    qint64 act_corr = 0;
    qint64 n_channel = 0;

    bool operator==(const NIChannelRec&) const = default;
};

// A callback phone number.
struct PhoneRec {
    static constexpr int size = 13;
    static constexpr int phonenumMax = 12;  // characters; the slot keeps one for the NUL

    QString phonenum{};  // CP866

    bool operator==(const PhoneRec&) const = default;
};

}  // namespace orvet
