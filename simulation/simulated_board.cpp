#include "simulated_board.h"

#include "lcd_backpack.h"

extern "C" {
#include <avr_ioport.h>
#include <sim_avr.h>
#include <sim_hex.h>
#include <sim_io.h>
}

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

namespace glimmerset {

namespace {

// The module on the AVR's pins. simavr's own HD44780 part latches on E's
// rising edge and clears the busy flag when it is read, so the bus
// monitor is the controller: it sees every write to a port or its
// direction that carries one of the LCD's lines, and it answers the
// AVR's reads of those pins that are inputs.
class BusHookup {
public:
    BusHookup(avr_t *avr, const BoardWiring &wiring, LcdBusMonitor &monitor)
        : avr_(avr), wiring_(wiring), monitor_(monitor) {}
    BusHookup(const BusHookup &) = delete;
    BusHookup &operator=(const BusHookup &) = delete;

    // Taps every port the wiring names; the first it lacks, if any.
    std::optional<char> connect() {
        for (const BoardPin &pin : wiring_.pins)
            if (pin.wired() && !tap(pin.port))
                return pin.port;
        update();
        return std::nullopt;
    }

private:
    struct Tap {
        BusHookup *hookup;
        avr_ioport_t *port;
        avr_io_read_t read; // the port's own PIN read
        void *readParam;
        std::uint8_t ddr = 0;
        std::uint8_t out = 0;
    };

    Tap *tap(char name) {
        for (Tap &tap : taps_)
            if (tap.port->name == name)
                return &tap;
        avr_ioport_t *port = nullptr;
        for (avr_io_t *io = avr_->io_port; io && !port; io = io->next)
            if (std::strcmp(io->kind, "port") == 0 && reinterpret_cast<avr_ioport_t *>(io)->name == name)
                port = reinterpret_cast<avr_ioport_t *>(io);
        if (!port)
            return nullptr;
        taps_.reserve(lcd::kLineCount); // the taps' addresses go to simavr
        Tap &tap = taps_.emplace_back(Tap{this, port, nullptr, nullptr});
        tap.ddr = avr_->data[port->r_ddr];
        tap.out = avr_->data[port->r_port];
        avr_irq_register_notify(port->io.irq + IOPORT_IRQ_REG_PORT, onPort, &tap);
        avr_irq_register_notify(port->io.irq + IOPORT_IRQ_DIRECTION_ALL, onDirection, &tap);
        // simavr refuses a second reader of a register, so this one wraps the port's.
        auto &reader = avr_->io[AVR_DATA_TO_IO(port->r_pin)].r;
        tap.read = reader.c;
        tap.readParam = reader.param;
        reader.c = onPinRead;
        reader.param = &tap;
        return &tap;
    }

    static void onPort(avr_irq_t *, std::uint32_t value, void *param) {
        auto *tap = static_cast<Tap *>(param);
        tap->out = static_cast<std::uint8_t>(value);
        tap->hookup->update();
    }
    // Raised before the register changes, with its new value.
    static void onDirection(avr_irq_t *, std::uint32_t value, void *param) {
        auto *tap = static_cast<Tap *>(param);
        tap->ddr = static_cast<std::uint8_t>(value);
        tap->hookup->update();
    }

    static std::uint8_t onPinRead(avr_t *avr, avr_io_addr_t addr, void *param) {
        auto *tap = static_cast<Tap *>(param);
        std::uint8_t value = tap->read(avr, addr, tap->readParam);
        const BoardWiring &wiring = tap->hookup->wiring_;
        std::optional<std::uint8_t> seen;
        for (int line = lcd::D0; line <= lcd::D7; ++line) {
            const BoardPin pin = wiring.pins[line];
            if (pin.port != tap->port->name || (tap->ddr >> pin.bit & 1))
                continue;
            if (!seen)
                seen = tap->hookup->monitor_.dataSeen(avr->cycle);
            const auto bit = static_cast<std::uint8_t>(1u << pin.bit);
            value = static_cast<std::uint8_t>((*seen >> line & 1) ? value | bit : value & ~bit);
        }
        avr->data[addr] = value;
        return value;
    }

    void update() {
        unsigned driven = lcd::lineBit(lcd::RW); // tied to ground unless wired
        unsigned levels = 0;
        for (int line = 0; line < lcd::kLineCount; ++line) {
            const BoardPin pin = wiring_.pins[line];
            if (!pin.wired())
                continue;
            const Tap *tap = this->tap(pin.port);
            driven = (tap->ddr >> pin.bit & 1) ? driven | lcd::lineBit(line)
                                                : driven & ~lcd::lineBit(line);
            if (tap->out >> pin.bit & 1)
                levels |= lcd::lineBit(line);
        }
        monitor_.busChanged(driven, levels, avr_->cycle);
    }

    avr_t *avr_;
    const BoardWiring &wiring_;
    LcdBusMonitor &monitor_;
    std::vector<Tap> taps_;
};

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
    const BusTiming *timing = busTimingFor(config.supplyVolts);
    if (!timing) {
        run.loadError = "no HD44780 runs on " + std::to_string(config.supplyVolts) + " V";
        avr_terminate(avr);
        return run;
    }
    LcdBusMonitor monitor(config.clockHz, *timing);
    BusHookup hookup(avr, config.wiring, monitor);
    std::optional<LcdBackpack> backpack;
    if (config.wiring.backpack) {
        backpack.emplace(avr, monitor, *config.wiring.backpack);
        if (!backpack->attached())
            run.loadError = "the " + config.mcu + " has no TWI for the I2C backpack";
    } else if (const auto missing = hookup.connect()) {
        run.loadError = "the " + config.mcu + " has no port " + *missing;
    }
    if (!run.loadError.empty() || !loadHex(avr, hexPath, config.mcu, run.loadError)) {
        backpack.reset();
        avr_terminate(avr);
        return run;
    }
    run.loaded = true;
    avr->pc = 0;

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
    monitor.finish(avr->cycle);
    run.lcd = monitor.memory();
    run.findings = monitor.findings();
    run.writes = monitor.writes();
    run.dataWrites = monitor.dataWrites();
    run.reads = monitor.reads();
    if (backpack) {
        run.findings.merge(backpack->findings());
        run.i2cTraffic = backpack->traffic();
        run.backlightOn = backpack->backlightOn();
        backpack.reset(); // it gave the TWI's registers handlers of its own
    }
    avr_terminate(avr);
    return run;
}

} // namespace glimmerset
