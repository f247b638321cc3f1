// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tovimo::app {

// What the command line asks for. Only the first argument counts; "--" makes
// the argument after it a file even when it starts with "-".
struct CommandLine {
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::Run;
    // With Run: the file to play at start-up, a `file:` URI already decoded.
    std::optional<QString> file;
    // With UsageError: what was wrong, for the message.
    QString problem;

    friend bool operator==(const CommandLine&, const CommandLine&) = default;
};

// `arguments` excludes the program name.
CommandLine parseCommandLine(const QStringList& arguments);

QString usageLine();
QString helpText();
QString versionText();

} // namespace tovimo::app
