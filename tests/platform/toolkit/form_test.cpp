// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/app.h"
#include "platform/toolkit/controls.h"
#include "platform/toolkit/dialogs.h"
#include "platform/toolkit/events.h"
#include "platform/toolkit/form.h"
#include "platform/toolkit/screen.h"
#include "support/test_paths.h"

#include <QApplication>
#include <QFile>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>
#include <vector>

using namespace tovimo;

namespace {

// Records each resize event with the size the form reports inside it.
class ProbeForm : public tk::Form {
public:
    using tk::Form::Form;
    struct Seen {
        float width, height;
    };
    std::vector<Seen> resizes;

protected:
    void Form_Resize() override { resizes.push_back({Width(), Height()}); }
};

TEST(Screen, TwipsPerPixelFollowTheLogicalDpi) {
    // test.sh runs Xvfb at 1024x768 and 96 DPI: 15 twips per pixel.
    EXPECT_FLOAT_EQ(tk::Screen::TwipsPerPixelX(), 15.0f);
    EXPECT_FLOAT_EQ(tk::Screen::TwipsPerPixelY(), 15.0f);
    EXPECT_FLOAT_EQ(tk::Screen::Width(), 15360.0f);
    EXPECT_FLOAT_EQ(tk::Screen::Height(), 11520.0f);
}

TEST(Form, ResizeIsRaisedNestedInsideEverySizeChangeAndOnceAtFirstShow) {
    ProbeForm form(tk::Form::Border::FixedSingle);
    form.setDesignInnerSize(9765, 9720);
    EXPECT_TRUE(form.resizes.empty()) << "a design size raises no event";

    form.setWidth(9855); // unchanged: the design outer width
    EXPECT_TRUE(form.resizes.empty());

    form.setWidth(12000);
    ASSERT_EQ(form.resizes.size(), 1u);
    EXPECT_FLOAT_EQ(form.resizes[0].width, 12000) << "the handler sees the new width";
    EXPECT_FLOAT_EQ(form.resizes[0].height, 10155) << "and the old height";

    form.setHeight(8000.5f);
    ASSERT_EQ(form.resizes.size(), 2u);
    EXPECT_FLOAT_EQ(form.resizes[1].height, 8000.5f);

    form.setLeft(100);
    form.setTop(-37.5f);
    EXPECT_EQ(form.resizes.size(), 2u) << "moving raises nothing";

    form.show();
    QApplication::processEvents();
    EXPECT_EQ(form.resizes.size(), 3u) << "first show";
    form.hide();
    form.show();
    QApplication::processEvents();
    EXPECT_EQ(form.resizes.size(), 3u) << "only the first show";
}

TEST(Form, GeometryReadsBackAsWrittenAndInnerAreaExcludesTheFrame) {
    ProbeForm framed(tk::Form::Border::FixedSingle);
    framed.setDesignInnerSize(9765, 9720);
    EXPECT_FLOAT_EQ(framed.Width(), 9855);
    EXPECT_FLOAT_EQ(framed.Height(), 10155);
    framed.setWidth(15360);
    framed.setHeight(11520);
    framed.setLeft(-52.25f);
    EXPECT_FLOAT_EQ(framed.ScaleWidth(), 15270);
    EXPECT_FLOAT_EQ(framed.ScaleHeight(), 11085);
    EXPECT_FLOAT_EQ(framed.Left(), -52.25f);
    // The Qt client area is the inner area in pixels.
    EXPECT_EQ(framed.size(), QSize(1018, 739));

    ProbeForm borderless(tk::Form::Border::None);
    borderless.setWidth(10275);
    borderless.setHeight(5415);
    EXPECT_FLOAT_EQ(borderless.ScaleWidth(), 10275);
    EXPECT_FLOAT_EQ(borderless.ScaleHeight(), 5415);
    EXPECT_EQ(borderless.size(), QSize(685, 361));
}

TEST(Form, UnloadRaisesFormUnloadAndCanBeCancelled) {
    struct Closing : tk::Form {
        Closing() : tk::Form(Border::FixedSingle) {}
        int unloads = 0;
        std::int16_t answer = 0;
        void Form_Unload(std::int16_t& cancel) override {
            ++unloads;
            cancel = answer;
        }
    } form;
    form.Show();
    form.answer = 1;
    form.Unload();
    EXPECT_EQ(form.unloads, 1);
    EXPECT_TRUE(form.isVisible());
    form.answer = 0;
    form.Unload();
    EXPECT_EQ(form.unloads, 2);
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.isLoaded());
}

TEST(Controls, TwipsReadBackAsWrittenAndPlaceWholePixels) {
    QWidget parent;
    tk::PictureBox picture(&parent);
    picture.setTwipsGeometry(137.5f, 120, 9480, 8345);
    EXPECT_FLOAT_EQ(picture.Left(), 137.5f);
    EXPECT_FLOAT_EQ(picture.ScaleWidth(), 9480);
    EXPECT_FLOAT_EQ(picture.ScaleHeight(), 8345);
    EXPECT_EQ(picture.geometry(), QRect(9, 8, 632, 556)); // 137.5/15 = 9.17, 8345/15 = 556.3

    picture.setHeight(-300);
    EXPECT_FLOAT_EQ(picture.Height(), -300);
    EXPECT_EQ(picture.height(), 0) << "a negative size shows as nothing";
}

// Shared memory in this process, in KB: the top-level window's backing store
// (MIT-SHM) is the only shared memory a widget test has.
long sharedKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("RssShmem:"))
            return line.mid(9).trimmed().split(' ').first().toLong();
    return -1;
}

