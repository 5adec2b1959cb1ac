#include "support/test_platform.h"

namespace orvet::testing {
namespace {
void (*failureReporter)(const QString&) = nullptr;
}  // namespace

TestPlatform::TestPlatform()
    : platform_{clock, mainThread, messages, Settings::inFile(dir_.filePath("settings.ini"))} {
}

TestPlatform::~TestPlatform() {
    if (!failureReporter)
        return;
    for (const QString& problem : problems())
        failureReporter(problem);
}

QString TestPlatform::settingsFile() const {
    return dir_.filePath("settings.ini");
}

QStringList TestPlatform::problems() const {
    QStringList list;
    for (const QString& box : messages.unexpected())
        list << "unexpected box: " + box;
    for (const QString& text : messages.pendingExpectations())
        list << "expected box never shown: " + text;
    return list;
}

void TestPlatform::setFailureReporter(void (*reporter)(const QString&)) {
    failureReporter = reporter;
}

}  // namespace orvet::testing
