// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

namespace tovimo::media {

// Scales a 4:2:0 YUV picture (8 bits, three planes) and converts it to
// 32-bit RGB in one pass over the output rows: for each, the two source
// rows it lies between are blended, the blended row is resampled to the
// output's width, and the three resampled rows are converted straight into
// the output. No picture-sized buffer lies between the source and the
// output. Bilinear both ways (two taps), as a display scaler; the chroma
// is resampled from its own siting straight to every output pixel.
// Pure arithmetic on memory: no GStreamer, no Qt.

struct YuvMatrix {
    double kr = 0.2126; // BT.709
    double kb = 0.0722;
    bool fullRange = false; // 0-255 rather than 16-235 / 16-240
};

// Where a chroma sample lies against the luma samples it covers: cosited
// with the first, or centred between the two.
struct ChromaSiting {
    bool horizontallyCosited = true; // MPEG-2 and later
    bool verticallyCosited = false;
};

// The order of the four bytes of an output pixel in memory; X is written 255.
enum class PixelOrder { Bgrx, Rgbx, Xrgb, Xbgr };

struct SourcePlanes {
    const std::uint8_t* y = nullptr;
    const std::uint8_t* u = nullptr;
    const std::uint8_t* v = nullptr;
    int yStride = 0;
    int uStride = 0;
    int vStride = 0;
};

struct OutputImage {
    std::uint8_t* pixels = nullptr;
    int stride = 0;
};

struct PictureRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class PictureScaler {
public:
    // Sources need at least 2x2 pixels. The picture is drawn at `picture`
    // within an output of outputWidth x outputHeight pixels, the rest of
    // which is painted black. False, and nothing set up, for sizes out of
    // reach (a rectangle outside the output, a size below that).
    bool configure(int sourceWidth, int sourceHeight, PictureRect picture, int outputWidth, int outputHeight,
                   YuvMatrix matrix, ChromaSiting siting, PixelOrder order);

    // One source picture into one output image of the configured sizes.
    // Not reentrant: it works in rows of its own.
    void convert(const SourcePlanes& source, const OutputImage& output);

    // Only for tests: the plain code instead of the vector code.
    void setPlainCodeOnly(bool plainOnly) { plainOnly_ = plainOnly; }

private:
    // One output pixel's source sample pair: the sample at `index` and the
    // next one, the next one weighing `weight` 256ths.
    struct Tap {
        int index = 0;
        int weight = 0;
    };
    // Taps from `sourceSize` samples to `outputSize`, the output's pixel
    // centres mapped onto the source's; `offset` is where sample 0 lies in
    // units of the output's source scale (0 for luma, the chroma's siting
    // for chroma) and `step` the samples per luma sample (1, or 1/2).
    static std::vector<Tap> tapsFor(int sourceSize, int lumaSize, int outputSize, double step, double offset);

    // Output pixels of a row for the vector resampler, drawn from the 16
    // source samples from `base` on: `pick` says which of them each pixel
    // blends (16-bit lanes, the left samples first, then the right ones; a
    // lane picking 0x80 is zero), `weight` the right sample's weight. A
    // table takes eight pixels from one such block, or (when their samples
    // lie further apart) from two, the first picking the first four pixels,
    // the second the last four, the first holding all eight weights. A
    // negative base leaves the eight pixels to the plain code, as are the
    // last few pixels of a row.
    struct Block {
        std::uint8_t pick[32];
        std::uint16_t weight[8];
        int base;
    };
    struct BlockTable {
        std::vector<Block> blocks;
        int blocksPerEight = 1;
    };
    static BlockTable blocksFor(const std::vector<Tap>& taps);
    struct Coefficients {
        int lumaOffset = 16;
        int lumaScale = 0; // 1/64ths of output per input level, times 256
        int redV = 0;      // 1/64ths
        int greenU = 0;    // 1/64ths, subtracted
        int greenV = 0;    // 1/64ths, subtracted
        int blueU = 0;     // 1/64ths
    };

    void resampleRow(const std::uint8_t* row, const std::vector<Tap>& taps, const BlockTable& table,
                     std::uint8_t* out) const;
    void convertRow(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v,
                    std::uint8_t* out) const;
    void paintBlack(std::uint8_t* pixels, int count) const;

    int sourceWidth_ = 0;
    int sourceHeight_ = 0;
    int chromaWidth_ = 0;
    int chromaHeight_ = 0;
    int outputWidth_ = 0;
    int outputHeight_ = 0;
    PictureRect picture_;
    PixelOrder order_ = PixelOrder::Bgrx;
    Coefficients coefficients_;
    bool plainOnly_ = false;
    bool vectorCode_ = false;

    std::vector<Tap> lumaColumns_;
    std::vector<Tap> chromaColumns_;
    std::vector<Tap> lumaRows_;
    std::vector<Tap> chromaRows_;
    BlockTable lumaBlocks_;
    BlockTable chromaBlocks_;

    // Blended source rows (with room for reads past their end) and
    // resampled rows.
    std::vector<std::uint8_t> blendedY_;
    std::vector<std::uint8_t> blendedU_;
    std::vector<std::uint8_t> blendedV_;
    std::vector<std::uint8_t> rowY_;
    std::vector<std::uint8_t> rowU_;
    std::vector<std::uint8_t> rowV_;
};

} // namespace tovimo::media
