#include "codegen/c_names.h"
#include "codegen/code_form.h"
#include "codegen/name_text.h"
#include "storage/windows1252.h"

#include <gtest/gtest.h>

using namespace glimmerset;

namespace {

const CodeForm kForms[] = {CodeForm::Asm, CodeForm::AsmTable, CodeForm::C, CodeForm::Arduino};

// A name that ends or continues its comment line would plant or hide code:
// each such character is written as the stand-in, and nothing else changes.
TEST(CodeForms, NoNameEndsOrContinuesItsCommentLine) {
    GlyphNames hostile = defaultGlyphNames();
    GlyphNames shown = defaultGlyphNames();
    const char16_t breakers[] = {0x00, 0x09, 0x0B, 0x0C, 0x0D,   0x0A,
                                 0x1B, 0x1F, 0x7F, 0x85, 0x2028, 0x2029};
    for (std::size_t i = 0; i < std::size(breakers); ++i) {
        const int g = int(i % kGlyphCount);
        hostile[g] += QChar(breakers[i]) + QStringLiteral("LDI mp0,0xAA");
        shown[g] += QStringLiteral("?LDI mp0,0xAA");
    }
    hostile[7] = QStringLiteral("Back\\");
    shown[7] = QStringLiteral("Back?");
    GlyphSet glyphs;
    glyphs.setPixel(2, 3, 1, 1);
    for (const CodeForm form : kForms)
        EXPECT_EQ(formCode(form, hostile, glyphs), formCode(form, shown, glyphs))
            << codeFormNames()[int(form)].toStdString();

    GlyphNames plain = defaultGlyphNames();
    plain[0] = QStringLiteral("; odd, \"name\" \\ with é ");
    EXPECT_EQ(nameForComment(plain[0]), plain[0]);
    EXPECT_TRUE(formCode(CodeForm::AsmTable, plain, glyphs)
                    .contains(QStringLiteral(";%1\r\n").arg(plain[0])));
    EXPECT_TRUE(formCode(CodeForm::C, plain, glyphs)
                    .contains(QStringLiteral("// 0 \"%1\"\n").arg(plain[0])));
}

TEST(CodeForms, IdentifiersAreValidUniqueAndMadeOfTheNames) {
    const GlyphNames names = {QStringLiteral("Arrow"),       QStringLiteral("smiley face!"),
                              QStringLiteral("3"),           QStringLiteral(""),
                              QStringLiteral("arrow"),       QStringLiteral("Flèche 2"),
                              QStringLiteral("Character 7"), QStringLiteral("int")};
    const std::array<QString, kGlyphCount> constants = {
        "GLYPH_ARROW", "GLYPH_SMILEY_FACE", "GLYPH_2",           "GLYPH_3",
        "GLYPH_4",     "GLYPH_FL_CHE_2",    "GLYPH_CHARACTER_7", "GLYPH_INT"};
    const std::array<QString, kGlyphCount> camels = {
        "glyphArrow", "glyphSmileyFace", "glyph2",          "glyph3",
        "glyph4",     "glyphFlChe2",     "glyphCharacter7", "glyphInt"};
    EXPECT_EQ(glyphIdentifiers(names, IdentifierStyle::Constant), constants);
    EXPECT_EQ(glyphIdentifiers(names, IdentifierStyle::Camel), camels);

    // The sketch's own table of glyphs is no glyph's.
    GlyphNames table = defaultGlyphNames();
    table[5] = QStringLiteral("Table");
    EXPECT_EQ(glyphIdentifiers(table, IdentifierStyle::Camel)[5], QStringLiteral("glyph5"));
}

// avra takes a line of 4095 bytes: a name keeps to the 4094 after the
// comment sign, a character (a byte in the file) however it is stored.
TEST(CodeForms, ANameFitsTheLineAvraTakes) {
    const QString heart = QString::fromUcs4(U"\U0001F496"); // two UTF-16 units, one '?'
    const struct {
        const char *what;
        QString name, kept;
    } cases[] = {
        {"AsLongAsFits", QString(4094, u'x'), QString(4094, u'x')},
        {"OneTooMany", QString(4095, u'\u00E9'), QString(4094, u'\u00E9')},
        {"PairsCountOnce", heart.repeated(4095), heart.repeated(4094)},
        {"CutBeforeABackslash", QString(4093, u'x') + QStringLiteral("\\y"),
         QString(4093, u'x') + u'?'},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(nameForComment(c.name), c.kept) << c.what;
        GlyphNames names = defaultGlyphNames();
        names[3] = c.name;
        const QByteArray code =
            windows1252::encodeLossy(formCode(CodeForm::Asm, names, GlyphSet()));
        for (const QByteArray &line : code.split('\n'))
            EXPECT_LE(line.size(), 4096) << c.what; // with its CR
    }
}

TEST(CodeForms, NamesAreSpelledOutForATerminal) {
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("Arrow"), QStringLiteral("Arrow")},
        {QStringLiteral("a\\b é"), QStringLiteral("a\\b é")},
        {QStringLiteral("\x1B[31mred"), QStringLiteral("\\x1B[31mred")},
        {QString(QChar(0)) + u'x', QStringLiteral("\\x00x")},
        {QStringLiteral("a\tb\r\n"), QStringLiteral("a\\x09b\\x0D\\x0A")},
        {QString(QChar(0x9B)) + QStringLiteral("2J"), QStringLiteral("\\x9B2J")},
        {QString(QChar(0x7F)), QStringLiteral("\\x7F")},
        {QString(QChar(0x2028)) + QChar(0x202E), QStringLiteral("\\u2028\\u202E")},
    };
    for (const auto &[text, shown] : cases)
        EXPECT_EQ(terminalText(text), shown) << shown.toStdString();
}

TEST(CodeForms, FormsAreNamedAsTheCommandLineTakesThem) {
    for (const CodeForm form : kForms)
        EXPECT_EQ(codeFormNamed(codeFormNames()[int(form)]), form);
    EXPECT_FALSE(codeFormNamed(u"ASM"));
    EXPECT_FALSE(codeFormNamed(u""));
    GlyphSet glyphs;
    glyphs.setPixel(0, 0, 2, 1);
    glyphs.setPixel(0, 4, 2, 1);
    glyphs.setPixel(0, 2, 2, 2); // only 1 lights a pixel
    EXPECT_EQ(cgramRow(glyphs, 2, 0), 0x11);
    EXPECT_EQ(rowPicture(glyphs, 2, 0), QStringLiteral("#...#"));
}

} // namespace
