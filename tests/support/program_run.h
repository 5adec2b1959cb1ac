#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace orvet::testing {

// What a program run by a test printed and how it ended.
struct ProgramRun {
    int exitCode;  // -1 when the program crashed or was killed
    QString out;
    QString errors;
};

// Runs `program` with `args` to its end; one still running after `timeoutMs` (a minute unless
// told) is killed and fails the running test.
ProgramRun runProgram(const QString& program, const QStringList& args, int timeoutMs = 60'000);

// The standard output of a helper tool (pdftotext, unzip, ...) run on `args`; nothing when it
// cannot be started, fails or runs past `timeoutMs`.
std::optional<QString> toolOutput(const QString& program, const QStringList& args,
                                  int timeoutMs = 60'000);

}  // namespace orvet::testing
