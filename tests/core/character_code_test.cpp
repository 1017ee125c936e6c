#include "codegen/character_code.h"

#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

using namespace glimmerset;

namespace {

QStringList linesOf(const QString &block) {
    QStringList lines = block.split(QStringLiteral("\r\n"));
    EXPECT_EQ(lines.takeLast(), QString()) << "the block must end in CR LF";
    return lines;
}

void setRow(GlyphSet &set, int glyph, int row, const char *bits) {
    for (int c = 0; c < lcd::kGlyphColumns; ++c)
        set.setPixel(row, c, glyph, bits[c] == '1' ? 1 : 0);
}

} // namespace

TEST(CharacterCode, ArrowExampleByteForByte) {
    GlyphNames names = defaultGlyphNames();
    names[0] = "Arrow";
    GlyphSet set;
    setRow(set, 0, 0, "00100");
    setRow(set, 0, 1, "01000");
    setRow(set, 0, 2, "11111");
    setRow(set, 0, 3, "01000");
    setRow(set, 0, 4, "00100");

    const QString block = character_code(names, set);
    EXPECT_EQ(block.size(), 4858);
    const QStringList lines = linesOf(block);
    ASSERT_EQ(lines.size(), 330);

    // A fixed file, so the reference owes nothing to the block's own loop.
    QFile expected(QStringLiteral(GLIMMERSET_SOURCE_DIR "/tests/core/data/arrow_block.asm"));
    ASSERT_TRUE(expected.open(QIODevice::ReadOnly)) << expected.errorString().toStdString();
    EXPECT_EQ(block, QString::fromLatin1(expected.readAll()));

    EXPECT_EQ(lines[1], ";Arrow");
    EXPECT_EQ(lines[4], "\tLDI\tmp0,0b00000100");
    EXPECT_EQ(lines[37], "\tLDI\tmp0,0b01000111");
    EXPECT_EQ(lines[289], "\tLDI\tmp0,0b01111000");
    EXPECT_EQ(lines[324], "\tLDI\tmp0,0b01111111");
    EXPECT_EQ(lines[329], "RET");
}

TEST(CharacterCode, LengthGrowsOnlyWithTheNames) {
    EXPECT_EQ(character_code(defaultGlyphNames(), GlyphSet()).size(), 4864);

    GlyphNames names;
    names[3] = "; odd, name ";
    GlyphSet lit;
    for (int g = 0; g < 8; ++g)
        for (int r = 0; r < 8; ++r)
            for (int c = 0; c < 5; ++c)
                lit.setPixel(r, c, g, 1);
    const QString block = character_code(names, lit);
    EXPECT_EQ(block.size(), 4776 + names[3].size());
    const QStringList lines = linesOf(block);
    EXPECT_EQ(lines[1], ";");
    EXPECT_EQ(lines[1 + 41 * 3], ";; odd, name ");
    EXPECT_EQ(lines[4], "\tLDI\tmp0,0b00011111");
}

TEST(CharacterCode, OnlyExactlyOneLightsAPixel) {
    GlyphSet set;
    set.setPixel(0, 0, 0, 2);
    set.setPixel(0, 1, 0, -1);
    set.setPixel(0, 4, 0, 1);
    const QStringList lines = linesOf(character_code(defaultGlyphNames(), set));
    EXPECT_EQ(lines[4], "\tLDI\tmp0,0b00000001");
}
