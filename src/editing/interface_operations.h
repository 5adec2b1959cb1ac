#pragma once

namespace orvet {

class Dataset;

// Interface kind codes and port codes with a meaning of their own.
inline constexpr int kModemInterface = 3;  // the only kind with an initialisation string
inline constexpr int kDtrPort = 1;         // interfaces on this port offer the DTR setting

// Kinds 2 to 5 have their own grid icon.
bool isBusInterface(int kind);

// Appends an interface to `interfaces` (tblSpecInterFace, which gives it the current USPD)
// with the settings of a new line: kind, port and speed code 0, DTR disabled, no parity,
// 8 data bits, 1 stop bit. The row stays pending until it is posted.
void addInterface(Dataset& interfaces);

}  // namespace orvet
