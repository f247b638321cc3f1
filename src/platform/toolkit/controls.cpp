// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/controls.h"

#include "platform/toolkit/screen.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStandardItemModel>
#include <algorithm>
#include <bit>
#include <xcb/xcb.h>

namespace tovimo::tk {

void TwipsGeometry::setLeft(float twips) {
    left_ = twips;
    apply();
}
void TwipsGeometry::setTop(float twips) {
    top_ = twips;
    apply();
}
void TwipsGeometry::setWidth(float twips) {
    width_ = twips;
    apply();
}
void TwipsGeometry::setHeight(float twips) {
    height_ = twips;
    apply();
}
void TwipsGeometry::setTwipsGeometry(float left, float top, float width, float height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    apply();
}

void TwipsGeometry::setFont(const FontSpec& font) {
    font_ = font;
    widget_.setFont(font.toQFont());
}

void TwipsGeometry::apply() {
    widget_.setGeometry(twipsToPixelsX(left_), twipsToPixelsY(top_), std::max(0, twipsToPixelsX(width_)),
                        std::max(0, twipsToPixelsY(height_)));
}

CommandButton::CommandButton(QWidget* parent) : QPushButton(parent), TwipsGeometry(this) {
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, &CommandButton::Click);
}

void CommandButton::setCaption(const QString& caption) {
    setText(caption);
    nameAfterCaption();
}

void CommandButton::speakCaptionAs(const QString& caption, const QString& name) {
    spokenNames_.insert(caption, name);
    nameAfterCaption();
}

void CommandButton::nameAfterCaption() {
    if (!accessibleName().isEmpty() && accessibleName() != property("captionName").toString())
        return;
    const QString name = spokenNames_.value(text(), text());
    setAccessibleName(name);
    setProperty("captionName", name);
}

TextBox::TextBox(QWidget* parent) : QLineEdit(parent), TwipsGeometry(this) {}

void TextBox::setNativeText(const QByteArray& bytes, const QString& shown) {
    setText(shown);
    nativeBytes_ = bytes;
    nativeShown_ = text(); // as the box holds it
}

void TextBox::setNativeText(const QByteArray& bytes) {
    setNativeText(bytes, QFile::decodeName(bytes));
}

QByteArray TextBox::NativeText() const {
    return !nativeShown_.isNull() && text() == nativeShown_ ? nativeBytes_ : text().toLocal8Bit();
}

ComboBox::ComboBox(QWidget* parent) : QComboBox(parent), TwipsGeometry(this) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setDuplicatesEnabled(true);
    // Inline completion would put an item's text into the box that the user
    // never picked, and the box itself picks the item that typed text matches
    // when editing finishes: neither is a choice.
    setCompleter(nullptr);
    disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] { typed_ = true; });
    connect(this, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { typed_ = false; });
    connect(this, qOverload<int>(&QComboBox::activated), this, [this](int) {
        typed_ = false;
        emit Click();
    });
}

void ComboBox::setText(const QString& text) {
    setEditText(text);
}

std::int16_t ComboBox::ListIndex() const {
    const int index = currentIndex();
    if (typed_ || index < 0 || itemText(index) != currentText())
        return -1;
    return static_cast<std::int16_t>(index);
}

void ComboBox::AddItem(const QString& item) {
    const QString text = currentText();
    const int index = currentIndex();
    const QSignalBlocker block(this);
    addItem(item);
    setCurrentIndex(index);
    setEditText(text);
}

void ComboBox::AddItems(const QStringList& items, const QList<QVariant>& data, int role) {
    const QString text = currentText();
    const int index = currentIndex();
    const QSignalBlocker block(this);
    // The combo box's own model: this class never replaces it.
    auto* list = qobject_cast<QStandardItemModel*>(model());
    QList<QStandardItem*> rows;
    rows.reserve(items.size());
    for (qsizetype i = 0; i < items.size(); ++i) {
        auto* row = new QStandardItem(items[i]);
        if (i < data.size())
            row->setData(data[i], role);
        rows.push_back(row);
    }
    list->invisibleRootItem()->appendRows(rows);
    setCurrentIndex(index);
    setEditText(text);
}

