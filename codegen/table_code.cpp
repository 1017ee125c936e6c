#include "codegen/code_form.h"
#include "codegen/name_text.h"

namespace glimmerset {

namespace {

// Z runs over the table and the loop ends on its low byte alone: the table
// is 64 bytes, so that byte meets its end value exactly once.
constexpr const char16_t *kRoutine =
    u"; LCD_char: writes the eight glyphs of the table below into CGRAM as\r\n"
    u"; characters 0 to 7, then sets DDRAM address 0 (line 1, column 1) so\r\n"
    u"; that the characters written next show on the display.\r\n"
    u"; Needs: mp0, any of r16 to r29; lcd_fc, which sends the instruction\r\n"
    u"; in mp0, and lcd_ch, which sends the data byte in mp0; both must keep\r\n"
    u"; Z. Changes mp0 and the flags; keeps Z (two bytes of stack). 47 words\r\n"
    u"; with the table, using only instructions every AVR with LPM Z+ has.\r\n"
    u".cseg\r\n"
    u"LCD_char:\r\n"
    u"\tPUSH\tZL\r\n"
    u"\tPUSH\tZH\r\n"
    u"\tLDI\tmp0,0x40\r\n"
    u"\tRCALL\tlcd_fc\r\n"
    u"\tLDI\tZL,LOW(2*LCD_char_rows)\r\n"
    u"\tLDI\tZH,HIGH(2*LCD_char_rows)\r\n"
    u"LCD_char_next:\r\n"
    u"\tLPM\tmp0,Z+\r\n"
    u"\tRCALL\tlcd_ch\r\n"
    u"\tCPI\tZL,LOW(2*LCD_char_rows+64)\r\n"
    u"\tBRNE\tLCD_char_next\r\n"
    u"\tLDI\tmp0,0x80\r\n"
    u"\tRCALL\tlcd_fc\r\n"
    u"\tPOP\tZH\r\n"
    u"\tPOP\tZL\r\n"
    u"\tRET\r\n"
    u"LCD_char_rows:\r\n";

} // namespace

QString tableCode(const GlyphNames &names, const GlyphSet &glyphs) {
    QString code = QString::fromUtf16(kRoutine);
    for (int g = 0; g < kGlyphCount; ++g) {
        code += u';';
        code += nameForComment(names[g]);
        code += u"\r\n\t.db\t";
        for (int r = 0; r < lcd::kGlyphRows; ++r) {
            if (r > 0)
                code += u',';
            code += QStringLiteral("0b%1").arg(cgramRow(glyphs, g, r), 8, 2, QLatin1Char('0'));
        }
        code += u"\r\n";
    }
    return code;
}

} // namespace glimmerset
