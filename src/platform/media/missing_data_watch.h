// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/gst_support.h"

#include <gst/gst.h>

namespace tovimo::media {

// A file whose header is whole but whose data is cut off (a download that
// stopped, a copy cut short) gives its demuxer streams, and then the end of
// each before its first sample. The decoders behind it never learn a format,
// so nothing reaches the sinks, not even the end: the pipeline never
// prerolls and reports nothing. Watching `demuxer`, this posts an error from
// it as soon as every stream it gave has ended without a single sample.
// For playbin's "element-setup"; ignores elements that are not demuxers.
void watchForMissingData(GstElement* playbin, GstElement* element, gpointer data);

} // namespace tovimo::media
