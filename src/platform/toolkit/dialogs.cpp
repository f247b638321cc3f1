// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/dialogs.h"

#include "platform/toolkit/app.h"

#include <QFontMetrics>
#include <QInputDialog>
#include <QMessageBox>
#include <algorithm>

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

// A window manager sizes the title bar to the window and cuts a longer title
// short. Its font is not known here: the dialog's font with a fifth more,
// and room for the window icon and three title-bar buttons, each about as
// wide as the title bar is high.
int widthShowingTitle(const QWidget& dialog) {
    const QFontMetrics metrics(dialog.font());
    const int barHeight = metrics.height() * 2;
    return metrics.horizontalAdvance(dialog.windowTitle()) * 6 / 5 + 4 * barHeight;
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
    dialog.setMinimumWidth(std::max(dialog.sizeHint().width(), widthShowingTitle(dialog)));
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
