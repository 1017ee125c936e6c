#include "shipped_program.h"

#include "simulation/avr_assembler.h"
#include "simulation/board_process.h"

#include "simavr_part.h"

#include "codegen/asm_file.h"
#include "codegen/character_code.h"
#include "codegen/template_text.h"
#include "storage/glyph_file.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

namespace glimmerset::avrtest {
namespace {

struct GlyphCase {
    const char *name;
    std::function<void(GlyphNames &, GlyphSet &)> fill;
};

void PrintTo(const GlyphCase &glyphCase, std::ostream *os) {
    *os << glyphCase.name;
}

void forEachPixel(GlyphSet &glyphs, const std::function<std::int16_t(int, int, int)> &value) {
    for (int g = 0; g < kGlyphCount; ++g)
        for (int r = 0; r < lcd::kGlyphRows; ++r)
            for (int c = 0; c < lcd::kGlyphColumns; ++c)
                glyphs.setPixel(r, c, g, value(r, c, g));
}

// Any value but 1 is dark, as after loading a hand-edited glyph file.
std::function<void(GlyphNames &, GlyphSet &)> seeded(unsigned seed) {
    return [seed](GlyphNames &, GlyphSet &glyphs) {
        std::mt19937 random(seed);
        const std::int16_t values[] = {0, 1, 1, 2, -1};
        forEachPixel(glyphs, [&](int, int, int) { return values[random() % 5]; });
    };
}

const GlyphCase kCases[] = {
    {"AllDark", [](GlyphNames &, GlyphSet &) {}},
    {"AllLit", [](GlyphNames &, GlyphSet &g) { forEachPixel(g, [](int, int, int) { return 1; }); }},
    {"Arrow",
     [](GlyphNames &names, GlyphSet &g) {
         names[0] = QStringLiteral("Arrow");
         const char *rows[] = {"00100", "01000", "11111", "01000", "00100"};
         for (int r = 0; r < 5; ++r)
             for (int c = 0; c < lcd::kGlyphColumns; ++c)
                 g.setPixel(r, c, 0, rows[r][c] == '1');
     }},
    {"Checkerboard",
     [](GlyphNames &, GlyphSet &g) {
         forEachPixel(g, [](int r, int c, int k) { return (r + c + k) % 2; });
     }},
    {"Seed1", seeded(1)},
    {"Seed2", seeded(2)},
    {"Seed3OddNames",
     [](GlyphNames &names, GlyphSet &g) {
         seeded(3)(names, g);
         names[1] = QString();
         names[2] = QStringLiteral("; RCALL lcd_fc, \"quoted\"");
         names[7] = QStringLiteral("  spaced  ");
     }},
    // As long as avra takes a comment line, and longer, cut to fit.
    {"LongestNames",
     [](GlyphNames &names, GlyphSet &g) {
         seeded(4)(names, g);
         names[0] = QString(4094, u'x');
         names[5] = QString(6000, u'\u00B0');
     }},
};

// The program needs about a tenth of a second.
constexpr double kSeconds = 0.25;

const QString kLine1 = QStringLiteral("{0}{1}{2}{3}{4}{5}{6}{7}        ");

class LcdProgram : public ::testing::Test {
protected:
    // Assembles the program and runs it on the board; fails the test when
    // avra rejects it.
    BoardRun build(const GlyphNames &names, const GlyphSet &glyphs,
                   const QString *restText = nullptr) {
        return buildText(programText(names, glyphs, restText));
    }

    BoardRun buildText(const QString &source, const BoardConfig &config = {}) {
        hexPath_ = hexFor(source);
        return hexPath_.empty() ? BoardRun{} : runOnBoard({hexPath_}, config, kSeconds);
    }

    std::string hexFor(const QString &source) {
        const Assembly assembly = assemble(asmFileBytes(source), dir_.path());
        EXPECT_TRUE(assembly.ok) << assembly.log.toStdString();
        EXPECT_FALSE(assembly.log.contains(QStringLiteral("Warning")))
            << assembly.log.toStdString();
        return assembly.ok ? assembly.hexPath.toStdString() : std::string();
    }

