#pragma once

#include "board_wiring.h"
#include "findings.h"
#include "lcd_bus_monitor.h"
#include "glyphs/lcd_layout.h"

#include <cstdint>
#include <string>

namespace glimmerset {

// An AVR in simavr with an HD44780 module on its pins, or on a PCF8574
// backpack on its TWI: the LcdBusMonitor is the controller, as the
// datasheet has it.
struct BoardConfig {
    std::string mcu = "atmega328p"; // a simavr core name
    std::uint32_t clockHz = 16'000'000;
    BoardWiring wiring;
    double supplyVolts = 5; // picks the datasheet's bus timing
    lcd::Geometry lcd = lcd::kDefaultGeometry;
};

struct BoardRun {
    bool loaded = false;
    std::string loadError;
    bool reachedLoop = false; // stopped on a jump to itself
    std::uint64_t cycles = 0;
    std::uint64_t cycleBudget = 0;
    std::uint32_t clockHz = 0;
    LcdMemory lcd;     // the controller's memory at the end
    Findings findings; // what the bus showed
    std::uint64_t writes = 0;     // instructions and data
    std::uint64_t dataWrites = 0; // of those, into DDRAM or CGRAM
    std::uint64_t reads = 0;
    // With the LCD on an I2C backpack: what went over the bus, and the
    // backlight as the expander left it. The I2C rules are in findings.
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
