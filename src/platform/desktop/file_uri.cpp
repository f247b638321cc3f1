// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop/file_uri.h"

#include <QUrl>

namespace tovimo::desktop {

bool isFileUri(const QString& text) {
    return text.startsWith(QLatin1String("file:"), Qt::CaseInsensitive);
}

std::optional<QString> localPathFromArgument(const QString& argument) {
    if (!isFileUri(argument))
        return argument;
    QUrl url(argument, QUrl::TolerantMode);
    if (!url.isValid())
        return std::nullopt;
    if (url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        url.setHost(QString());
    if (!url.host().isEmpty() || url.path().isEmpty())
        return std::nullopt;
    return url.toLocalFile();
}

} // namespace tovimo::desktop
