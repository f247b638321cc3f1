#pragma once

#include "platform/desktop/player_control.h"

#include <QTimer>

namespace tovimo::player {

class Form1;

// Form1 as the desktop services see it: its state read from the device and
// the controls, and requests carried out through its own handlers, as if the
// user pressed the buttons or dragged the sliders.
//
// The device is asked for its mode every 100 ms (and after each request), so
// a change made by the user, or the end of the media, is reported within
// that time. Every open through PlayAVIPictureBox starts a new track.
class PlayerRemote final : public desktop::PlayerControl {
    Q_OBJECT
public:
    explicit PlayerRemote(Form1& form, QObject* parent = nullptr);

    desktop::PlaybackStatus playbackStatus() override;
    std::int64_t positionUs() override;
    desktop::OpenTrack openTrack() override;
    bool showsVideo() override;
    double volume() override;

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

    // Compares the device with what was last reported and reports changes.
    void poll();

private:
    // A device answer as text, or nothing when the device answers an error.
    std::optional<QString> ask(const QString& command);
    bool deviceOpen();
    // Seeks as a drag of the position slider to `seconds` does.
    void seekToSeconds(std::int64_t seconds);

    Form1& form_;
    QTimer pollTimer_;
    int trackNumber_ = 0;
    QString trackPath_;
    desktop::PlaybackStatus lastStatus_ = desktop::PlaybackStatus::Stopped;
    desktop::OpenTrack lastTrack_;
};

} // namespace tovimo::player
