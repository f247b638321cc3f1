// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/toolkit/design_font.h"

#include <QComboBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QWidget>
#include <cstdint>

namespace tovimo::tk {

// Position and size of a control in twips, relative to its form's inner
// area, held as 32-bit floats and read back exactly as written. The widget
// is placed at the nearest whole pixels; a negative size shows as 0.
class TwipsGeometry {
public:
    explicit TwipsGeometry(QWidget* widget) : widget_(*widget) {}
    TwipsGeometry(const TwipsGeometry&) = delete;
    TwipsGeometry& operator=(const TwipsGeometry&) = delete;

    float Left() const { return left_; }
    float Top() const { return top_; }
    float Width() const { return width_; }
    float Height() const { return height_; }
    void setLeft(float twips);
    void setTop(float twips);
    void setWidth(float twips);
    void setHeight(float twips);
    void setTwipsGeometry(float left, float top, float width, float height);

    const FontSpec& Font() const { return font_; }
    void setFont(const FontSpec& font);

    int TabIndex() const { return tabIndex_; }
    void setTabIndex(int index) { tabIndex_ = index; }

private:
    void apply();

    QWidget& widget_;
    float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    FontSpec font_;
    int tabIndex_ = -1;
};

// A button whose accessible name follows its caption: the caption itself, or
// the name given for that caption with speakCaptionAs, so that a caption
// such as "+" is read out by what the button does. A name set directly with
// setAccessibleName stays.
class CommandButton : public QPushButton, public TwipsGeometry {
    Q_OBJECT
public:
    explicit CommandButton(QWidget* parent);
    QString Caption() const { return text(); }
    void setCaption(const QString& caption);
    // The accessible name while the caption is `caption`.
    void speakCaptionAs(const QString& caption, const QString& name);
signals:
    void Click();

private:
    void nameAfterCaption();
    QHash<QString, QString> spokenNames_;
};

// A text box that can also carry a file path as the file system's own bytes,
// which a name that is not valid in the local encoding cannot keep through a
// QString.
class TextBox : public QLineEdit, public TwipsGeometry {
    Q_OBJECT
public:
    explicit TextBox(QWidget* parent);
    QString Text() const { return text(); }
    // Shows `shown` and keeps `bytes` as its native form until the text changes.
    void setNativeText(const QByteArray& bytes, const QString& shown);
    // Shows the bytes decoded as a file name (invalid sequences as replacement marks).
    void setNativeText(const QByteArray& bytes);
    // The bytes given to setNativeText while the box still shows their text;
    // otherwise the text in the local encoding.
    QByteArray NativeText() const;

private:
    QByteArray nativeBytes_;
    QString nativeShown_;
};

// An editable combo box that never sorts, never inserts typed text and never
// completes it. AddItem and RemoveItem leave the edit text as it was, except
// that removing the item the text shows clears it. ListIndex is the item
// chosen from the list while the edit text still shows it; -1 once the user
// has typed, even text that equals an item. Click is raised only when the
// user picks an item: in the drop-down list, or with the keys in the closed
// box; typed text that happens to match an item raises nothing.
class ComboBox : public QComboBox, public TwipsGeometry {
    Q_OBJECT
public:
    explicit ComboBox(QWidget* parent);
    QString Text() const { return currentText(); }
    void setText(const QString& text);
    QString List(int index) const { return itemText(index); }
    std::int16_t ListCount() const { return static_cast<std::int16_t>(count()); }
    std::int16_t ListIndex() const;
    void AddItem(const QString& item);
    // AddItem for many items at once, item i carrying data[i] under `role`:
    // one model insertion, so thousands of items load without a per-item
    // relayout.
    void AddItems(const QStringList& items, const QList<QVariant>& data = {}, int role = Qt::UserRole);
    void RemoveItem(int index);
    void Clear();
signals:
    // The user chose an item from the list.
    void Click();

private:
    bool typed_ = false; // the edit text was typed after the last choice
};

// Horizontal scroll bar with 16-bit values. Scroll is raised only while the
// user drags the thumb, after Value has taken the new position; arrow and
// track clicks, keys and values set by the program raise nothing.
class HScrollBar : public QScrollBar, public TwipsGeometry {
    Q_OBJECT
public:
    explicit HScrollBar(QWidget* parent);
    std::int16_t Value() const { return static_cast<std::int16_t>(value()); }
    std::int16_t Min() const { return static_cast<std::int16_t>(minimum()); }
    std::int16_t Max() const { return static_cast<std::int16_t>(maximum()); }
    std::int16_t SmallChange() const { return static_cast<std::int16_t>(singleStep()); }
    std::int16_t LargeChange() const { return static_cast<std::int16_t>(pageStep()); }
    void setValue(std::int16_t value);
    void setMin(std::int16_t min);
    void setMax(std::int16_t max);
    void setSmallChange(std::int16_t step) { setSingleStep(step); }
    void setLargeChange(std::int16_t step) { setPageStep(step); }
    // What the value means to a person ("0:42 / 2:00:00"): the accessible
    // value text, which screen readers speak. Empty: the number itself. The
    // number stays the accessible current value.
    void setValueText(const QString& text);
    const QString& valueText() const { return valueText_; }
signals:
    void Scroll();

protected:
    // Left and Right move the thumb the way they point: a scroll bar's own
    // controls are inverted for its wheel.
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool programmatic_ = false;
    QString valueText_;
};

class Timer : public QObject {
    Q_OBJECT
public:
    explicit Timer(QObject* parent);
    int Interval() const { return timer_.interval(); }
    void setInterval(int milliseconds) { timer_.setInterval(milliseconds); }
    bool Enabled() const { return timer_.isActive(); }
    // Enabling (re)starts the interval from now.
    void setEnabled(bool enabled);
signals:
    void Tick();

private:
    QTimer timer_;
};

// A native window into which the media service draws video. The service
// draws into a child window of hWnd that it owns. Qt paints nothing here: the
// window is black because the X server fills it with its background pixel
// wherever it shows, also where that child leaves the area uncovered, with no
// paint event and nothing of it in the top-level window's backing store (a
// full-screen picture area painted through that store keeps a buffer the
// screen's size, 33 MB on a 3840x2160 screen). A paused frame in the child
// stays visible through updates and resizes. Its inner area is its whole
// size.
//
// The rows of the parent beside the picture (its left and right margins) are
// left out of the backing store too: each of its rows there would touch a
// page of the store. An X window of the parent's background colour, below
// every other child window of the parent, fills the parent's whole width
// over the picture's rows, and the parent paints its background everywhere
// but there. The PictureBox takes over the background painting of the parent
// it is made with (which it sets WA_OpaquePaintEvent on) and so must stay
// with it; the parent's other children must be native windows, as Qt makes
// them beside this one.
class PictureBox : public QWidget, public TwipsGeometry {
    Q_OBJECT
    // Readable by name, for operations that take any object with an inner area.
    Q_PROPERTY(float ScaleWidth READ ScaleWidth)
    Q_PROPERTY(float ScaleHeight READ ScaleHeight)
public:
    explicit PictureBox(QWidget* parent);
    ~PictureBox() override;
    float ScaleWidth() const { return Width(); }
    float ScaleHeight() const { return Height(); }
    // The native window handle as the 32-bit value the media service takes.
    std::int32_t hWnd();
    QPaintEngine* paintEngine() const override { return nullptr; }

