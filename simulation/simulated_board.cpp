#include "simulation/simulated_board.h"

#include "simulation/hex_text.h"
#include "simulation/intel_hex.h"
#include "simulation/lcd_backpack.h"

extern "C" {
#include <avr_eeprom.h>
#include <avr_ioport.h>
#include <sim_avr.h>
#include <sim_io.h>

// simavr's table of cores; avr_make_mcu_by_name would print on stdout.
extern avr_kind_t *avr_kind[];
}

#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
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
        update(avr_->cycle);
        return std::nullopt;
    }

    GlassRecorder *recorder = nullptr; // told of every change, with a movie

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
            if (std::strcmp(io->kind, "port") == 0 &&
                reinterpret_cast<avr_ioport_t *>(io)->name == name)
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

    // simavr calls these while the writing instruction runs, at the cycle it
    // began; the pin changes as the instruction ends: an OUT after its one
    // cycle, SBI, CBI and the stores after their two.
    std::uint64_t writeEnds() const {
        const std::uint8_t *at = avr_->flash + avr_->pc;
        const unsigned opcode = at[0] | at[1] << 8;
        return avr_->cycle + ((opcode & 0xF800) == 0xB800 ? 1 : 2);
    }
    // The pin as the synchronizer latched it on the falling clock edge half
    // a cycle before the cycle that reads it: IN, SBIC and SBIS read in
    // their first cycle, the loads in their second.
    double pinSampled(const avr_t *avr) const {
        const std::uint8_t *at = avr->flash + avr->pc;
        const unsigned opcode = at[0] | at[1] << 8;
        const bool firstCycle = (opcode & 0xF800) == 0xB000 || (opcode & 0xFD00) == 0x9900;
        return static_cast<double>(avr->cycle) + (firstCycle ? -0.5 : 0.5);
    }

    static void onPort(avr_irq_t *, std::uint32_t value, void *param) {
        auto *tap = static_cast<Tap *>(param);
        tap->out = static_cast<std::uint8_t>(value);
        tap->hookup->update(tap->hookup->writeEnds());
    }
    // Raised before the register changes, with its new value.
    static void onDirection(avr_irq_t *, std::uint32_t value, void *param) {
        auto *tap = static_cast<Tap *>(param);
        tap->ddr = static_cast<std::uint8_t>(value);
        tap->hookup->update(tap->hookup->writeEnds());
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
                seen = tap->hookup->monitor_.dataSeen(tap->hookup->pinSampled(avr));
            const auto bit = static_cast<std::uint8_t>(1u << pin.bit);
            value = static_cast<std::uint8_t>((*seen >> line & 1) ? value | bit : value & ~bit);
        }
        avr->data[addr] = value;
        return value;
    }

    void update(std::uint64_t cycle) {
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
        monitor_.busChanged(driven, levels, cycle);
        if (recorder)
            recorder->busChanged(cycle);
    }

    avr_t *avr_;
    const BoardWiring &wiring_;
    LcdBusMonitor &monitor_;
    std::vector<Tap> taps_;
};

// simavr computes data addresses in 16 bits and program memory addresses
// for LPM and SPM from Z alone, but sizes its arrays by the chip and checks
// only some accesses, after logging, before it makes them anyway. With
// arrays this large whatever it lets through lands inside them; the guard
// below turns each such access into the run's fault.
constexpr std::size_t kDataSpan = 0x10000;
constexpr std::size_t kFlashSpan = 0x10000 + 0x200; // Z, an SPM page, a 32-bit opcode

avr_kind_t *findCore(const std::string &name) {
    for (int i = 0; avr_kind[i]; ++i)
        for (int j = 0; j < 4 && avr_kind[i]->names[j]; ++j)
            if (name == avr_kind[i]->names[j])
                return avr_kind[i];
    return nullptr;
}

// What the program did that the chip can't, in its own terms.
class Guard {
public:
    Guard(avr_t *avr, std::string mcu) : avr_(avr), mcu_(std::move(mcu)) {
        active_ = this;
        previousLogger_ = avr_global_logger_get();
        avr_global_logger_set(onLog);
        // Between the end of a small chip's RAM and simavr's I/O table the
        // core neither checks nor stores anywhere of the chip's own.
        for (unsigned a = avr->ramend + 1u; a < 31u + MAX_IOs; ++a) {
            avr_register_io_write(avr, static_cast<avr_io_addr_t>(a), onGapWrite, this);
            avr_register_io_read(avr, static_cast<avr_io_addr_t>(a), onGapRead, this);
        }
    }
    ~Guard() {
        avr_global_logger_set(previousLogger_);
        active_ = nullptr;
    }
    Guard(const Guard &) = delete;
    Guard &operator=(const Guard &) = delete;

