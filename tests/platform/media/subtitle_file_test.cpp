// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/subtitle_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace tovimo::media {
namespace {

struct Case {
    const char* film;
    std::vector<std::string> names;
    const char* chosen; // null: none
};

TEST(SubtitleFile, ChoosesTheFileThatGoesWithTheFilm) {
    const Case cases[] = {
        {"film.mkv", {"film.mkv", "film.srt"}, "film.srt"},
        {"film.mkv", {"film.mkv", "film.en.srt"}, "film.en.srt"},
        {"film.mkv", {"film.en.srt", "film.srt"}, "film.srt"},
        {"film.mkv", {"film.vtt", "film.ssa", "film.ass", "film.srt"}, "film.srt"},
        {"film.mkv", {"film.vtt", "film.ssa"}, "film.ssa"},
        {"film.mkv", {"film.fr.srt", "film.de.srt"}, "film.de.srt"},
        {"film.mkv", {"film.en.srt", "film.vtt"}, "film.vtt"},
        {"film.mkv", {"FILM.SRT.txt", "film.SRT"}, "film.SRT"},
        {"film.mkv", {"Film.srt"}, nullptr},
        {"film.mkv", {"film2.srt", "films.srt", "fil.srt"}, nullptr},
        {"film.mkv", {"film.txt", "film.sub", "film.mp4", "film.srt.bak"}, nullptr},
        {"film.mkv", {"film.en.us.srt", "film..srt"}, nullptr},
        {"film.mkv", {}, nullptr},
        {"my.film.2020.mkv", {"my.film.srt", "my.film.2020.srt"}, "my.film.2020.srt"},
        {"my.film.2020.mkv", {"my.film.2020.pt-BR.vtt"}, "my.film.2020.pt-BR.vtt"},
        {"film", {"film.srt"}, nullptr},
        {".mkv", {".srt"}, nullptr},
        {"clip.srt", {"clip.srt"}, nullptr},
    };
    for (const Case& c : cases) {
        const auto chosen = subtitleNameFor(c.film, c.names);
        if (c.chosen)
            EXPECT_EQ(chosen.value_or("(none)"), c.chosen) << c.film;
        else
            EXPECT_FALSE(chosen) << c.film << " took " << chosen.value_or("");
    }
}

TEST(SubtitleFile, LooksInTheFilmsOwnFolder) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("tovimo-subtitle-" + std::to_string(::getpid()));
    fs::create_directories(folder / "other");
    for (const char* name : {"film.mkv", "film.en.srt", "other/film.srt", "clip.mp4"})
        std::ofstream(folder / name) << "x";
    EXPECT_EQ(subtitleFileBeside((folder / "film.mkv").string()).value_or(""),
              (folder / "film.en.srt").string());
    EXPECT_FALSE(subtitleFileBeside((folder / "clip.mp4").string()));
    EXPECT_FALSE(subtitleFileBeside((folder / "missing" / "film.mkv").string()));
    fs::remove_all(folder);
}

