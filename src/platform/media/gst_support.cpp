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

std::once_flag started;
// Shared so that every waiter sees the one initialisation; the last copy
// waits for the thread at exit, so the process never ends in the middle of it.
std::shared_future<void> initialised;
std::atomic<bool> ready{false};

void initializeGStreamer() {
    if (!gst_is_initialized())
        gst_init(nullptr, nullptr);
    gst_pb_utils_init();
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
    static const bool available = [] {
        std::unique_ptr<GstDeviceMonitor, GstObjectUnref> monitor(gst_device_monitor_new());
        gst_device_monitor_add_filter(monitor.get(), "Audio/Sink", nullptr);
        GList* devices = gst_device_monitor_get_devices(monitor.get());
        const bool any = devices != nullptr;
        g_list_free_full(devices, gst_object_unref);
        return any;
    }();
    return available;
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
