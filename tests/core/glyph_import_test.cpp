#include "codegen/code_generation.h"
#include "codegen/glyph_import.h"
#include "storage/error.h"

#include <gtest/gtest.h>

#include <functional>

using namespace glimmerset;

namespace {

struct Notation {
    const char *name;
    const char *source;
    std::vector<std::vector<int>> rows; // each glyph's rows, in order
    std::vector<const char *> names;
    int warnings;
};

void PrintTo(const Notation &n, std::ostream *os) {
    *os << n.name;
}

class ImportNotation : public ::testing::TestWithParam<Notation> {};

TEST_P(ImportNotation, GivesTheGlyphsInOrder) {
    const Notation &n = GetParam();
    const ImportedGlyphs imported = importGlyphs(n.source, QStringLiteral("\"paste\""));
    ASSERT_EQ(imported.found, int(n.rows.size()));
    for (std::size_t g = 0; g < n.rows.size(); ++g) {
        EXPECT_EQ(imported.set.names[g], QString::fromUtf8(n.names[g])) << g;
        for (int r = 0; r < lcd::kGlyphRows; ++r) {
            int bits = 0;
            for (int c = 0; c < lcd::kGlyphColumns; ++c)
                bits = bits << 1 | imported.set.glyphs.pixel(r, c, int(g));
            EXPECT_EQ(bits, r < int(n.rows[g].size()) ? n.rows[g][r] : 0)
                << "glyph " << g << " row " << r;
        }
    }
    for (std::size_t g = n.rows.size(); g < kGlyphCount; ++g)
        EXPECT_EQ(imported.set.names[g], defaultGlyphName(int(g)));
    EXPECT_EQ(imported.warnings.size(), n.warnings) << imported.warnings.join(u'\n').toStdString();
}

const Notation kNotations[] = {
    {"ArduinoBinaryWithSevenRows",
     "byte smiley[8] = {\n  B00000,\n  B10001,\n  B00000,\n  B00000,\n  B10001,\n  B01110,\n  "
     "B00000\n};\n",
     {{0, 17, 0, 0, 17, 14, 0}},
     {"smiley"},
     1},
    {"HexProgmemAndDecimalInAFunction",
     "const uint8_t heart[] PROGMEM = {0x0,0xa,0x1F,0x1f,0xe,0x4,0x0,0x0};\n"
     "void setup() {\n  uint8_t bell[8] = {4, 14, 14, 14, 31, 0, 4, 0};\n"
     "  lcd.createChar(0, bell); lcd.print(\"{1, 2}\");\n}\n",
     {{0, 10, 31, 31, 14, 4, 0, 0}, {4, 14, 14, 14, 31, 0, 4, 0}},
     {"heart", "bell"},
     0},
    {"BinaryOctalAndOtherArraysLeftOut",
     "// pins\nint pins[] = {12, 11, 5};\nconst char *names[] = {\"a\", \"b\"};\n"
     "/* two */ static const unsigned char PROGMEM a[8] = {0b11111, 017, 1u, 0, 0, 0, 0, 0}, "
     "b[8] = {0B1,2,3,4,5,6,7,8};\n",
     {{31, 15, 1, 0, 0, 0, 0, 0}, {1, 2, 3, 4, 5, 6, 7, 8}},
     {"a", "b"},
     1},
    {"FlatAndTwoDimensionalArrays",
     "#define N 2\nconst byte flat[] = {1,1,1,1,1,1,1,1, 2,2,2,2,2,2,2,2};\n"
     "const byte grid[N][8] = {{3,3,3,3,3,3,3,3}, {4,4,4,4,4,4,4,4}};\n",
     {{1, 1, 1, 1, 1, 1, 1, 1},
      {2, 2, 2, 2, 2, 2, 2, 2},
      {3, 3, 3, 3, 3, 3, 3, 3},
      {4, 4, 4, 4, 4, 4, 4, 4}},
     {"flat[0]", "flat[1]", "grid[0]", "grid[1]"},
     0},
    {"MoreThanEightGlyphs",
     "byte g[] = {1,1,1,1,1,1,1,1, 2,2,2,2,2,2,2,2, 3,3,3,3,3,3,3,3, 4,4,4,4,4,4,4,4, "
     "5,5,5,5,5,5,5,5, 6,6,6,6,6,6,6,6, 7,7,7,7,7,7,7,7, 8,8,8,8,8,8,8,8, 9};\n",
     {{1, 1, 1, 1, 1, 1, 1, 1},
      {2, 2, 2, 2, 2, 2, 2, 2},
      {3, 3, 3, 3, 3, 3, 3, 3},
      {4, 4, 4, 4, 4, 4, 4, 4},
      {5, 5, 5, 5, 5, 5, 5, 5},
      {6, 6, 6, 6, 6, 6, 6, 6},
      {7, 7, 7, 7, 7, 7, 7, 7},
      {8, 8, 8, 8, 8, 8, 8, 8}},
     {"g[0]", "g[1]", "g[2]", "g[3]", "g[4]", "g[5]", "g[6]", "g[7]"},
     1},
    {"AssemblyTablesUnderLabels",
     "; custom characters\r\nsmiley:\r\n  .db 0x00, $11, 0b00000, 0, 17, 14, 0, 0 ; eyes\r\n"
     "two: .DB 1,2,3,4,5,6,7,8\r\n      .db 9,10,11,12,13,14,15,16\r\n",
     {{0, 17, 0, 0, 17, 14, 0, 0}, {1, 2, 3, 4, 5, 6, 7, 8}, {9, 10, 11, 12, 13, 14, 15, 16}},
     {"smiley", "two[0]", "two[1]"},
     0},
    {"ProgramThatSetsTheAddressOnce",
     "; load\r\n ldi r16,0x40\r\n rcall lcd_fc\r\n ldi r16,0b00011111\r\n rcall lcd_ch\r\n"
     " ldi r16,0x11\r\n call lcd_ch\r\n ldi r16,0x80\r\n rcall lcd_fc\r\n ldi r16,7\r\n"
     " rcall lcd_ch\r\n",
     {{31, 17}},
     {" load"},
     1},
    {"BareListInBraces",
     "{0x00,0x0A,0x1F,0x1F,0x0E,0x04,0x00,0x00}\n",
     {{0, 10, 31, 31, 14, 4, 0, 0}},
     {"Character 1"},
     0},
    {"BareListsWithoutBraces",
     "0x00, 0x0A, 0x1F, 0x1F, 0x0E, 0x04, 0x00, 0x00,\nB00100, B01110, 4, 4, 4, 4, 4, 0\n",
     {{0, 10, 31, 31, 14, 4, 0, 0}, {4, 14, 4, 4, 4, 4, 4, 0}},
     {"Character 1", "Character 2"},
     0},
};

INSTANTIATE_TEST_SUITE_P(Sources, ImportNotation, ::testing::ValuesIn(kNotations),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Import, RefusesWhatIsNoGlyphNamingLineAndValue) {
    const std::pair<const char *, const char *> cases[] = {
        {"byte a[8] = {0x1F,\n 0x20};", "\"paste\", line 2: 0x20 has bits above the fifth"},
        {"byte a[8] = {1, -1};", "\"paste\", line 1: -1 is below zero"},
        {"x:\r\n.db 1\r\n.db 255\r\n", "\"paste\", line 3: 255 has bits above the fifth"},
        {"int pins[] = {1, 2};", "\"paste\" holds no glyph rows"},
        {"nothing here", "\"paste\" holds no glyph rows"},
        {"byte a[] = {{{{{{{{{{{{1}}}}}}}}}}}};", "\"paste\" holds no glyph rows"},
    };
    for (const auto &[source, message] : cases) {
        try {
            importGlyphs(source, QStringLiteral("\"paste\""));
            ADD_FAILURE() << "no error for " << source;
        } catch (const Error &e) {
            EXPECT_TRUE(e.message().startsWith(QString::fromUtf8(message)))
                << e.message().toStdString();
        }
    }
}

// An array name hundreds of kilobytes long is quoted cut short in its warning.
TEST(Import, WarningsQuoteALongNameShort) {
    const QByteArray source = "byte " + QByteArray(200000, 'n') + "[7] = {1, 2, 3, 4, 5, 6, 7};";
    const ImportedGlyphs imported = importGlyphs(source, QStringLiteral("\"paste\""));
    ASSERT_EQ(imported.warnings.size(), 1);
    EXPECT_TRUE(
        imported.warnings[0].contains(QStringLiteral("(200000 characters) has only 7 of 8 rows")))
        << imported.warnings[0].left(200).toStdString();
}

// Every form code writes, alone and between the templates, gives the set back.
TEST(Import, EveryFormGivesBackTheSet) {
    GlyphFileContent set;
    set.names = {QStringLiteral("Arrow"),
                 QStringLiteral(" blank ends "),
                 QStringLiteral("; odd, name "),
                 QStringLiteral("say \"hi\""),
                 QStringLiteral(""),
                 QStringLiteral("Flèche"),
                 QStringLiteral("0 \"looks like\""),
                 QStringLiteral("trailing\\ x")};
    for (int g = 0; g < kGlyphCount; ++g)
        for (int r = 0; r < lcd::kGlyphRows; ++r)
            for (int c = 0; c < lcd::kGlyphColumns; ++c)
                set.glyphs.setPixel(r, c, g, (r * 7 + c * 3 + g) % 4 == 0);
    for (const CodeForm form : {CodeForm::Asm, CodeForm::AsmTable, CodeForm::C, CodeForm::Arduino})
        for (const bool templates : {false, true}) {
            if (templates && !isAssemblyForm(form))
                continue;
            CodeRequest request;
            request.characterCode = true;
            request.testProgram = request.restOfCode = templates;
            request.form = form;
            request.names = set.names;
            request.glyphs = set.glyphs;
            request.templateDir = QStringLiteral(GLIMMERSET_SOURCE_DIR "/templates");
            QString code;
            ASSERT_FALSE(appendCode(code, request));
            const ImportedGlyphs back =
                importGlyphs(formFileBytes(form, code), QStringLiteral("code"));
            const std::string what =
                codeFormNames()[int(form)].toStdString() + (templates ? " with the templates" : "");
            EXPECT_EQ(back.found, kGlyphCount) << what;
            EXPECT_EQ(back.set.names, set.names) << what;
            EXPECT_EQ(back.set.glyphs, set.glyphs) << what;
            EXPECT_TRUE(back.warnings.isEmpty()) << what << back.warnings.join(u'\n').toStdString();
        }
}

} // namespace
