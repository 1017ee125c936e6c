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

// The first character (a whole code point) of text that Windows-1252 lacks, if any.
std::optional<QString> firstUnencodable(QStringView text);

} // namespace glimmerset::windows1252
