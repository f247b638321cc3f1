// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/command_parser.h"

#include "platform/media/error_codes.h"
#include "platform/media/x11_child_window.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace tovimo::media {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Reads the next word at `pos`; a word starting with a quote runs to the next
// quote. Returns 0 or an error code; `word` is empty at the end of the text.
std::uint32_t nextWord(std::string_view text, std::size_t& pos, std::string& word, bool& found,
                       bool* quoted = nullptr) {
    while (pos < text.size() && isBlank(text[pos]))
        ++pos;
    found = pos < text.size();
    word.clear();
    if (quoted)
        *quoted = found && text[pos] == '"';
    if (!found)
        return kOk;
    if (text[pos] == '"') {
        const std::size_t close = text.find('"', pos + 1);
        if (close == std::string_view::npos)
            return kNoClosingQuote;
        word.assign(text.substr(pos + 1, close - pos - 1));
        pos = close + 1;
        if (pos < text.size() && !isBlank(text[pos]))
            return kExtraCharacters;
        return kOk;
    }
    const std::size_t start = pos;
    while (pos < text.size() && !isBlank(text[pos]))
        ++pos;
    word.assign(text.substr(start, pos - start));
    return kOk;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return lowerCase(a) == b;
}

} // namespace

std::optional<Verb> verbOf(std::string_view word) {
    static constexpr std::pair<std::string_view, Verb> verbs[] = {
        {"open", Verb::Open},     {"close", Verb::Close},       {"play", Verb::Play},
        {"pause", Verb::Pause},   {"resume", Verb::Resume},     {"stop", Verb::Stop},
        {"seek", Verb::Seek},     {"setaudio", Verb::SetAudio}, {"status", Verb::Status},
        {"set", Verb::Set},       {"where", Verb::Where},       {"put", Verb::Put},
        {"window", Verb::Window},
    };
    for (const auto& [name, verb] : verbs)
        if (word == name)
            return verb;
    return std::nullopt;
}

namespace {

bool allowsAll(Verb verb) {
    return verb == Verb::Close || verb == Verb::Play || verb == Verb::Pause || verb == Verb::Resume ||
           verb == Verb::Stop;
}

// Walks the keywords after the device name. Each keyword may appear once.
// Wherever a keyword may stand, the flags every command accepts are taken
// out first; a value is always read as written.
class KeywordReader {
public:
    KeywordReader(const std::vector<CommandWord>& words, Command& command)
        : words_(words), command_(command) {}

    bool atEnd() {
        takeFlags();
        return index_ >= words_.size();
    }
    std::string next() {
        takeFlags();
        return lowerCase(words_[index_++].text);
    }
    bool hasValue() const { return index_ < words_.size(); }
    const std::string& value() { return words_[index_++].text; }
    std::string peekLower() const { return hasValue() ? lowerCase(words_[index_].text) : std::string(); }

    // Marks `keyword` as seen; false when it was seen before.
    bool firstTime(const std::string& keyword) {
        for (const auto& seen : seen_)
            if (seen == keyword)
                return false;
        seen_.push_back(keyword);
        return true;
    }

    // kDuplicateFlags once a flag came twice; the reading then stops.
    std::uint32_t flagError() const { return flagError_; }

private:
    void takeFlags() {
        while (!flagError_ && index_ < words_.size() && !words_[index_].quoted) {
            const std::string lower = lowerCase(words_[index_].text);
            bool* flag = lower == "wait"     ? &command_.wait
                         : lower == "notify" ? &command_.notify
                         : lower == "test"   ? &command_.test
                                             : nullptr;
            if (!flag)
                return;
            if (*flag) {
                flagError_ = kDuplicateFlags;
                index_ = words_.size();
                return;
            }
            *flag = true;
            ++index_;
        }
    }