    // What the test program promises beyond the verdict: characters 0 to 7
    // at the start of line 1, line 2 blank.
    static void expectTestProgramShown(const BoardRun &run) {
        const BoardConfig config;
        EXPECT_EQ(displayLine(run.lcd, config.lcd, 0).toStdString(), kLine1.toStdString());
        EXPECT_EQ(displayLine(run.lcd, config.lcd, 1).toStdString(), std::string(16, ' '));
    }

    static QString templateText(const char *name) {
        QString text;
        EXPECT_FALSE(appendTemplateText(text, shippedTemplate(name)));
        return text;
    }

    QTemporaryDir dir_;
    std::string hexPath_;
};

class LcdProgramGlyphs : public LcdProgram, public ::testing::WithParamInterface<GlyphCase> {};

TEST_P(LcdProgramGlyphs, LoadsGlyphsAndShowsThemOnLine1) {
    GlyphNames names = defaultGlyphNames();
    GlyphSet glyphs;
    GetParam().fill(names, glyphs);
    const BoardRun run = build(names, glyphs);
    const Findings findings = judgeRun(run, BoardConfig{}, &glyphs);
    EXPECT_EQ(ruleList(findings), "") << findingsText(findings);
    expectTestProgramShown(run);
    // The set-up, 64 rows of two accesses each, one address and 8 characters.
    EXPECT_EQ(run.writes, 4u + 5u + 128u + 1u + 8u);
}

INSTANTIATE_TEST_SUITE_P(Sets, LcdProgramGlyphs, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.name); });

// A user's own program may give mp0 any upper register, those the driver
// works with included.
class LcdProgramMp0 : public LcdProgram, public ::testing::WithParamInterface<const char *> {};

TEST_P(LcdProgramMp0, DriverWorksWhateverRegisterMp0Names) {
    QString main = templateText(kMainTemplateName);
    ASSERT_TRUE(main.contains(QStringLiteral(".def mp0 = r16\r\n")));
    main.replace(QStringLiteral(".def mp0 = r16"),
                 QStringLiteral(".def mp0 = ") + QString::fromLatin1(GetParam()));
    GlyphNames names = defaultGlyphNames();
    GlyphSet glyphs;
    kCases[4].fill(names, glyphs);
    const BoardRun run =
        buildText(main + character_code(names, glyphs) + templateText(kRestTemplateName));
    const Findings findings = judgeRun(run, BoardConfig{}, &glyphs);
    EXPECT_EQ(ruleList(findings), "") << findingsText(findings);
    expectTestProgramShown(run);
}

INSTANTIATE_TEST_SUITE_P(Registers, LcdProgramMp0,
                         ::testing::Values("r17", "r18", "r19", "r20", "r25"),
                         [](const auto &info) { return std::string(info.param); });

// The checks must be able to fail, or passing proves nothing; and the
// controller model must read the bus as an independent one does: simavr's
// own HD44780 part, fed the same pins, ends with the same CGRAM and line 1.
TEST_F(LcdProgram, WrongExpectationFailsAndSimavrsPartAgrees) {
    GlyphNames names = defaultGlyphNames();
    GlyphSet glyphs;
    kCases[2].fill(names, glyphs);
    const BoardRun run = build(names, glyphs);
    ASSERT_FALSE(judgeRun(run, BoardConfig{}, &glyphs).failed());

    GlyphSet wrong = glyphs;
    wrong.setPixel(7, 4, 7, 1);
    const Findings findings = judgeRun(run, BoardConfig{}, &wrong);
    ASSERT_EQ(ruleList(findings), "cgram") << findingsText(findings);
    EXPECT_EQ(findings.find(Rule::Cgram)->instances,
              std::vector<std::string>{"glyph 7 row 7 differs"});

    const PartMemory part = runWithSimavrPart(hexPath_, run.cycles);
    EXPECT_EQ(part.cgram, run.lcd.cgram);
    for (int column = 0; column < 40; ++column)
        EXPECT_EQ(part.line1[column], run.lcd.ddram[column]) << "column " << column;
}

