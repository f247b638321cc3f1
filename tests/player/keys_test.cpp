// SPDX-License-Identifier: GPL-3.0-or-later
// The keys every player answers, sent through the X server to the shown
// window: each goes first to the focused control, and only a key that no
// focused control takes reaches the window.
#include "platform/toolkit/dialogs.h"
#include "support/form1_fixture.h"
#include "support/x_input.h"

#include <QAccessible>
#include <QTest>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tk = tovimo::tk;
namespace t = tovimo::testing;
using Commands = std::vector<std::string>;

namespace {

const char* const kPath = "/media/clips/film.mkv";

class Keys : public t::Form1Fixture {
protected:
    void SetUp() override {
        tk::setMsgBoxHookForTesting([](const QString&, const QString&, const QString&) {});
        form.Load();
        ASSERT_TRUE(t::focusWindow(form));
        form.Text2.setText(QString::fromLatin1(kPath));
        media.answer("status Media length", {0, "7200999"});
    }
    void TearDown() override {
        tk::setMsgBoxHookForTesting({});
        form.hide();
    }

    // Plays kPath with Enter in the path box; the commands sent since are cleared.
    void play() {
        form.Text2.setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return form.Text2.hasFocus(); }, 2000));
        media.clear();
        ASSERT_TRUE(t::pressKey(QStringLiteral("Return")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return form.hs.Max() == 7200; }, 5000));
        media.clear();
    }

    // Sends `key` and waits until the commands sent (without polling) are `expected`.
    void keyGives(const QString& key, const Commands& expected) {
        media.clear();
        ASSERT_TRUE(t::pressKey(key));
        if (expected.empty())
            QTest::qWait(200);
        else
            (void)QTest::qWaitFor([&] { return sent().size() >= expected.size(); }, 3000);
        QTest::qWait(50); // anything more the key would send
        EXPECT_EQ(sent(), expected) << key.toStdString();
    }
};

TEST_F(Keys, EnterInThePathBoxIsPlay) {
    form.vs.setValue(80);
    form.Text2.setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Text2.hasFocus(); }, 2000));
    media.clear();
    ASSERT_TRUE(t::pressKey(QStringLiteral("Return")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.hs.Max() == 7200; }, 5000));
    EXPECT_EQ(sent(), (Commands{"stop Media", "close all", f.openCommand(kPath), sent().at(3), "Play Media",
                                "status Media length"}));
    EXPECT_EQ(sent().at(3).rfind("put Media window at 0 0 ", 0), 0u);
    EXPECT_EQ(form.vs.Value(), 50);
}

TEST_F(Keys, ThePictureTakesTheFocusWhenClickedAndAnswersSpaceAndArrows) {
    play();
    ASSERT_TRUE(t::clickMiddle(form.pic1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.pic1.hasFocus(); }, 3000));
    EXPECT_EQ(sent(), Commands{}) << "a click on the picture sends nothing";

    keyGives(QStringLiteral("space"), {"pause Media"});
    EXPECT_EQ(form.Command2.Caption(), QStringLiteral("Resume"));
    keyGives(QStringLiteral("space"), {"resume Media"});
    EXPECT_EQ(form.Command2.Caption(), QStringLiteral("Pause"));

    // The timer puts the thumb where the service says playing is.
    const auto playingAt = [this](const char* milliseconds, int seconds) {
        media.answer("status Media position", {0, milliseconds});
        ASSERT_TRUE(QTest::qWaitFor([&] { return form.hs.Value() == seconds; }, 3000));
    };
    playingAt("40000", 40);
    keyGives(QStringLiteral("Right"), {"seek Media to 45000", "play Media"});
    playingAt("40000", 40);
    keyGives(QStringLiteral("Left"), {"seek Media to 35000", "play Media"});
    playingAt("3000", 3);
    keyGives(QStringLiteral("Left"), {"seek Media to 0", "play Media"});
    playingAt("0", 0);
    keyGives(QStringLiteral("Left"), {}); // at the start: the thumb cannot move, nothing is sent
    playingAt("7198000", 7198);
    keyGives(QStringLiteral("Right"), {"seek Media to 7200000", "play Media"});

    keyGives(QStringLiteral("Up"), {"setaudio Media Volume to 550"});
    keyGives(QStringLiteral("Down"), {"setaudio Media Volume to 500"});
    form.vs.setValue(98);
    keyGives(QStringLiteral("Up"), {"setaudio Media Volume to 1000"});
    keyGives(QStringLiteral("Up"), {});
    EXPECT_TRUE(form.pic1.hasFocus());
}

