// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

namespace tovimo::desktop {

// The local path a launcher or a drop names: a `file:` URI (any letter case,
// percent-encoded or not, host empty or "localhost") is decoded to its path; any
// other text is taken as a path as it is. Empty for a `file:` URI on another
// host, which cannot be opened here.
std::optional<QString> localPathFromArgument(const QString& argument);

// True when `text` is a `file:` URI (the scheme in any letter case).
bool isFileUri(const QString& text);

} // namespace tovimo::desktop
