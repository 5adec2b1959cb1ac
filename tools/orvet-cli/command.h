#pragma once

#include <QStringList>

namespace orvet::cli {

// One orvet-cli command. A command file defines a static CommandRegistration; main()
// dispatches on the first argument.
struct Command {
    const char* name;
    const char* synopsis;  // the usage line after "orvet-cli NAME"
    const char* summary;   // one line for the help text
    // Runs the command with the arguments after its name; returns the exit status.
    int (*run)(const QStringList& args);
};

const QList<Command>& commands();

struct CommandRegistration {
    explicit CommandRegistration(const Command& command);
};

}  // namespace orvet::cli
