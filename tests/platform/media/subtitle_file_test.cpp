// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/subtitle_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

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

} // namespace
} // namespace tovimo::media
