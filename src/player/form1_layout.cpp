#include "player/form1.h"

namespace tovimo::player {

void Form1::ArrangeControls() {}
void Form1::Form_Resize() {}
void Form1::Command7_Click() {}
void Form1::CenterForm(tk::Form&, const QObject&) {}

} // namespace tovimo::player
