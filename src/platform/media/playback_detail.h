// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/playback.h"

#include <gst/gst.h>

#include <string>

// What the parts of playback.cpp share, and nothing else uses.
namespace tovimo::media::detail {

std::string oneLine(std::string text);

// The failure an ERROR message tells.
PlaybackFailure failureOf(GstMessage* message);

// Whether `object` is, or is inside, an audio output (a sink of sound).
bool isAudioOutput(GstObject* object);

} // namespace tovimo::media::detail
