// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "player/form1_access.h"
#include "support/recording_media_service.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tovimo::testing {

// One player window on the recording media service, with its test peer.
// Header only: the tests that use it link the player themselves.
class Form1Fixture : public ::testing::Test {
protected:
    // What was sent, without the timer's position polling, which may run
    // nested inside any handler that lets events through.
    std::vector<std::string> sent() const { return media.commandsWithoutPolling(); }

    RecordingMediaService media;
    player::Form1 form{media, media};
    player::Form1Access f{form};
};

} // namespace tovimo::testing
