#include "verify_report.h"

namespace glimmerset {

namespace {

QString dots(std::uint8_t row) {
    QString text;
    for (int c = 0; c < kColumnCount; ++c)
        text += (row & (0x10 >> c)) ? u'#' : u'.';
    return text;
}

QString milliseconds(std::uint64_t cycles, std::uint32_t clockHz) {
    return QString::number(1e3 * static_cast<double>(cycles) / clockHz, 'f', 1) +
           QStringLiteral(" ms");
}

// Many early strobes say the same thing; the first few and a count will do.
void listSome(QStringList &lines, const std::vector<std::string> &items, const QString &prefix) {
    constexpr std::size_t kShown = 3;
    for (std::size_t i = 0; i < items.size() && i < kShown; ++i)
        lines << prefix + QString::fromStdString(items[i]);
    if (items.size() > kShown)
        lines << prefix + QStringLiteral("... and %1 more").arg(items.size() - kShown);
}

} // namespace

std::array<std::uint8_t, 64> cgramImage(const GlyphSet &glyphs) {
    std::array<std::uint8_t, 64> image{};
    for (int g = 0; g < kGlyphCount; ++g)
        for (int r = 0; r < kRowCount; ++r) {
            std::uint8_t row = 0;
            for (int c = 0; c < kColumnCount; ++c)
                if (glyphs.isLit(r, c, g))
                    row |= static_cast<std::uint8_t>(0x10 >> c);
            image[8 * g + r] = row;
        }
    return image;
}

QString displayLine(const BoardRun &run, int line) {
    QString text;
    for (int column = 0; column < 16; ++column) {
        const std::uint8_t code = run.ddram[40 * line + column];
        if (code < 16)
            text += QStringLiteral("{%1}").arg(code);
        else if (code >= 0x20 && code < 0x7F)
            text += QChar::fromLatin1(static_cast<char>(code));
        else
            text += QString::asprintf("{x%02X}", code);
    }
    return text;
}

VerifyReport verifyReport(const BoardRun &run, const BoardConfig &config, const GlyphNames &names,
                          const GlyphSet &expected) {
    VerifyReport report;
    QStringList &lines = report.lines;
    const QString board = QStringLiteral("%1 at %2 MHz, LCD on %3")
                              .arg(QString::fromStdString(config.mcu))
                              .arg(config.clockHz / 1e6)
                              .arg(config.wiring.backpack
                                       ? backpackDescription(*config.wiring.backpack)
                                       : wiringSpec(config.wiring));
    lines << QStringLiteral("Board: ") + board;
    if (!run.loaded) {
        lines << QStringLiteral("FAILED: the program could not be loaded: ") +
                     QString::fromStdString(run.loadError);
        return report;
    }

    const auto image = cgramImage(expected);
    bool cgramOk = true;
    for (int g = 0; g < kGlyphCount; ++g) {
        QStringList differing;
        for (int r = 0; r < kRowCount; ++r)
            if (run.cgram[8 * g + r] != image[8 * g + r])
                differing << QString::number(r);
        const QString glyph = QStringLiteral("Glyph %1 \"%2\": ").arg(g).arg(names[g]);
        if (differing.isEmpty()) {
            lines << glyph + QStringLiteral("CGRAM holds all 8 rows");
            continue;
        }
        cgramOk = false;
        lines << glyph + QStringLiteral("rows %1 differ (set | CGRAM)").arg(differing.join(u' '));
        for (const QString &row : differing) {
            const int i = 8 * g + row.toInt();
            lines << QStringLiteral("    row %1  %2 | %3")
                         .arg(row, dots(image[i]), dots(run.cgram[i]));
        }
    }

    lines << QStringLiteral("Line 1: \"%1\"").arg(displayLine(run, 0));

    if (run.accesses.empty())
        lines << QStringLiteral("Bus timing: no access seen on the wired pins; does the wiring "
                                "match the program?");
    else if (run.busViolations.empty())
        lines << QStringLiteral("Bus timing: %1 accesses, none while busy (37 us; 1.52 ms after "
                                "clear or home), no E pulse under 450 ns")
                     .arg(run.accesses.size());
    else
        lines << QStringLiteral("Bus timing: %1 accesses, %2 broken rules")
                     .arg(run.accesses.size())
                     .arg(run.busViolations.size());
    listSome(lines, run.busViolations, QStringLiteral("    "));
    if (!run.busWarnings.empty()) {
        lines
            << QStringLiteral(
                   "Warning: %1 accesses too early for the slower clones (120 us, 4.9 ms for clear "
                   "and home)")
                   .arg(run.busWarnings.size());
        listSome(lines, run.busWarnings, QStringLiteral("    "));
    }

    if (config.wiring.backpack) {
        lines << QStringLiteral("I2C: ") + QString::fromStdString(run.i2cTraffic);
        listSome(lines, run.i2cViolations, QStringLiteral("    "));
    }

    if (run.reachedLoop)
        lines << QStringLiteral("Loop: reached after %1 cycles (%2)")
                     .arg(run.cycles)
                     .arg(milliseconds(run.cycles, run.clockHz));
    else
        lines << QStringLiteral("Loop: not reached within %1 cycles (%2)")
                     .arg(run.cycleBudget)
                     .arg(milliseconds(run.cycleBudget, run.clockHz));

    report.ok = cgramOk && run.reachedLoop && run.busViolations.empty() &&
                run.i2cViolations.empty();
    QStringList failed;
    if (!cgramOk)
        failed << QStringLiteral("CGRAM does not hold the set");
    if (!run.reachedLoop)
        failed << QStringLiteral("the loop was not reached");
    if (!run.busViolations.empty())
        failed << QStringLiteral("the bus timing was broken");
    if (!run.i2cViolations.empty())
        failed << QStringLiteral("the I2C bus broke the PCF8574's rules");
    lines << (report.ok ? QStringLiteral("OK")
                        : QStringLiteral("FAILED: ") + failed.join(QStringLiteral("; ")));
    return report;
}

} // namespace glimmerset
