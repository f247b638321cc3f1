// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/output_chain.h"

#include <gst/base/gstbasetransform.h>

#include "platform/media/subtitle_file.h"

#include <algorithm>
#include <cstring>
#include <fstream>

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

// Which of the two scalers does the work. Scaling costs per pixel written:
// a picture made smaller is scaled first, in the stream's own format (planar
// YUV, a fast per-plane scaler, a quarter of the bytes for the chroma), and
// only the small picture is converted; a picture made larger is converted at
// the stream's size and the converted picture scaled, so that the converter
// never works on the large one. One pass that converts and scales at once
// leaves the fast scalers for a generic path: a fifth more CPU in the
// window, a quarter more at full screen on 1080.
// The first scaler passes frames through unless the filter behind it asks
// for the output size; the last one then scales whatever remains. Runs on
// each size the sink asks for (a window that grows or shrinks), in the
// streaming thread; the new filter renegotiates from the next frame.
struct ScalerChoice {
    GstElement* firstScaler;
    GstElement* filter;
};

GstPadProbeReturn chooseScaler(GstPad*, GstPadProbeInfo* info, gpointer data) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS)
        return GST_PAD_PROBE_OK;
    const auto* choice = static_cast<const ScalerChoice*>(data);
    GstCaps* caps = nullptr;
    gst_event_parse_caps(event, &caps);
    PadPtr input(gst_element_get_static_pad(choice->firstScaler, "sink"));
    CapsPtr source(input ? gst_pad_get_current_caps(input.get()) : nullptr);
    int width = 0;
    int height = 0;
    int sourceWidth = 0;
    int sourceHeight = 0;
    if (!caps || !source || !gst_structure_get_int(gst_caps_get_structure(caps, 0), "width", &width) ||
        !gst_structure_get_int(gst_caps_get_structure(caps, 0), "height", &height) ||
        !gst_structure_get_int(gst_caps_get_structure(source.get(), 0), "width", &sourceWidth) ||
        !gst_structure_get_int(gst_caps_get_structure(source.get(), 0), "height", &sourceHeight))
        return GST_PAD_PROBE_OK;
    const bool smaller = width <= sourceWidth && height <= sourceHeight;
    CapsPtr wanted(smaller ? gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, width, "height", G_TYPE_INT,
                                                 height, nullptr)
                           : gst_caps_new_empty_simple("video/x-raw"));
    GstCaps* held = nullptr;
    g_object_get(choice->filter, "caps", &held, nullptr);
    const CapsPtr current(held);
    if (!current || !gst_caps_is_equal(current.get(), wanted.get()))
        g_object_set(choice->filter, "caps", wanted.get(), nullptr);
    return GST_PAD_PROBE_OK;
}

} // namespace

// The chain in front of a sink on the display: turned as the stream's
// orientation tag says (phones store upright video lying on its side), then
// scaled to the window and converted for the sink (see chooseScaler), the
// last element writing straight into the sink's shared-memory images.
// playbin's own chain converts first, at the full size, and keeps a
// full-size frame pool of its own. A sink that scales by itself (Xv) takes
// any size, and both scalers then pass frames through. The first converter
// only works for formats that the flip cannot take.
// Returns a floating bin that holds a reference of its own to `sink`, or null.
GstElement* videoOutputFor(GstElement* sink) {
    GstElement* bin = gst_bin_new("video-output");
    GstElement* in = gst_element_factory_make("videoconvert", nullptr);
    GstElement* flip = makeAutoFlip();
    GstElement* firstScaler = gst_element_factory_make("videoscale", "scale-first");
    GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
    GstElement* converter = gst_element_factory_make("videoconvert", "convert");
    GstElement* lastScaler = gst_element_factory_make("videoscale", "scale-last");
    if (!in || !flip || !firstScaler || !filter || !converter || !lastScaler) {
        for (GstElement* element : {in, flip, firstScaler, filter, converter, lastScaler})
            if (element)
                gst_object_unref(gst_object_ref_sink(element));
        gst_object_unref(gst_object_ref_sink(bin));
        return nullptr;
    }
    // The sink is already owned (not floating): the bin takes a reference of its own.
    gst_bin_add_many(GST_BIN(bin), in, flip, firstScaler, filter, converter, lastScaler, sink, nullptr);
    if (!gst_element_link_many(in, flip, firstScaler, filter, converter, lastScaler, sink, nullptr)) {
        gst_object_unref(gst_object_ref_sink(bin));
        return nullptr;
    }
    // The elements live as long as the bin, and the probe goes with the pad.
    PadPtr scaled(gst_element_get_static_pad(lastScaler, "src"));
    gst_pad_add_probe(scaled.get(), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, chooseScaler,
                      new ScalerChoice{firstScaler, filter},
                      [](gpointer data) { delete static_cast<ScalerChoice*>(data); });
    PadPtr target(gst_element_get_static_pad(in, "sink"));
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", target.get()));
    return bin;
}

void addSubtitleFileFor(GstElement* playbin, const std::string& path) {
    const auto subtitle = subtitleFileBeside(path);
    if (!subtitle)
        return;
    char start[4096];
    std::ifstream file(*subtitle, std::ios::binary);
    file.read(start, sizeof start);
    const std::streamsize read = file.gcount();
    if (!file && !file.eof()) {
        GST_CAT_INFO(tovimo_debug, "subtitle file %s ignored: it cannot be read", subtitle->c_str());
        return;
    }
    // Subtitles are text; UTF-16 text starts with its byte order mark.
    const bool utf16 = read >= 2 && ((start[0] == '\xff' && start[1] == '\xfe') || (start[0] == '\xfe' && start[1] == '\xff'));
    if (read == 0 || (!utf16 && std::find(start, start + read, '\0') != start + read)) {
        GST_CAT_INFO(tovimo_debug, "subtitle file %s ignored: it holds no text", subtitle->c_str());
        return;
    }
    GStringPtr uri(gst_filename_to_uri(subtitle->c_str(), nullptr));
    if (!uri)
        return;
    g_object_set(playbin, "suburi", uri.get(), nullptr);
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
