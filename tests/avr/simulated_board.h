#pragma once

#include "lcd_bus_monitor.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace glimmerset::avrtest {

// The board the templates are written for: an ATmega328P at 16 MHz whose
// PORTB drives an HD44780 in 4-bit mode, PB0..PB3 to D4..D7, PB4 to RS,
// PB5 to E, RW tied low. Runs in simavr with its HD44780 part; a
// LcdBusMonitor listens on the same pins.
struct BoardRun {
    bool loaded = false;
    std::string loadError;
    bool reachedLoop = false; // stopped on a jump to itself
    std::uint64_t cycles = 0;
    std::array<std::uint8_t, 64> cgram{};
    std::array<std::uint8_t, 40> ddramLine1{};
    std::vector<std::string> busViolations;
    std::vector<LcdBusMonitor::Access> accesses;
};

inline constexpr std::uint32_t kBoardClockHz = 16'000'000;

// Runs the Intel hex file from reset until the program jumps to itself or
// cycleBudget cycles have passed.
BoardRun runOnBoard(const std::string &hexPath, std::uint64_t cycleBudget);

} // namespace glimmerset::avrtest
