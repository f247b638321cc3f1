// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/output_chain.h"

#include "platform/media/converting_scaler.h"
#include "platform/media/subtitle_file.h"

#include <gst/base/gstbasetransform.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>

namespace tovimo::media {

namespace {

// Frame-threaded decoding keeps a set of full-size frames for each thread
// (22 MB more at 1080p with two threads than with one) and costs more CPU in
// all than decoding on one thread, which keeps up with streams up to 1080p30
// with room to spare. Larger or faster streams keep the decoder's own choice.
// Runs on the decoder's input before it sees the stream's format.
GstPadProbeReturn limitDecoderThreads(GstPad* pad, GstPadProbeInfo* info, gpointer) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS)
        return GST_PAD_PROBE_OK;
    GstCaps* caps = nullptr;
    gst_event_parse_caps(event, &caps);
    const GstStructure* format = caps ? gst_caps_get_structure(caps, 0) : nullptr;
    int width = 0;
    int height = 0;
    int rateNumerator = 0;
    int rateDenominator = 1;
    if (!format || !gst_structure_get_int(format, "width", &width) ||
        !gst_structure_get_int(format, "height", &height))
        return GST_PAD_PROBE_OK;
    if (!gst_structure_get_fraction(format, "framerate", &rateNumerator, &rateDenominator) ||
        rateNumerator <= 0 || rateDenominator <= 0) {
        rateNumerator = 30; // unknown or variable: count it as the usual rate
        rateDenominator = 1;
    }
    constexpr double kOneThreadPixelRate = 1920.0 * 1088.0 * 30.0;
    const double pixelRate = double(width) * height * rateNumerator / rateDenominator;
    ElementPtr decoder(gst_pad_get_parent_element(pad));
    if (decoder)
        g_object_set(decoder.get(), "max-threads", pixelRate <= kOneThreadPixelRate ? 1 : 0, nullptr);
    return GST_PAD_PROBE_OK;
}

} // namespace

void setPlayFlags(GstElement* playbin, guint flags, bool on) {
    guint current = 0;
    g_object_get(playbin, "flags", &current, nullptr);
    g_object_set(playbin, "flags", on ? (current | flags) : (current & ~flags), nullptr);
}

// videoflip only switches passthrough on when its method changes, and a new
// one starts as "identity" without it: left alone it copies every frame at
// full size (a 1080p stream: 90 MB/s of copying and a pool of three 3 MB
// frames). A tag that turns the picture changes the method, which switches
// passthrough off again.
GstElement* makeAutoFlip() {
    GstElement* flip = gst_element_factory_make("videoflip", nullptr);
    if (!flip)
        return nullptr;
    gst_util_set_object_arg(G_OBJECT(flip), "video-direction", "auto");
    gst_base_transform_set_passthrough(GST_BASE_TRANSFORM(flip), TRUE);
    return flip;
}

