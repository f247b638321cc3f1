#pragma once

#include <QIcon>

namespace tovimo::player {

// The program's icon: a play triangle on a film frame, drawn at 32x32 and
// 16x16 in a 16-colour palette.
QIcon playerIcon();

} // namespace tovimo::player
