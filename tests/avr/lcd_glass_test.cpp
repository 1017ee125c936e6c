#include "simulation/character_rom.h"
#include "simulation/lcd_glass.h"
#include "simulation/verify_report.h"

#include <gtest/gtest.h>

namespace glimmerset::avrtest {
namespace {

using lcd::lineBit;

// An 8-bit bus driven by hand, one access every 2 ms from 20 ms on: a
// script of instructions ("i0C") and text ('Hi').
LcdMemory drive(const std::string &script, std::uint64_t *writes = nullptr) {
    LcdBusMonitor monitor(16e6, kBusTimings[0]);
    std::uint64_t cycle = 16 * 20000;
    const unsigned driven = lcd::kDataLines | lineBit(lcd::RS) | lineBit(lcd::RW) | lineBit(lcd::E);
    const auto send = [&](std::uint8_t byte, bool data) {
        const unsigned lines = byte | (data ? lineBit(lcd::RS) : 0);
        monitor.busChanged(driven, lines, cycle);
        monitor.busChanged(driven, lines | lineBit(lcd::E), cycle + 16);
        monitor.busChanged(driven, lines, cycle + 32);
        cycle += 16 * 2000;
    };
    for (std::size_t i = 0; i < script.size(); ++i) {
        if (script[i] == 'i') {
            send(static_cast<std::uint8_t>(std::stoi(script.substr(i + 1, 2), nullptr, 16)), false);
            i += 2;
        } else if (script[i] == '\'') {
            const std::size_t end = script.find('\'', i + 1);
            for (std::size_t c = i + 1; c < end; ++c)
                send(static_cast<std::uint8_t>(script[c]), true);
            i = end;
        }
    }
    if (writes)
        *writes = monitor.writes();
    return monitor.memory();
}

// A few codes of the A00 ROM against the datasheet's table, and their
// text in the report's notation.
TEST(CharacterRom, MatchesTheDatasheet) {
    struct Case {
        std::uint8_t code;
        std::array<std::uint8_t, 8> rows;
        const char16_t *text;
    };
    const Case cases[] = {
        {'A', {0x0E, 0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0}, u"A"},
        {0x7E, {0, 0x04, 0x02, 0x1F, 0x02, 0x04, 0, 0}, u"\u2192"},       // right arrow
        {0xDF, {0x1C, 0x14, 0x1C, 0, 0, 0, 0, 0}, u"\u00B0"},             // degree ring
        {0xFF, {0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0}, u"\u2588"}, // full block
        {0x5C, {0x11, 0x0A, 0x1F, 0x04, 0x1F, 0x04, 0x04, 0}, u"\u00A5"}, // yen, not backslash
        {0x05, {}, u"{5}"},
        {0x10, {}, u"{x10}"},
        {'{', {0x02, 0x04, 0x04, 0x08, 0x04, 0x04, 0x02, 0}, u"{x7B}"},
    };
    for (const Case &c : cases) {
        for (int row = 0; row < 8; ++row)
            EXPECT_EQ(rom::a00Row(c.code, row), c.rows[row]) << int(c.code) << " row " << row;
        EXPECT_EQ(rom::cellText(c.code), QString::fromUtf16(c.text)) << int(c.code);
    }
    // Every code's text reads back as the code; malformed text is refused.
    QString why;
    for (int code = 0; code < 256; ++code) {
        const auto cells = rom::parseCells(rom::cellText(std::uint8_t(code)), &why);
        EXPECT_EQ(cells, std::vector<std::uint8_t>{std::uint8_t(code)}) << code;
    }
    for (const char16_t *bad : {u"{16}", u"{x1}", u"{", u"{x1G}", u"\\", u"~", u"\u00E9"})
        EXPECT_FALSE(rom::parseCells(QString::fromUtf16(bad), &why))
            << QString::fromUtf16(bad).toStdString();
}

// The window of DDRAM the glass shows after shifts, in each line mode and
// geometry, with the cursor where the address counter is.
TEST(LcdGlass, ShowsTheShiftedWindowAndTheCursor) {
    struct Case {
        const char *name;
        const char *lcd;
        std::string script;
        std::vector<std::string> lines;
        int cursorCell; // -1: none
    };
    const std::string alphabet = "i80 'ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd' ";
    const Case cases[] = {
        {"shifted left",
         "16x2",
         "i38 i0C " + alphabet + "i18 i18 i18",
         {"DEFGHIJKLMNOPQRS", "                "},
         -1},
        {"shifted right round the line",
         "16x2",
         "i38 i0C " + alphabet + "i1C",
         {"dABCDEFGHIJKLMNO", "                "},
         -1},
        {"home undoes the shift",
         "16x2",
         "i38 i0C " + alphabet + "i18 i02",
         {"ABCDEFGHIJKLMNOP", "                "},
         -1},
        {"entry mode shift",
         "16x2",
         "i38 i0C i07 i8F 'Hi'",
         {"             Hi ", "                "},
         -1},
        {"entry mode shift decrementing", "8x1", "i38 i0C i05 i83 'ab'", {"    ba  "}, -1},
        {"both lines shift",
         "20x4",
         "i38 i0C " + alphabet + "iC0 'line2' i18",
         {"BCDEFGHIJKLMNOPQRSTU", "ine2                ", "VWXYZ0123456789abcdA",
          "                   l"},
         -1},
        {"one-line mode leaves line 2 dark",
         "16x2",
         "i30 i0C i80 'one' iC0 'two'",
         {"one             ", "                "},
         -1},
        {"one line of 80 characters",
         "20x4",
         "i30 i0C i94 'x' i18",
         {"                   x", "                    ", "                    ",
          "                    "},
         -1},
        {"cursor after the text",
         "16x2",
         "i38 i0E iC0 'ok'",
         {"                ", "ok              "},
         18},
        {"cursor moved back",
         "16x2",
         "i38 i0F i80 'ab' i10",
         {"ab              ", "                "},
         1},
        {"cursor on CGRAM shows nowhere",
         "16x2",
         "i38 i0E i40",
         {"                ", "                "},
         -1},
        {"display off",
         "16x2",
         "i38 i0C i80 'gone' i08",
         {"                ", "                "},
         -1},
    };
    for (const Case &c : cases) {
        const Glass glass = glassOf(drive(c.script), *lcd::parseGeometry(c.lcd));
        std::vector<std::string> lines;
        for (int line = 0; line < glass.lines; ++line)
            lines.push_back(displayLine(glass, line).toStdString());
        EXPECT_EQ(lines, c.lines) << c.name;
        EXPECT_EQ(glass.cursorCell, c.cursorCell) << c.name;
    }
}

// The cursor as the module draws it: the underline in row 8, the blinking
// block in its on phase over the character.
TEST(LcdGlass, DrawsTheCursorOverTheCharacter) {
    const lcd::Geometry geometry = lcd::kDefaultGeometry;
    const Glass underline = glassOf(drive("i38 i0E i80 'A' i10"), geometry);
    const Glass block = glassOf(drive("i38 i0D i80 'A' i10"), geometry);
    for (int row = 0; row < lcd::kGlyphRows; ++row) {
        EXPECT_EQ(underline.dots(0, 0, row), row == 7 ? 0x1F : rom::a00Row('A', row)) << row;
        EXPECT_EQ(block.dots(0, 0, row), 0x1F) << row;
    }
}

// The report's lines are what the glass shows; a display never switched
// on fails with its control byte, one switched off at the end is a note.
TEST(LcdGlass, JudgesTheDisplayControl) {
    struct Case {
        const char *name;
        const char *script;
        const char *line1;
        const char *verdict;
        const char *note;
    };
    const Case cases[] = {
        {"left off", "i38 i08 i06 i80 'Hi'", "                ",
         "FAILED: the display was never switched on (display control 0x08)",
         "Fault: the display was never switched on (display control 0x08): the module shows "
         "nothing"},
        {"never controlled", "i38 i80 'Hi'", "                ",
         "FAILED: the display was never switched on (no display control instruction)", ""},
        {"blinking", "i38 i0C i80 'Hi' i08", "                ", "OK",
         "Note: the display was off when the run ended (display control 0x08) after it had been "
         "on"},
        {"marquee", "i38 i0C i80 'Glimmerset scrolls by' i18 i18 i18 i18", "merset scrolls b", "OK",
         ""},
    };
    for (const Case &c : cases) {
        BoardRun run;
        run.loaded = true;
        run.end = RunEnd::Loop;
        run.clockHz = 16'000'000;
        run.lcd = drive(c.script, &run.writes);
        run.dataWrites = 1;
        const QString report = verifyReport(run, BoardConfig{}, nullptr, false).lines.join(u'\n');
        EXPECT_TRUE(
            report.contains(QStringLiteral("\nLine 1: \"%1\"\n").arg(QLatin1String(c.line1))))
            << c.name << "\n"
            << report.toStdString();
        EXPECT_TRUE(report.endsWith(QLatin1String(c.verdict))) << c.name << "\n"
                                                               << report.toStdString();
        EXPECT_TRUE(report.contains(QLatin1String(c.note))) << c.name << "\n"
                                                            << report.toStdString();
    }
}

} // namespace
} // namespace glimmerset::avrtest
