// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/command_parser.h"
#include "platform/media/short_path.h"

#include "media_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace tovimo::media {
namespace {

struct FormCase {
    const char* path;
    const char* form;
};

TEST(ShortForm, KeepsPlainPathsAndEncodesTheRest) {
    const FormCase cases[] = {
        {"/m/clip.mp4", "/m/clip.mp4"},
        {"/m/été.mp4", "/m/été.mp4"},
        {"/m/my clip.mp4", "file:///m/my%20clip.mp4"},
        {"/m/say \"hi\".mp3", "file:///m/say%20%22hi%22.mp3"},
        {"/m/tab\there%.wav", "file:///m/tab%09here%25.wav"},
        {"/m/é é", "file:///m/é%20é"},
        {"/m/50%.mp3", "/m/50%.mp3"},
        {"/m/50% off.mp3", "file:///m/50%25%20off.mp3"},
        {"/m/bad\xff\xc3.mp3", "file:///m/bad%FF%C3.mp3"},
        {"/m/over\xc0\xaflong", "file:///m/over%C0%AFlong"},
        {"all", "file:///cwd/all"},
        {"ALL", "file:///cwd/ALL"},
        {"all.mp3", "all.mp3"},
        {"file:clip", "file:///cwd/file:clip"},
        {"rel dir/a.mp4", "file:///cwd/rel%20dir/a.mp4"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shortForm(c.path, "/cwd"), c.form) << c.path;
}

TEST(ShortForm, ReadsBackAsOneWordNamingTheSamePath) {
    const char* paths[] = {"/m/my clip.mp4", "/m/a\"b c",        "/m/%20 literal",  "/m/x\x01y",
                           "/m/ä ö/ü.mid",   "/m/\xe9t\xe9.mp3", "/m/take #1 ?.mp4"};
    for (const char* path : paths) {
        const std::string form = shortForm(path, "/");
        CommandWords words;
        ASSERT_EQ(splitCommand("open " + form + " alias a", words), 0u) << path;
        EXPECT_EQ(words.device, form);
        EXPECT_EQ(pathOfFileUri(form), std::string(path));
    }
}

TEST(ShortForm, StaysNearThePathsLength) {
    // Accented names must not triple in length: the player's buffer holds
    // a path, not three.
    std::string path = "/m";
    while (path.size() < 1450)
        path += "/é à ü";
    const std::string form = shortForm(path, "/");
    const auto blanks = static_cast<std::size_t>(std::count(path.begin(), path.end(), ' '));
    EXPECT_EQ(form.size(), path.size() + 7 + 2 * blanks);
    EXPECT_EQ(pathOfFileUri(form), path);
}

TEST(PathOfFileUri, RejectsOtherHostsAndBadEscapes) {
    EXPECT_EQ(pathOfFileUri("file://localhost/a%41"), "/aA");
    EXPECT_EQ(pathOfFileUri("FILE:///a"), "/a");
    EXPECT_FALSE(pathOfFileUri("file://server/a"));
    EXPECT_FALSE(pathOfFileUri("file:///a%4"));
    EXPECT_FALSE(pathOfFileUri("file:///a%zz"));
    EXPECT_FALSE(pathOfFileUri("file:///a%00b"));
    EXPECT_FALSE(pathOfFileUri("/a"));
}

TEST(FileUriOf, TakesARelativePathFromTheCurrentFolderHoweverDeep) {
    testing::ScratchFolder folder;
    const std::filesystem::path start = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
    std::string deep = folder.path();
    while (deep.size() <= 4200) { // beyond PATH_MAX: made one step at a time
        const std::string step(200, 'd');
        std::filesystem::create_directory(step);
        std::filesystem::current_path(step);
        deep += '/' + step;
    }
    const std::string uri = fileUriOf("a b#.wav");
    std::filesystem::current_path(start);
    EXPECT_EQ(uri.substr(0, 8), "file:///");
    EXPECT_EQ(pathOfFileUri(uri), deep + "/a b#.wav");
}

TEST(FileUriOf, LeavesDotDotStepsForTheKernelThroughALink) {
    // "link/.." is the folder holding the link's target, not the folder
    // holding the link: folding it by text would open another file.
    testing::ScratchFolder folder;
    std::filesystem::create_directories(folder.file("real/inner"));
    std::filesystem::create_directory_symlink(folder.file("real/inner"), folder.file("link"));
    ASSERT_TRUE(testing::writeFile(folder.file("real/clip.wav"), "x"));
    const std::string path = folder.file("link/../clip.wav");
    const auto back = pathOfFileUri(fileUriOf(path));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, path);
    EXPECT_TRUE(std::filesystem::exists(*back));
}

TEST(ShortPathName, AnswersLengthsLikeThePlatformCall) {
    testing::ScratchFolder folder;
    const std::string plain = folder.file("plain.mp3");
    const std::string blank = folder.file("with blank.mp3");
    ASSERT_TRUE(testing::writeFile(plain, "x"));
    ASSERT_TRUE(testing::writeFile(blank, "x"));

    char buffer[4096];
    EXPECT_EQ(shortPathName(plain.c_str(), buffer, sizeof buffer), plain.size());
    EXPECT_EQ(std::string(buffer), plain);

    const auto length = shortPathName(blank.c_str(), buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), fileUriOf(blank));
    EXPECT_EQ(length, fileUriOf(blank).size());

    char small[8] = "keep";
    EXPECT_EQ(shortPathName(plain.c_str(), small, sizeof small), plain.size() + 1);
    EXPECT_EQ(std::string(small), "keep");

    EXPECT_EQ(shortPathName(folder.file("missing.mp3").c_str(), buffer, sizeof buffer), 0u);
    EXPECT_EQ(shortPathName("", buffer, sizeof buffer), 0u);
}

TEST(ShortPathName, HandlesPathsLongerThanTheOldLimit) {
    testing::ScratchFolder folder;
    std::string path = folder.path();
    for (int i = 0; i < 4; ++i) {
        path += "/" + std::string(90, 'd');
        std::filesystem::create_directory(path);
    }
    path += "/clip.wav";
    ASSERT_TRUE(testing::writeFile(path, "x"));
    ASSERT_GT(path.size(), 300u);
    char buffer[4096];
    EXPECT_EQ(shortPathName(path.c_str(), buffer, sizeof buffer), path.size());
}

} // namespace
} // namespace tovimo::media
