#include "simulation/verify_report.h"

#include "simulation/character_rom.h"
#include "simulation/lcd_glass.h"

#include "codegen/name_text.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace glimmerset {

namespace {

constexpr char kNeverWritten[] = "never written";

bool written(const LcdMemory &memory, int address) {
    return memory.cgramWritten >> address & 1;
}

// A glyph row is bits 0 to 4; bits 5 to 7 of a CGRAM byte are plain RAM.
bool holds(const LcdMemory &memory, int address, std::uint8_t row) {
    return written(memory, address) && (memory.cgram[address] & 0x1F) == row;
}

QString dots(std::uint8_t row) {
    QString text;
    for (int c = 0; c < lcd::kGlyphColumns; ++c)
        text += (row & lcd::glyphRowBit(c)) ? u'#' : u'.';
    return text;
}

QString cgramRow(const LcdMemory &memory, int address) {
    return written(memory, address) ? dots(memory.cgram[address]) : QStringLiteral("-----");
}

std::string hexByte(std::uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

QString milliseconds(std::uint64_t cycles, std::uint32_t clockHz) {
    return QString::number(1e3 * static_cast<double>(cycles) / clockHz, 'f', 1) +
           QStringLiteral(" ms");
}

// A root cause that failed the run: the report opens with it.
bool leads(const Finding &finding) {
    return isCause(finding.rule) && finding.kind == FindingKind::Failure;
}

// The run's own sections show these; the rest get a block of their own.
bool shownInItsSection(const Finding &finding) {
    return finding.rule == Rule::Cgram || finding.rule == Rule::Loop ||
           finding.rule == Rule::Silence || finding.rule == Rule::Fault || leads(finding);
}

QString headline(const Finding &finding) {
    QString text = QString::fromStdString(finding.headline());
    if (finding.title.find("%n") == std::string::npos && finding.count > 1)
        text += QStringLiteral(" (%1 times)").arg(finding.count);
    return text;
}

// A finding's first instances and how many more there were.
void listInstances(QStringList &lines, const Finding &finding, const QString &indent) {
    for (const std::string &instance : finding.instances)
        lines << indent + QString::fromStdString(instance);
    if (!finding.instances.empty() && finding.count > finding.instances.size())
        lines << indent + QStringLiteral("... and %1 more")
                              .arg(finding.count - finding.instances.size());
}

void listViolations(QStringList &lines, const Findings &findings, bool i2c) {
    for (const Finding &finding : findings.all())
        if (finding.kind == FindingKind::Violation && onI2c(finding.rule) == i2c) {
            lines << QStringLiteral("    ") + headline(finding);
            listInstances(lines, finding, QStringLiteral("        "));
        }
}

QString busLine(const BoardRun &run, const BusTiming &timing, int broken) {
    QString accesses = QStringLiteral("%1 accesses").arg(run.writes);
    if (run.reads > 0)
        accesses += QStringLiteral(" and %1 reads").arg(run.reads);
    if (run.writes + run.reads == 0)
        return run.end == RunEnd::TimeUp && !run.outputsElsewhere
                   ? QStringLiteral("Bus timing: no access seen")
                   : QStringLiteral("Bus timing: no access seen on the wired pins; does the "
                                    "wiring match the program?");
    if (broken > 0)
        return QStringLiteral("Bus timing: %1 by the datasheet at %2 V, %3 broken:")
            .arg(accesses, QLatin1String(timing.supply))
            .arg(broken == 1 ? QStringLiteral("one rule") : QStringLiteral("%1 rules").arg(broken));
    return QStringLiteral("Bus timing: %1, none while busy (%2 us; %3 ms after clear or home), "
                          "every rule of the datasheet at %4 V kept (PW_EH %5 ns, t_cycE %6 ns, "
                          "t_AS %7 ns, t_AH %8 ns, t_DSW %9 ns, t_H %10 ns)")
        .arg(accesses)
        .arg(timing.access / 1e3)
        .arg(timing.clearHome / 1e6)
        .arg(QLatin1String(timing.supply))
        .arg(timing.pwEH)
        .arg(timing.tCycE)
        .arg(timing.tAS)
        .arg(timing.tAH)
        .arg(timing.tDSW)
        .arg(timing.tH);
}

// How well the bus reads with its lines in the order `order` gives (the
// line that bus line i stands for): glyph rows that land, less the rules
// broken.
int replayScore(const BoardRun &run, const BoardConfig &config, const BusTiming &timing,
                const std::array<int, lcd::kLineCount> &order,
                const std::array<std::uint8_t, lcd::kCgramSize> *image) {
    LcdBusMonitor monitor(run.clockHz, timing, config.startupMs);
    const auto remap = [&](unsigned bits) {
        unsigned out = 0;
        for (int line = 0; line < lcd::kLineCount; ++line)
            if (bits & lcd::lineBit(line))
                out |= lcd::lineBit(order[line]);
        return out;
    };
    for (const BusEdge &edge : run.busEdges)
        monitor.busChanged(remap(edge.driven), remap(edge.levels), edge.cycle);
    monitor.finish(run.busEdges.empty() ? 0 : run.busEdges.back().cycle);
    // A reading with no data written makes no more sense.
    if (monitor.dataWrites() == 0)
        return -1000;
    int score = 0;
    if (image)
        for (int a = 0; a < lcd::kCgramSize; ++a)
            score += 4 * holds(monitor.memory(), a, (*image)[a]);
    for (const Finding &finding : monitor.findings().all())
        score -= finding.kind == FindingKind::Failure || finding.kind == FindingKind::Violation ||
                 finding.rule == Rule::FourBit;
    return score;
}

// A parallel bus whose accesses make sense only with the data lines in
// another order, or RS and E swapped: the wiring that matches.
std::optional<BoardWiring> matchingWiring(const BoardRun &run, const BoardConfig &config,
                                          const GlyphSet *expected) {
    const BusTiming *timing = busTimingFor(config.supplyVolts);
    if (run.busEdges.empty() || config.wiring.backpack || !timing ||
        config.wiring.pins[lcd::D0].wired())
        return std::nullopt;
    std::array<std::uint8_t, lcd::kCgramSize> image{};
    if (expected)
        image = cgramImage(*expected);
    std::array<int, lcd::kLineCount> order;
    for (int line = 0; line < lcd::kLineCount; ++line)
        order[line] = line;
    int best = std::max(0, replayScore(run, config, *timing, order, expected ? &image : nullptr));
    std::optional<std::array<int, lcd::kLineCount>> bestOrder;
    std::array<int, 4> data = {lcd::D4, lcd::D5, lcd::D6, lcd::D7};
    for (const bool swapRsE : {false, true}) {
        std::sort(data.begin(), data.end());
        do {
            for (int i = 0; i < 4; ++i)
                order[lcd::D4 + i] = data[i];
            order[lcd::RS] = swapRsE ? lcd::E : lcd::RS;
            order[lcd::E] = swapRsE ? lcd::RS : lcd::E;
            const int score = replayScore(run, config, *timing, order, expected ? &image : nullptr);
            if (score > best) {
                best = score;
                bestOrder = order;
            }
        } while (std::next_permutation(data.begin(), data.end()));
    }
    // Only an order under which nothing is broken names the wiring.
    if (!bestOrder || best < (expected ? 4 * lcd::kCgramSize : 0))
        return std::nullopt;
    BoardWiring wiring = config.wiring;
    for (int line = 0; line < lcd::kLineCount; ++line)
        wiring.pins[(*bestOrder)[line]] = config.wiring.pins[line];
    return wiring;
}

} // namespace

std::array<std::uint8_t, lcd::kCgramSize> cgramImage(const GlyphSet &glyphs) {
    std::array<std::uint8_t, lcd::kCgramSize> image{};
    for (int g = 0; g < kGlyphCount; ++g)
        for (int r = 0; r < lcd::kGlyphRows; ++r)
            image[lcd::cgramAddress(g, r)] = cgramRow(glyphs, g, r);
    return image;
}

QString displayLine(const Glass &glass, int line) {
    QString text;
    for (int column = 0; column < glass.columns; ++column)
        text += rom::cellText(glass.code(line, column));
    return text;
}

QString displayLine(const LcdMemory &memory, const lcd::Geometry &geometry, int line) {
    return displayLine(glassOf(memory, geometry), line);
}

Findings judgeRun(const BoardRun &run, const BoardConfig &config, const GlyphSet *expected,
                  bool loopRequired) {
    Findings findings;
    // After a fault the rest is its consequence.
    if (run.end == RunEnd::Fault) {
        findings.add(FindingKind::Failure, Rule::Fault, run.fault);
        findings.merge(run.findings);
        return findings;
    }
    if (expected) {
        const auto image = cgramImage(*expected);
        for (int a = 0; a < lcd::kCgramSize; ++a)
            if (!holds(run.lcd, a, image[a]))
                findings.add(FindingKind::Failure, Rule::Cgram, "CGRAM does not hold the set", [&] {
                    return "glyph " + std::to_string(a / lcd::kGlyphRows) + " row " + std::to_string(a % lcd::kGlyphRows) +
                           (written(run.lcd, a) ? " differs" : " never written");
                });
    }
    if (run.writes + run.reads == 0 && run.end == RunEnd::TimeUp && !run.outputsElsewhere) {
        char text[120];
        std::snprintf(text, sizeof text,
                      "no access in the first %.1f s: the program may still be waiting; give "
                      "--seconds",
                      static_cast<double>(run.cycleBudget) / run.clockHz);
        findings.add(FindingKind::Failure, Rule::Waiting, text);
    } else if (run.writes + run.reads == 0) {
        findings.add(FindingKind::Failure, Rule::Silence,
                     "no access seen on the wired pins: does the wiring match the program?");
    } else if (!expected && run.dataWrites == 0)
        findings.add(FindingKind::Failure, Rule::NothingWritten,
                     "the program wrote nothing into DDRAM or CGRAM");
    if (loopRequired && run.end != RunEnd::Loop)
        findings.add(FindingKind::Failure, Rule::Loop, "the loop was not reached");
    findings.merge(run.findings);
    if (run.writes > 0) {
        const std::string control = run.lcd.displayControl
                                        ? "display control " + hexByte(run.lcd.displayControl)
                                        : std::string("no display control instruction");
        if (!run.lcd.displayWasOn)
            findings.add(FindingKind::Failure, Rule::DisplayOff,
                         "the display was never switched on (" + control +
                             "): the module shows nothing");
        else if (!run.lcd.displayOn())
            findings.add(FindingKind::Note, Rule::DisplayOffAtEnd,
                         "the display was off when the run ended (" + control +
                             ") after it had been on, as a blinking display is between blinks: "
                             "the lines and the picture show it blank");
    }
    // Rows written downwards are a cause when they left CGRAM wrong.
    if (Finding *decrement = findings.find(Rule::Decrement); decrement && expected) {
        if (findings.has(Rule::Cgram))
            decrement->kind = FindingKind::Failure;
        else
            findings.remove(Rule::Decrement);
    }
    if (config.lcd.lines > 1 && run.writes > 0 && !run.lcd.twoLine)
        findings.add(FindingKind::Warning, Rule::OneLine,
                     "the controller was left in one-line mode (function set with N = 0): a " +
                         config.lcd.name() + " module shows only its first line");
    if (findings.failed())
        if (const auto wiring = matchingWiring(run, config, expected))
            findings.add(FindingKind::Failure, Rule::Wiring,
                         "the wiring doesn't match the program: its accesses make sense with "
                         "--wiring " +
                             wiringSpec(*wiring).toStdString());
    for (const Rule rule : config.accepted)
        if (Finding *finding = findings.find(rule); finding && acceptable(rule))
            finding->kind = FindingKind::Accepted;
    findings.causesFirst();
    return findings;
}

VerifyReport verifyReport(const BoardRun &run, const BoardConfig &config,
                          const GlyphFileContent *set, bool loopRequired,
                          const QStringList &assemblerWarnings) {
    VerifyReport report;
    QStringList &lines = report.lines;
    const BusTiming *timing = busTimingFor(config.supplyVolts);
    // An ELF may name its chip and clock.
    lines << QStringLiteral("Board: %1 at %2 MHz%6, %3 LCD at %4 V on %5")
                 .arg(QString::fromStdString(run.mcu.empty() ? config.mcu : run.mcu))
                 .arg((run.clockHz ? run.clockHz : config.clockHz) / 1e6)
                 .arg(QString::fromStdString(config.lcd.name()))
                 .arg(timing ? QLatin1String(timing->supply) : QLatin1String("?"))
                 .arg(config.wiring.backpack ? backpackDescription(*config.wiring.backpack)
                                             : wiringSpec(config.wiring))
                 .arg(run.clockAssumed
                          ? QStringLiteral(" (assumed: the program names no clock; give --clock)")
                          : QString());
    lines << QStringLiteral("Times count from reset; the chip starts its program %1 ms after "
                            "the LCD and it power up (--startup)")
                 .arg(config.startupMs);
    if (!run.loaded || !timing) {
        lines << QStringLiteral("FAILED: the program could not be loaded: ") +
                     QString::fromStdString(run.loadError);
        return report;
    }
    for (const QString &warning : assemblerWarnings)
        lines << QStringLiteral("avra: ") + warning;
    const Findings findings = judgeRun(run, config, set ? &set->glyphs : nullptr, loopRequired);
    for (const Finding &finding : findings.all())
        if (leads(finding)) {
            lines << QStringLiteral("Cause: ") + headline(finding);
            listInstances(lines, finding, QStringLiteral("    "));
        }

    if (set) {
        const auto image = cgramImage(set->glyphs);
        for (int g = 0; g < kGlyphCount; ++g) {
            QStringList differing;
            for (int r = 0; r < lcd::kGlyphRows; ++r)
                if (!holds(run.lcd, lcd::cgramAddress(g, r), image[lcd::cgramAddress(g, r)]))
                    differing << QString::number(r);
            const QString glyph =
                QStringLiteral("Glyph %1 \"%2\": ").arg(g).arg(terminalText(set->names[g]));
            if (differing.isEmpty()) {
                lines << glyph + QStringLiteral("CGRAM holds all 8 rows");
                continue;
            }
            if (!(run.lcd.cgramWritten >> lcd::cgramAddress(g, 0) & 0xFF)) {
                lines << glyph + QStringLiteral("CGRAM never written, so all 8 rows differ");
                continue;
            }
            lines << glyph +
                         QStringLiteral("rows %1 differ (set | CGRAM)").arg(differing.join(u' '));
            for (const QString &row : differing) {
                const int a = lcd::cgramAddress(g, row.toInt());
                lines << QStringLiteral("    row %1  %2 | %3")
                             .arg(row, dots(image[a]),
                                  written(run.lcd, a) ? dots(run.lcd.cgram[a])
                                                      : QLatin1String(kNeverWritten));
            }
        }
    } else {
        lines << QStringLiteral("CGRAM as the program left it (glyphs 0 to 7, - never written):");
        for (int r = 0; r < lcd::kGlyphRows; ++r) {
            QStringList row;
            for (int g = 0; g < kGlyphCount; ++g)
                row << cgramRow(run.lcd, lcd::cgramAddress(g, r));
            lines << QStringLiteral("    ") + row.join(u' ');
        }
    }

    const Glass glass = glassOf(run.lcd, config.lcd, run.backlightOn);
    for (int line = 0; line < config.lcd.lines; ++line)
        lines << QStringLiteral("Line %1: \"%2\"").arg(line + 1).arg(displayLine(glass, line));

    int broken = 0;
    QStringList accepted;
    for (const Finding &finding : findings.all()) {
        broken += finding.kind == FindingKind::Violation && !onI2c(finding.rule);
        if (finding.kind == FindingKind::Accepted)
            accepted << QStringLiteral("%1 (%2 times)")
                            .arg(QLatin1String(ruleKey(finding.rule)))
                            .arg(finding.count);
    }
    QString bus = busLine(run, *timing, broken);
    // What holds of the bus holds but for the accepted rules.
    if (!accepted.isEmpty() && broken == 0 && run.writes + run.reads > 0)
        bus += QStringLiteral(", but for ") + accepted.join(QStringLiteral(", ")) +
               QStringLiteral(", accepted");
    lines << bus;
    listViolations(lines, findings, false);
    if (config.wiring.backpack) {
        lines << QStringLiteral("I2C: ") + QString::fromStdString(run.i2cTraffic);
        listViolations(lines, findings, true);
    }
    for (const Finding &finding : findings.all()) {
        if (finding.kind == FindingKind::Violation || shownInItsSection(finding))
            continue;
        const QString kind = finding.kind == FindingKind::Failure    ? QStringLiteral("Fault: ")
                             : finding.kind == FindingKind::Warning  ? QStringLiteral("Warning: ")
                             : finding.kind == FindingKind::Accepted ? QStringLiteral("Accepted: ")
                                                                     : QStringLiteral("Note: ");
        lines << kind + headline(finding);
        listInstances(lines, finding, QStringLiteral("    "));
    }

    const QString after =
        QStringLiteral("%1 cycles (%2)").arg(run.cycles).arg(milliseconds(run.cycles, run.clockHz));
    switch (run.end) {
    case RunEnd::Loop:
        lines << QStringLiteral("Loop: reached after ") + after;
        break;
    case RunEnd::Asleep:
        lines << QStringLiteral("End: asleep with no interrupt to wake it after ") + after;
        break;
    case RunEnd::TimeUp:
        lines << (loopRequired ? QStringLiteral("Loop: not reached within ")
                               : QStringLiteral("End: still running after ")) +
                     after;
        break;
    case RunEnd::Fault:
        lines << QStringLiteral("End: stopped after ") + after;
        break;
    }

    report.ok = !findings.failed();
    QStringList failed;
    bool timingBroken = false;
    bool i2cBroken = false;
    for (const Finding &finding : findings.all()) {
        bool &said = onI2c(finding.rule) ? i2cBroken : timingBroken;
        if (finding.kind == FindingKind::Violation && !said)
            failed << (onI2c(finding.rule) ? QStringLiteral("the I2C bus broke the PCF8574's rules")
                                           : QStringLiteral("the bus timing was broken"));
        said = said || finding.kind == FindingKind::Violation;
        // A fault's question belongs to it; other titles end in their hint.
        if (finding.kind == FindingKind::Failure)
            failed << QString::fromStdString(
                finding.rule == Rule::Fault ? finding.title
                                            : finding.title.substr(0, finding.title.find(':')));
    }
    const QString acceptedText =
        accepted.isEmpty()
            ? QString()
            : QStringLiteral("%1 accepted: ")
                      .arg(accepted.size() == 1 ? QStringLiteral("one rule")
                                                : QStringLiteral("%1 rules").arg(accepted.size())) +
                  accepted.join(QStringLiteral(", "));
    if (report.ok)
        lines << (accepted.isEmpty() ? QStringLiteral("OK")
                                     : QStringLiteral("OK, with ") + acceptedText);
    else
        lines << QStringLiteral("FAILED: ") + failed.join(QStringLiteral("; ")) +
                     (accepted.isEmpty() ? QString() : QStringLiteral(" (") + acceptedText + u')');
    return report;
}

} // namespace glimmerset