    const std::string &fault() const { return fault_; }

    [[gnu::cold]] void ranPastFlash(std::uint32_t pc) {
        report("the program ran to flash address " + hexText(pc, 5) + ", past the end of the " +
               mcu_ + "'s flash (" + hexText(avr_->flashend, 5) + "): does it end in a loop?");
    }

    // The few instructions that end a run or reach into program memory:
    // how the run ends before simavr runs the one at pc, if it does.
    [[gnu::noinline]] std::optional<RunEnd> endsAt(std::uint32_t pc, unsigned opcode) {
        const std::uint32_t z = avr_->data[R_ZL] | avr_->data[R_ZH] << 8;
        const std::uint32_t rampz = avr_->rampz ? avr_->data[avr_->rampz] << 16 : 0;
        if (opcode == kRjmpToItself || isJumpToItself(pc, opcode)) {
            // Waiting for an interrupt: checked again once one has run.
            if (pc == idlePc_ && avr_->cycle - idleCycle_ <= 3) {
                idleCycle_ = avr_->cycle;
                return std::nullopt;
            }
            if (!interruptsCanFire())
                return RunEnd::Loop;
            idlePc_ = pc;
            idleCycle_ = avr_->cycle;
            return std::nullopt;
        }
        if (opcode == kSleep && !interruptsCanFire())
            return RunEnd::Asleep;
        if (opcode == 0x95C8 || (opcode & 0xFE0E) == 0x9004) // LPM
            return flashAccess("read", z);
        if ((opcode & 0xFE0E) == 0x9006) // ELPM: simavr takes RAMPZ, or r0 where there is none
            return flashAccess("read", z | avr_->data[avr_->rampz] << 16);
        if (opcode == 0x95E8) // SPM
            return flashAccess("wrote", z | rampz);
        return std::nullopt;
    }

    // Whether endsAt needs to see the instruction, one bit an opcode: it
    // runs before every instruction.
    static bool mayEnd(unsigned opcode) { return kMayEnd[opcode >> 6] >> (opcode & 63) & 1; }

private:
    static constexpr unsigned kRjmpToItself = 0xCFFF;
    static constexpr unsigned kSleep = 0x9588;
    static constexpr std::array<std::uint64_t, 1024> kMayEnd = [] {
        std::array<std::uint64_t, 1024> bits{};
        for (unsigned opcode = 0; opcode < 0x10000; ++opcode)
            if (opcode == kRjmpToItself || (opcode & 0xFF0F) == 0x9508 ||   // SLEEP, LPM, SPM, ...
                (opcode & 0xFE0C) == 0x9004 || (opcode & 0xFE0E) == 0x940C) // LPM Z, ELPM, JMP
                bits[opcode >> 6] |= std::uint64_t(1) << (opcode & 63);
        return bits;
    }();

    // The I flag set and some source enabled: a loop or a SLEEP may yet
    // be left.
    bool interruptsCanFire() const {
        if (!avr_->sreg[S_I])
            return false;
        for (int i = 0; i < avr_->interrupts.vector_count; ++i)
            if (const avr_int_vector_t *vector = avr_->interrupts.vector[i];
                vector && avr_regbit_get(avr_, vector->enable))
                return true;
        return false;
    }

    bool isJumpToItself(std::uint32_t pc, unsigned opcode) const {
        // JMP to its own address, on the cores that have it.
        if ((opcode & 0xFE0E) != 0x940C)
            return false;
        const std::uint32_t target = ((opcode & 0x01F0) >> 3 | (opcode & 1)) << 16 |
                                     avr_->flash[pc + 2] | avr_->flash[pc + 3] << 8;
        return target * 2 == pc;
    }

    // The first fault is the run's; the core stops there, which the loop
    // sees in its state.
    void report(const std::string &what) {
        if (fault_.empty())
            fault_ = what;
        avr_->state = cpu_Crashed;
    }

    std::optional<RunEnd> flashAccess(const char *verb, std::uint32_t address) {
        if (address <= avr_->flashend)
            return std::nullopt;
        report(std::string("the program ") + verb + " flash address " + hexText(address, 5) +
               ", past the " + mcu_ + "'s flash (" + hexText(avr_->flashend, 5) +
               "): was it assembled for another chip?");
        return RunEnd::Fault;
    }

