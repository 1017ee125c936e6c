#pragma once

#include "glyphs/glyph_set.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace glimmerset {

// The forms a set's code can take: the window's LCD_char block, a table in
// flash with a loop, a C header and an Arduino sketch fragment.
enum class CodeForm { Asm, AsmTable, C, Arduino };

// "asm", "asm-table", "c", "arduino", in that order.
QStringList codeFormNames();
std::optional<CodeForm> codeFormNamed(QStringView name);

// The assembly forms, which the templates may surround.
bool isAssemblyForm(CodeForm form);

// A glyph's row drawn: '#' lit, '.' dark, column 0 first.
QString rowPicture(const GlyphSet &glyphs, int glyph, int row);

QString formCode(CodeForm form, const GlyphNames &names, const GlyphSet &glyphs);

// LCD_char as a 64-byte .db table and a loop that reads it with LPM: 47
// words, for the smallest chips. Lines end in CR LF.
QString tableCode(const GlyphNames &names, const GlyphSet &glyphs);
// A header for avr-gcc: glyph_rows in PROGMEM, an enum of the codes and
// glimmerset_load_glyphs(command, data).
QString cHeaderCode(const GlyphNames &names, const GlyphSet &glyphs);
// For a sketch with LiquidCrystal or LiquidCrystal_I2C: a PROGMEM array for
// each glyph and loadGlyphs(lcd).
QString arduinoCode(const GlyphNames &names, const GlyphSet &glyphs);

// The bytes of a file in that form: the assembly forms as "Save to File"
// writes them (Windows-1252, a CR LF behind), the others as UTF-8.
QByteArray formFileBytes(CodeForm form, const QString &code);

} // namespace glimmerset
