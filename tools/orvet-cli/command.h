#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>

namespace orvet::cli {

class CommandLine;

// An option of a command as its registration writes it: ASCII name, help and value name.
struct OptionEntry {
    const char* name;
    const char* description;
    const char* valueName = "";  // empty: a switch without a value

    QCommandLineOption option() const;
};

// A positional argument of a command; every one listed must be given.
struct Argument {
    const char* name;  // as the help shows it, "FILE"
    const char* description;
};

// One orvet-cli command. A command file defines a static CommandRegistration; main()
// dispatches on the first argument, parses the rest by `options` and `arguments` and runs
// the command only when they are usable.
struct Command {
    const char* name;
    const char* synopsis;          // the usage line after "orvet-cli NAME"
    const char* summary;           // one line for the help text
    const char* description;       // what "orvet-cli NAME --help" says before the options
    QList<OptionEntry> options{};  // besides -h/--help
    QList<Argument> arguments{};
    // Runs the command with its parsed arguments; returns the exit status.
    int (*run)(const CommandLine& args);
};

const QList<Command>& commands();

struct CommandRegistration {
    explicit CommandRegistration(const Command& command);
};

// Prints "orvet-cli COMMAND: TEXT" on stderr, the form of every line the tool reports.
void report(const char* command, const QString& text);

}  // namespace orvet::cli
