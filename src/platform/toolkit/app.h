// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>

namespace tovimo::tk {

// The program as a whole: its folder, the single-instance test and the
// immediate end.
struct App {
    static constexpr const char* kTitle = "Tovimo";

    // The executable's folder (no trailing separator).
    static QString Path();

    // True when another instance of the program was running when this one
    // called registerInstance(). Decided once, at start.
    static bool PrevInstance();

    // Takes the instance lock (see takeInstanceLock) in $XDG_RUNTIME_DIR, else
    // in the system's temporary folder; only a lock that another process holds
    // makes PrevInstance() true. The lock is an flock() on an open file, so it
    // goes away with the process however it ends.
    static void registerInstance();
    // Lets go of the lock that registerInstance() took, for a process that is
    // ending but cannot close its files yet.
    static void releaseInstance();

    enum class LockState {
        Taken,         // this process holds the lock; `fd` keeps it
        HeldElsewhere, // another process holds it
        Unavailable,   // no private folder or lock file: run as the only instance
    };
    struct InstanceLock {
        LockState state = LockState::Unavailable;
        int fd = -1;
    };
    // An flock on "tovimo.lock" in a private folder: `runtimeFolder` when that
    // is one, else "tovimo-<uid>" in `tempFolder`, created 0700. A private
    // folder is a real folder (no link) owned by this user and closed to
    // everyone else, so that no other user can hold the lock for
    // this one. The lock file is opened without following a link. Only
    // EWOULDBLOCK counts as another instance.
    static InstanceLock takeInstanceLock(const QString& runtimeFolder, const QString& tempFolder);

    // Ends the program at once: no further events, no destructors. The step
    // set with setLastStep runs just before the exit, and may end the
    // process itself.
    [[noreturn]] static void End();
    static void setLastStep(void (*step)());

    // Test seams.
    static void setPathForTesting(const QString& path);
    static void setPrevInstanceForTesting(bool running);
    // The handler must not return normally (throw, or exit).
    static void setEndHandlerForTesting(std::function<void()> handler);
};

} // namespace tovimo::tk
