// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/dialogs.h"

#include "platform/toolkit/app.h"

#include <QInputDialog>
#include <QMessageBox>

namespace tovimo::tk {
namespace {
MsgBoxHook& msgBoxHook() {
    static MsgBoxHook hook;
    return hook;
}
InputBoxHook& inputBoxHook() {
    static InputBoxHook hook;
    return hook;
}
QString titleOrDefault(const QString& title) {
    return title.isEmpty() ? QString::fromUtf8(App::kTitle) : title;
}
} // namespace

void MsgBox(const QString& text, const QString& title, const QString& detail) {
    if (msgBoxHook()) {
        msgBoxHook()(text, titleOrDefault(title), detail);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, titleOrDefault(title), text, QMessageBox::Ok);
    if (!detail.isEmpty())
        box.setDetailedText(detail);
    box.exec();
}

QString InputBox(const QString& prompt, const QString& title, const QString& defaultText) {
    if (inputBoxHook())
        return inputBoxHook()(prompt, titleOrDefault(title), defaultText);
    QInputDialog dialog;
    dialog.setWindowTitle(titleOrDefault(title));
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    dialog.setInputMode(QInputDialog::TextInput);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.textValue();
}

void setMsgBoxHookForTesting(MsgBoxHook hook) {
    msgBoxHook() = std::move(hook);
}
void setInputBoxHookForTesting(InputBoxHook hook) {
    inputBoxHook() = std::move(hook);
}

} // namespace tovimo::tk
