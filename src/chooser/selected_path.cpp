#include "chooser/selected_path.h"

namespace tovimo::chooser {

QString joinFolderAndFileName(const QString& folder, const QString& fileName) {
    const QString separator = QStringLiteral("/");
    QString path = folder.endsWith(separator) ? folder + fileName : folder + separator + fileName;
    const QString doubled = QStringLiteral("//");
    if (path.indexOf(doubled, 1) >= 0)
        path.replace(doubled, separator);
    return path;
}

} // namespace tovimo::chooser
