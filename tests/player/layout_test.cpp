// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/events.h"
#include "platform/toolkit/screen.h"
#include "support/form1_fixture.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace player = tovimo::player;
namespace tk = tovimo::tk;
using Commands = std::vector<std::string>;

namespace {

const char* const kPath = "/media/clips/long name.avi";
const char* const kShort = "/media/clips/LONGNA~1.AVI";

class Layout : public tovimo::testing::Form1Fixture {
protected:
    Layout() {
        media.shortPath(kPath, kShort);
        // Showing loads the window: keep off the notice days.
        tk::setTodayForTesting(QDate(2027, 1, 7));
    }
    ~Layout() override { tk::setTodayForTesting(std::nullopt); }

    static void SetUpTestSuite() {
        // The worked values assume the test display: 1024 x 768 at 96 DPI.
        ASSERT_EQ(tk::Screen::Width(), 15360.0f);
        ASSERT_EQ(tk::Screen::Height(), 11520.0f);
    }

    std::string openCommand() { return f.openCommand(kShort); }
};

// One named value of the window, read after a scenario.
struct Reading {
    const char* name;
    std::function<float(const player::Form1&)> read;
    float expected;
};
#define READ(expr) #expr, [](const player::Form1& w) -> float { return w.expr; }

struct Scenario {
    const char* name;
    std::function<void(player::Form1Access&)> act;
    std::vector<Reading> readings;
};

std::vector<Reading> windowModeStrip() {
    return {
        {READ(vs.Top()), 9215},
        {READ(hs.Top()), 9215},
        {READ(Text2.Top()), 9155},
        {READ(Command1.Top()), 8645},
        {READ(Command2.Top()), 8645},
        {READ(Command3.Top()), 8645},
        {READ(Command4.Top()), 8645},
        {READ(Command7.Top()), 8645},
        {READ(Command5.Top()), 8660},
        {READ(Command6.Top()), 8660},
        {READ(Combo2.Top()), 8660},
        // Never moved.
        {READ(Combo1.Top()), 8640},
        {READ(Text1.Top()), 10680},
        {READ(pic1.Top()), 120},
        {READ(Command4.Left()), 4320},
        {READ(vs.Width()), 2175},
        {READ(Combo2.Height()), 360},
    };
}

std::vector<Reading> with(std::vector<Reading> readings, std::initializer_list<Reading> more) {
    readings.insert(readings.end(), more);
    return readings;
}

TEST_F(Layout, WorkedGeometryOfArrangementResizeAndFullScreen) {
    const float fullScreenInner = 11520.0f - 435.0f;
    const Scenario scenarios[] = {
        {"arranged at the design size", [](player::Form1Access& a) { a.ArrangeControls(); },
         windowModeStrip()},
        {"arranged, then resized",
         [](player::Form1Access& a) {
             a.ArrangeControls();
             a.Form_Resize();
         },
         with(windowModeStrip(), {{READ(pic1.Left()), 137.5f}, {READ(pic1.Height()), 8345}})},
        {"full screen",
         [](player::Form1Access& a) { a.Command7_Click(); },
         {{READ(Left()), 0},
          {READ(Top()), 0},
          {READ(Width()), 15360},
          {READ(Height()), 11520},
          {READ(pic1.Left()), 200},
          {READ(pic1.Width()), 14860},
          {READ(pic1.Height()), fullScreenInner - 1475},
          {READ(Command1.Top()), fullScreenInner - 375 - 700},
          {READ(vs.Top()), fullScreenInner - 255 - 250},
          {READ(Combo2.Top()), fullScreenInner - 360 - 700}}},
        {"full screen and back",
         [](player::Form1Access& a) {
             a.Command7_Click();
             a.Command7_Click();
         },
         with(windowModeStrip(), {{READ(Left()), 15360.0f / 2 - 9855.0f / 2},
                                  {READ(Top()), 11520.0f / 2 - 10155.0f / 2},
                                  {READ(Width()), 9855},
                                  {READ(Height()), 10155},
                                  {READ(pic1.Left()), 150},
                                  {READ(pic1.Width()), 9480},
                                  {READ(pic1.Height()), 8245}})},
    };
    for (const Scenario& scenario : scenarios) {
        tovimo::testing::RecordingMediaService service;
        player::Form1 window(service, service);
        player::Form1Access access(window);
        scenario.act(access);
        for (const Reading& reading : scenario.readings)
            EXPECT_FLOAT_EQ(reading.read(window), reading.expected) << scenario.name << ": " << reading.name;
    }
}

TEST_F(Layout, TheToggleRefitsTheOpenVideoAndKeepsItPlaying) {
    form.Text2.setText(QString::fromLatin1(kPath));
    // A device is open: the toggle's open fails on the alias in use, and the
    // playing device is fitted to the new picture area and played on.
    media.answer(openCommand(), {289, ""});

    f.Command7_Click();
    EXPECT_EQ(form.Command7.Caption(), QStringLiteral("S"));
    f.Command7_Click();
    EXPECT_EQ(form.Command7.Caption(), QStringLiteral("F"));

    EXPECT_EQ(sent(), (Commands{openCommand(), "put Media window at 0 0 990.6667 640.6667", "Play Media",
                                openCommand(), "put Media window at 0 0 632 549.6667", "Play Media"}));
    EXPECT_EQ(form.Text2.Text(), QString::fromLatin1(kPath)) << "the path box keeps the long form";
}

TEST_F(Layout, ACaptionOtherThanFOrSDoesNothing) {
    for (const char* caption : {"f", "s", "", "F "}) {
        form.Command7.setCaption(QString::fromLatin1(caption));
        f.Command7_Click();
        EXPECT_EQ(form.Command7.Caption(), QString::fromLatin1(caption));
    }
    EXPECT_EQ(sent(), Commands{});
    EXPECT_EQ((std::array{form.Width(), form.Height(), form.pic1.Height(), form.Command1.Top()}),
              (std::array{9855.0f, 10155.0f, 8200.0f, 8640.0f}));
}

TEST_F(Layout, ResizeRulesOnSmallWindows) {
    // Narrower than the picture area: its Left goes negative, unclamped.
    form.setWidth(5000);
    EXPECT_FLOAT_EQ(form.pic1.Left(), 2500.0f - 4740.0f - 50.0f);

    // Too low for the picture area: it holds at height 0 while the strip
    // keeps its distances from the bottom, above the inner area if need be.
    form.setHeight(1000);
    f.Form_Resize();
    const float inner = 1000.0f - 435.0f;
    EXPECT_EQ(form.pic1.Height(), 0.0f);
    EXPECT_FLOAT_EQ(form.Command4.Top(), inner - 375 - 700);
    EXPECT_FLOAT_EQ(form.vs.Top(), inner - 255 - 250);
    EXPECT_EQ(form.pic1.height(), 0);
}

TEST_F(Layout, FullScreenIsAnOrdinaryWindowAtTheScreenOrigin) {
    form.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form, 10000));

    QTest::mouseClick(&form.Command7, Qt::LeftButton);
    EXPECT_EQ(form.Command7.Caption(), QStringLiteral("S"));
    EXPECT_EQ(form.windowState(), Qt::WindowNoState);
    EXPECT_FALSE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.pos() == QPoint(0, 0); }, 10000)) << form.pos().x();
    EXPECT_EQ(form.size(), QSize(tk::twipsToPixelsX(15360 - 90), tk::twipsToPixelsY(11520 - 435)));

    QTest::mouseClick(&form.Command7, Qt::LeftButton);
    EXPECT_EQ(form.Command7.Caption(), QStringLiteral("F"));
    const QPoint centred(tk::twipsToPixelsX(form.Left()), tk::twipsToPixelsY(form.Top()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.pos() == centred; }, 10000)) << form.pos().x();
    EXPECT_EQ(form.size(), QSize(651, 648));
}

