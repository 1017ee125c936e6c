#include "simulation/avr_assembler.h"
#include "simulation/pcf8574.h"
#include "simulation/twi_master.h"

extern "C" {
#include <sim_avr.h>
#include <sim_hex.h>
}

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace glimmerset::avrtest {
namespace {

// One event after another on a PCF8574 at 0x27, each with what the part
// must answer: 1 or 0 for an acknowledge, a byte for a read or its pins.
TEST(Pcf8574, AnswersAsItsDatasheetSays) {
    Pcf8574 expander(0x27);
    std::uint8_t outside = 0xFF;
    expander.outside = [&](std::uint64_t) { return outside; };
    std::vector<std::uint64_t> latchedAt;
    expander.latched = [&](std::uint8_t, std::uint8_t, std::uint64_t cycle) {
        latchedAt.push_back(cycle);
    };
    struct Step {
        const char *what;
        std::function<int()> act;
        int answer;
    };
    const Step steps[] = {
        {"its read address", [&] { return expander.addressed(0x4F); }, 1},
        {"powers up with every pin high", [&] { return expander.read(0); }, 0xFF},
        {"0x26 is another part", [&] { return expander.addressed(0x4C); }, 0},
        {"so a byte for it is not taken", [&] { return expander.write(0x00, 10); }, 0},
        {"nor at 0x3F, a PCF8574A", [&] { return expander.addressed(0x7E); }, 0},
        {"its write address", [&] { return expander.addressed(0x4E); }, 1},
        {"a byte is taken", [&] { return expander.write(0x5A, 20); }, 1},
        {"onto the pins", [&] { return expander.pins(25); }, 0x5A},
        {"the same byte again changes nothing", [&] { return expander.write(0x5A, 30); }, 1},
        {"P0 and P1 pulled low from outside", [&] { return outside = 0xFC, expander.pins(35); }, 0x58},
        {"which leaves the latch alone", [&] { return expander.latch(); }, 0x5A},
        {"read address", [&] { return expander.addressed(0x4F); }, 1},
        {"a pin written 1 reads what drives it, one written 0 reads 0",
         [&] { return expander.read(40); }, 0x58},
        {"no byte is taken while read", [&] { return expander.write(0xFF, 45); }, 0},
        {"let go", [&] { return outside = 0xFF, expander.read(50); }, 0x5A},
        {"after the STOP nothing is read", [&] { return expander.stop(), expander.read(55); }, 0xFF},
    };
    for (const Step &step : steps)
        EXPECT_EQ(step.act(), step.answer) << step.what;
    EXPECT_EQ(latchedAt, std::vector<std::uint64_t>{20});

    Pcf8574 a(0x3F);
    EXPECT_TRUE(a.addressed(0x7E));
    EXPECT_FALSE(a.addressed(0x4E));
}

// A master in the style of the megaAVR datasheet's examples keeps TWSR after
// every step in a register, polling TWINT; the harness notes when TWINT
// rises. At 16 MHz with TWBR 72 an SCL period is 160 cycles.
constexpr char kTwiProgram[] = R"(.include "m328Pdef.inc"
.org 0
    rjmp reset
.org INT_VECTORS_SIZE
reset:
    ldi r16, low(RAMEND)
    out SPL, r16
    ldi r16, high(RAMEND)
    out SPH, r16
    ldi r16, 72
    sts TWBR, r16
    ldi r16, 0
    sts TWSR, r16
    ldi r16, (1<<TWINT)|(1<<TWEN)   ; no START first: nothing happens
    sts TWCR, r16
    ldi r16, 0x11                   ; TWINT low: a write collision
    sts TWDR, r16
    lds r2, TWCR
    ldi r17, (1<<TWINT)|(1<<TWSTA)|(1<<TWEN)
    rcall go
    mov r3, r16
    ldi r16, 0x4E
    rcall send
    mov r4, r16
    ldi r16, 0xA5
    rcall send
    mov r5, r16
    ldi r17, (1<<TWINT)|(1<<TWSTA)|(1<<TWEN)
    rcall go
    mov r6, r16
    ldi r16, 0x4F
    rcall send
    mov r7, r16
    ldi r17, (1<<TWINT)|(1<<TWEA)|(1<<TWEN)
    rcall go
    mov r8, r16
    lds r9, TWDR
    ldi r17, (1<<TWINT)|(1<<TWEN)
    rcall go
    mov r10, r16
    lds r11, TWDR
    ldi r17, (1<<TWINT)|(1<<TWSTA)|(1<<TWEN)
    rcall go
    ldi r16, 0x7E
    rcall send
    mov r12, r16
    ldi r16, 0x00
    rcall send
    mov r13, r16
    ldi r16, (1<<TWINT)|(1<<TWSTO)|(1<<TWEN)
    sts TWCR, r16
stop:
    lds r16, TWCR
    sbrc r16, TWSTO
    rjmp stop
    lds r14, TWSR
done:
    rjmp done
send:
    sts TWDR, r16
    ldi r17, (1<<TWINT)|(1<<TWEN)
go:
    sts TWCR, r17
wait:
    lds r16, TWCR
    sbrs r16, TWINT
    rjmp wait
    lds r16, TWSR
    ret
)";

TEST(TwiMaster, KeepsTheDatasheetsStatusAndTime) {
    QTemporaryDir dir;
    const Assembly assembly = assemble(QByteArray(kTwiProgram), dir.path());
    ASSERT_TRUE(assembly.ok) << assembly.log.toStdString();

    avr_t *avr = avr_make_mcu_by_name("atmega328p");
    ASSERT_NE(avr, nullptr);
    avr_init(avr);
    avr->frequency = 16'000'000;
    avr->log = LOG_NONE;
    ihex_chunk_p chunks = nullptr;
    const int count = read_ihex_chunks(assembly.hexPath.toLocal8Bit().constData(), &chunks);
    ASSERT_GT(count, 0);
    for (int i = 0; i < count; ++i)
        if (chunks[i].baseaddr < 0x800000)
            avr_loadcode(avr, chunks[i].data, chunks[i].size, chunks[i].baseaddr);
    free_ihex_chunks(chunks);

    Pcf8574 expander(0x27);
    expander.outside = [](std::uint64_t) -> std::uint8_t { return 0xFE; };
    std::vector<std::uint64_t> flagRose;
    {
        TwiMaster twi(avr, expander);
        ASSERT_TRUE(twi.attached());
        bool flag = false;
        // Up to the program's RJMP to itself, 0xCFFF.
        while (avr->cycle < 100'000 &&
               !(avr->flash[avr->pc] == 0xFF && avr->flash[avr->pc + 1] == 0xCF)) {
            avr_run(avr);
            const bool now = avr->data[0xBC] & 0x80;
            if (now && !flag)
                flagRose.push_back(avr->cycle);
            flag = now;
        }
        const TwiTraffic &traffic = twi.traffic();
        EXPECT_EQ(traffic.withoutStart, 1u);
        EXPECT_EQ(traffic.transfers, 3u);
        EXPECT_EQ(traffic.bytes, 7u);
        EXPECT_EQ(traffic.unanswered, (std::map<int, std::uint64_t>{{0x3F, 1}}));
        EXPECT_DOUBLE_EQ(traffic.fastestSclHz, 100e3);
        EXPECT_EQ(traffic.bytesOverLimit, 0u);
    }
    const std::uint8_t *r = avr->data;
    EXPECT_TRUE(r[2] & 0x08) << "TWWC";
    const int statuses[] = {r[3], r[4], r[5], r[6], r[7], r[8], r[10], r[12], r[13], r[14]};
    const int expected[] = {0x08, 0x18, 0x28, 0x10, 0x40, 0x50, 0x58, 0x20, 0x30, 0xF8};
    for (std::size_t i = 0; i < std::size(expected); ++i)
        EXPECT_EQ(statuses[i], expected[i]) << "status " << i;
    EXPECT_EQ(expander.latch(), 0xA5);
    EXPECT_EQ(r[9], 0xA4) << "P0 held low";
    EXPECT_EQ(r[11], 0xA4);

    // START, SLA+W, data, repeated START, SLA+R, two reads, repeated START,
    // SLA+W, data: one SCL period a START, nine a byte, and the few cycles
    // the program takes between them.
    const std::uint64_t periods[] = {1, 9, 9, 1, 9, 9, 9, 1, 9, 9};
    ASSERT_EQ(flagRose.size(), std::size(periods));
    for (std::size_t i = 1; i < flagRose.size(); ++i) {
        const std::uint64_t gap = flagRose[i] - flagRose[i - 1];
        EXPECT_GE(gap, 160 * periods[i]) << "step " << i;
        EXPECT_LE(gap, 160 * periods[i] + 30) << "step " << i;
    }
    avr_terminate(avr);
}

} // namespace
} // namespace glimmerset::avrtest
