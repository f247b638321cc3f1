// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/playback.h"

#include <gst/gst.h>

#include <string>
#include <vector>

// What the parts of playback.cpp share, and nothing else uses.
namespace tovimo::media::detail {

std::string oneLine(std::string text);

// The failure an ERROR message tells.
PlaybackFailure failureOf(GstMessage* message);

// Whether `object` is, or is inside, an audio output (a sink of sound).
bool isAudioOutput(GstObject* object);

// The id GStreamer gives the streams read from `uri`: a source's streams
// carry the SHA-256 of its URI at the start of their ids.
std::string streamIdOfUri(const char* uri);

// Whether every stream of `streams` was read from the source whose streams'
// ids start with `sourceId` (see streamIdOfUri).
bool onlyFrom(GstStreamCollection* streams, const std::string& sourceId);

// The ids of the streams of `streams` to play: the first video stream, the
// first audio stream and one subtitle stream. With a subtitle file
// (`subtitleFileId` not empty: its streams' ids start with it) that is the
// file's first, and none while its streams are not in `streams` yet: one of
// the media's own would have to be switched away from as the file's come.
// Without one, the media's first. Empty when `streams` holds no subtitle
// stream: decodebin3's own choice is then the same.
std::vector<std::string> streamsToPlay(GstStreamCollection* streams, const std::string& subtitleFileId);

} // namespace tovimo::media::detail
