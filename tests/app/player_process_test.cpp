// SPDX-License-Identifier: GPL-3.0-or-later
// The installed program as the desktop runs it: started with a file on its
// command line, on a private session bus, driven through MPRIS, with a
// stand-in screen saver recording what it is asked.
#include "media_fixtures.h"
#include "platform/toolkit/app.h"
#include "session_bus_fixture.h"
#include "support/test_paths.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QUrl>
#include <glib.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <unistd.h>

namespace desktop = tovimo::desktop;
using desktop::testing::heldInhibitions;

namespace {

const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kService = QStringLiteral("org.mpris.MediaPlayer2.tovimo");
// The dynamic loader, which also runs a program named on its command line:
// portable copies and programs on noexec mounts are started that way.
const QString kLoader = QStringLiteral("/lib64/ld-linux-x86-64.so.2");

bool runPipeline(const QString& pipeline, const QString& location) {
    QProcess process;
    process.start(QStringLiteral("gst-launch-1.0"), QStringList{QStringLiteral("-q")} +
                                                        pipeline.split(QLatin1Char(' ')) +
                                                        QStringList{QStringLiteral("location=") + location});
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// Solid blue H.264 in Matroska, `tenths` tenths of a second long.
bool makeVideo(const QString& path, int tenths) {
    return runPipeline(QStringLiteral("videotestsrc num-buffers=%1 pattern=blue ! "
                                      "video/x-raw,format=I420,width=320,height=240,framerate=10/1 ! "
                                      "x264enc ! matroskamux ! filesink")
                           .arg(tenths),
                       path);
}

bool makeWav(const QString& path) {
    return runPipeline(QStringLiteral("audiotestsrc num-buffers=100 samplesperbuffer=4410 ! "
                                      "audio/x-raw,rate=44100,channels=1 ! wavenc ! filesink"),
                       path);
}

QStringList xdotool(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    process.waitForFinished(10000);
    return QString::fromLocal8Bit(process.readAllStandardOutput())
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

class PlayerProcess : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus.started()) << "dbus-daemon did not start";
        ASSERT_TRUE(QDir().mkpath(runtime()));
        QFile::setPermissions(runtime(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void TearDown() override {
        if (player.state() != QProcess::NotRunning) {
            player.kill();
            player.waitForFinished(5000);
        }
    }
    QString runtime() const { return folder.file(QStringLiteral("runtime")); }

    // Starts the program in the test folder; `busAddress` empty: no bus.
    void start(const QStringList& arguments, const QString& busAddress,
               const QString& program = QStringLiteral(TOVIMO_BINARY)) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("G_SLICE"));
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                           busAddress.isEmpty()
                               ? QStringLiteral("unix:path=") + folder.file(QStringLiteral("no-bus"))
                               : busAddress);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), folder.file(QStringLiteral("data")));
        player.setProcessEnvironment(environment);
        player.setWorkingDirectory(folder.path());
        player.start(program, arguments);
        ASSERT_TRUE(player.waitForStarted(10000));
        closeNoticeOnNoticeDays();
    }

    // On every fifth day the notice comes first and holds the start-up until
    // its "X" (8 pixels in, 21 wide) is clicked.
    void closeNoticeOnNoticeDays() {
        if (QDate::currentDate().day() % 5 != 0)
            return;
        const QString pid = QString::number(player.processId());
        for (int attempt = 0; attempt < 100; ++attempt) {
            for (const QString& window : xdotool({"search", "--onlyvisible", "--pid", pid})) {
                const QStringList shape = xdotool({"getwindowgeometry", "--shell", window});
                if (!shape.contains(QStringLiteral("WIDTH=685")) ||
                    !shape.contains(QStringLiteral("HEIGHT=361")))
                    continue;
                const int x = shape.filter(QStringLiteral("X=")).value(0).mid(2).toInt();
                const int y = shape.filter(QStringLiteral("Y=")).value(0).mid(2).toInt();
                xdotool({"windowraise", window});
                xdotool({"mousemove", QString::number(x + 18), QString::number(y + 18), "click", "1"});
                return;
            }
            QTest::qWait(100);
        }
        ADD_FAILURE() << "no notice window appeared";
    }

    // Calls with this process's event loop running, so the stand-ins answer.
    QDBusMessage call(const QString& interface, const QString& method, const QVariantList& arguments = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            kService, QStringLiteral("/org/mpris/MediaPlayer2"), interface, method);
        message.setArguments(arguments);
        QDBusPendingCall pending = client.asyncCall(message, 10000);
        EXPECT_TRUE(QTest::qWaitFor([&] { return pending.isFinished(); }, 15000));
        return pending.reply();
    }
    QVariant property(const QString& name) {
        const QDBusMessage reply =
            call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"), {kPlayer, name});
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    bool statusBecomes(const char* status, int timeoutMs = 15000) {
        return QTest::qWaitFor(
            [&] { return property(QStringLiteral("PlaybackStatus")) == QLatin1String(status); }, timeoutMs);
    }
    void press(const char* method, const QVariantList& arguments = {}) {
        const QDBusMessage reply = call(kPlayer, QLatin1String(method), arguments);
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << method << reply.errorMessage().toStdString();
    }
    bool quits() {
        const QDBusMessage reply = call(QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("Quit"));
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        return QTest::qWaitFor([&] { return player.state() == QProcess::NotRunning; }, 10000) &&
               player.exitStatus() == QProcess::NormalExit && player.exitCode() == 0;
    }

    // Blue pixels in the player's window, raised above anything else.
    int bluePixels() {
        const QStringList windows = xdotool(
            {"search", "--onlyvisible", "--pid", QString::number(player.processId()), "--name", "^Tovimo$"});
        if (windows.isEmpty())
            return 0;
        xdotool({"windowraise", windows.first()});
        QTest::qWait(300);
        const QImage shot =
            QGuiApplication::primaryScreen()->grabWindow(windows.first().toULongLong()).toImage();
        int count = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QRgb pixel = shot.pixel(x, y);
                count += qBlue(pixel) > 160 && qRed(pixel) < 90 && qGreen(pixel) < 90;
            }
        return count;
    }

    // White pixels in the player's picture area (8 pixels in, 632 by 547).
    int whitePixelsInThePicture() {
        const QStringList windows = xdotool(
            {"search", "--onlyvisible", "--pid", QString::number(player.processId()), "--name", "^Tovimo$"});
        if (windows.isEmpty())
            return -1;
        xdotool({"windowraise", windows.first()});
        const QImage shot = QGuiApplication::primaryScreen()
                                ->grabWindow(windows.first().toULongLong(), 8, 8, 632, 547)
                                .toImage();
        int count = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QRgb pixel = shot.pixel(x, y);
                count += qRed(pixel) > 200 && qGreen(pixel) > 200 && qBlue(pixel) > 200;
            }
        return count;
    }

    tovimo::testing::TempFolder folder;
    desktop::testing::PrivateSessionBus bus;
    QDBusConnection client = bus.connect();
    QProcess player;
};

