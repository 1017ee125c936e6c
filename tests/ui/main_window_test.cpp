#include "window_fixture.h"

#include "support/cli_process.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

namespace glimmerset::test {
namespace {

using StartUp = WindowTest;

TEST_F(StartUp, ListsAreFilledNothingIsSelectedAndCodeIsEmpty) {
    QStringList box;
    for (int i = 0; i < list("Box")->count(); ++i)
        box << list("Box")->item(i)->text();
    EXPECT_EQ(box, QStringList({"1.Char", "2.Char", "3.Char", "4.Char", "5.Char", "6.Char",
                                "7.Char", "8.Char"}));
    QStringList action;
    for (int i = 0; i < list("action")->count(); ++i)
        action << list("action")->item(i)->text();
    EXPECT_EQ(action, QStringList({"Character Code", "Add the rest of the Code",
                                   "Add a Test Program", "Save to File", "Copy to Clipboard"}));
    EXPECT_TRUE(list("Box")->selectedItems().isEmpty());
    EXPECT_TRUE(list("action")->selectedItems().isEmpty());
    EXPECT_EQ(codeShown(), QString());
    EXPECT_EQ(window->codeBuffer(), QString());

    for (int g = 0; g < kGlyphCount; ++g) {
        auto *name = window->findChild<QLineEdit *>(QStringLiteral("Text1_%1").arg(g));
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(name->text(), QStringLiteral("Character %1").arg(g + 1));
        GlyphGrid &gr = *grid(g);
        EXPECT_EQ(gr.row(), 0);
        EXPECT_EQ(gr.col(), 0);
        for (int c = 0; c < lcd::kGlyphColumns; ++c)
            EXPECT_EQ(gr.colWidth(c), 250);
        for (int r = 0; r < lcd::kGlyphRows; ++r)
            for (int c = 0; c < lcd::kGlyphColumns; ++c)
                EXPECT_FALSE(cellColor(gr, r, c).has_value());
    }
    EXPECT_EQ(window->glyphSet(), GlyphSet{});

    auto *label = window->findChild<QLabel *>(QStringLiteral("Label1"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text().split(QLatin1Char('\n')), QStringList({"24 Nov. 2000", "Talvoren"}));

    EXPECT_EQ(window->windowTitle(), QStringLiteral("Glimmerset"));
    EXPECT_EQ(window->saveDialog().title(), QStringLiteral("Save to ..."));
    EXPECT_EQ(window->openDialog().title(), QStringLiteral("Open Character File ..."));
    EXPECT_EQ(window->saveDialog().fileName(), QString());
    const auto sizes = window->windowIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)) && sizes.contains(QSize(32, 32)));
}

TEST_F(StartUp, CreateAndClearRightAwayDoNothing) {
    clickCell(3, 2, 2);
    press("clear");
    press("Ccode");
    EXPECT_TRUE(isLit(*grid(3), 2, 2));
    EXPECT_EQ(codeShown(), QString());
    EXPECT_TRUE(platform.dialogs.empty());
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_TRUE(platform.clipboard.empty());
}

struct Placement {
    const char *name;
    const char *parent;
    int left, top, width, height; // twips, window coordinates
};

// The layout as drawn in twips; a control inside a frame is checked against
// its window position too.
constexpr Placement kLayout[] = {
    {"char1", "main", 120, 120, 1455, 2055},       {"char2", "main", 1680, 120, 1455, 2055},
    {"char3", "main", 3240, 120, 1455, 2055},      {"char4", "main", 4800, 120, 1455, 2055},
    {"Text1_0", "main", 120, 2280, 1455, 285},     {"Text1_1", "main", 1680, 2280, 1455, 285},
    {"Text1_2", "main", 3240, 2280, 1455, 285},    {"Text1_3", "main", 4800, 2280, 1455, 285},
    {"Text1_4", "main", 120, 2640, 1455, 285},     {"Text1_5", "main", 1680, 2640, 1455, 285},
    {"Text1_6", "main", 3240, 2640, 1455, 285},    {"Text1_7", "main", 4800, 2640, 1455, 285},
    {"char5", "main", 120, 3000, 1455, 2055},      {"char6", "main", 1680, 3000, 1455, 2055},
    {"char7", "main", 3240, 3000, 1455, 2055},     {"char8", "main", 4800, 3000, 1455, 2055},
    {"code", "main", 120, 5160, 6135, 2055},       {"Frame1", "main", 6360, 120, 2415, 2295},
    {"Box", "Frame1", 6480, 360, 2175, 1410},      {"clear", "main", 6720, 1920, 1695, 375},
    {"Frame2", "main", 6360, 2520, 2415, 2415},    {"action", "Frame2", 6480, 2880, 2175, 1410},
    {"Ccode", "Frame2", 6720, 4440, 1695, 375},    {"Frame3", "main", 6360, 5040, 2415, 1215},
    {"Command2", "Frame3", 6720, 5280, 1695, 375}, {"Command3", "Frame3", 6720, 5760, 1695, 375},
    {"Frame4", "main", 6360, 6360, 2415, 975},     {"Label1", "Frame4", 6480, 6600, 2175, 615},
};

