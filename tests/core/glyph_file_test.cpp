#include "storage/error.h"
#include "storage/file_names.h"
#include "storage/glyph_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "support/file_bytes.h"

#include <gtest/gtest.h>

#include <functional>

using namespace glimmerset;
using glimmerset::test::readAll;
using glimmerset::test::writeAll;

namespace {

QByteArray defaultNameLines() {
    QByteArray bytes;
    for (int g = 1; g <= 8; ++g)
        bytes += "Character " + QByteArray::number(g) + "\r\n";
    return bytes;
}

GlyphSet patterned() {
    GlyphSet set;
    for (int g = 0; g < 8; ++g)
        for (int r = 0; r < 8; ++r)
            for (int c = 0; c < 5; ++c)
                set.setPixel(r, c, g, (r * 5 + c + g) % 3 == 0 ? 1 : 0);
    return set;
}

class GlyphFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }
};

} // namespace

TEST_F(GlyphFile, DefaultSetIsTheDocumentedBytes) {
    GlyphSet set;
    set.setPixel(0, 2, 0, 1);
    glyphs_to_file(path("a.ch"), defaultGlyphNames(), set);
    const QByteArray bytes = readAll(path("a.ch"));
    ASSERT_EQ(bytes.size(), 1704);
    EXPECT_TRUE(bytes.startsWith(defaultNameLines()));
    EXPECT_EQ(bytes.mid(104, 15), QByteArray(" 0 \r\n 0 \r\n 1 \r\n"));
    EXPECT_EQ(bytes.count(" 1 \r\n"), 1);
    EXPECT_EQ(bytes.count(" 0 \r\n"), 319);
}

TEST_F(GlyphFile, RoundTripsAwkwardNames) {
    GlyphNames names = {"plain", "comma, inside", " leading", "trailing\t", "", "in\"ner",
                        QString::fromUtf8("café €"), "ends\""};
    const GlyphSet set = patterned();
    glyphs_to_file(path("n.ch"), names, set);
    const GlyphFileContent back = glyphs_from_file(path("n.ch"));
    EXPECT_EQ(back.names, names);
    EXPECT_EQ(back.glyphs, set);

    // Names needing no quotes are written exactly as typed.
    const QByteArray bytes = readAll(path("n.ch"));
    EXPECT_TRUE(bytes.startsWith("plain\r\n\"comma, inside\"\r\n\" leading\"\r\n\"trailing\t\"\r\n\r\nin\"ner\r\ncaf\xe9 \x80\r\n"));
}

TEST_F(GlyphFile, RefusesNamesNoLineCanBringBack) {
    writeAll(path("old.ch"), "old content");
    const struct {
        QString name;
        QString why;
    } cases[] = {
        {"\"quoted", "begins with a double quote"},
        {"needs, \"both\"", "also holds a double quote"},
        {"line\nbreak", "holds a line break"},
        {QString::fromUtf8("Ж"), QString::fromUtf8("holds the character \"Ж\" (U+0416)")},
        {QString::fromUtf8("next\u0085line"), "holds the invisible character U+0085"},
        {QString::fromUtf8("para\u2028graph"), "holds the invisible character U+2028"},
    };
    for (const auto &c : cases) {
        GlyphNames names = defaultGlyphNames();
        names[5] = c.name;
        try {
            glyphs_to_file(path("old.ch"), names, GlyphSet());
            ADD_FAILURE() << "saved " << c.name.toStdString();
        } catch (const Error &e) {
            EXPECT_TRUE(e.message().startsWith("The characters were not saved, nothing was written: the name of "
                                               "character 6, \"" + c.name + "\", "))
                << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(c.why)) << e.message().toStdString();
        }
        EXPECT_EQ(readAll(path("old.ch")), "old content");
    }

    // One message for every name that can't be stored, in glyph order.
    GlyphNames names = defaultGlyphNames();
    names[1] = QString::fromUtf8("Herz \u2665");
    names[6] = QStringLiteral("two\nlines");
    names[7] = QString::fromUtf8("\u00b0C");
    try {
        glyphs_to_file(path("old.ch"), names, GlyphSet());
        ADD_FAILURE() << "saved";
    } catch (const Error &e) {
        EXPECT_EQ(e.message(),
                  QString::fromUtf8(
                      "The characters were not saved, nothing was written: the name of "
                      "character 2, \"Herz \u2665\", holds the character \"\u2665\" (U+2665), "
                      "which a glyph file can't store; the name of character 7, "
                      "\"two\nlines\", holds a line break."));
    }
    EXPECT_EQ(readAll(path("old.ch")), "old content");
}

