// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/desktop_session.h"

#include "player/file_drop.h"
#include "player/form1.h"

namespace tovimo::app {

DesktopSession::DesktopSession(player::Form1& form, media::MediaCommandService& media,
                               const QDBusConnection& bus)
    : form_(form), remote_(form, media), mpris_(remote_, bus), inhibitor_(bus) {
    player::acceptFileDrops(form_);
    QObject::connect(&remote_, &desktop::PlayerControl::playbackStatusChanged, &inhibitor_,
                     [this] { updateInhibition(); });
    QObject::connect(&remote_, &desktop::PlayerControl::openTrackChanged, &inhibitor_,
                     [this] { updateInhibition(); });
    // The program ends inside the unload, with no chance to read the device
    // again.
    QObject::connect(&form_, &player::Form1::unloading, &inhibitor_, [this] { inhibitor_.releaseNow(); });
}

void DesktopSession::updateInhibition() {
    const desktop::PlayerState& state = remote_.state();
    const bool playingVideo = state.status == desktop::PlaybackStatus::Playing && state.showsVideo;
    if (playingVideo && form_.isVisible())
        inhibitor_.setToplevelWindow(static_cast<std::uint32_t>(form_.winId()));
    inhibitor_.setInhibited(playingVideo);
}

} // namespace tovimo::app