TEST_F(PlayerProcess, PlaysItsArgumentUnderMprisControlWithTheScreenSaverHeldOnlyWhileVideoPlays) {
    desktop::testing::StandInScreenSaver screenSaver;
    ASSERT_TRUE(screenSaver.registerOn(bus.connect()));
    ASSERT_TRUE(makeVideo(folder.file(QStringLiteral("clip.mkv")), 105));

    start({QStringLiteral("clip.mkv")}, bus.address());
    ASSERT_TRUE(statusBecomes("Playing"));
    const QVariantMap metadata = qdbus_cast<QVariantMap>(property(QStringLiteral("Metadata")));
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("clip.mkv"));
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:url")).toString(),
              QUrl::fromLocalFile(QFileInfo(folder.file(QStringLiteral("clip.mkv"))).canonicalFilePath())
                  .toString());
    EXPECT_EQ(metadata.value(QStringLiteral("mpris:length")).toLongLong(), 10500000);
    EXPECT_GT(bluePixels(), 100000) << "the video shows in the window";
    ASSERT_TRUE(QTest::qWaitFor([&] { return heldInhibitions(screenSaver) == 1; }, 5000));
    EXPECT_EQ(screenSaver.calls.at(0).arguments,
              (QVariantList{QStringLiteral("Tovimo"), QStringLiteral("Playing video")}));

    press("PlayPause");
    EXPECT_EQ(property(QStringLiteral("PlaybackStatus")), QStringLiteral("Paused"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return heldInhibitions(screenSaver) == 0; }, 5000))
        << "released on pause";

    press("Play");
    EXPECT_EQ(property(QStringLiteral("PlaybackStatus")), QStringLiteral("Playing"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return heldInhibitions(screenSaver) == 1; }, 5000));

    const QDBusMessage set =
        call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
             {kPlayer, QStringLiteral("Volume"), QVariant::fromValue(QDBusVariant(0.2))});
    EXPECT_EQ(set.type(), QDBusMessage::ReplyMessage) << set.errorMessage().toStdString();
    EXPECT_DOUBLE_EQ(property(QStringLiteral("Volume")).toDouble(), 0.2);

    press("Stop");
    EXPECT_EQ(property(QStringLiteral("PlaybackStatus")), QStringLiteral("Stopped"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return heldInhibitions(screenSaver) == 0; }, 5000))
        << "released on stop";

    press("PlayPause"); // nothing open: presses Play with the path still in the box
    ASSERT_TRUE(statusBecomes("Playing"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return heldInhibitions(screenSaver) == 1; }, 5000));
    EXPECT_TRUE(quits());
    EXPECT_EQ(heldInhibitions(screenSaver), 0) << "released before the program ends";
    EXPECT_EQ(QString::fromLocal8Bit(player.readAllStandardError()), QString());
}

