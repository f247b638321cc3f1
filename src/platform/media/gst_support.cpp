// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/gst_support.h"

#include "platform/media/x11_child_window.h"

#include <gst/pbutils/pbutils.h>

#include <X11/Xlib.h>

#include <atomic>
#include <future>
#include <mutex>
#include <unistd.h>

GST_DEBUG_CATEGORY(tovimo_debug);

namespace tovimo::media {

namespace {

constexpr const char* kEngineMark = "tovimo-engine";
constexpr const char* kErrorSeen = "tovimo-error-seen";

// A tracer of our own, only to receive the hook below.
struct ErrorWatch {
    GstTracer parent;
};
struct ErrorWatchClass {
    GstTracerClass parentClass;
};
G_DEFINE_TYPE(ErrorWatch, error_watch, GST_TYPE_TRACER)
void error_watch_class_init(ErrorWatchClass*) {}
void error_watch_init(ErrorWatch*) {}

// Runs on whichever thread posts, before the element's bin sees the message.
void announceError(GObject*, GstClockTime, GstElement* element, GstMessage* message) {
    // Bins pass a child's error on by posting it again: only the first post counts.
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_ERROR || GST_MESSAGE_SRC(message) != GST_OBJECT(element))
        return;
    GstObject* top = gst_object_get_parent(GST_OBJECT(element));
    if (!top)
        return;
    while (GstObject* parent = gst_object_get_parent(top)) {
        gst_object_unref(top);
        top = parent;
    }
    if (GST_IS_PIPELINE(top) && g_object_get_data(G_OBJECT(top), kEngineMark)) {
        if (GstBus* bus = gst_element_get_bus(GST_ELEMENT(top))) {
            GstStructure* body = gst_structure_new(kErrorSeen, "error", GST_TYPE_MESSAGE, message, nullptr);
            gst_bus_post(bus, gst_message_new_application(GST_OBJECT(element), body));
            gst_object_unref(bus);
        }
    }
    gst_object_unref(top);
}

std::once_flag started;
// Shared so that every waiter sees the one initialisation; the last copy
// waits for the thread at exit, so the process never ends in the middle of it.
std::shared_future<void> initialised;
std::atomic<bool> ready{false};

void initializeGStreamer() {
    if (!gst_is_initialized())
        gst_init(nullptr, nullptr);
    gst_pb_utils_init();
    // The tracer lives as long as the process, as GStreamer's own do.
    gst_tracing_register_hook(GST_TRACER(g_object_new(error_watch_get_type(), nullptr)),
                              "element-post-message-pre", G_CALLBACK(announceError));
    GST_DEBUG_CATEGORY_INIT(tovimo_debug, "tovimo", 0, "Tovimo media command service");
    ready.store(true, std::memory_order_release);
}

} // namespace

void startMediaProcess() {
    std::call_once(started, [] {
        XInitThreads();
        installXErrorHandler();
        initialised = std::async(std::launch::async, initializeGStreamer).share();
    });
}

bool mediaProcessReady() {
    return ready.load(std::memory_order_acquire);
}

void initializeMediaProcess() {
    startMediaProcess();
    initialised.wait();
}

void markEnginePipeline(GstElement* pipeline) {
    g_object_set_data(G_OBJECT(pipeline), kEngineMark, GINT_TO_POINTER(1));
}

GstMessage* errorSeenIn(GstMessage* message) {
    const GstStructure* body = gst_message_get_structure(message);
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_APPLICATION || !body ||
        !gst_structure_has_name(body, kErrorSeen))
        return nullptr;
    const GValue* value = gst_structure_get_value(body, "error");
    return value ? GST_MESSAGE(g_value_get_boxed(value)) : nullptr;
}

const char* videoSinkName() {
    static const char* name = [] {
        ElementPtr sink(gst_element_factory_make("xvimagesink", nullptr));
        if (sink) {
            gst_object_ref_sink(sink.get());
            const bool usable =
                gst_element_set_state(sink.get(), GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
            gst_element_set_state(sink.get(), GST_STATE_NULL);
            if (usable)
                return "xvimagesink";
        }
        return "ximagesink";
    }();
    return name;
}

bool audioDeviceAvailable() {
    std::unique_ptr<GstDeviceMonitor, GstObjectUnref> monitor(gst_device_monitor_new());
    gst_device_monitor_add_filter(monitor.get(), "Audio/Sink", nullptr);
    GList* devices = gst_device_monitor_get_devices(monitor.get());
    const bool any = devices != nullptr;
    g_list_free_full(devices, gst_object_unref);
    return any;
}

const char* soundFontPath() {
    static const char* const candidates[] = {
        "/usr/share/sounds/sf2/default-GM.sf2",
        "/usr/share/sounds/sf2/FluidR3_GM.sf2",
        "/usr/share/sounds/sf2/TimGM6mb.sf2",
    };
    for (const char* path : candidates)
        if (::access(path, R_OK) == 0)
            return path;
    return nullptr;
}

} // namespace tovimo::media
