#pragma once

#include <QIcon>

namespace orvet {

// The program's image list `imButt`: small icons drawn in code, indexed as the tree and
// the menu use them. Indexes without a picture give an empty icon.
QIcon imButt(int index);
// The interfaces editor's images `ImIface`: 0 a line of any other kind (also "add"),
// 1 "delete", 2 a line of kinds 2 to 5.
QIcon imIface(int index);
// The module editor's images `ImgDev`: 0 a module of any other type (also "add"), 1 "delete",
// 2 a module of type 0, 3 a module of type 7, 4 a module of type 0 that retransmits, 5 "copy".
QIcon imgDev(int index);
// The channel editors' images `ImageList1`: 0 a channel (also "add"), 1 "delete",
// 2 "compress".
QIcon imChannel(int index);
// The program icon (window and About box).
QIcon programIcon();

}  // namespace orvet
