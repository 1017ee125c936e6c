#include "codegen/character_code.h"

#include "codegen/name_text.h"

namespace glimmerset {

namespace {

constexpr const char *kTriplets[8] = {"000", "001", "010", "011", "100", "101", "110", "111"};

} // namespace

QString character_code(const GlyphNames &names, const GlyphSet &glyphs) {
    QString block;
    block.reserve(4776 + 8 * 32);
    block += u"LCD_char:\r\n";
    for (int k = 0; k < kGlyphCount; ++k) {
        block += u';';
        block += nameForComment(names[k]);
        block += u"\r\n";
        for (int r = 0; r < lcd::kGlyphRows; ++r) {
            // Set CGRAM address 8k + r before every row rather than trusting auto-increment.
            block += u"\tLDI\tmp0,0b01";
            block += QLatin1String(kTriplets[k]);
            block += QLatin1String(kTriplets[r]);
            block += u"\r\n\tRCALL\tlcd_fc\r\n\tLDI\tmp0,0b000";
            for (int c = 0; c < lcd::kGlyphColumns; ++c)
                block += glyphs.isLit(r, c, k) ? u'1' : u'0';
            block += u"\r\n\tRCALL\tlcd_ch\r\n\r\n";
        }
    }
    block += u"RET\r\n";
    return block;
}

} // namespace glimmerset
