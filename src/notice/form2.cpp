// SPDX-License-Identifier: GPL-3.0-or-later
#include "notice/form2.h"

#include "platform/toolkit/screen.h"

#include <QKeySequence>
#include <QPixmap>
#include <QShortcut>

namespace tovimo::notice {
namespace {
const tk::FontSpec kWindowFont{QStringLiteral("Arial"), 8.25f};
constexpr float kOutOfSight = 1000;
} // namespace

Form2::Form2(QWidget* parent)
    : tk::Form(tk::Form::Border::None, parent), Command2(this), Command1(this), Image1(this) {
    setWindowTitle(QString());
    QWidget::setFont(kWindowFont.toQFont());
    setDesignInnerSize(8655, 3480);

    Command2.setTwipsGeometry(2640, 0, 75, 210);
    Command2.setTabIndex(0);
    Command1.setTwipsGeometry(120, 120, 320, 320);
    static_cast<tk::TwipsGeometry&>(Command1).setFont(kWindowFont);
    Command1.setCaption(QStringLiteral("X"));
    Command1.setTabIndex(1);
    QWidget::setTabOrder(&Command2, &Command1);

    Image1.setPicture(QPixmap(QString::fromLatin1(kPicturePath)));
    Image1.setLeft(240);
    Image1.setTop(240);
    Image1.lower();

    connect(&Command1, &tk::CommandButton::Click, this, &Form2::Command1_Click);
    // Esc does what "X" does.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &Form2::Command1_Click);
}

void Form2::Form_Load() {
    Image1.setLeft(0);
    Image1.setTop(0);
    setWidth(Image1.Width());
    setHeight(Image1.Height());
    Command2.setTop(Height() + kOutOfSight);
    setLeft(tk::Screen::Width() / 2.0f - Width() / 2.0f);
    setTop(tk::Screen::Height() / 2.0f - Height() / 2.0f);
}

void Form2::Command1_Click() {
    Unload();
}

} // namespace tovimo::notice
