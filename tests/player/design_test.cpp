// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/form1_fixture.h"

#include <QAccessible>
#include <QApplication>
#include <gtest/gtest.h>

namespace tk = tovimo::tk;
namespace player = tovimo::player;

namespace {

struct ControlRow {
    const char* name;
    const char* qtClass;
    const char* caption; // nullptr: no caption
    float left, top, width, height;
    const char* fontFamily;
    float fontSize;
    bool visible;
    const char* accessibleName; // nullptr: not visible, not checked
};

class Form1Design : public tovimo::testing::Form1Fixture {
protected:
    struct Control {
        QWidget* widget;
        tk::TwipsGeometry* geometry;
    };
    Control control(const char* name) {
        player::Form1& f = form;
        const std::map<std::string, Control> controls = {
            {"Command1", {&f.Command1, &f.Command1}},
            {"hs", {&f.hs, &f.hs}},
            {"vs", {&f.vs, &f.vs}},
            {"pic1", {&f.pic1, &f.pic1}},
            {"Text1", {&f.Text1, &f.Text1}},
            {"Command2", {&f.Command2, &f.Command2}},
            {"Command3", {&f.Command3, &f.Command3}},
            {"Text2", {&f.Text2, &f.Text2}},
            {"Command4", {&f.Command4, &f.Command4}},
            {"Combo1", {&f.Combo1, &f.Combo1}},
            {"Command5", {&f.Command5, &f.Command5}},
            {"Command6", {&f.Command6, &f.Command6}},
            {"Combo2", {&f.Combo2, &f.Combo2}},
            {"Command7", {&f.Command7, &f.Command7}},
        };
        return controls.at(name);
    }
};

// In tab order.
const ControlRow kDesign[] = {
    {"Command1", "QPushButton", "Open", 7800, 8640, 1000, 375, "MS Sans Serif", 8.25f, true, "Open"},
    {"hs", "QScrollBar", nullptr, 4680, 9200, 2175, 255, "Arial", 8.25f, true, "Position"},
    {"vs", "QScrollBar", nullptr, 7080, 9200, 2175, 255, "Arial", 8.25f, true, "Volume"},
    {"pic1", "QWidget", nullptr, 120, 120, 9480, 8200, "MS Sans Serif", 8.25f, true, "Video"},
    {"Text1", "QLineEdit", nullptr, 720, 10680, 735, 285, "MS Sans Serif", 8.25f, false, nullptr},
    {"Command2", "QPushButton", "Pause", 5400, 8640, 800, 375, "MS Sans Serif", 8.25f, true, "Pause"},
    {"Command3", "QPushButton", "Stop", 6480, 8640, 800, 375, "MS Sans Serif", 8.25f, true, "Stop"},
    {"Text2", "QLineEdit", nullptr, 240, 9150, 4215, 315, "Arial", 8.25f, true, "Media path"},
    {"Command4", "QPushButton", "Play", 4320, 8640, 800, 375, "MS Sans Serif", 8.25f, true, "Play"},
    {"Combo1", "QComboBox", nullptr, 3720, 8640, 390, 360, "Arial", 9.75f, false, nullptr},
    {"Command5", "QPushButton", "+", 360, 8640, 375, 360, "Arial", 9.75f, true, "Add to favourites"},
    {"Command6", "QPushButton", "X", 3240, 8640, 375, 360, "Arial", 8.25f, true, "Remove favourite"},
    {"Combo2", "QComboBox", nullptr, 840, 8640, 2295, 360, "Arial", 9.75f, true, "Favourites"},
    {"Command7", "QPushButton", "F", 9060, 8640, 460, 375, "Arial", 8.25f, true, "Full screen"},
};

TEST_F(Form1Design, WindowIsTheDesign) {
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Tovimo"));
    EXPECT_FLOAT_EQ(form.ScaleWidth(), 9765);
    EXPECT_FLOAT_EQ(form.ScaleHeight(), 9720);
    EXPECT_FLOAT_EQ(form.Width(), 9855);
    EXPECT_FLOAT_EQ(form.Height(), 10155);
    EXPECT_EQ(form.palette().color(QPalette::Window), QColor(192, 192, 192));
    EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "fixed single border";
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    const QList<QSize> iconSizes = form.windowIcon().availableSizes();
    EXPECT_TRUE(iconSizes.contains(QSize(32, 32)));
    EXPECT_TRUE(iconSizes.contains(QSize(16, 16)));
    EXPECT_EQ(form.Timer1.Interval(), 100);
    EXPECT_TRUE(form.Timer1.Enabled());
}

TEST_F(Form1Design, ControlsAreAtTheirDesignPlacesInTabOrder) {
    // Not shown: the first show raises the resize event, which re-arranges
    // the strip; the design is the state before any handler runs.
    QWidget* previous = nullptr;
    int tabIndex = 0;
    for (const ControlRow& row : kDesign) {
        SCOPED_TRACE(row.name);
        const Control c = control(row.name);
        EXPECT_TRUE(c.widget->inherits(row.qtClass));
        EXPECT_FLOAT_EQ(c.geometry->Left(), row.left);
        EXPECT_FLOAT_EQ(c.geometry->Top(), row.top);
        EXPECT_FLOAT_EQ(c.geometry->Width(), row.width);
        EXPECT_FLOAT_EQ(c.geometry->Height(), row.height);
        EXPECT_EQ(c.geometry->Font().family, QString::fromLatin1(row.fontFamily));
        EXPECT_FLOAT_EQ(c.geometry->Font().pointSize, row.fontSize);
        EXPECT_EQ(c.geometry->Font().weight, 400);
        EXPECT_EQ(c.geometry->Font().writingSystem(), QFontDatabase::Arabic);
        EXPECT_FALSE(c.widget->font().bold() || c.widget->font().italic() || c.widget->font().underline());
        EXPECT_EQ(c.widget->isVisibleTo(&form), row.visible);
        EXPECT_TRUE(c.widget->isEnabled());
        EXPECT_EQ(c.geometry->TabIndex(), tabIndex++);
        if (row.caption) {
            EXPECT_EQ(static_cast<QPushButton*>(c.widget)->text(), QString::fromUtf8(row.caption));
        }
        if (row.accessibleName) {
            EXPECT_EQ(c.widget->accessibleName(), QString::fromUtf8(row.accessibleName));
        }
        if (previous) {
            // A combo box's own line edit follows it in the chain.
            QWidget* next = previous->nextInFocusChain();
            while (next && previous->isAncestorOf(next))
                next = next->nextInFocusChain();
            EXPECT_EQ(next, c.widget) << "tab order";
        }
        previous = c.widget;
        // Pixels follow the twips at 15 per pixel.
        EXPECT_EQ(c.widget->geometry(), QRect(qRound(row.left / 15), qRound(row.top / 15),
                                              qRound(row.width / 15), qRound(row.height / 15)));
    }
}

TEST_F(Form1Design, InitialValues) {
    EXPECT_EQ(form.hs.Min(), 0);
    EXPECT_EQ(form.hs.Max(), 100);
    EXPECT_EQ(form.hs.Value(), 0);
    EXPECT_EQ(form.vs.Max(), 100);
    EXPECT_EQ(form.vs.Value(), 50);
    for (tk::HScrollBar* bar : {&form.hs, &form.vs}) {
        EXPECT_EQ(bar->SmallChange(), 5);
        EXPECT_EQ(bar->LargeChange(), 10);
        EXPECT_EQ(bar->orientation(), Qt::Horizontal);
    }
    EXPECT_EQ(form.Combo1.ListCount(), 0);
    EXPECT_EQ(form.Combo2.ListCount(), 0);
    EXPECT_TRUE(form.Combo2.isEditable());
    EXPECT_TRUE(form.Text1.Text().isEmpty());
    EXPECT_TRUE(form.Text2.Text().isEmpty());
    EXPECT_TRUE(form.Combo2.Text().isEmpty());
    EXPECT_TRUE(media.commands().empty()) << "creating the window sends nothing";
}

TEST_F(Form1Design, VisibleControlsDoNotOverlap) {
    std::vector<QRectF> rects;
    for (const ControlRow& row : kDesign)
        if (row.visible)
            rects.emplace_back(row.left, row.top, row.width, row.height);
    for (std::size_t i = 0; i < rects.size(); ++i)
        for (std::size_t j = i + 1; j < rects.size(); ++j)
            EXPECT_FALSE(rects[i].intersects(rects[j])) << kDesign[i].name << " and " << kDesign[j].name;
}

TEST_F(Form1Design, ButtonsWithSymbolCaptionsAreSpokenByWhatTheyDo) {
    auto spoken = [](QWidget& widget) {
        QAccessibleInterface* node = QAccessible::queryAccessibleInterface(&widget);
        return node ? node->text(QAccessible::Name) : QStringLiteral("<none>");
    };
    EXPECT_EQ(spoken(form.Command5), QStringLiteral("Add to favourites"));
    EXPECT_EQ(spoken(form.Command6), QStringLiteral("Remove favourite"));
    EXPECT_EQ(spoken(form.Command1), QStringLiteral("Open"));
    EXPECT_EQ(form.Command5.Caption(), QStringLiteral("+"));
    EXPECT_EQ(form.Command6.Caption(), QStringLiteral("X"));

    // The screen-mode button's name follows its caption both ways.
    for (const auto& [caption, name] :
         {std::pair{"F", "Full screen"}, {"S", "Window"}, {"F", "Full screen"}}) {
        EXPECT_EQ(form.Command7.Caption(), QString::fromLatin1(caption));
        EXPECT_EQ(spoken(form.Command7), QString::fromLatin1(name));
        f.Command7_Click();
    }
}

} // namespace
