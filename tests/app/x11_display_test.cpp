// SPDX-License-Identifier: GPL-3.0-or-later
// The program and its X display: it runs on xcb whatever QT_QPA_PLATFORM
// says, refuses to start without a display that answers, and ends cleanly
// when its display dies under it; full screen follows a screen that changes
// size. Each test runs the built program on X servers of its own, which it
// stops and kills.
#include "app/x11_display.h"
#include "platform/media/x11_child_window.h"
#include "platform/toolkit/app.h"
#include "support/test_paths.h"

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QSize>
#include <QTest>
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <csignal>
#include <memory>
#include <unistd.h>
#include <vector>

namespace app = tovimo::app;

namespace {

TEST(ChoosePlatform, RunsOnXcbWhateverTheUserAsksAndSaysSoWhenItSetsTheirChoiceAside) {
    struct Case {
        const char* requested;
        const char* platform;
        bool overridden;
    };
    const Case cases[] = {
        {"", "xcb", false},
        {"xcb", "xcb", false},
        {"XCB", "XCB", false},
        {"xcb:nomitshmem", "xcb:nomitshmem", false},
        {"xcb;wayland", "xcb;wayland", false},
        {"wayland", "xcb", true},
        {"wayland;xcb", "xcb", true},
        {"wayland-egl; xcb:nomitshmem", "xcb:nomitshmem", true},
        {"offscreen", "xcb", true},
        {"xcbx", "xcb", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(app::choosePlatform(c.requested), (app::PlatformChoice{c.platform, c.overridden}))
            << c.requested;
}

// An Xvfb on a display number nobody uses, for one test to kill; or, given
// the display it shows on, an Xephyr whose screen takes the size its window
// is given from outside, as a monitor changed under a session does.
class TestXServer {
public:
    explicit TestXServer(const QString& screen = QStringLiteral("1024x768x24"), const QString& host = {}) {
        for (int n = 300; n < 500 && !running(); ++n) {
            if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)) ||
                QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
                continue;
            name_ = QStringLiteral(":%1").arg(n);
            const QStringList listening = {name_, QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                           QStringLiteral("-noreset")};
            if (host.isEmpty()) {
                server_.start(QStringLiteral("Xvfb"), listening + QStringList{QStringLiteral("-screen"),
                                                                              QStringLiteral("0"), screen});
            } else {
                QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
                environment.insert(QStringLiteral("DISPLAY"), host);
                server_.setProcessEnvironment(environment);
                server_.start(QStringLiteral("Xephyr"),
                              listening + QStringList{QStringLiteral("-screen"), screen,
                                                      QStringLiteral("-resizeable")});
            }
            if (!server_.waitForStarted(5000))
                continue;
            // Answering, or gone because another test took the number first.
            for (int tries = 0; tries < 100 && !answers(); ++tries)
                if (server_.waitForFinished(50))
                    break;
        }
    }
    ~TestXServer() { kill(SIGKILL); }
    TestXServer(const TestXServer&) = delete;
    TestXServer& operator=(const TestXServer&) = delete;

    bool running() const { return server_.state() == QProcess::Running && answers(); }
    const QString& name() const { return name_; }
    void signal(int number) const {
        if (server_.state() == QProcess::Running)
            ::kill(static_cast<pid_t>(server_.processId()), number);
    }
    // A server killed outright leaves its lock and socket behind, and the
    // numbers they take would run out over many runs.
    void kill(int number) {
        signal(SIGCONT);
        signal(number);
        if (server_.waitForFinished(5000) && !name_.isEmpty()) {
            const QString display = name_.mid(1);
            QFile::remove(QStringLiteral("/tmp/.X%1-lock").arg(display));
            QFile::remove(QStringLiteral("/tmp/.X11-unix/X%1").arg(display));
        }
    }

    // Strongly blue pixels on the whole screen: the test video is solid blue.
    int bluePixels() const { return blue().count; }

    // Where they lie, and the screen's size. The bounds take the rows and
    // columns where they run for more than 200 pixels: the picture, not a
    // focus mark.
    struct Blue {
        int count = 0;
        QRect bounds;
        QSize screen;
    };
    Blue blue() const {
        Blue found;
        Display* display = XOpenDisplay(name_.toLocal8Bit().constData());
        if (!display)
            return found;
        const int width = DisplayWidth(display, 0);
        const int height = DisplayHeight(display, 0);
        found.screen = QSize(width, height);
        if (XImage* image = XGetImage(display, DefaultRootWindow(display), 0, 0, static_cast<unsigned>(width),
                                      static_cast<unsigned>(height), AllPlanes, ZPixmap)) {
            std::vector<int> inRow(static_cast<size_t>(height)), inColumn(static_cast<size_t>(width));
            for (int y = 0; y < height; y += 2)
                for (int x = 0; x < width; x += 2) {
                    const unsigned long pixel = XGetPixel(image, x, y);
                    if ((pixel & 0xFF) > 160 && ((pixel >> 8) & 0xFF) < 90 && ((pixel >> 16) & 0xFF) < 90) {
                        found.count += 4;
                        ++inRow[static_cast<size_t>(y)];
                        ++inColumn[static_cast<size_t>(x)];
                    }
                }
            XDestroyImage(image);
            QRect rows, columns;
            for (int y = 0; y < height; y += 2)
                if (inRow[static_cast<size_t>(y)] > 100)
                    rows |= QRect(0, y, 1, 2);
            for (int x = 0; x < width; x += 2)
                if (inColumn[static_cast<size_t>(x)] > 100)
                    columns |= QRect(x, 0, 2, 1);
            found.bounds = QRect(QPoint(columns.left(), rows.top()), QPoint(columns.right(), rows.bottom()));
        }
        XCloseDisplay(display);
        return found;
    }

private:
    bool answers() const {
        Display* display = XOpenDisplay(name_.toLocal8Bit().constData());
        if (display)
            XCloseDisplay(display);
        return display != nullptr;
    }

    QString name_;
    QProcess server_;
};

std::string describe(const QRect& r) {
    return QStringLiteral("%1x%2%3%4%5%6")
        .arg(r.width())
        .arg(r.height())
        .arg(r.x() < 0 ? QString() : QStringLiteral("+"))
        .arg(r.x())
        .arg(r.y() < 0 ? QString() : QStringLiteral("+"))
        .arg(r.y())
        .toStdString();
}

QStringList xdotoolOn(const QString& display, const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("xdotool"), arguments);
    process.waitForFinished(10000);
    return QString::fromLocal8Bit(process.readAllStandardOutput())
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Where the X server has a window, on its screen.
QRect windowGeometry(const QString& display, const QString& window) {
    const QStringList shape =
        xdotoolOn(display, {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    const auto value = [&shape](const QString& key) {
        return shape.filter(QRegularExpression(QStringLiteral("^%1=").arg(key)))
            .value(0)
            .section(QLatin1Char('='), 1)
            .toInt();
    };
    return {value(QStringLiteral("X")), value(QStringLiteral("Y")), value(QStringLiteral("WIDTH")),
            value(QStringLiteral("HEIGHT"))};
}

bool makeBlueVideo(const QString& path) {
    QProcess process;
    process.start(QStringLiteral("gst-launch-1.0"),
                  {QStringLiteral("-q"), QStringLiteral("videotestsrc"), QStringLiteral("num-buffers=600"),
                   QStringLiteral("pattern=blue"), QStringLiteral("!"),
                   QStringLiteral("video/x-raw,format=I420,width=320,height=240,framerate=10/1"),
                   QStringLiteral("!"), QStringLiteral("x264enc"), QStringLiteral("!"),
                   QStringLiteral("matroskamux"), QStringLiteral("!"), QStringLiteral("filesink"),
                   QStringLiteral("location=") + path});
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

class X11Display : public ::testing::Test {
protected:
    void SetUp() override {
        // A copy of its own, so that its favourites file is this folder's.
        ASSERT_TRUE(QFile::copy(QStringLiteral(TOVIMO_BINARY), program()));
        ASSERT_TRUE(QDir().mkpath(runtime()));
        QFile::setPermissions(runtime(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void TearDown() override {
        if (player.state() != QProcess::NotRunning) {
            player.kill();
            player.waitForFinished(5000);
        }
    }
    QString program() const { return folder.file(QStringLiteral("tovimo")); }
    QString runtime() const { return folder.file(QStringLiteral("runtime")); }

    // Starts the program; a null `display` leaves DISPLAY unset, a null
    // `platform` QT_QPA_PLATFORM.
    void start(const QStringList& arguments, const QString& display, const QString& platform = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        if (!display.isNull())
            environment.insert(QStringLiteral("DISPLAY"), display);
        if (!platform.isNull())
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                           QStringLiteral("unix:path=") + folder.file(QStringLiteral("no-bus")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), folder.file(QStringLiteral("data")));
        player.setProcessEnvironment(environment);
        player.setWorkingDirectory(folder.path());
        player.start(program(), arguments);
        ASSERT_TRUE(player.waitForStarted(10000));
    }

    // On every fifth day the notice holds the start-up until its "X" (8
    // pixels in, 21 wide) is clicked.
    void closeNoticeOnNoticeDays(const QString& display) {
        if (QDate::currentDate().day() % 5 != 0)
            return;
        const auto xdotool = [&display](const QStringList& arguments) {
            return xdotoolOn(display, arguments);
        };
        const QString pid = QString::number(player.processId());
        for (int attempt = 0; attempt < 100; ++attempt) {
            for (const QString& window : xdotool({"search", "--onlyvisible", "--pid", pid})) {
                const QStringList shape = xdotool({"getwindowgeometry", "--shell", window});
                if (!shape.contains(QStringLiteral("WIDTH=685")))
                    continue;
                const int x = shape.filter(QStringLiteral("X=")).value(0).mid(2).toInt();
                const int y = shape.filter(QStringLiteral("Y=")).value(0).mid(2).toInt();
                xdotool({"mousemove", QString::number(x + 18), QString::number(y + 18), "click", "1"});
                return;
            }
            QTest::qWait(100);
        }
        ADD_FAILURE() << "no notice window appeared";
    }

    bool showsTheVideo(const TestXServer& server) {
        return QTest::qWaitFor([&] { return server.bluePixels() > 50000; }, 20000);
    }

    // The program's main window: the largest of its visible ones.
    QString mainWindow(const QString& display) {
        QString found;
        int area = 0;
        const QString pid = QString::number(player.processId());
        for (const QString& window : xdotoolOn(display, {"search", "--onlyvisible", "--pid", pid})) {
            const QRect shape = windowGeometry(display, window);
            if (shape.width() * shape.height() > area) {
                area = shape.width() * shape.height();
                found = window;
            }
        }
        return found;
    }

    QStringList standardErrorLines() {
        return QString::fromLocal8Bit(player.readAllStandardError())
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    tovimo::testing::TempFolder folder;
    QProcess player;
};

TEST_F(X11Display, PlaysOnXcbWhateverThePlatformVariableSaysAndSaysWhenItOverridesIt) {
    TestXServer server;
    ASSERT_TRUE(server.running());
    ASSERT_TRUE(makeBlueVideo(folder.file(QStringLiteral("clip.mkv"))));
    struct Case {
        const char* platform; // null: unset
        bool told;
    };
    for (const Case c : {Case{"wayland", true}, Case{"wayland;xcb", true}, Case{nullptr, false}}) {
        const QString platform = c.platform ? QString::fromLatin1(c.platform) : QString();
        start({QStringLiteral("clip.mkv")}, server.name(), platform);
        closeNoticeOnNoticeDays(server.name());
        EXPECT_TRUE(showsTheVideo(server)) << c.platform;
        player.terminate();
        ASSERT_TRUE(player.waitForFinished(10000));
        const QStringList lines = standardErrorLines();
        if (c.told) {
            ASSERT_EQ(lines.size(), 1) << lines.join(QLatin1Char('\n')).toStdString();
            EXPECT_TRUE(
                lines.first().startsWith(QStringLiteral("tovimo: QT_QPA_PLATFORM=\"%1\"").arg(platform)))
                << lines.first().toStdString();
        } else {
            EXPECT_TRUE(lines.isEmpty()) << lines.join(QLatin1Char('\n')).toStdString();
        }
        QTest::qWait(300); // the window gone before the next one is counted
    }
}

TEST_F(X11Display, EndsAtOnceWithAMessageWhenNoXDisplayAnswers) {
    TestXServer stopped;
    ASSERT_TRUE(stopped.running());
    stopped.signal(SIGSTOP); // accepts connections, answers nothing
    TestXServer gone;
    ASSERT_TRUE(gone.running());
    const QString goneName = gone.name();
    gone.kill(SIGTERM);
    struct Case {
        const char* what;
        QString display; // null: unset
        const char* message;
    };
    const Case cases[] = {
        {"DISPLAY unset", QString(), "tovimo: no X display (DISPLAY is not set)"},
        {"DISPLAY empty", QStringLiteral(""), "tovimo: no X display (DISPLAY is not set)"},
        {"no server there", goneName, "tovimo: cannot open the X display \""},
        {"a stopped server", stopped.name(), "tovimo: cannot open the X display \""},
    };
    for (const Case& c : cases) {
        QElapsedTimer timer;
        timer.start();
        start({}, c.display, QStringLiteral("wayland"));
        ASSERT_TRUE(player.waitForFinished(15000)) << c.what;
        EXPECT_LT(timer.elapsed(), 8000) << c.what;
        EXPECT_EQ(player.exitStatus(), QProcess::NormalExit) << c.what;
        EXPECT_EQ(player.exitCode(), app::kNoDisplayExitStatus) << c.what;
        const QStringList lines = standardErrorLines();
        ASSERT_EQ(lines.size(), 2) << c.what << ": " << lines.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(lines.first().startsWith(QStringLiteral("tovimo: QT_QPA_PLATFORM=\"wayland\"")));
        EXPECT_TRUE(lines.last().startsWith(QLatin1String(c.message)))
            << c.what << ": " << lines.last().toStdString();
    }
}

TEST_F(X11Display, EndsCleanlyWhenItsDisplayDiesWhilePlayingAndStartsAgainNormally) {
    ASSERT_TRUE(makeBlueVideo(folder.file(QStringLiteral("clip.mkv"))));
    const QByteArray favourites = "clip@@" + QFile::encodeName(folder.file(QStringLiteral("clip.mkv"))) +
                                  "\r\nother@@/media/other.mp4\r\n";
    QFile file(folder.file(QStringLiteral("datadoc.tvq")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(favourites);
    file.close();
    const QStringList filesBefore = QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    for (const int signal : {SIGKILL, SIGTERM, SIGKILL, SIGKILL}) {
        TestXServer server;
        ASSERT_TRUE(server.running());
        start({QStringLiteral("clip.mkv")}, server.name());
        closeNoticeOnNoticeDays(server.name());
        ASSERT_TRUE(showsTheVideo(server));
        server.kill(signal);
        ASSERT_TRUE(player.waitForFinished(5000)) << "signal " << signal;
        EXPECT_EQ(player.exitStatus(), QProcess::NormalExit) << "signal " << signal << ": no crash";
        EXPECT_EQ(player.exitCode(), tovimo::media::kDisplayLostExitStatus) << "signal " << signal;
        const QString said = standardErrorLines().join(QLatin1Char('\n'));
        // Qt's own warning may come before or after it.
        EXPECT_TRUE(
            said.contains(QStringLiteral("tovimo: the X display %1 went away; ending.").arg(server.name())))
            << said.toStdString();

        QFile after(folder.file(QStringLiteral("datadoc.tvq")));
        ASSERT_TRUE(after.open(QIODevice::ReadOnly));
        EXPECT_EQ(after.readAll(), favourites);
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), filesBefore);
        const auto lock = tovimo::tk::App::takeInstanceLock(runtime(), QDir::tempPath());
        EXPECT_EQ(lock.state, tovimo::tk::App::LockState::Taken) << "no instance left holding the lock";
        if (lock.fd >= 0)
            ::close(lock.fd);
    }

    TestXServer server;
    ASSERT_TRUE(server.running());
    start({QStringLiteral("clip.mkv")}, server.name());
    closeNoticeOnNoticeDays(server.name());
    EXPECT_TRUE(showsTheVideo(server)) << "the next start plays";
    player.terminate();
    ASSERT_TRUE(player.waitForFinished(10000));
    EXPECT_EQ(standardErrorLines(), QStringList());
}

// The screen changes size under full screen, as when a monitor is swapped or
// its resolution changed: the window follows the new size, and the button
// back to the window stays on the screen and answers a click.
TEST_F(X11Display, FullScreenFollowsTheScreenAsItShrinksAndGrowsAndItsButtonStaysWithinReach) {
    TestXServer host(QStringLiteral("1920x1200x24"));
    ASSERT_TRUE(host.running());
    const QSize large(1600, 1200);
    const QSize small(1024, 768);
    TestXServer nested(QStringLiteral("%1x%2").arg(large.width()).arg(large.height()), host.name());
    ASSERT_TRUE(nested.running());
    const QString screenWindow = xdotoolOn(host.name(), {"search", "--class", "Xephyr"}).value(0);
    ASSERT_FALSE(screenWindow.isEmpty());
    // Xephyr takes its output's new mode only when a client reads the
    // screen's resources, as a session's display settings do after a change;
    // until then the monitor that the program reads keeps the old size.
    const auto readScreenResources = [&] {
        QProcess query;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), nested.name());
        query.setProcessEnvironment(environment);
        query.start(QStringLiteral("xrandr"), {QStringLiteral("-q")});
        query.waitForFinished(10000);
    };
    const auto resizeScreen = [&](QSize size) {
        xdotoolOn(host.name(), {"windowsize", screenWindow, QString::number(size.width()),
                                QString::number(size.height())});
        return QTest::qWaitFor(
            [&] {
                readScreenResources();
                return nested.blue().screen == size;
            },
            10000);
    };

    ASSERT_TRUE(makeBlueVideo(folder.file(QStringLiteral("clip.mkv"))));
    start({QStringLiteral("clip.mkv")}, nested.name());
    closeNoticeOnNoticeDays(nested.name());
    ASSERT_TRUE(showsTheVideo(nested));
    const QString window = mainWindow(nested.name());
    ASSERT_FALSE(window.isEmpty());
    const QSize windowed = windowGeometry(nested.name(), window).size();
    const auto geometry = [&] { return windowGeometry(nested.name(), window); };
    // The whole screen, less what a window manager's frame would take.
    const auto fillsTheScreen = [&](QSize screen) {
        return QTest::qWaitFor(
            [&] {
                readScreenResources();
                const QRect shape = geometry();
                return QRect(QPoint(0, 0), screen).contains(shape) && shape.width() >= screen.width() - 10 &&
                       shape.height() >= screen.height() - 40;
            },
            10000);
    };
    const auto switchWithF11 = [&] {
        xdotoolOn(nested.name(), {"windowfocus", "--sync", window});
        xdotoolOn(nested.name(), {"key", "F11"});
    };
    // The picture lies inside the screen with the strip below it, and grew
    // or shrank with it: letterboxed in the picture area, it stands off the
    // screen's right edge by that area's margin.
    const auto pictureFits = [&](QSize screen) {
        return QTest::qWaitFor(
            [&] {
                const TestXServer::Blue blue = nested.blue();
                return blue.screen == screen && blue.count > 50000 &&
                       blue.bounds.right() < screen.width() - 10 &&
                       blue.bounds.right() > screen.width() * 3 / 4 &&
                       blue.bounds.bottom() < screen.height() - 80;
            },
            10000);
    };

    switchWithF11();
    ASSERT_TRUE(fillsTheScreen(large)) << "full screen: " << describe(geometry());
    ASSERT_TRUE(pictureFits(large)) << "the picture: " << describe(nested.blue().bounds);

    ASSERT_TRUE(resizeScreen(small));
    EXPECT_TRUE(fillsTheScreen(small)) << describe(geometry());
    EXPECT_TRUE(pictureFits(small)) << "the picture: " << describe(nested.blue().bounds);

    // S: 9060 twips in, its bottom 700 twips above the window's, 460 by 375.
    const QRect full = geometry();
    const QPoint sCentre(full.x() + 604 + 15, full.bottom() + 1 - 72 + 12);
    ASSERT_TRUE(QRect(QPoint(0, 0), small).contains(sCentre)) << "S lies on the screen";
    xdotoolOn(nested.name(),
              {"mousemove", QString::number(sCentre.x()), QString::number(sCentre.y()), "click", "1"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return geometry().size() == windowed; }, 10000))
        << "S puts the window back: " << describe(geometry());

    switchWithF11();
    ASSERT_TRUE(fillsTheScreen(small)) << describe(geometry());
    ASSERT_TRUE(resizeScreen(large));
    EXPECT_TRUE(fillsTheScreen(large)) << "the window grows back with the screen: " << describe(geometry());
    EXPECT_TRUE(pictureFits(large)) << "the picture: " << describe(nested.blue().bounds);

    player.terminate();
    ASSERT_TRUE(player.waitForFinished(10000));
}

// The command shell has no toolkit: there the media service's own handler
// meets the loss of the display, on the video sink's streaming thread.
TEST_F(X11Display, TheCommandShellEndsCleanlyWhenItsDisplayDiesUnderAPlayingVideo) {
    ASSERT_TRUE(makeBlueVideo(folder.file(QStringLiteral("clip.mkv"))));
    TestXServer server;
    ASSERT_TRUE(server.running());
    QProcess shell;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), server.name());
    shell.setProcessEnvironment(environment);
    shell.setWorkingDirectory(folder.path());
    shell.start(QStringLiteral(TOVIMO_MCI_BINARY), QStringList());
    ASSERT_TRUE(shell.waitForStarted(10000));
    shell.write("open clip.mkv alias m\nplay m\n"); // its input stays open
    EXPECT_TRUE(showsTheVideo(server));
    server.kill(SIGTERM);
    ASSERT_TRUE(shell.waitForFinished(5000));
    EXPECT_EQ(shell.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(shell.exitCode(), tovimo::media::kDisplayLostExitStatus);
    const QString said = QString::fromLocal8Bit(shell.readAllStandardError());
    EXPECT_TRUE(
        said.contains(QStringLiteral("tovimo-mci: the X display %1 went away; ending.").arg(server.name())))
        << said.toStdString();
}

} // namespace