void ComboBox::RemoveItem(int index) {
    // The text of a removed item that was showing goes with it; typed text stays.
    const QString text = ListIndex() == index ? QString() : currentText();
    const int current = currentIndex();
    const QSignalBlocker block(this);
    removeItem(index);
    setCurrentIndex(current == index ? -1 : (current > index ? current - 1 : current));
    setEditText(text);
}

void ComboBox::Clear() {
    typed_ = false;
    const QSignalBlocker block(this);
    clear();
}

namespace {
// A scroll bar as a screen reader meets it: its number through the value
// interface, and as its value text what the program says the number means.
class AccessibleScrollBar : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleScrollBar(HScrollBar* bar) : QAccessibleWidget(bar, QAccessible::ScrollBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text kind) const override {
        if (kind != QAccessible::Value)
            return QAccessibleWidget::text(kind);
        return bar()->valueText().isEmpty() ? QString::number(bar()->value()) : bar()->valueText();
    }

    QVariant currentValue() const override { return bar()->value(); }
    void setCurrentValue(const QVariant& value) override { bar()->QScrollBar::setValue(value.toInt()); }
    QVariant maximumValue() const override { return bar()->maximum(); }
    QVariant minimumValue() const override { return bar()->minimum(); }
    QVariant minimumStepSize() const override { return bar()->singleStep(); }

private:
    HScrollBar* bar() const { return static_cast<HScrollBar*>(widget()); }
};

QAccessibleInterface* accessibleScrollBar(const QString&, QObject* object) {
    if (auto* bar = qobject_cast<HScrollBar*>(object))
        return new AccessibleScrollBar(bar);
    return nullptr;
}
} // namespace

HScrollBar::HScrollBar(QWidget* parent) : QScrollBar(Qt::Horizontal, parent), TwipsGeometry(this) {
    static const bool accessible = (QAccessible::installFactory(accessibleScrollBar), true);
    (void)accessible;
    // valueChanged follows the thumb while tracking; only a drag (slider
    // down) that the program did not cause counts as Scroll.
    connect(this, &QAbstractSlider::valueChanged, this, [this](int) {
        if (!programmatic_ && isSliderDown())
            emit Scroll();
    });
}

void HScrollBar::keyPressEvent(QKeyEvent* event) {
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        const bool forward = (event->key() == Qt::Key_Right) != isRightToLeft();
        triggerAction(forward ? SliderSingleStepAdd : SliderSingleStepSub);
        event->accept();
        return;
    }
    QScrollBar::keyPressEvent(event);
}

void HScrollBar::setValue(std::int16_t value) {
    programmatic_ = true;
    QScrollBar::setValue(value);
    programmatic_ = false;
}

void HScrollBar::setValueText(const QString& text) {
    if (text == valueText_)
        return;
    valueText_ = text;
    QAccessibleValueChangeEvent changed(this, value());
    QAccessible::updateAccessibility(&changed);
}

void HScrollBar::setMin(std::int16_t min) {
    programmatic_ = true;
    setMinimum(min);
    programmatic_ = false;
}

void HScrollBar::setMax(std::int16_t max) {
    programmatic_ = true;
    setMaximum(max);
    programmatic_ = false;
}

Timer::Timer(QObject* parent) : QObject(parent) {
    connect(&timer_, &QTimer::timeout, this, &Timer::Tick);
}

void Timer::setEnabled(bool enabled) {
    if (enabled)
        timer_.start();
    else
        timer_.stop();
}

