// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

namespace tovimo::desktop {

enum class PlaybackStatus { Stopped, Playing, Paused };

// The media that is open. `id` is 0 when nothing is open (then the other
// fields are empty); every open gets a new id, even of the same file.
struct OpenTrack {
    int id = 0;
    QString path;
    std::int64_t lengthUs = 0;
    friend bool operator==(const OpenTrack&, const OpenTrack&) = default;
};

// The player as last read from its device, all fields of one reading.
struct PlayerState {
    PlaybackStatus status = PlaybackStatus::Stopped;
    // 0 when nothing is open.
    std::int64_t positionUs = 0;
    OpenTrack track;
    // The open media shows a picture (not audio only).
    bool showsVideo = false;
    // The device's own volume, 0 to 1 (the volume slider may show another).
    double volume = 0;
    // What the requests can act on. Play needs media open or a path waiting
    // to be opened; pausing and seeking need media open (seeking, a length).
    bool canPlay = false;
    bool canPause = false;
    bool canSeek = false;
    friend bool operator==(const PlayerState&, const PlayerState&) = default;
};

// What the desktop services see of the player, and the requests they pass
// on. Every call is made on the GUI thread; the requests follow the player's
// own buttons and sliders, so they may let other events run before they
// return.
class PlayerControl : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The last reading; reading it asks the device nothing.
    virtual const PlayerState& state() const = 0;

    virtual void setVolume(double volume) = 0;
    virtual void playPause() = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
    // Seeks to whole seconds within the media, leaving a paused player
    // paused; nothing happens while no media is open. seekBy() to before
    // the start goes to the start; past the end it does nothing, as there
    // is no next track to go to.
    virtual void seekBy(std::int64_t offsetUs) = 0;
    virtual void seekTo(std::int64_t positionUs) = 0;
    // Puts `path` where the user types it and presses Play.
    virtual void openAndPlay(const QString& path) = 0;
    virtual void raise() = 0;
    // Closes the player window, as its close button does.
    virtual void quit() = 0;

signals:
    // Each is sent once per change of the reading's field(s).
    void playbackStatusChanged();
    void openTrackChanged();
    void volumeChanged();
    void capabilitiesChanged(); // canPlay, canPause or canSeek
    // The position jumped (a seek), to this position.
    void seeked(std::int64_t positionUs);
};

} // namespace tovimo::desktop
