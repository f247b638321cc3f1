// The player as the desktop services drive it: each request must send what
// the matching button or slider sends.
#include "player/form1_access.h"
#include "player/player_remote.h"
#include "support/recording_media_service.h"

#include <QDir>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace player = tovimo::player;
namespace desktop = tovimo::desktop;
using Commands = std::vector<std::string>;
using Answer = tovimo::testing::RecordingMediaService::Answer;

namespace {

constexpr std::uint32_t kNotOpen = 263;
const char* const kPath = "/media/clips/clip.mkv";

class Remote : public ::testing::Test {
protected:
    Remote() { form.Text2.setText(QString::fromLatin1(kPath)); }

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
    bool pressedPlay(const std::string& path) {
        const Commands s = sent();
        return s.size() >= 4 && s[0] == "stop Media" && s[1] == "close all" && s[2] == f.openCommand(path) &&
               s.back() == "Play Media";
    }

    tovimo::testing::RecordingMediaService media;
    player::Form1 form{media, media};
    player::Form1Access f{form};
    player::PlayerRemote remote{form};
};

TEST_F(Remote, StatusIsTheDeviceMode) {
    const std::pair<std::string, desktop::PlaybackStatus> cases[] = {
        {"playing", desktop::PlaybackStatus::Playing}, {"paused", desktop::PlaybackStatus::Paused},
        {"stopped", desktop::PlaybackStatus::Stopped}, {"seeking", desktop::PlaybackStatus::Stopped},
        {"", desktop::PlaybackStatus::Stopped},
    };
    for (const auto& [mode, status] : cases) {
        deviceMode(mode);
        EXPECT_EQ(remote.playbackStatus(), status) << mode;
    }
}

TEST_F(Remote, PlayPausePlayAndPauseFollowThePauseButton) {
    using Request = void (player::PlayerRemote::*)();
    struct Case {
        const char* name;
        Request request;
        std::string mode;
        const char* caption;
        Commands commands;
        const char* captionAfter;
    };
    const Case cases[] = {
        {"playPause playing",
         &player::PlayerRemote::playPause,
         "playing",
         "Pause",
         {"pause Media"},
         "Resume"},
        {"playPause paused", &player::PlayerRemote::playPause, "paused", "Resume", {"resume Media"}, "Pause"},
        {"play paused", &player::PlayerRemote::play, "paused", "Resume", {"resume Media"}, "Pause"},
        {"play playing", &player::PlayerRemote::play, "playing", "Pause", {}, "Pause"},
        {"pause playing", &player::PlayerRemote::pause, "playing", "Pause", {"pause Media"}, "Resume"},
        {"pause paused", &player::PlayerRemote::pause, "paused", "Resume", {}, "Resume"},
        {"pause closed", &player::PlayerRemote::pause, "", "Pause", {}, "Pause"},
        {"stop", &player::PlayerRemote::stop, "playing", "Pause", {"stop Media", "close all"}, "Pause"},
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
    for (auto request : {&player::PlayerRemote::play, &player::PlayerRemote::playPause}) {
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

TEST_F(Remote, VolumeIsTheSliderAndWritingItDragsTheSlider) {
    QSignalSpy changes(&remote, &desktop::PlayerControl::volumeChanged);
    EXPECT_DOUBLE_EQ(remote.volume(), 0.5);
    const std::tuple<double, int, const char*> cases[] = {
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
    EXPECT_EQ(changes.count(), 4) << "one per change of the slider's value";
}

TEST_F(Remote, SeeksGoToWholeSecondsWithinTheSlider) {
    deviceMode("paused");
    form.hs.setMax(10);
    media.answer("status Media position", {0, "4000"});
    QSignalSpy seeks(&remote, &desktop::PlayerControl::seeked);
    struct Case {
        bool relative;
        std::int64_t us;
        int second;
    };
    const Case cases[] = {
        {true, 2600000, 7},   {true, -2400000, 2}, {true, -9000000, 0},
        {true, 60000000, 10}, {false, 3499999, 3}, {false, 3500000, 4},
    };
    for (const Case& c : cases) {
        media.clear();
        c.relative ? remote.seekBy(c.us) : remote.seekTo(c.us);
        EXPECT_EQ(form.hs.Value(), c.second) << c.us;
        EXPECT_EQ(sent(), (Commands{"seek Media to " + std::to_string(c.second * 1000), "play Media"}))
            << c.us;
        EXPECT_EQ(seeks.takeLast().at(0).toLongLong(), c.second * 1000000LL) << c.us;
    }

    deviceMode("");
    media.clear();
    remote.seekBy(1000000);
    remote.seekTo(1000000);
    EXPECT_EQ(sent(), Commands{}) << "nothing open: nothing to seek";
}

TEST_F(Remote, EachOpenIsANewTrackAndChangesAreReportedOnce) {
    QSignalSpy tracks(&remote, &desktop::PlayerControl::openTrackChanged);
    QSignalSpy statuses(&remote, &desktop::PlayerControl::playbackStatusChanged);
    deviceMode("");
    EXPECT_EQ(remote.openTrack(), desktop::OpenTrack{});

    deviceMode("playing");
    media.answer("status Media length", {0, "10500"});
    remote.play(); // the device is open: nothing sent, only the poll
    f.Command4_Click();
    EXPECT_EQ(remote.openTrack(), (desktop::OpenTrack{1, QString::fromLatin1(kPath), 10500000}));
    remote.poll();
    remote.poll();
    EXPECT_EQ(statuses.count(), 1);
    EXPECT_EQ(tracks.count(), 1);

    f.Command4_Click(); // the same file again is a new track
    remote.poll();
    EXPECT_EQ(remote.openTrack().id, 2);
    EXPECT_EQ(tracks.count(), 2);

    deviceMode("");
    remote.poll();
    EXPECT_EQ(remote.openTrack(), desktop::OpenTrack{});
    EXPECT_EQ(statuses.count(), 2);
    EXPECT_EQ(tracks.count(), 3);
}

} // namespace
