// SPDX-License-Identifier: GPL-3.0-or-later
// The player as the desktop services drive it: each request must send what
// the matching button or slider sends, and the state is one reading of the
// device per tick of the window's timer.
#include "app/player_remote.h"
#include "player/form1_access.h"
#include "support/recording_media_service.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace player = tovimo::player;
namespace desktop = tovimo::desktop;
using Commands = std::vector<std::string>;
using Answer = tovimo::testing::RecordingMediaService::Answer;
using tovimo::app::PlayerRemote;

namespace {

constexpr std::uint32_t kNotOpen = 263;
constexpr std::uint32_t kNoWindow = 346;
const char* const kPath = "/media/clips/clip.mkv";

class Remote : public ::testing::Test {
protected:
    Remote() {
        form.Text2.setText(QString::fromLatin1(kPath));
        form.Timer1.setEnabled(false); // ticks come from the tests
    }

    // Device mode as the status query answers it; empty: nothing open.
    void deviceMode(const std::string& mode) {
        media.answer("status Media mode", mode.empty() ? Answer{kNotOpen, ""} : Answer{0, mode});
    }
    // What the request sent, without the queries that only read state.
    Commands sent() const {
        Commands result;
        for (const std::string& command : media.commands())
            if (command.rfind("status Media ", 0) != 0 && command != "where Media source")
                result.push_back(command);
        return result;
    }
    int count(const std::string& command) const {
        return static_cast<int>(std::count(media.commands().begin(), media.commands().end(), command));
    }
    bool pressedPlay(const std::string& path) {
        const Commands s = sent();
        return s.size() >= 4 && s[0] == "stop Media" && s[1] == "close all" && s[2] == f.openCommand(path) &&
               s.back() == "Play Media";
    }

