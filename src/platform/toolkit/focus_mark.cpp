// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/focus_mark.h"

#include <QApplication>
#include <QEvent>
#include <QPalette>
#include <QWidget>

namespace tovimo::tk {
namespace {
// Dark blue: clear beside the light grey of the window, the black of the
// picture area and the white of text boxes.
const QColor kMarkColour(0, 40, 200);
} // namespace

FocusMark::FocusMark(QWidget& window) : QObject(&window), window_(window) {
    for (QWidget*& strip : strips_) {
        strip = new QWidget(&window_);
        strip->setAttribute(Qt::WA_NativeWindow);
        strip->setAttribute(Qt::WA_TransparentForMouseEvents);
        strip->setFocusPolicy(Qt::NoFocus);
        strip->setAutoFillBackground(true);
        QPalette colours = strip->palette();
        colours.setColor(QPalette::Window, kMarkColour);
        strip->setPalette(colours);
        strip->hide();
    }
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { follow(now); });
}

void FocusMark::follow(QWidget* focused) {
    QWidget* control = focused;
    while (control && control->parentWidget() != &window_)
        control = control->parentWidget();
    if (control == target_.data()) {
        place();
        return;
    }
    if (target_)
        target_->removeEventFilter(this);
    target_ = control;
    if (target_)
        target_->installEventFilter(this);
    place();
}

bool FocusMark::eventFilter(QObject* watched, QEvent* event) {
    if (watched == target_.data()) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            place();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void FocusMark::place() {
    if (!target_ || !target_->isVisible() || !window_.isActiveWindow()) {
        for (QWidget* strip : strips_)
            strip->hide();
        return;
    }
    const QRect around = target_->geometry().adjusted(-kGap - kThickness, -kGap - kThickness,
                                                      kGap + kThickness, kGap + kThickness);
    const QRect bands[] = {
        {around.left(), around.top(), around.width(), kThickness},
        {around.left(), around.bottom() - kThickness + 1, around.width(), kThickness},
        {around.left(), around.top(), kThickness, around.height()},
        {around.right() - kThickness + 1, around.top(), kThickness, around.height()},
    };
    for (std::size_t i = 0; i < strips_.size(); ++i) {
        strips_[i]->setGeometry(bands[i]);
        strips_[i]->show();
        strips_[i]->raise();
    }
}

} // namespace tovimo::tk
