#include "shipped_program.h"

#include "codegen/template_check.h"
#include "codegen/template_text.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>

namespace glimmerset::avrtest {
namespace {

QByteArray readBytes(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

class ShippedTemplate : public ::testing::TestWithParam<const char *> {};

// ASCII with CR LF line ends, like every text file the tool reads and writes.
TEST_P(ShippedTemplate, IsAsciiWithCrLfLines) {
    const QByteArray bytes = readBytes(shippedTemplate(GetParam()));
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    int line = 1;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        EXPECT_TRUE(c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7F))
            << "line " << line << " byte " << int(c);
        if (c == '\r') {
            EXPECT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n') << "lone CR in line " << line;
        }
        if (c == '\n') {
            EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << "lone LF in line " << line;
            ++line;
        }
    }
}

// The template stage splits lines at every comma and glues the next field to
// any field that begins with a join prefix. A template survives only if
// that gives back its own lines, minus the blanks that begin a line or
// follow a comma.
TEST_P(ShippedTemplate, ComesThroughTheTemplateStageWhole) {
    const QString path = shippedTemplate(GetParam());
    QString joined;
    const auto failure = appendTemplateText(joined, path);
    ASSERT_FALSE(failure.has_value()) << failure->toStdString();

    const QString original = QString::fromLatin1(readBytes(path));
    QStringList expected = original.split(QStringLiteral("\r\n"));
    expected.removeLast(); // after the final CR LF
    static const QRegularExpression leading(QStringLiteral("^[ \\t]+"));
    static const QRegularExpression afterComma(QStringLiteral(",[ \\t]+"));
    for (QString &line : expected)
        line.remove(leading).replace(afterComma, QStringLiteral(","));

    QStringList actual = joined.split(QStringLiteral("\r\n"));
    ASSERT_EQ(actual.takeLast(), QString()) << "the last line must end in CR LF";
    const qsizetype n = std::min(actual.size(), expected.size());
    for (qsizetype i = 0; i < n; ++i)
        ASSERT_EQ(actual[i].toStdString(), expected[i].toStdString())
            << "from line " << i + 1 << " on";
    EXPECT_EQ(actual.size(), expected.size());
}

// The same rules as check-templates states them, so a failure names the
// offending line and what it becomes; and spaces, not tabs, indent.
TEST_P(ShippedTemplate, PassesTheTemplateCheck) {
    const QString path = shippedTemplate(GetParam());
    for (const TemplateFinding &finding : checkTemplateFile(path))
        ADD_FAILURE() << describeFinding(QString::fromLatin1(GetParam()), finding).toStdString();
    const QStringList lines = QString::fromLatin1(readBytes(path)).split(QStringLiteral("\r\n"));
    for (qsizetype i = 0; i < lines.size(); ++i)
        EXPECT_FALSE(lines[i].contains(u'\t')) << "indent with spaces, line " << i + 1;
}

// Both sets: the LCD on a port, and on an I2C backpack.
INSTANTIATE_TEST_SUITE_P(
    Templates, ShippedTemplate,
    ::testing::Values(kMainTemplateName, kRestTemplateName, "pcf8574/main.asm",
                      "pcf8574/rest.asm"),
    [](const auto &info) {
        return QString::fromLatin1(info.param).replace(u'.', u'_').replace(u'/', u'_').toStdString();
    });

} // namespace
} // namespace glimmerset::avrtest