namespace {

// Where the picture is scaled. The picture keeps its shape: a sink that
// shows frames of any size in a larger window (ximagesink centres them and
// paints the rest black once) is offered a smaller picture at the size it takes
// within the window, so that no border is scaled, converted or copied with
// every frame (see offerPictureSize). A film's usual pictures (4:2:0 YUV)
// for an RGB display are scaled and converted at once by the converter's
// own pass (makeConvertingScaler), whichever way the size goes: half the
// CPU of the library's passes, and no pool of scaled frames in between.
// Otherwise a picture made smaller is scaled first, in the stream's own
// format (planar YUV: a per-plane scaler, a quarter of the bytes for the
// chroma), and only the small picture is converted: the library's one pass
// that converts and scales at once leaves its fast scalers for a generic
// path, a fifth more CPU in the window and a tenth more at full screen on
// 1080. A picture made larger is converted and scaled in that one pass,
// which costs less than scaling the planes up first and keeps no pool of
// large frames in between (a 4K screen: 11 MB less).
// The first scaler passes frames through unless the filter behind it asks
// for the output size; the converter then converts at that size, or
// converts and scales. Runs on each size the sink asks for (a window that
// grows or shrinks), in the streaming thread; the new filter renegotiates
// from the next frame.
struct ScalerChoice {
    GstElement* filter;
    // The stream's size and pixel shape, as the first scaler takes them;
    // written by the stream's caps on their way in, read when the sink is
    // asked for its size and when its answer comes back.
    std::atomic<int> sourceWidth{0};
    std::atomic<int> sourceHeight{0};
    std::atomic<int> sourceShapeNumerator{1};
    std::atomic<int> sourceShapeDenominator{1};
    // Whether the converter scales the stream's pictures as it converts
    // them, in one pass of its own (see makeConvertingScaler).
    std::atomic<bool> sourceInOnePass{false};
};

using SharedChoice = std::shared_ptr<ScalerChoice>;

void forgetChoice(gpointer data) {
    delete static_cast<SharedChoice*>(data);
}

// The picture a caps event carries, when it carries one.
const GstStructure* pictureOf(GstEvent* capsEvent, int& width, int& height) {
    GstCaps* caps = nullptr;
    gst_event_parse_caps(capsEvent, &caps);
    if (!caps || gst_caps_is_empty(caps))
        return nullptr;
    const GstStructure* picture = gst_caps_get_structure(caps, 0);
    return gst_structure_get_int(picture, "width", &width) &&
                   gst_structure_get_int(picture, "height", &height)
               ? picture
               : nullptr;
}

// A picture's pixel shape; square when it names none, or a shape that is not one.
PixelShape pixelShapeOf(const GstStructure* picture) {
    PixelShape shape;
    if (!gst_structure_get_fraction(picture, "pixel-aspect-ratio", &shape.numerator, &shape.denominator) ||
        shape.numerator <= 0 || shape.denominator <= 0)
        shape = PixelShape{};
    return shape;
}

// The caps of the stream reach the first scaler before its own caps go out:
// they are noted here, since the pad keeps them only once they are taken.
GstPadProbeReturn noteSourceSize(GstPad*, GstPadProbeInfo* info, gpointer data) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS)
        return GST_PAD_PROBE_OK;
    const SharedChoice& choice = *static_cast<SharedChoice*>(data);
    int width = 0;
    int height = 0;
    if (const GstStructure* picture = pictureOf(event, width, height)) {
        const PixelShape shape = pixelShapeOf(picture);
        choice->sourceShapeNumerator = shape.numerator;
        choice->sourceShapeDenominator = shape.denominator;
        choice->sourceInOnePass = takesInOnePass(picture);
        choice->sourceWidth = width;
        choice->sourceHeight = height;
    }
    return GST_PAD_PROBE_OK;
}

