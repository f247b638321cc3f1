// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/gst_support.h"

#include <gst/gst.h>

#include <string>

namespace tovimo::media {

// playbin's GstPlayFlags, which it does not install as a public header.
inline constexpr guint kPlayFlagSoftVolume = 0x10;
inline constexpr guint kPlayFlagNativeVideo = 0x40;

// Switches `flags` of a playbin on or off, leaving the others as they are.
void setPlayFlags(GstElement* playbin, guint flags, bool on);

// A floating videoflip that follows the stream's orientation tag and passes
// frames through untouched until a tag turns the picture; null when the
// element is missing.
GstElement* makeAutoFlip();

struct PictureSize {
    int width = 0;
    int height = 0;
    bool operator==(const PictureSize&) const = default;
};

// The width over the height of one pixel (a caps' pixel-aspect-ratio).
struct PixelShape {
    int numerator = 1;
    int denominator = 1;
};

// The largest picture of the source's shape that fits in `area`, centred
// there with black bars on two sides; sizes are in each side's own pixels.
// Never larger than the area nor smaller than one pixel; the area itself
// when a size or a shape is not positive.
PictureSize pictureWithin(PictureSize source, PixelShape sourceShape, PictureSize area, PixelShape areaShape);

// The chain in front of a sink on the display: turned, scaled and converted
// for `sink`. Returns a floating bin with a "sink" ghost pad that holds a
// reference of its own to `sink` (which must already be owned), or null.
GstElement* videoOutputFor(GstElement* sink);

// playbin's "text-sink" for a bin made by videoOutputFor: takes the
// subtitles at their time and has the bin draw them on the scaled picture.
// A floating element, or null when `output` draws no subtitles.
GstElement* subtitleSinkFor(GstElement* output);

// Has a bin made by videoOutputFor draw the subtitle file beside the media
// file at `path` (see subtitleFileBeside), read whole now, in place of the
// film's own subtitle stream. One that cannot be read, is too large or holds
// no subtitles is left out with a line in the debug log; the film plays
// either way. Call before the pipeline runs.
void showSubtitleFileFor(GstElement* output, const std::string& path);

// playbin's "element-setup" handler: tunes the decoders and queues it adds.
void onElementSetup(GstElement* playbin, GstElement* element, gpointer data);

} // namespace tovimo::media
