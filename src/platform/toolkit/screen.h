#pragma once

namespace tovimo::tk {

// Screen metrics in twips (1/1440 inch). The factors are 1440 over the
// primary screen's logical DPI: 15 at the usual 96 DPI.
struct Screen {
    static float TwipsPerPixelX();
    static float TwipsPerPixelY();
    static float Width();
    static float Height();
};

// Twips to whole pixels along one axis, rounded to nearest.
int twipsToPixelsX(float twips);
int twipsToPixelsY(float twips);

} // namespace tovimo::tk
