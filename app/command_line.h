// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tovimo::app {

// What the command line asks for. The first argument decides; "--" makes
// the argument after it a file even when it starts with "-". The window
// plays one file: the arguments after it are kept only to be named as
// ignored.
struct CommandLine {
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::Run;
    // With Run: the file to play at start-up, a `file:` URI already decoded.
    std::optional<QString> file;
    // With UsageError: what was wrong, for the message.
    QString problem;
    // With Run and a file: the arguments after that file, left unplayed.
    QStringList ignored;

    friend bool operator==(const CommandLine&, const CommandLine&) = default;
};

// `arguments` excludes the program name.
CommandLine parseCommandLine(const QStringList& arguments);

QString usageLine();
// The line for standard error when arguments were left unplayed; empty when
// none were.
QString ignoredArgumentsText(const CommandLine& commandLine);
QString helpText();
QString versionText();

} // namespace tovimo::app
