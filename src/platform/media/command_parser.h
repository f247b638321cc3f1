// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovimo::media {

// One word after the device name, quotes removed. A quoted word is always a
// value, never a keyword or a flag.
struct CommandWord {
    std::string text;
    bool quoted = false;
};

// The words of one command: the verb, the device name and the keywords after
// it. A word in double quotes may hold blanks; it runs to the next quote,
// with no escapes.
struct CommandWords {
    std::string verb;              // lower case
    std::string device;            // as written, quotes removed
    std::vector<CommandWord> rest; // as written
};

// Splits a command into words. Returns 0 or an error code (267 for an empty
// command, 294 for a missing closing quote, 305 for text glued to a closing
// quote).
std::uint32_t splitCommand(std::string_view text, CommandWords& words);

enum class Verb { Open, Close, Play, Pause, Resume, Stop, Seek, SetAudio, Status, Set, Where, Put, Window };

// The verb named by a lower-case word, or nothing.
std::optional<Verb> verbOf(std::string_view word);

enum class StatusItem { Length, Position, Volume, Mode, Ready, TimeFormat, MediaPresent };
enum class SeekTarget { Position, Start, End };
enum class RectTarget { Source, Destination, Window };

struct Rect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// A command with its keywords checked and its numbers read. Which fields are
// meaningful depends on `verb`.
struct Command {
    Verb verb = Verb::Open;
    std::string device; // element or alias; "all" is kept as written
    bool all = false;   // the device name is `all`
    bool wait = false;
    bool notify = false;
    bool test = false;

    // open
    std::string type; // empty when not given
    std::string alias;
    std::optional<std::int64_t> parent;
    std::optional<std::int64_t> style;
    bool shareable = false;

    // play
    std::optional<std::int32_t> from;
    std::optional<std::int32_t> to;
    bool repeat = false;

    // seek
    SeekTarget seekTarget = SeekTarget::Position;
    std::int32_t seekPosition = 0;

    // setaudio
    std::int32_t volume = 0;

    // status
    StatusItem statusItem = StatusItem::Length;

    // where, put
    RectTarget rectTarget = RectTarget::Destination;
    Rect rect;

    // window
    bool show = true;
};

// Reads a decimal integer: optional leading blanks, an optional minus, digits
// only, within 32 bits.
std::optional<std::int32_t> parseInteger(std::string_view text);

// Like parseInteger, but also takes a decimal fraction and rounds it to the
// nearest whole number (window sizes computed in floating point).
std::optional<std::int32_t> parseRoundedNumber(std::string_view text);

// Checks the keywords of a split command. Returns 0 or an error code. Verbs,
// keywords and constants ignore case. The flags `wait`, `notify` and `test`
// are read only where a keyword may stand, and never from a quoted word.
// Window positions and sizes are those an X window can take (282 beyond).
std::uint32_t parseKeywords(const CommandWords& words, Command& command);

// splitCommand followed by parseKeywords.
std::uint32_t parseCommand(std::string_view text, Command& command);

// ASCII lower case.
std::string lowerCase(std::string_view text);

} // namespace tovimo::media
