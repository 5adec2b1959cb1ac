#include "link/link_settings.h"

namespace orvet {

LinkSettings LinkSettings::load(const Settings& settings) {
    LinkSettings link;
    link.PakLen = settings.readInteger(QStringLiteral("PakLen"), kDefaultPakLen);
    link.TOAnswer = settings.readInteger(QStringLiteral("TOAnswer"), kDefaultTOAnswer);
    return link;
}

}  // namespace orvet
