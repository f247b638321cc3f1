// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/form1.h"

#include "platform/toolkit/screen.h"

#include <QVariant>
#include <algorithm>
#include <stdexcept>
#include <utility>

namespace tovimo::player {
namespace {
const QString kWindowMode = QStringLiteral("F");
const QString kFullScreenMode = QStringLiteral("S");

constexpr float kWindowWidth = 9855;
constexpr float kWindowHeight = 10155;
constexpr float kPictureOffCentre = 50;
constexpr float kResizePictureGap = 300;
constexpr float kTogglePictureGap = 400;
constexpr float kWindowPictureLeft = 150;
constexpr float kWindowPictureWidth = 9480;
constexpr float kFullScreenPictureLeft = 200;
constexpr float kFullScreenPictureMargin = 500;

// A window too low for the picture rules would give pic1 a negative height.
float pictureHeight(float height) {
    return std::max(0.0f, height);
}

float namedTwips(const QObject& w, const char* name) {
    bool ok = false;
    const float value = w.property(name).toFloat(&ok);
    if (!ok)
        throw std::invalid_argument(std::string("CenterForm: the object offers no numeric ") + name);
    return value;
}
} // namespace

void Form1::ArrangeControls() {
    const std::pair<tk::TwipsGeometry*, float> strip[] = {
        {&vs, 250},       {&hs, 250},       {&Text2, 250},    {&Command7, 700},
        {&Command1, 700}, {&Command2, 700}, {&Command3, 700}, {&Command4, 700},
        {&Command5, 700}, {&Command6, 700}, {&Combo2, 700},
    };
    for (const auto& [control, gap] : strip)
        control->setTop(ScaleHeight() - control->Height() - gap);
}

void Form1::placeInWindowMode() {
    setWidth(kWindowWidth);
    setHeight(kWindowHeight);
    setLeft(tk::Screen::Width() / 2.0f - Width() / 2.0f);
    setTop(tk::Screen::Height() / 2.0f - Height() / 2.0f);
}

void Form1::centrePicture() {
    pic1.setLeft(Width() / 2.0f - pic1.Width() / 2.0f - kPictureOffCentre);
}

void Form1::Form_Resize() {
    centrePicture();
    pic1.setHeight(pictureHeight(Command4.Top() - kResizePictureGap));
    ArrangeControls();
}

void Form1::Command7_Click() {
    if (switchingScreenMode_) {
        // The caption still names the mode being left: this click asks for
        // the other mode once the switch under way is done.
        pendingScreenSwitch_ = !pendingScreenSwitch_;
        return;
    }
    while (switchScreenMode() && std::exchange(pendingScreenSwitch_, false)) {
    }
}

bool Form1::switchScreenMode() {
    const QString mode = Command7.Caption();
    if (mode == kWindowMode) {
        placeInFullScreenMode();
    } else if (mode == kFullScreenMode) {
        placeInWindowMode();
        ArrangeControls();
        pic1.setHeight(pictureHeight(Command1.Top() - kTogglePictureGap));
        pic1.setLeft(kWindowPictureLeft);
        pic1.setWidth(kWindowPictureWidth);
    } else {
        return false;
    }
    switchingScreenMode_ = true;
    screenChangedWhileSwitching_ = false;
    QByteArray fileName = Text2.NativeText();
    PlayAVIPictureBox(fileName, pic1);
    Command7.setCaption(mode == kWindowMode ? kFullScreenMode : kWindowMode);
    switchingScreenMode_ = false;
    if (screenChangedWhileSwitching_)
        followScreenSize();
    return true;
}

bool Form1::fullScreenAhead() const {
    // During a switch the caption still names the mode being left.
    const bool fullScreenNow = Command7.Caption() == kFullScreenMode;
    return (fullScreenNow != switchingScreenMode_) != pendingScreenSwitch_;
}

void Form1::placeInFullScreenMode() {
    setWidth(tk::Screen::Width());
    setHeight(tk::Screen::Height());
    setLeft(0);
    setTop(0);
    ArrangeControls();
    pic1.setHeight(pictureHeight(Command1.Top() - kTogglePictureGap));
    pic1.setLeft(kFullScreenPictureLeft);
    pic1.setWidth(tk::Screen::Width() - kFullScreenPictureMargin);
}

void Form1::followScreenSize() {
    if (switchingScreenMode_) {
        screenChangedWhileSwitching_ = true;
        return;
    }
    if (Command7.Caption() != kFullScreenMode)
        return;
    placeInFullScreenMode();
    if (const std::optional<QString> sizing = videoSizing(pic1); sizing && !Text2.Text().isEmpty())
        sendWithReply(*sizing, nullptr, 0);
}

void Form1::CenterForm(tk::Form& f, const QObject& w) {
    f.setLeft((namedTwips(w, "ScaleWidth") - f.Width()) / 2.0f);
    f.setTop((namedTwips(w, "ScaleHeight") - f.Height()) / 2.0f);
}

} // namespace tovimo::player