namespace {

xcb_connection_t* xcbConnection() {
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

const xcb_screen_t* defaultScreen(xcb_connection_t* connection) {
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
}

// `colour` as a pixel of the screen's default visual (true colour), which
// Qt's windows and their children have.
std::uint32_t pixelOf(xcb_connection_t* connection, const QColor& colour) {
    const xcb_screen_t* screen = defaultScreen(connection);
    const auto channel = [](int value, std::uint32_t mask) {
        if (mask == 0)
            return 0u;
        const int shift = std::countr_zero(mask);
        return static_cast<std::uint32_t>(value) * (mask >> shift) / 255u << shift;
    };
    for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem; xcb_depth_next(&depths))
        for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem;
             xcb_visualtype_next(&visuals))
            if (visuals.data->visual_id == screen->root_visual)
                return channel(colour.red(), visuals.data->red_mask) |
                       channel(colour.green(), visuals.data->green_mask) |
                       channel(colour.blue(), visuals.data->blue_mask);
    return screen->white_pixel;
}

} // namespace

PictureBox::PictureBox(QWidget* parent) : QWidget(parent), TwipsGeometry(this), area_(parent) {
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (area_) {
        area_->setAttribute(Qt::WA_OpaquePaintEvent);
        area_->installEventFilter(this);
    }
}

PictureBox::~PictureBox() {
    // The parent's window still exists: Qt destroys a window's children first.
    if (xcb_connection_t* connection = band_ ? xcbConnection() : nullptr) {
        xcb_destroy_window(connection, band_);
        xcb_flush(connection);
    }
}

bool PictureBox::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::WinIdChange:
        // Qt makes every native window with no background (its contents are
        // left as they were): a new one gets black.
        fillWithBlack();
        break;
    case QEvent::Resize:
        placeMessage();
        placeBand();
        break;
    case QEvent::Move:
    case QEvent::Show:
    case QEvent::Hide:
        placeBand();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void PictureBox::setMessage(const QString& text) {
    setAccessibleDescription(text);
    if (text.isEmpty()) {
        if (message_)
            message_->hide();
        return;
    }
    if (!message_) {
        message_ = new QLabel(this);
        // A window of its own: the picture box has no paint engine, and the
        // label must lie above the black of the box's window.
        message_->setAttribute(Qt::WA_NativeWindow);
        message_->setAttribute(Qt::WA_TransparentForMouseEvents);
        message_->setAlignment(Qt::AlignCenter);
        message_->setWordWrap(true);
        message_->setMargin(8);
        message_->setAutoFillBackground(true);
        QPalette colours = message_->palette();
        colours.setColor(QPalette::Window, Qt::black);
        colours.setColor(QPalette::WindowText, Qt::white);
        message_->setPalette(colours);
        QFont font = message_->font();
        font.setPointSizeF(font.pointSizeF() * 1.5);
        message_->setFont(font);
    }
    message_->setText(text);
    placeMessage();
    message_->show();
}

QString PictureBox::Message() const {
    return message_ && !message_->isHidden() ? message_->text() : QString();
}

void PictureBox::placeMessage() {
    if (!message_)
        return;
    const int textWidth = std::max(0, std::min(width() - 16, message_->sizeHint().width()));
    const int textHeight = std::min(height(), message_->heightForWidth(textWidth));
    message_->setGeometry((width() - textWidth) / 2, (height() - textHeight) / 2, textWidth, textHeight);
}

