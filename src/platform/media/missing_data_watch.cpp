// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/missing_data_watch.h"

#include <atomic>

namespace tovimo::media {

namespace {

// Lives as long as its demuxer (object data), and so as long as the pads
// whose probes use it.
struct Streams {
    std::atomic<int> given{0};
    std::atomic<int> endedEmpty{0};
    std::atomic<bool> sampleSeen{false};
    std::atomic<bool> reported{false};
};

constexpr const char* kStreamsKey = "tovimo-streams";

void reportMissingData(GstElement* demuxer) {
    GError* error = g_error_new_literal(GST_STREAM_ERROR, GST_STREAM_ERROR_DEMUX,
                                        "The file ends before the data of its streams: it is cut off.");
    gst_element_post_message(demuxer, gst_message_new_error(GST_OBJECT(demuxer), error,
                                                            "every stream ended before its first sample"));
    g_error_free(error);
}

GstPadProbeReturn onStreamData(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
    auto* streams = static_cast<Streams*>(data);
    if (info->type & (GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST)) {
        // The stream has data: nothing more to watch on this pad.
        streams->sampleSeen = true;
        return GST_PAD_PROBE_REMOVE;
    }
    if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) != GST_EVENT_EOS)
        return GST_PAD_PROBE_OK;
    const int ended = ++streams->endedEmpty;
    if (!streams->sampleSeen && ended >= streams->given && !streams->reported.exchange(true)) {
        ElementPtr demuxer(gst_pad_get_parent_element(pad));
        if (demuxer)
            reportMissingData(demuxer.get());
    }
    return GST_PAD_PROBE_REMOVE;
}

void onPadAdded(GstElement* demuxer, GstPad* pad, gpointer) {
    if (GST_PAD_DIRECTION(pad) != GST_PAD_SRC)
        return;
    auto* streams = static_cast<Streams*>(g_object_get_data(G_OBJECT(demuxer), kStreamsKey));
    if (!streams)
        return;
    ++streams->given;
    gst_pad_add_probe(pad,
                      static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                                   GST_PAD_PROBE_TYPE_BUFFER_LIST |
                                                   GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                      onStreamData, streams, nullptr);
}

} // namespace

void watchForMissingData(GstElement*, GstElement* element, gpointer) {
    GstElementFactory* factory = gst_element_get_factory(element);
    if (!factory || !gst_element_factory_list_is_type(factory, GST_ELEMENT_FACTORY_TYPE_DEMUXER))
        return;
    g_object_set_data_full(G_OBJECT(element), kStreamsKey, new Streams,
                           [](gpointer data) { delete static_cast<Streams*>(data); });
    g_signal_connect(element, "pad-added", G_CALLBACK(onPadAdded), nullptr);
}

} // namespace tovimo::media
