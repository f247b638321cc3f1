// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/subtitle_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
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

} // namespace
} // namespace tovimo::media
