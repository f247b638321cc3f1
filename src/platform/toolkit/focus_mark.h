// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <array>

class QWidget;

namespace tovimo::tk {

// A strong frame just outside whichever control of `window` has the keyboard
// focus, beside the style's own faint mark. Controls inside another one
// (the text field of a combo box) mark the outer control, a direct child of
// the window. The frame is four native strips: the window's children are
// native windows, and a strip painted by the window itself would lie below
// them. The strips take no mouse input and follow the control as it moves.
// Nothing shows while the window is not the active one.
class FocusMark : public QObject {
    Q_OBJECT
public:
    explicit FocusMark(QWidget& window);

    // The control marked now, or null.
    QWidget* marked() const { return target_.data(); }

    // Logical pixels between the control and the frame, and the frame's width.
    static constexpr int kGap = 1;
    static constexpr int kThickness = 2;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow(QWidget* focused);
    void place();

    QWidget& window_;
    QPointer<QWidget> target_;
    std::array<QWidget*, 4> strips_{};
};

} // namespace tovimo::tk
