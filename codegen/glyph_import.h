#pragma once

#include "storage/glyph_file.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class QIODevice;

namespace glimmerset {

struct ImportedGlyphs {
    GlyphFileContent set; // glyphs not found stay dark, with their default names
    int found = 0;        // glyphs taken from the source, at most eight
    QStringList warnings; // each naming the source and the line
};

// Glyph byte arrays as people paste them, as a set: C, C++ and Arduino
// arrays of bytes in hex, binary (0b11111, B11111), octal or decimal, with or
// without PROGMEM and const, several to a file, bare lists of such bytes as
// web generators print them, in braces or not, and assembly .db tables and
// LDI/RCALL lcd_ch sequences, every form `code` writes among them. Glyphs are
// taken in order, up to eight; each is named by our own forms' comment, else
// by its array. A glyph of fewer than 8 rows gets dark rows and a warning.
// Throws Error naming the source and the line for a row with bits above the
// fifth, and when the source holds no glyph at all.
ImportedGlyphs importGlyphs(const QByteArray &bytes, const QString &displayName);
ImportedGlyphs importGlyphFile(const QString &path);
// The source read from device, to its end or 1 MiB.
ImportedGlyphs importGlyphDevice(QIODevice &device, const QString &displayName);

} // namespace glimmerset
