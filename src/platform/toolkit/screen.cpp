#include "platform/toolkit/screen.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace tovimo::tk {
namespace {
constexpr float kTwipsPerInch = 1440.0f;
constexpr float kFallbackDpi = 96.0f;

const QScreen* primary() {
    return QGuiApplication::primaryScreen();
}

float dpiOr96(qreal dpi) {
    return dpi > 0 ? static_cast<float>(dpi) : kFallbackDpi;
}
} // namespace

float Screen::TwipsPerPixelX() {
    const QScreen* s = primary();
    return kTwipsPerInch / (s ? dpiOr96(s->logicalDotsPerInchX()) : kFallbackDpi);
}

float Screen::TwipsPerPixelY() {
    const QScreen* s = primary();
    return kTwipsPerInch / (s ? dpiOr96(s->logicalDotsPerInchY()) : kFallbackDpi);
}

float Screen::Width() {
    const QScreen* s = primary();
    return s ? static_cast<float>(s->geometry().width()) * TwipsPerPixelX() : 0.0f;
}

float Screen::Height() {
    const QScreen* s = primary();
    return s ? static_cast<float>(s->geometry().height()) * TwipsPerPixelY() : 0.0f;
}

int twipsToPixelsX(float twips) {
    return static_cast<int>(std::lround(twips / Screen::TwipsPerPixelX()));
}
int twipsToPixelsY(float twips) {
    return static_cast<int>(std::lround(twips / Screen::TwipsPerPixelY()));
}

} // namespace tovimo::tk
