#include "simulation/lcd_bus_monitor.h"

#include <gtest/gtest.h>

namespace glimmerset::avrtest {
namespace {

using lcd::lineBit;

// Drives the bus by hand at 16 MHz, one cycle = 62.5 ns: D4..D7, RS and E
// on outputs, RW tied low unless a read drives it high.
class Bus {
public:
    explicit Bus(const BusTiming &timing = kBusTimings[0]) : monitor(16e6, timing) {}

    LcdBusMonitor monitor;
    std::uint64_t cycle = 0;
    unsigned levels = 0;
    unsigned driven = lcd::kHighDataLines | lineBit(lcd::RS) | lineBit(lcd::E) | lineBit(lcd::RW);

    void at(double us) { cycle = static_cast<std::uint64_t>(us * 16 + 0.5); }
    void set(unsigned mask, unsigned value) {
        levels = (levels & ~mask) | (value & mask);
        monitor.busChanged(driven, levels, cycle);
    }
    // Puts a nibble and RS on the lines in one port write.
    void lines(unsigned nibble, bool rs) {
        set(lcd::kHighDataLines | lineBit(lcd::RS), nibble << 4 | (rs ? lineBit(lcd::RS) : 0));
    }
    void e(bool level) { set(lineBit(lcd::E), level ? lineBit(lcd::E) : 0); }
    // A clean strobe: lines set, E high 1 us later for 1 us.
    void strobe(double us, unsigned nibble, bool rs = false) {
        at(us);
        lines(nibble, rs);
        at(us + 1);
        e(true);
        at(us + 2);
        e(false);
    }
    void send(double us, std::uint8_t byte, bool rs = false) {
        strobe(us, byte >> 4, rs);
        strobe(us + 3, byte & 0x0F, rs);
    }
    // The datasheet's reset into 4-bit mode, done by 45 ms.
    void reset() {
        strobe(40000, 3);
        strobe(44200, 3);
        strobe(44400, 3);
        strobe(44600, 2);
    }
    // One 4-bit read: RW up, data pins let go, two strobes; the byte seen
    // 500 ns into each.
    std::uint8_t read(double us, bool rs) {
        at(us);
        driven &= ~lcd::kHighDataLines;
        set(lineBit(lcd::RW) | lineBit(lcd::RS), lineBit(lcd::RW) | (rs ? lineBit(lcd::RS) : 0));
        std::uint8_t byte = 0;
        for (int half = 0; half < 2; ++half) {
            at(us + 1 + 2 * half);
            e(true);
            at(us + 1.5 + 2 * half);
            byte = static_cast<std::uint8_t>(byte << 4 | monitor.dataSeen(cycle) >> 4);
            at(us + 2 + 2 * half);
            e(false);
        }
        at(us + 5);
        set(lineBit(lcd::RW), 0);
        driven |= lcd::kHighDataLines;
        monitor.busChanged(driven, levels, cycle);
        return byte;
    }
    std::string found() const {
        std::string all;
        for (const Finding &finding : monitor.findings().all()) {
            all += std::string(ruleKey(finding.rule)) + ": " + finding.headline() + "\n";
            for (const std::string &instance : finding.instances)
                all += "    " + instance + "\n";
        }
        return all;
    }
};

TEST(LcdBusMonitor, DecodesTheResetAndFourBitAccesses) {
    Bus bus;
    bus.reset();
    bus.send(45000, 0x41); // CGRAM address 1
    bus.send(45200, 0x1F, true);
    EXPECT_EQ(bus.found(), "");
    EXPECT_EQ(bus.monitor.writes(), 6u);
    EXPECT_TRUE(bus.monitor.fourBitMode());
    EXPECT_EQ(bus.monitor.memory().cgram[1], 0x1F);
    EXPECT_EQ(bus.monitor.memory().cgramWritten, 0x2u);
    EXPECT_EQ(bus.monitor.addressCounter(), 2);
}

// Waits that the execution times don't cover: after clear, between the
// steps of the reset, before the power-on wait is over. The controller
// takes a write as E falls: an E that rises while it is busy and falls
// after is on time.
TEST(LcdBusMonitor, JudgesAccessesAgainstBusyWhenTaken) {
    struct Case {
        const char *name;
        void (*drive)(Bus &);
        const char *instance; // null: no finding
    };
    const Case cases[] = {
        {"clear",
         [](Bus &bus) {
             bus.reset();
             bus.send(45000, 0x01);  // done at 45005 us
             bus.strobe(46520, 0x0); // 1.515 ms later
         },
         "busy until 46525.000 us (instruction 0x01 at 45005.000 us)"},
        {"reset step",
         [](Bus &bus) {
             bus.strobe(40000, 3);
             bus.strobe(44000, 3); // under 4.1 ms after the first
         },
         "busy until 44102.000 us"},
        {"power-on", [](Bus &bus) { bus.strobe(14000, 3); }, "(power-on)"},
        {"E up while busy, down after",
         [](Bus &bus) {
             bus.reset();
             bus.send(45000, 0x28);    // done at 45042 us
             bus.strobe(45040.5, 0x0); // E rises at 45041.5, falls at 45042.5
         },
         nullptr},
    };
    for (const Case &c : cases) {
        Bus bus;
        c.drive(bus);
        if (c.instance)
            EXPECT_NE(bus.found().find(c.instance), std::string::npos) << c.name << "\n"
                                                                       << bus.found();
        else
            EXPECT_FALSE(bus.monitor.findings().failed()) << c.name << "\n" << bus.found();
    }
}

// The datasheet's write timing at each supply: RS and RW steady from t_AS
// before E rises to t_AH after it falls, E high PW_EH, rise to rise
// t_cycE, the data steady t_DSW before E falls and t_H after. Data that
// changes while E is high is fine.
TEST(LcdBusMonitor, JudgesWritesByTheSupplysTiming) {
    // At one instant: the nibble (with RS high) if any, then E if any.
    struct Step {
        double us;
        int nibble; // -1: unchanged
        int e;      // -1: unchanged
    };
    struct Case {
        const char *name;
        std::vector<Step> steps; // one nibble after the reset
        const char *at5V;        // the rule broken at 5 V, or ""
        const char *at3V3;
    };
    const Case cases[] = {
        {"data set while E is high",
         {{45000, 0, -1}, {45001, -1, 1}, {45001.25, 4, -1}, {45001.5, -1, 0}},
         "",
         ""},
        {"RS with E in one write", {{45000, 4, 1}, {45001, -1, 0}}, "t_AS", "t_AS"},
        {"E high 250 ns", {{45000, 4, -1}, {45001, -1, 1}, {45001.25, -1, 0}}, "", "PW_EH"},
        {"E high 187.5 ns",
         {{45000, 4, -1}, {45001, -1, 1}, {45001.1875, -1, 0}},
         "PW_EH",
         "PW_EH"},
        {"data set 125 ns before E fell",
         {{45000, 0, -1}, {45001, -1, 1}, {45001.5, 4, -1}, {45001.625, -1, 0}},
         "",
         "t_DSW"},
        {"data changed with E's fall",
         {{45000, 4, -1}, {45001, -1, 1}, {45002, 5, 0}},
         "t_DSW",
         "t_DSW"},
        {"strobes 750 ns apart",
         {{45000, 4, -1}, {45001, -1, 1}, {45001.5, -1, 0}, {45001.75, -1, 1}, {45002.25, -1, 0}},
         "",
         "t_cycE"},
    };
    for (const Case &c : cases)
        for (const BusTiming &timing : kBusTimings) {
            Bus bus(timing);
            bus.reset();
            for (const Step &step : c.steps) {
                bus.at(step.us);
                if (step.nibble >= 0)
                    bus.lines(static_cast<unsigned>(step.nibble), true);
                if (step.e >= 0)
                    bus.e(step.e == 1);
            }
            const std::string expected = timing.supply == std::string("5") ? c.at5V : c.at3V3;
            std::string rules;
            for (const Finding &finding : bus.monitor.findings().all())
                if (finding.kind == FindingKind::Violation)
                    rules += ruleKey(finding.rule);
            EXPECT_EQ(rules, expected) << c.name << " at " << timing.supply << " V\n"
                                       << bus.found();
        }
}

// With RW wired the controller answers: the busy flag and the address
// counter, then DDRAM data; a busy-flag read is no access while busy, a
// read before t_DDR sees nothing yet.
TEST(LcdBusMonitor, AnswersReadsAsTheController) {
    Bus bus;
    bus.reset();
    bus.send(45000, 0x80 | 0x05); // DDRAM address 5, done at 45005 us
    EXPECT_EQ(bus.read(45010, false), 0x80 | 0x05);
    EXPECT_EQ(bus.read(45050, false), 0x05);
    bus.send(45060, 'A', true);
    EXPECT_EQ(bus.read(45110, false), 0x06);
    bus.send(45120, 0x80 | 0x05);
    EXPECT_EQ(bus.read(45170, false), 0x05);
    EXPECT_EQ(bus.read(45180, true), 'A');
    EXPECT_EQ(bus.monitor.addressCounter(), 6);
    EXPECT_EQ(bus.monitor.reads(), 5u);
    EXPECT_EQ(bus.found(), "");

    bus.at(45300);
    bus.driven &= ~lcd::kHighDataLines;
    bus.set(lineBit(lcd::RW), lineBit(lcd::RW));
    bus.at(45301);
    bus.e(true);
    EXPECT_EQ(bus.monitor.dataSeen(bus.cycle + 1), 0xFF); // 62.5 ns after E rose
    EXPECT_NE(bus.found().find("t_DDR: "), std::string::npos) << bus.found();
}

// What a program writes lands where the datasheet's address counter puts
// it: DDRAM line 1 runs on into line 2 and back, CGRAM wraps after 63, the
// entry mode turns the direction, clear blanks DDRAM and homes the counter.
TEST(LcdBusMonitor, KeepsTheControllerMemoryByTheAddressCounter) {
    Bus bus;
    bus.reset();
    double us = 45000;
    const auto send = [&](std::uint8_t byte, bool data) {
        bus.send(us, byte, data);
        us += 2000;
    };
    send(0x28, false);        // two lines
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
    const auto &ddram = bus.monitor.memory().ddram;
    EXPECT_EQ(ddram[39], 'a');
    EXPECT_EQ(ddram[79], 'c');
    EXPECT_EQ(ddram[0], 'd');
    EXPECT_EQ(ddram[41], 'e');
    EXPECT_EQ(ddram[40], 'f');
    EXPECT_EQ(bus.monitor.memory().cgram[63], 0x11);
    EXPECT_EQ(bus.monitor.memory().cgram[0], 0x12);

    send(0x01, false);
    us += 5000;
    send('g', true);
    EXPECT_EQ(ddram[0], 'g');
    EXPECT_EQ(ddram[39], ' ');
}

// The faults users hit most, named from the bus alone.
TEST(LcdBusMonitor, NamesTheFaultsThatLoseGlyphsOrCharacters) {
    struct Case {
        const char *name;
        std::vector<std::pair<int, bool>> bytes; // after the reset; -1 ends a run
        const char *rule;
    };
    const Case cases[] = {
        {"glyph rows after clear",
         {{0x01, false},
          {0x0E, true},
          {0x11, true},
          {0x11, true},
          {0x1F, true},
          {0x11, true},
          {0x11, true},
          {0x11, true},
          {0x00, true}},
         "ddram-rows"},
        {"characters after the last glyph row",
         {{0x40 | 63, false}, {0x04, true}, {0, true}},
         "cgram-characters"},
        // Bits 5 to 7 of CGRAM are plain RAM: rows written as 0xE0 | row are rows.
        {"rows with bits 5 to 7 set",
         {{0x40, false},
          {0xFF, true},
          {0xF1, true},
          {0xE0, true},
          {0xFF, true},
          {0xF1, true},
          {0xE0, true},
          {0xFF, true},
          {0xFF, true},
          {0x80, false},
          {0, true}},
         ""},
        {"one glyph and a character",
         {{0x48, false},
          {1, true},
          {2, true},
          {3, true},
          {4, true},
          {5, true},
          {6, true},
          {7, true},
          {8, true},
          {1, true}},
         "cgram-characters"},
        // The counter runs down: glyph 1's rows land in reverse, partly in
        // glyph 0; the cause is the entry mode, not a missing address.
        {"glyph rows in decrement mode",
         {{0x04, false},
          {0x48, false},
          {1, true},
          {2, true},
          {3, true},
          {4, true},
          {5, true},
          {6, true},
          {7, true},
          {8, true},
          {9, true},
          {0x80, false},
          {0, true}},
         "decrement"},
        {"custom characters shown",
         {{0x80, false},
          {0, true},
          {1, true},
          {2, true},
          {3, true},
          {4, true},
          {5, true},
          {6, true},
          {7, true}},
         ""},
        {"glyphs loaded in one run",
         {{0x40, false},
          {1, true},
          {2, true},
          {3, true},
          {4, true},
          {5, true},
          {6, true},
          {7, true},
          {8, true},
          {9, true},
          {10, true},
          {11, true},
          {12, true},
          {13, true},
          {14, true},
          {15, true},
          {16, true},
          {0x80, false}},
         ""},
    };
    for (const Case &c : cases) {
        Bus bus;
        bus.reset();
        double us = 45000;
        for (const auto &[byte, data] : c.bytes) {
            bus.send(us, static_cast<std::uint8_t>(byte), data);
            us += 2000;
        }
        bus.monitor.finish(bus.cycle);
        std::string rules;
        for (const Finding &finding : bus.monitor.findings().all())
            if (finding.kind == FindingKind::Failure || finding.rule == Rule::Decrement)
                rules += ruleKey(finding.rule);
        EXPECT_EQ(rules, c.rule) << c.name << "\n" << bus.found();
    }
}

// Waits long enough for the datasheet but not for the slower clones: a
// warning, once per early access. A switch to 4 bits without the reset by
// instruction works from power-on but is named too.
TEST(LcdBusMonitor, WarnsOfWhatOnlySomeControllersForgive) {
    Bus bus;
    bus.reset();
    bus.send(45000, 0x41, true); // done at 45005 us
    bus.send(45100, 0x42, true); // 95 us later
    bus.send(45200, 0x43, true);
    const Finding *clone = bus.monitor.findings().find(Rule::Clone);
    ASSERT_NE(clone, nullptr) << bus.found();
    EXPECT_EQ(clone->count, 2u);
    EXPECT_NE(clone->instances[1].find("E strobe before 45225.000 us"), std::string::npos)
        << bus.found();
    EXPECT_FALSE(bus.monitor.findings().failed()) << bus.found();

    Bus bare;
    bare.strobe(40000, 2);
    bare.send(40200, 0x28);
    ASSERT_TRUE(bare.monitor.findings().has(Rule::FourBit)) << bare.found();
    EXPECT_TRUE(bare.monitor.fourBitMode());
    EXPECT_TRUE(bare.monitor.memory().twoLine);
}

// A program that pulses E every 4 cycles for a simulated second: counts,
// and the first few instances of each rule, not millions of strings.
TEST(LcdBusMonitor, KeepsFindingsInBoundedMemory) {
    Bus bus;
    for (std::uint64_t cycle = 0; cycle < 16'000'000; cycle += 4) {
        bus.cycle = cycle;
        bus.e(true);
        bus.cycle = cycle + 2;
        bus.e(false);
    }
    const Finding *pulse = bus.monitor.findings().find(Rule::PwEh);
    ASSERT_NE(pulse, nullptr);
    EXPECT_EQ(pulse->count, 4'000'000u);
    for (const Finding &finding : bus.monitor.findings().all())
        EXPECT_LE(finding.instances.size(), Findings::kInstancesKept) << ruleKey(finding.rule);
}

} // namespace
} // namespace glimmerset::avrtest
