// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/form1.h"

#include "notice/form2.h"
#include "platform/toolkit/app.h"
#include "platform/toolkit/events.h"

#include <algorithm>

namespace tovimo::player {
namespace {
const QString kCloseAll = QStringLiteral("close all");

constexpr int kNoticeEveryDays = 5;
constexpr float kStartPictureGap = 400;

bool isNoticeDay(const QDate& date) {
    return date.isValid() && date.day() % kNoticeEveryDays == 0;
}
} // namespace

void Form1::Form_Load() {
    if (isNoticeDay(tk::Today())) {
        notice::Form2 notice;
        notice.ShowModal();
    }
    ReloadFavourites();
    SendMediaCommand(kCloseAll, true);

    placeInWindowMode();
    centrePicture();
    pic1.setHeight(std::max(0.0f, Command4.Top() - kStartPictureGap));
    ArrangeControls();
}

void Form1::Form_Unload(std::int16_t&) {
    emit unloading();
    SendMediaCommand(kCloseAll, true);
    tk::App::End();
}

} // namespace tovimo::player
