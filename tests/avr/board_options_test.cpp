#include "simulation/avr_assembler.h"
#include "simulation/board_wiring.h"
#include "simulation/lcd_bus_monitor.h"

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
        // The named form: any signal on any port, written back short when it fits.
        {"rs=B4,e=B3,d4=D5,d5=D4,d6=D3,d7=D2", true, "rs=B4,e=B3,d4=D5,d5=D4,d6=D3,d7=D2"},
        {"d4=pb0, d5=PB1, d6=B2, d7=B3, RS=B4, E=B5", true, "B:0,1,2,3,4,5,low"},
        {"rs=D2,rw=D1,e=D3,d4=D4,d5=D5,d6=D6,d7=D7", true, "D:4,5,6,7,2,3,1"},
        {"rs=B0,e=B1,d0=C0,d1=C1,d2=C2,d3=C3,d4=D4,d5=D5,d6=D6,d7=D7", true,
         "rs=B0,e=B1,d0=C0,d1=C1,d2=C2,d3=C3,d4=D4,d5=D5,d6=D6,d7=D7"},
        {"rs=B4,e=B3,d4=D5,d5=D4,d6=D3", false, "d7 is missing"},
        {"rs=B4,e=B3,d4=D5,d5=D4,d6=D3,d7=D2,d0=C0", false, "all of d0 to d3"},
        {"rs=B4,e=B4,d4=D5,d5=D4,d6=D3,d7=D2", false, "pin B4 is used for both rs and e"},
        {"rs=B4,rs=B3,d4=D5,d5=D4,d6=D3,d7=D2", false, "rs is given twice"},
        {"rs=B4,en=B3,d4=D5,d5=D4,d6=D3,d7=D2", false, "\"en\" is no signal"},
        {"rs=B8,e=B3,d4=D5,d5=D4,d6=D3,d7=D2", false, "\"B8\" is no pin"},
        // Arduino LiquidCrystal's constructor order, Uno pin numbers.
        {"arduino:12,11,5,4,3,2", true, "rs=B4,e=B3,d4=D5,d5=D4,d6=D3,d7=D2"},
        {"Arduino:8,9,10,11,12,13,A0", true, "rs=B0,rw=B1,e=B2,d4=B3,d5=B4,d6=B5,d7=C0"},
        {"arduino:12,11,2,3,4,5,6,7,8,9", true,
         "rs=B4,e=B3,d0=D2,d1=D3,d2=D4,d3=D5,d4=D6,d5=D7,d6=B0,d7=B1"},
        {"arduino:12,11,5,4,3", false, "5 pins instead of 6 or 7"},
        {"arduino:12,11,5,4,3,A6", false, "\"A6\" is no pin of the Arduino Uno"},
        {"arduino:A-5,11,5,4,3,2", false, "\"A-5\" is no pin"},
        {"arduino:+9,11,5,4,3,2", false, "\"+9\" is no pin"},
        {"arduino:12,12,5,4,3,2", false, "pin B4 is used for both rs and e"},
        // A PCF8574 backpack: its 7-bit address and the expander pin of each line.
        {"i2c:0x27", true, "i2c:0x27"},
        {"I2C:0x3f", true, "i2c:0x3F"},
        {"i2c:32", true, "i2c:0x20"},
        {"i2c:0x27:rs=0,rw=1,e=2,bl=3,d4=4,d5=5,d6=6,d7=7", true, "i2c:0x27"},
        {"i2c:0x38:d4=0, d5=1, d6=2, d7=3, RS=4, e=6", true,
         "i2c:0x38:rs=4,e=6,d4=0,d5=1,d6=2,d7=3"},
        {"i2c:0x4E", false, "0x4E is no PCF8574 address (it is 0x27 shifted left"},
        {"i2c:0x50", false, "0x50 is no PCF8574 address"},
        {"i2c:zz", false, "\"zz\" is no address"},
        {"i2c:0x27:rs=0,e=0,d4=4,d5=5,d6=6,d7=7", false, "pin 0 is used twice"},
        {"i2c:0x27:rs=0,rs=1,e=2,d4=4,d5=5,d6=6,d7=7", false, "rs is given twice"},
        {"i2c:0x27:rs=0,d4=4,d5=5,d6=6,d7=7", false, "no pin for E"},
        {"i2c:0x27:rs=0,e=8,d4=4,d5=5,d6=6,d7=7", false, "\"8\" is no expander pin"},
        {"i2c:0x27:cs=1", false, "\"cs=1\" is not one of"},
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

TEST(BoardLcd, ModulesAndSuppliesByTheDatasheet) {
    EXPECT_EQ(lcd::parseGeometry("20x4"), lcd::kGeometries[5]);
    EXPECT_EQ(lcd::parseGeometry("16X4")->lineStart[2], 0x10);
    for (const char *bad : {"16x3", "16x2x", "x2", "", "16 x 2", "4294967312x2"})
        EXPECT_FALSE(lcd::parseGeometry(bad)) << bad;
    // Line 3 of a 20x4 runs on from line 1 in DDRAM; line 4 from line 2.
    EXPECT_EQ(lcd::shownCell(lcd::kGeometries[5], 2, 0), 20);
    EXPECT_EQ(lcd::shownCell(lcd::kGeometries[5], 3, 19), 79);

    EXPECT_EQ(busTimingFor(5)->pwEH, 230);
    EXPECT_EQ(busTimingFor(3.3)->pwEH, 450);
    EXPECT_EQ(busTimingFor(4.5), busTimingFor(5));
    EXPECT_EQ(busTimingFor(2.7), busTimingFor(3.3));
    EXPECT_EQ(busTimingFor(2.5), nullptr);
    EXPECT_EQ(busTimingFor(6), nullptr);
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
