#include "player/form1.h"

#include "platform/toolkit/app.h"

namespace tovimo::player {

void Form1::Form_Load() {}

void Form1::Form_Unload(std::int16_t&) { tk::App::End(); }

} // namespace tovimo::player
