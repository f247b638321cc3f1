// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/dialogs.h"

#include "platform/toolkit/app.h"

#include <QFontMetrics>
#include <QInputDialog>
#include <QLineEdit>
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
// short. Its font is not known here: the dialog's font in bold with a third
// more, and room for the window icon and three title-bar buttons, each about
// as wide as the title bar is high.
int widthShowingTitle(const QWidget& dialog) {
    QFont bold = dialog.font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    const int barHeight = metrics.height() * 3 / 2;
    return metrics.horizontalAdvance(dialog.windowTitle()) * 4 / 3 + 4 * barHeight;
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
    // The dialog's layout sets its size from its contents: the text field
    // carries the width.
    if (auto* field = dialog.findChild<QLineEdit*>())
        field->setMinimumWidth(std::max(field->sizeHint().width(), widthShowingTitle(dialog)));
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
