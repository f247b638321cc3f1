// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/toolkit/controls.h"
#include "platform/toolkit/form.h"

namespace tovimo::notice {

// The borderless start-up notice: one picture and an "X" button over its
// top-left corner.
//
// Loading sizes the window to the picture (685 x 361 pixels, no stretching),
// centres it on the screen and moves the captionless Command2 below the
// window's bottom edge, where it is never seen. Only "X" and Esc close the
// window; clicks on the picture do nothing.
class Form2 : public tk::Form {
    Q_OBJECT
public:
    explicit Form2(QWidget* parent = nullptr);

    // Controls, in tab order.
    tk::CommandButton Command2; // captionless, no handler
    tk::CommandButton Command1; // "X"
    tk::Image Image1;           // the picture, painted under the buttons

    // Resource path of the stored picture: a 24-bit Windows bitmap.
    static constexpr const char* kPicturePath = ":/notice/notice.bmp";

protected:
    void Form_Load() override;

private:
    void Command1_Click();
};

} // namespace tovimo::notice
