// SPDX-License-Identifier: GPL-3.0-or-later
// Plays media generated at test time through the real media service into the
// shown player window, driving its buttons with real input.
#include "platform/media/mci_service.h"
#include "platform/toolkit/dialogs.h"
#include "platform/toolkit/events.h"
#include "player/form1_access.h"
#include "support/test_media.h"
#include "support/test_paths.h"

#include "media_fixtures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace player = tovimo::player;
namespace media = tovimo::media;
namespace tk = tovimo::tk;

namespace {

// Xlib's thread support must precede every X call, the test main's included.
[[maybe_unused]] const bool processReady = (media::initializeProcess(), true);

// Passes everything to the real service and keeps the command texts.
class Recorder : public media::MediaCommandService, public media::ShortPathService {
public:
    explicit Recorder(media::MciService& real) : real_(real) {}
    std::uint32_t sendString(const char* command, char* reply, std::uint32_t replyLength) override {
        commands.emplace_back(command);
        return real_.sendString(command, reply, replyLength);
    }
    bool getErrorString(std::uint32_t code, char* buffer, std::uint32_t length) override {
        return real_.getErrorString(code, buffer, length);
    }
    std::uint32_t getShortPathName(const char* longPath, char* buffer, std::uint32_t length) override {
        return real_.getShortPathName(longPath, buffer, length);
    }
    bool sent(const std::string& prefix) const {
        return std::any_of(commands.begin(), commands.end(),
                           [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
    }
    std::vector<std::string> commands;

private:
    media::MciService& real_;
};

class RealPlayback : public ::testing::Test {
protected:
    void SetUp() override {
        tk::setMsgBoxHookForTesting(
            [this](const QString& text, const QString&, const QString&) { boxes.push_back(text); });
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    void TearDown() override {
        recorder.sendString("close all", nullptr, 0);
        tk::setMsgBoxHookForTesting({});
    }

    // The device's position in milliseconds, or -1 when it answers an error.
    long positionMs() {
        char reply[128] = {};
        if (service.sendString("status Media position", reply, sizeof reply) != 0)
            return -1;
        return std::strtol(reply, nullptr, 10);
    }
    void click(tk::CommandButton& button) {
        QTest::mouseClick(&button, Qt::LeftButton, {}, button.rect().center());
    }
    static bool blue(QRgb pixel) { return qBlue(pixel) > 160 && qRed(pixel) < 90 && qGreen(pixel) < 90; }

    struct BlueCount {
        int inside = 0, outside = 0;
    };
    // Blue pixels on the screen inside and outside pic1, within the window.
    BlueCount blueOnScreen() {
        // Other tests may share the display: nothing may cover the window.
        form.raise();
        tk::DoEvents();
        const QRect window(form.mapToGlobal(QPoint(0, 0)), form.size());
        const QRect picture(form.pic1.mapToGlobal(QPoint(0, 0)), form.pic1.size());
        const QImage shot = QGuiApplication::primaryScreen()
                                ->grabWindow(0, window.x(), window.y(), window.width(), window.height())
                                .toImage();
        BlueCount count;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                if (blue(shot.pixel(x, y)))
                    ++(picture.contains(window.topLeft() + QPoint(x, y)) ? count.inside : count.outside);
        return count;
    }

    // True when the middle of each quarter of pic1, as the screen shows it,
    // has that quarter's colour of kQuarterColours.
    bool quartersShowTheirColours() {
        form.raise();
        tk::DoEvents();
        const QPoint origin = form.pic1.mapToGlobal(QPoint(0, 0));
        const QSize size = form.pic1.size();
        const QImage shot = QGuiApplication::primaryScreen()
                                ->grabWindow(0, origin.x(), origin.y(), size.width(), size.height())
                                .toImage();
        if (shot.isNull())
            return false;
        for (int quarter = 0; quarter < 4; ++quarter) {
            const QRgb seen = shot.pixel(shot.width() * (1 + quarter % 2 * 2) / 4,
                                         shot.height() * (1 + quarter / 2 * 2) / 4);
            const QRgb wanted = tovimo::testing::kQuarterColours[quarter];
            const auto near = [](int a, int b) { return std::abs(a - b) < 60; };
            if (!near(qRed(seen), qRed(wanted)) || !near(qGreen(seen), qGreen(wanted)) ||
                !near(qBlue(seen), qBlue(wanted)))
                return false;
        }
        return true;
    }

    // Plays Text2's file with the Play button and checks that it starts,
    // tracks, pauses, resumes and closes.
    void playPauseResumeStop() {
        click(form.Command4);
        EXPECT_EQ(form.hs.Max(), 10) << "10.5 s in whole seconds";
        ASSERT_TRUE(QTest::qWaitFor([&] { return form.hs.Value() >= 2; }, 20000)) << "the timer moves hs";
        EXPECT_EQ(form.Text1.Text().toInt(), form.hs.Value());

        click(form.Command2);
        EXPECT_EQ(form.Command2.Caption(), QStringLiteral("Resume"));
        QTest::qWait(300);
        const long held = positionMs();
        QTest::qWait(1000);
        EXPECT_NEAR(positionMs(), held, 100) << "paused";

        click(form.Command2);
        EXPECT_TRUE(QTest::qWaitFor([&] { return positionMs() > held + 400; }, 20000)) << "resumed";

        stopAndExpectClosed();
    }

    void stopAndExpectClosed() {
        click(form.Command3);
        char mode[128] = {};
        EXPECT_NE(service.sendString("status Media mode", mode, sizeof mode), 0u) << "Stop closes the device";
        EXPECT_TRUE(boxes.empty());
    }

    tovimo::testing::TempFolder folder;
    media::MciService service;
    Recorder recorder{service};
    player::Form1 form{recorder, recorder};
    std::vector<QString> boxes;
};

TEST_F(RealPlayback, VideoPlaysInsideThePictureArea) {
    const QString path = folder.file(QStringLiteral("clip été.mp4"));
    ASSERT_TRUE(tovimo::testing::makeBlueVideo(path));
    EXPECT_EQ(blueOnScreen().inside, 0);
    form.Text2.setText(path);

    click(form.Command4);
    EXPECT_EQ(form.hs.Max(), 10) << "10.5 s in whole seconds";
    EXPECT_TRUE(recorder.sent("put Media window at 0 0 "));
    BlueCount seen;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (seen = blueOnScreen()).inside > 320 * 240 / 2; }, 20000))
        << seen.inside << " blue pixels inside the picture area";
    EXPECT_EQ(seen.outside, 0) << "the video stays inside the picture area";
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.hs.Value() >= 1; }, 20000)) << "the timer moves hs";

    click(form.Command2);
    QTest::qWait(300);
    const long held = positionMs();
    form.repaint();
    form.pic1.update();
    QTest::qWait(1000);
    EXPECT_NEAR(positionMs(), held, 100) << "paused";
    // Raising the window re-exposes the video, which the service redraws on
    // its own thread: allow it as long as the first picture (a sanitizer
    // build beside another test is slow to get there).
    EXPECT_TRUE(QTest::qWaitFor([&] { return blueOnScreen().inside > 320 * 240 / 2; }, 20000))
        << "a repaint keeps the paused frame";

    // A seek plays from there, also while paused.
    ASSERT_LT(held, 7000);
    form.hs.setValue(7);
    player::Form1Access(form).hs_Scroll();
    EXPECT_TRUE(QTest::qWaitFor([&] { return positionMs() > 7400; }, 20000)) << "playing on from 7 s";
    EXPECT_EQ(form.Command2.Caption(), QStringLiteral("Resume"));

    form.vs.setValue(20);
    player::Form1Access(form).vs_Scroll();
    char volume[128] = {};
    EXPECT_EQ(service.sendString("status Media Volume", volume, sizeof volume), 0u);
    EXPECT_STREQ(volume, "200");

    stopAndExpectClosed();
}

