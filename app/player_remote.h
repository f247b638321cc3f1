// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/desktop/player_control.h"

#include <optional>

namespace tovimo::media {
class MediaCommandService;
}
namespace tovimo::player {
class Form1;
}

namespace tovimo::app {

// Form1 as the desktop services see it. Requests go through the window's own
// buttons and sliders, as if the user pressed and dragged them, so that the
// window's rules run; the state is read from the device (the media service
// the window drives), once per tick of the window's Timer1 and after each
// request. Every open through PlayAVIPictureBox starts a new track.
//
// Rules where the window's controls and the device disagree:
// - Pause, Play and PlayPause act on the device's mode, not on the Pause
//   button's caption (which may read "Resume" while the media plays): when a
//   press would do the opposite, the button is pressed twice;
// - a seek while paused stays paused (the position slider's own seek plays);
// - the volume is the device's, not the volume slider's.
class PlayerRemote final : public desktop::PlayerControl {
    Q_OBJECT
public:
    PlayerRemote(player::Form1& form, media::MediaCommandService& media, QObject* parent = nullptr);

    const desktop::PlayerState& state() const override { return state_; }

    void setVolume(double volume) override;
    void playPause() override;
    void play() override;
    void pause() override;
    void stop() override;
    void seekBy(std::int64_t offsetUs) override;
    void seekTo(std::int64_t positionUs) override;
    void openAndPlay(const QString& path) override;
    void raise() override;
    void quit() override;

    // Reads the device into state() and reports what changed.
    void refresh();

private:
    // "status Media mode" as text; nothing when no media is open.
    std::optional<QString> deviceMode();
    desktop::PlaybackStatus deviceStatus();
    desktop::PlayerState readDevice();
    // Seeks as a drag of the position slider to `seconds` does.
    void seekToSeconds(std::int64_t seconds);
    // Presses the Pause button until the device has the mode `wanted`
    // (Playing or Paused), at most twice.
    void pressPauseButtonFor(desktop::PlaybackStatus wanted);

    player::Form1& form_;
    media::MediaCommandService& media_;
    int trackNumber_ = 0;
    QString trackPath_;
    desktop::PlayerState state_;
};

} // namespace tovimo::app
