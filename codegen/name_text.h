#pragma once

#include <QString>

namespace glimmerset {

// The stand-in for a character that would end or extend a comment line.
inline constexpr char16_t kNameStandIn = u'?';

// avra refuses a line of more than 4095 bytes; the comment line ";name"
// keeps to that with a name of at most this many characters (code points,
// a byte each in the file).
inline constexpr qsizetype kMaxCommentName = 4094;

// A glyph name as a comment line of any code form may hold it: cut to
// kMaxCommentName characters, and every character an assembler, a compiler
// or an editor takes for a line end (C0 controls, DEL, U+0085, U+2028,
// U+2029) made kNameStandIn, as is a backslash at the very end, which avra
// and C join to the next line. Any other name comes back unchanged.
QString nameForComment(const QString &name);

// How many of name's UTF-16 units nameForComment keeps: name.size() unless
// the name is cut.
qsizetype commentNameLength(QStringView name);

// text for a terminal: control characters (C0, DEL, C1), line and paragraph
// separators and the bidirectional overrides are written as \xNN or \uNNNN,
// so nothing in a name can move the cursor or recolour the screen.
QString terminalText(QStringView text);

} // namespace glimmerset
