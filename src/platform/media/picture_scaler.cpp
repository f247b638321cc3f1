// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/picture_scaler.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#define TOVIMO_X86_VECTORS 1
#include <emmintrin.h>
#include <tmmintrin.h>
#endif

namespace tovimo::media {

namespace {

constexpr int kBlock = 8;
// Room after a blended row for the vector resampler's 16-byte reads.
constexpr int kRowSlack = 16;

std::uint8_t blendPair(int first, int second, int weight) {
    return std::uint8_t((first * (256 - weight) + second * weight + 128) >> 8);
}

void blendRowsPlain(const std::uint8_t* first, const std::uint8_t* second, int weight, int count,
                    std::uint8_t* out) {
    for (int i = 0; i < count; ++i)
        out[i] = blendPair(first[i], second[i], weight);
}

// Where each of a pixel's four bytes lies.
struct BytePositions {
    int red, green, blue, unused;
};

constexpr BytePositions bytePositionsOf(PixelOrder order) {
    switch (order) {
    case PixelOrder::Rgbx:
        return {0, 1, 2, 3};
    case PixelOrder::Xrgb:
        return {1, 2, 3, 0};
    case PixelOrder::Xbgr:
        return {3, 2, 1, 0};
    case PixelOrder::Bgrx:
        break;
    }
    return {2, 1, 0, 3};
}

std::uint8_t clampLevel(int value) {
    return std::uint8_t(std::clamp(value, 0, 255));
}

#ifdef TOVIMO_X86_VECTORS
void blendRowsVector(const std::uint8_t* first, const std::uint8_t* second, int weight, int count,
                     std::uint8_t* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i firstWeight = _mm_set1_epi16(short(256 - weight));
    const __m128i secondWeight = _mm_set1_epi16(short(weight));
    const __m128i half = _mm_set1_epi16(128);
    int i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(second + i));
        const __m128i low = _mm_srli_epi16(
            _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(a, zero), firstWeight),
                                        _mm_mullo_epi16(_mm_unpacklo_epi8(b, zero), secondWeight)),
                          half),
            8);
        const __m128i high = _mm_srli_epi16(
            _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(a, zero), firstWeight),
                                        _mm_mullo_epi16(_mm_unpackhi_epi8(b, zero), secondWeight)),
                          half),
            8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(low, high));
    }
    blendRowsPlain(first + i, second + i, weight, count - i, out + i);
}
#endif

} // namespace

std::vector<PictureScaler::Tap> PictureScaler::tapsFor(int sourceSize, int lumaSize, int outputSize,
                                                       double step, double offset) {
    std::vector<Tap> taps(std::size_t(std::max(outputSize, 0)));
    for (int i = 0; i < outputSize; ++i) {
        const double luma = (i + 0.5) * lumaSize / outputSize - 0.5;
        const double at = std::clamp((luma - offset) * step, 0.0, double(sourceSize - 1));
        int index = int(at);
        int weight = int(std::lround((at - index) * 256));
        if (weight == 256) {
            ++index;
            weight = 0;
        }
        if (sourceSize < 2) {
            index = 0;
            weight = 0;
        } else if (index >= sourceSize - 1) {
            index = sourceSize - 2;
            weight = 256;
        }
        taps[std::size_t(i)] = {index, weight};
    }
    return taps;
}

PictureScaler::BlockTable PictureScaler::blocksFor(const std::vector<Tap>& taps) {
    BlockTable table;
    const std::size_t groups = taps.size() / kBlock;
    // One block per eight pixels while their samples fit one load, as they
    // do unless the picture is made smaller than about a half.
    bool oneLoad = true;
    for (std::size_t g = 0; g < groups && oneLoad; ++g)
        oneLoad = taps[g * kBlock + kBlock - 1].index + 1 - taps[g * kBlock].index <= 15;
    table.blocksPerEight = oneLoad ? 1 : 2;
    table.blocks.resize(groups * std::size_t(table.blocksPerEight));
    const int pixelsPerBlock = kBlock / table.blocksPerEight;
    for (std::size_t g = 0; g < groups; ++g) {
        const Tap* first = &taps[g * kBlock];
        Block* group = &table.blocks[g * std::size_t(table.blocksPerEight)];
        for (int part = 0; part < table.blocksPerEight; ++part) {
            Block& block = group[part];
            block.base = first[part * pixelsPerBlock].index;
            std::memset(block.pick, 0x80, sizeof block.pick);
            std::memset(block.weight, 0, sizeof block.weight);
        }
        for (int j = 0; j < kBlock; ++j) {
            Block& block = group[j / pixelsPerBlock];
            const int at = first[j].index - block.base;
            if (at < 0 || at + 1 > 15) {
                group[0].base = -1;
                break;
            }
            // Pixel j's two samples, each widened to 16 bits (0x80: a zero byte).
            block.pick[2 * j] = std::uint8_t(at);
            block.pick[16 + 2 * j] = std::uint8_t(at + 1);
            group[0].weight[j] = std::uint16_t(first[j].weight);
        }
    }
    return table;
}

