// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/form1.h"

#include "chooser/frm_sel_file.h"
#include "platform/toolkit/events.h"
#include "player/reply_text.h"

#include <algorithm>
#include <limits>

namespace tovimo::player {
namespace {
const QString kPause = QStringLiteral("Pause");
const QString kResume = QStringLiteral("Resume");
const QString kCloseAll = QStringLiteral("close all");

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
    hs.setMax(sliderMaximumForLength(MediaLength()));
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

void Form1::pic1_Click() {}
void Form1::pic1_DblClick() {}

} // namespace tovimo::player
