#pragma once

#include <QString>
#include <array>

namespace orvet {

class Dataset;
class MessageBoxes;
class TDataModule1;
struct ChannelKind;

// The board of the USPD itself: the module type of on-board channels, whose num_iface and
// numdevice are -1 (on no interface, on no module).
inline constexpr int kBoardType = 15;

// Correction actions of analog and counting inputs (act_corr). The configurator stores the
// code and the coefficient; the device applies them.
struct Correction {
    QString item;     // the menu item and the button's hint
    QString caption;  // the button's caption
};
inline const std::array<Correction, 5> kCorrections = {{
    {QStringLiteral("Нет"), QStringLiteral("...")},
    {QStringLiteral("Прибавить"), QStringLiteral("+")},
    {QStringLiteral("Вычесть"), QStringLiteral("-")},
    {QStringLiteral("Умножить"), QStringLiteral("*")},
    {QStringLiteral("Разделить"), QStringLiteral("/")},
}};
inline constexpr int kDivide = 4;
// A correction with a coefficient: codes 1 to 4.
bool correctionHasCoefficient(int code);

inline const QString kDivisionByZero = QStringLiteral("Деление на ноль");

// Appends a channel to the list of `kind` (which gives it the current USPD) with the values of
// a new channel of that kind, numbered after the stored channels of the kind: position n and
// type_num letter + (n + 1), where n counts the stored rows (a pending row is posted first;
// the new one is not counted). The row stays pending. Throws StoreError.
void addChannel(TDataModule1& data, const ChannelKind& kind);

// A module was chosen for the current channel of `channels` (its id_device, written by the
// list's binding): puts the row into editing, copies the module's type key, interface number
// and number on the interface from the module list `modules` (t_device := key, num_iface :=
// id_iface, numdevice := n_on_iface; 0 for a module the list does not hold) and posts.
void chooseModule(Dataset& channels, const Dataset& modules);
// The unit list closed: with a unit set (u_measure not 0) its short name from `units`
// (Unit_Measure) goes to n_u_measure and the row is posted; with none nothing changes.
void chooseUnit(Dataset& channels, const Dataset& units);
// A correction action was chosen from the menu: act_corr := `code`, "Разделить" also sets the
// coefficient to 1; the row is posted.
void chooseCorrection(Dataset& channels, int code);
// The focus left the conversion group: a division by a coefficient of 0 is refused with
// "Деление на ноль" (caption "Ошибка") and the action goes back to 0 (the row is posted, the
// coefficient stays 0). False when it was refused.
bool checkDivision(Dataset& channels, MessageBoxes& messages);

}  // namespace orvet
