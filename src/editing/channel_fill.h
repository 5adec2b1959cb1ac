#pragma once

#include <QString>
#include <QStringList>

namespace orvet {

class TDataModule1;

// What a bulk command shows while it runs. The window shows a bar and lets itself be
// repainted after each module; a tool prints nothing. The default shows nothing.
class BulkProgress {
public:
    virtual ~BulkProgress() = default;
    // A new bar from 0 to `maximum`.
    virtual void start(int /*maximum*/) {}
    virtual void step() {}
    // One module is done (the window processes its pending events here).
    virtual void moduleDone() {}
};

// The channels one fill created, and the report the window shows for it.
struct FillResult {
    QString report;
    QStringList created;  // the new channels' type_num, in order of creation
};

// The copies a module command may make, as "Копировать" offers them ("1x" ... "100x").
inline constexpr int kCopyCounts[] = {1, 5, 10, 50, 100};

// Creates every channel of the current module of tblSpecDevice, as many of each kind as the
// module's counts say: analog inputs, counting inputs, discrete inputs and outputs, KBHA
// channels, each with the channel editors' values and numbering, numbered after the USPD's
// stored channels of the kind. A channel takes the module's identity and its number on the
// module (n_channel 0, 1, ...); analog, counting and KBHA channels take name and unit from
// their template in NChannels (kinds 1, 5, 3) whose unit Unit_Measure holds, and without
// one the kind's name and unit 40 with a blank short name. Existing channels are not
// looked at: a second fill adds a second set. The report is "Добавлены все каналы для " and
// the type's name. All or nothing: when the store refuses a row nothing stays, the lists
// are read again and StoreError is thrown.
FillResult fillModuleChannels(TDataModule1& data, BulkProgress& progress);

// Fills every module of the current USPD whose type is not 0, in order of creation, as
// fillModuleChannels does; one report, "Добавлены все каналы всех модулей". All or nothing.
FillResult fillAllModules(TDataModule1& data, BulkProgress& progress);

// Appends `count` copies of the current module of tblSpecDevice (with no module, copies of
// an empty one): type, interfaces, retransmission, times, channel counts, modem number, name
// and password as they are, the number on the interface + 1, + 2, ... No channels are
// copied. Leaves the list on the last copy and returns the copies' id_device. All or
// nothing.
QList<int> copyModule(TDataModule1& data, int count, BulkProgress& progress);

}  // namespace orvet