TEST_F(GlyphFile, ReadsFieldsHoweverTheyAreSpread) {
    QByteArray bytes = defaultNameLines();
    for (int i = 0; i < 64; ++i)
        bytes += "1, 0 ,0,0,1\r\n";
    bytes += "trailing junk, 77777, \"\r\n";
    writeAll(path("hand.ch"), bytes);
    const GlyphFileContent content = glyphs_from_file(path("hand.ch"));
    for (int g = 0; g < 8; ++g)
        for (int r = 0; r < 8; ++r) {
            EXPECT_TRUE(content.glyphs.isLit(r, 0, g));
            EXPECT_FALSE(content.glyphs.isLit(r, 2, g));
            EXPECT_TRUE(content.glyphs.isLit(r, 4, g));
        }
}

TEST_F(GlyphFile, KeepsValuesOtherThanZeroAndOne) {
    QByteArray bytes = defaultNameLines() + " 2 \r\n-1\r\n";
    for (int i = 2; i < 320; ++i)
        bytes += " 0 \r\n";
    const GlyphFileContent content = glyphsFromBytes(bytes, "test");
    EXPECT_EQ(content.glyphs.pixel(0, 0, 0), 2);
    EXPECT_EQ(content.glyphs.pixel(0, 1, 0), -1);
    EXPECT_EQ(content.oddPixels,
              QStringList({"test, line 9: the pixel field holds \"2\", not 0 or 1; it counts as dark.",
                           "test, line 10: the pixel field holds \"-1\", not 0 or 1; it counts as dark."}));

    // A later save writes only what is lit.
    glyphs_to_file(path("s.ch"), content.names, content.glyphs);
    EXPECT_EQ(readAll(path("s.ch")).count(" 0 \r\n"), 320);
}

TEST_F(GlyphFile, FailedLoadsNameTheFile) {
    QByteArray truncated = defaultNameLines();
    for (int i = 0; i < 100; ++i)
        truncated += " 1 \r\n";
    writeAll(path("short.ch"), truncated);
    QByteArray tooBig = defaultNameLines() + "40000\r\n";
    writeAll(path("big.ch"), tooBig);

    for (const QString &name : {QString("short.ch"), QString("big.ch"), QString("missing.ch"), QString()}) {
        try {
            glyphs_from_file(path(name));
            ADD_FAILURE() << "loaded " << name.toStdString();
        } catch (const Error &e) {
            EXPECT_TRUE(e.message().contains(path(name))) << e.message().toStdString();
        }
    }
}

TEST_F(GlyphFile, SaveFailuresLeaveTheOldFileAlone) {
    EXPECT_THROW(glyphs_to_file(dir.path(), defaultGlyphNames(), GlyphSet()), Error);
    EXPECT_THROW(glyphs_to_file(path("no/such/folder/x.ch"), defaultGlyphNames(), GlyphSet()), Error);
    EXPECT_TRUE(QFileInfo(dir.path()).isDir());
}

TEST(FileNames, ExtensionIsAddedUnlessAlreadyExact) {
    EXPECT_EQ(withExtension("glyphs", kGlyphFileExtension), "glyphs.ch");
    EXPECT_EQ(withExtension("glyphs.ch", kGlyphFileExtension), "glyphs.ch");
    EXPECT_EQ(withExtension("GLYPHS.CH", kGlyphFileExtension), "GLYPHS.CH.ch");
    EXPECT_EQ(withExtension("ch", kGlyphFileExtension), "ch.ch");
    EXPECT_EQ(withExtension("prog", kAsmFileExtension), "prog.asm");
    EXPECT_EQ(withExtension("prog.asm", kAsmFileExtension), "prog.asm");
    EXPECT_EQ(withExtension("prog.ASM", kAsmFileExtension), "prog.ASM.asm");
    EXPECT_EQ(withExtension("prog.txt", kAsmFileExtension), "prog.txt.asm");
}

namespace {

// A set as rows of five, as people write one by hand; edit changes row
// `row` (0 to 63, each on line 9 + row) before the file ends in tail.
QByteArray rowsOfFive(const std::function<void(int, QByteArray &)> &edit,
                      const QByteArray &names = defaultNameLines(), const QByteArray &tail = {}) {
    QByteArray bytes = names;
    for (int row = 0; row < 64; ++row) {
        QByteArray line = "0,1,0,1,0";
        edit(row, line);
        bytes += line + "\r\n";
    }
    return bytes + tail;
}

struct ShapeCase {
    const char *name;
    QByteArray bytes;
    QStringList shape;   // what show, code and verify warn of
    QString readFailure; // what the read error ends in, if it fails
};

void PrintTo(const ShapeCase &shapeCase, std::ostream *out) {
    *out << shapeCase.name;
}

class GlyphFileShape : public ::testing::TestWithParam<ShapeCase> {};

const auto kAsIs = [](int, QByteArray &) {};

} // namespace

