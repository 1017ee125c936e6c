#include "storage/error.h"
#include "storage/field_reader.h"

#include <QTemporaryDir>

#include "reference_reader.h"

#include <gtest/gtest.h>

#include <optional>

using glimmerset::Error;
using glimmerset::FieldReader;
using glimmerset::test::ReferenceReader;

namespace {

QStringList allFields(const QByteArray &bytes) {
    FieldReader reader = FieldReader::fromBytes(bytes);
    QStringList fields;
    while (!reader.atEnd())
        fields << reader.readText();
    return fields;
}

std::vector<int> allNumbers(const QByteArray &bytes) {
    FieldReader reader = FieldReader::fromBytes(bytes);
    std::vector<int> numbers;
    while (!reader.atEnd())
        numbers.push_back(reader.readNumber());
    return numbers;
}

} // namespace

TEST(FieldReader, SplitsAtCommasAndLineEnds) {
    EXPECT_EQ(allFields("a,b\r\nc\r\n"), QStringList({"a", "b", "c"}));
    EXPECT_EQ(allFields(", ,\r\n"), QStringList({"", "", ""}));
    EXPECT_EQ(allFields("\r\n\r\nx"), QStringList({"", "", "x"}));
    EXPECT_EQ(allFields("LDI r16, 0x40\r\n"), QStringList({"LDI r16", "0x40"}));
    EXPECT_EQ(allFields(""), QStringList());
}

TEST(FieldReader, AcceptsLoneLfAndLoneCrAsLineEnds) {
    EXPECT_EQ(allFields("a\nb\rc\r\n\nd"), QStringList({"a", "b", "c", "", "d"}));
}

TEST(FieldReader, DropsBlanksAroundUnquotedFields) {
    EXPECT_EQ(allFields("   \r\n"), QStringList({""}));
    EXPECT_EQ(allFields("\t\tOUT PORTB,r16 \t\r\n"), QStringList({"OUT PORTB", "r16"}));
    EXPECT_EQ(allFields(" inner  space "), QStringList({"inner  space"}));
}

TEST(FieldReader, QuotedFieldsKeepCommasAndBlanks) {
    EXPECT_EQ(allFields("\"x, y\",z\r\n"), QStringList({"x, y", "z"}));
    EXPECT_EQ(allFields("  \" padded \"\r\n"), QStringList({" padded "}));
    // Text after the closing quote is dropped up to the field's end.
    EXPECT_EQ(allFields("\"a\"junk,b\r\n"), QStringList({"a", "b"}));
}

TEST(FieldReader, StrayQuoteEndsAtTheLineEnd) {
    EXPECT_EQ(allFields("\"open\r\nnext,line\r\n"), QStringList({"open", "next", "line"}));
}

TEST(FieldReader, ReadsNumbers) {
    EXPECT_EQ(allNumbers(" 0 \r\n 1 \r\n-1\r\n   \r\nabc\r\n+7\r\n32767\r\n-32768\r\n"),
              (std::vector<int>{0, 1, -1, 0, 0, 7, 32767, -32768}));
}

TEST(FieldReader, NumbersOutsideSixteenBitsFailRatherThanWrap) {
    for (const char *text : {"40000", "32768", "-32769", "99999999999999999999999"}) {
        FieldReader reader = FieldReader::fromBytes(text);
        EXPECT_THROW(reader.readNumber(), Error) << text;
    }
}

TEST(FieldReader, ReadingAtTheEndFailsWithFileAndLine) {
    FieldReader reader = FieldReader::fromBytes("a\r\nb\r\n", "\"glyphs.ch\"");
    reader.readText();
    reader.readText();
    ASSERT_TRUE(reader.atEnd());
    try {
        reader.readText();
        FAIL() << "no error at the end";
    } catch (const Error &e) {
        EXPECT_TRUE(e.message().contains("\"glyphs.ch\", line 3")) << e.message().toStdString();
    }
}

TEST(FieldReader, DecodesWindows1252) {
    EXPECT_EQ(allFields("caf\xe9 \x80\r\n"), QStringList({QString::fromUtf8("café €")}));
}

TEST(FieldReader, FieldsSpanningReadChunksComeBackWhole) {
    const QByteArray longField(200 * 1024, 'x');
    const QStringList fields = allFields(longField + ",\"" + longField + "\"\r\nend");
    ASSERT_EQ(fields.size(), 3);
    EXPECT_EQ(fields[0].size(), longField.size());
    EXPECT_EQ(fields[1].size(), longField.size());
    EXPECT_EQ(fields[2], "end");
}

// The reader takes 64 KiB a read: every delimiter, blank and quote of each
// tail lands on each side of that boundary in turn, CR LF split between two
// reads too, and the reader must agree with the plain reference throughout,
// for fields read as text and as numbers.
TEST(FieldReader, AgreesWithTheReferenceAcrossTheReadChunkBoundary) {
    constexpr qsizetype kChunk = FieldReader::kChunkSize;
    const QByteArray tails[] = {
        "\r\n  \"a,b\" junk, c \r\nnext",
        "\r\n\"open\r\n\"\",\t\r\r\n\n,",
        "\r\n -12 ,+7, 40000,\" 5\"x,32768\r\n\x80\x9f\xff",
    };
    for (const QByteArray &tail : tails) {
        for (qsizetype length = kChunk - qsizetype(tail.size()); length <= kChunk; ++length) {
            const QByteArray bytes = QByteArray(length, 'x') + tail;
            for (const bool asNumbers : {false, true}) {
                SCOPED_TRACE(testing::Message() << tail.toStdString() << " at " << length << (asNumbers ? " as numbers" : ""));
                FieldReader reader = FieldReader::fromBytes(bytes);
                ReferenceReader reference(bytes);
                const auto take = [&](auto &r) -> std::optional<QString> {
                    try {
                        return asNumbers ? QString::number(r.readNumber()) : r.readText();
                    } catch (const Error &) {
                        return std::nullopt;
                    }
                };
                for (bool end = false; !end;) {
                    end = reader.atEnd();
                    ASSERT_EQ(end, reference.atEnd());
                    ASSERT_EQ(take(reader), take(reference));
                    ASSERT_EQ(reader.lineNumber(), reference.lineNumber());
                }
            }
        }
    }
}

TEST(FieldReader, OpeningFailsForMissingFilesAndFolders) {
    QTemporaryDir dir;
    EXPECT_THROW(FieldReader::openFile(dir.filePath("missing.asm")), Error);
    EXPECT_THROW(FieldReader::openFile(dir.path()), Error);
}
