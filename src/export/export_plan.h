#pragma once

#include <QString>
#include <QStringList>

namespace orvet {

class DispatchDatabase;
class TDataModule1;

// The actions of a preview row (ChPreview.recaction; their names are TAction's).
enum PreviewAction { kAddChannel = 1, kUpdateChannel = 2, kDeleteChannel = 3 };

// ProtocolMask and WaitMask of every Channels row the export adds or updates.
inline constexpr int kProtocolMask = 143;
inline constexpr int kWaitMask = 64;

// "Дальше >>": fills the store's ChPreview with the plan that brings the Channels rows of the
// dispatch USPD `target` (USD.ID_USPD) in line with the current USPD's channels. For each
// kind in the order G, C, K, E, R, L, B the kind is compressed first (the store changes),
// then each channel becomes an add row, or an update row when Channels holds a row of the
// target with its letter and number. Each Channels row of the target whose letter is one of
// the seven and whose channel the USPD no longer has becomes a delete row; rows with another
// letter are left alone. Every row gets id_uspd = `target`. The seven channel lists' display
// is suspended meanwhile; ChPreview is reopened on its first row. On a refused statement
// StoreError is thrown and the rows inserted so far stay in ChPreview.
void buildPreview(TDataModule1& data, DispatchDatabase& dispatch, int target);

// "Поехали >>": writes ChPreview's rows, as they stand with the user's edits, into Channels
// of the dispatch USPD `target` in one transaction of the dispatch database: add rows become
// new rows with every flag, update rows rewrite the first matching row (by target, letter and
// number; a new row when there is none) without touching its Need* flags, delete rows remove
// every matching row. ProtocolMask 143 and WaitMask 64 on every written row; an empty number
// is written as 0, a name as typed. When the dispatch database refuses anything, nothing is
// written and StoreError carries its text. ExportInProgress is set meanwhile and ChPreview's
// display suspended; both are restored whatever happens, and ChPreview ends on its first row.
void applyPreview(TDataModule1& data, DispatchDatabase& dispatch, int target);

// The plan in ChPreview as text, one row a line: action name, letter, number and name.
QStringList previewLines(TDataModule1& data);

}  // namespace orvet