// Only a plain file is read: a pipe given a subtitle's name (no writer)
// must not hold the film's open, nor a device that never ends.
TEST(SubtitleFile, ReadsOnlyAPlainFileOfAtMostTheLargestSize) {
    namespace fs = std::filesystem;
    const fs::path folder =
        fs::temp_directory_path() / ("tovimo-subtitle-read-" + std::to_string(::getpid()));
    fs::create_directories(folder / "folder.srt");
    std::ofstream(folder / "plain.srt") << "0123456789";
    std::ofstream(folder / "large.srt") << std::string(11, 'x');
    ASSERT_EQ(::mkfifo((folder / "pipe.srt").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", folder / "zero.srt");
    fs::create_symlink(folder / "plain.srt", folder / "link.srt");
    struct Read {
        const char* name;
        std::optional<std::string> text;
        const char* reason;
    };
    const Read cases[] = {
        {"plain.srt", "0123456789", ""},
        {"link.srt", "0123456789", ""},
        {"large.srt", std::nullopt, "larger than 10 bytes"},
        {"folder.srt", std::nullopt, "it is not a plain file"},
        {"pipe.srt", std::nullopt, "it is not a plain file"},
        {"zero.srt", std::nullopt, "it is not a plain file"},
        {"missing.srt", std::nullopt, "it cannot be read"},
    };
    for (const Read& c : cases) {
        std::string reason;
        EXPECT_EQ(readSubtitleFile((folder / c.name).string(), 10, reason), c.text) << c.name;
        EXPECT_EQ(reason, c.reason) << c.name;
    }
    fs::remove_all(folder);
}

TEST(SubtitleFile, TellsTheKindOfSubtitleTextByItsOwnMarks) {
    using F = SubtitleFormat;
    struct Kind {
        std::string start;
        std::optional<F> format;
    };
    const Kind cases[] = {
        {"1\n00:00:00,000 --> 00:00:20,000\nHELLO\n", F::SubRip},
        {"1\r\n00:00:01.5 --> 00:00:02.25\r\nA\r\n", F::SubRip},
        {"\xEF\xBB\xBF\n\n1\n0:00:00,000-->0:00:01,000\nB", F::SubRip},
        {"  00:00:00,000 --> 00:00:20,000  \n", F::SubRip},
        {"WEBVTT\n\n00:00.000 --> 00:20.000\nHELLO\n", F::WebVtt},
        {"\xEF\xBB\xBFWEBVTT - a title\n", F::WebVtt},
        {"WEBVTT", F::WebVtt},
        {"[Script Info]\nScriptType: v4.00+\n", F::Ass},
        {"[script info]\n\n[V4+ Styles]\n", F::Ass},
        {"[Script Info]\nScriptType: v4.00\n[V4 Styles]\n", F::Ssa},
        {"", std::nullopt},
        {" \r\n\t\n", std::nullopt},
        {"WEBVTTX\n\n00:00.000 --> 00:20.000\n", F::SubRip},
        {"WEBVTTX\n", std::nullopt},
        {"just a note --> about nothing\n", std::nullopt},
        {"1\n00:00:00,000 -> 00:00:20,000\n", std::nullopt},
        {"1\n00:00:00 --> 00:00:20\n", std::nullopt},
        {"1\n00:00:00,000 --> soon\n", std::nullopt},
        {std::string("\x7f"
                     "ELF\0\0\x01\x02",
                     8) +
             "1\n00:00:00,000 --> 00:00:20,000\nX\n",
         std::nullopt},
        {std::string("1\n00:00:00,000 --> 00:00:20,000\nX\0", 34), std::nullopt},
    };
    for (const Kind& c : cases) {
        const auto format = subtitleFormatOf(c.start);
        EXPECT_EQ(format ? int(*format) : -1, c.format ? int(*c.format) : -1) << c.start;
    }
}

// Cues written as SubRip, which the tables below read more easily.
std::string asSubRip(const std::vector<SubtitleCue>& cues) {
    const auto time = [](std::int64_t ms) {
        char text[32];
        std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld,%03lld", static_cast<long long>(ms / 3600000),
                      static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60),
                      static_cast<long long>(ms % 1000));
        return std::string(text);
    };
    std::string subRip;
    for (std::size_t index = 0; index < cues.size(); ++index)
        subRip += std::to_string(index + 1) + "\n" + time(cues[index].start) + " --> " +
                  time(cues[index].end) + "\n" + cues[index].text + "\n\n";
    return subRip;
}

