#pragma once

#include "board_wiring.h"
#include "lcd_bus_monitor.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace glimmerset {

// An AVR in simavr with its HD44780 part (4-bit mode) wired to one port,
// and an LcdBusMonitor on the same pins.
struct BoardConfig {
    std::string mcu = "atmega328p";     // a simavr core name; empty: the ELF's .mmcu names it
    std::uint32_t clockHz = 16'000'000; // 0: the ELF's .mmcu, else 16 MHz
    BoardWiring wiring;
};

struct ProgramFile {
    enum Format { IntelHex, Elf };
    std::string path;
    Format format = IntelHex;
};

// How a run ended.
enum class RunEnd : std::uint8_t {
    Loop,   // on a jump to itself
    Asleep, // on a SLEEP with interrupts off, which nothing wakes
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
    // The controller's memory as the bus monitor decoded it from the writes.
    std::array<std::uint8_t, 64> cgram{};
    std::array<std::uint8_t, LcdBusMonitor::kDdramSize> ddram{};
    // What simavr's part holds: its CGRAM and the start of DDRAM line 1.
    std::array<std::uint8_t, 64> partCgram{};
    std::array<std::uint8_t, 40> partLine1{};
    std::vector<std::string> busViolations;
    std::vector<std::string> busWarnings;
    std::vector<LcdBusMonitor::Access> accesses;

    bool operator==(const BoardRun &) const = default;
};

inline constexpr double kMaxSimulatedSeconds = 60;

// simavr's core names ("atmega8", "attiny2313", ...) that it can build.
bool simavrKnowsMcu(const std::string &name);

// Runs the program from reset, in this process, until it jumps to itself,
// sleeps with interrupts off, does what the chip can't (an access past its
// RAM or flash) or the simulated seconds have passed. simavr doesn't check
// everything a program does; runOnBoard (board_process.h) keeps whatever it
// misses away from the caller.
BoardRun simulateBoard(const ProgramFile &program, const BoardConfig &config, double seconds);

} // namespace glimmerset