// Also run on a high-DPI screen by the test below.
TEST_F(RealPlayback, VideoFillsThePictureAreaInWindowAndFullScreen) {
    const QString path = folder.file(QStringLiteral("quarters.mp4"));
    ASSERT_TRUE(tovimo::testing::makeQuartersVideo(path));
    form.Text2.setText(path);
    click(form.Command4);
    EXPECT_TRUE(QTest::qWaitFor([&] { return quartersShowTheirColours(); }, 20000)) << "window mode";
    click(form.Command7);
    ASSERT_EQ(form.Command7.Caption(), QStringLiteral("S"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return quartersShowTheirColours(); }, 20000)) << "full screen";
    click(form.Command7);
    EXPECT_TRUE(QTest::qWaitFor([&] { return quartersShowTheirColours(); }, 20000)) << "window mode again";
    stopAndExpectClosed();
}

// The test above on a screen of its own, 2560 x 1600, scaled as a 4K laptop
// or a high-DPI session scales Qt: this program runs it in a child process.
TEST(RealPlaybackScaled, VideoFillsThePictureAreaOnScaledScreens) {
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
        GTEST_SKIP() << "this is the scaled run itself";
    for (const char* scale : {"2", "1.5"}) {
        SCOPED_TRACE(scale);
        QProcess server;
        server.setProcessChannelMode(QProcess::SeparateChannels);
        // -displayfd 1: the server picks a free display and writes its number.
        server.start(QStringLiteral("Xvfb"),
                     {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                      QStringLiteral("0"), QStringLiteral("2560x1600x24"), QStringLiteral("-dpi"),
                      QStringLiteral("96"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                      QStringLiteral("-noreset")});
        ASSERT_TRUE(server.waitForStarted(10000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.canReadLine(); }, 10000));
        const QString display = QLatin1Char(':') + QString::fromLatin1(server.readLine()).trimmed();

        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::fromLatin1(scale));
        run.setProcessEnvironment(env);
        run.setProcessChannelMode(QProcess::ForwardedChannels);
        run.start(
            QCoreApplication::applicationFilePath(),
            {QStringLiteral("--gtest_filter=RealPlayback.VideoFillsThePictureAreaInWindowAndFullScreen")});
        EXPECT_TRUE(run.waitForFinished(120000));
        EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.exitCode(), 0);
        server.terminate();
        server.waitForFinished(10000);
    }
}