// After Pause, Stop and Play the Pause button reads "Resume" while the media
// plays; the desktop's requests go by what the device does.
// A subtitle file of one short cue is shown; a file beside the film that
// holds no text is left out with a line in the debug log, and the film
// plays. Each case in a process of its own, as a user starts it.
TEST_F(PlayerProcess, AOneCueSubtitleFileIsShownAndOneWithoutTextIsLeftOut) {
    struct Case {
        const char* film;
        const char* subtitleName;
        QByteArray subtitle;
        bool shown;
    };
    const Case cases[] = {
        {"cue.mkv", "cue.srt", "1\n00:00:00,000 --> 00:00:30,000\nHHHHHHHHHHHH\n", true},
        {"web.mkv", "web.en.vtt", "WEBVTT\n\n00:00.000 --> 00:30.000\nHHHHHHHHHHHH\n", true},
        {"empty.mkv", "empty.srt", "", false},
        {"bytes.mkv", "bytes.srt", QByteArray("\0\x01-->\x02\n", 6), false},
    };
    const QByteArray debugBefore = qgetenv("GST_DEBUG");
    qputenv("GST_DEBUG", "tovimo:4");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.subtitleName);
        ASSERT_TRUE(makeVideo(folder.file(QLatin1String(c.film)), 105));
        QFile subtitle(folder.file(QLatin1String(c.subtitleName)));
        ASSERT_TRUE(subtitle.open(QIODevice::WriteOnly));
        ASSERT_EQ(subtitle.write(c.subtitle), c.subtitle.size());
        subtitle.close();

        start({QLatin1String(c.film)}, bus.address());
        ASSERT_TRUE(statusBecomes("Playing"));
        // A row of white capitals over the blue picture.
        const bool seen =
            QTest::qWaitFor([&] { return whitePixelsInThePicture() > 40; }, c.shown ? 8000 : 2000);
        EXPECT_EQ(property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Playing"));
        EXPECT_TRUE(quits());
        const QString said = QString::fromLocal8Bit(player.readAllStandardError());
        EXPECT_EQ(
            said.contains(
                QStringLiteral("subtitle file %1 ignored").arg(folder.file(QLatin1String(c.subtitleName)))),
            !c.shown)
            << said.toStdString();
        EXPECT_EQ(seen, c.shown);
    }
    if (debugBefore.isNull())
        qunsetenv("GST_DEBUG");
    else
        qputenv("GST_DEBUG", debugBefore);
}