TEST_F(Keys, AFocusedControlKeepsItsKeys) {
    play();
    // Space presses the focused button: Stop, not Pause.
    form.Command3.setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Command3.hasFocus(); }, 2000));
    keyGives(QStringLiteral("space"), {"stop Media", "close all"});
    EXPECT_EQ(form.Command2.Caption(), QStringLiteral("Pause"));
    // Arrows move a focused slider's thumb and send nothing.
    form.Timer1.setEnabled(false); // which would move the thumb back
    form.hs.setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.hs.hasFocus(); }, 2000));
    form.hs.setValue(10);
    keyGives(QStringLiteral("Right"), {});
    EXPECT_EQ(form.hs.Value(), 15);
    keyGives(QStringLiteral("Left"), {});
    EXPECT_EQ(form.hs.Value(), 10);
    // The path box takes Space as text.
    form.Text2.setFocus();
    form.Text2.end(false);
    keyGives(QStringLiteral("space"), {});
    EXPECT_EQ(form.Text2.Text(), QString::fromLatin1(kPath) + QLatin1Char(' '));
}

TEST_F(Keys, ScreenModeKeysAndDoubleClick) {
    play();
    form.Command1.setFocus();
    keyGives(QStringLiteral("Escape"), {}); // window mode already: nothing to leave
    EXPECT_EQ(form.Command7.Caption(), QStringLiteral("F"));

    ASSERT_TRUE(t::pressKey(QStringLiteral("F11")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Command7.Caption() == QLatin1String("S"); }, 3000));
    ASSERT_TRUE(t::pressKey(QStringLiteral("Escape")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Command7.Caption() == QLatin1String("F"); }, 3000));
    ASSERT_TRUE(t::pressKey(QStringLiteral("F11")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Command7.Caption() == QLatin1String("S"); }, 3000));
    ASSERT_TRUE(t::pressKey(QStringLiteral("F11")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Command7.Caption() == QLatin1String("F"); }, 3000));

    media.clear();
    ASSERT_TRUE(t::clickMiddle(form.pic1, 2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Command7.Caption() == QLatin1String("S"); }, 3000));
    EXPECT_EQ(sent().front(), f.openCommand(kPath)) << "presented again as the F button does";
    QTest::qWait(300);
    ASSERT_TRUE(t::clickMiddle(form.pic1, 2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Command7.Caption() == QLatin1String("F"); }, 3000));
}

// A switch of the screen mode lets events through before its caption names
// the new mode: keys pressed meanwhile act on the mode the window is heading
// for, once the switch is done.
TEST_F(Keys, ScreenModeKeysPressedDuringASwitchActOnTheModeItLeadsTo) {
    struct Case {
        const char* name;
        bool fromFullScreen;
        std::vector<const char*> keysDuringTheSwitch;
        const char* caption;
    };
    const Case cases[] = {
        {"F11 going full screen comes back", false, {"F11"}, "F"},
        {"F11 twice going full screen cancel out", false, {"F11", "F11"}, "S"},
        {"Escape going full screen comes back", false, {"Escape"}, "F"},
        {"F11 going back to the window returns to full screen", true, {"F11"}, "S"},
        {"Escape going back to the window has nothing to leave", true, {"Escape"}, "F"},
    };
    play();
    form.Command1.setFocus();
    const QSize windowed = form.size();
    for (const Case& c : cases) {
        if ((form.Command7.Caption() == QLatin1String("S")) != c.fromFullScreen) {
            f.Command7_Click();
            ASSERT_EQ(form.Command7.Caption() == QLatin1String("S"), c.fromFullScreen) << c.name;
        }
        bool pressed = false;
        media.onCommand([&](const std::string& command) {
            if (command != "Play Media" || pressed)
                return;
            pressed = true;
            for (const char* key : c.keysDuringTheSwitch)
                ASSERT_TRUE(t::pressKey(QString::fromLatin1(key)));
            QTest::qWait(200); // as the switch's own DoEvents would let them in
        });
        ASSERT_TRUE(t::pressKey(QStringLiteral("F11")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return pressed; }, 3000)) << c.name;
        media.onCommand({});
        QTest::qWait(300);
        EXPECT_EQ(form.Command7.Caption(), QString::fromLatin1(c.caption)) << c.name;
        if (c.caption == std::string("F"))
            EXPECT_TRUE(QTest::qWaitFor([&] { return form.size() == windowed; }, 3000)) << c.name;
        else
            EXPECT_TRUE(
                QTest::qWaitFor([&] { return form.pos() == QPoint(0, 0) && form.size() != windowed; }, 3000))
                << c.name;
    }
}

TEST_F(Keys, CtrlOIsOpen) {
    form.Combo2.setEditText(QStringLiteral("typed"));
    form.Command4.setFocus();
    keyGives(QStringLiteral("ctrl+o"), {"close all"});
    ASSERT_TRUE(f.selectFileWindow());
    EXPECT_TRUE(f.selectFileWindow()->isVisible());
    EXPECT_EQ(form.Combo2.Text(), QString());
    EXPECT_EQ(form.Text2.Text(), QString::fromLatin1(kPath));
    // Esc closes the chooser as its close box does.
    ASSERT_TRUE(t::focusWindow(*f.selectFileWindow()));
    ASSERT_TRUE(t::pressKey(QStringLiteral("Escape")));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return !f.selectFileWindow() || !f.selectFileWindow()->isVisible(); }, 3000));
}

} // namespace
