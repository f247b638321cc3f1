// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <cstdint>

namespace tovimo::tk {

// A top-level window whose geometry is held in twips as 32-bit floats and
// read back exactly as written.
//
// Width/Height are the outer size. A FixedSingle form models a frame of 45
// twips left, right and bottom and 390 at the top (title bar included), so
// ScaleWidth = Width - 90 and ScaleHeight = Height - 435; a borderless form's
// inner area is its outer size. The Qt client area is sized to the inner area
// in pixels and cannot be resized by the user.
//
// Events: Form_Load runs once per load (Load(), or the first Show()).
// Form_Resize runs nested inside every setWidth/setHeight that changes the
// size, and once when the form is first shown. Form_Unload runs when the form
// is closed or unloaded; a cancel flag left 0 lets the unload proceed.
class Form : public QWidget {
    Q_OBJECT
    // Readable by name, for operations that take any object with an inner area.
    Q_PROPERTY(float ScaleWidth READ ScaleWidth)
    Q_PROPERTY(float ScaleHeight READ ScaleHeight)
public:
    enum class Border { FixedSingle, None };

    explicit Form(Border border, QWidget* parent = nullptr);

    float Width() const { return width_; }
    float Height() const { return height_; }
    float Left() const { return left_; }
    float Top() const { return top_; }
    float ScaleWidth() const;
    float ScaleHeight() const;

    void setWidth(float twips);
    void setHeight(float twips);
    void setLeft(float twips);
    void setTop(float twips);
    // Sets the inner area, as a design does; raises no resize event.
    void setDesignInnerSize(float scaleWidth, float scaleHeight);

    bool isLoaded() const { return loaded_; }
    // Raises Form_Load if the form is not loaded yet.
    void Load();
    void Show();
    // Shows the form modally and returns once it is unloaded.
    void ShowModal();
    // Closes the form: Form_Unload runs, then the window is hidden and, when
    // WA_DeleteOnClose is set, destroyed.
    void Unload();

signals:
    void unloaded();

protected:
    virtual void Form_Load() {}
    virtual void Form_Resize() {}
    virtual void Form_Unload(std::int16_t& /*cancel*/) {}

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void applyPosition();
    void applySize();
    void sizeChanged();

    Border border_;
    float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool loaded_ = false;
    bool shownOnce_ = false;
};

} // namespace tovimo::tk