// The sink's answer to "which frames do you take", on its way back to the
// converter. A sink that shows its window's size first and any size after
// it (ximagesink) is offered the picture's own size within that window
// first, so that the converter fixes on it; a sink that takes one size only
// keeps its answer, and the scalers fill its borders. A picture made larger
// keeps the window's size too: on a 4K screen the one pass that converts,
// scales up and draws the bars cost 4-6% less than handing ximagesink the
// smaller picture to centre (three runs side by side).
GstPadProbeReturn offerPictureSize(GstPad*, GstPadProbeInfo* info, gpointer data) {
    GstQuery* query = GST_PAD_PROBE_INFO_QUERY(info);
    if (GST_QUERY_TYPE(query) != GST_QUERY_CAPS || !gst_query_is_writable(query))
        return GST_PAD_PROBE_OK;
    const SharedChoice& choice = *static_cast<SharedChoice*>(data);
    const int sourceWidth = choice->sourceWidth;
    const int sourceHeight = choice->sourceHeight;
    GstCaps* answer = nullptr;
    gst_query_parse_caps_result(query, &answer);
    if (sourceWidth <= 0 || sourceHeight <= 0 || !answer || gst_caps_is_empty(answer) ||
        gst_caps_is_any(answer))
        return GST_PAD_PROBE_OK;
    const GstStructure* window = gst_caps_get_structure(answer, 0);
    int width = 0;
    int height = 0;
    if (!gst_structure_get_int(window, "width", &width) || !gst_structure_get_int(window, "height", &height))
        return GST_PAD_PROBE_OK;
    const PictureSize picture = pictureWithin({sourceWidth, sourceHeight},
                                              {choice->sourceShapeNumerator, choice->sourceShapeDenominator},
                                              {width, height}, pixelShapeOf(window));
    if ((picture.width == width && picture.height == height) || picture.width > sourceWidth ||
        picture.height > sourceHeight)
        return GST_PAD_PROBE_OK;
    GstStructure* wanted = gst_structure_copy(window);
    gst_structure_set(wanted, "width", G_TYPE_INT, picture.width, "height", G_TYPE_INT, picture.height,
                      nullptr);
    const CapsPtr offered(gst_caps_new_full(wanted, nullptr));
    CapsPtr taken(gst_caps_intersect_full(offered.get(), answer, GST_CAPS_INTERSECT_FIRST));
    if (gst_caps_is_empty(taken.get()))
        return GST_PAD_PROBE_OK;
    const CapsPtr merged(gst_caps_merge(taken.release(), gst_caps_copy(answer)));
    gst_query_set_caps_result(query, merged.get());
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn chooseScaler(GstPad*, GstPadProbeInfo* info, gpointer data) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS)
        return GST_PAD_PROBE_OK;
    const SharedChoice& choice = *static_cast<SharedChoice*>(data);
    int width = 0;
    int height = 0;
    const int sourceWidth = choice->sourceWidth;
    const int sourceHeight = choice->sourceHeight;
    const GstStructure* shown = pictureOf(event, width, height);
    if (sourceWidth <= 0 || sourceHeight <= 0 || !shown)
        return GST_PAD_PROBE_OK;
    const bool smaller =
        width <= sourceWidth && height <= sourceHeight && (width < sourceWidth || height < sourceHeight);
    const bool onePass = choice->sourceInOnePass && givesInOnePass(shown);
    const bool scaleFirst = smaller && !onePass;
    GST_CAT_DEBUG(tovimo_debug, "picture %dx%d shown at %dx%d: %s", sourceWidth, sourceHeight, width, height,
                  scaleFirst ? "scaled, then converted" : "converted and scaled");
    CapsPtr wanted(gst_caps_new_empty_simple("video/x-raw"));
    if (scaleFirst) {
        gst_caps_set_simple(wanted.get(), "width", G_TYPE_INT, width, "height", G_TYPE_INT, height, nullptr);
        // The scaler keeps the picture's shape by filling borders only when
        // it must give the sink's pixel shape too; left free, it would
        // stretch the picture to the whole area with pixels of another
        // shape, and the converter would then scale it a second time.
        if (const GValue* shape = gst_structure_get_value(shown, "pixel-aspect-ratio"))
            gst_caps_set_value(wanted.get(), "pixel-aspect-ratio", shape);
    }
    GstCaps* held = nullptr;
    g_object_get(choice->filter, "caps", &held, nullptr);
    const CapsPtr current(held);
    if (!current || !gst_caps_is_equal(current.get(), wanted.get()))
        g_object_set(choice->filter, "caps", wanted.get(), nullptr);
    return GST_PAD_PROBE_OK;
}

} // namespace

PictureSize pictureWithin(PictureSize source, PixelShape sourceShape, PictureSize area,
                          PixelShape areaShape) {
    if (source.width <= 0 || source.height <= 0 || area.width <= 0 || area.height <= 0 ||
        sourceShape.numerator <= 0 || sourceShape.denominator <= 0 || areaShape.numerator <= 0 ||
        areaShape.denominator <= 0)
        return area;
    // The picture's width over its height, counted in the area's pixels.
    const double aspect = double(source.width) * sourceShape.numerator * areaShape.denominator /
                          (double(source.height) * sourceShape.denominator * areaShape.numerator);
    const double heightAtFullWidth = area.width / aspect;
    if (heightAtFullWidth <= area.height)
        return {area.width, std::clamp(int(std::lround(heightAtFullWidth)), 1, area.height)};
    return {std::clamp(int(std::lround(area.height * aspect)), 1, area.width), area.height};
}

