#include "shipped_program.h"

#include "simulation/avr_assembler.h"
#include "simulation/simulated_board.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace glimmerset::avrtest {
namespace {

// Small programs in the styles drivers use, each judged on the board as
// the chip and the controller have it: what the bus shows, by rule.
struct ChipCase {
    const char *name;
    const char *mcu;
    double clockMhz;
    const char *wiring;
    const char *body; // after the device .include; ends in a loop of its own
    const char *rules;
    const char *shows = ""; // in the findings' words
    RunEnd end = RunEnd::Loop;
    double startupMs = 65;
};

void PrintTo(const ChipCase &chipCase, std::ostream *os) {
    *os << chipCase.name;
}

// D4..D7 on PB0..PB3, RS PB4, E PB5 and, where wired, RW PB6.
constexpr char kWithRw[] = "rs=B4,rw=B6,e=B5,d4=B0,d5=B1,d6=B2,d7=B3";

// The reset's first function set at 1 MHz, E 1 ms after reset.
constexpr char kFirstAccessAfter1ms[] = R"(
    ldi r16, 0x3F
    out DDRB, r16
    ldi r17, 250
wait:
    nop
    dec r17
    brne wait
    ldi r16, 0x23
    out PORTB, r16
    cbi PORTB, 5
    rjmp PC
)";

// A driver that writes the LCD a nibble a timer 0 overflow (1.024 ms)
// from its table, after sei and a loop of nothing; 0xFF skips a tick.
constexpr char kFromTimerInterrupt[] = R"(
    rjmp reset
.org OVF0addr
    rjmp tick
.org INT_VECTORS_SIZE
reset:
    ldi r16, high(RAMEND)
    out SPH, r16
    ldi r16, low(RAMEND)
    out SPL, r16
    ldi r16, 0x3F
    out DDRB, r16
    ldi ZL, low(2 * nibbles)
    ldi ZH, high(2 * nibbles)
    ldi r16, 0x03
    out TCCR0B, r16
    ldi r16, 1 << TOIE0
    sts TIMSK0, r16
    sei
    rjmp PC
tick:
    lpm r16, Z
    cpi r16, 0xFE
    breq done
    adiw ZL, 1
    cpi r16, 0xFF
    breq done
    out PORTB, r16
    sbi PORTB, 5
    nop
    nop
    nop
    nop
    cbi PORTB, 5
done:
    reti
nibbles:
.db 0x03, 0xFF, 0xFF, 0xFF, 0xFF, 0x03, 0x03, 0x02, 0x02, 0x08, 0x00, 0x0C, 0x00, 0x01
.db 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x06, 0x08, 0x00, 0x14, 0x11, 0xFE
)";

// A 4-bit driver whose busy-wait loops count for 1 MHz: 5 ms, 200 us and
// 50 us waits, 2 ms after clear; at 16 MHz each is a sixteenth.
constexpr char kBuiltFor1MHz[] = R"(
    rjmp reset
.org INT_VECTORS_SIZE
reset:
    ldi r16, high(RAMEND)
    out SPH, r16
    ldi r16, low(RAMEND)
    out SPL, r16
    ldi r16, 0x3F
    out DDRB, r16
    clr r18
    ldi r16, 0x03
    rcall nibble
    ldi r24, low(1250)
    ldi r25, high(1250)
    rcall delay
    rcall nibble
    rcall wait_200us
    rcall nibble
    rcall wait_200us
    ldi r16, 0x02
    rcall nibble
    rcall wait_200us
    ldi r16, 0x28
    rcall command
    ldi r16, 0x0C
    rcall command
    ldi r16, 0x01
    rcall command
    ldi r24, low(500)
    ldi r25, high(500)
    rcall delay
    ldi r16, 0x06
    rcall command
    ldi r18, 0x10
    ldi r16, 'A'
    rcall send
    rjmp PC
command:
    clr r18
send:
    push r16
    swap r16
    rcall nibble
    pop r16
    rcall nibble
    ldi r24, 13
    clr r25
    rjmp delay
nibble:
    mov r17, r16
    andi r17, 0x0F
    or r17, r18
    out PORTB, r17
    sbi PORTB, 5
    nop
    nop
    nop
    nop
    cbi PORTB, 5
    ret
