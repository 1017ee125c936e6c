#include "storage/windows1252.h"

#include <QStringDecoder>

#include <gtest/gtest.h>

namespace windows1252 = glimmerset::windows1252;

// Our own table against Qt's codec, every byte, both ways in.
TEST(Windows1252, DecodesEveryByteAsQtsCodecDoes) {
    QByteArray every;
    for (int b = 0; b < 256; ++b)
        every += char(b);
    QStringDecoder codec("Windows-1252");
    ASSERT_TRUE(codec.isValid());
    const QString expected = codec.decode(every);
    EXPECT_EQ(windows1252::decode(every), expected);
    QString appended = QStringLiteral("kept");
    windows1252::appendDecoded(appended, every);
    EXPECT_EQ(appended, QStringLiteral("kept") + expected);
}
