#include "window_fixture.h"

#include "app/window_scroller.h"

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace glimmerset::test {
namespace {

double luminance(QColor color) {
    const auto channel = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) +
           0.0722 * channel(color.blueF());
}

double contrast(QColor a, QColor b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A dark desktop theme's colours for the roles the window's controls use.
QPalette darkPalette() {
    QPalette dark;
    for (auto [role, rgb] : {std::pair{QPalette::Window, 0x353535},
                             {QPalette::WindowText, 0xEEEEEE},
                             {QPalette::Base, 0x232323},
                             {QPalette::Text, 0xEEEEEE},
                             {QPalette::Button, 0x3C3C3C},
                             {QPalette::ButtonText, 0xEEEEEE}})
        dark.setColor(role, QColor::fromRgb(QRgb(rgb)));
    return dark;
}

// The window as a desktop theme would have it: the style and palette set for
// the whole application before the window is made, and put back afterwards.
class ThemedWindow : public WindowTest {
protected:
    ~ThemedWindow() override {
        window.reset();
        QApplication::setStyle(savedStyle_);
        QApplication::setPalette(savedPalette_);
    }
    void useTheme(QStyle *style, const QPalette &palette) {
        window.reset();
        QApplication::setStyle(style);
        QApplication::setPalette(palette);
        window = std::make_unique<MainWindow>(platform);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    QWidget *widget(const char *name) const {
        if (std::strcmp(name, "main") == 0)
            return window.get();
        auto *found = window->findChild<QWidget *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

private:
    QString savedStyle_ = QApplication::style()->name();
    QPalette savedPalette_ = QApplication::palette();
};

struct Theme {
    const char *style;
    bool dark;
};

constexpr Theme kThemes[] = {
    {"Fusion", false}, {"Fusion", true}, {"Windows", false}, {"Windows", true}};

// Text on the fixed grey is fixed dark with it; the controls that draw on the
// theme's base or button colour keep the theme's own pair.
TEST_F(ThemedWindow, EveryTextReadsOnItsBackgroundUnderAnyTheme) {
    // Frames and the label fill no background of their own: their text is
    // drawn on the window's grey.
    const struct {
        const char *widget;
        QPalette::ColorRole text;
        const char *behind;
        QPalette::ColorRole background;
    } pairs[] = {
        {"Frame1", QPalette::WindowText, "main", QPalette::Window},
        {"Frame2", QPalette::WindowText, "main", QPalette::Window},
        {"Label1", QPalette::WindowText, "main", QPalette::Window},
        {"Box", QPalette::Text, "Box", QPalette::Base},
        {"action", QPalette::Text, "action", QPalette::Base},
        {"code", QPalette::Text, "code", QPalette::Base},
        {"Text1_0", QPalette::Text, "Text1_0", QPalette::Base},
        {"clear", QPalette::ButtonText, "clear", QPalette::Button},
        {"Ccode", QPalette::ButtonText, "Ccode", QPalette::Button},
        {"Command3", QPalette::ButtonText, "Command3", QPalette::Button},
    };
    for (const Theme &theme : kThemes) {
        SCOPED_TRACE(std::string(theme.style) + (theme.dark ? " dark" : " light"));
        QStyle *style = QStyleFactory::create(QString::fromLatin1(theme.style));
        useTheme(style, theme.dark ? darkPalette() : style->standardPalette());
        EXPECT_EQ(window->palette().color(QPalette::Window), toQColor(0xC0C0C0));
        for (const auto &pair : pairs) {
            const QColor text = widget(pair.widget)->palette().color(pair.text);
            const QColor background = widget(pair.behind)->palette().color(pair.background);
            EXPECT_GE(contrast(text, background), 4.5) << pair.widget;
            if (std::strcmp(pair.behind, "main") == 0) {
                EXPECT_FALSE(widget(pair.widget)->autoFillBackground()) << pair.widget;
            }
        }
    }
    // The current cell's outline against either cell colour.
    for (std::uint32_t cell : {PIXEL_ON_COLOR, PIXEL_OFF_COLOR})
        EXPECT_GE(contrast(toQColor(GlyphGrid::kCurrentCellColor), toQColor(cell)), 3.0)
            << std::hex << cell;
}

// Rows as tall as some desktop styles make them.
class TallRowStyle : public QProxyStyle {
public:
    TallRowStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}
    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override {
        QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
        if (type == CT_ItemViewItem)
            result.rheight() += 14;
        return result;
    }
};

TEST_F(ThemedWindow, EveryListEntryShowsInAnyStyle) {
    QList<QStyle *> styles;
    for (const QString &name : QStyleFactory::keys())
        styles << QStyleFactory::create(name);
    styles << new TallRowStyle;
    for (QStyle *style : styles) {
        SCOPED_TRACE(style->name().toStdString());
        useTheme(style, style->standardPalette());
        for (const char *listName : {"Box", "action"}) {
            QListWidget *l = list(listName);
            for (int i = 0; i < l->count(); ++i)
                EXPECT_TRUE(l->viewport()->rect().contains(l->visualItemRect(l->item(i))))
                    << listName << " " << i;
        }
    }
}

QString accessibleName(QWidget *widget) {
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
    return iface ? iface->text(QAccessible::Name) : QStringLiteral("<no interface>");
}

using ForAssistiveTechnology = WindowTest;

TEST_F(ForAssistiveTechnology, EveryControlHasAName) {
    window->findChild<QLineEdit *>(QStringLiteral("Text1_2"))->setText(QStringLiteral("Arrow"));
    const std::pair<const char *, const char *> names[] = {
        {"char1", "Glyph 1, Character 1"},
        {"char3", "Glyph 3, Arrow"},
        {"char8", "Glyph 8, Character 8"},
        {"Text1_0", "Name of glyph 1"},
        {"Text1_7", "Name of glyph 8"},
        {"code", "Code"},
        {"Box", "Selection"},
        {"action", "Action"},
        {"clear", "Clear Selected"},
        {"Command3", "Save Characters"},
    };
    for (const auto &[object, name] : names) {
        auto *widget = window->findChild<QWidget *>(QString::fromLatin1(object));
        ASSERT_NE(widget, nullptr) << object;
        EXPECT_EQ(accessibleName(widget), QString::fromUtf8(name)) << object;
    }
    for (QWidget *widget : window->findChildren<QWidget *>())
        if (widget->focusPolicy() & Qt::TabFocus) {
            EXPECT_FALSE(accessibleName(widget).isEmpty()) << widget->objectName().toStdString();
        }
}

// A screen reader reads a cell's state and presses it as a click would.
TEST_F(ForAssistiveTechnology, AGridIsATableOfCellsThatPressLikeAClick) {
    QAccessibleInterface *table = QAccessible::queryAccessibleInterface(grid(2));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->role(), QAccessible::Table);
    ASSERT_NE(table->tableInterface(), nullptr);
    EXPECT_EQ(table->tableInterface()->rowCount(), lcd::kGlyphRows);
    EXPECT_EQ(table->tableInterface()->columnCount(), lcd::kGlyphColumns);
    EXPECT_EQ(table->childCount(), 40);

    QAccessibleInterface *cell = table->tableInterface()->cellAt(3, 1);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(table->child(16), cell);
    EXPECT_EQ(table->indexOfChild(cell), 16);
    EXPECT_EQ(cell->parent(), table);
    EXPECT_EQ(table->childAt(cell->rect().center().x(), cell->rect().center().y()), cell);
    ASSERT_NE(cell->actionInterface(), nullptr);
    EXPECT_EQ(cell->actionInterface()->actionNames(),
              QStringList{QAccessibleActionInterface::pressAction()});

    for (const bool lit : {true, false}) {
        cell->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        EXPECT_EQ(isLit(*grid(2), 3, 1), lit);
        EXPECT_EQ(bool(cell->state().checked), lit);
        EXPECT_EQ(cell->text(QAccessible::Name), lit ? QStringLiteral("Row 4, column 2, lit")
                                                     : QStringLiteral("Row 4, column 2, dark"));
        // The click's own path: the cell became current first.
        EXPECT_EQ(grid(2)->row(), 3);
        EXPECT_EQ(grid(2)->col(), 1);
    }
    EXPECT_EQ(window->glyphSet(), GlyphSet{});
}

using OnASmallScreen = WindowTest;

TEST_F(OnASmallScreen, TheWholeLayoutScrollsAndNoControlMoves) {
    const struct {
        QSize available;
        bool overflows;
    } screens[] = {
        {{1920, 1080}, false}, {{800, 600}, false}, {{960, 510}, true}, {{400, 300}, true}};
    for (const auto &screen : screens)
        EXPECT_EQ(overflows(*window, screen.available), screen.overflows)
            << screen.available.height();

    auto *label = window->findChild<QWidget *>(QStringLiteral("Label1"));
    const QPoint labelAt = label->mapTo(window.get(), QPoint(0, 0));
    WindowScroller scroller(*window, QSize(400, 300));
    scroller.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&scroller));
    EXPECT_EQ(scroller.windowTitle(), QStringLiteral("Glimmerset"));
    EXPECT_LE(scroller.width(), 400);
    EXPECT_LE(scroller.height(), 300);
    EXPECT_EQ(window->size(), QSize(589, 494));
    EXPECT_EQ(label->mapTo(window.get(), QPoint(0, 0)), labelAt);
    // Every corner can be scrolled into view, as much of it as the screen holds.
    for (const char *name : {"Label1", "Command2", "code", "char1"}) {
        auto *widget = window->findChild<QWidget *>(QString::fromLatin1(name));
        scroller.ensureWidgetVisible(widget, 0, 0);
        const QRect shown(widget->mapTo(scroller.viewport(), QPoint(0, 0)), widget->size());
        const QRect visible = scroller.viewport()->rect();
        EXPECT_EQ(shown.intersected(visible).size(), shown.size().boundedTo(visible.size()))
            << name;
    }
    // Tab scrolls to the control it reaches.
    QApplication::setActiveWindow(&scroller);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&scroller));
    scroller.ensureWidgetVisible(grid(0), 0, 0);
    button("Command3")->setFocus();
    QTest::keyClick(button("Command3"), Qt::Key_Tab);
    ASSERT_TRUE(button("Command2")->hasFocus());
    EXPECT_TRUE(scroller.viewport()->rect().contains(QRect(
        button("Command2")->mapTo(scroller.viewport(), QPoint(0, 0)), button("Command2")->size())));
    // And clicks still land on the cell under the pointer.
    scroller.ensureWidgetVisible(grid(7), 0, 0);
    clickCell(7, 6, 2);
    EXPECT_TRUE(isLit(*grid(7), 6, 2));
}

} // namespace
} // namespace glimmerset::test
