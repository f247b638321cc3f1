// SPDX-License-Identifier: GPL-3.0-or-later
// Errors: why the engine failed, the ones decoding bins swallow, and an audio output that goes away.
#include "platform/media/playback.h"

#include "platform/media/output_chain.h"
#include "platform/media/playback_detail.h"

#include <gst/audio/streamvolume.h>

#include <cstring>

#define GST_CAT_DEFAULT tovimo_debug

namespace tovimo::media {

namespace detail {

std::string oneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

PlaybackFailure failureOf(GstMessage* message) {
    PlaybackFailure failure;
    GError* error = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    const ErrorPtr ownedError(error);
    const GStringPtr ownedDebug(debug);
    if (error)
        failure.message = error->message;
    if (debug)
        failure.debug = oneLine(debug);
    if (GST_MESSAGE_SRC(message)) {
        const GStringPtr path(gst_object_get_path_string(GST_MESSAGE_SRC(message)));
        failure.element = path.get();
    }
    return failure;
}

// Whether `object` is, or is inside, an audio output (a sink of sound).
bool isAudioOutput(GstObject* object) {
    for (GstObject* at = object ? GST_OBJECT(gst_object_ref(object)) : nullptr; at;) {
        bool audioSink = false;
        if (GST_IS_ELEMENT(at))
            if (GstElementFactory* factory = gst_element_get_factory(GST_ELEMENT(at))) {
                const char* klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
                audioSink = klass && std::strstr(klass, "Sink") && std::strstr(klass, "Audio");
            }
        GstObject* parent = audioSink ? nullptr : gst_object_get_parent(at);
        gst_object_unref(at);
        if (audioSink)
            return true;
        at = parent;
    }
    return false;
}

} // namespace detail

std::string PlaybackFailure::describe() const {
    std::string text = message;
    const auto add = [&text](std::string_view separator, std::string_view before, const std::string& part,
                             std::string_view after) {
        if (part.empty())
            return;
        if (!text.empty())
            text.append(separator);
        text.append(before).append(part).append(after);
    };
    add("; ", "missing: ", missingPlugin, "");
    add(" ", "[", element, "]");
    // The debug text repeats the source file, function and element path
    // before its own words: only those words are worth a line.
    std::string detail = debug;
    if (const auto at = element.empty() ? std::string::npos : detail.rfind(element + ':');
        at != std::string::npos)
        detail.erase(0, at + element.size() + 1);
    else if (!element.empty() && detail.ends_with(element))
        detail.clear();
    while (!detail.empty() && detail.front() == ' ')
        detail.erase(0, 1);
    add(": ", "", detail, "");
    return text;
}

void Playback::fail(PlaybackFailure failure) {
    if (failure.missingPlugin.empty())
        failure.missingPlugin = missingPlugin_;
    lastPositionMs_ = positionMs();
    GST_CAT_INFO(tovimo_debug, "engine failed at %" G_GINT64_FORMAT " ms: %s; %s -> stopped", lastPositionMs_,
                 failure.describe().c_str(), modeName(mode_));
    failure_ = std::move(failure);
    seenErrors_.clear();
    stopRun();
    seek_.reset();
    wanted_ = PlaybackMode::Stopped;
    transition(PlaybackMode::Stopped, "failed");
    if (changed_)
        changed_(); // the failure itself is news, whatever the mode was
    // Nothing is left half-running: a seek prerolls again from here.
    setTarget(GST_STATE_READY);
}

bool Playback::playOnWithoutSound() {
    const bool playing = mode_ == PlaybackMode::Playing;
    const std::int64_t at = run_.endedAtMs ? *run_.endedAtMs : lastPositionMs_;
    GST_CAT_INFO(tovimo_debug, "the audio output failed at %" G_GINT64_FORMAT " ms: on without sound", at);
    soundLost_ = true;
    seek_.reset();
    wanted_ = PlaybackMode::Stopped;
    setTarget(GST_STATE_READY);
    transition(PlaybackMode::Stopped, "the audio output failed");
    GstElement* silent = gst_element_factory_make("fakeaudiosink", nullptr);
    if (!silent)
        return false;
    g_object_set(pipeline_.get(), "audio-sink", silent, nullptr);
    if (!prerollAgain() || !seekPaused(at))
        return false;
    gst_stream_volume_set_volume(GST_STREAM_VOLUME(pipeline_.get()), GST_STREAM_VOLUME_FORMAT_CUBIC,
                                 volume_ / 1000.0);
    if (playing)
        return request(PlaybackMode::Playing, "play on without sound");
    if (changed_)
        changed_();
    return true;
}

// An error that reached the bus clears the record of its sighting at once;
// one still missing after a while from an element that went on to run (it
// was not merely tried and thrown away by its bin) was swallowed, and fails
// the engine as it would have.
void Playback::checkSeenErrors() {
    constexpr auto kGrace = std::chrono::milliseconds(100);
    constexpr auto kForget = std::chrono::seconds(3);
    const auto now = Clock::now();
    for (auto it = seenErrors_.begin(); it != seenErrors_.end();) {
        GstElement* element = it->element.get();
        const ElementPtr parent(GST_ELEMENT_CAST(gst_object_get_parent(GST_OBJECT(element))));
        GstState state = GST_STATE_VOID_PENDING;
        gst_element_get_state(element, &state, nullptr, 0);
        if (parent && state >= GST_STATE_PAUSED && now - it->seenAt >= kGrace) {
            GST_CAT_INFO(tovimo_debug, "an error of %s never reached the bus", GST_ELEMENT_NAME(element));
            fail(detail::failureOf(it->message.get()));
            return;
        }
        if (!parent || now - it->seenAt > kForget)
            it = seenErrors_.erase(it);
        else
            ++it;
    }
}

} // namespace tovimo::media