bool PictureBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched != area_)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Paint:
        paintParentBackground(*static_cast<QPaintEvent*>(event));
        break;
    case QEvent::WinIdChange:
        band_ = 0; // gone with the parent's old window
        placeBand();
        break;
    case QEvent::Resize:
    case QEvent::Show:
        placeBand();
        break;
    case QEvent::PaletteChange:
        if (xcb_connection_t* connection = band_ ? xcbConnection() : nullptr) {
            const std::uint32_t pixel = pixelOf(connection, area_->palette().color(area_->backgroundRole()));
            xcb_change_window_attributes(connection, band_, XCB_CW_BACK_PIXEL, &pixel);
            xcb_clear_area(connection, 0, band_, 0, 0, 0, 0);
            xcb_flush(connection);
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void PictureBox::fillWithBlack() {
    xcb_connection_t* connection = xcbConnection();
    const WId window = internalWinId();
    if (!connection || !window)
        return;
    // The window has its parent's visual, which is the screen's default one.
    const xcb_screen_t* screen = defaultScreen(connection);
    const std::uint32_t black = screen ? screen->black_pixel : 0;
    xcb_change_window_attributes(connection, static_cast<xcb_window_t>(window), XCB_CW_BACK_PIXEL, &black);
    // Shows the black at once where the window is already mapped.
    xcb_clear_area(connection, 0, static_cast<xcb_window_t>(window), 0, 0, 0, 0);
    xcb_flush(connection);
}

void PictureBox::placeBand() {
    xcb_connection_t* connection = xcbConnection();
    const WId parentWindow = area_ ? area_->internalWinId() : 0;
    if (!connection || !parentWindow)
        return;
    const QRect band(0, y(), area_->width(), height());
    const bool shown = isVisible() && !band.isEmpty();
    if (!band_ && !shown)
        return;
    const qreal ratio = devicePixelRatioF();
    const std::int32_t top = qRound(band.y() * ratio);
    const auto width = static_cast<std::uint32_t>(std::max(1, qRound(band.width() * ratio)));
    const auto height = static_cast<std::uint32_t>(std::max(1, qRound(band.height() * ratio)));
    if (!band_) {
        band_ = xcb_generate_id(connection);
        const std::uint32_t background = pixelOf(connection, area_->palette().color(area_->backgroundRole()));
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, band_, static_cast<xcb_window_t>(parentWindow), 0,
                          0, width, height, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                          XCB_CW_BACK_PIXEL, &background);
    }
    const std::uint32_t geometry[] = {0, static_cast<std::uint32_t>(top), width, height,
                                      XCB_STACK_MODE_BELOW};
    xcb_configure_window(connection, band_,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                             XCB_CONFIG_WINDOW_HEIGHT | XCB_CONFIG_WINDOW_STACK_MODE,
                         geometry);
    if (shown)
        xcb_map_window(connection, band_);
    else
        xcb_unmap_window(connection, band_);
    xcb_flush(connection);
    // What the band gives up shows the parent's window, whose backing store
    // holds nothing there: the parent paints it.
    const QRect covered = shown ? band : QRect();
    if (covered != bandArea_) {
        area_->update(QRegion(bandArea_) - covered);
        bandArea_ = covered;
    }
}

void PictureBox::paintParentBackground(const QPaintEvent& event) {
    QPainter painter(area_);
    painter.setClipRegion(event.region() - bandArea_);
    painter.fillRect(event.rect(), area_->palette().brush(area_->backgroundRole()));
}

std::int32_t PictureBox::hWnd() {
    return static_cast<std::int32_t>(winId());
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit Click();
}

void PictureBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit DblClick();
}

void PictureBox::keyPressEvent(QKeyEvent* event) {
    bool used = false;
    emit KeyDown(event->key(), event->modifiers() & ~Qt::KeypadModifier, used);
    if (used)
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

Image::Image(QWidget* parent) : QLabel(parent) {
    setScaledContents(false);
}

void Image::setPicture(const QPixmap& picture) {
    setPixmap(picture);
    apply();
}

float Image::Width() const {
    return static_cast<float>(pixmap().width()) * logicalTwipsPerPixelX();
}
float Image::Height() const {
    return static_cast<float>(pixmap().height()) * logicalTwipsPerPixelY();
}

void Image::setLeft(float twips) {
    left_ = twips;
    apply();
}
void Image::setTop(float twips) {
    top_ = twips;
    apply();
}

void Image::apply() {
    setGeometry(twipsToPixelsX(left_), twipsToPixelsY(top_), pixmap().width(), pixmap().height());
}

} // namespace tovimo::tk