    tovimo::testing::RecordingMediaService media;
    player::Form1 form{media, media};
    player::Form1Access f{form};
    PlayerRemote remote{form, media};
};

TEST_F(Remote, StatusIsTheDeviceMode) {
    const std::pair<std::string, desktop::PlaybackStatus> cases[] = {
        {"playing", desktop::PlaybackStatus::Playing}, {"paused", desktop::PlaybackStatus::Paused},
        {"stopped", desktop::PlaybackStatus::Stopped}, {"seeking", desktop::PlaybackStatus::Stopped},
        {"", desktop::PlaybackStatus::Stopped},
    };
    for (const auto& [mode, status] : cases) {
        deviceMode(mode);
        remote.refresh();
        EXPECT_EQ(remote.state().status, status) << mode;
    }
}

// The Pause button reads "Resume" while the media plays after Pause, Stop,
// Play: the requests go by the device's mode and press the button twice
// where one press would do the opposite.
TEST_F(Remote, PlayPausePlayAndPauseFollowTheDeviceWhateverTheCaption) {
    using Request = void (PlayerRemote::*)();
    struct Case {
        const char* name;
        Request request;
        std::string mode;
        const char* caption;
        Commands commands;
        const char* captionAfter;
    };
    const Case cases[] = {
        {"playPause playing", &PlayerRemote::playPause, "playing", "Pause", {"pause Media"}, "Resume"},
        {"playPause playing, caption Resume",
         &PlayerRemote::playPause,
         "playing",
         "Resume",
         {"resume Media", "pause Media"},
         "Resume"},
        {"playPause paused", &PlayerRemote::playPause, "paused", "Resume", {"resume Media"}, "Pause"},
        {"playPause paused, caption Pause",
         &PlayerRemote::playPause,
         "paused",
         "Pause",
         {"pause Media", "resume Media"},
         "Pause"},
        {"play paused", &PlayerRemote::play, "paused", "Resume", {"resume Media"}, "Pause"},
        {"play playing", &PlayerRemote::play, "playing", "Pause", {}, "Pause"},
        {"play playing, caption Resume", &PlayerRemote::play, "playing", "Resume", {}, "Resume"},
        {"pause playing", &PlayerRemote::pause, "playing", "Pause", {"pause Media"}, "Resume"},
        {"pause playing, caption Resume",
         &PlayerRemote::pause,
         "playing",
         "Resume",
         {"resume Media", "pause Media"},
         "Resume"},
        {"pause paused", &PlayerRemote::pause, "paused", "Resume", {}, "Resume"},
        {"pause closed", &PlayerRemote::pause, "", "Pause", {}, "Pause"},
        {"stop", &PlayerRemote::stop, "playing", "Pause", {"stop Media", "close all"}, "Pause"},
    };
    for (const Case& c : cases) {
        media.clear();
        deviceMode(c.mode);
        form.Command2.setCaption(QString::fromLatin1(c.caption));
        (remote.*c.request)();
        EXPECT_EQ(sent(), c.commands) << c.name;
        EXPECT_EQ(form.Command2.Caption(), QString::fromLatin1(c.captionAfter)) << c.name;
    }
}

TEST_F(Remote, PlayWithNothingPlayingPressesPlay) {
    for (auto request : {&PlayerRemote::play, &PlayerRemote::playPause}) {
        for (const std::string mode : {"", "stopped"}) {
            media.clear();
            deviceMode(mode);
            (remote.*request)();
            EXPECT_TRUE(pressedPlay(kPath)) << mode;
        }
    }
    form.Text2.setText(QString());
    media.clear();
    remote.play();
    EXPECT_EQ(sent(), Commands{}) << "no path, as the Play button";
}

TEST_F(Remote, OpenAndPlayPutsTheAbsolutePathIntoTheBoxAndPressesPlay) {
    deviceMode("");
    remote.openAndPlay(QStringLiteral("clip.mkv"));
    const QString absolute = QDir::current().absoluteFilePath(QStringLiteral("clip.mkv"));
    EXPECT_EQ(form.Text2.Text(), absolute);
    EXPECT_TRUE(pressedPlay(absolute.toStdString()));
}

// After Play the slider shows 50 while the device plays at full volume.
TEST_F(Remote, VolumeIsTheDevicesAndWritingItDragsTheSlider) {
    QSignalSpy changes(&remote, &desktop::PlayerControl::volumeChanged);
    EXPECT_DOUBLE_EQ(remote.state().volume, 1.0) << "media open at full volume";
    deviceMode("playing");
    media.answer("status Media volume", {0, "1000"});
    form.vs.setValue(50);
    remote.refresh();
    EXPECT_DOUBLE_EQ(remote.state().volume, 1.0);
    EXPECT_EQ(changes.count(), 0);

    const std::tuple<double, int, const char*> cases[] = {
        {0.5, 50, "setaudio Media Volume to 500"}, // the slider is there already: sent all the same
        {0.3, 30, "setaudio Media Volume to 300"},   {1.7, 100, "setaudio Media Volume to 1000"},
        {-1, 0, "setaudio Media Volume to 0"},       {0.004, 0, "setaudio Media Volume to 0"},
        {0.666, 67, "setaudio Media Volume to 670"},
    };
    for (const auto& [volume, slider, command] : cases) {
        media.clear();
        remote.setVolume(volume);
        EXPECT_EQ(form.vs.Value(), slider) << volume;
        EXPECT_EQ(sent(), Commands{command}) << volume;
    }

    media.answer("status Media volume", {0, "670"});
    remote.refresh();
    remote.refresh();
    EXPECT_DOUBLE_EQ(remote.state().volume, 0.67);
    EXPECT_EQ(changes.count(), 1) << "one per change of the device's volume";
    deviceMode("");
    remote.refresh();
    EXPECT_DOUBLE_EQ(remote.state().volume, 0.67) << "kept while nothing is open";
}

TEST_F(Remote, SeeksGoToWholeSecondsWithinTheSliderAndKeepAPausedPlayerPaused) {
    form.hs.setMax(10);
    media.answer("status Media position", {0, "4000"});
    media.answer("status Media length", {0, "10500"});
    QSignalSpy seeks(&remote, &desktop::PlayerControl::seeked);
    struct Case {
        const char* mode;
        bool relative;
        std::int64_t us;
        int second;
    };
    const Case cases[] = {
        {"playing", true, 2600000, 7},  {"playing", true, -2400000, 2}, {"playing", true, -9000000, 0},
        {"playing", true, 6500000, 10}, {"stopped", false, 3499999, 3}, {"playing", false, 3500000, 4},
        {"paused", true, 1000000, 5},   {"paused", false, 9000000, 9},  {"playing", false, 60000000, 10},
    };
    for (const Case& c : cases) {
        deviceMode(c.mode);
        media.clear();
        c.relative ? remote.seekBy(c.us) : remote.seekTo(c.us);
        EXPECT_EQ(form.hs.Value(), c.second) << c.us;
        Commands expected{"seek Media to " + std::to_string(c.second * 1000), "play Media"};
        if (c.mode == std::string("paused"))
            expected.push_back("pause Media");
        EXPECT_EQ(sent(), expected) << c.mode << ' ' << c.us;
        ASSERT_EQ(seeks.count(), 1) << c.us;
        EXPECT_EQ(seeks.takeFirst().at(0).toLongLong(), c.second * 1000000LL) << c.us;
    }

    // A relative seek past the end would end playing: there is no next
    // track, so it does nothing and playing goes on where it was.
    for (const char* mode : {"playing", "paused"}) {
        deviceMode(mode);
        media.clear();
        seeks.clear();
        remote.seekBy(6600000);
        remote.seekBy(60000000);
        EXPECT_EQ(sent(), Commands{}) << mode;
        EXPECT_EQ(seeks.count(), 0) << mode;
    }

    deviceMode("");
    media.clear();
    remote.seekBy(1000000);
    remote.seekTo(1000000);
    EXPECT_EQ(sent(), Commands{}) << "nothing open: nothing to seek";
}

// Play needs media open or a path in the box; pause an open medium; seeking
// a length. Each change is reported once.
TEST_F(Remote, WhatTheRequestsCanDoFollowsTheDeviceAndThePathBox) {
    QSignalSpy changes(&remote, &desktop::PlayerControl::capabilitiesChanged);
    struct Case {
        const char* path;
        const char* mode;
        const char* lengthMs;
        bool play, pause, seek;
    };
    const Case cases[] = {
        {"", "", "0", false, false, false},         {kPath, "", "0", true, false, false},
        {kPath, "stopped", "0", true, true, false}, {kPath, "playing", "10500", true, true, true},
        {"", "paused", "10500", true, true, true},  {"", "", "10500", false, false, false},
    };
    int expectedChanges = 0;
    desktop::PlayerState previous = remote.state();
    for (const Case& c : cases) {
        form.Text2.setText(QString::fromLatin1(c.path));
        deviceMode(c.mode);
        media.answer("status Media length", {0, c.lengthMs});
        f.Command4_Click(); // a track for the reading; the answers above stand
        remote.refresh();
        const desktop::PlayerState& now = remote.state();
        EXPECT_EQ(now.canPlay, c.play) << c.path << ' ' << c.mode;
        EXPECT_EQ(now.canPause, c.pause) << c.path << ' ' << c.mode;
        EXPECT_EQ(now.canSeek, c.seek) << c.path << ' ' << c.mode;
        expectedChanges += now.canPlay != previous.canPlay || now.canPause != previous.canPause ||
                           now.canSeek != previous.canSeek;
        previous = now;
    }
    EXPECT_EQ(changes.count(), expectedChanges);
    EXPECT_EQ(expectedChanges, 4);
}

// One reading per tick of the window's own timer, after its handler, and no
// timer of its own.
TEST_F(Remote, ReadsTheDeviceOncePerTickOfTheWindowsTimer) {
    deviceMode("playing");
    media.answer("status Media position", {0, "2500"});
    media.answer("status Media length", {0, "10500"});
    media.answer("status Media volume", {0, "800"});
    f.Command4_Click();
    QTest::qWait(350);
    media.clear();
    QTest::qWait(350);
    EXPECT_EQ(media.commands(), Commands{}) << "the window's timer is off: nothing is asked";

    for (int tick = 1; tick <= 3; ++tick)
        emit form.Timer1.Tick();
    EXPECT_EQ(count("status Media mode"), 3);
    EXPECT_EQ(count("status Media length"), 3);
    EXPECT_EQ(count("status Media volume"), 3);
    EXPECT_EQ(count("where Media source"), 3);
    EXPECT_EQ(count("status Media position"), 6) << "the window's and the reading's";
    EXPECT_EQ(media.commands().front(), "status Media position") << "the window's handler first";
    const desktop::PlayerState expected{desktop::PlaybackStatus::Playing,
                                        2500000,
                                        {1, QString::fromLatin1(kPath), 10500000},
                                        true,
                                        0.8,
                                        true,
                                        true,
                                        true};
    EXPECT_EQ(remote.state(), expected);

    media.answer("where Media source", {kNoWindow, ""});
    emit form.Timer1.Tick();
    EXPECT_FALSE(remote.state().showsVideo) << "audio only";

    deviceMode("");
    media.clear();
    emit form.Timer1.Tick();
    EXPECT_EQ(count("status Media mode"), 1);
    EXPECT_EQ(media.commands().size(), 2u) << "nothing open: the mode is all the reading asks";
}

TEST_F(Remote, EachOpenIsANewTrackAndChangesAreReportedOnce) {
    QSignalSpy tracks(&remote, &desktop::PlayerControl::openTrackChanged);
    QSignalSpy statuses(&remote, &desktop::PlayerControl::playbackStatusChanged);
    QSignalSpy volumes(&remote, &desktop::PlayerControl::volumeChanged);
    deviceMode("");
    remote.refresh();
    EXPECT_EQ(remote.state().track, desktop::OpenTrack{});

    deviceMode("playing");
    media.answer("status Media length", {0, "10500"});
    media.answer("status Media volume", {0, "1000"});
    remote.play(); // the device is open: nothing sent, only the reading
    f.Command4_Click();
    remote.refresh();
    EXPECT_EQ(remote.state().track, (desktop::OpenTrack{1, QString::fromLatin1(kPath), 10500000}));
    media.answer("status Media position", {0, "1000"});
    remote.refresh();
    media.answer("status Media position", {0, "2000"});
    remote.refresh();
    EXPECT_EQ(statuses.count(), 1);
    EXPECT_EQ(tracks.count(), 1);
    EXPECT_EQ(volumes.count(), 0) << "a moving position announces nothing";

    f.Command4_Click(); // the same file again is a new track
    remote.refresh();
    EXPECT_EQ(remote.state().track.id, 2);
    EXPECT_EQ(tracks.count(), 2);

    deviceMode("");
    remote.refresh();
    EXPECT_EQ(remote.state().track, desktop::OpenTrack{});
    EXPECT_EQ(remote.state().positionUs, 0);
    EXPECT_EQ(statuses.count(), 2);
    EXPECT_EQ(tracks.count(), 3);
}

} // namespace
