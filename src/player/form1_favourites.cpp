#include "player/form1.h"

#include "platform/toolkit/app.h"

namespace tovimo::player {

QString Form1::favouritesFilePath() const { return tk::App::Path() + QStringLiteral("/datadoc.tvq"); }

void Form1::ReloadFavourites() {}
void Form1::Command5_Click() {}
void Form1::Command6_Click() {}
void Form1::Combo2_Click() {}

} // namespace tovimo::player
