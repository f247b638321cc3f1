// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

namespace tovimo::tk {

// The program's icon, shared by all its windows: a play triangle on a film
// frame, drawn at 32x32 and 16x16 in a 16-colour palette.
QIcon appIcon();

} // namespace tovimo::tk
