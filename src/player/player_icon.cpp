#include "player/player_icon.h"

#include "platform/toolkit/app_icon.h"

namespace tovimo::player {

QIcon playerIcon() {
    return tk::appIcon();
}

} // namespace tovimo::player
