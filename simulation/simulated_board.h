#pragma once

#include "simulation/board_wiring.h"
#include "simulation/findings.h"
#include "simulation/glass_recorder.h"
#include "glyphs/lcd_layout.h"
#include "simulation/lcd_bus_monitor.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace glimmerset {

// The clock a program runs at when neither the user nor the program names
// one, and the range a named one must lie in.
inline constexpr std::uint32_t kDefaultClockHz = 16'000'000;
inline constexpr double kMinClockMhz = 0.001;
inline constexpr double kMaxClockMhz = 100;

// An AVR in simavr with an HD44780 module on its pins, or on a PCF8574
// backpack on its TWI: the LcdBusMonitor is the controller, as the
// datasheet has it.
struct BoardConfig {
    // Settled before the run (verify resolves them from the options and
    // what the program names); an ELF's .mmcu section is not read here.
    std::string mcu = "atmega328p"; // a simavr core name
    std::uint32_t clockHz = kDefaultClockHz;
    BoardWiring wiring;
    double supplyVolts = 5; // picks the datasheet's bus timing
    lcd::Geometry lcd = lcd::kDefaultGeometry;
    bool clockAssumed = false; // nothing named the clock: the default was taken
    // From power-on to the program's first instruction: the chip's start-up
    // delay, 65 ms with the factory fuses and on Arduino boards.
    double startupMs = 65;
    // Rules the user knowingly breaks: counted and named, failing nothing.
    std::vector<Rule> accepted;
    // What the run keeps of the glass besides its end: the controller's
    // memory at snapshotSeconds, and with movie a frame at each change,
    // changes within movieMergeSeconds of a frame's start joining it.
    std::optional<double> snapshotSeconds;
    bool movie = false;
    double movieMergeSeconds = 0;
};

struct ProgramFile {
    enum Format { IntelHex, Elf };
    std::string path;
    Format format = IntelHex;
};

// How a run ended.
enum class RunEnd : std::uint8_t {
    Loop,   // on a jump to itself that no interrupt can leave
    Asleep, // on a SLEEP that no interrupt can wake
    TimeUp, // the simulated time ran out
    Fault,  // the program did what the chip can't: BoardRun::fault says what
};

struct BoardRun {
    bool loaded = false;
    std::string loadError;
    std::string mcu;
    std::uint32_t clockHz = 0;
    RunEnd end = RunEnd::TimeUp;
    std::string fault;
    std::uint64_t cycles = 0;
    std::uint64_t cycleBudget = 0;
    LcdMemory lcd;     // the controller's memory at the end
    Findings findings; // what the bus showed
    std::uint64_t writes = 0;     // instructions and data
    std::uint64_t dataWrites = 0; // of those, into DDRAM or CGRAM
    std::uint64_t reads = 0;
    // With the LCD on an I2C backpack: what went over the bus, and the
    // backlight as the expander left it. The I2C rules are in findings.
    std::string i2cTraffic;
    bool backlightOn = true;
    // The memory at BoardConfig::snapshotSeconds, or at the end of a run
    // that ended before; with a movie, its frames.
    LcdMemory snapshot;
    std::vector<GlassFrame> frames;
    bool clockAssumed = false; // neither the caller nor the program named it
    // Pins the program made outputs that the LCD's wiring doesn't name.
    bool outputsElsewhere = false;
    std::vector<BusEdge> busEdges; // the first of a parallel bus's, as heard

    bool operator==(const BoardRun &) const = default;
};

inline constexpr double kMaxSimulatedSeconds = 60;

// simavr's core names ("atmega8", "attiny2313", ...) that it can build.
bool simavrKnowsMcu(const std::string &name);

// Runs the program from reset, in this process, until it jumps to itself
// or sleeps where no interrupt can fire (the I flag clear or no source
// enabled), does what the chip can't (an access past its
// RAM or flash) or the simulated seconds have passed. simavr doesn't check
// everything a program does; runOnBoard (board_process.h) keeps whatever it
// misses away from the caller.
BoardRun simulateBoard(const ProgramFile &program, const BoardConfig &config, double seconds);

} // namespace glimmerset