wait_200us:
    ldi r24, 50
    clr r25
; r25:r24 times 4 cycles, 4 us at 1 MHz
delay:
    sbiw r24, 1
    brne delay
    ret
)";

constexpr char kEDroppedByPin[] = R"(
    ldi r16, 0x3F
    out DDRB, r16
    ldi r16, 0x23
    out PORTB, r16
    nop
    nop
    nop
    nop
    ldi r16, 0x20
    out PINB, r16
    rjmp PC
)";

const ChipCase kChipCases[] = {
    // E up at SBI's end, down at OUT's: one clock, 125 ns at 8 MHz.
    {"SbiThenOutAt8MHz", "atmega328p", 8, "B:0,1,2,3,4,5,low", R"(
    ldi r16, 0x3F
    out DDRB, r16
    ldi r16, 0x03
    out PORTB, r16
    sbi PORTB, 5
    out PORTB, r16
    rjmp PC
)",
     "PW_EH,display-off,nothing-written,startup", "E high for 125 ns"},
    // The IN after one NOP samples half a clock after E rose: 31 ns.
    {"InOneNopAfterE", "atmega328p", 16, kWithRw, R"(
    ldi r16, 0x70
    out DDRB, r16
    sbi PORTB, 6
    sbi PORTB, 5
    nop
    in r17, PINB
    cbi PORTB, 5
    rjmp PC
)",
     "nothing-written,startup,t_DDR", "read 31 ns after E rose"},
    // Three NOPs are 156 ns, four 219 ns: past t_DDR 160 ns.
    {"InFourNopsAfterE", "atmega328p", 16, kWithRw, R"(
    ldi r16, 0x70
    out DDRB, r16
    sbi PORTB, 6
    sbi PORTB, 5
    nop
    nop
    nop
    nop
    in r17, PINB
    cbi PORTB, 5
    rjmp PC
)",
     "nothing-written,startup"},
    // A first access 1 ms after reset: on time only by the chip's start-up.
    {"FirstAccessAfter1ms", "atmega328p", 1, "B:0,1,2,3,4,5,low", kFirstAccessAfter1ms,
     "display-off,nothing-written,startup", "us: E rose"},
    {"FirstAccessAfter1msWithoutStartup", "atmega328p", 1, "B:0,1,2,3,4,5,low",
     kFirstAccessAfter1ms, "busy,display-off,nothing-written", "busy until 15000.000 us (power-on)",
     RunEnd::Loop, 0},
    // The loop can be left by the interrupt: the run goes on to its end.
    {"WritesFromATimerInterrupt", "atmega328p", 16, "B:0,1,2,3,4,5,low", kFromTimerInterrupt,
     "startup", "", RunEnd::TimeUp},
    // E dropped by writing a one to PINB: only the newer chips toggle.
    {"PinToggleOnAtmega88", "atmega88", 16, "B:0,1,2,3,4,5,low", kEDroppedByPin,
     "display-off,nothing-written,startup"},
    {"PinToggleOnAtmega8", "atmega8", 16, "B:0,1,2,3,4,5,low", kEDroppedByPin,
     "pin-toggle,silence,startup", "which the atmega8 doesn't do"},
    // Causes, named first.
    {"WrongClock", "atmega328p", 16, "B:0,1,2,3,4,5,low", kBuiltFor1MHz, "busy,clock,startup",
     "every wait is 1/16 of what the program seems to intend: was it built for 1 MHz?"},
    // Times count from reset, 65 ms after power-on.
    {"WrongClockTimesFromReset", "atmega328p", 16, "B:0,1,2,3,4,5,low", kBuiltFor1MHz,
     "busy,clock,startup", "busy until 4101.562 us (instruction 0x3F at 1.562 us, a step"},
    {"NoInitialisation", "atmega328p", 16, "B:0,1,2,3,4,5,low", R"(
    ldi r16, 0x3F
    out DDRB, r16
    ldi r16, 0x14
    out PORTB, r16
    sbi PORTB, 5
    nop
    nop
    nop
    nop
    cbi PORTB, 5
    rjmp PC
)",
     "display-off,no-init,one-line,startup", "no initialisation: data written before any function set"},
    // It polls the busy flag with RW on PB6, which the wiring ties low.
    {"ReadsWithRwTiedLow", "atmega328p", 16, "B:0,1,2,3,4,5,low", R"(
    ldi r16, 0x70
    out DDRB, r16
    sbi PORTB, 6
poll:
    sbi PORTB, 5
    nop
    nop
    nop
    nop
    in r17, PINB
    cbi PORTB, 5
    sbrc r17, 3
    rjmp poll
    rjmp PC
)",
     "display-off,nothing-written,one-line,rw-tied,startup", "add rw= and the pin RW is on", RunEnd::TimeUp},
    // A third of a second before its first port write, with 0.1 s to run.
    {"StillWaiting", "atmega328p", 16, "B:0,1,2,3,4,5,low", R"(
    ldi r20, 20
outer:
    ser r24
    ser r25
inner:
    sbiw r24, 1
    brne inner
    dec r20
    brne outer
    ldi r16, 0x3F
    out DDRB, r16
    rjmp PC
)",
     "waiting", "no access in the first 0.1 s: the program may still be waiting", RunEnd::TimeUp},
};