// The switch lets events through before its caption names the new mode; a
// screen that changes size meanwhile (here: the window left at a stale size
// when the change arrives) is still followed once the switch is done.
TEST_F(Layout, AScreenChangeDuringTheSwitchToFullScreenIsFollowedOnceTheSwitchIsDone) {
    form.Text2.setText(QString::fromUtf8(kPath));
    form.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form, 10000));
    QScreen* screen = QGuiApplication::primaryScreen();
    bool changed = false;
    media.onCommand([&](const std::string& command) {
        if (command != "Play Media" || changed || form.Command7.Caption() != QStringLiteral("F"))
            return;
        changed = true;
        form.setWidth(3000);
        emit screen->geometryChanged(screen->geometry());
    });
    QTest::mouseClick(&form.Command7, Qt::LeftButton);
    ASSERT_TRUE(changed);
    EXPECT_EQ(form.Command7.Caption(), QStringLiteral("S"));
    EXPECT_EQ(form.Width(), 15360.0f);
    const Commands sent = media.commandsWithoutPolling();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back().rfind("put Media window at 0 0 ", 0), 0u) << sent.back();
}

TEST_F(Layout, CenterFormLooksUpTheInnerSizeByName) {
    struct Case {
        const char* name;
        std::function<const QObject&(player::Form1&, QObject&)> w;
        float left, top;
        bool fails;
    };
    constexpr float kUnset = -7;
    const Case cases[] = {
        {"a form", [](player::Form1& p, QObject&) -> const QObject& { return p; }, (9765 - 3000) / 2.0f,
         (9720 - 2000) / 2.0f, false},
        {"a picture box", [](player::Form1& p, QObject&) -> const QObject& { return p.pic1; },
         (9480 - 3000) / 2.0f, (8200 - 2000) / 2.0f, false},
        {"smaller than f",
         [](player::Form1&, QObject& o) -> const QObject& {
             o.setProperty("ScaleWidth", 1001.0f);
             o.setProperty("ScaleHeight", 500.0f);
             return o;
         },
         -999.5f, -750, false},
        {"without ScaleHeight",
         [](player::Form1&, QObject& o) -> const QObject& {
             o.setProperty("ScaleWidth", 4000.0f);
             return o;
         },
         500, kUnset, true},
        {"without either", [](player::Form1&, QObject& o) -> const QObject& { return o; }, kUnset, kUnset,
         true},
        {"with a ScaleWidth that is no number",
         [](player::Form1&, QObject& o) -> const QObject& {
             o.setProperty("ScaleWidth", QStringLiteral("wide"));
             o.setProperty("ScaleHeight", 500.0f);
             return o;
         },
         kUnset, kUnset, true},
    };
    for (const Case& c : cases) {
        tk::Form target(tk::Form::Border::None);
        target.setWidth(3000);
        target.setHeight(2000);
        target.setLeft(kUnset);
        target.setTop(kUnset);
        QObject plain;
        const QObject& w = c.w(form, plain);
        if (c.fails)
            EXPECT_THROW(form.CenterForm(target, w), std::invalid_argument) << c.name;
        else
            form.CenterForm(target, w);
        EXPECT_FLOAT_EQ(target.Left(), c.left) << c.name;
        EXPECT_FLOAT_EQ(target.Top(), c.top) << c.name;
    }
}

} // namespace
