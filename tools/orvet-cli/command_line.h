#pragma once

#include <QCommandLineParser>
#include <QStringList>
#include <optional>

#include "command.h"

namespace orvet::cli {

// -h/--help, the same for orvet-cli and for each of its commands.
QCommandLineOption helpOption();

// The arguments of one command, read with QCommandLineParser by the command's options
// and positional arguments. A refusal is reported as "orvet-cli NAME: TEXT" followed by
// the command's usage line, on stderr; the command then ends with exit status 2.
class CommandLine {
public:
    explicit CommandLine(const Command& command);

    // Parses `args`, those after the command's name. Returns the exit status when the
    // command ends here: 0 once -h/--help printed the command's help on stdout (given as an
    // argument of its own before "--", it wins over every other argument), 2 once the
    // arguments were refused; nothing when the command is to run.
    std::optional<int> parse(const QStringList& args);

    bool isSet(const QString& option) const { return parser_.isSet(option); }
    QString value(const QString& option) const { return parser_.value(option); }
    // The positional arguments, one for each of the command's.
    QStringList arguments() const { return parser_.positionalArguments(); }

    // Sets *value to the option's value when the option is given.
    void readText(const QString& option, QString* value) const;
    // Sets *value to the option's value when the option is given. The value must be a
    // decimal integer; otherwise the arguments are refused and the result is false.
    bool readNumber(const QString& option, int* value) const;
    bool readNumber(const QString& option, std::optional<int>* value) const;

    // Refuses the arguments for the reason `text`.
    void refuse(const QString& text) const;

private:
    QString parseError(const QStringList& args) const;
    bool isSwitch(const QString& written) const;
    QString usage() const;

    const Command& command_;
    QList<QCommandLineOption> options_;
    QCommandLineParser parser_;
};

}  // namespace orvet::cli
