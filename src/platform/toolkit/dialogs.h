// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>

namespace tovimo::tk {

// Modal message box with an OK button. An empty title shows App::kTitle.
// `detail` is offered as the box's detailed text when not empty.
void MsgBox(const QString& text, const QString& title = {}, const QString& detail = {});

// Modal input box. Returns the entered text; empty when cancelled.
QString InputBox(const QString& prompt, const QString& title, const QString& defaultText = {});

// Test seams: replace the modal boxes. Pass an empty function to restore them.
using MsgBoxHook = std::function<void(const QString& text, const QString& title, const QString& detail)>;
using InputBoxHook =
    std::function<QString(const QString& prompt, const QString& title, const QString& defaultText)>;
void setMsgBoxHookForTesting(MsgBoxHook hook);
void setInputBoxHookForTesting(InputBoxHook hook);

} // namespace tovimo::tk
