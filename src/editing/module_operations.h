#pragma once

#include <QString>

namespace orvet {

class Dataset;
class TDataModule1;

// Module type keys with a meaning of their own.
inline constexpr int kNewModuleType = 0;  // the only type that may retransmit
inline constexpr int kKbhaModuleType = 7;
bool hasPassword(int type);     // types 17 and 19
bool hasModemNumber(int type);  // types 23 and 24

// The grid icon of a module row (an index of ImgDev): 4 for type 0 retransmitting, 2 for
// type 0 otherwise, 3 for type 7, 0 for any other type.
int moduleIcon(int type, int retransmission);

// Appends a module to `modules` (tblSpecDevice, which gives it the current USPD) with the
// settings of a new module: type 0, no interface, number 0, no retransmission, poll period,
// reply time-out and start period 1000 ms, byte time-out 10 ms, modem number 0. Its name,
// channel counts and password stay empty; the row stays pending until it is posted.
void addModule(Dataset& modules);

// A module's display name: "<type>, на <port>, №<number>". Without a port name (no
// interface, a deleted one, or a port the store does not name) the port part is left out.
QString moduleFullname(const QString& typeName, const QString& portName, int number);

// The identity update of the current module of `data.tblSpecDevice`, after its type, its
// interface or its number was chosen: puts the row into editing, copies the six channel
// counts from the type's TypeDevice row, sets fullname from the type's name, the port name
// of the module's interface and n_on_iface, and posts the row (which refreshes the module
// lists). A type that TypeDevice does not hold has no channels and is named "Тип <key>".
// A module of a type other than 0 loses its retransmission (fl_retrans 0); its second
// interface and number stay. Existing channels are not touched. Throws StoreError when the
// store refuses the row.
void updateModuleIdentity(TDataModule1& data);

}  // namespace orvet
