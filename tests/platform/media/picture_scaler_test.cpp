// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/picture_scaler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace tovimo::media {
namespace {

// A 4:2:0 picture with rows wider than the picture, as decoders give them.
struct Source {
    int width, height, chromaWidth, chromaHeight;
    int yStride, cStride;
    std::vector<std::uint8_t> y, u, v;

    Source(int w, int h) : width(w), height(h), chromaWidth((w + 1) / 2), chromaHeight((h + 1) / 2) {
        yStride = w + 13;
        cStride = chromaWidth + 7;
        y.resize(std::size_t(yStride * h));
        u.resize(std::size_t(cStride * chromaHeight));
        v.resize(std::size_t(cStride * chromaHeight));
    }
    // Smooth gradients with noise on top: every sample counts, and a
    // misplaced one shows.
    void fill(unsigned seed) {
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> noise(-40, 40);
        auto level = [&](double base) { return std::uint8_t(std::clamp(int(base) + noise(random), 0, 255)); };
        for (int r = 0; r < height; ++r)
            for (int c = 0; c < width; ++c)
                y[std::size_t(r * yStride + c)] = level(16 + 219.0 * c / width);
        for (int r = 0; r < chromaHeight; ++r)
            for (int c = 0; c < chromaWidth; ++c) {
                u[std::size_t(r * cStride + c)] = level(16 + 224.0 * r / chromaHeight);
                v[std::size_t(r * cStride + c)] = level(240 - 224.0 * c / chromaWidth);
            }
    }
    void fillFlat(int luma, int cb, int cr) {
        std::fill(y.begin(), y.end(), std::uint8_t(luma));
        std::fill(u.begin(), u.end(), std::uint8_t(cb));
        std::fill(v.begin(), v.end(), std::uint8_t(cr));
    }
    SourcePlanes planes() const { return {y.data(), u.data(), v.data(), yStride, cStride, cStride}; }
};

struct Output {
    int width, height, stride;
    std::vector<std::uint8_t> pixels;
    Output(int w, int h) : width(w), height(h), stride(4 * w + 24), pixels(std::size_t(stride * h), 0x55) {}
    const std::uint8_t* at(int x, int row) const { return &pixels[std::size_t(row * stride + 4 * x)]; }
};

// Bilinear sample of a plane at a position in its own samples, clamped to its edges.
double sampleAt(const std::vector<std::uint8_t>& plane, int stride, int width, int height, double x,
                double y) {
    x = std::clamp(x, 0.0, double(width - 1));
    y = std::clamp(y, 0.0, double(height - 1));
    const int x0 = std::min(int(x), std::max(width - 2, 0));
    const int y0 = std::min(int(y), std::max(height - 2, 0));
    const int x1 = std::min(x0 + 1, width - 1);
    const int y1 = std::min(y0 + 1, height - 1);
    const double fx = x - x0;
    const double fy = y - y0;
    auto at = [&](int c, int r) { return double(plane[std::size_t(r * stride + c)]); };
    return (at(x0, y0) * (1 - fx) + at(x1, y0) * fx) * (1 - fy) +
           (at(x0, y1) * (1 - fx) + at(x1, y1) * fx) * fy;
}

// The red, green and blue the output pixel (x, row) of the picture should have.
std::array<double, 3> expectedAt(const Source& s, PictureRect picture, YuvMatrix matrix, ChromaSiting siting,
                                 int x, int row) {
    const double lumaX = (x + 0.5) * s.width / picture.width - 0.5;
    const double lumaY = (row + 0.5) * s.height / picture.height - 0.5;
    const double luma = sampleAt(s.y, s.yStride, s.width, s.height, lumaX, lumaY);
    const double chromaX = (lumaX - (siting.horizontallyCosited ? 0.0 : 0.5)) / 2;
    const double chromaY = (lumaY - (siting.verticallyCosited ? 0.0 : 0.5)) / 2;
    const double cb = sampleAt(s.u, s.cStride, s.chromaWidth, s.chromaHeight, chromaX, chromaY) - 128;
    const double cr = sampleAt(s.v, s.cStride, s.chromaWidth, s.chromaHeight, chromaX, chromaY) - 128;
    const double lumaScale = matrix.fullRange ? 1.0 : 255.0 / 219.0;
    const double chromaScale = matrix.fullRange ? 1.0 : 255.0 / 224.0;
    const double level = std::max(luma - (matrix.fullRange ? 0 : 16), 0.0) * lumaScale;
    const double kg = 1 - matrix.kr - matrix.kb;
    const double red = level + chromaScale * 2 * (1 - matrix.kr) * cr;
    const double green =
        level -
        chromaScale * (2 * matrix.kb * (1 - matrix.kb) * cb + 2 * matrix.kr * (1 - matrix.kr) * cr) / kg;
    const double blue = level + chromaScale * 2 * (1 - matrix.kb) * cb;
    auto clamp = [](double v) { return std::clamp(v, 0.0, 255.0); };
    return {clamp(red), clamp(green), clamp(blue)};
}

// Byte positions of red, green, blue and the unused byte for each order.
std::array<int, 4> positionsOf(PixelOrder order) {
    switch (order) {
    case PixelOrder::Bgrx:
        return {2, 1, 0, 3};
    case PixelOrder::Rgbx:
        return {0, 1, 2, 3};
    case PixelOrder::Xrgb:
        return {1, 2, 3, 0};
    case PixelOrder::Xbgr:
        return {3, 2, 1, 0};
    }
    return {};
}

constexpr YuvMatrix kBt709{0.2126, 0.0722, false};
constexpr YuvMatrix kBt601Full{0.299, 0.114, true};
constexpr ChromaSiting kMpeg2{true, false};
constexpr ChromaSiting kJpeg{false, false};

// Every output pixel within a few levels of exact bilinear scaling and
// conversion, borders black and the bytes beyond each row untouched:
// smaller, much smaller (where the plain code takes the rows), larger,
// odd sizes, the smallest source, a picture framed by borders, full-range
// pictures and every byte order, by the vector code and the plain code.
TEST(PictureScaler, ScalesAndConvertsWithinAFewLevelsOfExactArithmetic) {
    struct Case {
        const char* what;
        int sourceWidth, sourceHeight;
        PictureRect picture;
        int outputWidth, outputHeight;
        YuvMatrix matrix;
        ChromaSiting siting;
        PixelOrder order;
    } const cases[] = {
        {"smaller, as full screen on 1080",
         480,
         270,
         {0, 0, 423, 238},
         423,
         238,
         kBt709,
         kMpeg2,
         PixelOrder::Bgrx},
        {"a third, as in the window", 960, 540, {0, 0, 316, 178}, 316, 178, kBt709, kMpeg2, PixelOrder::Bgrx},
        {"a tenth", 640, 360, {0, 0, 64, 36}, 64, 36, kBt709, kMpeg2, PixelOrder::Rgbx},
        {"larger, with bars", 320, 180, {0, 28, 563, 317}, 563, 373, kBt709, kMpeg2, PixelOrder::Bgrx},
        {"odd sizes in borders", 33, 17, {2, 1, 20, 11}, 24, 15, kBt601Full, kJpeg, PixelOrder::Xrgb},
        {"the smallest source", 2, 2, {0, 0, 5, 3}, 5, 3, kBt709, kMpeg2, PixelOrder::Xbgr},
        {"unscaled", 64, 48, {0, 0, 64, 48}, 64, 48, kBt601Full, kMpeg2, PixelOrder::Bgrx},
        {"three rows high", 40, 3, {0, 0, 17, 9}, 17, 9, kBt709, kJpeg, PixelOrder::Bgrx},
    };
    for (const Case& c : cases) {
        for (bool plain : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (plain ? ", plain code" : ", vector code"));
            Source source(c.sourceWidth, c.sourceHeight);
            source.fill(unsigned(c.sourceWidth * 31 + c.outputWidth));
            PictureScaler scaler;
            scaler.setPlainCodeOnly(plain);
            ASSERT_TRUE(scaler.configure(c.sourceWidth, c.sourceHeight, c.picture, c.outputWidth,
                                         c.outputHeight, c.matrix, c.siting, c.order));
            Output output(c.outputWidth, c.outputHeight);
            scaler.convert(source.planes(), {output.pixels.data(), output.stride});
            const std::array<int, 4> at = positionsOf(c.order);
            double worst = 0;
            double total = 0;
            for (int row = 0; row < c.outputHeight; ++row) {
                for (int x = 0; x < c.outputWidth; ++x) {
                    const std::uint8_t* pixel = output.at(x, row);
                    ASSERT_EQ(pixel[at[3]], 0xff) << x << "," << row;
                    const bool inside = x >= c.picture.x && x < c.picture.x + c.picture.width &&
                                        row >= c.picture.y && row < c.picture.y + c.picture.height;
                    if (!inside) {
                        ASSERT_EQ(pixel[at[0]] | pixel[at[1]] | pixel[at[2]], 0)
                            << "border " << x << "," << row;
                        continue;
                    }
                    const auto expected =
                        expectedAt(source, c.picture, c.matrix, c.siting, x - c.picture.x, row - c.picture.y);
                    for (int channel = 0; channel < 3; ++channel) {
                        const double error =
                            std::abs(pixel[at[std::size_t(channel)]] - expected[std::size_t(channel)]);
                        worst = std::max(worst, error);
                        total += error;
                    }
                }
                for (int spare = 4 * c.outputWidth; spare < output.stride; ++spare)
                    ASSERT_EQ(output.pixels[std::size_t(row * output.stride + spare)], 0x55);
            }
            // Each plane is rounded to a level after each of its two blends, and
            // the matrix multiplies a chroma level by up to 2.1.
            EXPECT_LE(worst, 4.0);
            EXPECT_LT(total / (3.0 * c.picture.width * c.picture.height), 0.8);
        }
    }
}

