// SPDX-License-Identifier: GPL-3.0-or-later
// A file that will not play, pressed Play on with Enter through the X server,
// on the real media service: the picture area says why in the service's own
// words, read back from its accessible description and from the screen, and
// the next Play of a good file clears it.
#include "platform/media/mci_service.h"
#include "platform/toolkit/dialogs.h"
#include "player/form1_access.h"
#include "support/test_media.h"
#include "support/test_paths.h"
#include "support/x_input.h"

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace player = tovimo::player;
namespace media = tovimo::media;
namespace tk = tovimo::tk;
namespace t = tovimo::testing;

namespace {

[[maybe_unused]] const bool processReady = (media::initializeProcess(), true);

class Reason : public ::testing::Test {
protected:
    void SetUp() override {
        tk::setMsgBoxHookForTesting(
            [this](const QString& text, const QString&, const QString&) { boxes.push_back(text); });
        form.Load();
        ASSERT_TRUE(t::focusWindow(form));
    }
    void TearDown() override {
        service.sendString("close all", nullptr, 0);
        tk::setMsgBoxHookForTesting({});
        form.hide();
    }

    void playWithEnter(const QString& path) {
        form.Text2.setText(path);
        ASSERT_TRUE(t::focusWindow(form));
        // The pointer over the picture, where a video may be drawing: its
        // window lies inside the focused one and would get the keys if it
        // asked for them.
        t::xdotool({QStringLiteral("mousemove"),
                    QString::number(form.pic1.mapToGlobal(form.pic1.rect().center()).x()),
                    QString::number(form.pic1.mapToGlobal(form.pic1.rect().center()).y())});
        form.Text2.setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return form.Text2.hasFocus(); }, 2000));
        ASSERT_TRUE(t::pressKey(QStringLiteral("Return")));
    }
    QString description() {
        QAccessibleInterface* picture = QAccessible::queryAccessibleInterface(&form.pic1);
        return picture ? picture->text(QAccessible::Description) : QString();
    }
    QString errorText(std::uint32_t code) {
        char text[260] = {};
        service.getErrorString(code, text, sizeof text);
        return QString::fromLocal8Bit(text);
    }
    // Near-white pixels that the screen shows in the picture area.
    int whitePixelsInPicture() {
        form.raise();
        QTest::qWait(100);
        const QPoint origin = form.pic1.mapToGlobal(QPoint(0, 0));
        const QImage shot = QGuiApplication::primaryScreen()
                                ->grabWindow(0, origin.x(), origin.y(), form.pic1.width(), form.pic1.height())
                                .toImage();
        int count = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QRgb pixel = shot.pixel(x, y);
                count += qRed(pixel) > 200 && qGreen(pixel) > 200 && qBlue(pixel) > 200;
            }
        return count;
    }

    media::MciService service;
    player::Form1 form{service, service};
    std::vector<QString> boxes;
    t::TempFolder folder;
};

TEST_F(Reason, AFileThatWillNotPlaySaysWhyUntilTheNextPlay) {
    const QString text = folder.file(QStringLiteral("letter.mp4"));
    const QString empty = folder.file(QStringLiteral("empty.mkv"));
    const QString directory = folder.file(QStringLiteral("folder.mp4"));
    const QString good = folder.file(QStringLiteral("blue.mp4"));
    {
        QFile file(text);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("Dear reader, this is not a film.\n");
        QFile none(empty);
        ASSERT_TRUE(none.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QDir().mkpath(directory));
    ASSERT_TRUE(t::makeBlueVideo(good));

    struct Case {
        QString path;
        std::uint32_t code;
    };
    const Case cases[] = {
        {folder.file(QStringLiteral("missing.mp4")), media::kFileNotFound},
        {text, media::kInternalError},
        {empty, media::kInternalError},
        {directory, media::kInternalError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        playWithEnter(c.path);
        const QString expected = errorText(c.code);
        ASSERT_FALSE(expected.isEmpty());
        EXPECT_TRUE(QTest::qWaitFor([&] { return description() == expected; }, 10000))
            << "seen: " << description().toStdString();
        EXPECT_GT(whitePixelsInPicture(), 50) << "the text is drawn in the picture area";

        playWithEnter(good);
        EXPECT_TRUE(QTest::qWaitFor([&] { return description().isEmpty(); }, 10000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return whitePixelsInPicture() == 0; }, 5000));
    }
    EXPECT_TRUE(boxes.empty()) << "no message box";
}

} // namespace
