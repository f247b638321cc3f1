// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/events.h"

#include <QCoreApplication>

namespace tovimo::tk {
namespace {
std::optional<QDate>& fixedToday() {
    static std::optional<QDate> date;
    return date;
}
} // namespace

void DoEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

QDate Today() {
    return fixedToday().value_or(QDate::currentDate());
}
void setTodayForTesting(std::optional<QDate> date) {
    fixedToday() = date;
}

} // namespace tovimo::tk
