#include "storage/glyph_file.h"

#include "storage/atomic_file.h"
#include "storage/error.h"
#include "storage/field_reader.h"
#include "storage/windows1252.h"

#include <QList>
#include <QStringList>

#include <optional>

namespace glimmerset {

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// A plain line comes back as typed unless the reader would split it, trim it,
// or take it for a quoted field.
bool needsQuotes(const QString &name) {
    return name.contains(u',') ||
           (!name.isEmpty() && (isBlank(name.front()) || isBlank(name.back())));
}

// A character a message box would not show (a line separator, a control
// code) is given by its code point alone.
QString describeCharacter(const QString &character) {
    const char32_t code = character.toUcs4().value(0);
    const QString point = QStringLiteral("U+%1").arg(uint(code), 4, 16, QLatin1Char('0')).toUpper();
    if (!QChar::isPrint(code) || QChar::isSpace(code))
        return QStringLiteral("the invisible character %1").arg(point);
    return QStringLiteral("the character \"%1\" (%2)").arg(character, point);
}

// Why no line of a glyph file can hold name as typed, if none can.
std::optional<QString> refusal(const QString &name) {
    if (name.contains(u'\r') || name.contains(u'\n'))
        return QStringLiteral("holds a line break");
    if (name.startsWith(u'"'))
        return QStringLiteral("begins with a double quote, which a glyph file can't bring back");
    if (needsQuotes(name) && name.contains(u'"'))
        return QStringLiteral(
            "needs quotes for its commas or blanks and also holds a double quote, "
            "which a glyph file can't bring back");
    if (const auto bad = windows1252::firstUnencodable(name))
        return QStringLiteral("holds %1, which a glyph file can't store")
            .arg(describeCharacter(*bad));
    return std::nullopt;
}

QByteArray nameLine(const QString &name) {
    QByteArray line = windows1252::encodeLossy(name);
    if (needsQuotes(name))
        line = '"' + line + '"';
    return line + "\r\n";
}

} // namespace

QByteArray glyphFileBytes(const GlyphNames &names, const GlyphSet &glyphs) {
    QByteArray bytes;
    bytes.reserve(16 + kPixelCount * 5 + 8 * 32);
    // Every name that can't be stored is named at once, so one try tells
    // the user all there is to change.
    QStringList refused;
    for (int g = 0; g < kGlyphCount; ++g)
        if (const auto why = refusal(names[g]))
            refused << QStringLiteral("the name of character %1, %2, %3")
                           .arg(g + 1)
                           .arg(quoted(names[g]), *why);
    if (!refused.isEmpty())
        throw Error(QStringLiteral("The characters were not saved, nothing was written: %1.")
                        .arg(refused.join(QStringLiteral("; "))));
    for (int g = 0; g < kGlyphCount; ++g)
        bytes += nameLine(names[g]);
    for (int g = 0; g < kGlyphCount; ++g)
        for (int r = 0; r < lcd::kGlyphRows; ++r)
            for (int c = 0; c < lcd::kGlyphColumns; ++c)
                bytes += glyphs.isLit(r, c, g) ? " 1 \r\n" : " 0 \r\n";
    return bytes;
}

void glyphs_to_file(const QString &path, const GlyphNames &names, const GlyphSet &glyphs) {
    writeFileAtomically(path, glyphFileBytes(names, glyphs));
}

namespace {

GlyphFileContent readGlyphs(FieldReader &reader) {
    GlyphFileContent content;
    for (int g = 0; g < kGlyphCount; ++g)
        content.names[g] = reader.readText();
    for (int g = 0; g < kGlyphCount; ++g)
        for (int r = 0; r < lcd::kGlyphRows; ++r)
            for (int c = 0; c < lcd::kGlyphColumns; ++c) {
                const int line = reader.lineNumber();
                QByteArrayView field;
                const std::int16_t value = reader.readNumber(&field);
                content.glyphs.setPixel(r, c, g, value);
                if (field != "0" && field != "1")
                    content.oddPixels << reader.message(
                        line, QStringLiteral("the pixel field holds %1, not 0 or 1; "
                                             "it counts as %2.")
                                  .arg(quoted(windows1252::decode(field)),
                                       value == 1 ? u"lit" : u"dark"));
            }
    return content;
}

} // namespace

GlyphFileContent glyphs_from_file(const QString &path) {
    FieldReader reader = FieldReader::openFile(path);
    GlyphFileContent content = readGlyphs(reader);
    reader.close();
    return content;
}

GlyphFileContent glyphsFromBytes(const QByteArray &bytes, const QString &displayName) {
    FieldReader reader = FieldReader::fromBytes(bytes, displayName);
    return readGlyphs(reader);
}

} // namespace glimmerset