namespace {

// The subtitle on screen. A subtitle file beside the film is read whole
// when it opens, and each frame going past the overlay shows the cues that
// cover its time in the media. Without one, the text sink takes each
// subtitle of the film's own stream at its time (playbin makes it wait for
// the clock), and the frames show it for as long as their time lies within
// it. Either way a seek away from a subtitle, or its end, takes it off the
// picture.
struct SubtitleState {
    GstElement* overlay = nullptr; // lives as long as the output bin
    std::mutex lock;
    std::shared_ptr<const SubtitleTrack> file;
    std::string text; // pango markup
    GstClockTime start = GST_CLOCK_TIME_NONE;
    GstClockTime end = GST_CLOCK_TIME_NONE;
    // Only touched by the video's streaming thread.
    GstSegment segment{};
    std::string shown;
};

using SharedSubtitle = std::shared_ptr<SubtitleState>;
constexpr const char* kSubtitleKey = "tovimo-subtitle";

void forgetSubtitle(gpointer data) {
    delete static_cast<SharedSubtitle*>(data);
}

// Subtitle streams come as pango markup or as plain text, which the overlay
// would read as markup ("a & b" would show nothing).
bool isPlainText(GstPad* pad) {
    const CapsPtr caps(pad ? gst_pad_get_current_caps(pad) : nullptr);
    const GstStructure* format =
        caps && !gst_caps_is_empty(caps.get()) ? gst_caps_get_structure(caps.get(), 0) : nullptr;
    const char* kind = format ? gst_structure_get_string(format, "format") : nullptr;
    return kind && std::strcmp(kind, "utf8") == 0;
}

std::string markupOf(std::string_view plain) {
    const GStringPtr escaped(g_markup_escape_text(plain.data(), gssize(plain.size())));
    return escaped ? std::string(escaped.get()) : std::string();
}

void takeSubtitle(GstElement*, GstBuffer* buffer, GstPad* pad, gpointer data) {
    const SharedSubtitle& state = *static_cast<SharedSubtitle*>(data);
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
        return;
    std::string text(reinterpret_cast<const char*>(map.data), map.size);
    gst_buffer_unmap(buffer, &map);
    if (isPlainText(pad))
        text = markupOf(text);
    const std::lock_guard held(state->lock);
    state->text = std::move(text);
    state->start = GST_BUFFER_PTS(buffer);
    state->end = GST_BUFFER_DURATION_IS_VALID(buffer) && GST_BUFFER_PTS_IS_VALID(buffer)
                     ? GST_BUFFER_PTS(buffer) + GST_BUFFER_DURATION(buffer)
                     : GST_CLOCK_TIME_NONE;
}

GstPadProbeReturn showSubtitle(GstPad*, GstPadProbeInfo* info, gpointer data) {
    const SharedSubtitle& state = *static_cast<SharedSubtitle*>(data);
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT)
            gst_event_copy_segment(event, &state->segment);
        return GST_PAD_PROBE_OK;
    }
    const GstClockTime time = GST_BUFFER_PTS(GST_PAD_PROBE_INFO_BUFFER(info));
    // Cue times count from the media's start, as the position does: a
    // stream whose first frame is not at 0 is read through its segment.
    const guint64 streamTime = state->segment.format == GST_FORMAT_TIME && GST_CLOCK_TIME_IS_VALID(time)
                                   ? gst_segment_to_stream_time(&state->segment, GST_FORMAT_TIME, time)
                                   : GST_CLOCK_TIME_NONE;
    std::string wanted;
    {
        const std::lock_guard held(state->lock);
        if (state->file) {
            if (GST_CLOCK_TIME_IS_VALID(streamTime))
                wanted = markupOf(state->file->textAt(std::int64_t(streamTime / GST_MSECOND)));
        } else {
            const bool within = GST_CLOCK_TIME_IS_VALID(time) && GST_CLOCK_TIME_IS_VALID(state->start) &&
                                time + GST_SECOND / 10 >= state->start &&
                                (!GST_CLOCK_TIME_IS_VALID(state->end) || time < state->end);
            if (within)
                wanted = state->text;
        }
    }
    if (wanted != state->shown) {
        GST_CAT_LOG(tovimo_debug, "subtitle at %" GST_TIME_FORMAT " (stream time %" GST_TIME_FORMAT "): %s",
                    GST_TIME_ARGS(time), GST_TIME_ARGS(streamTime), wanted.c_str());
        g_object_set(state->overlay, "text", wanted.c_str(), nullptr);
        state->shown = std::move(wanted);
    }
    return GST_PAD_PROBE_OK;
}

} // namespace

