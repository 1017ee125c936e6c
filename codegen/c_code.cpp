#include "codegen/c_names.h"
#include "codegen/code_form.h"

namespace glimmerset {

namespace {

constexpr const char16_t *kOpening =
    u"/* Eight custom characters for an HD44780 LCD, made with Glimmerset.\n"
    u" *\n"
    u" * Needs avr-gcc and avr-libc, and two functions of your LCD driver that\n"
    u" * send one byte and wait until the controller has taken it: an\n"
    u" * instruction (RS low) and a data byte (RS high). Call\n"
    u" * glimmerset_load_glyphs(command, data) after the display is set up: it\n"
    u" * writes the glyphs into CGRAM as characters 0 to 7 and then sets DDRAM\n"
    u" * address 0 (line 1, column 1), so that what is written next shows on the\n"
    u" * display. Print a glyph by writing its code, data(GLYPH_...).\n"
    u" * Takes 64 bytes of flash for the rows; defines them and the function as\n"
    u" * static, so include it from one .c file.\n"
    u" */\n"
    u"#ifndef GLIMMERSET_GLYPHS_H\n"
    u"#define GLIMMERSET_GLYPHS_H\n"
    u"\n"
    u"#include <stdint.h>\n"
    u"#include <avr/pgmspace.h>\n"
    u"\n";

constexpr const char16_t *kLoader =
    u"static inline void glimmerset_load_glyphs(void (*command)(uint8_t),\n"
    u"                                          void (*data)(uint8_t))\n"
    u"{\n"
    u"    command(0x40); /* Set CGRAM address 0 */\n"
    u"    for (uint8_t i = 0; i < 64; i++)\n"
    u"        data(pgm_read_byte(&glyph_rows[i / 8][i % 8]));\n"
    u"    command(0x80); /* Set DDRAM address 0 */\n"
    u"}\n"
    u"\n"
    u"#endif\n";

} // namespace

QString cHeaderCode(const GlyphNames &names, const GlyphSet &glyphs) {
    QString code = QString::fromUtf16(kOpening);
    const auto ids = glyphIdentifiers(names, IdentifierStyle::Constant);
    code += u"enum glimmerset_glyph {\n";
    for (int g = 0; g < kGlyphCount; ++g)
        code += QStringLiteral("    %1 = %2,\n").arg(ids[g], QString::number(g));
    code += u"};\n\nstatic const uint8_t glyph_rows[8][8] PROGMEM = {\n";
    for (int g = 0; g < kGlyphCount; ++g) {
        code += QStringLiteral("    %1\n    {\n").arg(cNameComment(g, names[g]));
        for (int r = 0; r < lcd::kGlyphRows; ++r)
            code += QStringLiteral("        0x%1, // %2\n")
                        .arg(QString::number(cgramRow(glyphs, g, r), 16)
                                 .toUpper()
                                 .rightJustified(2, u'0'),
                             rowPicture(glyphs, g, r));
        code += u"    },\n";
    }
    code += u"};\n\n";
    code += QString::fromUtf16(kLoader);
    return code;
}

} // namespace glimmerset
