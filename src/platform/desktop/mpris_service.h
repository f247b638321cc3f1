// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/desktop/player_control.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace tovimo::desktop {

// The MPRIS 2 media player interfaces of `player` on a session bus, at
// /org/mpris/MediaPlayer2 under org.mpris.MediaPlayer2.tovimo (or that name
// with ".instance<pid>" when another player process holds it).
//
// Properties are the player's last reading; PropertiesChanged is sent when
// the player reports a change of status, open media, volume or of what it
// can do (never of the position, which Seeked reports when it jumps). Method
// calls run the player's requests on the GUI thread before they reply,
// except Quit, which replies first.
class MprisService : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";
    static constexpr const char* kServiceName = "org.mpris.MediaPlayer2.tovimo";
    static constexpr const char* kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

    // Registers at once; with no usable bus it stays unregistered, silently.
    MprisService(PlayerControl& player, QDBusConnection bus, QObject* parent = nullptr);
    ~MprisService() override;
    MprisService(const MprisService&) = delete;
    MprisService& operator=(const MprisService&) = delete;

    // The bus name taken, or empty when registration failed.
    const QString& serviceName() const { return serviceName_; }

    // The Metadata map of the open media (a track id alone when none is).
    static QVariantMap metadataOf(const OpenTrack& track);
    static QString trackIdOf(int id);
    static QString playbackStatusText(PlaybackStatus status);
    // The media types the desktop entry lists, offered as SupportedMimeTypes.
    static QStringList supportedMimeTypes();

    PlayerControl& player() { return player_; }
    // Replies reach the bus before the player window closes.
    void quitAfterReply();

    // Answers `call` (whose reply was delayed) with the error `name`.
    void sendError(const QDBusMessage& call, const QString& name, const QString& text);

private:
    void announce(const char* interface, const QString& property, const QVariant& value);
    void announce(const char* interface, const QVariantMap& properties);

    PlayerControl& player_;
    QDBusConnection bus_;
    QString serviceName_;
    QObject* exported_ = nullptr;
};

} // namespace tovimo::desktop
