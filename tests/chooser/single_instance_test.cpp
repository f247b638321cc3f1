// SPDX-License-Identifier: GPL-3.0-or-later
// Two processes of the program itself on the test's X display. Buttons are
// pressed as a user would, through the X test extension (xdotool), so the
// display must have no window manager reparenting top-level windows, as the
// Xvfb display the test scripts start.
#include "platform/toolkit/screen.h"
#include "support/test_paths.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QSize>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

using tovimo::testing::TempFolder;

namespace {

constexpr int kWaitMs = 60000;

QString xdotool(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    process.waitForFinished(30000);
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

struct TopLevel {
    QString id;
    QString name;
    QSize size;
};

// The player's inner area is 9765 x 9720 twips; the notice is 685 x 361 pixels.
QSize playerSize() {
    return {static_cast<int>(std::lround(9765 / tovimo::tk::Screen::TwipsPerPixelX())),
            static_cast<int>(std::lround(9720 / tovimo::tk::Screen::TwipsPerPixelY()))};
}
const QSize kNoticeSize(685, 361);

// One running program with its own runtime and data folders.
class Program {
public:
    Program(const QString& runtimeFolder, const QString& workFolder) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder);
        env.insert(QStringLiteral("XDG_DATA_HOME"), workFolder);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), workFolder);
        process_.setProcessEnvironment(env);
        process_.setWorkingDirectory(workFolder);
        process_.setProcessChannelMode(QProcess::ForwardedChannels);
        process_.start(QStringLiteral(TOVIMO_PROGRAM), QStringList{});
        process_.waitForStarted(kWaitMs);
    }
    ~Program() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(10000);
        }
    }

    bool running() { return process_.state() == QProcess::Running; }
    QProcess& process() { return process_; }

    // The player window once it is on screen. On a notice day the notice
    // comes first; it is closed by its "X".
    std::optional<QString> waitForPlayer() {
        const QDeadlineTimer deadline(kWaitMs);
        while (!deadline.hasExpired() && running()) {
            for (const TopLevel& window : topLevels()) {
                if (window.size == playerSize())
                    return player_ = window.id;
                if (window.size == kNoticeSize)
                    clickAt(window.id, 18, 18);
            }
            QThread::msleep(200);
        }
        return std::nullopt;
    }

    void pressOpen() {
        // Open: 1000 x 375 twips at 7800, 8640 in the player's inner area.
        clickAt(player_, static_cast<int>(std::lround(8300 / tovimo::tk::Screen::TwipsPerPixelX())),
                static_cast<int>(std::lround(8827.5f / tovimo::tk::Screen::TwipsPerPixelY())));
    }

    // Waits for `done`, answering any message box of the player with Enter.
    bool waitUntil(const std::function<bool(const QList<TopLevel>&)>& done) {
        const QDeadlineTimer deadline(kWaitMs);
        while (!deadline.hasExpired()) {
            const QList<TopLevel> windows = running() ? topLevels() : QList<TopLevel>{};
            if (done(windows))
                return true;
            for (const TopLevel& window : windows)
                if (window.name == QLatin1String("Tovimo") && window.id != player_)
                    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window.id,
                             QStringLiteral("10"), QStringLiteral("10"), QStringLiteral("key"),
                             QStringLiteral("Return")});
            if (!running() && done({}))
                return true;
            process_.waitForFinished(200);
        }
        return false;
    }

private:
    QList<TopLevel> topLevels() {
        QList<TopLevel> windows;
        const QString ids = xdotool({QStringLiteral("search"), QStringLiteral("--maxdepth"),
                                     QStringLiteral("1"), QStringLiteral("--onlyvisible"),
                                     QStringLiteral("--pid"), QString::number(process_.processId())});
        for (const QString& id : ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            TopLevel window{id, xdotool({QStringLiteral("getwindowname"), id}), {}};
            for (const QString& line :
                 xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id})
                     .split(QLatin1Char('\n'))) {
                if (line.startsWith(QLatin1String("WIDTH=")))
                    window.size.setWidth(line.mid(6).toInt());
                if (line.startsWith(QLatin1String("HEIGHT=")))
                    window.size.setHeight(line.mid(7).toInt());
            }
            windows.append(window);
        }
        return windows;
    }
    void clickAt(const QString& window, int x, int y) {
        xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(x),
                 QString::number(y), QStringLiteral("click"), QStringLiteral("1")});
    }

    QProcess process_;
    QString player_;
};

bool shows(const QList<TopLevel>& windows, const char* name) {
    return std::any_of(windows.begin(), windows.end(),
                       [name](const TopLevel& w) { return w.name == QLatin1String(name); });
}

TEST(SingleInstance, SecondProgramEndsAtItsFirstOpenWhileTheFirstKeepsRunning) {
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty() ||
        qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "needs an X display and xdotool";
    TempFolder runtime;
    TempFolder work;
    ASSERT_TRUE(
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    Program first(runtime.path(), work.path());
    ASSERT_TRUE(first.waitForPlayer()) << "the first program shows its window";
    Program second(runtime.path(), work.path());
    ASSERT_TRUE(second.waitForPlayer()) << "a second program runs normally until Open";

    second.pressOpen();
    bool chooserSeen = false;
    EXPECT_TRUE(second.waitUntil([&](const QList<TopLevel>& windows) {
        chooserSeen = chooserSeen || shows(windows, "Select");
        return !second.running();
    })) << "the second program ends at its first Open";
    EXPECT_FALSE(chooserSeen);
    EXPECT_EQ(second.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.process().exitCode(), 0);

    ASSERT_TRUE(first.running());
    first.pressOpen();
    EXPECT_TRUE(first.waitUntil([](const QList<TopLevel>& windows) { return shows(windows, "Select"); }))
        << "the first program's Open shows the chooser";
    EXPECT_TRUE(first.running());
}

} // namespace
