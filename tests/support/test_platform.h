#pragma once

#include <QStringList>
#include <QTemporaryDir>

#include "core/platform.h"
#include "support/scripted_message_boxes.h"
#include "support/test_clock.h"

namespace orvet::testing {

// The deterministic platform of a test: test clock, main-thread calls run by the test
// itself, scripted message boxes and settings in a fresh temporary file.
class TestPlatform {
public:
    TestPlatform();
    // Reports every problem() through the failure reporter, if one is set (the GoogleTest
    // main sets one; QtTest cases check problems() in cleanup()).
    ~TestPlatform();

    TestClock clock;
    MainThread mainThread;
    ScriptedMessageBoxes messages;

    Platform& platform() { return platform_; }
    Settings& settings() { return platform_.settings; }
    QString settingsFile() const;
    QString dir() const { return dir_.path(); }

    // Boxes that appeared unscripted, and scripted ones that never appeared.
    QStringList problems() const;

    static void setFailureReporter(void (*reporter)(const QString& problem));

private:
    QTemporaryDir dir_;
    Platform platform_;
};

}  // namespace orvet::testing