// An empty picture box is black on the screen, also where a resize uncovers
// it, and neither it nor the parent's margins beside it are painted through
// the window's backing store, which would hold a full-screen picture area's
// worth of pixels (33 MB on a 3840x2160 screen).
TEST(Controls, PictureBoxIsBlackWithNothingOfItInTheBackingStore) {
    QWidget window(nullptr, Qt::FramelessWindowHint);
    QPalette palette = window.palette();
    const QColor grey(120, 130, 140);
    palette.setColor(QPalette::Window, grey);
    window.setPalette(palette);
    window.setGeometry(0, 0, 500, 400);
    tk::PictureBox picture(&window);
    picture.setTwipsGeometry(150, 0, 7200, 3750); // 480 x 250 pixels at 10, 0
    const long sharedBefore = sharedKb();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    // True once the screen shows black in `black` and the window's grey
    // around it.
    const auto shows = [&](const QRect& black) {
        return QTest::qWaitFor(
            [&] {
                tk::DoEvents();
                const QImage seen =
                    QGuiApplication::primaryScreen()->grabWindow(0, 0, 0, window.width(), 400).toImage();
                for (int y = 0; y < 400; y += 5)
                    for (int x = 0; x < window.width(); x += 3)
                        if (seen.pixel(x, y) != (black.contains(x, y) ? qRgb(0, 0, 0) : grey.rgb()))
                            return false;
                return true;
            },
            5000);
    };
    EXPECT_TRUE(shows(QRect(10, 0, 480, 250)));

    const long painted = sharedKb() - sharedBefore;
    if (painted < 100)
        GTEST_SKIP() << "the backing store is not in shared memory (" << painted << " KB)";
    // The window's own 150 rows of 2000 bytes are 293 KB; the picture's 250
    // rows would be 488 KB more, and its margins alone a page a row.
    EXPECT_LT(painted, 550) << "KB of the backing store painted";

    picture.setTwipsGeometry(150, 0, 7200, 4500); // 300 rows: 50 uncovered
    EXPECT_TRUE(shows(QRect(10, 0, 480, 300))) << "after growing";
    picture.setTwipsGeometry(300, 0, 6000, 3000);
    EXPECT_TRUE(shows(QRect(20, 0, 400, 200)))
        << "after shrinking: the window paints what the picture gave up";
    window.resize(450, 400);
    EXPECT_TRUE(shows(QRect(20, 0, 400, 200))) << "after the window's resize";
}

TEST(Controls, ScrollBarRaisesScrollOnlyForUserDrags) {
    QWidget parent;
    tk::HScrollBar bar(&parent);
    bar.setMax(100);
    int scrolls = 0;
    QObject::connect(&bar, &tk::HScrollBar::Scroll, [&] { ++scrolls; });
    bar.setValue(40);
    bar.setMax(20); // clamps the value
    EXPECT_EQ(bar.Value(), 20);
    bar.triggerAction(QAbstractSlider::SliderSingleStepAdd); // an arrow click
    bar.triggerAction(QAbstractSlider::SliderPageStepSub);   // a track click
    EXPECT_EQ(scrolls, 0);

    bar.setSliderDown(true);
    bar.setSliderPosition(7); // the thumb dragged to 7
    bar.setSliderDown(false);
    EXPECT_EQ(scrolls, 1);
    EXPECT_EQ(bar.Value(), 7);
}

TEST(Controls, ComboBoxKeepsItsTextAcrossListChanges) {
    QWidget parent;
    tk::ComboBox combo(&parent);
    combo.setText(QStringLiteral("typed"));
    combo.AddItem(QStringLiteral("one"));
    combo.AddItem(QStringLiteral("two"));
    EXPECT_EQ(combo.Text(), QStringLiteral("typed"));
    EXPECT_EQ(combo.ListCount(), 2);
    EXPECT_EQ(combo.ListIndex(), -1);

    combo.setCurrentIndex(1);
    EXPECT_EQ(combo.ListIndex(), 1);
    combo.setEditText(QStringLiteral("tw"));
    EXPECT_EQ(combo.ListIndex(), -1) << "edited text no longer shows the item";

    combo.setCurrentIndex(1);
    combo.RemoveItem(0);
    EXPECT_EQ(combo.ListIndex(), 0) << "the chosen item moved up";
    EXPECT_EQ(combo.List(0), QStringLiteral("two"));
    combo.AddItem(QStringLiteral("three"));
    combo.RemoveItem(0);
    EXPECT_EQ(combo.Text(), QString()) << "the removed item's text goes with it";
    EXPECT_EQ(combo.ListIndex(), -1);
    combo.Clear();
    EXPECT_EQ(combo.ListCount(), 0);

    combo.setText(QStringLiteral("kept"));
    combo.AddItems({QStringLiteral("a"), QStringLiteral("b")}, {QByteArray("\xE9")});
    EXPECT_EQ(combo.Text(), QStringLiteral("kept")) << "a bulk add leaves the text too";
    EXPECT_EQ(combo.ListIndex(), -1);
    EXPECT_EQ(combo.List(1), QStringLiteral("b"));
    EXPECT_EQ(combo.itemData(0, Qt::UserRole).toByteArray(), QByteArray("\xE9"));
    EXPECT_FALSE(combo.itemData(1, Qt::UserRole).isValid());
}

TEST(Dialogs, MessageBoxTakesTheProgramTitleByDefault) {
    QString seenTitle, seenText;
    tk::setMsgBoxHookForTesting([&](const QString& text, const QString& title, const QString&) {
        seenText = text;
        seenTitle = title;
    });
    tk::MsgBox(QStringLiteral("Hello"));
    tk::setMsgBoxHookForTesting({});
    EXPECT_EQ(seenText, QStringLiteral("Hello"));
    EXPECT_EQ(seenTitle, QStringLiteral("Tovimo"));
}

} // namespace
