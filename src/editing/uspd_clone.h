#pragma once

#include <QString>

namespace orvet {

class Connection;

// What a clone is named unless the user names it: the original's name and " (копия)", the
// original cut so that the whole fits the store's 50 characters.
QString cloneName(const QString& original);

// "Клонировать УСПД": stores a new USPD with a copy of every row that belongs to USPD `idUspd`
// — interfaces, modules, the seven channel kinds, Headline, both archives and the callback
// phones — in the originals' order, each module's interfaces and each channel's module
// rewritten to the copies' keys. The new USPD is named `name`, or cloneName() of the
// original's when `name` is empty. One transaction: when the store refuses anything, nothing
// stays. Returns the new id_uspd. Throws StoreError (also for a USPD the store does not hold,
// or a name longer than 50 characters).
int cloneUspd(Connection& store, int idUspd, const QString& name = {});

}  // namespace orvet
