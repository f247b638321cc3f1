#pragma once

#include <QIcon>

namespace tovimo::player {

// The program's icon (tk::appIcon, which the other windows share).
QIcon playerIcon();

} // namespace tovimo::player