    void dataAccess(bool write, std::uint32_t address) {
        // A push or call at the very top of the address space: SP wrapped
        // below 0 or was set there, not another chip's RAMEND.
        const unsigned sp = avr_->data[R_SPL] | avr_->data[R_SPH] << 8;
        if (write && address >= 0xFF00 && ((sp - address) & 0xFFFF) <= 3) {
            report("the program's stack reached data address " + hexText(address, 4) +
                   ", past the " + mcu_ + "'s RAM (" + hexText(avr_->ramend, 4) +
                   "): SP was never set (some chips start it at 0), set past RAM, or the calls "
                   "nest deeper than RAM holds");
            return;
        }
        report(std::string(write ? "the program wrote to data address "
                                 : "the program read data address ") +
               hexText(address, 4) + ", past the " + mcu_ + "'s RAM (" + hexText(avr_->ramend, 4) +
               "): was it assembled for another chip?");
    }

    static void onGapWrite(avr_t *, avr_io_addr_t address, std::uint8_t, void *param) {
        static_cast<Guard *>(param)->dataAccess(true, address);
    }
    static std::uint8_t onGapRead(avr_t *, avr_io_addr_t address, void *param) {
        static_cast<Guard *>(param)->dataAccess(false, address);
        return 0;
    }

    // simavr logs an access past RAMEND before it makes it.
    static void onLog(avr_t *avr, int, const char *format, va_list args) {
        const bool write = std::strstr(format, "Invalid write address");
        if (!active_ || avr != active_->avr_ ||
            (!write && !std::strstr(format, "Invalid read address")))
            return;
        char text[256];
        std::vsnprintf(text, sizeof text, format, args);
        const char *at = std::strstr(text, "Address ");
        if (at)
            active_->dataAccess(write, std::strtoul(at + 8, nullptr, 16));
    }

    static inline Guard *active_ = nullptr;
    avr_t *avr_;
    std::string mcu_;
    std::string fault_;
    avr_logger_p previousLogger_ = nullptr;
    std::uint32_t idlePc_ = ~0u; // a jump to itself that interrupts may leave
    std::uint64_t idleCycle_ = 0;
};

// The older chips' PIN registers are read-only; simavr toggles the port on
// a write of ones all the same, as the newer chips' datasheets have it.
class ReadOnlyPins {
public:
    ReadOnlyPins(avr_t *avr, const std::string &mcu) : mcu_(mcu) {
        static constexpr const char *kWithout[] = {
            "atmega8",    "atmega16",   "atmega32",  "atmega64",  "atmega128",
            "atmega103",  "atmega161",  "atmega162", "atmega163", "atmega323",
            "atmega8515", "atmega8535", "attiny22",  "attiny26"};
        const std::string base = mcu.size() > 1 && (mcu.back() == 'a' || mcu.back() == 'l')
                                     ? mcu.substr(0, mcu.size() - 1)
                                     : mcu;
        const bool without =
            mcu.starts_with("at90s") ||
            std::any_of(std::begin(kWithout), std::end(kWithout),
                        [&](const char *name) { return mcu == name || base == name; });
        if (!without)
            return;
        for (avr_io_t *io = avr->io_port; io; io = io->next)
            if (std::strcmp(io->kind, "port") == 0) {
                auto &writer =
                    avr->io[AVR_DATA_TO_IO(reinterpret_cast<avr_ioport_t *>(io)->r_pin)].w;
                writer.c = onWrite;
                writer.param = this;
            }
    }

    // A write of ones meant to toggle pins, which did nothing.
    std::uint64_t toggles = 0;
    std::uint64_t firstCycle = 0;

private:
    static void onWrite(avr_t *avr, avr_io_addr_t, std::uint8_t value, void *param) {
        auto *self = static_cast<ReadOnlyPins *>(param);
        if (value && self->toggles++ == 0)
            self->firstCycle = avr->cycle;
    }

    std::string mcu_;
};

// simavr's own sleep waits in real time.
void sleepNot(avr_t *, avr_cycle_count_t) {}

