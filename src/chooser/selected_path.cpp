// SPDX-License-Identifier: GPL-3.0-or-later
#include "chooser/selected_path.h"

namespace tovimo::chooser {
namespace {
template <typename Text>
Text join(const Text& folder, const Text& fileName, const Text& separator, const Text& doubled) {
    Text path = folder.endsWith(separator) ? folder + fileName : folder + separator + fileName;
    if (path.indexOf(doubled, 1) >= 0)
        path.replace(doubled, separator);
    return path;
}
} // namespace

QString joinFolderAndFileName(const QString& folder, const QString& fileName) {
    return join(folder, fileName, QStringLiteral("/"), QStringLiteral("//"));
}

QByteArray joinFolderAndFileName(const QByteArray& folder, const QByteArray& fileName) {
    return join(folder, fileName, QByteArrayLiteral("/"), QByteArrayLiteral("//"));
}

} // namespace tovimo::chooser
