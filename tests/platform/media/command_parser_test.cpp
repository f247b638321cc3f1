// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/command_parser.h"
#include "platform/media/error_codes.h"

#include <gtest/gtest.h>

namespace tovimo::media {
namespace {

struct ParseCase {
    const char* text;
    std::uint32_t code;
};

class ParseCodeTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseCodeTest, AnswersCode) {
    Command command;
    EXPECT_EQ(parseCommand(GetParam().text, command), GetParam().code) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ParseCodeTest,
    ::testing::Values(
        // What the player sends.
        ParseCase{"Open /m/a.mp4 type MPEGVideo Alias Media parent 71303175 style 1073741824", kOk},
        ParseCase{"put Media window at 0 0 640 480", kOk},
        ParseCase{"put Media window at 0 0 632.5 480.25", kOk}, ParseCase{"Play Media", kOk},
        ParseCase{"play Media", kOk}, ParseCase{"stop Media", kOk}, ParseCase{"pause Media", kOk},
        ParseCase{"resume Media", kOk}, ParseCase{"seek Media to 75000", kOk},
        ParseCase{"setaudio Media Volume to 370", kOk}, ParseCase{"status Media length", kOk},
        ParseCase{"status Media position", kOk}, ParseCase{"status Media Volume", kOk},
        ParseCase{"Where Media Destination", kOk}, ParseCase{"close all", kOk},
        // Case, blanks, quotes, flags.
        ParseCase{"  PLAY   media   FROM  10   TO 20  WAIT  ", kOk},
        ParseCase{"open \"/m/my file.mp4\" alias a", kOk},
        ParseCase{"open \"/m/my file.mp4", kNoClosingQuote},
        ParseCase{"open \"/m/a\"b alias a", kExtraCharacters}, ParseCase{"play a wait notify test", kOk},
        ParseCase{"play a wait wait", kDuplicateFlags}, ParseCase{"play a from 1 from 2", kDuplicateFlags},
        ParseCase{"", kMissingCommandString}, ParseCase{"   ", kMissingCommandString},
        ParseCase{"jump a", kUnrecognizedCommand}, ParseCase{"play a loudly", kUnrecognizedKeyword},
        ParseCase{"open", kMissingDeviceName}, ParseCase{"status", kMissingDeviceName},
        ParseCase{"stop a now", kUnrecognizedKeyword},
        // Numbers.
        ParseCase{"seek a to 0xfa", kBadInteger}, ParseCase{"seek a to 12x", kBadInteger},
        ParseCase{"seek a to +5", kBadInteger}, ParseCase{"seek a to 99999999999", kBadInteger},
        ParseCase{"seek a to -5", kOutOfRange}, ParseCase{"seek a to", kMissingParameter},
        ParseCase{"seek a to 1.5", kBadInteger}, ParseCase{"put a window at 0 0", kBadInteger},
        ParseCase{"put a window at 0 0 1e3 5", kBadInteger},
        ParseCase{"put a window at 0 0 -4 5", kOutOfRange},
        ParseCase{"put a window at 0 0 1..5 5", kBadInteger}, ParseCase{"put a window", kMissingParameter},
        ParseCase{"put a window 0 0 1 1", kUnrecognizedKeyword},
        ParseCase{"open x parent -1 style 4294967295", kOk},
        ParseCase{"open x style 4294967296", kBadInteger}, ParseCase{"open x parent", kMissingParameter},
        // Ranges and incompatible keywords.
        ParseCase{"setaudio a volume to 1000", kOk}, ParseCase{"setaudio a volume to 1001", kOutOfRange},
        ParseCase{"setaudio a volume to -1", kOutOfRange},
        ParseCase{"setaudio a volume 5", kUnrecognizedKeyword}, ParseCase{"setaudio a", kMissingParameter},
        ParseCase{"play a from 250 to 0", kOutOfRange},
        ParseCase{"seek a to start to 0", kFlagsNotCompatible}, ParseCase{"seek a to END", kOk},
        ParseCase{"status a length position", kFlagsNotCompatible},
        ParseCase{"status a length length", kDuplicateFlags}, ParseCase{"status a", kMissingParameter},
        ParseCase{"status a time format", kOk}, ParseCase{"status a media present", kOk},
        ParseCase{"status a mode", kOk}, ParseCase{"status a ready", kOk},
        ParseCase{"status a colour", kUnrecognizedKeyword}, ParseCase{"set a time format ms", kOk},
        ParseCase{"set a time format MilliSeconds", kOk},
        ParseCase{"set a time format frames", kBadTimeFormat},
        ParseCase{"set a time format parsecs", kBadConstant}, ParseCase{"where a source", kOk},
        ParseCase{"where a", kMissingParameter}, ParseCase{"where a source destination", kFlagsNotCompatible},
        ParseCase{"window a state hide", kOk}, ParseCase{"window a state fold", kBadConstant},
        ParseCase{"window a", kMissingParameter},
        // Flags stand only where a keyword may, and never quoted.
        ParseCase{"play a wait from 10", kOk}, ParseCase{"open x alias \"Wait\"", kOk},
        ParseCase{"open x alias wait", kOk}, ParseCase{"put a window at 0 0 wait 320 240", kBadInteger},
        ParseCase{"play a \"wait\"", kUnrecognizedKeyword}, ParseCase{"play a from wait", kBadInteger},
        ParseCase{"status a time wait format", kUnrecognizedKeyword},
        // Window geometry X can hold.
        ParseCase{"put a window at -32768 32767 65535 65535", kOk},
        ParseCase{"put a window at 0 0 70000 70000", kOutOfRange},
        ParseCase{"put a window at 0 0 65536 1", kOutOfRange},
        ParseCase{"put a window at 32768 0 1 1", kOutOfRange},
        ParseCase{"put a window at 0 -32769 1 1", kOutOfRange},
        ParseCase{"put a destination at 0 0 70000 1", kOutOfRange},
        // The device `all`.
        ParseCase{"stop all", kOk}, ParseCase{"status all length", kCannotUseAll},
        ParseCase{"seek all to 0", kCannotUseAll}, ParseCase{"open all", kCannotUseAll}));

TEST(ParseCommand, ReadsThePlayersOpenCommand) {
    Command command;
    ASSERT_EQ(
        parseCommand("Open /m/a.mp4 type MPEGVideo Alias Media parent 71303175 style 1073741824", command),
        kOk);
    EXPECT_EQ(command.verb, Verb::Open);
    EXPECT_EQ(command.device, "/m/a.mp4");
    EXPECT_EQ(command.type, "MPEGVideo");
    EXPECT_EQ(command.alias, "Media");
    EXPECT_EQ(command.parent, 71303175);
    EXPECT_EQ(command.style, 1073741824);
}

TEST(ParseCommand, TakesFlagWordsAsValuesAfterAKeyword) {
    Command command;
    ASSERT_EQ(parseCommand("open x alias notify parent 1", command), kOk);
    EXPECT_EQ(command.alias, "notify");
    EXPECT_EQ(command.parent, 1);
    EXPECT_FALSE(command.notify);
    ASSERT_EQ(parseCommand("open x alias \"Wait\" test", command), kOk);
    EXPECT_EQ(command.alias, "Wait");
    EXPECT_FALSE(command.wait);
    EXPECT_TRUE(command.test);
    ASSERT_EQ(parseCommand("play a WAIT from 5 notify", command), kOk);
    EXPECT_TRUE(command.wait);
    EXPECT_TRUE(command.notify);
    EXPECT_EQ(command.from, 5);
}

TEST(ParseCommand, KeepsBlanksInsideAQuotedDevice) {
    Command command;
    ASSERT_EQ(parseCommand("close \"my  Device\"", command), kOk);
    EXPECT_EQ(command.device, "my  Device");
}

TEST(ParseCommand, RoundsWindowSizesHalfAwayFromZero) {
    Command command;
    ASSERT_EQ(parseCommand("put Media window at 1 2 632.5 479.4", command), kOk);
    EXPECT_EQ(command.rectTarget, RectTarget::Window);
    EXPECT_EQ(command.rect.x, 1);
    EXPECT_EQ(command.rect.y, 2);
    EXPECT_EQ(command.rect.width, 633);
    EXPECT_EQ(command.rect.height, 479);
}

TEST(ParseCommand, ReadsPlayRangeAndSeekTargets) {
    Command command;
    ASSERT_EQ(parseCommand("play a from 100 to 400 repeat", command), kOk);
    EXPECT_EQ(command.from, 100);
    EXPECT_EQ(command.to, 400);
    EXPECT_TRUE(command.repeat);
    ASSERT_EQ(parseCommand("seek a to end", command), kOk);
    EXPECT_EQ(command.seekTarget, SeekTarget::End);
    ASSERT_EQ(parseCommand("seek a to 1500", command), kOk);
    EXPECT_EQ(command.seekTarget, SeekTarget::Position);
    EXPECT_EQ(command.seekPosition, 1500);
}

struct IntegerCase {
    const char* text;
    std::optional<std::int32_t> value;
};

TEST(ParseInteger, ReadsDecimalsOnly) {
    const IntegerCase cases[] = {
        {"0", 0},           {"  42", 42},
        {"-7", -7},         {"2147483647", 2147483647},
        {"2147483648", {}}, {"-2147483648", INT32_MIN},
        {"0xfa", {}},       {"", {}},
        {"4 2", {}},        {"+1", {}},
        {"1.0", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseInteger(c.text), c.value) << c.text;
}

} // namespace
} // namespace tovimo::media