TEST(SubtitleFile, ReadsTheDialogueOfAScript) {
    const std::string events = "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, "
                               "Effect, Text\n";
    struct Script {
        const char* what;
        std::string script;
        std::string subRip;
    };
    const Script cases[] = {
        {"ordinary",
         "[Script Info]\nScriptType: v4.00+\nTitle: x, y\n\n[V4+ Styles]\nFormat: Name, Fontname\n"
         "Style: Default,Arial\n\n" +
             events +
             "Dialogue: 0,0:00:01.50,0:00:03.00,Default,,0,0,0,,HELLO\n"
             "Comment: 0,0:00:02.00,0:00:04.00,Default,,0,0,0,,not shown\n"
             "Dialogue: 0,1:02:03.04,1:02:05.99,Default,,0,0,0,,BYE\n",
         "1\n00:00:01,500 --> 00:00:03,000\nHELLO\n\n2\n01:02:03,040 --> 01:02:05,990\nBYE\n\n"},
        {"commas, tags and breaks in the text",
         events +
             "Dialogue: 0,0:00:00.00,0:00:02.00,Default,Bob,0,0,0,,{\\b1}Well,{\\b0} yes,\\Nno\\nmaybe\\hso\n"
             "Dialogue: 0,0:00:02.00,0:00:03.00,Default,,0,0,0,,{\\pos(1,2)}\\N {\\i1} A {\\i0}\\N\\N\n",
         "1\n00:00:00,000 --> 00:00:02,000\nWell, yes,\nno\nmaybe so\n\n"
         "2\n00:00:02,000 --> 00:00:03,000\nA\n\n"},
        {"events out of order, the same start kept in file order",
         events + "Dialogue: 0,0:00:09.00,0:00:10.00,Default,,0,0,0,,C\n"
                  "Dialogue: 1,0:00:01.00,0:00:02.00,Default,,0,0,0,,A\n"
                  "Dialogue: 0,0:00:01.00,0:00:05.00,Default,,0,0,0,,B\n",
         "1\n00:00:01,000 --> 00:00:02,000\nA\n\n2\n00:00:01,000 --> 00:00:05,000\nB\n\n"
         "3\n00:00:09,000 --> 00:00:10,000\nC\n\n"},
        {"columns in their own order",
         "[Events]\nFormat: Text, End, Start\nDialogue: HI,0:00:02.00,0:00:01.00\n",
         "1\n00:00:01,000 --> 00:00:02,000\nHI\n\n"},
        {"no Format line: SSA's columns",
         "[Script Info]\nScriptType: v4.00\n[Events]\n"
         "Dialogue: Marked=0,0:00:01.00,0:00:02.00,*Default,,0000,0000,0000,,OLD, STYLE\n",
         "1\n00:00:01,000 --> 00:00:02,000\nOLD, STYLE\n\n"},
        {"CRLF and a byte order mark",
         "\xEF\xBB\xBF[Script Info]\r\n\r\n[Events]\r\nFormat: Layer, Start, End, Style, Name, MarginL, "
         "MarginR, "
         "MarginV, Effect, Text\r\nDialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,X\\NY\r\n",
         "1\n00:00:01,000 --> 00:00:02,000\nX\nY\n\n"},
        {"malformed times and empty text passed over",
         events + "Dialogue: 0,0:00:01,0:00:02.00,Default,,0,0,0,,no fraction is fine\n"
                  "Dialogue: 0,0:0:03.00,0:00:04.00,Default,,0,0,0,,one-digit minutes\n"
                  "Dialogue: 0,0:00:05.00,soon,Default,,0,0,0,,a word\n"
                  "Dialogue: 0,0:00:07.00,0:00:06.00,Default,,0,0,0,,ends first\n"
                  "Dialogue: 0,0:00:08.00,0:00:08.00,Default,,0,0,0,,no time\n"
                  "Dialogue: 0,0:00:09.00,0:00:10.00,Default,,0,0,0,,{\\an8}\\h\\N\n"
                  "Dialogue: 0,0:00:11.00,0:00:12.00,Default,,0,0,0\n"
                  "Dialogue: 0,0:00:13.5,0:00:14.123,Default,,0,0,0,,{unclosed\n"
                  "Dialogue: 0,0:00:15.5,0:00:16.123,Default,,0,0,0,,fractions\n",
         "1\n00:00:01,000 --> 00:00:02,000\nno fraction is fine\n\n"
         "2\n00:00:15,500 --> 00:00:16,123\nfractions\n\n"},
        {"dialogue outside the events",
         "[Script Info]\nDialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,X\n", ""},
        {"a Format line without the times",
         "[Events]\nFormat: Layer, Text\nDialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,X\n", ""},
        {"nothing at all", "", ""},
        {"not a script", "1\n00:00:00,000 --> 00:00:20,000\nHELLO\n", ""},
    };
    for (const Script& c : cases)
        EXPECT_EQ(asSubRip(cuesOfScript(c.script)), c.subRip) << c.what;
}