    const std::vector<CommandWord>& words_;
    Command& command_;
    std::size_t index_ = 0;
    std::vector<std::string> seen_;
    std::uint32_t flagError_ = kOk;
};

std::uint32_t readInteger(KeywordReader& reader, std::int32_t& out) {
    if (!reader.hasValue())
        return kMissingParameter;
    const auto value = parseInteger(reader.value());
    if (!value)
        return kBadInteger;
    out = *value;
    return kOk;
}

// Window handles and styles are 32-bit values that may be written signed or
// unsigned.
std::uint32_t readWord32(KeywordReader& reader, std::optional<std::int64_t>& out) {
    if (!reader.hasValue())
        return kMissingParameter;
    const std::string& text = reader.value();
    std::int64_t value = 0;
    std::size_t start = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative)
        start = 1;
    if (start == text.size())
        return kBadInteger;
    const auto result = std::from_chars(text.data() + start, text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || value > 0xFFFFFFFFLL ||
        (negative && value > 0x80000000LL))
        return kBadInteger;
    out = negative ? static_cast<std::int64_t>(static_cast<std::uint32_t>(-value)) : value;
    return kOk;
}

std::uint32_t parseOpen(KeywordReader& reader, Command& command) {
    while (!reader.atEnd()) {
        const std::string keyword = reader.next();
        std::uint32_t code = kOk;
        if (keyword == "type" || keyword == "alias") {
            if (!reader.firstTime(keyword))
                return kDuplicateFlags;
            if (!reader.hasValue())
                return kMissingParameter;
            (keyword == "type" ? command.type : command.alias) = reader.value();
        } else if (keyword == "parent" || keyword == "style") {
            if (!reader.firstTime(keyword))
                return kDuplicateFlags;
            code = readWord32(reader, keyword == "parent" ? command.parent : command.style);
        } else if (keyword == "shareable") {
            if (!reader.firstTime(keyword))
                return kDuplicateFlags;
            command.shareable = true;
        } else {
            return kUnrecognizedKeyword;
        }
        if (code != kOk)
            return code;
    }
    return kOk;
}

std::uint32_t parsePlay(KeywordReader& reader, Command& command) {
    while (!reader.atEnd()) {
        const std::string keyword = reader.next();
        if (!reader.firstTime(keyword))
            return kDuplicateFlags;
        std::int32_t value = 0;
        if (keyword == "from" || keyword == "to") {
            if (const auto code = readInteger(reader, value); code != kOk)
                return code;
            if (value < 0)
                return kOutOfRange;
            (keyword == "from" ? command.from : command.to) = value;
        } else if (keyword == "repeat") {
            command.repeat = true;
        } else {
            return kUnrecognizedKeyword;
        }
    }
    if (command.from && command.to && *command.from > *command.to)
        return kOutOfRange;
    return kOk;
}

std::uint32_t parseSeek(KeywordReader& reader, Command& command) {
    bool target = false;
    while (!reader.atEnd()) {
        const std::string keyword = reader.next();
        if (keyword != "to")
            return kUnrecognizedKeyword;
        if (target)
            return kFlagsNotCompatible;
        target = true;
        const std::string where = reader.peekLower();
        if (where == "start" || where == "end") {
            reader.value();
            command.seekTarget = where == "start" ? SeekTarget::Start : SeekTarget::End;
            continue;
        }
        if (const auto code = readInteger(reader, command.seekPosition); code != kOk)
            return code;
        if (command.seekPosition < 0)
            return kOutOfRange;
        command.seekTarget = SeekTarget::Position;
    }
    return target ? kOk : kMissingParameter;
}

std::uint32_t parseSetAudio(KeywordReader& reader, Command& command) {
    bool volume = false;
    while (!reader.atEnd()) {
        const std::string keyword = reader.next();
        if (keyword != "volume")
            return kUnrecognizedKeyword;
        if (volume)
            return kDuplicateFlags;
        volume = true;
        if (reader.atEnd())
            return kMissingParameter;
        if (reader.next() != "to")
            return kUnrecognizedKeyword;
        if (const auto code = readInteger(reader, command.volume); code != kOk)
            return code;
        if (command.volume < 0 || command.volume > 1000)
            return kOutOfRange;
    }
    return volume ? kOk : kMissingParameter;
}

