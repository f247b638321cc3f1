// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/form1.h"

#include "chooser/frm_sel_file.h"
#include "platform/toolkit/events.h"
#include "player/reply_text.h"
#include "player/time_text.h"

#include <algorithm>
#include <limits>

namespace tovimo::player {
namespace {
const QString kPause = QStringLiteral("Pause");
const QString kResume = QStringLiteral("Resume");
const QString kCloseAll = QStringLiteral("close all");
constexpr int kKeySeekSeconds = 5;
constexpr int kKeyVolumeStep = 5;

// hs holds 16-bit values: longer media saturate the slider's range rather
// than wrapping it, and an unreadable or negative length leaves it empty
// without dragging its minimum below 0.
std::int16_t sliderMaximumForLength(std::int32_t seconds) {
    return static_cast<std::int16_t>(
        std::clamp<std::int32_t>(seconds, 0, std::numeric_limits<std::int16_t>::max()));
}
} // namespace

void Form1::Command1_Click() {
    Combo2.setText(QString());
    SendMediaCommand(kCloseAll, true);
    selectFileWindow().Show();
}

void Form1::Command2_Click() {
    if (Text2.Text().isEmpty())
        return;
    if (Command2.Caption() == kPause) {
        PauseMedia();
        Command2.setCaption(kResume);
    } else if (Command2.Caption() == kResume) {
        ResumeMedia();
        Command2.setCaption(kPause);
    }
}

void Form1::Command3_Click() {
    if (Text2.Text().isEmpty())
        return;
    StopMedia();
    tk::DoEvents();
    SendMediaCommand(kCloseAll, true);
}

void Form1::Command4_Click() {
    if (Text2.Text().isEmpty())
        return;
    vs.setValue(50);
    StopMedia();
    tk::DoEvents();
    SendMediaCommand(kCloseAll, true);
    centrePicture();
    QByteArray fileName = Text2.NativeText();
    PlayAVIPictureBox(fileName, pic1);
    tk::DoEvents();
    lengthSeconds_ = MediaLength();
    hs.setMax(sliderMaximumForLength(*lengthSeconds_));
    showPositionTime();
}

void Form1::hs_Scroll() {
    Timer1.setEnabled(false);
    SeekMedia(hs.Value());
    Timer1.setEnabled(true);
}

void Form1::vs_Scroll() {
    SetMediaVolume(vs.Value());
}

void Form1::Timer1_Timer() {
    Text1.setText(QString::number(MediaPosition()));
    const QByteArray relayed = Text1.Text().toLocal8Bit();
    const std::optional<std::int32_t> position =
        roundHalfEvenToInt32(leadingNumber(std::string_view(relayed.constData(), relayed.size())));
    if (position && *position >= hs.Min() && *position <= hs.Max())
        hs.setValue(static_cast<std::int16_t>(*position));
}

void Form1::showPositionTime() {
    if (!lengthSeconds_)
        return;
    const QString text = QString::fromStdString(elapsedOfLengthText(hs.Value(), *lengthSeconds_));
    if (hs.toolTip() == text)
        return;
    hs.setToolTip(text);
    hs.setAccessibleDescription(text);
    hs.setValueText(text);
}

// The picture takes the focus on a click by its focus policy.
void Form1::pic1_Click() {}

void Form1::pic1_DblClick() {
    Command7_Click();
}

void Form1::pic1_KeyDown(int key, Qt::KeyboardModifiers modifiers, bool& used) {
    if (modifiers != Qt::NoModifier)
        return;
    // Each slider step goes as a drag of its thumb would: a value that does
    // not change sends nothing.
    const auto drag = [](tk::HScrollBar& bar, int step, void (Form1::*scroll)(), Form1& form) {
        const int value = std::clamp(bar.value() + step, bar.minimum(), bar.maximum());
        if (value == bar.value())
            return;
        bar.setValue(static_cast<std::int16_t>(value));
        (form.*scroll)();
    };
    used = true;
    switch (key) {
    case Qt::Key_Space:
        Command2_Click();
        break;
    case Qt::Key_Left:
        drag(hs, -kKeySeekSeconds, &Form1::hs_Scroll, *this);
        break;
    case Qt::Key_Right:
        drag(hs, kKeySeekSeconds, &Form1::hs_Scroll, *this);
        break;
    case Qt::Key_Down:
        drag(vs, -kKeyVolumeStep, &Form1::vs_Scroll, *this);
        break;
    case Qt::Key_Up:
        drag(vs, kKeyVolumeStep, &Form1::vs_Scroll, *this);
        break;
    default:
        used = false;
        break;
    }
}

} // namespace tovimo::player
