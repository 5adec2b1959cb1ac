#include "command_line.h"

#include <algorithm>
#include <cstdio>

#include "core/settings.h"

namespace orvet::cli {
namespace {

// QCommandLineParser keeps the names of unknown options without their dashes; the
// message shows the option as it was written.
QString writtenOption(const QStringList& args, const QString& name) {
    const QString longForm = QStringLiteral("--") + name;
    const bool written = std::any_of(args.begin(), args.end(), [&](const QString& arg) {
        return arg.section(u'=', 0, 0) == longForm;
    });
    return written ? longForm : QStringLiteral("-") + name;
}

// Whether -h or --help stands as an argument of its own before "--".
bool asksForHelp(const QStringList& args) {
    QStringList written;
    for (const QString& name : helpOption().names())
        written.append((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name);
    const auto end = std::find(args.begin(), args.end(), QLatin1String("--"));
    return std::any_of(args.begin(), end,
                       [&written](const QString& arg) { return written.contains(arg); });
}

}  // namespace

QCommandLineOption helpOption() {
    return QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                              QStringLiteral("Show this help."));
}

QCommandLineOption OptionEntry::option() const {
    return QCommandLineOption(QLatin1String(name), QString::fromUtf8(description),
                              QLatin1String(valueName));
}

CommandLine::CommandLine(const Command& command) : command_(command) {
    parser_.setApplicationDescription(QString::fromUtf8(command.description));
    parser_.addOption(helpOption());
    for (const OptionEntry& entry : command.options)
        options_.append(entry.option());
    parser_.addOptions(options_);
    for (const Argument& argument : command.arguments) {
        parser_.addPositionalArgument(QLatin1String(argument.name),
                                      QString::fromUtf8(argument.description));
    }
}

std::optional<int> CommandLine::parse(const QStringList& args) {
    // Help is what is asked for, whatever else is written: an unknown option or an
    // option's missing value does not hide it, and "--port --help" is not a port.
    if (asksForHelp(args)) {
        // Qt's first line names the executable by its path; the command's usage line
        // takes its place.
        const QString help = parser_.helpText();
        std::fputs((usage() + help.mid(help.indexOf(u'\n'))).toUtf8().constData(), stdout);
        return 0;
    }
    // The parser skips the first element, the program's name.
    if (!parser_.parse(QStringList{QStringLiteral("orvet-cli")} + args)) {
        refuse(parseError(args));
        return 2;
    }
    const QStringList given = parser_.positionalArguments();
    if (given.size() > command_.arguments.size()) {
        refuse(QStringLiteral("лишний аргумент %1").arg(given[command_.arguments.size()]));
        return 2;
    }
    if (given.size() < command_.arguments.size()) {
        refuse(QStringLiteral("не указан аргумент %1")
                   .arg(QLatin1String(command_.arguments[given.size()].name)));
        return 2;
    }
    return std::nullopt;
}

void CommandLine::readText(const QString& option, QString* value) const {
    if (parser_.isSet(option))
        *value = parser_.value(option);
}

bool CommandLine::readNumber(const QString& option, int* value) const {
    if (!parser_.isSet(option))
        return true;
    const QString text = parser_.value(option);
    if (!parseDecimal(text, value)) {
        refuse(QStringLiteral("'%1' не является числом (--%2)").arg(text, option));
        return false;
    }
    return true;
}

bool CommandLine::readNumber(const QString& option, std::optional<int>* value) const {
    int number = 0;
    if (!readNumber(option, &number))
        return false;
    if (parser_.isSet(option))
        *value = number;
    return true;
}

void CommandLine::refuse(const QString& text) const {
    report(command_.name, text);
    std::fputs(usage().toUtf8().constData(), stderr);
}

// The parser's own error text is English and names options without telling what kind
// of error it is; the kind is told from what the parser collected and from `args`.
QString CommandLine::parseError(const QStringList& args) const {
    const QStringList unknown = parser_.unknownOptionNames();
    if (!unknown.isEmpty())
        return QStringLiteral("неизвестный параметр %1").arg(writtenOption(args, unknown.first()));
    // Otherwise a switch was given a value ("--restart=1"), or an option misses its
    // value, which only the last argument can.
    for (const QString& arg : args) {
        if (arg == QLatin1String("--"))
            break;
        const QString option = arg.section(u'=', 0, 0);
        if (option.size() < arg.size() && isSwitch(option))
            return QStringLiteral("параметр %1 указывается без значения").arg(option);
    }
    return QStringLiteral("у параметра %1 нет значения").arg(args.last());
}

bool CommandLine::isSwitch(const QString& written) const {
    if (!written.startsWith(u'-'))
        return false;
    const QString name = written.mid(written.startsWith(QLatin1String("--")) ? 2 : 1);
    if (helpOption().names().contains(name))
        return true;
    return std::any_of(options_.begin(), options_.end(), [&](const QCommandLineOption& option) {
        return option.valueName().isEmpty() && option.names().contains(name);
    });
}

QString CommandLine::usage() const {
    return QStringLiteral("usage: orvet-cli %1 %2\n")
        .arg(QLatin1String(command_.name), QString::fromUtf8(command_.synopsis));
}

}  // namespace orvet::cli
