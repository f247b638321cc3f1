// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

class QMimeData;

namespace tovimo::player {

class Form1;

// The path of the local file a drop carries: its first URL, when that is a
// local file (not a folder). Anything else gives nothing.
std::optional<QString> droppedLocalFile(const QMimeData& data);

// Lets a local file be dropped anywhere on `form`: its path goes into Text2,
// and nothing plays (as with a choice in the file chooser). Every other drop
// is refused there, text dropped on the text boxes included.
void acceptFileDrops(Form1& form);

} // namespace tovimo::player
