#pragma once

#include "backpack_wiring.h"

#include <QString>

#include <array>
#include <optional>

namespace glimmerset {

// Where the LCD hangs on the MCU: one port, and the bit of that port for
// each of D4 D5 D6 D7 RS E and, unless tied low, RW.
struct BoardWiring {
    char port = 'B';
    std::array<int, 6> pins{0, 1, 2, 3, 4, 5}; // D4 D5 D6 D7 RS E
    int rwPin = -1;                            // -1: RW tied low
    // Set when the LCD hangs on an I2C backpack instead of a port.
    std::optional<BackpackWiring> backpack;

    bool operator==(const BoardWiring &) const = default;
};

// The written form, "B:0,1,2,3,4,5,low": the port letter, then the bits of
// D4 D5 D6 D7 RS E and RW ("low" when tied to ground).
QString wiringSpec(const BoardWiring &wiring);

// Reads a written form, a backpack's "i2c:..." too; a message a user can read when it doesn't parse.
std::optional<BoardWiring> parseWiring(const QString &text, QString *error);

inline constexpr char kWiringHelp[] =
    "PORT:D4,D5,D6,D7,RS,E,RW with pin numbers 0 to 7 and RW \"low\" when tied to ground";

} // namespace glimmerset
