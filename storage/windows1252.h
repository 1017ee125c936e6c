#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Our text files are Windows-1252, one byte a character.
namespace glimmerset::windows1252 {

QString decode(QByteArrayView bytes);
// The same appended to out, with no text in between.
void appendDecoded(QString &out, QByteArrayView bytes);
// The same written to out, which has room for bytes.size() characters.
void decodeInto(QChar *out, QByteArrayView bytes);

// Characters Windows-1252 lacks become '?'.
QByteArray encodeLossy(QStringView text);

// Whether bytes read as Windows-1252 are rather UTF-8, as editors save
// text: valid UTF-8 that holds characters beyond ASCII.
bool looksLikeUtf8(QByteArrayView bytes);

// The first character (a whole code point) of text that Windows-1252 lacks, if any.
std::optional<QString> firstUnencodable(QStringView text);

} // namespace glimmerset::windows1252
