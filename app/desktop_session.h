// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/player_remote.h"
#include "platform/desktop/mpris_service.h"
#include "platform/desktop/screensaver_inhibitor.h"

#include <QDBusConnection>

namespace tovimo::media {
class MediaCommandService;
}
namespace tovimo::player {
class Form1;
}

namespace tovimo::app {

// The player window as a desktop citizen: files dropped on it, MPRIS on the
// session bus, and no screen blanking while a video plays. Without a usable
// bus only the drops work, and nothing is reported. `media` is the service
// the window drives.
//
// Lives as long as the window; everything runs on the GUI thread.
class DesktopSession {
public:
    DesktopSession(player::Form1& form, media::MediaCommandService& media, const QDBusConnection& bus);
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    PlayerRemote& remote() { return remote_; }
    const desktop::MprisService& mpris() const { return mpris_; }
    const desktop::ScreenSaverInhibitor& inhibitor() const { return inhibitor_; }

private:
    void updateInhibition();

    player::Form1& form_;
    PlayerRemote remote_;
    desktop::MprisService mpris_;
    desktop::ScreenSaverInhibitor inhibitor_;
};

} // namespace tovimo::app
