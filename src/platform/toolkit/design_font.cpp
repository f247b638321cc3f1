// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/design_font.h"

namespace tovimo::tk {

QFontDatabase::WritingSystem FontSpec::writingSystem() const {
    switch (charset) {
    case 178:
        return QFontDatabase::Arabic;
    case 177:
        return QFontDatabase::Hebrew;
    case 161:
        return QFontDatabase::Greek;
    case 204:
        return QFontDatabase::Cyrillic;
    default:
        return QFontDatabase::Latin;
    }
}

QFont FontSpec::toQFont() const {
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setWeight(weight >= 700 ? QFont::Bold : QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

} // namespace tovimo::tk
