#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace tovimo::tk {

// Sequential text files as bytes: no encoding or line-end translation.
struct TextFile {
    // The whole content; nullopt when the file cannot be opened or read.
    static std::optional<std::string> readAll(const QString& path);
    // Replaces the content (creating the file). False on any failure.
    static bool writeAll(const QString& path, std::string_view bytes);
    // Appends (creating the file). False on any failure.
    static bool append(const QString& path, std::string_view bytes);
};

} // namespace tovimo::tk
