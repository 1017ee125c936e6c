#include "simulated_board.h"

#include "lcd_backpack.h"

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
#include <optional>

namespace glimmerset {

namespace {

// Debian's simavr 1.6 part has one vram[80 + 64] and puts CGRAM address a at
// vram[64 + a], where DDRAM line 2 begins; the layout is the part's own and
// the same on every core. The bus monitor keeps the controller's memory as
// the datasheet has it, so only CGRAM and the start of line 1 are read from
// the part, to hold the two against each other. The part also latches on
// E's rising edge, not its falling one; the bus monitor's demand that data
// hold still while E is high covers both.
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

// The part and the cores print on stdout and stderr; keep the output ours.
class QuietOutput {
public:
    QuietOutput() {
        std::fflush(stdout);
        std::fflush(stderr);
        savedOut_ = dup(STDOUT_FILENO);
        savedErr_ = dup(STDERR_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            close(null);
        }
    }
    ~QuietOutput() {
        std::fflush(stdout);
        std::fflush(stderr);
        restore(savedOut_, STDOUT_FILENO);
        restore(savedErr_, STDERR_FILENO);
    }
    QuietOutput(const QuietOutput &) = delete;
    QuietOutput &operator=(const QuietOutput &) = delete;

private:
    static void restore(int saved, int fd) {
        if (saved >= 0) {
            dup2(saved, fd);
            close(saved);
        }
    }
    int savedOut_ = -1;
    int savedErr_ = -1;
};

bool loadHex(avr_t *avr, const std::string &path, const std::string &mcu, std::string &error) {
    ihex_chunk_p chunks = nullptr;
    const int count = read_ihex_chunks(path.c_str(), &chunks);
    if (count <= 0) {
        error = "can't read " + path;
        return false;
    }
    bool flash = false;
    for (int i = 0; i < count && error.empty(); ++i) {
        // Addresses from 0x800000 up are simavr's RAM and EEPROM images.
        if (chunks[i].baseaddr >= 0x800000)
            continue;
        const std::uint32_t end = chunks[i].baseaddr + chunks[i].size;
        if (end > avr->flashend + 1u) {
            error = "the program needs " + std::to_string(end) + " bytes of flash, the " + mcu +
                    " has " + std::to_string(avr->flashend + 1u);
            break;
        }
        avr_loadcode(avr, chunks[i].data, chunks[i].size, chunks[i].baseaddr);
        flash = true;
    }
    free_ihex_chunks(chunks);
    if (!flash && error.empty())
        error = path + " holds no code for the flash";
    return flash && error.empty();
}

bool atSelfJump(const avr_t *avr) {
    const std::uint32_t pc = avr->pc;
    if (pc + 1 > avr->flashend)
        return false;
    const unsigned word = avr->flash[pc] | avr->flash[pc + 1] << 8;
    if (word == 0xCFFF) // RJMP .-1
        return true;
    // JMP to its own address, on the cores that have it.
    if ((word & 0xFE0E) != 0x940C || pc + 3 > avr->flashend)
        return false;
    const std::uint32_t target =
        ((word & 0x01F0) >> 3 | (word & 1)) << 16 | avr->flash[pc + 2] | avr->flash[pc + 3] << 8;
    return target * 2 == pc;
}

} // namespace

bool simavrKnowsMcu(const std::string &name) {
    QuietOutput quiet;
    avr_t *avr = avr_make_mcu_by_name(name.c_str());
    if (!avr)
        return false;
    avr_terminate(avr);
    return true;
}

BoardRun runOnBoard(const std::string &hexPath, const BoardConfig &config,
                    std::uint64_t cycleBudget) {
    BoardRun run;
    run.cycleBudget = cycleBudget;
    run.clockHz = config.clockHz;
    QuietOutput quiet;
    avr_t *avr = avr_make_mcu_by_name(config.mcu.c_str());
    if (!avr) {
        run.loadError = "simavr has no core named " + config.mcu;
        return run;
    }
    avr_init(avr);
    avr->log = LOG_ERROR;
    avr->frequency = config.clockHz;
    const BoardWiring &wiring = config.wiring;
    if (!wiring.backpack && !avr_io_getirq(avr, AVR_IOCTL_IOPORT_GETIRQ(wiring.port), 0)) {
        run.loadError = "the " + config.mcu + " has no port " + wiring.port;
        avr_terminate(avr);
        return run;
    }
    if (!loadHex(avr, hexPath, config.mcu, run.loadError)) {
        avr_terminate(avr);
        return run;
    }
    run.loaded = true;
    avr->pc = 0;

    hd44780_t lcd;
    hd44780_init(avr, &lcd, 20, 2);
    LcdBusMonitor monitor(config.clockHz);

    const int modelPins[] = {IRQ_HD44780_D4, IRQ_HD44780_D5, IRQ_HD44780_D6, IRQ_HD44780_D7,
                             IRQ_HD44780_RS, IRQ_HD44780_E,  IRQ_HD44780_RW};
    Probe probes[LcdBusMonitor::LineCount];
    std::optional<LcdBackpack> backpack;
    if (wiring.backpack) {
        backpack.emplace(avr, &lcd, monitor, *wiring.backpack);
        if (!backpack->attached()) {
            run.loaded = false;
            run.loadError = "the " + config.mcu + " has no TWI for the I2C backpack";
            backpack.reset();
            avr_terminate(avr);
            return run;
        }
    }
    for (int line = 0; line < LcdBusMonitor::LineCount && !backpack; ++line) {
        const int bit = line == LcdBusMonitor::RW ? wiring.rwPin : wiring.pins[line];
        if (bit < 0)
            continue; // RW tied low: the part's RW input stays 0
        avr_irq_t *pin = avr_io_getirq(avr, AVR_IOCTL_IOPORT_GETIRQ(wiring.port), bit);
        avr_connect_irq(pin, lcd.irq + modelPins[line]);
        // With RW wired the part answers reads on the data lines.
        if (wiring.rwPin >= 0 && line <= LcdBusMonitor::D7)
            avr_connect_irq(lcd.irq + modelPins[line], pin);
        probes[line] = {&monitor, avr, static_cast<LcdBusMonitor::Line>(line)};
        avr_irq_register_notify(pin, onPin, &probes[line]);
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

    std::memcpy(run.partCgram.data(), lcd.vram + kCgramOffset, run.partCgram.size());
    std::memcpy(run.partLine1.data(), lcd.vram, run.partLine1.size());
    run.cgram = monitor.cgram();
    run.ddram = monitor.ddram();
    run.busViolations = monitor.violations();
    run.busWarnings = monitor.warnings();
    run.accesses = monitor.accesses();
    if (backpack) {
        run.i2cViolations = backpack->violations();
        run.i2cTraffic = backpack->traffic();
        run.backlightOn = backpack->backlightOn();
        backpack.reset();
    }
    avr_terminate(avr);
    return run;
}

} // namespace glimmerset
