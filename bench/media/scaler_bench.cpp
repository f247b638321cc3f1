// SPDX-License-Identifier: GPL-3.0-or-later
// Milliseconds per frame of the one-pass scaler-converter beside the
// library's converter (scale the planes, then convert the small picture:
// the order the player used before), from 1080p I420 to BGRx at the picture
// sizes of the window, 1080p full screen and 4K full screen.
#include "platform/media/picture_scaler.h"

#include <gst/video/video.h>

#include <chrono>
#include <cstdio>
#include <vector>

using tovimo::media::PictureScaler;

namespace {

constexpr int kFrames = 100;

double millisecondsPerFrame(auto&& convert) {
    convert();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kFrames; ++i)
        convert();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() /
           kFrames;
}

GstVideoFrame mapped(GstVideoInfo& info, GstBuffer*& buffer, GstMapFlags flags) {
    buffer = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&info), nullptr);
    GstVideoFrame frame;
    gst_video_frame_map(&frame, &info, buffer, flags);
    return frame;
}

// videoscale's and videoconvert's defaults: 2-tap bilinear, no dithering.
GstStructure* asVideoscaleDoes() {
    return gst_structure_new(
        "options", GST_VIDEO_CONVERTER_OPT_RESAMPLER_METHOD, GST_TYPE_VIDEO_RESAMPLER_METHOD,
        GST_VIDEO_RESAMPLER_METHOD_LINEAR, GST_VIDEO_CONVERTER_OPT_RESAMPLER_TAPS, G_TYPE_UINT, 2u,
        GST_VIDEO_CONVERTER_OPT_DITHER_METHOD, GST_TYPE_VIDEO_DITHER_METHOD, GST_VIDEO_DITHER_NONE, nullptr);
}

} // namespace

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    GstVideoInfo source;
    gst_video_info_set_format(&source, GST_VIDEO_FORMAT_I420, 1920, 1080);
    GstBuffer* sourceBuffer = nullptr;
    GstVideoFrame in = mapped(source, sourceBuffer, GST_MAP_READWRITE);
    for (int plane = 0; plane < 3; ++plane) {
        auto* data = static_cast<guint8*>(GST_VIDEO_FRAME_PLANE_DATA(&in, plane));
        const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&in, plane);
        for (int row = 0; row < GST_VIDEO_FRAME_COMP_HEIGHT(&in, plane); ++row)
            for (int x = 0; x < stride; ++x)
                data[row * stride + x] = guint8(x * 7 + row * 3 + plane * 50);
    }
    std::printf("1080p I420 to BGRx, ms per frame\n%-12s %10s %10s\n", "picture", "own pass", "library");
    const int sizes[][2] = {{632, 356}, {1694, 953}, {3807, 2033}};
    for (const auto& size : sizes) {
        GstVideoInfo output;
        gst_video_info_set_format(&output, GST_VIDEO_FORMAT_BGRx, size[0], size[1]);
        GstBuffer* outputBuffer = nullptr;
        GstVideoFrame out = mapped(output, outputBuffer, GST_MAP_WRITE);

        PictureScaler scaler;
        scaler.configure(1920, 1080, {0, 0, size[0], size[1]}, size[0], size[1], {}, {},
                         tovimo::media::PixelOrder::Bgrx);
        const tovimo::media::SourcePlanes planes{
            static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&in, 0)),
            static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&in, 1)),
            static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&in, 2)),
            GST_VIDEO_FRAME_PLANE_STRIDE(&in, 0),
            GST_VIDEO_FRAME_PLANE_STRIDE(&in, 1),
            GST_VIDEO_FRAME_PLANE_STRIDE(&in, 2)};
        const double own = millisecondsPerFrame([&] {
            scaler.convert(planes, {static_cast<std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&out, 0)),
                                    GST_VIDEO_FRAME_PLANE_STRIDE(&out, 0)});
        });

        // The library: planes scaled first when the picture shrinks, then converted.
        const bool shrinks = size[0] < 1920;
        GstVideoInfo middle;
        gst_video_info_set_format(&middle, GST_VIDEO_FORMAT_I420, shrinks ? size[0] : 1920,
                                  shrinks ? size[1] : 1080);
        GstBuffer* middleBuffer = nullptr;
        GstVideoFrame between = mapped(middle, middleBuffer, GST_MAP_READWRITE);
        GstVideoConverter* scale = gst_video_converter_new(&source, &middle, asVideoscaleDoes());
        GstVideoConverter* convert = gst_video_converter_new(&middle, &output, asVideoscaleDoes());
        const double library = millisecondsPerFrame([&] {
            gst_video_converter_frame(scale, &in, &between);
            gst_video_converter_frame(convert, &between, &out);
        });
        std::printf("%4dx%-7d %10.2f %10.2f\n", size[0], size[1], own, library);
        gst_video_converter_free(scale);
        gst_video_converter_free(convert);
        gst_video_frame_unmap(&between);
        gst_buffer_unref(middleBuffer);
        gst_video_frame_unmap(&out);
        gst_buffer_unref(outputBuffer);
    }
    gst_video_frame_unmap(&in);
    gst_buffer_unref(sourceBuffer);
    return 0;
}
