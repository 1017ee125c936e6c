#pragma once

#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <initializer_list>
#include <optional>

// What the readers of C and assembly sources hand to the importer.
namespace glimmerset::import {

struct Row {
    QString text; // as the source writes it, for messages
    long value = 0;
    int line = 0;
};

// One array, or one glyph a program writes, before it is cut into glyphs.
struct FoundRows {
    QList<Row> rows;
    std::optional<QString> name; // from our own forms' comment: the exact name
    QString identifier;          // else the array's name, if it has one
    int code = -1;               // the character code a program writes it to; -1: in order
    int line = 0;
};

struct Found {
    QList<FoundRows> arrays;
    QStringList warnings; // each "line N: ..."
};

// text read by pattern, whose capture group i holds the digits of a number
// in base bases[i]; false for anything else.
bool parseNumber(const QString &text, const QRegularExpression &pattern,
                 std::initializer_list<int> bases, long &value);
// A C number as a compiler reads it (0x1F, 0b11111, 037, 31, with u or l
// behind), or Arduino's B11111.
bool parseCNumber(const QString &text, long &value);

Found readCArrays(const QString &text);
Found readAssembly(const QString &text);
// Numbers, commas and braces alone, as web generators print a glyph: each
// innermost brace list an array, numbers outside braces one more. Nothing
// when the text holds anything else.
Found readBareList(const QString &text);

// Our forms' comment naming glyph n: 0 "Arrow" (as text after the comment sign).
std::optional<QString> nameFromComment(const QString &comment);

} // namespace glimmerset::import
