#include "codegen/glyph_import.h"

#include "codegen/found_rows.h"
#include "storage/error.h"
#include "storage/regular_file.h"
#include "storage/windows1252.h"

#include <QFile>
#include <QStringDecoder>

namespace glimmerset {

namespace {

using import::FoundRows;
using import::Row;

// Far beyond any source of eight glyphs; keeps a wrong file from filling memory.
constexpr qint64 kMaxSource = qint64(1) << 20;

// UTF-8 where the bytes are that, else Windows-1252 like our own files.
QString decodeSource(const QByteArray &bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    return utf8.hasError() ? windows1252::decode(bytes) : text;
}

struct Glyph {
    std::optional<QString> name;
    QList<Row> rows;
    int line = 0;
};

// Each array cut into glyphs of eight rows, in order or at its code.
QList<std::optional<Glyph>> cutIntoGlyphs(const QList<FoundRows> &arrays) {
    QList<std::optional<Glyph>> glyphs;
    for (const FoundRows &array : arrays) {
        std::optional<QString> name = array.name;
        if (!name && !array.identifier.isEmpty())
            name = array.identifier;
        const qsizetype pieces = (array.rows.size() + lcd::kGlyphRows - 1) / lcd::kGlyphRows;
        for (qsizetype k = 0; k < pieces; ++k) {
            Glyph glyph{name, array.rows.mid(k * lcd::kGlyphRows, lcd::kGlyphRows), array.line};
            if (name && pieces > 1)
                glyph.name = QStringLiteral("%1[%2]").arg(*name, QString::number(k));
            if (array.code >= 0) {
                glyphs.resize(std::max<qsizetype>(glyphs.size(), array.code + 1));
                glyphs[array.code] = glyph;
            } else {
                glyphs << glyph;
            }
        }
    }
    return glyphs;
}

void checkRow(const Row &row, const QString &source) {
    if (row.value >= 0 && row.value < (1 << lcd::kGlyphColumns))
        return;
    throw Error(QStringLiteral("%1, line %2: %3 %4; a row holds five pixels, 0 to 31 (0x1F, "
                               "0b11111), bit 4 the leftmost.")
                    .arg(source, QString::number(row.line), row.text,
                         row.value < 0 ? QStringLiteral("is below zero")
                                       : QStringLiteral("has bits above the fifth")));
}

} // namespace

ImportedGlyphs importGlyphs(const QByteArray &bytes, const QString &displayName) {
    const QString text = decodeSource(bytes);
    // Braces mark C; assembly has none.
    import::Found found =
        text.contains(u'{') ? import::readCArrays(text) : import::readAssembly(text);
    if (found.arrays.isEmpty())
        if (import::Found bare = import::readBareList(text); !bare.arrays.isEmpty())
            found = bare;
    ImportedGlyphs result;
    result.set.names = defaultGlyphNames();
    for (const QString &warning : found.warnings)
        result.warnings << displayName + QStringLiteral(", ") + warning;

    QList<std::optional<Glyph>> glyphs = cutIntoGlyphs(found.arrays);
    if (glyphs.isEmpty())
        throw Error(QStringLiteral("%1 holds no glyph rows: no array of bytes in C or Arduino, no "
                                   ".db table and no LDI before an RCALL lcd_ch.")
                        .arg(displayName));
    if (glyphs.size() > kGlyphCount) {
        const Glyph &first = *glyphs[kGlyphCount];
        result.warnings << QStringLiteral("%1: %2 glyphs found; the first eight are taken, and "
                                          "%3 (line %4) and what follows are left out.")
                               .arg(displayName, QString::number(glyphs.size()),
                                    quoted(first.name.value_or(defaultGlyphName(kGlyphCount))),
                                    QString::number(first.line));
        glyphs.resize(kGlyphCount);
    }
    for (qsizetype g = 0; g < glyphs.size(); ++g) {
        if (!glyphs[g])
            continue;
        const Glyph &glyph = *glyphs[g];
        for (const Row &row : glyph.rows)
            checkRow(row, displayName);
        if (glyph.name)
            result.set.names[g] = *glyph.name;
        if (glyph.rows.size() < lcd::kGlyphRows)
            result.warnings << QStringLiteral("%1, line %2: %3 has only %4 of 8 rows; the others "
                                              "are left dark.")
                                   .arg(displayName, QString::number(glyph.line),
                                        quoted(result.set.names[g]),
                                        QString::number(glyph.rows.size()));
        for (qsizetype r = 0; r < glyph.rows.size(); ++r)
            for (int c = 0; c < lcd::kGlyphColumns; ++c)
                result.set.glyphs.setPixel(
                    int(r), c, int(g), (glyph.rows[r].value >> (lcd::kGlyphColumns - 1 - c)) & 1);
        ++result.found;
    }
    return result;
}

ImportedGlyphs importGlyphFile(const QString &path) {
    return importGlyphDevice(*openRegularFileForReading(path), QStringLiteral("\"%1\"").arg(path));
}

ImportedGlyphs importGlyphDevice(QIODevice &device, const QString &displayName) {
    const QByteArray bytes = device.read(kMaxSource + 1);
    if (const auto *file = qobject_cast<QFileDevice *>(&device);
        file && file->error() != QFileDevice::NoError)
        throw Error(QStringLiteral("Can't read %1: %2.").arg(displayName, file->errorString()));
    if (bytes.size() > kMaxSource)
        throw Error(
            QStringLiteral("%1 is over 1 MiB: too large to be glyph arrays.").arg(displayName));
    return importGlyphs(bytes, displayName);
}

} // namespace glimmerset
