#pragma once

#include "platform/toolkit/controls.h"
#include "platform/toolkit/form.h"

namespace tovimo::notice {

// The borderless start-up notice: one picture and an "X" button.
class Form2 : public tk::Form {
    Q_OBJECT
public:
    explicit Form2(QWidget* parent = nullptr);
};

} // namespace tovimo::notice
