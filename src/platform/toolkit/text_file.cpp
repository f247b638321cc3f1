#include "platform/toolkit/text_file.h"

#include <QFile>

namespace tovimo::tk {
namespace {
bool writeWithMode(const QString& path, std::string_view bytes, QIODevice::OpenMode mode) {
    QFile file(path);
    if (!file.open(mode))
        return false;
    const auto size = static_cast<qint64>(bytes.size());
    return file.write(bytes.data(), size) == size && file.flush();
}
} // namespace

std::optional<std::string> TextFile::readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return data.toStdString();
}

bool TextFile::writeAll(const QString& path, std::string_view bytes) {
    return writeWithMode(path, bytes, QIODevice::WriteOnly | QIODevice::Truncate);
}

bool TextFile::append(const QString& path, std::string_view bytes) {
    return writeWithMode(path, bytes, QIODevice::WriteOnly | QIODevice::Append);
}

} // namespace tovimo::tk
