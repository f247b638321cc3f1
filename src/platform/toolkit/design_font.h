// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QFontDatabase>
#include <QString>

namespace tovimo::tk {

// A font as a window design names it. The character set is the design's
// number (178 is Arabic); Qt expresses it as a writing system.
struct FontSpec {
    QString family;
    float pointSize = 8.25f;
    int weight = 400;
    int charset = 178;

    QFontDatabase::WritingSystem writingSystem() const;
    QFont toQFont() const;
    bool operator==(const FontSpec&) const = default;
};

} // namespace tovimo::tk
