#include "support/program_run.h"

#include <gtest/gtest.h>

#include <QProcess>

namespace orvet::testing {

ProgramRun runProgram(const QString& program, const QStringList& args, int timeoutMs) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(timeoutMs)) {
        ADD_FAILURE() << program.toStdString()
                      << " did not finish: " << process.errorString().toStdString();
        process.kill();
        process.waitForFinished();
    }
    const int exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return {exitCode, QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

std::optional<QString> toolOutput(const QString& program, const QStringList& args, int timeoutMs) {
    QProcess tool;
    tool.start(program, args);
    if (!tool.waitForFinished(timeoutMs) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(tool.readAllStandardOutput());
}

}  // namespace orvet::testing
