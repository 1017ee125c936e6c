#include "shipped_program.h"

#include "simulation/avr_assembler.h"

#include "codegen/character_code.h"
#include "codegen/template_text.h"

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
        for (int r = 0; r < kRowCount; ++r)
            for (int c = 0; c < kColumnCount; ++c)
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
             for (int c = 0; c < kColumnCount; ++c)
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
};

std::string joined(const std::vector<std::string> &lines) {
    std::string text;
    for (const std::string &line : lines)
        text += "\n  " + line;
    return text;
}

bool anyContains(const std::vector<std::string> &lines, const std::string &part) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string &line) {
        return line.find(part) != std::string::npos;
    });
}

// A quarter of a second at 16 MHz: the program needs about a tenth.
constexpr std::uint64_t kCycleBudget = 4'000'000;

class LcdProgram : public ::testing::Test {
protected:
    // Assembles the program and runs it on the board; fails the test when
    // avra rejects it.
    BoardRun build(const GlyphNames &names, const GlyphSet &glyphs,
                   const QString *restText = nullptr) {
        return buildText(programText(names, glyphs, restText));
    }

    BoardRun buildText(const QString &source) {
        const Assembly assembly = assemble(source, dir_.path());
        EXPECT_TRUE(assembly.ok) << assembly.log.toStdString();
        EXPECT_FALSE(assembly.log.contains(QStringLiteral("Warning")))
            << assembly.log.toStdString();
        if (!assembly.ok)
            return {};
        return runOnBoard(assembly.hexPath.toStdString(), BoardConfig{}, kCycleBudget);
    }

    static QString templateText(const char *name) {
        QString text;
        EXPECT_FALSE(appendTemplateText(text, shippedTemplate(name)));
        return text;
    }

    QTemporaryDir dir_;
};

class LcdProgramGlyphs : public LcdProgram, public ::testing::WithParamInterface<GlyphCase> {};

TEST_P(LcdProgramGlyphs, LoadsGlyphsAndShowsThemOnLine1) {
    GlyphNames names = defaultGlyphNames();
    GlyphSet glyphs;
    GetParam().fill(names, glyphs);
    const BoardRun run = build(names, glyphs);
    const auto problems = testProgramProblems(run, glyphs);
    EXPECT_TRUE(problems.empty()) << joined(problems);
    // The set-up, 64 rows of two accesses each, one address and 8 characters.
    EXPECT_EQ(run.accesses.size(), 4u + 5u + 128u + 1u + 8u);
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
    const auto problems = testProgramProblems(run, glyphs);
    EXPECT_TRUE(problems.empty()) << joined(problems);
}

INSTANTIATE_TEST_SUITE_P(Registers, LcdProgramMp0,
                         ::testing::Values("r17", "r18", "r19", "r20", "r25"),
                         [](const auto &info) { return std::string(info.param); });

// The checks must be able to fail, or passing proves nothing.
TEST_F(LcdProgram, WrongExpectationFails) {
    GlyphNames names = defaultGlyphNames();
    GlyphSet glyphs;
    kCases[2].fill(names, glyphs);
    const BoardRun run = build(names, glyphs);
    ASSERT_TRUE(testProgramProblems(run, glyphs).empty())
        << joined(testProgramProblems(run, glyphs));

    GlyphSet wrong = glyphs;
    wrong.setPixel(7, 4, 7, 1);
    const auto problems = testProgramProblems(run, wrong);
    ASSERT_EQ(problems.size(), 1u) << joined(problems);
    EXPECT_NE(problems[0].find("glyph 7 row 7"), std::string::npos) << problems[0];
}

TEST_F(LcdProgram, ShortEnablePulseFails) {
    // Only the NOPs that hold E high; the wait loops keep theirs.
    QString rest = templateText(kRestTemplateName);
    const qsizetype from = rest.indexOf(QStringLiteral("lcd_nibble:\r\n"));
    const qsizetype to = rest.indexOf(QStringLiteral("RET\r\n"), from);
    ASSERT_GE(from, 0);
    ASSERT_GT(to, from);
    QString nibble = rest.mid(from, to - from);
    ASSERT_GT(nibble.count(QStringLiteral("NOP\r\n")), 0);
    rest.replace(from, to - from, nibble.remove(QStringLiteral("NOP\r\n")));
    GlyphSet glyphs;
    const BoardRun run = build(defaultGlyphNames(), glyphs, &rest);
    const auto problems = testProgramProblems(run, glyphs);
    EXPECT_TRUE(anyContains(problems, "under 450 ns")) << joined(problems);
    EXPECT_FALSE(anyContains(problems, "busy")) << joined(problems);
}

TEST_F(LcdProgram, ProgramThatNeverLoopsFails) {
    QString main = templateText(kMainTemplateName);
    ASSERT_TRUE(main.contains(QStringLiteral("RJMP main_loop\r\n")));
    // Jumping back to reset runs forever without settling in the loop.
    main.replace(QStringLiteral("RJMP main_loop\r\n"), QStringLiteral("RJMP reset\r\n"));
    GlyphSet glyphs;
    const BoardRun run = buildText(main + character_code(defaultGlyphNames(), glyphs) +
                                   templateText(kRestTemplateName));
    EXPECT_FALSE(run.reachedLoop);
    EXPECT_TRUE(anyContains(testProgramProblems(run, glyphs), "loop not reached"))
        << joined(testProgramProblems(run, glyphs));
}

} // namespace
} // namespace glimmerset::avrtest