// The chain in front of a sink on the display: turned as the stream's
// orientation tag says (phones store upright video lying on its side), then
// scaled to its size within the window and converted for the sink (see
// ScalerChoice), the last element writing straight into the sink's
// shared-memory images.
// playbin's own chain converts first, at the full size, and keeps a
// full-size frame pool of its own. A sink that scales by itself (Xv) takes
// any size, and the chain then only converts. The first converter only
// works for formats that the flip cannot take.
// Returns a floating bin that holds a reference of its own to `sink`, or null.
GstElement* videoOutputFor(GstElement* sink) {
    GstElement* bin = gst_bin_new("video-output");
    GstElement* in = gst_element_factory_make("videoconvert", nullptr);
    GstElement* flip = makeAutoFlip();
    GstElement* firstScaler = gst_element_factory_make("videoscale", "scale-first");
    GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
    GstElement* lastScaler = makeConvertingScaler("convert");
    if (!in || !flip || !firstScaler || !filter || !lastScaler) {
        for (GstElement* element : {in, flip, firstScaler, filter, lastScaler})
            if (element)
                gst_object_unref(gst_object_ref_sink(element));
        gst_object_unref(gst_object_ref_sink(bin));
        return nullptr;
    }
    // Subtitles are drawn on the scaled picture: at the window's resolution,
    // and only over the text's own area. With no text the overlay passes
    // frames on untouched.
    GstElement* overlay = gst_element_factory_make("textoverlay", "subtitles");
    GstElement* last = lastScaler;
    // The sink is already owned (not floating): the bin takes a reference of its own.
    gst_bin_add_many(GST_BIN(bin), in, flip, firstScaler, filter, lastScaler, sink, nullptr);
    if (overlay) {
        // The overlay sizes the font to the picture's width (auto-resize):
        // 20 px on a picture 640 px wide.
        g_object_set(overlay, "wait-text", FALSE, "valignment", 1 /* bottom */, "ypad", 12, "font-desc",
                     "Sans Bold 20px", nullptr);
        gst_bin_add(GST_BIN(bin), overlay);
        if (gst_element_link(lastScaler, overlay))
            last = overlay;
        else
            gst_bin_remove(GST_BIN(bin), overlay);
    }
    if (!gst_element_link_many(in, flip, firstScaler, filter, lastScaler, nullptr) ||
        !gst_element_link(last, sink)) {
        gst_object_unref(gst_object_ref_sink(bin));
        return nullptr;
    }
    if (last == overlay) {
        auto state = std::make_shared<SubtitleState>();
        state->overlay = overlay;
        g_object_set_data_full(G_OBJECT(bin), kSubtitleKey, new SharedSubtitle(state), forgetSubtitle);
        PadPtr shown(gst_element_get_static_pad(overlay, "video_sink"));
        gst_segment_init(&state->segment, GST_FORMAT_UNDEFINED);
        gst_pad_add_probe(
            shown.get(),
            static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
            showSubtitle, new SharedSubtitle(state), forgetSubtitle);
    }
    // The elements live as long as the bin, and the probe goes with the pad.
    auto choice = std::make_shared<ScalerChoice>();
    choice->filter = filter;
    PadPtr source(gst_element_get_static_pad(firstScaler, "sink"));
    gst_pad_add_probe(source.get(), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, noteSourceSize,
                      new SharedChoice(choice), forgetChoice);
    PadPtr scaled(gst_element_get_static_pad(lastScaler, "src"));
    gst_pad_add_probe(scaled.get(), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, chooseScaler,
                      new SharedChoice(choice), forgetChoice);
    // On the converter's peer, which the converter asks directly, and after
    // the answer: the probe rewrites what the sink said.
    PadPtr shownAt(gst_pad_get_peer(scaled.get()));
    gst_pad_add_probe(
        shownAt.get(),
        static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM | GST_PAD_PROBE_TYPE_PULL),
        offerPictureSize, new SharedChoice(choice), forgetChoice);
    PadPtr target(gst_element_get_static_pad(in, "sink"));
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", target.get()));
    return bin;
}

