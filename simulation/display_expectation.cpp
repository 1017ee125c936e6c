#include "simulation/display_expectation.h"

#include "simulation/character_rom.h"

namespace glimmerset {

namespace {

void trimBlanks(std::vector<std::uint8_t> &cells) {
    while (!cells.empty() && cells.back() == ' ')
        cells.pop_back();
}

bool sameCell(std::uint8_t a, std::uint8_t b) {
    return a == b || (a < 16 && b < 16 && (a & 7) == (b & 7));
}

QString notation(const std::vector<std::uint8_t> &cells, std::size_t count) {
    QString text;
    for (std::size_t i = 0; i < count && i < cells.size(); ++i)
        text += rom::cellText(cells[i]);
    return text;
}

} // namespace

std::optional<LineExpectation> lineExpectation(int line, const QString &text,
                                               const lcd::Geometry &geometry, QString *why) {
    auto cells = rom::parseCells(text, why);
    if (!cells)
        return std::nullopt;
    trimBlanks(*cells);
    if (cells->size() > std::size_t(geometry.columns)) {
        *why = QStringLiteral("the text for line %1 has %2 characters, a line of the %3 module %4")
                   .arg(line + 1)
                   .arg(cells->size())
                   .arg(QString::fromStdString(geometry.name()))
                   .arg(geometry.columns);
        return std::nullopt;
    }
    return LineExpectation{line, std::move(*cells)};
}

ExpectationVerdict judgeExpectations(const std::vector<LineExpectation> &expectations,
                                     const Glass &glass, const QString &when) {
    ExpectationVerdict verdict;
    for (const LineExpectation &expected : expectations) {
        std::vector<std::uint8_t> shown;
        for (int column = 0; column < glass.columns; ++column)
            shown.push_back(glass.code(expected.line, column));
        trimBlanks(shown);
        std::size_t at = 0;
        while (at < shown.size() && at < expected.cells.size() &&
               sameCell(shown[at], expected.cells[at]))
            ++at;
        const QString head =
            QStringLiteral("Expected line %1 %2: ").arg(expected.line + 1).arg(when);
        const QString want = notation(expected.cells, expected.cells.size());
        if (at == shown.size() && at == expected.cells.size()) {
            verdict.lines << head + QStringLiteral("shown \"%1\"").arg(want);
            continue;
        }
        verdict.held = false;
        verdict.failed << QStringLiteral("line %1 is not as expected").arg(expected.line + 1);
        verdict.lines << head + QStringLiteral("differs from column %1").arg(at + 1)
                      << QStringLiteral("    expected \"%1\"").arg(want)
                      << QStringLiteral("    shown    \"%1\"").arg(notation(shown, shown.size()))
                      << QString(14 + notation(shown, at).size(), u' ') + u'^';
    }
    return verdict;
}

} // namespace glimmerset