    // Passive text in the middle of the picture area, also its accessible
    // description; empty text removes it. It lies above the window that the
    // service draws into, so it is for while no picture plays.
    void setMessage(const QString& text);
    QString Message() const;
signals:
    void Click();
    void DblClick();
    // A key pressed while the picture box has the focus. A slot that uses the
    // key sets `used`; an unused key goes on to the window.
    void KeyDown(int key, Qt::KeyboardModifiers modifiers, bool& used);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent*) override {}

private:
    void fillWithBlack();
    void placeBand();
    void placeMessage();
    void paintParentBackground(const QPaintEvent& event);

    QWidget* area_;
    QLabel* message_ = nullptr; // made on first use
    std::uint32_t band_ = 0;
    // The parent's rows that the band covers, in the parent's coordinates;
    // empty while the band is not shown.
    QRect bandArea_;
};

// A picture at its own size (no stretching); Width and Height read the
// picture's size in twips.
class Image : public QLabel {
    Q_OBJECT
public:
    explicit Image(QWidget* parent);
    void setPicture(const QPixmap& picture);
    float Left() const { return left_; }
    float Top() const { return top_; }
    float Width() const;
    float Height() const;
    void setLeft(float twips);
    void setTop(float twips);

private:
    void apply();
    float left_ = 0, top_ = 0;
};

} // namespace tovimo::tk
