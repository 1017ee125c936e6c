#include "codegen/c_names.h"
#include "codegen/code_form.h"

namespace glimmerset {

namespace {

constexpr const char16_t *kOpening =
    u"// Eight custom characters for an HD44780 LCD, made with Glimmerset, for\n"
    u"// the LiquidCrystal and LiquidCrystal_I2C libraries.\n"
    u"//\n"
    u"// Save it as glyphs.h beside your sketch and #include \"glyphs.h\" after the\n"
    u"// library's header. In setup(), after lcd.begin() (lcd.init() for some\n"
    u"// LiquidCrystal_I2C versions), call loadGlyphs(lcd): it copies each glyph\n"
    u"// from flash and hands it to lcd.createChar as characters 0 to 7, then\n"
    u"// calls lcd.setCursor(0, 0), since createChar leaves the controller\n"
    u"// writing into its character memory and what you print next would\n"
    u"// change a glyph instead of showing. Print a glyph with lcd.write(byte(0))\n"
    u"// to lcd.write(byte(7)): a plain lcd.write(0) does not compile, and\n"
    u"// code 0 can't stand in a string for lcd.print.\n"
    u"// Takes 80 bytes of flash for the rows and their table, and 8 bytes of\n"
    u"// stack while loading.\n"
    u"#pragma once\n"
    u"\n"
    u"#include <Arduino.h>\n"
    u"#include <avr/pgmspace.h>\n"
    u"\n";

constexpr const char16_t *kLoader =
    u"template <typename Lcd>\n"
    u"void loadGlyphs(Lcd &lcd) {\n"
    u"    for (byte code = 0; code < 8; code++) {\n"
    u"        byte rows[8];\n"
    u"        memcpy_P(rows, (const byte *)pgm_read_word(&glyphTable[code]), sizeof rows);\n"
    u"        lcd.createChar(code, rows);\n"
    u"    }\n"
    u"    lcd.setCursor(0, 0);\n"
    u"}\n";

} // namespace

QString arduinoCode(const GlyphNames &names, const GlyphSet &glyphs) {
    QString code = QString::fromUtf16(kOpening);
    const auto ids = glyphIdentifiers(names, IdentifierStyle::Camel);
    for (int g = 0; g < kGlyphCount; ++g) {
        code += QStringLiteral("%1\nconst byte %2[8] PROGMEM = {\n")
                    .arg(cNameComment(g, names[g]), ids[g]);
        for (int r = 0; r < lcd::kGlyphRows; ++r)
            code += QStringLiteral("    0b%1, // %2\n")
                        .arg(QString::number(cgramRow(glyphs, g, r), 2).rightJustified(5, u'0'),
                             rowPicture(glyphs, g, r));
        code += u"};\n\n";
    }
    code += u"const byte *const glyphTable[8] PROGMEM = {\n";
    for (int g = 0; g < kGlyphCount; ++g)
        code += QStringLiteral("    %1,\n").arg(ids[g]);
    code += u"};\n\n";
    code += QString::fromUtf16(kLoader);
    return code;
}

} // namespace glimmerset