GstElement* subtitleSinkFor(GstElement* output) {
    const auto* state = static_cast<const SharedSubtitle*>(g_object_get_data(G_OBJECT(output), kSubtitleKey));
    if (!state)
        return nullptr;
    GstElement* sink = gst_element_factory_make("fakesink", "subtitle-sink");
    if (!sink)
        return nullptr;
    g_object_set(sink, "signal-handoffs", TRUE, nullptr);
    g_signal_connect_data(
        sink, "handoff", G_CALLBACK(takeSubtitle), new SharedSubtitle(*state),
        [](gpointer data, GClosure*) { forgetSubtitle(data); }, GConnectFlags(0));
    return sink;
}

// Subtitle files larger than this are not worth holding in memory.
constexpr std::size_t kLargestSubtitleFile = 8 * 1024 * 1024;

void showSubtitleFileFor(GstElement* output, const std::string& path) {
    const auto* state = static_cast<const SharedSubtitle*>(g_object_get_data(G_OBJECT(output), kSubtitleKey));
    if (!state)
        return;
    const auto subtitle = subtitleFileBeside(path);
    if (!subtitle)
        return;
    std::string reason;
    std::optional<std::string> text = readSubtitleFile(*subtitle, kLargestSubtitleFile, reason);
    if (!text) {
        GST_CAT_INFO(tovimo_debug, "subtitle file %s ignored: %s", subtitle->c_str(), reason.c_str());
        return;
    }
    auto track = std::make_shared<const SubtitleTrack>(subtitleCuesOf(std::move(*text)));
    if (track->empty()) {
        GST_CAT_INFO(tovimo_debug, "subtitle file %s ignored: it holds no subtitles", subtitle->c_str());
        return;
    }
    const std::lock_guard held((*state)->lock);
    (*state)->file = std::move(track);
    GST_CAT_DEBUG(tovimo_debug, "subtitle file %s", subtitle->c_str());
}

void onElementSetup(GstElement*, GstElement* element, gpointer) {
    GstElementFactory* factory = gst_element_get_factory(element);
    if (!factory)
        return;
    const char* kind = GST_OBJECT_NAME(factory);
    if (std::strcmp(kind, "fluiddec") == 0) {
        if (const char* font = soundFontPath())
            g_object_set(element, "soundfont", font, nullptr);
        // The synthesiser's own gain is too quiet to hear beside other media.
        g_object_set(element, "synth-gain", 1.0, nullptr);
    } else if (g_object_class_find_property(G_OBJECT_GET_CLASS(element), "max-threads") &&
               gst_element_factory_list_is_type(factory, GST_ELEMENT_FACTORY_TYPE_DECODER |
                                                             GST_ELEMENT_FACTORY_TYPE_MEDIA_VIDEO)) {
        // Decoding straight into the frames sent downstream leaves the
        // decoder holding those it still refers to, and each of them is then
        // copied into a fresh full-size allocation as it goes out (3 MB per
        // frame at 1080p, 90 MB/s allocated and freed). Decoding into the
        // decoder's own frames costs the same one copy per frame, made into
        // a pooled frame, and keeps fewer frames.
        if (g_object_class_find_property(G_OBJECT_GET_CLASS(element), "direct-rendering"))
            g_object_set(element, "direct-rendering", FALSE, nullptr);
        PadPtr input(gst_element_get_static_pad(element, "sink"));
        if (input)
            gst_pad_add_probe(input.get(), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, limitDecoderThreads, nullptr,
                              nullptr);
    } else if (std::strcmp(kind, "queue") == 0 && std::strcmp(GST_OBJECT_NAME(element), "vqueue") == 0) {
        // The queue in front of the video sink holds decoded frames at their
        // full size (3 MB each at 1080p, 12 MB at 4K). The decoder keeps well
        // ahead of a sink that waits for the clock with one.
        g_object_set(element, "max-size-buffers", 1u, nullptr);
    }
}

} // namespace tovimo::media
