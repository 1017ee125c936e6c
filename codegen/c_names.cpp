#include "codegen/c_names.h"

#include "codegen/name_text.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace glimmerset {

namespace {

// What the C header and the sketch name themselves; a glyph named "Table"
// would otherwise declare the sketch's glyphTable a second time.
const QStringList kFormIdentifiers = {
    QStringLiteral("glyphTable"),
    QStringLiteral("loadGlyphs"),
    QStringLiteral("glyph_rows"),
    QStringLiteral("glimmerset_glyph"),
    QStringLiteral("glimmerset_load_glyphs"),
    QStringLiteral("GLIMMERSET_GLYPHS_H"),
};

} // namespace

std::array<QString, kGlyphCount> glyphIdentifiers(const GlyphNames &names, IdentifierStyle style) {
    static const QRegularExpression words(QStringLiteral("[A-Za-z0-9]+"));
    static const QRegularExpression letter(QStringLiteral("[A-Za-z]"));
    const bool constant = style == IdentifierStyle::Constant;
    std::array<QString, kGlyphCount> identifiers;
    for (int g = 0; g < kGlyphCount; ++g) {
        QString id = constant ? QStringLiteral("GLYPH") : QStringLiteral("glyph");
        for (auto it = words.globalMatch(names[g]); it.hasNext();) {
            const QString word = it.next().captured();
            id += constant ? u'_' + word.toUpper() : word.front().toUpper() + word.mid(1);
        }
        // Without a letter the words could be a number: GLYPH_3 is glyph 3's own.
        const bool taken =
            std::find(identifiers.begin(), identifiers.begin() + g, id) != identifiers.begin() + g;
        if (!names[g].contains(letter) || taken || kFormIdentifiers.contains(id))
            id = (constant ? QStringLiteral("GLYPH_%1") : QStringLiteral("glyph%1")).arg(g);
        identifiers[g] = id;
    }
    return identifiers;
}

QString cNameComment(int glyph, const QString &name) {
    return QStringLiteral("// %1 \"%2\"").arg(QString::number(glyph), nameForComment(name));
}

} // namespace glimmerset