std::uint32_t parseStatus(KeywordReader& reader, Command& command) {
    bool item = false;
    while (!reader.atEnd()) {
        const std::string keyword = reader.next();
        StatusItem found;
        if (keyword == "length")
            found = StatusItem::Length;
        else if (keyword == "position")
            found = StatusItem::Position;
        else if (keyword == "volume")
            found = StatusItem::Volume;
        else if (keyword == "mode")
            found = StatusItem::Mode;
        else if (keyword == "ready")
            found = StatusItem::Ready;
        else if (keyword == "time" && reader.peekLower() == "format") {
            reader.value();
            found = StatusItem::TimeFormat;
        } else if (keyword == "media" && reader.peekLower() == "present") {
            reader.value();
            found = StatusItem::MediaPresent;
        } else
            return kUnrecognizedKeyword;
        if (item)
            return found == command.statusItem ? kDuplicateFlags : kFlagsNotCompatible;
        item = true;
        command.statusItem = found;
    }
    return item ? kOk : kMissingParameter;
}

std::uint32_t parseSet(KeywordReader& reader, Command&) {
    bool timeFormat = false;
    while (!reader.atEnd()) {
        const std::string keyword = reader.next();
        if (keyword != "time" || reader.peekLower() != "format")
            return kUnrecognizedKeyword;
        reader.value();
        if (timeFormat)
            return kDuplicateFlags;
        timeFormat = true;
        if (!reader.hasValue())
            return kMissingParameter;
        const std::string format = lowerCase(reader.value());
        if (format == "milliseconds" || format == "ms")
            continue;
        if (format == "frames" || format == "bytes" || format == "samples" || format == "hms" ||
            format == "msf" || format == "tmsf" || format == "smpte")
            return kBadTimeFormat;
        return kBadConstant;
    }
    return timeFormat ? kOk : kMissingParameter;
}

std::optional<RectTarget> rectTargetOf(const std::string& keyword) {
    if (keyword == "source")
        return RectTarget::Source;
    if (keyword == "destination")
        return RectTarget::Destination;
    if (keyword == "window")
        return RectTarget::Window;
    return std::nullopt;
}

std::uint32_t parseWhere(KeywordReader& reader, Command& command) {
    bool target = false;
    while (!reader.atEnd()) {
        const auto found = rectTargetOf(reader.next());
        if (!found)
            return kUnrecognizedKeyword;
        if (target)
            return *found == command.rectTarget ? kDuplicateFlags : kFlagsNotCompatible;
        target = true;
        command.rectTarget = *found;
    }
    return target ? kOk : kMissingParameter;
}

std::uint32_t parsePut(KeywordReader& reader, Command& command) {
    bool target = false;
    while (!reader.atEnd()) {
        const auto found = rectTargetOf(reader.next());
        if (!found || *found == RectTarget::Source)
            return kUnrecognizedKeyword;
        if (target)
            return *found == command.rectTarget ? kDuplicateFlags : kFlagsNotCompatible;
        target = true;
        command.rectTarget = *found;
        if (reader.atEnd())
            return kMissingParameter;
        if (reader.next() != "at")
            return kUnrecognizedKeyword;
        std::int32_t* fields[] = {&command.rect.x, &command.rect.y, &command.rect.width,
                                  &command.rect.height};
        for (std::int32_t* field : fields) {
            if (!reader.hasValue())
                return kBadInteger;
            const auto value = parseRoundedNumber(reader.value());
            if (!value)
                return kBadInteger;
            *field = *value;
        }
        // Beyond these X would cut the values silently.
        const auto coordinate = [](std::int32_t value) {
            return value >= kMinWindowCoordinate && value <= kMaxWindowCoordinate;
        };
        if (command.rect.width < 0 || command.rect.height < 0 || command.rect.width > kMaxWindowSize ||
            command.rect.height > kMaxWindowSize || !coordinate(command.rect.x) ||
            !coordinate(command.rect.y))
            return kOutOfRange;
    }
    return target ? kOk : kMissingParameter;
}

