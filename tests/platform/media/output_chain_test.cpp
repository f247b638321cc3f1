// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/output_chain.h"

#include "platform/media/converting_scaler.h"

#include "media_fixtures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace tovimo::media {
namespace {

struct FrameCount {
    std::atomic<int> frames{0};
    std::atomic<int> unpooled{0};
};

GstPadProbeReturn countFrame(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* count = static_cast<FrameCount*>(data);
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    ++count->frames;
    // A frame that the decoder had to copy on its way out is a bare
    // allocation; one it decoded into for this purpose comes from its pool.
    if (!buffer->pool)
        ++count->unpooled;
    return GST_PAD_PROBE_OK;
}

// One second of H.264 at 320x180, every frame but the first predicted.
bool makeClip(const std::string& path) {
    const std::string description =
        "videotestsrc num-buffers=30 ! video/x-raw,width=320,height=180,framerate=30/1,format=I420 ! "
        "x264enc speed-preset=ultrafast ! h264parse ! mp4mux ! filesink location=\"" +
        path + "\"";
    GError* error = nullptr;
    ElementPtr pipeline(gst_parse_launch(description.c_str(), &error));
    ErrorPtr failure(error);
    if (!pipeline || failure)
        return false;
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    BusPtr bus(gst_element_get_bus(pipeline.get()));
    MessagePtr ended(gst_bus_timed_pop_filtered(bus.get(), 20 * GST_SECOND,
                                                GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    return ended && GST_MESSAGE_TYPE(ended.get()) == GST_MESSAGE_EOS;
}

// Runs after the output chain's own setup: watches what the video decoder sends.
void watchDecoder(GstElement*, GstElement* element, gpointer data) {
    GstElementFactory* factory = gst_element_get_factory(element);
    if (!factory || !gst_element_factory_list_is_type(factory, GST_ELEMENT_FACTORY_TYPE_DECODER |
                                                                   GST_ELEMENT_FACTORY_TYPE_MEDIA_VIDEO))
        return;
    PadPtr output(gst_element_get_static_pad(element, "src"));
    if (output)
        gst_pad_add_probe(output.get(), GST_PAD_PROBE_TYPE_BUFFER, countFrame, data, nullptr);
}

// Every H.264 frame keeps being a reference for the frames after it: a
// decoder that decoded into the frames it sends on then holds them, and each
// one would be copied whole on its way out.
TEST(OutputChain, DecodedFramesLeaveTheDecoderWithoutACopy) {
    initializeMediaProcess();
    testing::ScratchFolder folder;
    const std::string clip = folder.file("clip.mp4");
    ASSERT_TRUE(makeClip(clip));

    ElementPtr playbin(gst_element_factory_make("playbin3", nullptr));
    ASSERT_TRUE(playbin);
    gst_object_ref_sink(playbin.get());
    // As on the display: a converter that takes frames in the decoder's own
    // layout, so that the decoder could decode straight into the frames it
    // sends on.
    GstElement* videoSink = gst_parse_bin_from_description(
        "videoconvertscale ! video/x-raw,format=BGRx,width=160,height=90 ! fakesink sync=false", TRUE,
        nullptr);
    GstElement* audioSink = gst_element_factory_make("fakesink", nullptr);
    ASSERT_TRUE(videoSink && audioSink);
    g_object_set(audioSink, "sync", FALSE, nullptr);
    g_object_set(playbin.get(), "video-sink", videoSink, "audio-sink", audioSink, nullptr);
    FrameCount count;
    g_signal_connect(playbin.get(), "element-setup", G_CALLBACK(onElementSetup), nullptr);
    g_signal_connect(playbin.get(), "element-setup", G_CALLBACK(watchDecoder), &count);
    GStringPtr uri(gst_filename_to_uri(clip.c_str(), nullptr));
    g_object_set(playbin.get(), "uri", uri.get(), nullptr);

    ASSERT_NE(gst_element_set_state(playbin.get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    BusPtr bus(gst_element_get_bus(playbin.get()));
    MessagePtr ended(gst_bus_timed_pop_filtered(bus.get(), 20 * GST_SECOND,
                                                GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
    gst_element_set_state(playbin.get(), GST_STATE_NULL);
    ASSERT_TRUE(ended);
    ASSERT_EQ(GST_MESSAGE_TYPE(ended.get()), GST_MESSAGE_EOS);

    EXPECT_EQ(count.frames, 30);
    EXPECT_EQ(count.unpooled, 0);
}

// What the output chain did with a clip's pictures.
struct Shown {
    CapsPtr converted;    // what the converter takes
    CapsPtr shown;        // what reaches the sink
    bool ownPass = false; // the converter scaled and converted in its own pass
};

// Plays `clip` through the output chain in front of `sinkDescription` (a
// bin whose last element is named "sink").
Shown playThrough(const std::string& clip, const std::string& sinkDescription) {
    Shown result;
    ElementPtr sink(gst_parse_bin_from_description(sinkDescription.c_str(), TRUE, nullptr));
    EXPECT_TRUE(sink);
    if (!sink)
        return result;
    gst_object_ref_sink(sink.get());
    ElementPtr playbin(gst_element_factory_make("playbin3", nullptr));
    gst_object_ref_sink(playbin.get());
    GstElement* output = videoOutputFor(sink.get());
    EXPECT_TRUE(output);
    if (!output)
        return result;
    ElementPtr converter(gst_bin_get_by_name(GST_BIN(output), "convert"));
    ElementPtr last(gst_bin_get_by_name(GST_BIN(sink.get()), "sink"));
    EXPECT_TRUE(converter && last);
    GstElement* audioSink = gst_element_factory_make("fakesink", nullptr);
    g_object_set(playbin.get(), "video-sink", output, "audio-sink", audioSink, nullptr);
    setPlayFlags(playbin.get(), kPlayFlagNativeVideo, true);
    GStringPtr uri(gst_filename_to_uri(clip.c_str(), nullptr));
    g_object_set(playbin.get(), "uri", uri.get(), nullptr);
    EXPECT_NE(gst_element_set_state(playbin.get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    BusPtr bus(gst_element_get_bus(playbin.get()));
    MessagePtr ended(gst_bus_timed_pop_filtered(bus.get(), 20 * GST_SECOND,
                                                GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
    if (converter && last) {
        PadPtr input(gst_element_get_static_pad(converter.get(), "sink"));
        PadPtr shown(gst_element_get_static_pad(last.get(), "sink"));
        result.converted.reset(gst_pad_get_current_caps(input.get()));
        result.shown.reset(gst_pad_get_current_caps(shown.get()));
        result.ownPass = convertsInOwnPass(converter.get());
    }
    gst_element_set_state(playbin.get(), GST_STATE_NULL);
    EXPECT_TRUE(ended && GST_MESSAGE_TYPE(ended.get()) == GST_MESSAGE_EOS);
    return result;
}

PictureSize sizeOf(const CapsPtr& caps) {
    PictureSize size;
    if (caps) {
        gst_structure_get_int(gst_caps_get_structure(caps.get(), 0), "width", &size.width);
        gst_structure_get_int(gst_caps_get_structure(caps.get(), 0), "height", &size.height);
    }
    return size;
}

// A picture for an RGB display is scaled and converted in the converter's
// own single pass, whichever way its size goes. For other formats it is
// scaled before it is converted when it gets smaller, and converted and
// scaled in one pass otherwise: the converter never works on a larger
// picture than it must. An area of another shape than the picture's, at a
// sink that takes that one size only, is filled with borders by the first
// scaler, or by the converter's own pass, so that nothing is scaled twice.
TEST(OutputChain, ConvertsTheSmallerPictureOrScalesAsItConverts) {
    initializeMediaProcess();
    testing::ScratchFolder folder;
    const std::string clip = folder.file("clip.mp4");
    ASSERT_TRUE(makeClip(clip));
    struct Case {
        const char* format; // asked for by the sink
        int width, height;
        int converted; // width of the frames the converter takes
        bool ownPass;
    } const cases[] = {
        {"BGRx", 160, 90, 320, true},    {"BGRx", 640, 360, 320, true},   {"RGBx", 200, 300, 320, true},
        {"BGRx", 300, 170, 320, true},   {"RGB16", 160, 90, 160, false},  {"RGB16", 640, 360, 320, false},
        {"RGB16", 320, 180, 320, false}, {"RGB16", 200, 300, 320, false}, {"RGB16", 300, 170, 300, false},
        {"RGB16", 160, 140, 160, false}, {"RGB16", 200, 60, 200, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.format) + " " + std::to_string(c.width) + "x" + std::to_string(c.height));
        const Shown shown =
            playThrough(clip, std::string("capsfilter caps=video/x-raw,format=") + c.format +
                                  ",pixel-aspect-ratio=1/1,width=" + std::to_string(c.width) +
                                  ",height=" + std::to_string(c.height) + " ! fakesink name=sink sync=false");
        ASSERT_TRUE(shown.converted);
        const GstStructure* taken = gst_caps_get_structure(shown.converted.get(), 0);
        EXPECT_EQ(sizeOf(shown.converted).width, c.converted);
        EXPECT_EQ(shown.ownPass, c.ownPass);
        // The frames reach the converter in the decoder's own format.
        EXPECT_STREQ(gst_structure_get_string(taken, "format"), "I420");
        // Scaled first, the picture already has the sink's size and pixel shape.
        if (c.converted == c.width) {
            int shapeNumerator = 0;
            int shapeDenominator = 0;
            gst_structure_get_fraction(taken, "pixel-aspect-ratio", &shapeNumerator, &shapeDenominator);
            EXPECT_EQ(sizeOf(shown.converted).height, c.height);
            EXPECT_EQ(shapeNumerator, shapeDenominator);
        }
    }
}

// A sink that asks for its window's size but takes any size (as ximagesink
// does) gets a smaller picture at its own shape and centres it: no border is
// scaled, converted or copied with every frame. A picture made larger is
// given at the window's size, its bars drawn by the converter.
TEST(OutputChain, ASinkThatTakesAnySizeGetsThePictureWithoutBorders) {
    initializeMediaProcess();
    testing::ScratchFolder folder;
    const std::string clip = folder.file("clip.mp4");
    ASSERT_TRUE(makeClip(clip));
    struct Case {
        const char* format;
        PictureSize window;
        PictureSize shown;
        int converted; // width of the frames the converter takes
    } const cases[] = {{"BGRx", {160, 140}, {160, 90}, 320},  {"BGRx", {400, 100}, {178, 100}, 320},
                       {"BGRx", {640, 480}, {640, 480}, 320}, {"BGRx", {320, 180}, {320, 180}, 320},
                       {"RGB16", {160, 140}, {160, 90}, 160}, {"RGB16", {400, 100}, {178, 100}, 178},
                       {"RGB16", {640, 480}, {640, 480}, 320}};
    for (const Case& c : cases) {
        const std::string window = std::to_string(c.window.width) + "x" + std::to_string(c.window.height);
        SCOPED_TRACE(std::string(c.format) + " " + window);
        const std::string format = std::string("video/x-raw,format=") + c.format + ",pixel-aspect-ratio=1/1";
        const Shown shown =
            playThrough(clip, "capsfilter caps=\"" + format + ",width=" + std::to_string(c.window.width) +
                                  ",height=" + std::to_string(c.window.height) + "; " + format +
                                  "\" ! fakesink name=sink sync=false");
        EXPECT_EQ(sizeOf(shown.shown), c.shown);
        EXPECT_EQ(sizeOf(shown.converted).width, c.converted);
    }
}

// The last frame of a test picture through `converter` to BGRx at 250x141.
std::vector<std::uint8_t> lastFrameThrough(const std::string& converter) {
    std::vector<std::uint8_t> frame;
    const std::string description =
        "videotestsrc num-buffers=2 pattern=smpte75 ! video/x-raw,format=I420,width=320,height=180 ! " +
        converter +
        " name=convert ! video/x-raw,format=BGRx,width=250,height=141 ! fakesink name=out "
        "signal-handoffs=true";
    GError* error = nullptr;
    ElementPtr pipeline(gst_parse_launch(description.c_str(), &error));
    ErrorPtr failure(error);
    EXPECT_TRUE(pipeline && !failure) << (failure ? failure->message : "");
    if (!pipeline || failure)
        return frame;
    ElementPtr out(gst_bin_get_by_name(GST_BIN(pipeline.get()), "out"));
    g_signal_connect(out.get(), "handoff",
                     G_CALLBACK(+[](GstElement*, GstBuffer* buffer, GstPad*, gpointer data) {
                         auto* frame = static_cast<std::vector<std::uint8_t>*>(data);
                         GstMapInfo map;
                         if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
                             frame->assign(map.data, map.data + map.size);
                             gst_buffer_unmap(buffer, &map);
                         }
                     }),
                     &frame);
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    BusPtr bus(gst_element_get_bus(pipeline.get()));
    MessagePtr ended(gst_bus_timed_pop_filtered(bus.get(), 20 * GST_SECOND,
                                                GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
    EXPECT_TRUE(ended && GST_MESSAGE_TYPE(ended.get()) == GST_MESSAGE_EOS);
    ElementPtr convert(gst_bin_get_by_name(GST_BIN(pipeline.get()), "convert"));
    EXPECT_EQ(convertsInOwnPass(convert.get()), converter != "videoconvertscale");
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    return frame;
}

// The converter's own pass shows what the library's shows: the same colours
// at the same places, within a few levels but where a colour bar's edge
// falls between two pixels (the library repeats chroma samples where the
// own pass blends them).
TEST(OutputChain, TheConvertersOwnPassShowsWhatTheLibraryShows) {
    initializeMediaProcess();
    ElementPtr made(makeConvertingScaler(nullptr));
    ASSERT_TRUE(made);
    gst_object_ref_sink(made.get());
    const std::vector<std::uint8_t> own = lastFrameThrough("tovimoconvertingscaler");
    const std::vector<std::uint8_t> library = lastFrameThrough("videoconvertscale");
    ASSERT_EQ(own.size(), std::size_t(250 * 141 * 4));
    ASSERT_EQ(own.size(), library.size());
    double total = 0;
    int far = 0;
    for (std::size_t i = 0; i < own.size(); i += 4) {
        for (std::size_t channel = 0; channel < 3; ++channel) {
            const int difference = std::abs(int(own[i + channel]) - int(library[i + channel]));
            total += difference;
            far += difference > 24;
        }
    }
    // The middle of each 75% colour bar, in red, green and blue: the own pass
    // gets them right where the library is three levels darker.
    struct Bar {
        int x, red, green, blue;
    } const bars[] = {{15, 191, 191, 191}, {50, 191, 191, 0}, {85, 0, 191, 191}, {120, 0, 191, 0},
                      {155, 191, 0, 191},  {190, 191, 0, 0},  {230, 0, 0, 191}};
    for (const Bar& bar : bars) {
        SCOPED_TRACE(bar.x);
        const std::size_t at = std::size_t((70 * 250 + bar.x) * 4);
        EXPECT_NEAR(own[at + 2], bar.red, 1);
        EXPECT_NEAR(own[at + 1], bar.green, 1);
        EXPECT_NEAR(own[at], bar.blue, 1);
    }
    EXPECT_LT(total / (250.0 * 141 * 3), 3.0);
    EXPECT_LT(far, 250 * 141 * 3 / 50);
}

TEST(OutputChain, PictureWithinAnArea) {
    struct Case {
        PictureSize source;
        PixelShape sourceShape;
        PictureSize area;
        PixelShape areaShape;
        PictureSize expected;
    } const cases[] = {
        {{1920, 1080}, {1, 1}, {632, 556}, {1, 1}, {632, 356}},   // bars above and below
        {{1920, 1080}, {1, 1}, {1887, 953}, {1, 1}, {1694, 953}}, // bars left and right
        {{1920, 1080}, {1, 1}, {1280, 720}, {1, 1}, {1280, 720}}, // the same shape
        {{320, 180}, {1, 1}, {3807, 2033}, {1, 1}, {3614, 2033}}, // grows
        {{720, 576}, {16, 11}, {1024, 576}, {1, 1}, {1024, 563}}, // wide pixels
        {{720, 576}, {1, 1}, {720, 576}, {2, 1}, {360, 576}},     // the area's pixels are wide
        {{1, 1000}, {1, 1}, {100, 100}, {1, 1}, {1, 100}},        // never narrower than a pixel
        {{1920, 1080}, {0, 1}, {632, 556}, {1, 1}, {632, 556}},   // no shape: the whole area
        {{0, 0}, {1, 1}, {632, 556}, {1, 1}, {632, 556}},         // no size: the whole area
    };
    for (const Case& c : cases) {
        const PictureSize got = pictureWithin(c.source, c.sourceShape, c.area, c.areaShape);
        EXPECT_EQ(got.width, c.expected.width) << c.area.width << "x" << c.area.height;
        EXPECT_EQ(got.height, c.expected.height) << c.area.width << "x" << c.area.height;
    }
}

} // namespace
} // namespace tovimo::media