bool load(avr_t *avr, const ProgramImage &image, const std::string &path, const std::string &mcu,
          std::string &error) {
    bool code = false;
    for (const auto &[base, bytes] : image.flash) {
        if (bytes.empty())
            continue;
        const std::uint64_t end = std::uint64_t(base) + bytes.size();
        if (end > avr->flashend + 1u) {
            error = "the program needs " + std::to_string(end) + " bytes of flash, the " + mcu +
                    " has " + std::to_string(avr->flashend + 1u);
            return false;
        }
        avr_loadcode(avr, const_cast<std::uint8_t *>(bytes.data()),
                     static_cast<std::uint32_t>(bytes.size()), base);
        code = true;
    }
    if (!code) {
        error = path + " holds no code for the flash";
        return false;
    }
    if (!image.eeprom.empty()) {
        if (image.eeprom.size() > avr->e2end + 1u) {
            error = "the program's EEPROM image has " + std::to_string(image.eeprom.size()) +
                    " bytes, the " + mcu + " has " + std::to_string(avr->e2end + 1u);
            return false;
        }
        avr_eeprom_desc_t desc{const_cast<std::uint8_t *>(image.eeprom.data()), 0,
                               static_cast<std::uint32_t>(image.eeprom.size())};
        avr_ioctl(avr, AVR_IOCTL_EEPROM_SET, &desc);
    }
    return true;
}

// A core of simavr, initialised, with its data and flash arrays grown to
// hold whatever simavr lets a program reach and the second word of an
// instruction at the very end. The growth is mapped, not written: pages a
// run never touches cost nothing. Terminated when it goes.
class Core {
public:
    Core(avr_kind_t *kind, std::uint32_t clockHz) : avr_(kind->make()) {
        avr_init(avr_);
        avr_->log = LOG_ERROR;
        avr_->frequency = clockHz;
        avr_->sleep = sleepNot;
        data_ = widen(avr_->data, avr_->ramend + 1u, kDataSpan, 0);
        flash_ = widen(avr_->flash, avr_->flashend + 1u, kFlashSpan, 0xFF);
    }
    ~Core() {
        // Ours to unmap, not simavr's to free.
        avr_->data = avr_->flash = nullptr;
        avr_terminate(avr_);
        munmap(data_.first, data_.second);
        munmap(flash_.first, flash_.second);
    }
    Core(const Core &) = delete;
    Core &operator=(const Core &) = delete;

    avr_t *get() const { return avr_; }

private:
    using Mapping = std::pair<void *, std::size_t>;

    static Mapping widen(std::uint8_t *&memory, std::size_t size, std::size_t span,
                         std::uint8_t fill) {
        constexpr std::size_t kPad = 4;
        span = std::max(span, size + kPad);
        void *wider =
            mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (wider == MAP_FAILED)
            throw std::bad_alloc();
        auto *bytes = static_cast<std::uint8_t *>(wider);
        std::memcpy(bytes, memory, size);
        std::memset(bytes + size, fill, kPad);
        std::free(memory);
        memory = bytes;
        return {wider, span};
    }

    avr_t *avr_;
    Mapping data_{}, flash_{};
};

// Runs until limit cycles have passed or the program ends, as RunEnd says.
RunEnd runUntil(avr_t *avr, Guard &guard, std::uint64_t limit) {
    while (avr->cycle < limit) {
        const std::uint32_t pc = avr->pc;
        if (pc >= avr->flashend) [[unlikely]] {
            guard.ranPastFlash(pc);
            return RunEnd::Fault;
        }
        static_assert(std::endian::native == std::endian::little, "the flash holds words so");
        std::uint16_t opcode;
        std::memcpy(&opcode, avr->flash + pc, sizeof opcode);
        if (Guard::mayEnd(opcode)) [[unlikely]] {
            if (const auto end = guard.endsAt(pc, opcode))
                return *end;
        }
        avr->run(avr);
        // Stopped, crashed or done: simavr runs no further cycles.
        if (avr->state != cpu_Running && avr->state != cpu_Sleeping) [[unlikely]]
            return RunEnd::Fault;
    }
    return RunEnd::TimeUp;
}

} // namespace

bool simavrKnowsMcu(const std::string &name) {
    return findCore(name) != nullptr;
}

