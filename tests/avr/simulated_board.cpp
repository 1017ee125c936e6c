#include "simulated_board.h"

extern "C" {
#include <avr_ioport.h>
#include <hd44780.h>
#include <sim_avr.h>
#include <sim_hex.h>
#include <sim_time.h>
}

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace glimmerset::avrtest {

namespace {

// Debian's simavr 1.6 part has one vram[80 + 64] and puts CGRAM address a at
// vram[64 + a], where DDRAM line 2 begins: the test program writes line 1
// only, and clears the display before LCD_char (a clear wipes vram[0..79]).
// The part also latches on E's rising edge, not its falling one; the bus
// monitor's demand that data hold still while E is high covers both.
constexpr int kCgramOffset = 64;

struct Probe {
    LcdBusMonitor *monitor;
    avr_t *avr;
    LcdBusMonitor::Line line;
};

void onPin(avr_irq_t *, std::uint32_t value, void *param) {
    auto *probe = static_cast<Probe *>(param);
    probe->monitor->lineChanged(probe->line, value != 0, probe->avr->cycle);
}

// The part prints every access on stdout; keep the test log readable.
class QuietStdout {
public:
    QuietStdout() {
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDOUT_FILENO);
            close(null);
        }
    }
    ~QuietStdout() {
        std::fflush(stdout);
        if (saved_ >= 0) {
            dup2(saved_, STDOUT_FILENO);
            close(saved_);
        }
    }
    QuietStdout(const QuietStdout &) = delete;
    QuietStdout &operator=(const QuietStdout &) = delete;

private:
    int saved_ = -1;
};

bool loadHex(avr_t *avr, const std::string &path, std::string &error) {
    ihex_chunk_p chunks = nullptr;
    const int count = read_ihex_chunks(path.c_str(), &chunks);
    if (count <= 0) {
        error = "can't read " + path;
        return false;
    }
    bool flash = false;
    for (int i = 0; i < count; ++i) {
        // Addresses from 0x800000 up are simavr's RAM and EEPROM images.
        if (chunks[i].baseaddr < 0x800000 && chunks[i].baseaddr + chunks[i].size <= avr->flashend + 1u) {
            avr_loadcode(avr, chunks[i].data, chunks[i].size, chunks[i].baseaddr);
            flash = true;
        }
    }
    free_ihex_chunks(chunks);
    if (!flash)
        error = path + " holds no code for the flash";
    return flash;
}

bool atSelfJump(const avr_t *avr) {
    // RJMP .-2 is 0xCFFF, stored little-endian.
    return avr->pc + 1 <= avr->flashend && avr->flash[avr->pc] == 0xFF && avr->flash[avr->pc + 1] == 0xCF;
}

} // namespace

BoardRun runOnBoard(const std::string &hexPath, std::uint64_t cycleBudget) {
    BoardRun run;
    QuietStdout quiet;
    avr_t *avr = avr_make_mcu_by_name("atmega328p");
    if (!avr) {
        run.loadError = "simavr has no atmega328p";
        return run;
    }
    avr_init(avr);
    avr->log = LOG_ERROR;
    avr->frequency = kBoardClockHz;
    if (!loadHex(avr, hexPath, run.loadError)) {
        avr_terminate(avr);
        return run;
    }
    run.loaded = true;
    avr->pc = 0;

    hd44780_t lcd;
    hd44780_init(avr, &lcd, 20, 2);
    LcdBusMonitor monitor(kBoardClockHz);

    // PORTB bit n drives these, in this order.
    const int modelPins[] = {IRQ_HD44780_D4, IRQ_HD44780_D5, IRQ_HD44780_D6,
                             IRQ_HD44780_D7, IRQ_HD44780_RS, IRQ_HD44780_E};
    Probe probes[LcdBusMonitor::LineCount];
    for (int bit = 0; bit < LcdBusMonitor::LineCount; ++bit) {
        avr_irq_t *pin = avr_io_getirq(avr, AVR_IOCTL_IOPORT_GETIRQ('B'), bit);
        avr_connect_irq(pin, lcd.irq + modelPins[bit]);
        probes[bit] = {&monitor, avr, static_cast<LcdBusMonitor::Line>(bit)};
        avr_irq_register_notify(pin, onPin, &probes[bit]);
    }

    while (avr->cycle < cycleBudget) {
        if (atSelfJump(avr)) {
            run.reachedLoop = true;
            break;
        }
        const int state = avr_run(avr);
        if (state == cpu_Done || state == cpu_Crashed)
            break;
    }
    run.cycles = avr->cycle;
    // Let the last access finish in the part before reading its memory.
    const avr_cycle_count_t settle = avr->cycle + avr_usec_to_cycles(avr, 2000);
    while (run.reachedLoop && avr->cycle < settle)
        avr_run(avr);

    std::memcpy(run.cgram.data(), lcd.vram + kCgramOffset, run.cgram.size());
    std::memcpy(run.ddramLine1.data(), lcd.vram, run.ddramLine1.size());
    run.busViolations = monitor.violations();
    run.accesses = monitor.accesses();
    avr_terminate(avr);
    return run;
}

} // namespace glimmerset::avrtest
