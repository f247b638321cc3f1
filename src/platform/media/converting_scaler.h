// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gst/gst.h>

namespace tovimo::media {

// A videoconvertscale that scales 4:2:0 YUV pictures and converts them to
// 32-bit RGB in one pass of its own (PictureScaler), writing straight into
// the frames it hands on: a film on an X display. GStreamer's own passes
// scale 8-bit planes with a plain byte-at-a-time loop and keep a pool of
// scaled frames between scaling and converting. Every other case, and all
// negotiation, stay the library element's.
// A floating element named `name`, a plain videoconvertscale when the
// library's element cannot be extended, or null when it is missing.
GstElement* makeConvertingScaler(const char* name);

// Whether `element` (made by makeConvertingScaler) converts the pictures of
// its current caps in its own pass.
bool convertsInOwnPass(GstElement* element);

// Whether the converting scaler takes pictures of `source` (caps of a
// picture, their first structure) in its own single pass, and whether it
// gives pictures of `shown` in it: both, and it scales and converts at once.
bool takesInOnePass(const GstStructure* source);
bool givesInOnePass(const GstStructure* shown);

} // namespace tovimo::media