TEST_F(PlayerProcess, MprisActsOnTheDeviceWhateverThePauseButtonReads) {
    ASSERT_TRUE(makeVideo(folder.file(QStringLiteral("clip.mkv")), 105));
    start({QStringLiteral("clip.mkv")}, bus.address());
    ASSERT_TRUE(statusBecomes("Playing"));
    EXPECT_DOUBLE_EQ(property(QStringLiteral("Volume")).toDouble(), 1.0)
        << "the device plays at full volume, whatever the slider shows";

    press("Pause");
    EXPECT_EQ(property(QStringLiteral("PlaybackStatus")), QStringLiteral("Paused"));
    press("Stop");
    press("Play");
    ASSERT_TRUE(statusBecomes("Playing"));
    press("Pause"); // the button reads "Resume" now
    EXPECT_EQ(property(QStringLiteral("PlaybackStatus")), QStringLiteral("Paused"));
    press("PlayPause");
    EXPECT_EQ(property(QStringLiteral("PlaybackStatus")), QStringLiteral("Playing"));
    press("PlayPause");
    EXPECT_EQ(property(QStringLiteral("PlaybackStatus")), QStringLiteral("Paused"));

    // Seeks keep a paused player paused.
    const qlonglong before = property(QStringLiteral("Position")).toLongLong();
    press("Seek", {qlonglong{3000000}});
    const QVariantMap metadata = qdbus_cast<QVariantMap>(property(QStringLiteral("Metadata")));
    press("SetPosition", {metadata.value(QStringLiteral("mpris:trackid")), qlonglong{6000000}});
    QTest::qWait(500);
    EXPECT_EQ(property(QStringLiteral("PlaybackStatus")), QStringLiteral("Paused"));
    const qlonglong after = property(QStringLiteral("Position")).toLongLong();
    EXPECT_NEAR(after, 6000000, 100000) << "from " << before;
    QTest::qWait(500);
    EXPECT_EQ(property(QStringLiteral("Position")).toLongLong(), after) << "and it stays there";
    EXPECT_TRUE(quits());
}

// A screen saver that takes the Inhibit call and never answers it.
TEST_F(PlayerProcess, QuitsPromptlyWhileTheScreenSaverHangs) {
    desktop::testing::StandInScreenSaver screenSaver;
    screenSaver.answers = false;
    ASSERT_TRUE(screenSaver.registerOn(bus.connect()));
    ASSERT_TRUE(makeVideo(folder.file(QStringLiteral("clip.mkv")), 105));
    start({QStringLiteral("clip.mkv")}, bus.address());
    ASSERT_TRUE(statusBecomes("Playing"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !screenSaver.calls.empty(); }, 5000));

    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(quits());
    EXPECT_LT(clock.elapsed(), 2000);
}

