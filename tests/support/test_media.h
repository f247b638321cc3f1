// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Media files made at test time with gst-launch-1.0 (gstreamer1.0-tools and
// the base, good, bad and ugly plugins), each 10.5 s long. Every function
// returns false when the file could not be made.
namespace tovimo::testing {

// Solid blue, 320x240 at 10 frames a second, H.264 in MP4.
bool makeBlueVideo(const QString& path);
// Four coloured quarters, each 160x120 (see kQuarterColours), H.264 in MP4,
// so that a picture shown too small or shifted shows in the wrong quarters.
bool makeQuartersVideo(const QString& path);
// The quarters' colours: top left, top right, bottom left, bottom right.
inline constexpr unsigned kQuarterColours[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};

// A sine tone, MP3 with a Xing header so that its length is exact.
bool makeMp3(const QString& path);
// One piano note held, a format-0 MIDI file written byte by byte.
bool makeMidi(const QString& path);

} // namespace tovimo::testing