bool PictureScaler::configure(int sourceWidth, int sourceHeight, PictureRect picture, int outputWidth,
                              int outputHeight, YuvMatrix matrix, ChromaSiting siting, PixelOrder order) {
    if (sourceWidth < 2 || sourceHeight < 2 || picture.width < 1 || picture.height < 1 || picture.x < 0 ||
        picture.y < 0 || picture.x + picture.width > outputWidth || picture.y + picture.height > outputHeight)
        return false;
    const double kg = 1.0 - matrix.kr - matrix.kb;
    if (matrix.kr <= 0 || matrix.kb <= 0 || kg <= 0)
        return false;
    sourceWidth_ = sourceWidth;
    sourceHeight_ = sourceHeight;
    chromaWidth_ = (sourceWidth + 1) / 2;
    chromaHeight_ = (sourceHeight + 1) / 2;
    outputWidth_ = outputWidth;
    outputHeight_ = outputHeight;
    picture_ = picture;
    order_ = order;

    const double lumaScale = matrix.fullRange ? 1.0 : 255.0 / 219.0;
    const double chromaScale = matrix.fullRange ? 1.0 : 255.0 / 224.0;
    coefficients_.lumaOffset = matrix.fullRange ? 0 : 16;
    coefficients_.lumaScale = int(std::lround(lumaScale * 64 * 256));
    coefficients_.redV = int(std::lround(chromaScale * 2 * (1 - matrix.kr) * 64));
    coefficients_.greenU = int(std::lround(chromaScale * 2 * matrix.kb * (1 - matrix.kb) / kg * 64));
    coefficients_.greenV = int(std::lround(chromaScale * 2 * matrix.kr * (1 - matrix.kr) / kg * 64));
    coefficients_.blueU = int(std::lround(chromaScale * 2 * (1 - matrix.kb) * 64));

    lumaColumns_ = tapsFor(sourceWidth, sourceWidth, picture.width, 1.0, 0.0);
    lumaRows_ = tapsFor(sourceHeight, sourceHeight, picture.height, 1.0, 0.0);
    chromaColumns_ =
        tapsFor(chromaWidth_, sourceWidth, picture.width, 0.5, siting.horizontallyCosited ? 0.0 : 0.5);
    chromaRows_ =
        tapsFor(chromaHeight_, sourceHeight, picture.height, 0.5, siting.verticallyCosited ? 0.0 : 0.5);

#ifdef TOVIMO_X86_VECTORS
    vectorCode_ = __builtin_cpu_supports("ssse3");
#else
    vectorCode_ = false;
#endif
    lumaBlocks_ = vectorCode_ ? blocksFor(lumaColumns_) : BlockTable{};
    chromaBlocks_ = vectorCode_ ? blocksFor(chromaColumns_) : BlockTable{};

    // Zeroed, so that reads past a row's end meet defined bytes.
    blendedY_.assign(std::size_t(sourceWidth + kRowSlack), 0);
    blendedU_.assign(std::size_t(chromaWidth_ + kRowSlack), 0);
    blendedV_.assign(std::size_t(chromaWidth_ + kRowSlack), 0);
    rowY_.assign(std::size_t(picture.width + kRowSlack), 0);
    rowU_.assign(std::size_t(picture.width + kRowSlack), 0);
    rowV_.assign(std::size_t(picture.width + kRowSlack), 0);
    return true;
}

