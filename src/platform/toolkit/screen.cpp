// SPDX-License-Identifier: GPL-3.0-or-later
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

float devicePixelRatio() {
    const QScreen* s = primary();
    const qreal ratio = s ? s->devicePixelRatio() : 1.0;
    return ratio > 0 ? static_cast<float>(ratio) : 1.0f;
}
} // namespace

float logicalTwipsPerPixelX() {
    const QScreen* s = primary();
    return kTwipsPerInch / (s ? dpiOr96(s->logicalDotsPerInchX()) : kFallbackDpi);
}

float logicalTwipsPerPixelY() {
    const QScreen* s = primary();
    return kTwipsPerInch / (s ? dpiOr96(s->logicalDotsPerInchY()) : kFallbackDpi);
}

float Screen::TwipsPerPixelX() {
    return logicalTwipsPerPixelX() / devicePixelRatio();
}

float Screen::TwipsPerPixelY() {
    return logicalTwipsPerPixelY() / devicePixelRatio();
}

float Screen::Width() {
    const QScreen* s = primary();
    return s ? static_cast<float>(s->geometry().width()) * logicalTwipsPerPixelX() : 0.0f;
}

float Screen::Height() {
    const QScreen* s = primary();
    return s ? static_cast<float>(s->geometry().height()) * logicalTwipsPerPixelY() : 0.0f;
}

int twipsToPixelsX(float twips) {
    return static_cast<int>(std::lround(twips / logicalTwipsPerPixelX()));
}
int twipsToPixelsY(float twips) {
    return static_cast<int>(std::lround(twips / logicalTwipsPerPixelY()));
}

} // namespace tovimo::tk