TEST_P(GlyphFileShape, TellsWhereAHandWrittenFileBreaks) {
    const ShapeCase &shapeCase = GetParam();
    try {
        const GlyphFileContent content =
            glyphsFromBytes(shapeCase.bytes, "set.ch", Leftovers::Counted);
        EXPECT_EQ(content.shape, shapeCase.shape);
        EXPECT_TRUE(shapeCase.readFailure.isEmpty());
        // The window reads the same set, not asking where it breaks.
        const GlyphFileContent window = glyphsFromBytes(shapeCase.bytes, "set.ch");
        EXPECT_TRUE(window.shape.isEmpty());
        EXPECT_EQ(window.glyphs.pixel(7, 4, 7), content.glyphs.pixel(7, 4, 7));
    } catch (const Error &error) {
        EXPECT_TRUE(error.message().endsWith(shapeCase.readFailure) &&
                    !shapeCase.readFailure.isEmpty())
            << error.message().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    HandWritten, GlyphFileShape,
    ::testing::Values(
        ShapeCase{"RowsOfFive", rowsOfFive(kAsIs), {}, {}},
        ShapeCase{"AsSaved", glyphFileBytes(defaultGlyphNames(), patterned()), {}, {}},
        ShapeCase{"BlankLinesAtTheEnd", rowsOfFive(kAsIs, defaultNameLines(), "\r\n \r\n"), {}, {}},
        ShapeCase{
            "AValueTooMany",
            rowsOfFive([](int row, QByteArray &line) { line += row == 2 ? ",1" : ""; }),
            {"set.ch, line 11: the line holds 6 fields where the other pixel lines hold 5, so "
             "every pixel after it is read out of place.",
             "set.ch, line 72: a field left over after the set of 328 fields: never read."},
            {}},
        ShapeCase{"AValueTooFew",
                  rowsOfFive([](int row, QByteArray &line) { line.chop(row == 2 ? 2 : 0); }),
                  {},
                  "the file ends where more was expected. The set needs 328 fields (8 names, 320 "
                  "pixels), the file holds 327; line 11: the line holds 4 fields where the other "
                  "pixel lines hold 5, so every pixel after it is read out of place."},
        ShapeCase{
            "ABlankLineBetweenGlyphs",
            rowsOfFive([](int row, QByteArray &line) { line.prepend(row == 8 ? "\r\n" : ""); }),
            {"set.ch, line 17: the line holds 1 field where the other pixel lines hold 5, so "
             "every pixel after it is read out of place.",
             "set.ch, line 73: a field left over after the set of 328 fields: never read."},
            {}},
        ShapeCase{
            "ANameWithAComma",
            rowsOfFive(kAsIs, defaultNameLines().replace("Character 2", "Heart, small")),
            {"set.ch, line 2: the line holds 2 fields where a name takes a line of its own (a "
             "name with a comma goes in double quotes), so every field after it is read out of "
             "place.",
             "set.ch, line 72: a field left over after the set of 328 fields: never read."},
            {}},
        ShapeCase{"ANoteAfterTheSet",
                  rowsOfFive(kAsIs, defaultNameLines(), "; drawn by hand\r\n1,2,3\r\n"),
                  {"set.ch, line 73: 4 fields left over after the set of 328 fields: never read."},
                  {}}),
    [](const ::testing::TestParamInfo<ShapeCase> &info) { return std::string(info.param.name); });

// An editor's UTF-8 reads as garbled Windows-1252; show, code and verify say so.
TEST(GlyphFileEncoding, NamesSavedAsUtf8AreTold) {
    const struct {
        const char *what;
        QByteArray names;
        bool utf8;
    } cases[] = {
        {"Utf8", "\xE2\x99\xA5 Heart\r\n\xC2\xB0 Degree\r\n", true},
        {"ByteOrderMark", "\xEF\xBB\xBF" "Arrow\r\n", true},
        {"Windows1252", "\xB0 Degree\r\nCaf\xE9\r\n", false},
        {"Ascii", "Arrow\r\n", false},
    };
    for (const auto &c : cases) {
        QByteArray bytes = c.names;
        for (int g = bytes.count('\n'); g < kGlyphCount; ++g)
            bytes += "Character\r\n";
        bytes += QByteArray(" 0 \r\n").repeated(kPixelCount);
        EXPECT_EQ(glyphsFromBytes(bytes, "set.ch").namesLookLikeUtf8, c.utf8) << c.what;
    }
}
