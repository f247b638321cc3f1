#include "player/form1.h"

#include "chooser/frm_sel_file.h"

namespace tovimo::player {

void Form1::Command1_Click() {}
void Form1::Command2_Click() {}
void Form1::Command3_Click() {}
void Form1::Command4_Click() {}
void Form1::hs_Scroll() {}
void Form1::vs_Scroll() {}
void Form1::Timer1_Timer() {}
void Form1::pic1_Click() {}
void Form1::pic1_DblClick() {}

} // namespace tovimo::player
