// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <optional>

namespace tovimo::tk {

// Lets the event loop deliver every pending event, then returns. Handlers
// may run nested inside the caller.
void DoEvents();

// The local date. Tests may fix it.
QDate Today();
void setTodayForTesting(std::optional<QDate> date);

} // namespace tovimo::tk