// Closed while its file's share has stopped answering: the stuck read holds
// the process until it returns, but not the window, the bus names or the
// instance lock, which the next start would otherwise run into.
TEST_F(PlayerProcess, QuittingWhileTheSourceStallsLetsGoOfTheWindowTheNamesAndTheLock) {
    namespace fixtures = tovimo::media::testing;
    if (const std::string reason = fixtures::StallingMount::unusableReason(); !reason.empty())
        GTEST_SKIP() << reason;
    fixtures::ScratchFolder scratch;
    const std::string clip = scratch.file("long.mp4");
    ASSERT_TRUE(fixtures::makeLongMp4(clip));
    fixtures::StallingMount mount(clip, static_cast<std::int64_t>(std::filesystem::file_size(clip) / 2));
    ASSERT_TRUE(mount.mounted());
    start({QString::fromStdString(mount.file())}, bus.address());
    ASSERT_TRUE(statusBecomes("Playing"));
    ASSERT_TRUE(mount.waitForStall(std::chrono::seconds(30)));
    const QStringList visible = {"search", "--onlyvisible", "--pid", QString::number(player.processId()),
                                 "--name", "^Tovimo$"};
    ASSERT_FALSE(xdotool(visible).isEmpty());

    const QDBusMessage reply = call(QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("Quit"));
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return xdotool(visible).isEmpty(); }, 3000)) << "the window is gone";
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return !client.interface()->isServiceRegistered(kService).value(); }, 3000))
        << "the MPRIS name is free";
    const auto lock = tovimo::tk::App::takeInstanceLock(runtime(), QString());
    EXPECT_EQ(lock.state, tovimo::tk::App::LockState::Taken) << "a new start is the only instance";
    if (lock.fd >= 0)
        ::close(lock.fd);
    EXPECT_EQ(player.state(), QProcess::Running) << "the read still holds the process";

    mount.release();
    ASSERT_TRUE(player.waitForFinished(10000));
    EXPECT_EQ(player.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(player.exitCode(), 0);
}

// Docks match a running window to its desktop entry by the window's class.
TEST_F(PlayerProcess, TheWindowsClassIsTheDesktopEntrysStartupWMClass) {
    QFile entry(QStringLiteral(TOVIMO_SOURCE_DIR "/data/" TOVIMO_APP_ID ".desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    QString startupClass;
    for (const QByteArray& line : entry.readAll().split('\n'))
        if (line.startsWith("StartupWMClass="))
            startupClass = QString::fromUtf8(line.mid(15));
    ASSERT_FALSE(startupClass.isEmpty()) << "the entry names the window's class";

    start({}, QString());
    QStringList windows;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            windows = xdotool({"search", "--onlyvisible", "--pid", QString::number(player.processId()),
                               "--name", "^Tovimo$"});
            return !windows.isEmpty();
        },
        15000));
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"),
                {QStringLiteral("-id"), windows.first(), QStringLiteral("WM_CLASS")});
    ASSERT_TRUE(xprop.waitForFinished(10000));
    // WM_CLASS(STRING) = "instance", "class"
    const QString text = QString::fromLocal8Bit(xprop.readAllStandardOutput()).trimmed();
    const QStringList parts = text.section(QLatin1Char('='), 1).split(QLatin1Char(','));
    ASSERT_EQ(parts.size(), 2) << text.toStdString();
    EXPECT_EQ(parts.at(1).trimmed(), QLatin1Char('"') + startupClass + QLatin1Char('"'))
        << text.toStdString();
    player.terminate();
    player.waitForFinished(5000);
}