TEST_F(LcdProgram, ProgramThatNeverLoopsFails) {
    QString main = templateText(kMainTemplateName);
    ASSERT_TRUE(main.contains(QStringLiteral("RJMP main_loop\r\n")));
    // Jumping back to reset runs forever without settling in the loop.
    main.replace(QStringLiteral("RJMP main_loop\r\n"), QStringLiteral("RJMP reset\r\n"));
    GlyphSet glyphs;
    const BoardRun run = buildText(main + character_code(defaultGlyphNames(), glyphs) +
                                   templateText(kRestTemplateName));
    EXPECT_EQ(run.end, RunEnd::TimeUp);
    const Findings findings = judgeRun(run, BoardConfig{}, &glyphs);
    EXPECT_EQ(ruleList(findings), "loop") << findingsText(findings);
}

// The child process sends back every field of a run as the run in this
// process has it: each case fills other fields than the shipped program.
TEST_F(LcdProgram, ChildSendsBackTheWholeRun) {
    struct Variant {
        const char *name;
        QString from, to; // a replacement in the whole program, which has no indents
    };
    const Variant variants[] = {
        {"shipped", {}, {}},
        {"without waits", QStringLiteral("RCALL lcd_wait_access\r\n"), {}},
        {"clone warnings", QStringLiteral("RCALL lcd_wait_access"),
         QStringLiteral("RCALL lcd_wait_50us")},
        {"stack past RAM", QStringLiteral("RCALL lcd_setup\r\n"),
         QStringLiteral("LDI mp0,0xFF\r\nOUT SPH,mp0\r\nRCALL lcd_setup\r\n")},
    };
    GlyphNames names = defaultGlyphNames();
    GlyphSet glyphs;
    kCases[3].fill(names, glyphs);
    BoardConfig config; // with the movie's frames and a snapshot to carry too
    config.movie = true;
    config.snapshotSeconds = 0.05;
    for (const Variant &variant : variants) {
        QString text = programText(names, glyphs);
        ASSERT_TRUE(variant.from.isEmpty() || text.contains(variant.from)) << variant.name;
        text.replace(variant.from, variant.to);
        const ProgramFile hex{hexFor(text)};
        EXPECT_EQ(runOnBoard(hex, config, kSeconds), simulateBoard(hex, config, kSeconds))
            << variant.name;
    }
    // On the backpack, which fills the I2C fields, with a scan of 0x3F first.
    CodeRequest request;
    request.testProgram = request.characterCode = request.restOfCode = true;
    request.names = names;
    request.glyphs = glyphs;
    request.templateDir = QStringLiteral(GLIMMERSET_TEMPLATE_DIR "/pcf8574");
    QString code;
    ASSERT_FALSE(appendCode(code, request));
    ASSERT_TRUE(code.contains(QStringLiteral("0x27")));
    BoardConfig backpack;
    QString why;
    backpack.wiring = *parseWiring(QStringLiteral("i2c:0x3F"), &why);
    const ProgramFile onI2c{hexFor(code)};
    const BoardRun viaChild = runOnBoard(onI2c, backpack, kSeconds);
    EXPECT_FALSE(viaChild.i2cTraffic.empty());
    EXPECT_TRUE(viaChild.findings.has(Rule::I2cProbed));
    EXPECT_EQ(viaChild, simulateBoard(onI2c, backpack, kSeconds));

    const ProgramFile missing{dir_.filePath(QStringLiteral("missing.hex")).toStdString()};
    const BoardRun unreadable = simulateBoard(missing, BoardConfig{}, kSeconds);
    EXPECT_FALSE(unreadable.loadError.empty());
    EXPECT_EQ(runOnBoard(missing, BoardConfig{}, kSeconds), unreadable);
}

