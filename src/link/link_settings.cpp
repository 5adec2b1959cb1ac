#include "link/link_settings.h"

namespace orvet {

LinkSettings LinkSettings::load(const Settings& settings) {
    LinkSettings link;
    link.PakLen = settings.readInteger(QStringLiteral("PakLen"), kDefaultPakLen);
    link.TOAnswer = settings.readInteger(QStringLiteral("TOAnswer"), kDefaultTOAnswer);
    link.FastExchange = settings.readInteger(QStringLiteral("FastExchange"), 0) != 0;
    return link;
}

void LinkSettings::save(const Settings& settings) const {
    settings.writeInteger(QStringLiteral("PakLen"), PakLen);
    settings.writeInteger(QStringLiteral("TOAnswer"), TOAnswer);
    settings.writeInteger(QStringLiteral("FastExchange"), FastExchange ? 1 : 0);
}

QString LinkSettings::validate() const {
    if (PakLen > kMaxPakLen)
        return QStringLiteral("Длина пакета не может превышать %1 байта").arg(kMaxPakLen);
    // A packet cannot carry less than one byte of the image.
    if (PakLen < kMinPakLen)
        return QStringLiteral("Длина пакета должна быть не меньше %1 байта").arg(kMinPakLen);
    if (TOAnswer < 0)
        return QStringLiteral("Таймаут ответа не может быть отрицательным");
    return {};
}

const QList<int>& ConnectionSettings::baudRates() {
    static const QList<int> rates{1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    return rates;
}

std::optional<int> ConnectionSettings::baudRate(int index) {
    if (index < 0 || index >= baudRates().size())
        return std::nullopt;
    return baudRates()[index];
}

ConnectionSettings ConnectionSettings::load(const Settings& settings,
                                            const ConnectionSettings& shown) {
    const auto integer = [&settings](const char* name, int fallback) {
        return settings.readInteger(QLatin1String(name), fallback);
    };
    ConnectionSettings stored;
    stored.Port = integer("Port", shown.Port);
    stored.Baud = integer("Baud", shown.Baud);
    stored.NumDevice = integer("NumDevice", shown.NumDevice);
    stored.ModemPort = integer("ModemPort", shown.ModemPort);
    stored.ModemBaud = integer("ModemBaud", shown.ModemBaud);
    stored.ModemNumDevice = integer("ModemNumDevice", shown.ModemNumDevice);
    stored.Phone = settings.readString(QStringLiteral("Phone"), shown.Phone);
    stored.TypeDial = integer("TypeDial", shown.TypeDial);
    stored.ActivePage = integer("ActivePage", shown.ActivePage);
    return stored;
}

void ConnectionSettings::save(const Settings& settings) const {
    const auto integer = [&settings](const char* name, int value) {
        settings.writeInteger(QLatin1String(name), value);
    };
    integer("Port", Port);
    integer("Baud", Baud);
    integer("NumDevice", NumDevice);
    integer("ModemPort", ModemPort);
    integer("ModemBaud", ModemBaud);
    integer("ModemNumDevice", ModemNumDevice);
    settings.writeString(QStringLiteral("Phone"), Phone);
    integer("TypeDial", TypeDial);
    integer("ActivePage", ActivePage);
}

}  // namespace orvet