TEST_F(PlayerProcess, AudioHoldsNothingAndTheSessionManagerIsTheFallbackUntilTheEnd) {
    desktop::testing::StandInSessionManager sessionManager;
    ASSERT_TRUE(sessionManager.registerOn(bus.connect()));
    ASSERT_TRUE(makeWav(folder.file(QStringLiteral("tone.wav"))));
    ASSERT_TRUE(makeVideo(folder.file(QStringLiteral("short clip.mkv")), 15));

    start({QUrl::fromLocalFile(folder.file(QStringLiteral("tone.wav"))).toString()}, bus.address());
    ASSERT_TRUE(statusBecomes("Playing"));
    QTest::qWait(500);
    EXPECT_TRUE(sessionManager.calls.empty()) << "audio only: the screen may blank";

    press("OpenUri",
          {QUrl::fromLocalFile(folder.file(QStringLiteral("short clip.mkv"))).toString(QUrl::FullyEncoded)});
    ASSERT_TRUE(QTest::qWaitFor([&] { return heldInhibitions(sessionManager) == 1; }, 5000));
    EXPECT_EQ(sessionManager.calls.back().arguments.value(3), QVariant(8u)) << "the idle flag";
    ASSERT_TRUE(statusBecomes("Stopped")) << "the end of the 1.5 s clip";
    EXPECT_TRUE(QTest::qWaitFor([&] { return heldInhibitions(sessionManager) == 0; }, 5000))
        << "released at the end of the media";
    EXPECT_TRUE(quits());
}

TEST_F(PlayerProcess, WithoutASessionBusItPlaysAndSaysNothing) {
    ASSERT_TRUE(makeVideo(folder.file(QStringLiteral("clip.mkv")), 105));
    start({QStringLiteral("clip.mkv")}, QString());
    EXPECT_TRUE(QTest::qWaitFor([&] { return bluePixels() > 100000; }, 15000)) << "the video shows";
    EXPECT_EQ(player.state(), QProcess::Running);
    player.terminate();
    player.waitForFinished(5000);
    EXPECT_EQ(QString::fromLocal8Bit(player.readAllStandardError()), QString());
}

TEST_F(PlayerProcess, ThroughTheLoaderOrALinkItPlaysItsArgumentAsItself) {
    ASSERT_TRUE(makeVideo(folder.file(QStringLiteral("clip.mkv")), 105));
    const QString link = folder.file(QStringLiteral("my-player"));
    ASSERT_TRUE(QFile::link(QStringLiteral(TOVIMO_BINARY), link));
    const QString url =
        QUrl::fromLocalFile(QFileInfo(folder.file(QStringLiteral("clip.mkv"))).canonicalFilePath())
            .toString();
    const struct {
        QString program;
        QStringList arguments;
        QString name; // the process's name, as pkill and ps see it
    } launches[] = {
        {kLoader, {QStringLiteral(TOVIMO_BINARY), QStringLiteral("clip.mkv")}, QString()},
        {link, {QStringLiteral("clip.mkv")}, QStringLiteral("my-player")},
    };
    for (const auto& launch : launches) {
        SCOPED_TRACE(launch.program.toStdString());
        start(launch.arguments, bus.address(), launch.program);
        ASSERT_TRUE(statusBecomes("Playing"));
        const QVariantMap metadata = qdbus_cast<QVariantMap>(property(QStringLiteral("Metadata")));
        EXPECT_EQ(metadata.value(QStringLiteral("xesam:url")).toString(), url);
        if (!launch.name.isEmpty()) {
            QFile comm(QStringLiteral("/proc/%1/comm").arg(player.processId()));
            ASSERT_TRUE(comm.open(QIODevice::ReadOnly));
            EXPECT_EQ(QString::fromLocal8Bit(comm.readAll()).trimmed(), launch.name);
        }
        EXPECT_TRUE(quits());
        EXPECT_EQ(QString::fromLocal8Bit(player.readAllStandardError()), QString());
    }
}

