// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gst/gst.h>

namespace tovimo::media {

// A videoconvertscale that scales 4:2:0 YUV pictures and converts them to
// 32-bit RGB in one pass of its own (PictureScaler), writing straight into
// the frames it hands on: the common case of a film on an X display, where
// the library's one pass leaves the fast paths, and scaling first keeps a
// pool of scaled frames and still reads each source row once per plane
// pass. Every other case, and negotiation, is the library element's own.
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