std::uint32_t parseWindow(KeywordReader& reader, Command& command) {
    bool state = false;
    while (!reader.atEnd()) {
        if (reader.next() != "state")
            return kUnrecognizedKeyword;
        if (state)
            return kDuplicateFlags;
        state = true;
        if (!reader.hasValue())
            return kMissingParameter;
        const std::string value = lowerCase(reader.value());
        if (value == "hide")
            command.show = false;
        else if (value == "show")
            command.show = true;
        else
            return kBadConstant;
    }
    return state ? kOk : kMissingParameter;
}

std::uint32_t parseVerbKeywords(KeywordReader& reader, Command& command) {
    switch (command.verb) {
    case Verb::Open:
        return parseOpen(reader, command);
    case Verb::Play:
        return parsePlay(reader, command);
    case Verb::Seek:
        return parseSeek(reader, command);
    case Verb::SetAudio:
        return parseSetAudio(reader, command);
    case Verb::Status:
        return parseStatus(reader, command);
    case Verb::Set:
        return parseSet(reader, command);
    case Verb::Where:
        return parseWhere(reader, command);
    case Verb::Put:
        return parsePut(reader, command);
    case Verb::Window:
        return parseWindow(reader, command);
    case Verb::Close:
    case Verb::Pause:
    case Verb::Resume:
    case Verb::Stop:
        return reader.atEnd() ? kOk : kUnrecognizedKeyword;
    }
    return kUnrecognizedCommand;
}

} // namespace

std::string lowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::uint32_t splitCommand(std::string_view text, CommandWords& words) {
    words = CommandWords{};
    std::size_t pos = 0;
    std::string word;
    bool found = false;
    // The verb is never quoted.
    while (pos < text.size() && isBlank(text[pos]))
        ++pos;
    const std::size_t verbStart = pos;
    while (pos < text.size() && !isBlank(text[pos]))
        ++pos;
    words.verb = lowerCase(text.substr(verbStart, pos - verbStart));
    if (words.verb.empty())
        return kMissingCommandString;
    if (const auto code = nextWord(text, pos, words.device, found); code != kOk)
        return code;
    for (;;) {
        bool quoted = false;
        if (const auto code = nextWord(text, pos, word, found, &quoted); code != kOk)
            return code;
        if (!found)
            return kOk;
        words.rest.push_back(CommandWord{word, quoted});
    }
}

std::optional<std::int32_t> parseInteger(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && text[start] == ' ')
        ++start;
    text.remove_prefix(start);
    if (text.empty() || text.front() == '+')
        return std::nullopt;
    std::int32_t value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<std::int32_t> parseRoundedNumber(std::string_view text) {
    if (const auto whole = parseInteger(text))
        return whole;
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    // Plain decimal fractions only: no exponent, no hexadecimal, no inf/nan.
    bool digits = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9')
            digits = true;
        else if (!(c == '.' || (c == '-' && i == 0)))
            return std::nullopt;
    }
    if (!digits || text.find('.') != text.rfind('.'))
        return std::nullopt;
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size())
        return std::nullopt;
    const double rounded = std::round(value);
    if (rounded < std::numeric_limits<std::int32_t>::min() ||
        rounded > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(rounded);
}

std::uint32_t parseKeywords(const CommandWords& words, Command& command) {
    command = Command{};
    const auto verb = verbOf(words.verb);
    if (!verb)
        return kUnrecognizedCommand;
    command.verb = *verb;
    if (words.device.empty())
        return kMissingDeviceName;
    command.device = words.device;
    command.all = equalsIgnoringCase(words.device, "all");
    if (command.all && !allowsAll(command.verb))
        return kCannotUseAll;

    KeywordReader reader(words.rest, command);
    const auto code = parseVerbKeywords(reader, command);
    return reader.flagError() ? reader.flagError() : code;
}

std::uint32_t parseCommand(std::string_view text, Command& command) {
    CommandWords words;
    if (const auto code = splitCommand(text, words); code != kOk)
        return code;
    return parseKeywords(words, command);
}

} // namespace tovimo::media