TEST_F(PlayerProcess, GlibSlicesComeFromMallocUnlessGSliceIsSet) {
    // GLib before 2.76 keeps freed slices in caches that grow with every
    // file's streaming threads; from 2.76 on its slices are malloc's anyway.
    const bool sliceAllocator = glib_check_version(2, 76, 0) != nullptr;
    const struct {
        QString program;
        QStringList arguments;
        const char* gSlice; // null: unset
        bool fromMalloc;
    } cases[] = {
        {QStringLiteral(TOVIMO_BINARY), {}, nullptr, true},
        {kLoader, {QStringLiteral(TOVIMO_BINARY)}, nullptr, true},
        {QStringLiteral(TOVIMO_BINARY), {}, "", !sliceAllocator},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program.toStdString() + (c.gSlice ? " with G_SLICE set" : ""));
        const QString report = folder.file(QStringLiteral("probe"));
        QFile::remove(report);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("G_SLICE"));
        if (c.gSlice)
            environment.insert(QStringLiteral("G_SLICE"), QLatin1String(c.gSlice));
        environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(TOVIMO_SLICE_PROBE));
        environment.insert(QStringLiteral("TOVIMO_SLICE_PROBE"), report);
        // Under AddressSanitizer its runtime would have to come first.
        environment.insert(QStringLiteral("ASAN_OPTIONS"), environment.value(QStringLiteral("ASAN_OPTIONS")) +
                                                               QStringLiteral(":verify_asan_link_order=0"));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(c.program, c.arguments + QStringList{QStringLiteral("--version")});
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitCode(), 0);
        EXPECT_EQ(process.readAllStandardOutput(), "Tovimo 0.1.0\n");
        QFile file(report);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "the probe did not run";
        EXPECT_EQ(file.readAll(), c.fromMalloc ? "1" : "0");
    }
}

TEST_F(PlayerProcess, CtrlQClosesTheWindowAndEndsTheProgram) {
    start({}, QString());
    QStringList windows;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            windows = xdotool({"search", "--onlyvisible", "--pid", QString::number(player.processId()),
                               "--name", "^Tovimo$"});
            return !windows.isEmpty();
        },
        10000));
    xdotool({"windowfocus", "--sync", windows.first()});
    xdotool({"key", "--clearmodifiers", "ctrl+q"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return player.state() == QProcess::NotRunning; }, 10000));
    EXPECT_EQ(player.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(player.exitCode(), 0);
}

TEST_F(PlayerProcess, OptionsAnswerWithoutADisplay) {
    struct Case {
        QStringList arguments;
        int exitCode;
        const char* stdoutStart;
        const char* stderrStart;
    };
    const Case cases[] = {
        {{"--help"}, 0, "Usage: tovimo ", ""},
        {{"-h"}, 0, "Usage: tovimo ", ""},
        {{"--version"}, 0, "Tovimo 0.1.0\n", ""},
        {{"-v"}, 0, "Tovimo 0.1.0\n", ""},
        {{"--bogus"}, 2, "", "tovimo: unknown option --bogus\nUsage: tovimo "},
        // The second file is named before the display is looked for (none: 1).
        {{"a.mkv", "b.mkv"}, 1, "", "tovimo: plays one file at a time; ignored: b.mkv\n"},
    };
    // Also through the loader, which then names the program.
    const QStringList launchers[] = {{QStringLiteral(TOVIMO_BINARY)},
                                     {kLoader, QStringLiteral(TOVIMO_BINARY)}};
    for (const QStringList& launcher : launchers)
        for (const Case& c : cases) {
            SCOPED_TRACE(launcher.first().toStdString());
            QProcess process;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.remove(QStringLiteral("DISPLAY"));
            process.setProcessEnvironment(environment);
            const std::string argument = c.arguments.join(QLatin1Char(' ')).toStdString();
            process.start(launcher.first(), launcher.mid(1) + c.arguments);
            ASSERT_TRUE(process.waitForFinished(10000)) << argument;
            EXPECT_EQ(process.exitCode(), c.exitCode) << argument;
            const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
            const QString err = QString::fromLocal8Bit(process.readAllStandardError());
            EXPECT_TRUE(*c.stdoutStart ? out.startsWith(QLatin1String(c.stdoutStart)) : out.isEmpty())
                << argument << ": " << out.toStdString();
            EXPECT_TRUE(*c.stderrStart ? err.startsWith(QLatin1String(c.stderrStart)) : err.isEmpty())
                << argument << ": " << err.toStdString();
        }
}

} // namespace
