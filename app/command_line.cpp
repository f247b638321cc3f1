// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"

#include "platform/desktop/file_uri.h"

namespace tovimo::app {
namespace {
CommandLine usageError(const QString& problem) {
    return {CommandLine::Action::UsageError, std::nullopt, problem, {}};
}

CommandLine runWith(const QString& argument, QStringList rest) {
    const std::optional<QString> path = desktop::localPathFromArgument(argument);
    if (!path || path->isEmpty())
        return usageError(QStringLiteral("not a local file: ") + argument);
    return {CommandLine::Action::Run, path, {}, std::move(rest)};
}
} // namespace

CommandLine parseCommandLine(const QStringList& arguments) {
    if (arguments.isEmpty())
        return {};
    const QString& first = arguments.first();
    if (first == QLatin1String("--help") || first == QLatin1String("-h"))
        return {CommandLine::Action::Help, std::nullopt, {}, {}};
    if (first == QLatin1String("--version") || first == QLatin1String("-v"))
        return {CommandLine::Action::Version, std::nullopt, {}, {}};
    if (first == QLatin1String("--"))
        return arguments.size() > 1 ? runWith(arguments.at(1), arguments.mid(2)) : CommandLine{};
    if (first.startsWith(QLatin1Char('-')) && first.size() > 1)
        return usageError(QStringLiteral("unknown option ") + first);
    return runWith(first, arguments.mid(1));
}

QString usageLine() {
    return QStringLiteral("Usage: tovimo [-h | --help | -v | --version | [--] FILE]\n");
}

QString ignoredArgumentsText(const CommandLine& commandLine) {
    if (commandLine.ignored.isEmpty())
        return {};
    return QStringLiteral("tovimo: plays one file at a time; ignored: ") +
           commandLine.ignored.join(QLatin1Char(' ')) + QLatin1Char('\n');
}

QString helpText() {
    return usageLine() + QStringLiteral("\n"
                                        "Plays FILE (a path or a file: URI) in the Tovimo window, or starts\n"
                                        "with no file chosen.\n"
                                        "\n"
                                        "  -h, --help     show this help and exit\n"
                                        "  -v, --version  show the version and exit\n");
}

QString versionText() {
    return QStringLiteral("Tovimo " TOVIMO_VERSION "\n");
}

} // namespace tovimo::app
