#pragma once

#include <QList>
#include <QString>
#include <optional>

#include "core/settings.h"

namespace orvet {

// The per-user settings that shape every upload.
struct LinkSettings {
    static constexpr int kDefaultPakLen = 255;
    static constexpr int kDefaultTOAnswer = 2000;
    static constexpr int kMinPakLen = 1;
    static constexpr int kMaxPakLen = 1024;  // the block buffer a 'T' payload is read into

    int PakLen = kDefaultPakLen;      // image bytes per 'T' frame
    int TOAnswer = kDefaultTOAnswer;  // reply time-out, ms; 0: a lost reply is never re-sent
    // "Быстрый обмен": a reply that arrives whole ends its collection window at once instead
    // of after the full window; anything else still waits the window out.
    bool FastExchange = false;

    // Reads "PakLen", "TOAnswer" and "FastExchange" (1 or 0) from group "1.0"; missing or
    // non-decimal values give the defaults. No range check: see validate().
    static LinkSettings load(const Settings& settings);
    // Writes all three values.
    void save(const Settings& settings) const;
    // Why these values cannot drive an upload, in the words of the link parameters dialog;
    // empty when they can.
    QString validate() const;

    bool operator==(const LinkSettings&) const = default;
};

// The connection chosen in "Запись в УСПД ORVET-4410", as the settings keep it: the direct
// line's and the modem's port, speed and device number, the phone, the dialling and the page
// in use. Ports and speeds are list indices (0 = COM1; 0 = 1200 bit/s); -1 is no selection.
struct ConnectionSettings {
    static constexpr int kDirectPage = 0;
    static constexpr int kModemPage = 1;
    static constexpr int kPulseDialling = 0;
    static constexpr int kToneDialling = 1;

    int Port = -1;
    int Baud = -1;
    int NumDevice = 1;
    int ModemPort = -1;
    int ModemBaud = -1;
    int ModemNumDevice = 1;
    QString Phone;
    int TypeDial = kPulseDialling;
    int ActivePage = kDirectPage;

    // The speeds of the speed lists, by index.
    static const QList<int>& baudRates();
    // The speed of list index `index`; none for an index outside the list.
    static std::optional<int> baudRate(int index);

    // The stored values; a missing or non-decimal one is taken from `shown` (what the
    // dialog shows when it has nothing stored).
    static ConnectionSettings load(const Settings& settings, const ConnectionSettings& shown);
    // Writes every value.
    void save(const Settings& settings) const;

    bool operator==(const ConnectionSettings&) const = default;
};

}  // namespace orvet
