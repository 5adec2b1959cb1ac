#pragma once

#include <QTemporaryDir>

#include "core/platform.h"
#include "core/test_clock.h"

namespace orvet::testing {

// The deterministic platform of a test: test clock, main-thread calls run by the test
// itself, scripted message boxes and settings in a fresh temporary file.
class TestPlatform {
public:
    TestPlatform();
    // Fails the running test if a box appeared that the script did not expect, or an
    // expected one never appeared.
    ~TestPlatform();

    TestClock clock;
    MainThread mainThread;
    ScriptedMessageBoxes messages;

    Platform& platform() { return platform_; }
    Settings& settings() { return platform_.settings; }
    QString settingsFile() const;
    QString dir() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    Platform platform_;
};

}  // namespace orvet::testing
