#include "codegen/found_rows.h"
#include "glyphs/lcd_layout.h"

#include <QRegularExpression>

#include <array>
#include <bit>
#include <optional>

namespace glimmerset::import {

namespace {

// avra's notations: 0x1F, $1F, 0b11111, 31.
bool parseAsmNumber(const QString &text, long &value) {
    static const QRegularExpression pattern(
        QStringLiteral("^(?:0[xX]([0-9A-Fa-f]+)|\\$([0-9A-Fa-f]+)|0[bB]([01]+)|([0-9]+))$"));
    return parseNumber(text, pattern, {16, 16, 2, 10}, value);
}

// Where a line's comment begins, outside quotes; -1 without one.
qsizetype commentStart(const QString &line) {
    QChar quote;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (!quote.isNull())
            quote = line[i] == quote ? QChar() : quote;
        else if (line[i] == u'"' || line[i] == u'\'')
            quote = line[i];
        else if (line[i] == u';')
            return i;
    }
    return -1;
}

// A program that writes glyphs as the LCD_char block does: an LDI right
// before each call of lcd_fc (a CGRAM address) or lcd_ch (a row).
class CgramWrites {
public:
    void ldi(const Row &value, const std::optional<QString> &comment) {
        ldi_ = value;
        comment_ = comment;
    }
    void other() { ldi_.reset(); }
    void call(bool instruction) {
        if (instruction) {
            const bool cgram = ldi_ && ldi_->value >= 0x40 && ldi_->value < 0x80;
            address_ = cgram ? int(ldi_->value - 0x40) : -1;
            // The comment line right above row 0's address names the glyph.
            if (cgram && address_ % lcd::kGlyphRows == 0 && comment_)
                glyph(address_ / lcd::kGlyphRows).name = *comment_;
        } else if (ldi_ && address_ >= 0) {
            const int g = address_ / lcd::kGlyphRows;
            const int r = address_ % lcd::kGlyphRows;
            glyph(g).rows[r] = *ldi_;
            written_[g] |= 1u << r;
            address_ = (address_ + 1) & lcd::kCgramAddressMask;
        }
        ldi_.reset();
    }
    void addTo(Found &found) const {
        for (int g = 0; g < lcd::kCgramGlyphs; ++g) {
            if (!glyphs_[g])
                continue;
            found.arrays << *glyphs_[g];
            if (written_[g] != kAllRows)
                found.warnings << QStringLiteral("line %1: the program writes %2 of glyph %3's 8 "
                                                 "rows; the others are left dark.")
                                      .arg(QString::number(glyphs_[g]->line))
                                      .arg(std::popcount(written_[g]))
                                      .arg(g);
        }
    }

private:
    FoundRows &glyph(int code) {
        if (!glyphs_[code]) {
            glyphs_[code] = FoundRows{QList<Row>(lcd::kGlyphRows, Row{QStringLiteral("0"), 0, 0}),
                                      std::nullopt,
                                      {},
                                      code,
                                      ldi_ ? ldi_->line : 0};
        }
        return *glyphs_[code];
    }

    std::optional<Row> ldi_;
    std::optional<QString> comment_;
    int address_ = -1;
    static constexpr unsigned kAllRows = (1u << lcd::kGlyphRows) - 1;
    std::array<std::optional<FoundRows>, lcd::kCgramGlyphs> glyphs_;
    std::array<unsigned, lcd::kCgramGlyphs> written_{};
};

} // namespace

Found readAssembly(const QString &text) {
    static const QRegularExpression lineEnd(QStringLiteral("\\r\\n|\\r|\\n"));
    static const QRegularExpression label(QStringLiteral("^([A-Za-z_.][A-Za-z0-9_.]*):\\s*(.*)$"));
    static const QRegularExpression table(QStringLiteral("^\\.(?:db|byte)\\s+(.*)$"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression ldi(QStringLiteral("^LDI\\s+\\w+\\s*,\\s*(\\S+)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression call(QStringLiteral("^R?CALL\\s+lcd_(fc|ch)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    Found found;
    CgramWrites program;
    // The comment line or label nearest above a .db line names its table;
    // one after a table's data starts a new table.
    std::optional<QString> comment;
    QString marker;
    bool markerIsComment = false;
    bool newTable = true;
    const QStringList lines = text.split(lineEnd);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int number = int(i) + 1;
        QString code = lines[i];
        if (const qsizetype at = commentStart(code); at >= 0) {
            if (code.first(at).trimmed().isEmpty()) {
                comment = marker = code.mid(at + 1);
                markerIsComment = newTable = true;
                continue;
            }
            code.truncate(at);
        }
        code = code.trimmed();
        if (code.isEmpty())
            continue;
        if (const auto match = label.match(code); match.hasMatch()) {
            marker = match.captured(1);
            markerIsComment = false;
            newTable = true;
            code = match.captured(2);
            if (code.isEmpty())
                continue;
        }
        if (const auto match = table.match(code); match.hasMatch()) {
            QList<Row> rows;
            for (const QString &part : match.captured(1).split(u',')) {
                long value = 0;
                if (!parseAsmNumber(part.trimmed(), value)) {
                    found.warnings << QStringLiteral("line %1: the table holds more than "
                                                     "numbers; left out.")
                                          .arg(number);
                    rows.clear();
                    break;
                }
                rows << Row{part.trimmed(), value, number};
            }
            if (!rows.isEmpty() && (newTable || found.arrays.isEmpty())) {
                FoundRows array;
                if (markerIsComment)
                    array.name = marker;
                else
                    array.identifier = marker;
                array.line = number;
                found.arrays << array;
                newTable = false;
            }
            if (!rows.isEmpty())
                found.arrays.back().rows += rows;
            program.other();
            comment.reset();
            continue;
        }
        if (const auto match = ldi.match(code); match.hasMatch()) {
            long value = 0;
            if (parseAsmNumber(match.captured(1), value))
                program.ldi(Row{match.captured(1), value, number}, comment);
            else
                program.other();
        } else if (const auto match = call.match(code); match.hasMatch()) {
            program.call(match.captured(1).compare(QLatin1String("fc"), Qt::CaseInsensitive) == 0);
        } else {
            program.other();
        }
        comment.reset();
    }
    // A program that writes CGRAM is read for what it writes, not for its tables.
    Found written;
    program.addTo(written);
    if (!written.arrays.isEmpty()) {
        written.warnings = found.warnings + written.warnings;
        return written;
    }
    return found;
}

} // namespace glimmerset::import
