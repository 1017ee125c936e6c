#include "codegen/template_text.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace glimmerset;

TEST(TemplateText, JoinsTwoOperandInstructionsAndSplitsTheRest) {
    const std::pair<const char *, const char *> cases[] = {
        {"LDI r16, 0x40\r\n", "LDI r16,0x40\r\n"},
        {"OUT PORTB,r16\r\n", "OUT PORTB,r16\r\n"},
        {"IN r16,PIND\r\n", "IN r16,PIND\r\n"},
        {"ldi r16,0x40\r\n", "ldi r16\r\n0x40\r\n"},
        {"MOV r16,r17\r\n", "MOV r16\r\nr17\r\n"},
        {"INC r16\r\nRET\r\n", "INC r16,RET\r\n"},
        {"STS 0x60,r16,r17\r\n", "STS 0x60,r16\r\nr17\r\n"},
        {"; wait, then send\r\n", "; wait\r\nthen send\r\n"},
        {"\r\n", "\r\n"},
        {"\tLDI\tmp0, 0x40\n", "LDI\tmp0,0x40\r\n"},
        {"", ""},
        {"LDI r16", "LDI r16,"},
    };
    for (const auto &[in, out] : cases) {
        const TemplateText t = templateTextFromBytes(in);
        EXPECT_EQ(t.text, QString(out)) << in;
        EXPECT_FALSE(t.failure) << in;
    }
}

TEST(TemplateText, PrefixTestLooksAtTheFirstCharactersOnly) {
    EXPECT_TRUE(beginsWithJoinPrefix(u"IN"));
    EXPECT_TRUE(beginsWithJoinPrefix(u"LDIX"));
    EXPECT_TRUE(beginsWithJoinPrefix(u"ORI r16"));
    EXPECT_FALSE(beginsWithJoinPrefix(u"I"));
    EXPECT_FALSE(beginsWithJoinPrefix(u"LD"));
    EXPECT_FALSE(beginsWithJoinPrefix(u"in r16"));
    EXPECT_FALSE(beginsWithJoinPrefix(u""));
}

TEST(TemplateText, MissingTemplateFailsWithNothingAppended) {
    QTemporaryDir dir;
    QString code = QStringLiteral("kept");
    const auto failure = appendTemplateText(code, dir.filePath(kMainTemplateName));
    EXPECT_EQ(code, QStringLiteral("kept"));
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->contains(kMainTemplateName));
    EXPECT_EQ(kMainTemplateMissing, "File: Main.asm doesn't exist!!!");
    EXPECT_EQ(kRestTemplateMissing, "File: rest.asm doesn't exist!!!");
}

TEST(TemplateText, ReadsATemplateFromDisk) {
    QTemporaryDir dir;
    QFile f(dir.filePath(kRestTemplateName));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("lcd_ch:\r\n\tOUT PORTB, mp0\r\n\tRET\r\n");
    f.close();
    QString code;
    EXPECT_FALSE(appendTemplateText(code, f.fileName()));
    EXPECT_EQ(code, "lcd_ch:\r\nOUT PORTB,mp0\r\nRET\r\n");
}
