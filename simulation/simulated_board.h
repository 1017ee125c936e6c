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
    std::string mcu = "atmega328p"; // a simavr core name
    std::uint32_t clockHz = 16'000'000;
    BoardWiring wiring;
};

struct BoardRun {
    bool loaded = false;
    std::string loadError;
    bool reachedLoop = false; // stopped on a jump to itself
    std::uint64_t cycles = 0;
    std::uint64_t cycleBudget = 0;
    std::uint32_t clockHz = 0;
    // The controller's memory as the bus monitor decoded it from the writes.
    std::array<std::uint8_t, 64> cgram{};
    std::array<std::uint8_t, LcdBusMonitor::kDdramSize> ddram{};
    // What simavr's part holds: its CGRAM and the start of DDRAM line 1.
    std::array<std::uint8_t, 64> partCgram{};
    std::array<std::uint8_t, 40> partLine1{};
    std::vector<std::string> busViolations;
    std::vector<std::string> busWarnings;
    std::vector<LcdBusMonitor::Access> accesses;
    // With the LCD on an I2C backpack: the bus against the PCF8574's rules.
    std::vector<std::string> i2cViolations;
    std::string i2cTraffic;
    bool backlightOn = true;
};

// simavr's core names ("atmega8", "attiny2313", ...) that it can build.
bool simavrKnowsMcu(const std::string &name);

// Runs the Intel hex file from reset until the program jumps to itself or
// cycleBudget cycles have passed.
BoardRun runOnBoard(const std::string &hexPath, const BoardConfig &config,
                    std::uint64_t cycleBudget);

} // namespace glimmerset
