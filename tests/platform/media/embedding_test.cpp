// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/mci_service.h"

#include "media_fixtures.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>

namespace tovimo::media {
namespace {

struct Rgb {
    int r, g, b;
};

// The top two thirds of the SMPTE pattern, left to right.
const Rgb kBars[] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                     {255, 0, 255},   {255, 0, 0},   {0, 0, 255}};
constexpr unsigned long kParentColour = 0x336699;

bool near(const Rgb& a, const Rgb& b) {
    return std::abs(a.r - b.r) < 48 && std::abs(a.g - b.g) < 48 && std::abs(a.b - b.b) < 48;
}

class Embedding : public ::testing::Test {
protected:
    // One connection for the whole suite: an Xvfb started without -noreset
    // resets itself when its last client leaves, refusing connections for a
    // moment.
    static void SetUpTestSuite() {
        if (!std::getenv("DISPLAY"))
            return;
        initializeProcess();
        display_ = XOpenDisplay(nullptr);
    }

    static void TearDownTestSuite() {
        if (display_)
            XCloseDisplay(display_);
        display_ = nullptr;
    }

    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "needs an X display (Xvfb)";
        ASSERT_NE(display_, nullptr);
        parent_ =
            XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 320, 240, 0, 0, kParentColour);
        XMapWindow(display_, parent_);
        XSync(display_, False);
    }

    void TearDown() override {
        if (parent_)
            XDestroyWindow(display_, parent_);
        if (display_)
            XSync(display_, False);
    }

    Rgb pixel(int x, int y) {
        XImage* image = XGetImage(display_, parent_, x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image)
            return {-1, -1, -1};
        const unsigned long value = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        return {static_cast<int>((value >> 16) & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>(value & 0xFF)};
    }

    // True once every bar shows at its place in a picture of `width` x
    // `height` at the parent's top-left corner; waits a bounded time for
    // the sink's drawing thread.
    bool barsShown(int width, int height) {
        return barsShownAt([&](int i) { return std::pair{(2 * i + 1) * width / 14, height / 3}; });
    }

    // Like barsShown, with bar i expected at the point `at(i)`.
    template <typename Place> bool barsShownAt(Place at) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (;;) {
            bool all = true;
            for (int i = 0; i < 7 && all; ++i)
                all = near(pixel(at(i).first, at(i).second), kBars[i]);
            if (all || std::chrono::steady_clock::now() > deadline) {
                for (int i = 0; i < 7 && !all; ++i) {
                    const Rgb seen = pixel(at(i).first, at(i).second);
                    ADD_FAILURE() << "bar " << i << ": " << seen.r << ' ' << seen.g << ' ' << seen.b;
                }
                return all;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    unsigned childCount() {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        XQueryTree(display_, parent_, &root, &parent, &children, &count);
        if (children)
            XFree(children);
        return count;
    }

    // The open command that puts the clip's video into a child of the parent.
    std::string openInParent(const std::string& clip) const {
        return "Open " + clip + " type MPEGVideo Alias Media parent " + std::to_string(parent_) +
               " style 1073741824";
    }

    static inline Display* display_ = nullptr;
    Window parent_ = 0;
};

TEST_F(Embedding, DrawsTheVideoInsideTheParentAndRescalesWhilePaused) {
    testing::ScratchFolder folder;
    const std::string clip = folder.file("bars.mp4");
    ASSERT_TRUE(testing::makeMedia("mp4", clip));
    MciService service;
    const std::string open = openInParent(clip);
    ASSERT_EQ(service.sendString(open.c_str(), nullptr, 0), 0u);
    EXPECT_EQ(childCount(), 1u);

    ASSERT_EQ(service.sendString("put Media window at 0 0 320 240", nullptr, 0), 0u);
    EXPECT_TRUE(barsShown(320, 240));

    ASSERT_EQ(service.sendString("put Media window at 0 0 160 120", nullptr, 0), 0u);
    EXPECT_TRUE(barsShown(160, 120));
    const Rgb outside = pixel(300, 220);
    EXPECT_TRUE(near(outside, Rgb{0x33, 0x66, 0x99})) << outside.r << ' ' << outside.g << ' ' << outside.b;
    char reply[128];
    ASSERT_EQ(service.sendString("where Media destination", reply, sizeof reply), 0u);
    EXPECT_STREQ(reply, "0 0 160 120");
    // Beyond what X holds the window stays where it was.
    EXPECT_EQ(service.sendString("put Media window at 0 0 70000 70000", nullptr, 0), 282u);
    ASSERT_EQ(service.sendString("where Media destination", reply, sizeof reply), 0u);
    EXPECT_STREQ(reply, "0 0 160 120");

    // Playing keeps drawing into the child until the end.
    ASSERT_EQ(service.sendString("play Media wait", nullptr, 0), 0u);
    EXPECT_TRUE(barsShown(160, 120));

    ASSERT_EQ(service.sendString("window Media state hide", nullptr, 0), 0u);
    const Rgb hidden = pixel(80, 40);
    EXPECT_TRUE(near(hidden, Rgb{0x33, 0x66, 0x99}));

    ASSERT_EQ(service.sendString("close all", nullptr, 0), 0u);
    EXPECT_EQ(childCount(), 0u);
}

// Without a compositor, a window passed over the picture erases what it
// covered, and the picture is drawn again only if someone asks: while
// paused, no new frame comes to do it.
TEST_F(Embedding, APausedPictureIsDrawnAgainWhenAWindowThatCoveredItGoes) {
    testing::ScratchFolder folder;
    const std::string clip = folder.file("bars.mp4");
    ASSERT_TRUE(testing::makeMedia("mp4", clip));
    MciService service;
    const std::string open = openInParent(clip);
    ASSERT_EQ(service.sendString(open.c_str(), nullptr, 0), 0u);
    ASSERT_EQ(service.sendString("put Media window at 0 0 320 240", nullptr, 0), 0u);
    ASSERT_TRUE(barsShown(320, 240));
    const auto coverAndUncover = [&] {
        int x = 0;
        int y = 0;
        Window child = 0;
        XTranslateCoordinates(display_, parent_, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        attributes.background_pixel = WhitePixel(display_, DefaultScreen(display_));
        const Window cover =
            XCreateWindow(display_, DefaultRootWindow(display_), x + 10, y + 10, 300, 200, 0, CopyFromParent,
                          InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
        XMapRaised(display_, cover);
        XSync(display_, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        // What the screen shows there (the parent's own contents are
        // undefined where another window covers them).
        XImage* screen =
            XGetImage(display_, DefaultRootWindow(display_), x + 160, y + 120, 1, 1, AllPlanes, ZPixmap);
        ASSERT_NE(screen, nullptr);
        EXPECT_EQ(XGetPixel(screen, 0, 0) & 0xFFFFFF, 0xFFFFFFu) << "the cover is on the screen";
        XDestroyImage(screen);
        XDestroyWindow(display_, cover);
        XSync(display_, False);
    };
    coverAndUncover();
    EXPECT_TRUE(barsShown(320, 240)) << "paused after the open";

    ASSERT_EQ(service.sendString("play Media", nullptr, 0), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(service.sendString("pause Media", nullptr, 0), 0u);
    ASSERT_TRUE(barsShown(320, 240));
    coverAndUncover();
    EXPECT_TRUE(barsShown(320, 240)) << "paused while playing";
    ASSERT_EQ(service.sendString("close all", nullptr, 0), 0u);
}

TEST_F(Embedding, ShowsTheLastFrameAtTheEndAndRescalesIt) {
    testing::ScratchFolder folder;
    const std::string clip = folder.file("bars.mp4");
    ASSERT_TRUE(testing::makeMedia("mp4", clip));
    MciService service;
    const std::string open = openInParent(clip);
    ASSERT_EQ(service.sendString(open.c_str(), nullptr, 0), 0u);
    char length[128];
    ASSERT_EQ(service.sendString("status Media length", length, sizeof length), 0u);
    const std::string seek = std::string("seek Media to ") + length;
    ASSERT_EQ(service.sendString(seek.c_str(), nullptr, 0), 0u);
    ASSERT_EQ(service.sendString("put Media window at 0 0 160 120", nullptr, 0), 0u);
    EXPECT_TRUE(barsShown(160, 120));
    ASSERT_EQ(service.sendString("play Media", nullptr, 0), 0u);
    char position[128];
    ASSERT_EQ(service.sendString("status Media position", position, sizeof position), 0u);
    EXPECT_STREQ(position, length);
    ASSERT_EQ(service.sendString("put Media window at 0 0 320 240", nullptr, 0), 0u);
    EXPECT_TRUE(barsShown(320, 240));
    ASSERT_EQ(service.sendString("close all", nullptr, 0), 0u);
}

TEST_F(Embedding, TurnsAPhoneVideoUprightAndLetterboxesIt) {
    testing::ScratchFolder folder;
    const std::string clip = folder.file("upright.mp4");
    ASSERT_TRUE(testing::makeRotatedMp4(clip));
    MciService service;
    const std::string open = openInParent(clip);
    ASSERT_EQ(service.sendString(open.c_str(), nullptr, 0), 0u);
    char reply[128];
    ASSERT_EQ(service.sendString("where Media source", reply, sizeof reply), 0u);
    EXPECT_STREQ(reply, "0 0 240 320");
    ASSERT_EQ(service.sendString("put Media window at 0 0 320 240", nullptr, 0), 0u);
    // Turned clockwise, the bars run from top to bottom in the right two
    // thirds of a 180x240 picture centred between black borders.
    EXPECT_TRUE(barsShownAt([](int i) { return std::pair{70 + 180 * 2 / 3, (2 * i + 1) * 240 / 14}; }));
    const Rgb border = pixel(20, 120);
    EXPECT_TRUE(near(border, Rgb{0, 0, 0})) << border.r << ' ' << border.g << ' ' << border.b;
    ASSERT_EQ(service.sendString("close all", nullptr, 0), 0u);
}

// A dark 320x180 picture for two seconds; with `subtitles` (an .srt file),
// a Matroska file that carries them as its own subtitle stream.
bool makeDarkClip(const std::string& path, const std::string& subtitles = {}) {
    std::string command =
        "timeout 120 gst-launch-1.0 -q videotestsrc num-buffers=50 pattern=solid-color "
        "foreground-color=0xff000050 ! video/x-raw,width=320,height=180,framerate=25/1,format=I420 "
        "! x264enc speed-preset=ultrafast ! h264parse ! ";
    if (subtitles.empty())
        command += "mp4mux ! filesink location=\"" + path + "\"";
    else
        command += "matroskamux name=m ! filesink location=\"" + path + "\" filesrc location=\"" + subtitles +
                   "\" ! subparse ! capssetter caps=text/x-raw,format=utf8 ! m.subtitle_%u";
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// Subtitle files shorter than a few lines are not recognised as such.
const std::string kSubtitles = "1\n00:00:00,000 --> 00:00:30,000\nHHHHHHHHHHHH\n\n"
                               "2\n00:00:30,000 --> 00:00:31,000\nA SECOND LINE, NEVER SHOWN\n\n"
                               "3\n00:00:31,000 --> 00:00:32,000\nA THIRD LINE, NEVER SHOWN\n\n";

class Subtitles : public Embedding {
protected:
    // Pixels of the subtitle's white in the top and the bottom half of the parent.
    std::pair<int, int> whitePixels() {
        XImage* image = XGetImage(display_, parent_, 0, 0, 320, 240, AllPlanes, ZPixmap);
        if (!image)
            return {-1, -1};
        std::pair<int, int> count{0, 0};
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x) {
                const unsigned long value = XGetPixel(image, x, y);
                if (((value >> 16) & 0xFF) > 200 && ((value >> 8) & 0xFF) > 200 && (value & 0xFF) > 200)
                    ++(y < 120 ? count.first : count.second);
            }
        XDestroyImage(image);
        return count;
    }

    // Plays `clip` in a 320x240 picture area; the white pixels seen while it plays.
    std::pair<int, int> play(MciService& service, const std::string& clip) {
        const std::string open = openInParent(clip);
        EXPECT_EQ(service.sendString(open.c_str(), nullptr, 0), 0u);
        EXPECT_EQ(service.sendString("put Media window at 0 0 320 240", nullptr, 0), 0u);
        EXPECT_EQ(service.sendString("play Media", nullptr, 0), 0u);
        std::pair<int, int> seen{0, 0};
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        char mode[64] = "";
        while (std::chrono::steady_clock::now() < deadline) {
            seen = whitePixels();
            service.sendString("status Media mode", mode, sizeof mode);
            if (seen.second > 40 || std::string(mode) == "stopped")
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return seen;
    }

    // As play, in a service of its own, closed after.
    std::pair<int, int> playShown(const std::string& clip) {
        MciService service;
        const auto seen = play(service, clip);
        EXPECT_EQ(service.sendString("close all", nullptr, 0), 0u);
        return seen;
    }
};

TEST_F(Subtitles, DrawsTheFilesOwnAndThoseOfAFileBesideIt) {
    testing::ScratchFolder folder;
    ASSERT_TRUE(testing::writeFile(folder.file("film.en.srt"), kSubtitles));
    ASSERT_TRUE(makeDarkClip(folder.file("film.mp4")));
    // Carried as plain text, which the overlay must not read as markup.
    std::string plain = kSubtitles;
    plain.replace(plain.find("HHHHHHHHHHHH"), 12, "HHHHH & HHHH");
    ASSERT_TRUE(testing::writeFile(folder.file("lines.txt"), plain));
    ASSERT_TRUE(makeDarkClip(folder.file("own.mkv"), folder.file("lines.txt")));
    for (const char* name : {"film.mp4", "own.mkv"}) {
        SCOPED_TRACE(name);
        const auto [top, bottom] = playShown(folder.file(name));
        // A row of white capitals on a dark picture, near its lower edge.
        EXPECT_GT(bottom, 40);
        EXPECT_EQ(top, 0);
    }
}

// The same film opened again and again in one process, as a player does
// film after film: its subtitle file shows every time.
TEST_F(Subtitles, AFileBesideTheFilmShowsAtEveryOpen) {
    testing::ScratchFolder folder;
    ASSERT_TRUE(makeDarkClip(folder.file("film.mp4")));
    ASSERT_TRUE(
        testing::writeFile(folder.file("film.vtt"), "WEBVTT\n\n00:00.000 --> 00:30.000\nHHHH &amp; HHHH\n"));
    MciService service;
    for (int open = 1; open <= 10; ++open) {
        const auto [top, bottom] = play(service, folder.file("film.mp4"));
        EXPECT_GT(bottom, 40) << "open " << open;
        EXPECT_EQ(top, 0) << "open " << open;
        ASSERT_EQ(service.sendString("close Media", nullptr, 0), 0u);
    }
}

// An SSA script of the newer kind, its events out of order; its one shown
// cue is the same row of capitals, bold, broken over two lines.
const std::string kScript = "[Script Info]\nScriptType: v4.00+\nPlayResX: 320\nPlayResY: 180\n\n"
                            "[V4+ Styles]\nFormat: Name, Fontname, Fontsize, PrimaryColour\n"
                            "Style: Default,Sans,20,&H00FFFFFF\n\n"
                            "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, "
                            "Effect, Text\n"
                            "Dialogue: 0,0:00:30.00,0:00:31.00,Default,,0,0,0,,A LATER LINE, NEVER SHOWN\n"
                            "Comment: 0,0:00:00.00,0:00:30.00,Default,,0,0,0,,NOT SHOWN\n"
                            "Dialogue: 0,0:00:00.00,0:00:30.00,Default,,0,0,0,,{\\b1}HHHHHH{\\b0}\\NHHHHHH\n";

TEST_F(Subtitles, DrawsTheDialogueOfAScriptBesideTheFilm) {
    testing::ScratchFolder folder;
    ASSERT_TRUE(makeDarkClip(folder.file("film.mp4")));
    ASSERT_TRUE(testing::writeFile(folder.file("film.ass"), kScript));
    ASSERT_TRUE(makeDarkClip(folder.file("old.mp4")));
    std::string oldScript = kScript;
    oldScript.replace(oldScript.find("v4.00+"), 6, "v4.00");
    oldScript.replace(oldScript.find("[V4+ Styles]"), 12, "[V4 Styles]");
    ASSERT_TRUE(testing::writeFile(folder.file("old.ssa"), oldScript));
    for (const char* name : {"film.mp4", "old.mp4"}) {
        SCOPED_TRACE(name);
        const auto [top, bottom] = playShown(folder.file(name));
        EXPECT_GT(bottom, 40);
        EXPECT_EQ(top, 0);
    }
}

TEST_F(Subtitles, AFileThatCannotBeReadIsLeftOut) {
    testing::ScratchFolder folder;
    ASSERT_TRUE(makeDarkClip(folder.file("noise.mp4")));
    ASSERT_TRUE(testing::writeFile(folder.file("noise.srt"), std::string("\x7f"
                                                                         "ELF\0\0\x01\x02",
                                                                         8) +
                                                                 kSubtitles));
    ASSERT_TRUE(makeDarkClip(folder.file("folder.mp4")));
    std::filesystem::create_directory(folder.file("folder.srt"));
    ASSERT_TRUE(makeDarkClip(folder.file("empty.mp4")));
    ASSERT_TRUE(testing::writeFile(folder.file("empty.srt"), ""));
    ASSERT_TRUE(makeDarkClip(folder.file("bytes.mp4")));
    ASSERT_TRUE(testing::writeFile(folder.file("bytes.srt"), std::string("\0\x01-->\x02\n", 6)));
    for (const char* name : {"noise.mp4", "folder.mp4", "empty.mp4", "bytes.mp4"}) {
        SCOPED_TRACE(name);
        MciService service;
        const auto [top, bottom] = play(service, folder.file(name));
        EXPECT_EQ(bottom, 0);
        // The film itself plays to its end.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        char mode[64] = "";
        while (service.sendString("status Media mode", mode, sizeof mode) == 0 &&
               std::string(mode) == "playing" && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        char position[64] = "";
        ASSERT_EQ(service.sendString("status Media position", position, sizeof position), 0u);
        EXPECT_GE(std::atoi(position), 1900);
        EXPECT_EQ(service.sendString("close all", nullptr, 0), 0u);
    }
}

TEST_F(Embedding, RefusesAParentThatIsNoWindow) {
    testing::ScratchFolder folder;
    const std::string clip = folder.file("bars.mp4");
    ASSERT_TRUE(testing::makeMedia("mp4", clip));
    MciService service;
    const std::string open = "open " + clip + " alias Media parent 12345 style 1073741824";
    EXPECT_EQ(service.sendString(open.c_str(), nullptr, 0), 347u);
    EXPECT_EQ(service.sendString("close all", nullptr, 0), 0u);
}

// A share that stops answering holds the engine's teardown until the read
// returns; the picture of the closed device must not stay on screen that
// long.
TEST_F(Embedding, ClosingAStuckEngineTakesItsPictureAwayAtOnce) {
    if (const std::string reason = testing::StallingMount::unusableReason(); !reason.empty())
        GTEST_SKIP() << reason;
    testing::ScratchFolder folder;
    const std::string clip = folder.file("long.mp4");
    ASSERT_TRUE(testing::makeLongMp4(clip));
    testing::StallingMount mount(clip, std::filesystem::file_size(clip) / 2);
    ASSERT_TRUE(mount.mounted());
    MciService service;
    ASSERT_EQ(service.sendString(openInParent(mount.file()).c_str(), nullptr, 0), 0u);
    ASSERT_EQ(service.sendString("play Media", nullptr, 0), 0u);
    ASSERT_TRUE(mount.waitForStall(std::chrono::seconds(30)));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const auto viewableChildren = [this] {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        int viewable = 0;
        if (XQueryTree(display_, parent_, &root, &parent, &children, &count)) {
            for (unsigned int i = 0; i < count; ++i) {
                XWindowAttributes attributes;
                if (XGetWindowAttributes(display_, children[i], &attributes) &&
                    attributes.map_state == IsViewable)
                    ++viewable;
            }
            XFree(children);
        }
        return viewable;
    };
    EXPECT_EQ(viewableChildren(), 1) << "the picture shows while it plays";
    EXPECT_EQ(service.sendString("close all", nullptr, 0), 0u);
    EXPECT_EQ(viewableChildren(), 0) << "the closed device's picture is gone";
    mount.release();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (runningEngines() > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

} // namespace
} // namespace tovimo::media