class ChipModel : public ::testing::TestWithParam<ChipCase> {};

TEST_P(ChipModel, JudgesTheBusAtTheChipsClock) {
    const ChipCase &c = GetParam();
    QTemporaryDir dir;
    const QString source = QStringLiteral(".include \"%1def.inc\"\n.org 0\n%2")
                               .arg(QString::fromLatin1(c.mcu)
                                        .replace(QStringLiteral("atmega"), QStringLiteral("m"))
                                        .replace(QStringLiteral("attiny"), QStringLiteral("tn"))
                                        .replace(QStringLiteral("p"), QStringLiteral("P")),
                                    QLatin1String(c.body));
    const Assembly assembly = assemble(source.toLatin1(), dir.path());
    ASSERT_TRUE(assembly.ok) << assembly.log.toStdString();
    BoardConfig config;
    config.mcu = c.mcu;
    config.clockHz = static_cast<std::uint32_t>(c.clockMhz * 1e6);
    QString why;
    const auto wiring = parseWiring(QLatin1String(c.wiring), &why);
    ASSERT_TRUE(wiring) << why.toStdString();
    config.wiring = *wiring;
    config.startupMs = c.startupMs;
    const BoardRun run = simulateBoard({assembly.hexPath.toStdString()}, config, 0.1);
    ASSERT_TRUE(run.loaded) << run.loadError;
    EXPECT_EQ(run.end, c.end);
    const Findings findings = judgeRun(run, config, nullptr, false);
    EXPECT_EQ(ruleList(findings), c.rules) << findingsText(findings);
    EXPECT_NE(findingsText(findings).find(c.shows), std::string::npos) << findingsText(findings);
}

INSTANTIATE_TEST_SUITE_P(Programs, ChipModel, ::testing::ValuesIn(kChipCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace glimmerset::avrtest

namespace glimmerset::avrtest {
namespace {

// Rows written downwards are a deliberate choice when CGRAM ends right,
// and the cause when it doesn't.
TEST(JudgeRun, DecrementEntryModeIsTheCauseOnlyWhenCgramIsWrong) {
    BoardRun run;
    run.loaded = true;
    run.clockHz = 16'000'000;
    run.writes = run.dataWrites = 64;
    run.end = RunEnd::Loop;
    run.lcd.twoLine = true;
    run.lcd.displayControl = 0x0C;
    run.lcd.displayWasOn = true;
    run.findings.add(FindingKind::Warning, Rule::Decrement, "glyph rows written downwards");
    const GlyphSet dark;
    run.lcd.cgram[5] = 0x01;
    run.lcd.cgramWritten = ~std::uint64_t{0};
    const Findings wrong = judgeRun(run, BoardConfig{}, &dark);
    ASSERT_FALSE(wrong.all().empty());
    EXPECT_EQ(wrong.all().front().rule, Rule::Decrement);
    EXPECT_EQ(wrong.all().front().kind, FindingKind::Failure);
    run.lcd.cgram[5] = 0xE0; // bits 5 to 7 are no part of the row
    EXPECT_EQ(ruleList(judgeRun(run, BoardConfig{}, &dark)), "");
}

} // namespace
} // namespace glimmerset::avrtest
