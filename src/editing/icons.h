#pragma once

#include <QIcon>

namespace orvet {

// The program's image list `imButt`: small icons drawn in code, indexed as the tree and
// the menu use them. Indexes without a picture give an empty icon.
QIcon imButt(int index);
// The program icon (window and About box).
QIcon programIcon();

}  // namespace orvet
