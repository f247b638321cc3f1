// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/form.h"

#include "platform/toolkit/screen.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QShowEvent>
#include <algorithm>

namespace tovimo::tk {
namespace {
constexpr float kFrameSide = 45.0f;
constexpr float kFrameTop = 390.0f;
} // namespace

Form::Form(Border border, QWidget* parent) : QWidget(parent, Qt::Window), border_(border) {
    if (border_ == Border::None) {
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    } else {
        setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    }
}

float Form::ScaleWidth() const {
    return border_ == Border::None ? width_ : width_ - 2 * kFrameSide;
}

float Form::ScaleHeight() const {
    return border_ == Border::None ? height_ : height_ - kFrameTop - kFrameSide;
}

void Form::setWidth(float twips) {
    if (twips == width_)
        return;
    width_ = twips;
    sizeChanged();
}

void Form::setHeight(float twips) {
    if (twips == height_)
        return;
    height_ = twips;
    sizeChanged();
}

void Form::setLeft(float twips) {
    left_ = twips;
    applyPosition();
}

void Form::setTop(float twips) {
    top_ = twips;
    applyPosition();
}

void Form::setDesignInnerSize(float scaleWidth, float scaleHeight) {
    const bool framed = border_ == Border::FixedSingle;
    width_ = scaleWidth + (framed ? 2 * kFrameSide : 0);
    height_ = scaleHeight + (framed ? kFrameTop + kFrameSide : 0);
    applySize();
}

void Form::sizeChanged() {
    applySize();
    Form_Resize();
}

void Form::applyPosition() {
    move(twipsToPixelsX(left_), twipsToPixelsY(top_));
}

void Form::applySize() {
    // X11 refuses windows of zero size; the twips keep the true value.
    setFixedSize(std::max(1, twipsToPixelsX(ScaleWidth())), std::max(1, twipsToPixelsY(ScaleHeight())));
}

void Form::Load() {
    if (loaded_)
        return;
    loaded_ = true;
    Form_Load();
}

void Form::Show() {
    Load();
    show();
    raise();
    activateWindow();
}

void Form::ShowModal() {
    Load();
    QEventLoop loop;
    connect(this, &Form::unloaded, &loop, &QEventLoop::quit);
    setWindowModality(Qt::ApplicationModal);
    show();
    loop.exec(QEventLoop::DialogExec);
}

void Form::Unload() {
    close();
}

void Form::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shownOnce_ && !event->spontaneous()) {
        shownOnce_ = true;
        Form_Resize();
    }
}

void Form::closeEvent(QCloseEvent* event) {
    std::int16_t cancel = 0;
    Form_Unload(cancel);
    if (cancel != 0) {
        event->ignore();
        return;
    }
    event->accept();
    loaded_ = false;
    shownOnce_ = false;
    emit unloaded();
}

} // namespace tovimo::tk