// Levels that must come out exact: limited-range black and white, and the
// primaries of a BT.709 colour bar.
TEST(PictureScaler, KnownColoursComeOutRight) {
    struct Case {
        int y, u, v;
        int red, green, blue;
    } const cases[] = {{16, 128, 128, 0, 0, 0},   {235, 128, 128, 255, 255, 255},
                       {0, 128, 128, 0, 0, 0},    {255, 128, 128, 255, 255, 255},
                       {63, 102, 240, 255, 0, 0}, {173, 42, 26, 0, 255, 0},
                       {32, 240, 118, 0, 0, 255}, {126, 128, 128, 128, 128, 128}};
    for (const Case& c : cases) {
        for (bool plain : {false, true}) {
            SCOPED_TRACE(std::to_string(c.y) + "," + std::to_string(c.u) + "," + std::to_string(c.v) +
                         (plain ? ", plain code" : ", vector code"));
            Source source(64, 36);
            source.fillFlat(c.y, c.u, c.v);
            PictureScaler scaler;
            scaler.setPlainCodeOnly(plain);
            ASSERT_TRUE(scaler.configure(64, 36, {0, 0, 48, 27}, 48, 27, kBt709, kMpeg2, PixelOrder::Rgbx));
            Output output(48, 27);
            scaler.convert(source.planes(), {output.pixels.data(), output.stride});
            for (int x : {0, 9, 47}) {
                const std::uint8_t* pixel = output.at(x, 13);
                EXPECT_NEAR(pixel[0], c.red, 1);
                EXPECT_NEAR(pixel[1], c.green, 1);
                EXPECT_NEAR(pixel[2], c.blue, 1);
            }
        }
    }
}

TEST(PictureScaler, RefusesSizesOutOfReach) {
    struct Case {
        const char* what;
        int sourceWidth, sourceHeight;
        PictureRect picture;
        int outputWidth, outputHeight;
    } const cases[] = {{"one column", 1, 10, {0, 0, 4, 4}, 4, 4},
                       {"one row", 10, 1, {0, 0, 4, 4}, 4, 4},
                       {"an empty picture", 10, 10, {0, 0, 0, 4}, 4, 4},
                       {"a picture past the right", 10, 10, {1, 0, 4, 4}, 4, 4},
                       {"a picture past the bottom", 10, 10, {0, 2, 4, 3}, 4, 4},
                       {"a picture before the left", 10, 10, {-1, 0, 4, 4}, 8, 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PictureScaler scaler;
        EXPECT_FALSE(scaler.configure(c.sourceWidth, c.sourceHeight, c.picture, c.outputWidth, c.outputHeight,
                                      kBt709, kMpeg2, PixelOrder::Bgrx));
    }
}

} // namespace
} // namespace tovimo::media