#ifdef TOVIMO_X86_VECTORS
namespace {

// Eight output pixels from each group of `perEight` blocks (see Block).
template <int perEight, typename Block>
__attribute__((target("ssse3"))) void resampleBlocks(const std::uint8_t* row, const Block* blocks,
                                                     std::size_t groups, std::uint8_t* out) {
    const __m128i half = _mm_set1_epi16(128);
    const __m128i whole = _mm_set1_epi16(256);
    auto load = [](const void* at) { return _mm_loadu_si128(static_cast<const __m128i*>(at)); };
    for (std::size_t g = 0; g < groups; ++g) {
        const Block* group = blocks + g * perEight;
        if (group[0].base < 0)
            continue;
        const __m128i samples = load(row + group[0].base);
        __m128i left = _mm_shuffle_epi8(samples, load(group[0].pick));
        __m128i right = _mm_shuffle_epi8(samples, load(group[0].pick + 16));
        if constexpr (perEight == 2) {
            const __m128i more = load(row + group[1].base);
            left = _mm_or_si128(left, _mm_shuffle_epi8(more, load(group[1].pick)));
            right = _mm_or_si128(right, _mm_shuffle_epi8(more, load(group[1].pick + 16)));
        }
        const __m128i rightWeight = load(group[0].weight);
        const __m128i leftWeight = _mm_sub_epi16(whole, rightWeight);
        // 255 * 256 at most: the sum fits 16 bits unsigned.
        const __m128i sum = _mm_add_epi16(
            _mm_add_epi16(_mm_mullo_epi16(left, leftWeight), _mm_mullo_epi16(right, rightWeight)), half);
        const __m128i pixels = _mm_srli_epi16(sum, 8);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + g * kBlock), _mm_packus_epi16(pixels, pixels));
    }
}

} // namespace
#endif

void PictureScaler::resampleRow(const std::uint8_t* row, const std::vector<Tap>& taps,
                                const BlockTable& table, std::uint8_t* out) const {
    const int count = int(taps.size());
    auto plain = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            const Tap& tap = taps[std::size_t(i)];
            out[i] = blendPair(row[tap.index], row[tap.index + 1], tap.weight);
        }
    };
    int plainFrom = 0;
#ifdef TOVIMO_X86_VECTORS
    if (vectorCode_ && !plainOnly_ && !table.blocks.empty()) {
        const std::size_t groups = table.blocks.size() / std::size_t(table.blocksPerEight);
        if (table.blocksPerEight == 1)
            resampleBlocks<1>(row, table.blocks.data(), groups, out);
        else
            resampleBlocks<2>(row, table.blocks.data(), groups, out);
        for (std::size_t g = 0; g < groups; ++g)
            if (table.blocks[g * std::size_t(table.blocksPerEight)].base < 0)
                plain(int(g) * kBlock, int(g + 1) * kBlock);
        plainFrom = int(groups) * kBlock;
    }
#endif
    plain(plainFrom, count);
}

void PictureScaler::convertRow(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v,
                               std::uint8_t* out) const {
    const Coefficients& c = coefficients_;
    const BytePositions at = bytePositionsOf(order_);
    const int count = picture_.width;
    int i = 0;
#ifdef TOVIMO_X86_VECTORS
    if (!plainOnly_) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i lumaOffset = _mm_set1_epi8(char(c.lumaOffset));
        const __m128i lumaScale = _mm_set1_epi16(short(c.lumaScale));
        const __m128i chromaMid = _mm_set1_epi16(128);
        const __m128i redV = _mm_set1_epi16(short(c.redV));
        const __m128i greenU = _mm_set1_epi16(short(c.greenU));
        const __m128i greenV = _mm_set1_epi16(short(c.greenV));
        const __m128i blueU = _mm_set1_epi16(short(c.blueU));
        const __m128i half = _mm_set1_epi16(32);
        const __m128i opaque = _mm_set1_epi8(char(0xff));
        for (; i + 8 <= count; i += 8) {
            const __m128i luma8 =
                _mm_subs_epu8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(y + i)), lumaOffset);
            // (level << 8) * scale >> 16: the level in 64ths, scaled.
            const __m128i luma = _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, luma8), lumaScale);
            const __m128i cb = _mm_sub_epi16(
                _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(u + i)), zero), chromaMid);
            const __m128i cr = _mm_sub_epi16(
                _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(v + i)), zero), chromaMid);
            const __m128i rounded = _mm_adds_epi16(luma, half);
            const __m128i r = _mm_srai_epi16(_mm_adds_epi16(rounded, _mm_mullo_epi16(cr, redV)), 6);
            const __m128i g =
                _mm_srai_epi16(_mm_subs_epi16(_mm_subs_epi16(rounded, _mm_mullo_epi16(cb, greenU)),
                                              _mm_mullo_epi16(cr, greenV)),
                               6);
            const __m128i b = _mm_srai_epi16(_mm_adds_epi16(rounded, _mm_mullo_epi16(cb, blueU)), 6);
            const __m128i r8 = _mm_packus_epi16(r, r);
            const __m128i g8 = _mm_packus_epi16(g, g);
            const __m128i b8 = _mm_packus_epi16(b, b);
            __m128i first = zero;
            __m128i second = zero;
            switch (order_) {
            case PixelOrder::Bgrx:
                first = _mm_unpacklo_epi8(b8, g8), second = _mm_unpacklo_epi8(r8, opaque);
                break;
            case PixelOrder::Rgbx:
                first = _mm_unpacklo_epi8(r8, g8), second = _mm_unpacklo_epi8(b8, opaque);
                break;
            case PixelOrder::Xrgb:
                first = _mm_unpacklo_epi8(opaque, r8), second = _mm_unpacklo_epi8(g8, b8);
                break;
            case PixelOrder::Xbgr:
                first = _mm_unpacklo_epi8(opaque, b8), second = _mm_unpacklo_epi8(g8, r8);
                break;
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * i), _mm_unpacklo_epi16(first, second));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * i + 16), _mm_unpackhi_epi16(first, second));
        }
    }
