#include "simulation/avr_assembler.h"
#include "simulation/board_wiring.h"

#include <gtest/gtest.h>

namespace glimmerset {
namespace {

TEST(BoardWiring, ReadsTheWrittenForm) {
    struct Case {
        const char *pins;
        bool ok;
        const char *written; // the form it writes back, or a part of the error
    };
    const Case cases[] = {
        {"B:0,1,2,3,4,5,low", true, "B:0,1,2,3,4,5,low"},
        {"d:4, 5, 6, 7, 2, 3, 1", true, "D:4,5,6,7,2,3,1"},
        {"C:0,1,2,3,4,5,LOW", true, "C:0,1,2,3,4,5,low"},
        {"B:0,1,2,3,4,5", false, "6 pins instead of 7"},
        {"B:0,1,2,3,4,4,low", false, "pin 4 is used twice"},
        {"B:0,1,2,3,4,8,low", false, "\"8\" is no pin from 0 to 7"},
        {"B:0,1,2,3,4,low,5", false, "\"low\" is no pin"},
        {"0,1,2,3,4,5,low", false, "no port letter"},
        {"PB:0,1,2,3,4,5,low", false, "no port letter"},
    };
    for (const Case &c : cases) {
        QString error;
        const auto wiring = parseWiring(QString::fromLatin1(c.pins), &error);
        ASSERT_EQ(wiring.has_value(), c.ok) << c.pins << ": " << error.toStdString();
        if (wiring)
            EXPECT_EQ(wiringSpec(*wiring).toStdString(), c.written);
        else
            EXPECT_TRUE(error.contains(QLatin1String(c.written))) << error.toStdString();
    }
}

TEST(BoardChip, ComesFromTheFirstDeviceInclude) {
    const char *cases[][2] = {
        {".include \"m8def.inc\"\r\n", "atmega8"},
        {"; .include \"m16def.inc\"\r\n  .INCLUDE \"m328Pdef.inc\"\r\n", "atmega328p"},
        {".include \"tn2313def.inc\"\r\n.include \"m8def.inc\"\r\n", "attiny2313"},
        {".include \"2313def.inc\"\r\n", "at90s2313"},
        {".include \"macros.inc\"\r\n", ""},
        {"RJMP reset\r\n", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(mcuFromInclude(QString::fromLatin1(c[0])).toStdString(), c[1]) << c[0];
}

} // namespace
} // namespace glimmerset
