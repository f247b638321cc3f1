// SPDX-License-Identifier: GPL-3.0-or-later
#include "notice/form2.h"

#include "platform/toolkit/screen.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPointer>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <cstdint>
#include <gtest/gtest.h>

namespace notice = tovimo::notice;
namespace tk = tovimo::tk;

namespace {

constexpr int kPictureWidth = 685;
constexpr int kPictureHeight = 361;
constexpr int kRowBytes = 2056;
constexpr int kPixelsAt = 54;

QByteArray storedPicture() {
    QFile file(QString::fromLatin1(notice::Form2::kPicturePath));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

std::uint32_t littleEndian(const QByteArray& bytes, int at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

TEST(NoticePicture, IsAnUncompressed24BitWindowsBitmapWithPaddedBottomUpRows) {
    const QByteArray bytes = storedPicture();
    ASSERT_EQ(bytes.size(), 742270);
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));

    struct Field {
        const char* name;
        int at, size;
        std::uint32_t expected;
    };
    const Field header[] = {
        {"file size", 2, 4, 742270},   {"pixel offset", 10, 4, kPixelsAt}, {"info header size", 14, 4, 40},
        {"width", 18, 4, 685},         {"height (bottom-up)", 22, 4, 361}, {"planes", 26, 2, 1},
        {"bits per pixel", 28, 2, 24}, {"compression", 30, 4, 0},          {"colours used", 46, 4, 0},
    };
    for (const Field& field : header)
        EXPECT_EQ(littleEndian(bytes, field.at, field.size), field.expected) << field.name;

    // Decode independently of the file layout and compare: row y of the
    // picture is stored (360 - y) rows into the pixel data, blue first, and
    // each row ends in one zero byte of padding.
    const QImage image = QImage::fromData(bytes, "BMP");
    ASSERT_EQ(image.size(), QSize(kPictureWidth, kPictureHeight));
    QSet<QRgb> colours;
    for (int y = 0; y < kPictureHeight; ++y) {
        const int row = kPixelsAt + (kPictureHeight - 1 - y) * kRowBytes;
        ASSERT_EQ(bytes[row + kRowBytes - 1], '\0') << "padding of row " << y;
        for (int x = 0; x < kPictureWidth; x += 17) {
            const QRgb pixel = image.pixel(x, y);
            const int at = row + 3 * x;
            ASSERT_EQ(static_cast<std::uint8_t>(bytes[at]), qBlue(pixel)) << x << "," << y;
            ASSERT_EQ(static_cast<std::uint8_t>(bytes[at + 1]), qGreen(pixel)) << x << "," << y;
            ASSERT_EQ(static_cast<std::uint8_t>(bytes[at + 2]), qRed(pixel)) << x << "," << y;
            colours.insert(pixel);
        }
    }
    EXPECT_GT(colours.size(), 1000) << "a drawn picture, not a flat fill";
}

class Notice : public ::testing::Test {
protected:
    void loadAndShow() {
        form.Load();
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form, 10000));
    }
    notice::Form2 form;
};

TEST_F(Notice, LoadFitsTheBorderlessWindowToThePictureWithXOverItsCorner) {
    loadAndShow();
    const float twipsX = tk::Screen::TwipsPerPixelX(), twipsY = tk::Screen::TwipsPerPixelY();

    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(form.windowTitle().isEmpty());
    EXPECT_FLOAT_EQ(form.Width(), kPictureWidth * twipsX);
    EXPECT_FLOAT_EQ(form.Height(), kPictureHeight * twipsY);
    EXPECT_EQ(form.size(), QSize(kPictureWidth, kPictureHeight));
    EXPECT_FLOAT_EQ(form.Left(), tk::Screen::Width() / 2 - form.Width() / 2);
    EXPECT_FLOAT_EQ(form.Top(), tk::Screen::Height() / 2 - form.Height() / 2);

    EXPECT_EQ(form.Image1.geometry(), QRect(0, 0, kPictureWidth, kPictureHeight));
    EXPECT_FLOAT_EQ(form.Command2.Top(), form.Height() + 1000);
    EXPECT_FALSE(form.rect().intersects(form.Command2.geometry())) << "Command2 lies below the bottom edge";

    EXPECT_EQ(form.Command1.Caption(), QStringLiteral("X"));
    EXPECT_EQ(form.Command1.Font().family, QStringLiteral("Arial"));
    EXPECT_FLOAT_EQ(form.Command1.Font().pointSize, 8.25f);
    EXPECT_EQ((std::array{form.Command1.Left(), form.Command1.Top(), form.Command1.Width(),
                          form.Command1.Height()}),
              (std::array{120.0f, 120.0f, 320.0f, 320.0f}));
    const QRect x = form.Command1.geometry();
    EXPECT_EQ(form.childAt(x.center()), &form.Command1) << "the X is drawn above the picture";

    // What the window shows away from the X is the picture, from its corner.
    const QImage shown = form.grab().toImage();
    const QImage picture(QString::fromLatin1(notice::Form2::kPicturePath));
    for (const QPoint at : {QPoint(0, kPictureHeight - 1), QPoint(150, 170), QPoint(400, 130),
                            QPoint(kPictureWidth - 1, kPictureHeight - 1)})
        EXPECT_EQ(shown.pixel(at), picture.pixel(at)) << at.x() << "," << at.y();
}

TEST_F(Notice, OnlyTheXButtonEndsTheModalShow) {
    bool stillOpenAfterOtherInput = false;
    bool closedByTimeout = false;
    QTimer::singleShot(0, &form, [&] {
        QTest::mouseClick(&form.Image1, Qt::LeftButton, {}, QPoint(300, 200));
        QTest::mouseDClick(&form.Image1, Qt::LeftButton, {}, QPoint(300, 200));
        form.Command2.setFocus();
        QTest::keyClick(&form.Command2, Qt::Key_Space);
        QTest::keyClick(&form.Command2, Qt::Key_Return);
        QTest::qWait(50);
        stillOpenAfterOtherInput = form.isVisible();
        QTest::mouseClick(&form.Command1, Qt::LeftButton);
    });
    QTimer::singleShot(60000, &form, [&] {
        closedByTimeout = true;
        form.Unload();
    });

    form.ShowModal();

    EXPECT_TRUE(stillOpenAfterOtherInput);
    EXPECT_FALSE(closedByTimeout);
    EXPECT_FALSE(form.isVisible());
}

} // namespace
