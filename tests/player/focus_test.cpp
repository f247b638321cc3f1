// SPDX-License-Identifier: GPL-3.0-or-later
// Focus and time as a user meets them in the shown window: Tab
// and clicks through the X server, the focus mark and the reason text read
// back from the screen's pixels, the slider's time from the accessibility
// interface.
#include "platform/toolkit/dialogs.h"
#include "support/form1_fixture.h"
#include "support/x_input.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace tk = tovimo::tk;
namespace t = tovimo::testing;

namespace {

const QRgb kMark = qRgb(0, 40, 200);

// Pixels of the focus mark's colour in a band `reach` logical pixels wide
// around `control`, as the screen shows them.
int markPixelsAround(QWidget& control, int reach = 5) {
    const QRect area(control.mapToGlobal(QPoint(-reach, -reach)),
                     control.size() + QSize(2 * reach, 2 * reach));
    const QImage shot = QGuiApplication::primaryScreen()
                            ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                            .toImage()
                            .convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            count += (shot.pixel(x, y) & 0xFFFFFF) == (kMark & 0xFFFFFF);
    return count;
}

class Focus : public t::Form1Fixture {
protected:
    void SetUp() override {
        tk::setMsgBoxHookForTesting([](const QString&, const QString&, const QString&) {});
        form.Load();
        ASSERT_TRUE(t::focusWindow(form));
    }
    void TearDown() override {
        tk::setMsgBoxHookForTesting({});
        form.hide();
    }
};

TEST_F(Focus, TabGoesOpenPositionVolumePicturePauseAndTheMarkFollows) {
    form.Command1.setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Command1.hasFocus(); }, 2000));
    QWidget* const order[] = {&form.Command1, &form.hs, &form.vs, &form.pic1, &form.Command2, &form.Command3};
    for (QWidget* control : order) {
        SCOPED_TRACE(control->accessibleName().toStdString());
        ASSERT_TRUE(QTest::qWaitFor([&] { return control->hasFocus(); }, 3000));
        QTest::qWait(100);
        // A frame of two pixels all round: at least the perimeter's length.
        EXPECT_GT(markPixelsAround(*control), 2 * (control->width() + control->height()));
        if (control != &form.Command3) {
            ASSERT_TRUE(t::pressKey(QStringLiteral("Tab")));
        }
    }
    EXPECT_EQ(markPixelsAround(form.Command1), 0) << "the mark left the control that lost the focus";
}

TEST_F(Focus, ThePictureTakesTheFocusFromAClickAndShowsIt) {
    form.Command4.setFocus();
    ASSERT_TRUE(t::clickMiddle(form.pic1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.pic1.hasFocus(); }, 3000));
    QTest::qWait(100);
    EXPECT_GT(markPixelsAround(form.pic1), 2 * (form.pic1.width() + form.pic1.height()));
    EXPECT_EQ(markPixelsAround(form.Command4), 0);
}

TEST_F(Focus, ThePositionSliderReadsElapsedOfLength) {
    form.Text2.setText(QStringLiteral("/media/film.mkv"));
    media.answer("status Media length", {0, "7200000"});
    media.answer("status Media position", {0, "42900"});
    form.Text2.setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Text2.hasFocus(); }, 2000));
    ASSERT_TRUE(t::pressKey(QStringLiteral("Return")));
    QAccessibleInterface* slider = QAccessible::queryAccessibleInterface(&form.hs);
    ASSERT_TRUE(slider);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return slider->text(QAccessible::Description) == QLatin1String("0:42 / 2:00:00"); }, 3000));
    EXPECT_EQ(form.hs.toolTip(), QStringLiteral("0:42 / 2:00:00"));
    // A screen reader speaks the value as the time; the number stays its value.
    EXPECT_EQ(slider->text(QAccessible::Value), QStringLiteral("0:42 / 2:00:00"));
    QAccessibleValueInterface* value = slider->valueInterface();
    ASSERT_TRUE(value);
    EXPECT_EQ(value->currentValue().toInt(), form.hs.value());
    EXPECT_EQ(value->maximumValue().toInt(), form.hs.maximum());
    EXPECT_EQ(value->minimumValue().toInt(), form.hs.minimum());
    EXPECT_EQ(slider->role(), QAccessible::ScrollBar);
    EXPECT_EQ(slider->text(QAccessible::Name), QStringLiteral("Position"));

    // Each tick asks for the position only, as before.
    media.clear();
    QTest::qWait(350);
    ASSERT_FALSE(media.commands().empty());
    for (const std::string& command : media.commands())
        EXPECT_EQ(command, "status Media position");
}

} // namespace
