// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Keys and clicks sent through the X server (XTest, by xdotool), so that they
// reach a window as a user's do: to the window with the X input focus, then
// to the control that has Qt's focus.

#include <QPoint>
#include <QProcess>
#include <QStringList>
#include <QTest>
#include <QWidget>

namespace tovimo::testing {

inline bool xdotool(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// Shows `window` and gives it the X input focus; true once Qt sees it active.
inline bool focusWindow(QWidget& window) {
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return false;
    window.activateWindow();
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::number(window.winId())});
    return QTest::qWaitForWindowActive(&window);
}

// `keys` as xdotool names them ("space", "ctrl+o", "Escape"), to the window
// that has the input focus. Another test's window could take that focus: the
// tests that send keys run alone (RUN_SERIAL).
inline bool pressKey(const QString& keys) {
    return xdotool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), keys});
}

// Left-button clicks at `at`, in the widget's logical pixels.
inline bool clickAt(QWidget& widget, QPoint at, int clicks = 1) {
    const QPoint global = widget.mapToGlobal(at);
    return xdotool({QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y()),
                    QStringLiteral("click"), QStringLiteral("--repeat"), QString::number(clicks),
                    QStringLiteral("--delay"), QStringLiteral("60"), QStringLiteral("1")});
}

inline bool clickMiddle(QWidget& widget, int clicks = 1) {
    return clickAt(widget, widget.rect().center(), clicks);
}

} // namespace tovimo::testing
