// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chooser/frm_sel_file.h"

namespace tovimo::chooser {

// Test peer: reaches the chooser's handlers and its kept path.
struct FrmSelFileAccess {
    FrmSelFile& f;
    const QString& SelectedFilePath() const { return f.SelectedFilePath; }
    void Dir1_KeyDown(std::int16_t key) { f.Dir1_KeyDown(key, 0); }
    void File1_KeyDown(std::int16_t key) { f.File1_KeyDown(key, 0); }
};

} // namespace tovimo::chooser
