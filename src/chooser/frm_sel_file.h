#pragma once

#include "platform/toolkit/controls.h"
#include "platform/toolkit/form.h"

namespace tovimo::chooser {

// The file chooser. A chosen file's full path is written into `target`
// (the player's path box).
class FrmSelFile : public tk::Form {
    Q_OBJECT
public:
    explicit FrmSelFile(tk::TextBox& target, QWidget* parent = nullptr);

private:
    tk::TextBox& target_;
};

} // namespace tovimo::chooser
