#include "editing/interface_operations.h"

#include "store/dataset.h"

namespace orvet {

bool isBusInterface(int kind) {
    return kind >= 2 && kind <= 5;
}

void addInterface(Dataset& interfaces) {
    interfaces.append();
    for (const char16_t* field : {u"t_iface", u"port", u"baud", u"DTR_enable", u"parity"})
        interfaces.fieldByName(field).setAsInteger(0);
    interfaces.fieldByName(u"data").setAsInteger(8);
    interfaces.fieldByName(u"stop").setAsFloat(1.0);
}

}  // namespace orvet
