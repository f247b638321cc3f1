// Plays media generated at test time through the real media service into the
// shown player window, driving its buttons with real input.
#include "platform/media/mci_service.h"
#include "platform/toolkit/dialogs.h"
#include "platform/toolkit/events.h"
#include "player/form1_access.h"
#include "support/test_paths.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <algorithm>
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

bool runPipeline(const QStringList& elements) {
    QProcess process;
    process.start(QStringLiteral("gst-launch-1.0"), QStringList{QStringLiteral("-q")} + elements);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// 10.5 s of solid blue, H.264 in MP4.
bool makeVideo(const QString& path) {
    return runPipeline(QStringLiteral("videotestsrc num-buffers=105 pattern=blue ! "
                                      "video/x-raw,format=I420,width=320,height=240,framerate=10/1 ! "
                                      "x264enc ! mp4mux ! filesink")
                           .split(QLatin1Char(' ')) +
                       QStringList{QStringLiteral("location=") + path});
}

// 10.5 s of a sine tone, MP3 with a Xing header so its length is exact.
bool makeMp3(const QString& path) {
    return runPipeline(QStringLiteral("audiotestsrc num-buffers=105 samplesperbuffer=4410 ! "
                                      "audio/x-raw,rate=44100,channels=1 ! lamemp3enc ! xingmux ! filesink")
                           .split(QLatin1Char(' ')) +
                       QStringList{QStringLiteral("location=") + path});
}

// One note held for 10.5 s: format 0, 480 ticks a quarter at 120 bpm.
bool makeMidi(const QString& path) {
    const unsigned char track[] = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, // tempo 500000 us
                                   0x00, 0xC0, 0x00,                         // piano
                                   0x00, 0x90, 0x3C, 0x64,                   // note on
                                   0xCE, 0x60, 0x80, 0x3C, 0x40,             // 10080 ticks later: off
                                   0x00, 0xFF, 0x2F, 0x00};
    QByteArray bytes("MThd\0\0\0\x06\0\0\0\x01\x01\xE0MTrk\0\0\0", 21);
    bytes.append(static_cast<char>(sizeof track));
    bytes.append(reinterpret_cast<const char*>(track), sizeof track);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

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
    ASSERT_TRUE(makeVideo(path));
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
    // its own thread: allow it a moment.
    EXPECT_TRUE(QTest::qWaitFor([&] { return blueOnScreen().inside > 320 * 240 / 2; }, 5000))
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

TEST_F(RealPlayback, AudioPlaysWithoutSizing) {
    struct Case {
        const char* name;
        bool (*make)(const QString&);
    };
    const Case cases[] = {{"tune é.mp3", makeMp3}, {"song é.mid", makeMidi}};
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

} // namespace