// A bus scan before the backpack's set-up, as sketches do: the addresses
// nobody answers are noted, and no fault.
TEST_F(LcdProgram, BusScanBeforeTheBackpackPasses) {
    CodeRequest request;
    request.testProgram = request.characterCode = request.restOfCode = true;
    request.names = defaultGlyphNames();
    kCases[3].fill(request.names, request.glyphs);
    request.templateDir = QStringLiteral(GLIMMERSET_TEMPLATE_DIR "/pcf8574");
    QString code;
    ASSERT_FALSE(appendCode(code, request));
    const QString setup = QStringLiteral("RCALL lcd_setup\r\n"); // the code has no indents
    ASSERT_TRUE(code.contains(setup));
    code.replace(setup, QStringLiteral("LDI r17,72\r\nRCALL lcd_twi_setup\r\n"
                                       "LDI r18,2\r\nscan:\r\n"
                                       "LDI r17,(1<<TWINT)|(1<<TWSTA)|(1<<TWEN)\r\n"
                                       "RCALL lcd_twi_go\r\nMOV r17,r18\r\n"
                                       "RCALL lcd_twi_send\r\nRCALL lcd_twi_end\r\n"
                                       "SUBI r18,-2\r\nCPI r18,0xF0\r\n"
                                       "BRNE scan\r\n") +
                            setup);
    BoardConfig config;
    QString why;
    config.wiring = *parseWiring(QStringLiteral("i2c:0x27"), &why);
    const BoardRun run = buildText(code, config);
    const Findings findings = judgeRun(run, config, &request.glyphs);
    EXPECT_EQ(ruleList(findings), "i2c-probed") << findingsText(findings);
    EXPECT_NE(findingsText(findings).find("probed 0x01, 0x02, 0x03, 0x04, 0x05 and 113 more"),
              std::string::npos)
        << findingsText(findings);
}

// An all-dark set matches never-written CGRAM byte for byte: with the LCD
// wired where the program doesn't drive it, silence must still fail.
TEST_F(LcdProgram, SilenceFails) {
    GlyphSet dark;
    BoardConfig config;
    QString why;
    config.wiring = *parseWiring(QStringLiteral("D:0,1,2,3,4,5,low"), &why);
    const BoardRun run = buildText(programText(defaultGlyphNames(), dark), config);
    const Findings findings = judgeRun(run, config, &dark);
    EXPECT_EQ(ruleList(findings), "cgram,silence") << findingsText(findings);
    EXPECT_EQ(findings.find(Rule::Cgram)->count, 64u);
    EXPECT_EQ(findings.find(Rule::Cgram)->instances[0], "glyph 0 row 0 never written");
    // Without a set to hold, silence fails all the same.
    EXPECT_EQ(ruleList(judgeRun(run, config, nullptr, false)), "silence");
}

// Drivers in the styles found in the wild, each loading docs/example.ch
// through LCD_char and showing characters 0 to 7 on line 1.
struct WildProgram {
    const char *file;
    const char *wiring;
    double supply;
    const char *rules; // what the findings name, sorted
};

void PrintTo(const WildProgram &program, std::ostream *os) {
    *os << program.file << " at " << program.supply << " V";
}

const WildProgram kWildPrograms[] = {
    {"data_after_e.asm", "rs=D2,e=D3,d4=D4,d5=D5,d6=D6,d7=D7", 5, ""},
    {"short_e_pulse.asm", "B:0,1,2,3,4,5,low", 5, "PW_EH"},
    // At 3.3 V its two nibbles' strobes come 15 cycles apart, under t_cycE;
    // its data, out four cycles before E falls, just meets t_DSW.
    {"short_e_pulse.asm", "B:0,1,2,3,4,5,low", 3.3, "PW_EH,t_cycE"},
    // It polls the busy flag from reset, as if the power-on wait were over.
    {"busy_flag.asm", "D:4,5,6,7,2,3,1", 5, "4-bit,startup"},
    {"busy_flag.asm", "D:4,5,6,7,2,3,1", 3.3, "4-bit,startup"},
    {"eight_bit_two_ports.asm", "rs=B0,e=B1,d0=C0,d1=C1,d2=C2,d3=C3,d4=D4,d5=D5,d6=D6,d7=D7", 5,
     ""},
    {"arduino_pins.asm", "arduino:12,11,5,4,3,2", 5, "clone"},
};

