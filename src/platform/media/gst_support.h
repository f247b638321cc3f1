// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gst/gst.h>

#include <memory>

// GStreamer's reference-counted objects as owning handles, and the probes of
// what this machine can output. No Xlib here.

GST_DEBUG_CATEGORY_EXTERN(tovimo_debug);

namespace tovimo::media {

struct GstObjectUnref {
    void operator()(gpointer object) const {
        if (object)
            gst_object_unref(object);
    }
};
struct GstMessageUnref {
    void operator()(GstMessage* message) const {
        if (message)
            gst_message_unref(message);
    }
};
struct GstCapsUnref {
    void operator()(GstCaps* caps) const {
        if (caps)
            gst_caps_unref(caps);
    }
};
struct GstTagListUnref {
    void operator()(GstTagList* tags) const {
        if (tags)
            gst_tag_list_unref(tags);
    }
};
struct GErrorFree {
    void operator()(GError* error) const {
        if (error)
            g_error_free(error);
    }
};
struct GFree {
    void operator()(gpointer memory) const { g_free(memory); }
};

using ElementPtr = std::unique_ptr<GstElement, GstObjectUnref>;
using BusPtr = std::unique_ptr<GstBus, GstObjectUnref>;
using PadPtr = std::unique_ptr<GstPad, GstObjectUnref>;
using StreamCollectionPtr = std::unique_ptr<GstStreamCollection, GstObjectUnref>;
using MessagePtr = std::unique_ptr<GstMessage, GstMessageUnref>;
using CapsPtr = std::unique_ptr<GstCaps, GstCapsUnref>;
using TagListPtr = std::unique_ptr<GstTagList, GstTagListUnref>;
using ErrorPtr = std::unique_ptr<GError, GErrorFree>;
using GStringPtr = std::unique_ptr<gchar, GFree>;

// Starts preparing the process and returns at once: Xlib thread support and
// the X error handler here (before any other Xlib call, Qt's included), then
// GStreamer's initialisation (its plugin registry takes tens of milliseconds)
// and the `tovimo` debug category on a thread of their own, so that a window
// can map meanwhile. Safe to call more than once.
void startMediaProcess();

// Whether GStreamer is initialised; never waits.
bool mediaProcessReady();

// Starts preparing the process if nothing did, and waits until GStreamer is
// initialised. Call before any GStreamer use. Safe to call more than once.
void initializeMediaProcess();

// Marks `pipeline` as an engine's, so that errors its elements post reach
// its bus even where a bin would keep them (see errorSeenIn).
void markEnginePipeline(GstElement* pipeline);

// Decoding bins drop the errors of an element while they try it out, and
// they try a demuxer by starting it: a demuxer that finds nothing to play at
// once posts its error inside that window, and it never reaches the bus.
// Every error an element inside a marked pipeline posts is therefore also
// announced on the pipeline's bus, ahead of the error itself, as an
// application message. Returns the error message such an announcement
// carries (owned by `message`), or null for any other message.
GstMessage* errorSeenIn(GstMessage* message);

// The scaling sink of real desktops when it can open here, else ximagesink.
// Probed once per process.
const char* videoSinkName();

// Whether any audio output device exists now: a sound server that starts
// after the process, or comes back after a crash, is found. About a
// millisecond; ask at every open.
bool audioDeviceAvailable();

// The General MIDI sound font to give the synthesiser, or null.
const char* soundFontPath();

} // namespace tovimo::media