TEST_F(RealPlayback, AudioPlaysWithoutSizing) {
    struct Case {
        const char* name;
        bool (*make)(const QString&);
    };
    const Case cases[] = {{"tune é.mp3", tovimo::testing::makeMp3},
                          {"song é.mid", tovimo::testing::makeMidi}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = folder.file(QString::fromUtf8(c.name));
        ASSERT_TRUE(c.make(path));
        form.Text2.setText(path);
        form.Command2.setCaption(QStringLiteral("Pause"));
        recorder.commands.clear();
        playPauseResumeStop();
        EXPECT_TRUE(recorder.sent("Play Media"));
        EXPECT_FALSE(recorder.sent("put Media window")) << "audio gets no sizing command";
    }
}

// A file on a share that stops answering in the middle: Stop, and Play
// after it, answer at once, and the window with them.
TEST_F(RealPlayback, StopAndPlayAnswerWhenTheSourceStalls) {
    namespace fixtures = tovimo::media::testing;
    if (const std::string reason = fixtures::StallingMount::unusableReason(); !reason.empty())
        GTEST_SKIP() << reason;
    fixtures::ScratchFolder scratch;
    const std::string clip = scratch.file("long.mp4");
    ASSERT_TRUE(fixtures::makeLongMp4(clip));
    fixtures::StallingMount mount(clip, static_cast<std::int64_t>(std::filesystem::file_size(clip) / 2));
    ASSERT_TRUE(mount.mounted());
    form.Text2.setText(QString::fromStdString(mount.file()));
    click(form.Command4);
    ASSERT_TRUE(QTest::qWaitFor([&] { return mount.stalled(); }, 30000));
    QTest::qWait(500);

    QElapsedTimer clock;
    clock.start();
    stopAndExpectClosed();
    EXPECT_LT(clock.elapsed(), 1500) << "Stop";
    clock.restart();
    click(form.Command4);
    EXPECT_LT(clock.elapsed(), 3000) << "Play opens the file again";
    EXPECT_GE(positionMs(), 0) << "the file opened";
    clock.restart();
    stopAndExpectClosed();
    EXPECT_LT(clock.elapsed(), 1500) << "Stop again";

    mount.release();
    EXPECT_TRUE(QTest::qWaitFor([] { return media::runningEngines() == 0; }, 30000))
        << "the stuck engines end once the reads return";
}

} // namespace