TEST(SubtitleFile, ReadsTheCuesOfSubRipAndWebVtt) {
    struct Text {
        const char* what;
        std::string text;
        std::string cues; // as SubRip
    };
    const Text cases[] = {
        {"SubRip",
         "1\n00:00:01,000 --> 00:00:02,500\nHello\nthere\n\n2\n00:00:03,000 --> 00:01:04,250\nBye\n",
         "1\n00:00:01,000 --> 00:00:02,500\nHello\nthere\n\n2\n00:00:03,000 --> 00:01:04,250\nBye\n\n"},
        {"tags, override blocks and CR LF",
         "\xEF\xBB\xBF"
         "1\r\n00:00:01,000 --> 00:00:02,000\r\n{\\an8}<i>Well</i>, <font "
         "color=\"red\">yes</font>"
         " {not a block}\r\n\r\n",
         "1\n00:00:01,000 --> 00:00:02,000\nWell, yes {not a block}\n\n"},
        {"no blank line between cues, a line of spaces ending one, times out of order",
         "1\n00:00:05,000 --> 00:00:06,000\nlater\n2\n00:00:01,000 --> 00:00:02,000\nearlier\n   \nstray\n",
         "1\n00:00:01,000 --> 00:00:02,000\nearlier\n\n2\n00:00:05,000 --> 00:00:06,000\nlater\n\n"},
        {"bad times, an end before the start and a cue with no text passed over",
         "1\n00:00:01,000 --> 00:00:61,000\nbad seconds\n\n2\n00:00:03,000 --> 00:00:02,000\nbackwards\n\n"
         "3\n00:00:04,000 --> 00:00:05,000\n<i></i>\n\n4\n00:00:06,5 --> 00:00:07,25\nshort fractions\n",
         "1\n00:00:06,500 --> 00:00:07,250\nshort fractions\n\n"},
        {"WebVTT: no hours, settings, voices and references",
         "WEBVTT - a title\n\nNOTE a comment\n\nSTYLE\n::cue { color: red }\n\nintro\n"
         "00:01.000 --> 00:02.000 align:start line:0\n<v Bob>Fish &amp; chips &lt;3</v>\n\n"
         "01:00:00.000 --> 01:00:01.000\nan hour <00:00:00.500>in\n",
         "1\n00:00:01,000 --> 00:00:02,000\nFish & chips <3\n\n2\n01:00:00,000 --> 01:00:01,000\nan hour "
         "in\n\n"},
        {"SubRip keeps its ampersands", "1\n00:00:01,000 --> 00:00:02,000\nR&amp;B\n",
         "1\n00:00:01,000 --> 00:00:02,000\nR&amp;B\n\n"},
        {"Windows-1252", "1\n00:00:01,000 --> 00:00:02,000\n\xC9t\xE9 \x80 \x93ok\x94\n",
         "1\n00:00:01,000 --> 00:00:02,000\n\xC3\x89t\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cok\xE2\x80\x9D\n\n"},
        {"not Windows-1252 either: Latin-1", "1\n00:00:01,000 --> 00:00:02,000\nA\x81\xE9\n",
         "1\n00:00:01,000 --> 00:00:02,000\nA\xC2\x81\xC3\xA9\n\n"},
        {"a script", "[Script Info]\n[Events]\nDialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,X\n",
         "1\n00:00:01,000 --> 00:00:02,000\nX\n\n"},
        {"binary",
         std::string("\x7f"
                     "ELF\0\0",
                     6) +
             "1\n00:00:01,000 --> 00:00:02,000\nX\n",
         ""},
        {"no timing at all", "Hello\nthere\n", ""},
        {"nothing", "", ""},
    };
    for (const Text& c : cases)
        EXPECT_EQ(asSubRip(subtitleCuesOf(c.text)), c.cues) << c.what;
}

TEST(SubtitleFile, ShowsEveryCueThatCoversATime) {
    const SubtitleTrack track(
        {{5000, 9000, "B"}, {1000, 2000, "A"}, {0, 60000, "all along"}, {8000, 8500, "C"}});
    struct At {
        std::int64_t time;
        const char* shown;
    };
    const At cases[] = {
        {0, "all along"},       {999, "all along"},  {1000, "all along\nA"},
        {1999, "all along\nA"}, {2000, "all along"}, {8200, "all along\nB\nC"},
        {8500, "all along\nB"}, {60000, ""},         {-5, ""},
    };
    for (const At& c : cases)
        EXPECT_EQ(track.textAt(c.time), c.shown) << c.time;
    const SubtitleTrack apart({{1000, 2000, "A"}, {3000, 4000, "B"}});
    EXPECT_EQ(apart.textAt(2500), "");
    EXPECT_EQ(apart.textAt(3000), "B");
    EXPECT_TRUE(SubtitleTrack({}).empty());
}

} // namespace
} // namespace tovimo::media
