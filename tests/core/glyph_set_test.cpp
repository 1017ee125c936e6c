#include "glyphs/glyph_set.h"

#include <gtest/gtest.h>

using namespace glimmerset;

TEST(GlyphSet, ElementNumberingAndNames) {
    GlyphSet set;
    for (auto v : set.values())
        EXPECT_EQ(v, 0);
    set.setPixel(0, 2, 0, 1);
    EXPECT_EQ(set.values()[16], 1);
    EXPECT_EQ(GlyphSet::index(7, 4, 7), 319);
    set.setPixel(7, 4, 7, -1);
    EXPECT_FALSE(set.isLit(7, 4, 7));
    EXPECT_EQ(set.pixel(7, 4, 7), -1);

    EXPECT_EQ(defaultGlyphNames()[0], "Character 1");
    EXPECT_EQ(defaultGlyphNames()[7], "Character 8");
    EXPECT_EQ(glyphListEntry(0), "1.Char");
    EXPECT_EQ(glyphListEntry(7), "8.Char");
}