BoardRun simulateBoard(const ProgramFile &program, const BoardConfig &config, double seconds) {
    BoardRun run;
    run.mcu = config.mcu;
    run.clockHz = config.clockHz ? config.clockHz : kDefaultClockHz;
    // Intel hex is read against the chip's flash, which an ELF may name.
    ProgramImage image;
    if (program.format == ProgramFile::Elf && !readAvrElf(program.path, image, run.loadError))
        return run;
    run.clockAssumed = config.clockAssumed;
    avr_kind_t *core = findCore(run.mcu);
    if (!core) {
        run.loadError = "simavr has no core named " + run.mcu;
        return run;
    }
    const BusTiming *timing = busTimingFor(config.supplyVolts);
    if (!timing) {
        run.loadError = "no HD44780 runs on " + std::to_string(config.supplyVolts) + " V";
        return run;
    }
    const Core chip(core, run.clockHz);
    avr_t *avr = chip.get();
    if (program.format == ProgramFile::IntelHex &&
        !readIntelHex(program.path, avr->flashend + 1u, image, run.loadError))
        return run;
    LcdBusMonitor monitor(run.clockHz, *timing, config.startupMs);
    if (!config.wiring.backpack)
        monitor.keepEdges();
    monitor.setRwTied(config.wiring.backpack ? config.wiring.backpack->rw < 0
                                             : !config.wiring.pins[lcd::RW].wired());
    BusHookup hookup(avr, config.wiring, monitor);
    // Declared after the core: it gives the TWI's registers handlers of its
    // own and goes before the core does.
    std::optional<LcdBackpack> backpack;
    if (config.wiring.backpack) {
        backpack.emplace(avr, monitor, *config.wiring.backpack);
        if (!backpack->attached())
            run.loadError = "the " + run.mcu + " has no TWI for the I2C backpack";
    } else if (const auto missing = hookup.connect()) {
        run.loadError = "the " + run.mcu + " has no port " + *missing;
    }
    if (!run.loadError.empty() || !load(avr, image, program.path, run.mcu, run.loadError))
        return run;
    ReadOnlyPins readOnlyPins(avr, run.mcu);
    run.loaded = true;
    avr->pc = 0;

    std::optional<GlassRecorder> recorder;
    if (config.movie) {
        recorder.emplace(monitor, config.lcd,
                         static_cast<std::uint64_t>(config.movieMergeSeconds * run.clockHz),
                         [&] { return !backpack || backpack->backlightOn(); });
        hookup.recorder = &*recorder;
        if (backpack)
            backpack->afterLatch = [&](std::uint64_t cycle) { recorder->busChanged(cycle); };
    }

    Guard guard(avr, run.mcu);
    run.cycleBudget = static_cast<std::uint64_t>(seconds * run.clockHz);
    const std::uint64_t snapshot =
        config.snapshotSeconds
            ? std::min(static_cast<std::uint64_t>(*config.snapshotSeconds * run.clockHz),
                       run.cycleBudget)
            : run.cycleBudget;
    run.end = runUntil(avr, guard, snapshot);
    run.snapshot = monitor.memory();
    if (snapshot < run.cycleBudget && run.end == RunEnd::TimeUp)
        run.end = runUntil(avr, guard, run.cycleBudget);
    run.cycles = avr->cycle;
    if (run.end == RunEnd::Fault)
        run.fault = guard.fault().empty() ? "simavr stopped the core: the program did what "
                                            "the simulator can't follow"
                                          : guard.fault();
    monitor.finish(avr->cycle);
    for (avr_io_t *io = avr->io_port; io; io = io->next) {
        if (std::strcmp(io->kind, "port") != 0)
            continue;
        const auto *port = reinterpret_cast<avr_ioport_t *>(io);
        std::uint8_t outputs = avr->data[port->r_ddr];
        for (const BoardPin &pin : config.wiring.pins)
            if (pin.wired() && pin.port == port->name)
                outputs &= static_cast<std::uint8_t>(~(1u << pin.bit));
        run.outputsElsewhere = run.outputsElsewhere || outputs;
    }
    run.lcd = monitor.memory();
    run.findings = monitor.findings();
    run.writes = monitor.writes();
    run.dataWrites = monitor.dataWrites();
    run.reads = monitor.reads();
    if (recorder)
        run.frames = recorder->takeFrames();
    run.busEdges = monitor.edges();
    if (readOnlyPins.toggles > 0)
        run.findings.add(FindingKind::Failure, Rule::PinToggle,
                         "the program writes ones to a PIN register to toggle pins, which the " +
                             run.mcu +
                             " doesn't do (its datasheet has no such feature): the "
                             "pins stay as they were",
                         [&] {
                             return std::to_string(readOnlyPins.toggles) +
                                    " writes, the first "
                                    "at cycle " +
                                    std::to_string(readOnlyPins.firstCycle);
                         });
    if (backpack) {
        run.findings.merge(backpack->findings());
        run.i2cTraffic = backpack->traffic();
        run.backlightOn = backpack->backlightOn();
    }
    return run;
}

} // namespace glimmerset
