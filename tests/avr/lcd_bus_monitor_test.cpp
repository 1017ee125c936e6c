#include "simulation/lcd_bus_monitor.h"

#include <gtest/gtest.h>

namespace glimmerset::avrtest {
namespace {

// Drives the bus by hand at 16 MHz, one cycle = 62.5 ns.
class Bus {
public:
    LcdBusMonitor monitor{16e6};
    std::uint64_t cycle = 0;

    void at(double us) { cycle = static_cast<std::uint64_t>(us * 16); }
    // Puts a nibble and RS on the lines in one port write.
    void lines(unsigned nibble, bool rs) {
        for (int i = 0; i < 4; ++i)
            monitor.lineChanged(static_cast<LcdBusMonitor::Line>(LcdBusMonitor::D4 + i),
                                nibble >> i & 1, cycle);
        monitor.lineChanged(LcdBusMonitor::RS, rs, cycle);
    }
    void e(bool level) { monitor.lineChanged(LcdBusMonitor::E, level, cycle); }
    // A clean strobe: lines set, E high 1 us later for 1 us.
    void strobe(double us, unsigned nibble, bool rs = false) {
        at(us);
        lines(nibble, rs);
        at(us + 1);
        e(true);
        at(us + 2);
        e(false);
    }
    // The datasheet's reset into 4-bit mode, done by 45 ms.
    void reset() {
        strobe(40000, 3);
        strobe(44200, 3);
        strobe(44400, 3);
        strobe(44500, 2);
    }
    std::string violations() const {
        std::string all;
        for (const auto &v : monitor.violations())
            all += v + "\n";
        return all;
    }
};

TEST(LcdBusMonitor, DecodesTheResetAndFourBitAccesses) {
    Bus bus;
    bus.reset();
    bus.strobe(45000, 0x4);
    bus.strobe(45005, 0x1); // 0x41: CGRAM address 1
    bus.strobe(45050, 0x1, true);
    bus.strobe(45055, 0xF, true);
    EXPECT_EQ(bus.violations(), "");
    ASSERT_EQ(bus.monitor.accesses().size(), 6u);
    EXPECT_TRUE(bus.monitor.fourBitMode());
    EXPECT_EQ(bus.monitor.accesses()[4].byte, 0x41);
    EXPECT_FALSE(bus.monitor.accesses()[4].data);
    EXPECT_EQ(bus.monitor.accesses()[5].byte, 0x1F);
    EXPECT_TRUE(bus.monitor.accesses()[5].data);
}

TEST(LcdBusMonitor, ClearKeepsTheControllerBusyForOneAndAHalfMilliseconds) {
    Bus bus;
    bus.reset();
    bus.strobe(45000, 0x0);
    bus.strobe(45005, 0x1); // clear, done at 45007 us
    bus.strobe(46520, 0x0); // 1.513 ms later: too early
    EXPECT_NE(bus.violations().find("busy until 46527.000 us (instruction 0x01"), std::string::npos)
        << bus.violations();
}

TEST(LcdBusMonitor, ResetStepsNeedTheirOwnWaits) {
    Bus bus;
    bus.strobe(40000, 3);
    bus.strobe(44000, 3); // under 4.1 ms after the first
    EXPECT_NE(bus.violations().find("busy until 44102.000 us"), std::string::npos)
        << bus.violations();
}

TEST(LcdBusMonitor, FlagsStrobesThatBreakTheWriteTiming) {
    Bus bus;
    bus.reset();
    // RS and E in the same port write; E high for 500 ns.
    bus.at(45000);
    bus.lines(0x4, true);
    bus.e(true);
    bus.at(45000.5);
    bus.e(false);
    // The second nibble rises 875 ns after the first: under the 1 us enable
    // cycle. Its data change while E is high, and E falls after 250 ns.
    bus.at(45000.875);
    bus.e(true);
    bus.at(45001);
    bus.lines(0x5, true);
    bus.at(45001.125);
    bus.e(false);
    const std::string v = bus.violations();
    EXPECT_NE(v.find("RS or data not set up"), std::string::npos) << v;
    EXPECT_NE(v.find("under 1 us"), std::string::npos) << v;
    EXPECT_NE(v.find("changed while E was high"), std::string::npos) << v;
    EXPECT_NE(v.find("E pulse of 0.250 us"), std::string::npos) << v;
}

// What a program writes lands where the datasheet's address counter puts
// it: DDRAM line 1 runs on into line 2 and back, CGRAM wraps after 63, the
// entry mode turns the direction, clear blanks DDRAM and homes the counter.
TEST(LcdBusMonitor, KeepsTheControllerMemoryByTheAddressCounter) {
    Bus bus;
    bus.reset();
    double us = 45000;
    const auto send = [&](std::uint8_t byte, bool data) {
        bus.strobe(us, byte >> 4, data);
        bus.strobe(us + 5, byte & 0x0F, data);
        us += 2000;
    };
    send(0x80 | 0x27, false); // line 1, last column
    send('a', true);
    send('b', true); // line 2, column 0
    send(0x80 | 0x67, false);
    send('c', true);
    send('d', true);   // back to line 1, column 0
    send(0x04, false); // decrement
    send(0x80 | 0x41, false);
    send('e', true);
    send('f', true);
    send(0x40 | 63, false); // CGRAM, last byte
    send(0x06, false);      // increment again
    send(0x11, true);
    send(0x12, true); // CGRAM 0
    EXPECT_EQ(bus.violations(), "");
    const auto &ddram = bus.monitor.ddram();
    EXPECT_EQ(ddram[39], 'a');
    EXPECT_EQ(ddram[79], 'c');
    EXPECT_EQ(ddram[0], 'd');
    EXPECT_EQ(ddram[41], 'e');
    EXPECT_EQ(ddram[40], 'f');
    EXPECT_EQ(bus.monitor.cgram()[63], 0x11);
    EXPECT_EQ(bus.monitor.cgram()[0], 0x12);

    send(0x01, false);
    us += 5000;
    send('g', true);
    EXPECT_EQ(ddram[0], 'g');
    EXPECT_EQ(ddram[39], ' ');
}

// Waits long enough for the datasheet but not for the slower clones: a
// warning, once per early access, and no violation.
TEST(LcdBusMonitor, WarnsOfWaitsTooShortForTheSlowerClones) {
    Bus bus;
    bus.reset(); // its last step is 100 us after the one before: one warning
    bus.strobe(45000, 0x4, true);
    bus.strobe(45005, 0x1, true); // a data write, done at 45007 us
    bus.strobe(45100, 0x4, true); // 93 us later
    bus.strobe(45105, 0x2, true);
    EXPECT_EQ(bus.violations(), "");
    ASSERT_EQ(bus.monitor.warnings().size(), 2u);
    EXPECT_NE(bus.monitor.warnings()[1].find("E strobe before 45127.000 us"), std::string::npos)
        << bus.monitor.warnings()[1];
}

} // namespace
} // namespace glimmerset::avrtest
