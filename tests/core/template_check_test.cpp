#include "codegen/template_check.h"

#include <gtest/gtest.h>

using namespace glimmerset;

namespace {

struct Rule {
    const char *line;
    const char *becomes; // empty: the line comes through whole
    const char *why;
};

// Each line is checked with a plain RET after it, the line a swallowing
// field joins to itself.
TEST(TemplateCheck, NamesEachLineTheStageBreaksAndWhatItBecomes) {
    const Rule rules[] = {
        {"    LDI mp0,LOW(RAMEND)", "", ""},
        {"OUT PORTB , r16 ; no comma here", "", ""},
        {"lcd_fc:", "", ""},
        {"; INC would swallow but this is a comment", "", ""},
        {"MOV r17,r18", "\"MOV r17\" and \"r18\"", "as MOV is none of ORI STS LDS OUT LDI IN"},
        {"ldi r16,5", "\"ldi r16\" and \"5\"", "only the upper-case LDI keeps its comma"},
        {"INC r16", "\"INC r16,RET\"", "the field \"INC r16\" begins with IN"},
        {"OUTER:", "\"OUTER:,RET\"", "begins with OUT"},
        {"LDI r16,INIT_VALUE", "\"LDI r16,INIT_VALUE,RET\"",
         "the field \"INIT_VALUE\" begins with IN"},
        {"; wait, then send", "\"; wait\" and \"then send\"", "a comma in a comment"},
        {"LDI r16,1 ; one, two", "\"LDI r16,1 ; one\" and \"two\"", "a comma in a comment"},
        {"start: LDI r16,1", "\"start: LDI r16\" and \"1\"", "the label start"},
        {"STS 0x60,r16,r17", "\"STS 0x60,r16\" and \"r17\"", "as r16 is none of"},
        {"\"a, b\"", "\"a, b\"", "begins with a double quote"},
    };
    for (const Rule &rule : rules) {
        const QByteArray text = QByteArray("NOP\r\n") + rule.line + "\r\nRET\r\n";
        const QList<TemplateFinding> findings = checkTemplateBytes(text);
        if (!*rule.becomes) {
            EXPECT_TRUE(findings.isEmpty()) << rule.line;
            continue;
        }
        ASSERT_EQ(findings.size(), 1) << rule.line;
        EXPECT_EQ(findings[0].line, 2) << rule.line;
        EXPECT_EQ(findings[0].text, QString::fromLatin1(rule.line));
        EXPECT_EQ(findings[0].becomes, QString::fromLatin1(rule.becomes)) << rule.line;
        EXPECT_TRUE(findings[0].why.contains(QString::fromLatin1(rule.why)))
            << rule.line << ": " << findings[0].why.toStdString();
    }
    // At the end of the file there is no line to swallow, only the comma.
    const QList<TemplateFinding> last = checkTemplateBytes("RET\nINC r16");
    ASSERT_EQ(last.size(), 1);
    EXPECT_EQ(last[0].becomes, QStringLiteral("\"INC r16,\""));
    EXPECT_EQ(describeFinding(QStringLiteral("rest.asm"), last[0]),
              QStringLiteral("rest.asm, line 2: \"INC r16\" becomes \"INC r16,\": the field "
                             "\"INC r16\" begins with IN, so the next line is joined to it."));
    // A line hundreds of kilobytes long is quoted cut short wherever it shows.
    for (const QByteArray &head : {QByteArray("MOV r17,"), QByteArray("INC ")}) {
        const QList<TemplateFinding> wide =
            checkTemplateBytes(head + QByteArray(200000, 'x') + "\nRET");
        ASSERT_EQ(wide.size(), 1) << head.constData();
        EXPECT_LT(describeFinding(QStringLiteral("rest.asm"), wide[0]).size(), 400)
            << head.constData();
    }
}

} // namespace
