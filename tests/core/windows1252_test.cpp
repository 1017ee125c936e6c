#include "storage/windows1252.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <gtest/gtest.h>

namespace windows1252 = glimmerset::windows1252;

// Our own table against Qt's codec: every byte decoded, both ways in, and
// every character of the BMP encoded, or refused where the codec refuses it.
TEST(Windows1252, AgreesWithQtsCodecBothWays) {
    QByteArray every;
    for (int b = 0; b < 256; ++b)
        every += char(b);
    QStringDecoder decoder("Windows-1252");
    ASSERT_TRUE(decoder.isValid());
    const QString expected = decoder.decode(every);
    EXPECT_EQ(windows1252::decode(every), expected);
    QString appended = QStringLiteral("kept");
    windows1252::appendDecoded(appended, every);
    EXPECT_EQ(appended, QStringLiteral("kept") + expected);
    EXPECT_EQ(windows1252::encodeLossy(expected), every);

    for (char32_t c = 0x80; c < 0x10000; ++c) {
        if (QChar::isSurrogate(c))
            continue;
        const QString one{QChar(char16_t(c))};
        QStringEncoder encoder("Windows-1252");
        const QByteArray byQt = encoder.encode(one);
        const bool encodable = !encoder.hasError();
        ASSERT_EQ(!windows1252::firstUnencodable(one), encodable) << std::hex << uint(c);
        if (encodable) {
            ASSERT_EQ(windows1252::encodeLossy(one), byQt) << std::hex << uint(c);
        }
    }
    // A character outside the BMP is one '?', not two.
    EXPECT_EQ(windows1252::encodeLossy(QString::fromUtf8("a\xF0\x9F\x98\x80" "b")), QByteArray("a?b"));
}
