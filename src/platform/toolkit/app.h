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

    // Takes the instance lock in the user's runtime folder. The lock is an
    // flock() on an open file, so it goes away with the process however it ends.
    static void registerInstance();

    // Ends the program at once: no further events, no destructors.
    [[noreturn]] static void End();

    // Test seams.
    static void setPathForTesting(const QString& path);
    static void setPrevInstanceForTesting(bool running);
    // The handler must not return normally (throw, or exit).
    static void setEndHandlerForTesting(std::function<void()> handler);
};

} // namespace tovimo::tk