class LcdProgramInTheWild : public LcdProgram, public ::testing::WithParamInterface<WildProgram> {};

TEST_P(LcdProgramInTheWild, IsJudgedByTheDatasheet) {
    const WildProgram &program = GetParam();
    QFile file(QStringLiteral(GLIMMERSET_TEST_PROGRAM_DIR "/") + QLatin1String(program.file));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << program.file;
    const GlyphFileContent set =
        glyphs_from_file(QStringLiteral(GLIMMERSET_SOURCE_DIR "/docs/example.ch"));
    BoardConfig config;
    QString why;
    const auto wiring = parseWiring(QLatin1String(program.wiring), &why);
    ASSERT_TRUE(wiring) << why.toStdString();
    config.wiring = *wiring;
    config.supplyVolts = program.supply;
    const BoardRun run = buildText(
        QString::fromLatin1(file.readAll()) + character_code(set.names, set.glyphs), config);
    const Findings findings = judgeRun(run, config, &set.glyphs);
    EXPECT_EQ(ruleList(findings), program.rules) << findingsText(findings);
    EXPECT_EQ(displayLine(run.lcd, config.lcd, 0).toStdString(), kLine1.toStdString());
}

// The program's D4 and D5 swapped in --wiring: the cause names the wiring
// that matches.
TEST_F(LcdProgram, SwappedDataLinesNameTheWiringThatMatches) {
    QFile file(QStringLiteral(GLIMMERSET_TEST_PROGRAM_DIR "/data_after_e.asm"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const GlyphFileContent set =
        glyphs_from_file(QStringLiteral(GLIMMERSET_SOURCE_DIR "/docs/example.ch"));
    BoardConfig config;
    QString why;
    config.wiring = *parseWiring(QStringLiteral("rs=D2,e=D3,d4=D5,d5=D4,d6=D6,d7=D7"), &why);
    const BoardRun run = buildText(
        QString::fromLatin1(file.readAll()) + character_code(set.names, set.glyphs), config);
    const Findings findings = judgeRun(run, config, &set.glyphs);
    ASSERT_FALSE(findings.all().empty());
    EXPECT_EQ(findings.all().front().headline(),
              "the wiring doesn't match the program: its accesses make sense with --wiring "
              "D:4,5,6,7,2,3,low")
        << findingsText(findings);
}

// A rule broken knowingly: the verdict passes, naming it and its count.
TEST_F(LcdProgram, AcceptedRuleIsNamedNotFailed) {
    QFile file(QStringLiteral(GLIMMERSET_TEST_PROGRAM_DIR "/short_e_pulse.asm"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const GlyphFileContent set =
        glyphs_from_file(QStringLiteral(GLIMMERSET_SOURCE_DIR "/docs/example.ch"));
    BoardConfig config;
    const BoardRun run = buildText(
        QString::fromLatin1(file.readAll()) + character_code(set.names, set.glyphs), config);
    EXPECT_FALSE(verifyReport(run, config, &set, false).ok);
    config.accepted = {Rule::PwEh};
    const VerifyReport report = verifyReport(run, config, &set, false);
    EXPECT_TRUE(report.ok) << report.lines.join(u'\n').toStdString();
    EXPECT_TRUE(
        report.lines.last().startsWith(QStringLiteral("OK, with one rule accepted: PW_EH (")))
        << report.lines.join(u'\n').toStdString();
    EXPECT_TRUE(
        report.lines.join(u'\n').contains(QStringLiteral("\nAccepted: E pulses under PW_EH")));
}

INSTANTIATE_TEST_SUITE_P(Drivers, LcdProgramInTheWild, ::testing::ValuesIn(kWildPrograms),
                         [](const auto &info) {
                             QString name = QString::fromLatin1(info.param.file);
                             name.chop(4);
                             return name.toStdString() + "_" +
                                    std::to_string(static_cast<int>(info.param.supply * 10)) + "dV";
                         });

} // namespace
} // namespace glimmerset::avrtest
