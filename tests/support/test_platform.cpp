#include "support/test_platform.h"

#include <gtest/gtest.h>

namespace orvet::testing {

TestPlatform::TestPlatform()
    : platform_{clock, mainThread, messages, Settings::inFile(dir_.filePath("settings.ini"))} {}

TestPlatform::~TestPlatform() {
    for (const QString& box : messages.unexpected()) ADD_FAILURE() << "unexpected box: " << box.toStdString();
    for (const QString& text : messages.pendingExpectations())
        ADD_FAILURE() << "expected box never shown: " << text.toStdString();
}

QString TestPlatform::settingsFile() const { return dir_.filePath("settings.ini"); }

}  // namespace orvet::testing