#endif
    for (; i < count; ++i) {
        const int luma = (std::max(y[i] - c.lumaOffset, 0) * 256 * c.lumaScale >> 16) + 32;
        const int cb = u[i] - 128;
        const int cr = v[i] - 128;
        std::uint8_t* pixel = out + 4 * i;
        pixel[at.red] = clampLevel((luma + cr * c.redV) >> 6);
        pixel[at.green] = clampLevel((luma - cb * c.greenU - cr * c.greenV) >> 6);
        pixel[at.blue] = clampLevel((luma + cb * c.blueU) >> 6);
        pixel[at.unused] = 0xff;
    }
}

void PictureScaler::paintBlack(std::uint8_t* pixels, int count) const {
    std::uint8_t black[4] = {0, 0, 0, 0};
    black[bytePositionsOf(order_).unused] = 0xff;
    for (int i = 0; i < count; ++i)
        std::memcpy(pixels + 4 * i, black, 4);
}

void PictureScaler::convert(const SourcePlanes& source, const OutputImage& output) {
    const bool vectors = vectorCode_ && !plainOnly_;
    auto blendRows = [vectors](const std::uint8_t* first, const std::uint8_t* second, int weight, int count,
                               std::uint8_t* out) {
#ifdef TOVIMO_X86_VECTORS
        if (vectors)
            return blendRowsVector(first, second, weight, count, out);
#endif
        (void)vectors;
        blendRowsPlain(first, second, weight, count, out);
    };
    for (int row = 0; row < outputHeight_; ++row) {
        std::uint8_t* line = output.pixels + std::ptrdiff_t(row) * output.stride;
        const int pictureRow = row - picture_.y;
        if (pictureRow < 0 || pictureRow >= picture_.height) {
            paintBlack(line, outputWidth_);
            continue;
        }
        paintBlack(line, picture_.x);
        paintBlack(line + 4 * (picture_.x + picture_.width), outputWidth_ - picture_.x - picture_.width);

        const Tap& lumaRow = lumaRows_[std::size_t(pictureRow)];
        const std::uint8_t* y = source.y + std::ptrdiff_t(lumaRow.index) * source.yStride;
        blendRows(y, y + source.yStride, lumaRow.weight, sourceWidth_, blendedY_.data());
        resampleRow(blendedY_.data(), lumaColumns_, lumaBlocks_, rowY_.data());

        const Tap& chromaRow = chromaRows_[std::size_t(pictureRow)];
        const std::uint8_t* u = source.u + std::ptrdiff_t(chromaRow.index) * source.uStride;
        const std::uint8_t* v = source.v + std::ptrdiff_t(chromaRow.index) * source.vStride;
        // A source two rows high has one chroma row: the blend reads it twice.
        const std::ptrdiff_t nextU = chromaHeight_ > 1 ? source.uStride : 0;
        const std::ptrdiff_t nextV = chromaHeight_ > 1 ? source.vStride : 0;
        blendRows(u, u + nextU, chromaRow.weight, chromaWidth_, blendedU_.data());
        blendRows(v, v + nextV, chromaRow.weight, chromaWidth_, blendedV_.data());
        resampleRow(blendedU_.data(), chromaColumns_, chromaBlocks_, rowU_.data());
        resampleRow(blendedV_.data(), chromaColumns_, chromaBlocks_, rowV_.data());

        convertRow(rowY_.data(), rowU_.data(), rowV_.data(), line + 4 * picture_.x);
    }
}

} // namespace tovimo::media
