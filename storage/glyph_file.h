#pragma once

#include "glyphs/glyph_set.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace glimmerset {

class FieldReader;

struct GlyphFileContent {
    GlyphNames names;
    GlyphSet glyphs;
    // One line naming the file and line for each pixel field that holds
    // anything but 0 or 1, as a file that is no glyph file does: such a field
    // loads all the same, lit only if its number is 1.
    QStringList oddPixels;
    // Where a file written by hand loses its shape, naming the file and line:
    // the first line whose count of fields differs from its kind's (a name
    // takes a line, the pixel lines hold as many as the most of them), and
    // fields left over after the set. Filled when read with Leftovers::Counted.
    QStringList shape;
    // The names' bytes are UTF-8 with characters beyond ASCII, as an editor
    // saves them: read as Windows-1252 they come out garbled.
    bool namesLookLikeUtf8 = false;
};

// How far a glyph file is read: the set alone, as the window reads it, or on
// to the file's end to tell of its shape.
enum class Leftovers { Ignored, Counted };

// The bytes of a glyph file: eight name lines, then 320 lines " 0 " or " 1 ".
// A name the plain line would not bring back as typed (a comma, blanks at
// either end) is put in double quotes. Throws Error for a name no line can
// bring back, or one holding a character Windows-1252 lacks.
QByteArray glyphFileBytes(const GlyphNames &names, const GlyphSet &glyphs);

// Atomic: on failure nothing is written and an existing file stays intact.
void glyphs_to_file(const QString &path, const GlyphNames &names, const GlyphSet &glyphs);

// All or nothing: takes exactly the first 8 + 320 fields, or throws Error,
// which for a file that ends too soon says where its shape breaks.
GlyphFileContent glyphs_from_file(const QString &path, Leftovers leftovers = Leftovers::Ignored);
GlyphFileContent glyphsFromReader(FieldReader &reader, Leftovers leftovers);
GlyphFileContent glyphsFromBytes(const QByteArray &bytes, const QString &displayName,
                                 Leftovers leftovers = Leftovers::Ignored);

} // namespace glimmerset
