// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/form1.h"

#include "chooser/frm_sel_file.h"
#include "platform/toolkit/app_icon.h"
#include "platform/toolkit/focus_mark.h"

#include <QGuiApplication>
#include <QKeySequence>
#include <QPalette>
#include <QScreen>
#include <QShortcut>

namespace tovimo::player {
namespace {
const tk::FontSpec kWindowFont{QStringLiteral("Arial"), 8.25f};
const tk::FontSpec kSansSerif{QStringLiteral("MS Sans Serif"), 8.25f};
const tk::FontSpec kArial975{QStringLiteral("Arial"), 9.75f};

constexpr float kDesignScaleWidth = 9765;
constexpr float kDesignScaleHeight = 9720;
} // namespace

Form1::Form1(media::MediaCommandService& media, media::ShortPathService& shortPaths, QWidget* parent)
    : tk::Form(tk::Form::Border::FixedSingle, parent), Command1(this), hs(this), vs(this), pic1(this),
      Text1(this), Command2(this), Command3(this), Text2(this), Command4(this), Combo1(this), Command5(this),
      Command6(this), Combo2(this), Command7(this), Timer1(this), media_(media), shortPaths_(shortPaths) {
    buildDesign();
    connectHandlers();
}

Form1::~Form1() {
    delete frmSelFile_.data();
}

void Form1::buildDesign() {
    setWindowTitle(QStringLiteral("Tovimo"));
    setWindowIcon(tk::appIcon());
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(palette);
    setAutoFillBackground(true);
    QWidget::setFont(kWindowFont.toQFont());
    setDesignInnerSize(kDesignScaleWidth, kDesignScaleHeight);

    struct Placement {
        tk::TwipsGeometry& control;
        QWidget& widget;
        float left, top, width, height;
        const tk::FontSpec& font;
    };
    const Placement placements[] = {
        {Command1, Command1, 7800, 8640, 1000, 375, kSansSerif},
        {hs, hs, 4680, 9200, 2175, 255, kWindowFont},
        {vs, vs, 7080, 9200, 2175, 255, kWindowFont},
        {pic1, pic1, 120, 120, 9480, 8200, kSansSerif},
        {Text1, Text1, 720, 10680, 735, 285, kSansSerif},
        {Command2, Command2, 5400, 8640, 800, 375, kSansSerif},
        {Command3, Command3, 6480, 8640, 800, 375, kSansSerif},
        {Text2, Text2, 240, 9150, 4215, 315, kWindowFont},
        {Command4, Command4, 4320, 8640, 800, 375, kSansSerif},
        {Combo1, Combo1, 3720, 8640, 390, 360, kArial975},
        {Command5, Command5, 360, 8640, 375, 360, kArial975},
        {Command6, Command6, 3240, 8640, 375, 360, kWindowFont},
        {Combo2, Combo2, 840, 8640, 2295, 360, kArial975},
        {Command7, Command7, 9060, 8640, 460, 375, kWindowFont},
    };
    QWidget* previous = nullptr;
    int tabIndex = 0;
    for (const Placement& p : placements) {
        p.control.setTwipsGeometry(p.left, p.top, p.width, p.height);
        p.control.setFont(p.font);
        p.control.setTabIndex(tabIndex++);
        if (previous)
            QWidget::setTabOrder(previous, &p.widget);
        previous = &p.widget;
    }

    Command1.setCaption(QStringLiteral("Open"));
    Command2.setCaption(QStringLiteral("Pause"));
    Command3.setCaption(QStringLiteral("Stop"));
    Command4.setCaption(QStringLiteral("Play"));
    Command5.setCaption(QStringLiteral("+"));
    Command6.setCaption(QStringLiteral("X"));
    Command7.setCaption(QStringLiteral("F"));
    // Screen readers speak these by what they do; the captions stay as designed.
    Command5.speakCaptionAs(QStringLiteral("+"), QStringLiteral("Add to favourites"));
    Command6.speakCaptionAs(QStringLiteral("X"), QStringLiteral("Remove favourite"));
    Command7.speakCaptionAs(QStringLiteral("F"), QStringLiteral("Full screen"));
    Command7.speakCaptionAs(QStringLiteral("S"), QStringLiteral("Window"));

    for (tk::HScrollBar* bar : {&hs, &vs}) {
        bar->setMin(0);
        bar->setMax(100);
        bar->setSmallChange(5);
        bar->setLargeChange(10);
    }
    hs.setValue(0);
    vs.setValue(50);
    hs.setAccessibleName(QStringLiteral("Position"));
    vs.setAccessibleName(QStringLiteral("Volume"));
    Text2.setAccessibleName(QStringLiteral("Media path"));
    Combo2.setAccessibleName(QStringLiteral("Favourites"));
    pic1.setAccessibleName(QStringLiteral("Video"));

    Text1.setVisible(false);
    Combo1.setVisible(false);

    // The sliders and the picture take the focus in their tab places, from
    // the keyboard and from a click.
    for (QWidget* control : std::initializer_list<QWidget*>{&hs, &vs, &pic1})
        control->setFocusPolicy(Qt::StrongFocus);
    focusMark_ = new tk::FocusMark(*this);

    Timer1.setInterval(100);
    Timer1.setEnabled(true);
}

void Form1::connectHandlers() {
    connect(&Command1, &tk::CommandButton::Click, this, &Form1::Command1_Click);
    connect(&Command2, &tk::CommandButton::Click, this, &Form1::Command2_Click);
    connect(&Command3, &tk::CommandButton::Click, this, &Form1::Command3_Click);
    connect(&Command4, &tk::CommandButton::Click, this, &Form1::Command4_Click);
    connect(&Command5, &tk::CommandButton::Click, this, &Form1::Command5_Click);
    connect(&Command6, &tk::CommandButton::Click, this, &Form1::Command6_Click);
    connect(&Command7, &tk::CommandButton::Click, this, &Form1::Command7_Click);
    connect(&Combo2, &tk::ComboBox::Click, this, &Form1::Combo2_Click);
    connect(&hs, &tk::HScrollBar::Scroll, this, &Form1::hs_Scroll);
    connect(&vs, &tk::HScrollBar::Scroll, this, &Form1::vs_Scroll);
    connect(&Timer1, &tk::Timer::Tick, this, &Form1::Timer1_Timer);
    connect(&pic1, &tk::PictureBox::Click, this, &Form1::pic1_Click);
    connect(&pic1, &tk::PictureBox::DblClick, this, &Form1::pic1_DblClick);
    connect(&pic1, &tk::PictureBox::KeyDown, this, &Form1::pic1_KeyDown);
    connect(&hs, &QAbstractSlider::valueChanged, this, &Form1::showPositionTime);
    connect(&hs, &QAbstractSlider::rangeChanged, this, &Form1::showPositionTime);
    connectKeys();
}

void Form1::connectKeys() {
    // Window shortcuts reach the window only when the focused control does
    // not take the key itself (Qt asks it first).
    const auto key = [this](const QKeySequence& sequence, auto handler) {
        auto* shortcut = new QShortcut(sequence, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, handler);
    };
    key(QKeySequence(Qt::Key_Escape), [this] {
        if (fullScreenAhead())
            Command7_Click();
    });
    key(QKeySequence(Qt::Key_F11), [this] { Command7_Click(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_O), [this] { Command1_Click(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); });
    connect(&Text2, &QLineEdit::returnPressed, this, &Form1::Command4_Click);

    // The screen that the screen metrics read.
    const auto watch = [this](QScreen* screen) {
        if (screen)
            connect(screen, &QScreen::geometryChanged, this, &Form1::followScreenSize, Qt::UniqueConnection);
    };
    watch(QGuiApplication::primaryScreen());
    connect(qApp, &QGuiApplication::primaryScreenChanged, this, [this, watch](QScreen* screen) {
        watch(screen);
        followScreenSize();
    });
}

chooser::FrmSelFile& Form1::selectFileWindow() {
    if (!frmSelFile_)
        frmSelFile_ = new chooser::FrmSelFile(Text2);
    return *frmSelFile_;
}

} // namespace tovimo::player
