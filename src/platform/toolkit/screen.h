// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace tovimo::tk {

// Screen metrics in twips (1/1440 inch). TwipsPerPixelX/Y convert to the
// device pixels that native child windows and the media service's window
// sizes are in: 1440 over (logical DPI x device pixel ratio), 15 at the usual
// 96 DPI and 7.5 on a screen scaled by 2. Width and Height are the screen's
// size in twips; controls are placed through twipsToPixels, in the logical
// pixels of Qt's widget geometry, so a scaled screen shows the same design.
struct Screen {
    static float TwipsPerPixelX();
    static float TwipsPerPixelY();
    static float Width();
    static float Height();
};

// Twips to whole logical (widget) pixels along one axis, rounded to nearest.
int twipsToPixelsX(float twips);
int twipsToPixelsY(float twips);
// Twips per logical pixel: 1440 over the logical DPI.
float logicalTwipsPerPixelX();
float logicalTwipsPerPixelY();

} // namespace tovimo::tk
