// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"

#include <gtest/gtest.h>

namespace app = tovimo::app;
using Action = app::CommandLine::Action;

namespace {

TEST(CommandLine, TheFirstArgumentDecides) {
    struct Case {
        QStringList arguments;
        Action action;
        std::optional<QString> file;
        QStringList ignored = {};
    };
    const Case cases[] = {
        {{}, Action::Run, std::nullopt},
        {{"clip.mkv"}, Action::Run, "clip.mkv"},
        {{"/media/a b.mp4", "--bogus", "other.mp4"}, Action::Run, "/media/a b.mp4", {"--bogus", "other.mp4"}},
        {{"file:///media/a%20b%23c.mp4"}, Action::Run, "/media/a b#c.mp4"},
        {{"FILE:///tmp/x.mkv"}, Action::Run, "/tmp/x.mkv"},
        {{"file:///tmp/not encoded.mkv"}, Action::Run, "/tmp/not encoded.mkv"},
        {{"file://localhost/tmp/%C3%BC.mkv"}, Action::Run, QStringLiteral("/tmp/ü.mkv")},
        {{"/tmp/100%.mkv"}, Action::Run, "/tmp/100%.mkv"},
        {{"-"}, Action::Run, "-"},
        {{"--", "-odd name.mkv", "x"}, Action::Run, "-odd name.mkv", {"x"}},
        {{"--"}, Action::Run, std::nullopt},
        {{"--help", "clip.mkv"}, Action::Help, std::nullopt},
        {{"--version"}, Action::Version, std::nullopt},
        {{"clip.mkv", "--help"}, Action::Run, "clip.mkv", {"--help"}},
        {{"--bogus"}, Action::UsageError, std::nullopt},
        {{"-h"}, Action::Help, std::nullopt},
        {{"-v", "clip.mkv"}, Action::Version, std::nullopt},
        {{"-H"}, Action::UsageError, std::nullopt},
        {{"-hv"}, Action::UsageError, std::nullopt},
        {{"--help=yes"}, Action::UsageError, std::nullopt},
        {{"file://server/share/x.mkv"}, Action::UsageError, std::nullopt},
        {{"file:"}, Action::UsageError, std::nullopt},
    };
    for (const Case& c : cases) {
        const app::CommandLine parsed = app::parseCommandLine(c.arguments);
        const std::string label = c.arguments.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(parsed.action, c.action) << label;
        EXPECT_EQ(parsed.file, c.file) << label;
        EXPECT_EQ(parsed.ignored, c.ignored) << label;
        EXPECT_EQ(parsed.problem.isEmpty(), c.action != Action::UsageError) << label;
    }
}

TEST(CommandLine, TextsNameTheProgramAndItsOptions) {
    EXPECT_TRUE(app::usageLine().startsWith(QStringLiteral("Usage: tovimo ")));
    EXPECT_TRUE(app::helpText().startsWith(app::usageLine()));
    EXPECT_TRUE(app::helpText().contains(QStringLiteral("--version")));
    EXPECT_TRUE(app::versionText().startsWith(QStringLiteral("Tovimo ")));
    EXPECT_TRUE(app::helpText().contains(QStringLiteral("-h, --help")));
}

TEST(CommandLine, ArgumentsLeftUnplayedAreNamedOnOneLine) {
    EXPECT_EQ(app::ignoredArgumentsText(app::parseCommandLine({"a.mkv"})), QString());
    EXPECT_EQ(app::ignoredArgumentsText(app::parseCommandLine({"a.mkv", "b.mkv", "c d.mkv"})),
              QStringLiteral("tovimo: plays one file at a time; ignored: b.mkv c d.mkv\n"));
}

} // namespace