TEST_F(StartUp, EveryControlSitsWhereTheLayoutPutsIt) {
    EXPECT_EQ(window->size(), QSize(589, 494));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    for (const Placement &p : kLayout) {
        auto *widget = window->findChild<QWidget *>(QString::fromLatin1(p.name));
        ASSERT_NE(widget, nullptr) << p.name;
        EXPECT_EQ(widget->parentWidget()->objectName(), QString::fromLatin1(p.parent)) << p.name;
        const QPoint at = widget->mapTo(window.get(), QPoint(0, 0));
        EXPECT_EQ(QRect(at, widget->size()),
                  QRect(p.left / 15, p.top / 15, p.width / 15, p.height / 15))
            << p.name;
        EXPECT_TRUE(widget->isVisible()) << p.name;
    }
    // `clear` lies over its frame and must be in front of it.
    auto *clear = button("clear");
    EXPECT_EQ(window->childAt(clear->geometry().center()), clear);
}

TEST_F(StartUp, EveryCaptionAndEntryFitsItsControl) {
    for (const char *name : {"clear", "Ccode", "Command2", "Command3"}) {
        QPushButton *b = button(name);
        EXPECT_LT(b->fontMetrics().horizontalAdvance(b->text()) + 8, b->width()) << name;
    }
    for (const char *name : {"Box", "action"}) {
        QListWidget *l = list(name);
        const QRect visible = l->viewport()->rect();
        for (int i = 0; i < l->count(); ++i) {
            const QRect item = l->visualItemRect(l->item(i));
            EXPECT_TRUE(visible.contains(item)) << name << i;
            EXPECT_LE(l->fontMetrics().horizontalAdvance(l->item(i)->text()), item.width())
                << name << i;
        }
    }
    auto *label = window->findChild<QLabel *>(QStringLiteral("Label1"));
    EXPECT_LE(label->sizeHint().height(), label->height());
    EXPECT_LE(label->sizeHint().width(), label->width());
}

TEST_F(StartUp, TabVisitsTheControlsInTheirOrder) {
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    grid(0)->setFocus();
    const QStringList expected = {
        "char1",   "char2",   "char3",   "char4",   "char5",   "char6",    "char7",    "char8",
        "clear",   "Box",     "code",    "Text1_0", "Text1_1", "Text1_2",  "Text1_3",  "Text1_4",
        "Text1_5", "Text1_6", "Text1_7", "action",  "Ccode",   "Command3", "Command2", "char1"};
    QStringList visited;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QWidget *focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        visited << focus->objectName();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    EXPECT_EQ(visited, expected);
}

using ClearSelected = WindowTest;

TEST_F(ClearSelected, ClearsTheSelectedGlyphsOnlyAndKeepsTheSelection) {
    auto *name0 = window->findChild<QLineEdit *>(QStringLiteral("Text1_0"));
    name0->setText(QStringLiteral("Arrow"));
    for (int g = 0; g < kGlyphCount; ++g)
        clickCell(g, g, g % lcd::kGlyphColumns);
    selectActions({kCharacterCodeRow});
    press("Ccode"); // takes a snapshot
    const GlyphSet before = window->glyphSet();

    clickEntry("Box", 0);
    clickEntry("Box", 7);
    press("clear");
    for (int g = 0; g < kGlyphCount; ++g) {
        const bool cleared = g == 0 || g == 7;
        EXPECT_EQ(isLit(*grid(g), g, g % lcd::kGlyphColumns), !cleared) << g;
        if (cleared) {
            EXPECT_FALSE(cellColor(*grid(g), g, g % lcd::kGlyphColumns).has_value());
        }
    }
    EXPECT_EQ(window->glyphSet(), before);
    EXPECT_EQ(name0->text(), QStringLiteral("Arrow"));
    EXPECT_EQ(list("Box")->selectedItems().size(), 2);
    EXPECT_TRUE(list("Box")->item(0)->isSelected() && list("Box")->item(7)->isSelected());

    // Pressed again: the same two, and a cleared cell lights at its next click.
    clickCell(0, 1, 1);
    clickCell(7, 1, 1);
    clickCell(3, 1, 1);
    press("clear");
    EXPECT_FALSE(isLit(*grid(0), 1, 1));
    EXPECT_FALSE(isLit(*grid(7), 1, 1));
    EXPECT_TRUE(isLit(*grid(3), 1, 1));
    clickCell(0, 1, 1);
    EXPECT_TRUE(isLit(*grid(0), 1, 1));
}

TEST_F(ClearSelected, AClickOnAMarkedEntryUnmarksItAlone) {
    for (int i : {1, 4, 6})
        clickEntry("Box", i);
    clickEntry("Box", 4);
    QList<int> selected;
    for (int i = 0; i < list("Box")->count(); ++i)
        if (list("Box")->item(i)->isSelected())
            selected << i;
    EXPECT_EQ(selected, QList<int>({1, 6}));
}

// Started where no display can be had: a message and status 1, never an abort.
TEST(WithoutADisplay, TheWindowSaysSoAndExitsOne) {
    const struct {
        const char *platform, *display;
    } cases[] = {{nullptr, nullptr},
                 {nullptr, ":4711"},
                 {"xcb", ":47\x1b[2J"},
                 {"no-such-platform", nullptr}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.platform ? c.platform : "-") + " " +
                     (c.display ? c.display : "-"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QString::fromLatin1(name));
        if (c.platform)
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QString::fromLatin1(c.platform));
        if (c.display)
            env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(c.display));
        const CliRun run = runProgram(QStringLiteral(GLIMMERSET_APP), {}, {}, env, 30000);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(QStringLiteral("the window needs a display")))
            << run.err.toStdString();
        EXPECT_FALSE(run.err.contains(QChar(0x1b)));
    }
}

} // namespace
} // namespace glimmerset::test
