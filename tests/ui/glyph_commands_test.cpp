#include "window_fixture.h"

#include "storage/glyph_file.h"

#include <QLineEdit>
#include <QTest>

namespace glimmerset::test {
namespace {

class GlyphCommands : public WindowTest {
protected:
    QLineEdit *name(int glyph) const {
        return window->findChild<QLineEdit *>(QStringLiteral("Text1_%1").arg(glyph));
    }
    QByteArray defaultFileWith(const QByteArray &pixelLines) const {
        QByteArray bytes;
        for (int g = 1; g <= kGlyphCount; ++g)
            bytes += "Character " + QByteArray::number(g) + "\r\n";
        return bytes + pixelLines;
    }
    // 320 pixel lines, all dark but the given overrides (file order).
    static QByteArray pixelLines(std::initializer_list<std::pair<int, const char *>> overrides) {
        QList<QByteArray> lines(kPixelCount, QByteArray(" 0 "));
        for (const auto &[index, text] : overrides)
            lines[index] = text;
        return lines.join("\r\n") + "\r\n";
    }
};

TEST_F(GlyphCommands, SaveWritesNamesAndPixelsUnderTheCompletedName) {
    name(0)->clear();
    QTest::keyClicks(name(0), QStringLiteral("Arrow"));
    clickCell(0, 0, 2);
    clickCell(7, 7, 4);
    platform.answers = {path(QStringLiteral("glyphs"))};
    press("Command3");

    ASSERT_EQ(platform.dialogs.size(), 1u);
    EXPECT_EQ(platform.dialogs[0].kind, FileDialogKind::Save);
    EXPECT_EQ(platform.dialogs[0].title, QStringLiteral("Save to ..."));
    EXPECT_EQ(platform.dialogs[0].filter, QStringLiteral("*.ch"));
    EXPECT_EQ(platform.dialogs[0].addedExtension, QStringLiteral(".ch"));
    EXPECT_EQ(window->saveDialog().fileName(), path(QStringLiteral("glyphs.ch")));
    EXPECT_EQ(window->glyphSet().pixel(0, 2, 0), 1);
    EXPECT_EQ(window->glyphSet().pixel(7, 4, 7), 1);

    const auto bytes = readFile(QStringLiteral("glyphs.ch"));
    ASSERT_TRUE(bytes);
    QByteArray expected = "Arrow\r\n";
    for (int g = 2; g <= kGlyphCount; ++g)
        expected += "Character " + QByteArray::number(g) + "\r\n";
    EXPECT_EQ(*bytes, expected + pixelLines({{2, " 1 "}, {kPixelCount - 1, " 1 "}}));
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(GlyphCommands, SaveKeepsAnExactExtensionAndFeedsTheSharedDialog) {
    platform.answers = {path(QStringLiteral("GLYPHS.CH")), path(QStringLiteral("set.ch"))};
    press("Command3");
    EXPECT_TRUE(readFile(QStringLiteral("GLYPHS.CH.ch")));
    EXPECT_EQ(window->saveDialog().fileName(), path(QStringLiteral("GLYPHS.CH.ch")));
    press("Command3");
    EXPECT_EQ(readFile(QStringLiteral("set.ch"))->size(), 1704);
    EXPECT_EQ(platform.dialogs[1].fileName, path(QStringLiteral("GLYPHS.CH.ch")));

    // The save stage shows the same dialog, starting from the glyph file's name.
    selectActions({kSaveToFileRow});
    press("Ccode");
    ASSERT_EQ(platform.dialogs.size(), 3u);
    EXPECT_EQ(platform.dialogs[2].fileName, path(QStringLiteral("set.ch")));
    EXPECT_EQ(platform.dialogs[2].filter, QStringLiteral("*.asm"));
    EXPECT_EQ(window->saveDialog().fileName(), QString()); // cancelled

    // Each command sets the filter it needs just before showing the dialog.
    press("Command3");
    ASSERT_EQ(platform.dialogs.size(), 4u);
    EXPECT_EQ(platform.dialogs[3].filter, QStringLiteral("*.ch"));
}

TEST_F(GlyphCommands, CancelledSaveTakesNoSnapshotAndWritesNothing) {
    clickCell(1, 1, 1);
    press("Command3");
    EXPECT_EQ(platform.dialogs.size(), 1u);
    EXPECT_EQ(window->glyphSet(), GlyphSet{});
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(GlyphCommands, SaveThatCannotWriteSaysWhyAndLeavesTheOldFile) {
    writeFile(QStringLiteral("kept.ch"), "old");
    name(3)->setText(QStringLiteral("\"quoted"));
    platform.answers = {path(QStringLiteral("kept.ch")), path(QStringLiteral("missing/dir/x"))};
    press("Command3");
    name(3)->setText(QStringLiteral("fine"));
    press("Command3");
    ASSERT_EQ(platform.messages.size(), 2u);
    EXPECT_TRUE(platform.messages[0].text.contains(QStringLiteral("character 4")));
    EXPECT_TRUE(platform.messages[1].text.contains(QStringLiteral("x.ch")));
    EXPECT_EQ(readFile(QStringLiteral("kept.ch")), QByteArray("old"));
}

TEST_F(GlyphCommands, LoadReplacesNamesValuesAndCellsAsTheFileSays) {
    clickCell(2, 0, 0); // lit now, dark in the file
    QByteArray bytes = "Arrow\r\n\"Up, down\"\r\n\r\n";
    for (int g = 4; g <= kGlyphCount; ++g)
        bytes += "Character " + QByteArray::number(g) + "\r\n";
    bytes += pixelLines({{0, " 2 "}, {1, "-1"}, {42, " 1 "}, {kPixelCount - 1, " 1 "}});
    bytes += "trailing junk, never read\r\n";
    writeFile(QStringLiteral("set"), bytes);
    platform.answers = {path(QStringLiteral("set"))};
    press("Command2");

    ASSERT_TRUE(platform.messages.empty()) << platform.messages[0].text.toStdString();
    ASSERT_EQ(platform.dialogs.size(), 1u);
    EXPECT_EQ(platform.dialogs[0].kind, FileDialogKind::Open);
    EXPECT_EQ(platform.dialogs[0].title, QStringLiteral("Open Character File ..."));
    EXPECT_EQ(platform.dialogs[0].filter, QStringLiteral("*.ch"));
    EXPECT_EQ(name(0)->text(), QStringLiteral("Arrow"));
    EXPECT_EQ(name(1)->text(), QStringLiteral("Up, down"));
    EXPECT_EQ(name(2)->text(), QString());
    EXPECT_EQ(name(7)->text(), QStringLiteral("Character 8"));

    const GlyphSet &glyphs = window->glyphSet();
    EXPECT_EQ(glyphs.pixel(0, 0, 0), 2);
    EXPECT_EQ(glyphs.pixel(0, 1, 0), -1);
    EXPECT_EQ(glyphs.pixel(0, 2, 1), 1); // file line 9 + 42
    EXPECT_EQ(glyphs.pixel(7, 4, 7), 1);
    for (int g = 0; g < kGlyphCount; ++g) {
        EXPECT_EQ(grid(g)->row(), 7);
        EXPECT_EQ(grid(g)->col(), 4);
        for (int r = 0; r < lcd::kGlyphRows; ++r)
            for (int c = 0; c < lcd::kGlyphColumns; ++c)
                EXPECT_EQ(cellColor(*grid(g), r, c),
                          glyphs.isLit(r, c, g) ? PIXEL_ON_COLOR : PIXEL_OFF_COLOR);
    }
}

TEST_F(GlyphCommands, CommaSeparatedRowsLoadLikeOneValuePerLine) {
    QByteArray pixels;
    for (int row = 0; row < kGlyphCount * lcd::kGlyphRows; ++row)
        pixels += row == 0 ? "0, 1,0 ,0,1\r\n" : "0,0,0,0,0\r\n";
    writeFile(QStringLiteral("rows.ch"), defaultFileWith(pixels));
    platform.answers = {path(QStringLiteral("rows.ch"))};
    press("Command2");
    ASSERT_TRUE(platform.messages.empty());
    EXPECT_TRUE(isLit(*grid(0), 0, 1));
    EXPECT_TRUE(isLit(*grid(0), 0, 4));
    EXPECT_FALSE(isLit(*grid(0), 0, 2));
}

TEST_F(GlyphCommands, SaveThenLoadInAFreshWindowGivesTheSameSet) {
    name(5)->setText(QStringLiteral("  spaced, with comma "));
    name(6)->clear();
    name(4)->setText(QString(40000, QLatin1Char('x'))); // no length limit of the box's own
    for (auto [g, r, c] : {std::tuple{0, 0, 0}, {3, 4, 2}, {6, 7, 1}, {7, 2, 4}})
        clickCell(g, r, c);
    platform.answers = {path(QStringLiteral("round")), path(QStringLiteral("round.ch"))};
    press("Command3");
    const GlyphSet saved = window->glyphSet();

    MainWindow fresh(platform);
    fresh.show();
    QTest::mouseClick(fresh.findChild<QPushButton *>(QStringLiteral("Command2")), Qt::LeftButton);
    ASSERT_TRUE(platform.messages.empty());
    EXPECT_EQ(fresh.glyphSet(), saved);
    EXPECT_EQ(fresh.findChild<QLineEdit *>(QStringLiteral("Text1_4"))->text().size(), 40000);
    for (int g = 0; g < kGlyphCount; ++g) {
        const QString key = QStringLiteral("Text1_%1").arg(g);
        EXPECT_EQ(fresh.findChild<QLineEdit *>(key)->text(), name(g)->text()) << g;
        auto *freshGrid = fresh.findChild<GlyphGrid *>(QStringLiteral("char%1").arg(g + 1));
        for (int r = 0; r < lcd::kGlyphRows; ++r)
            for (int c = 0; c < lcd::kGlyphColumns; ++c)
                EXPECT_EQ(isLit(*freshGrid, r, c), isLit(*grid(g), r, c));
    }
}

TEST_F(GlyphCommands, CancelledOrFailedLoadChangesNothing) {
    name(0)->setText(QStringLiteral("mine"));
    clickCell(0, 3, 3);
    QByteArray truncated = defaultFileWith(pixelLines({}));
    truncated.chop(5 * 10);
    writeFile(QStringLiteral("short.ch"), truncated);
    platform.answers = {QString(), path(QStringLiteral("short.ch")),
                        path(QStringLiteral("absent.ch"))};
    press("Command2");
    EXPECT_TRUE(platform.messages.empty());
    press("Command2");
    press("Command2");

    ASSERT_EQ(platform.messages.size(), 2u);
    EXPECT_TRUE(platform.messages[0].text.contains(QStringLiteral("short.ch")))
        << platform.messages[0].text.toStdString();
    EXPECT_TRUE(platform.messages[1].text.contains(QStringLiteral("absent.ch")));
    EXPECT_EQ(name(0)->text(), QStringLiteral("mine"));
    EXPECT_EQ(name(1)->text(), QStringLiteral("Character 2"));
    EXPECT_EQ(window->glyphSet(), GlyphSet{});
    EXPECT_TRUE(isLit(*grid(0), 3, 3));
    EXPECT_FALSE(cellColor(*grid(0), 0, 0).has_value());
}

} // namespace
} // namespace glimmerset::test
