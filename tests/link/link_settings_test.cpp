#include <gtest/gtest.h>

#include "link/link_settings.h"
#include "support/test_platform.h"

namespace orvet {
namespace {

TEST(LinkSettings, LoadsStoredValuesOrDefaults) {
    const struct {
        const char* pakLen;  // nullptr: not stored
        const char* toAnswer;
        int expectedPakLen;
        int expectedTOAnswer;
    } cases[] = {
        {nullptr, nullptr, 255, 2000},
        {"1024", "500", 1024, 500},
        {"abc", "", 255, 2000},
        // Loading does not range-check; the exchange refuses unusable values before it starts.
        {"5000", "-1", 5000, -1},
        {"0", "0", 0, 0},
    };
    for (const auto& c : cases) {
        testing::TestPlatform test;
        if (c.pakLen)
            test.settings().writeString("PakLen", c.pakLen);
        if (c.toAnswer)
            test.settings().writeString("TOAnswer", c.toAnswer);
        const LinkSettings link = LinkSettings::load(test.settings());
        EXPECT_EQ(link.PakLen, c.expectedPakLen) << (c.pakLen ? c.pakLen : "(none)");
        EXPECT_EQ(link.TOAnswer, c.expectedTOAnswer) << (c.toAnswer ? c.toAnswer : "(none)");
    }
}

}  // namespace
}  // namespace orvet
