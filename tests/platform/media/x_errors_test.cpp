// SPDX-License-Identifier: GPL-3.0-or-later
// X errors caused by the media service's own requests come back to the
// command that caused them, in a process of the command-line shell's kind
// (no toolkit) and, built a second time with TOVIMO_UNDER_QAPPLICATION, in
// one of the player's kind, where Qt's xcb plugin has replaced the process's
// Xlib error handler with one that drops every error.
#include "platform/media/mci_service.h"

#include "media_fixtures.h"

#include <gtest/gtest.h>

#ifdef TOVIMO_UNDER_QAPPLICATION
#include <QApplication>
#endif

#include <X11/Xlib.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

namespace tovimo::media {
namespace {

constexpr std::uint32_t kNoWindow = 346;
constexpr std::uint32_t kCreateWindow = 347;

class XErrors : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!std::getenv("DISPLAY"))
            return;
        initializeProcess();
        display_ = XOpenDisplay(nullptr);
        folder_ = new testing::ScratchFolder;
        clip_ = folder_->file("bars.mp4");
        made_ = testing::makeMedia("mp4", clip_);
    }
    static void TearDownTestSuite() {
        if (display_)
            XCloseDisplay(display_);
        display_ = nullptr;
        delete folder_;
        folder_ = nullptr;
    }
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "needs an X display (Xvfb)";
        ASSERT_NE(display_, nullptr);
        ASSERT_TRUE(made_);
    }

    Window makeWindow(unsigned windowClass = InputOutput) {
        XSetWindowAttributes attributes{};
        const Window window = XCreateWindow(display_, DefaultRootWindow(display_), 0, 0, 320, 240, 0,
                                            windowClass == InputOnly ? 0 : CopyFromParent, windowClass,
                                            CopyFromParent, 0, &attributes);
        XMapWindow(display_, window);
        XSync(display_, False);
        return window;
    }

    std::uint32_t send(const std::string& command) {
        return service_.sendString(command.c_str(), nullptr, 0);
    }
    std::string ask(const std::string& command) {
        char reply[128] = "";
        EXPECT_EQ(service_.sendString(command.c_str(), reply, sizeof reply), 0u) << command;
        return reply;
    }
    std::uint32_t openIn(unsigned long parent) {
        return send("open " + clip_ + " type MPEGVideo alias Media parent " + std::to_string(parent) +
                    " style 1073741824");
    }

    static inline Display* display_ = nullptr;
    static inline testing::ScratchFolder* folder_ = nullptr;
    static inline std::string clip_;
    static inline bool made_ = false;
    MciService service_;
};

TEST_F(XErrors, AnOpenIntoAParentThatCannotHoldTheVideoAnswersThatTheWindowWasNotMade) {
    struct Case {
        const char* parent;
        std::function<unsigned long()> make;
    };
    const Case cases[] = {
        {"an id that is no window", [] { return XAllocID(display_); }},
        {"a destroyed window",
         [this] {
             const Window window = makeWindow();
             XDestroyWindow(display_, window);
             XSync(display_, False);
             return window;
         }},
        {"a pixmap",
         [] {
             const Pixmap pixmap = XCreatePixmap(display_, DefaultRootWindow(display_), 8, 8,
                                                 static_cast<unsigned>(DefaultDepth(display_, 0)));
             XSync(display_, False);
             return pixmap;
         }},
        // It has a geometry like any window: only the creation of the child
        // fails, with an error that comes after a request that succeeded.
        {"an input-only window", [this] { return makeWindow(InputOnly); }},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(openIn(c.make()), kCreateWindow) << c.parent;
        EXPECT_EQ(send("status Media mode"), 263u) << c.parent << ": nothing stays open";
        EXPECT_EQ(send("close all"), 0u);
    }
    // And the next open into a real window works.
    const Window parent = makeWindow();
    EXPECT_EQ(openIn(parent), 0u);
    EXPECT_EQ(send("close all"), 0u);
    XDestroyWindow(display_, parent);
    XSync(display_, False);
}

TEST_F(XErrors, CommandsOnAWindowWhoseParentIsGoneAnswerNoWindowAndNothingBreaks) {
    const Window parent = makeWindow();
    ASSERT_EQ(openIn(parent), 0u);
    ASSERT_EQ(send("put Media window at 0 0 160 120"), 0u);
    ASSERT_EQ(send("play Media"), 0u);
    // The sink keeps drawing into the child for a moment after it is gone.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    XDestroyWindow(display_, parent);
    XSync(display_, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    EXPECT_EQ(send("put Media window at 0 0 320 240"), kNoWindow);
    EXPECT_EQ(send("window Media state hide"), kNoWindow);
    EXPECT_EQ(send("window Media state show"), kNoWindow);
    EXPECT_EQ(ask("status Media mode"), "playing");
    EXPECT_EQ(send("pause Media"), 0u);
    EXPECT_EQ(send("put Media window at 0 0 320 240"), kNoWindow) << "paused, it does not redraw either";
    EXPECT_EQ(ask("status Media mode"), "paused");
    EXPECT_EQ(send("close all"), 0u);

    // The service goes on as before.
    const Window next = makeWindow();
    ASSERT_EQ(openIn(next), 0u);
    EXPECT_EQ(send("put Media window at 0 0 160 120"), 0u);
    EXPECT_EQ(send("window Media state hide"), 0u);
    EXPECT_EQ(send("close all"), 0u);
    XDestroyWindow(display_, next);
    XSync(display_, False);
}

} // namespace
} // namespace tovimo::media

#ifdef TOVIMO_UNDER_QAPPLICATION
// As the player starts: the media process first, then the QApplication,
// whose xcb plugin installs its own Xlib error handler over the service's.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!std::getenv("DISPLAY"))
        return RUN_ALL_TESTS(); // every test skips
    tovimo::media::initializeProcess();
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
#endif
