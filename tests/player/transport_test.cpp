// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/dialogs.h"
#include "support/form1_fixture.h"

#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace player = tovimo::player;
namespace tk = tovimo::tk;
using Commands = std::vector<std::string>;
using Answer = tovimo::testing::RecordingMediaService::Answer;

namespace {

const char* const kPath = "/media/clips/long name.avi";
const char* const kShort = "/media/clips/LONGNA~1.AVI";

class Transport : public tovimo::testing::Form1Fixture {
protected:
    Transport() {
        tk::setMsgBoxHookForTesting(
            [this](const QString& text, const QString&, const QString&) { boxes.push_back(text); });
        media.shortPath(kPath, kShort);
    }
    ~Transport() override { tk::setMsgBoxHookForTesting({}); }

    std::string openCommand() { return f.openCommand(kShort); }

    std::vector<QString> boxes;
};

TEST_F(Transport, ButtonsWithoutAPathDoNothing) {
    form.vs.setValue(30);
    for (auto click : {&player::Form1Access::Command2_Click, &player::Form1Access::Command3_Click,
                       &player::Form1Access::Command4_Click})
        (f.*click)();
    EXPECT_EQ(sent(), Commands{});
    EXPECT_EQ(form.vs.Value(), 30);
    EXPECT_EQ(form.Command2.Caption(), QStringLiteral("Pause"));
    EXPECT_EQ(form.hs.Max(), 100);
}

TEST_F(Transport, PlayStopsClosesOpensFitsPlaysAndSizesThePositionSlider) {
    form.Text2.setText(QString::fromLatin1(kPath));
    form.vs.setValue(80);
    form.setWidth(9855);
    form.pic1.setWidth(4800);
    form.pic1.setHeight(3600);
    media.answer("status Media length", {0, "125999"});

    f.Command4_Click();

    EXPECT_EQ(sent(), (Commands{"stop Media", "close all", openCommand(), "put Media window at 0 0 320 240",
                                "Play Media", "status Media length"}));
    EXPECT_EQ(form.vs.Value(), 50);
    EXPECT_EQ(form.hs.Max(), 125);
    EXPECT_FLOAT_EQ(form.pic1.Left(), 9855.0f / 2 - 4800.0f / 2 - 50);
    EXPECT_EQ(form.Text2.Text(), QString::fromLatin1(kPath)) << "the path box keeps the long form";
    EXPECT_TRUE(boxes.empty());
}

TEST_F(Transport, PositionSliderMaximumFollowsTheLength) {
    struct Case {
        const char* reply;
        std::int16_t max;
    };
    const Case cases[] = {
        {"125999", 125},       {"999", 0}, {"32767000", 32767}, {"32768000", 32767},
        {"2147483647", 32767}, {"", 0},    {"junk", 0},         {"-5000", 0},
    };
    form.Text2.setText(QStringLiteral("clip.mp3"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        media.answer("status Media length", {0, c.reply});
        f.Command4_Click();
        EXPECT_EQ(form.hs.Max(), c.max);
        EXPECT_EQ(form.hs.Min(), 0);
    }
}

TEST_F(Transport, AFailingCloseIsReportedAndPlayGoesOn) {
    form.Text2.setText(QStringLiteral("song.wav"));
    media.answer("close all", {277, {}});
    f.Command4_Click();
    EXPECT_EQ(boxes, std::vector<QString>{QStringLiteral("Error loading the file")});
    const Commands commands = sent();
    EXPECT_EQ(commands.back(), "status Media length");
    EXPECT_NE(std::find(commands.begin(), commands.end(), "Play Media"), commands.end());
}

TEST_F(Transport, PauseResumeFollowsTheCaptionAcrossPlay) {
    form.Text2.setText(QStringLiteral("song.mp3"));
    f.Command2_Click();
    EXPECT_EQ(form.Command2.Caption(), QStringLiteral("Resume"));
    f.Command2_Click();
    EXPECT_EQ(form.Command2.Caption(), QStringLiteral("Pause"));
    EXPECT_EQ(sent(), (Commands{"pause Media", "resume Media"}));

    f.Command2_Click();
    f.Command4_Click();
    f.Command3_Click();
    EXPECT_EQ(form.Command2.Caption(), QStringLiteral("Resume")) << "Play and Stop leave the pause state";
    media.clear();
    f.Command2_Click();
    EXPECT_EQ(sent(), Commands{"resume Media"});
    EXPECT_EQ(form.Command2.Caption(), QStringLiteral("Pause"));

    form.Command2.setCaption(QStringLiteral("Paused"));
    media.clear();
    f.Command2_Click();
    EXPECT_EQ(sent(), Commands{});
}

TEST_F(Transport, StopStopsThenClosesEverything) {
    form.Text2.setText(QStringLiteral("song.mp3"));
    media.answer("stop Media", {263, {}});
    f.Command3_Click();
    EXPECT_EQ(sent(), (Commands{"stop Media", "close all"}));
    EXPECT_TRUE(boxes.empty()) << "a failing stop is silent";
}

TEST_F(Transport, OpenClearsTheFavouriteTextClosesAndShowsTheChooser) {
    form.Text2.setText(QStringLiteral("kept.mp3"));
    form.Combo2.AddItem(QStringLiteral("A title"));
    form.Combo2.setText(QStringLiteral("A title"));
    f.Command1_Click();
    EXPECT_EQ(sent(), Commands{"close all"});
    EXPECT_EQ(form.Combo2.Text(), QString());
    EXPECT_EQ(form.Combo2.ListCount(), 1);
    EXPECT_EQ(form.Text2.Text(), QStringLiteral("kept.mp3"));
    ASSERT_NE(f.selectFileWindow(), nullptr);
    EXPECT_TRUE(f.selectFileWindow()->isVisible());
    EXPECT_FALSE(f.selectFileWindow()->isModal());

    tovimo::chooser::FrmSelFile* first = f.selectFileWindow();
    f.Command1_Click();
    EXPECT_EQ(f.selectFileWindow(), first) << "one chooser, reused";
}

TEST_F(Transport, TimerRelaysThePositionThroughText1) {
    struct Case {
        const char* reply;
        std::int16_t max;
        const char* relayed;
        std::int16_t value;
    };
    const Case cases[] = {
        {"42000", 100, "42", 42},
        {"100999", 100, "100", 100},
        {"0", 100, "0", 0},
        {"101000", 100, "101", 7}, // beyond the maximum
        {"-1000", 100, "-1", 7},
        {"", 100, "0", 0}, // unreadable reads as 0
        {"32767000", 32767, "32767", 32767},
        {"40000000", 32767, "40000", 7}, // beyond 16 bits
    };
    form.Timer1.setEnabled(false);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        form.hs.setMax(c.max);
        form.hs.setValue(7);
        media.answer("status Media position", {0, c.reply});
        media.clear();
        f.Timer1_Timer();
        EXPECT_EQ(media.commands(), Commands{"status Media position"});
        EXPECT_EQ(form.Text1.Text(), QString::fromLatin1(c.relayed));
        EXPECT_EQ(form.hs.Value(), c.value);
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(Transport, PositionSliderSeeksWithTheTimerOff) {
    std::vector<bool> timerDuringSeek;
    media.onCommand([&](const std::string&) { timerDuringSeek.push_back(form.Timer1.Enabled()); });
    form.hs.setValue(30);
    f.hs_Scroll();
    EXPECT_EQ(sent(), (Commands{"seek Media to 30000", "play Media"}));
    EXPECT_EQ(timerDuringSeek, (std::vector<bool>{false, false}));
    EXPECT_TRUE(form.Timer1.Enabled());
}

TEST_F(Transport, VolumeSliderSetsTheDeviceVolume) {
    for (std::int16_t level : {0, 37, 100}) {
        media.clear();
        form.vs.setValue(level);
        f.vs_Scroll();
        EXPECT_EQ(sent(), Commands{"setaudio Media Volume to " + std::to_string(level * 10)});
    }
}

// Real input on the shown window: only a drag of a slider's thumb may send a
// command; arrows, track, keys and the program move the value silently.
class SliderInput : public Transport {
protected:
    void SetUp() override {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        // The timer would pull hs back to the (empty) position between steps.
        form.Timer1.setEnabled(false);
        media.clear();
    }

    static QRect part(tk::HScrollBar& bar, QStyle::SubControl control) {
        QStyleOptionSlider option;
        option.initFrom(&bar);
        option.subControls = QStyle::SC_All;
        option.orientation = Qt::Horizontal;
        option.minimum = bar.minimum();
        option.maximum = bar.maximum();
        option.sliderPosition = bar.sliderPosition();
        option.sliderValue = bar.value();
        option.singleStep = bar.singleStep();
        option.pageStep = bar.pageStep();
        option.upsideDown = false;
        return bar.style()->subControlRect(QStyle::CC_ScrollBar, &option, control, &bar);
    }

    // The commands a thumb drag to `value` must send.
    Commands scrollCommands(tk::HScrollBar& bar, int value) {
        if (&bar == &form.hs)
            return {"seek Media to " + std::to_string(value * 1000), "play Media"};
        return {"setaudio Media Volume to " + std::to_string(value * 10)};
    }
};

TEST_F(SliderInput, OnlyAThumbDragSendsACommand) {
    for (tk::HScrollBar* bar : {&form.hs, &form.vs}) {
        SCOPED_TRACE(bar->accessibleName().toStdString());
        bar->setValue(20);
        media.clear();

        QTest::mouseClick(bar, Qt::LeftButton, {}, part(*bar, QStyle::SC_ScrollBarAddLine).center());
        EXPECT_EQ(bar->Value(), 25) << "arrow";
        QTest::mouseClick(bar, Qt::LeftButton, {}, part(*bar, QStyle::SC_ScrollBarSubLine).center());
        EXPECT_EQ(bar->Value(), 20) << "arrow";
        const QRect track = part(*bar, QStyle::SC_ScrollBarAddPage);
        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(track.right() - 2, track.center().y()));
        EXPECT_GT(bar->Value(), 20) << "track";
        QTest::keyClick(bar, Qt::Key_Left);
        QTest::keyClick(bar, Qt::Key_End);
        EXPECT_EQ(bar->Value(), 100) << "keys";
        bar->setValue(60);
        bar->setMax(50);
        EXPECT_EQ(bar->Value(), 50) << "clamped by the program";
        bar->setMax(100);
        EXPECT_EQ(sent(), Commands{});

        bar->setValue(20);
        const QPoint grip = part(*bar, QStyle::SC_ScrollBarSlider).center();
        QTest::mousePress(bar, Qt::LeftButton, {}, grip);
        EXPECT_EQ(sent(), Commands{}) << "pressing the thumb alone moves nothing";
        QTest::mouseMove(bar, grip + QPoint(40, 0));
        const int dragged = bar->Value();
        QTest::mouseRelease(bar, Qt::LeftButton, {}, grip + QPoint(40, 0));
        ASSERT_GT(dragged, 20);
        EXPECT_EQ(bar->Value(), dragged);
        EXPECT_EQ(sent(), scrollCommands(*bar, dragged));
        media.clear();
    }
}

TEST_F(SliderInput, AClickOnThePictureSendsNothingADoubleClickSwitchesTheScreenMode) {
    const QPoint centre = form.pic1.rect().center();
    QTest::mouseClick(&form.pic1, Qt::LeftButton, {}, centre);
    EXPECT_EQ(sent(), Commands{});
    EXPECT_EQ(form.Command7.Caption(), QStringLiteral("F"));
    QTest::mouseDClick(&form.pic1, Qt::LeftButton, {}, centre);
    EXPECT_EQ(form.Command7.Caption(), QStringLiteral("S")) << "as the F button";
    EXPECT_TRUE(boxes.empty());
}

} // namespace
