// SPDX-License-Identifier: GPL-3.0-or-later
#include "favourites/entry_text.h"

#include <QStringDecoder>

namespace tovimo::favourites {

QString displayText(std::string_view bytes) {
    const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
    // Decoding replaces every invalid or cut-off sequence, so only valid
    // UTF-8 encodes back to the same bytes. A leading byte order mark stays
    // part of the text.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QString text = utf8.decode(view);
    if (!utf8.hasError() && text.toUtf8() == view)
        return text;
    // Qt's local 8-bit encoding on Linux is UTF-8 itself, so the 8-bit code
    // page that remains for such bytes is Latin-1.
    return QString::fromLatin1(view);
}

std::string storedBytes(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

} // namespace tovimo::favourites
