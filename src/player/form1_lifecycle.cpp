#include "player/form1.h"

#include "notice/form2.h"
#include "platform/toolkit/app.h"
#include "platform/toolkit/events.h"
#include "platform/toolkit/screen.h"

#include <algorithm>

namespace tovimo::player {
namespace {
const QString kCloseAll = QStringLiteral("close all");

constexpr int kNoticeEveryDays = 5;
constexpr float kWindowWidth = 9855;
constexpr float kWindowHeight = 10155;
constexpr float kPictureOffCentre = 50;
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

    setWidth(kWindowWidth);
    setHeight(kWindowHeight);
    setLeft(tk::Screen::Width() / 2.0f - Width() / 2.0f);
    setTop(tk::Screen::Height() / 2.0f - Height() / 2.0f);

    pic1.setLeft(Width() / 2.0f - pic1.Width() / 2.0f - kPictureOffCentre);
    pic1.setHeight(std::max(0.0f, Command4.Top() - kStartPictureGap));
    ArrangeControls();
}

void Form1::Form_Unload(std::int16_t&) {
    SendMediaCommand(kCloseAll, true);
    tk::App::End();
}

} // namespace tovimo::player
