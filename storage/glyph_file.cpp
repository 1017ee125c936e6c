#include "storage/glyph_file.h"

#include "storage/atomic_file.h"
#include "storage/error.h"
#include "storage/field_reader.h"
#include "storage/windows1252.h"

#include <QList>
#include <QMap>
#include <QStringList>

#include <algorithm>
#include <optional>
#include <tuple>
#include <utility>

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

constexpr int kNameFields = kGlyphCount;
constexpr int kSetFields = kNameFields + kPixelCount;
// Fields after the set read to tell of them; a set followed by megabytes of
// something else needs no exact count. Only a file of known, modest size is
// read on, as no field is too long to hold: a pipe may never end.
constexpr int kMaxLeftovers = 1000;
constexpr int kMaxFieldsReadOn = 10 * kMaxLeftovers;
constexpr qint64 kMaxBytesReadOn = qint64(16) << 20;

// The count of fields on each line that holds the set, the line the set
// ends on in full: enough to find where a hand-written file's rows break.
class FileShape {
public:
    void field(int line, int index) {
        if (lines_.isEmpty() || lines_.back().line != line) {
            if (index >= kSetFields)
                return;
            lines_.append({line, index, 0});
        }
        ++lines_.back().fields;
    }

    // The first line whose count differs from its kind's, in words, or nothing.
    std::optional<std::pair<int, QString>> firstBreak() const {
        QMap<int, int> linesWithCount; // of pixel lines
        for (const Line &line : lines_)
            if (line.firstField >= kNameFields)
                ++linesWithCount[line.fields];
        int usual = 0, most = 0;
        for (auto it = linesWithCount.cbegin(); it != linesWithCount.cend(); ++it)
            if (it.value() > most)
                std::tie(usual, most) = std::pair(it.key(), it.value());
        for (const Line &line : lines_) {
            if (line.firstField < kNameFields && line.fields != 1)
                return std::pair(line.line,
                                 QStringLiteral("the line holds %1 fields where a name takes a "
                                                "line of its own (a name with a comma goes in "
                                                "double quotes), so every field after it is "
                                                "read out of place.")
                                     .arg(line.fields));
            if (line.firstField >= kNameFields && line.fields != usual)
                return std::pair(line.line,
                                 QStringLiteral("the line holds %1 %2 where the other pixel lines "
                                                "hold %3, so every pixel after it is read out of "
                                                "place.")
                                     .arg(line.fields)
                                     .arg(line.fields == 1 ? u"field" : u"fields")
                                     .arg(usual));
        }
        return std::nullopt;
    }

private:
    struct Line {
        int line;
        int firstField;
        int fields;
    };
    QList<Line> lines_;
};

} // namespace

GlyphFileContent glyphsFromReader(FieldReader &reader, Leftovers leftovers) {
    GlyphFileContent content;
    FileShape shape;
    int index = 0;
    try {
        for (int g = 0; g < kGlyphCount; ++g, ++index) {
            const int line = reader.lineNumber();
            content.names[g] = reader.readText();
            shape.field(line, index);
        }
        for (int g = 0; g < kGlyphCount; ++g)
            for (int r = 0; r < lcd::kGlyphRows; ++r)
                for (int c = 0; c < lcd::kGlyphColumns; ++c, ++index) {
                    const int line = reader.lineNumber();
                    QByteArrayView field;
                    const std::int16_t value = reader.readNumber(&field);
                    shape.field(line, index);
                    content.glyphs.setPixel(r, c, g, value);
                    if (field != "0" && field != "1")
                        content.oddPixels << reader.message(
                            line, QStringLiteral("the pixel field holds %1, not 0 or 1; "
                                                 "it counts as %2.")
                                      .arg(quoted(windows1252::decode(field)),
                                           value == 1 ? u"lit" : u"dark"));
                }
    } catch (const Error &error) {
        // Most often a row with a value too few, far above the end.
        bool ended = false;
        try {
            ended = reader.atEnd();
        } catch (const Error &) {
        }
        const auto broken = ended ? shape.firstBreak() : std::nullopt;
        if (!broken)
            throw;
        throw Error(error.message() + QStringLiteral(" The set needs %1 fields (%2 names, %3 "
                                                     "pixels), the file holds %4; line %5: %6")
                                          .arg(kSetFields)
                                          .arg(kNameFields)
                                          .arg(kPixelCount)
                                          .arg(index)
                                          .arg(broken->first)
                                          .arg(broken->second));
    }
    QByteArray names;
    for (const QString &name : content.names)
        names += windows1252::encodeLossy(name) + '\n';
    content.namesLookLikeUtf8 = windows1252::looksLikeUtf8(names);
    if (leftovers == Leftovers::Ignored)
        return content;

    int left = 0, firstLine = 0;
    const bool readOn = reader.sizeHint() > 0 && reader.sizeHint() <= kMaxBytesReadOn;
    try {
        for (int read = 0;
             readOn && left <= kMaxLeftovers && read < kMaxFieldsReadOn && !reader.atEnd();
             ++read) {
            const int line = reader.lineNumber();
            const bool blank = reader.readText().trimmed().isEmpty();
            shape.field(line, index++);
            if (!blank && left++ == 0)
                firstLine = line;
        }
    } catch (const Error &) {
        // What can't be read after the set is left over all the same.
        left = std::max(left, 1);
        firstLine = firstLine ? firstLine : reader.lineNumber();
    }
    if (const auto broken = shape.firstBreak())
        content.shape << reader.message(broken->first, broken->second);
    if (left > 0)
        content.shape << reader.message(
            firstLine,
            QStringLiteral("%1 after the set of %2 fields: never read.")
                .arg(left > kMaxLeftovers
                         ? QStringLiteral("more than %1 fields left over").arg(kMaxLeftovers)
                     : left == 1 ? QStringLiteral("a field left over")
                                 : QStringLiteral("%1 fields left over").arg(left))
                .arg(kSetFields));
    return content;
}

GlyphFileContent glyphs_from_file(const QString &path, Leftovers leftovers) {
    FieldReader reader = FieldReader::openFile(path);
    GlyphFileContent content = glyphsFromReader(reader, leftovers);
    reader.close();
    return content;
}

GlyphFileContent glyphsFromBytes(const QByteArray &bytes, const QString &displayName,
                                 Leftovers leftovers) {
    FieldReader reader = FieldReader::fromBytes(bytes, displayName);
    return glyphsFromReader(reader, leftovers);
}

} // namespace glimmerset
