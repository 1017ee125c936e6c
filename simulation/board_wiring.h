#pragma once

#include "simulation/backpack_wiring.h"
#include "glyphs/lcd_layout.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace glimmerset {

// One pin of the MCU: a port letter and a bit of it.
struct BoardPin {
    char port = 0; // 0: not wired
    int bit = -1;

    bool wired() const { return port != 0; }
    bool operator==(const BoardPin &) const = default;
};

// Where each line of the LCD hangs on the MCU, indexed by lcd::Line. RW
// unwired is tied to ground; D0..D3 unwired are open, a 4-bit bus.
struct BoardWiring {
    std::array<BoardPin, lcd::kLineCount> pins{{{}, {}, {}, {}, // D0..D3
                                                {'B', 0},
                                                {'B', 1},
                                                {'B', 2},
                                                {'B', 3},
                                                {'B', 4}, // RS
                                                {},       // RW
                                                {'B', 5}}};

    // Set when the LCD hangs on an I2C backpack instead; pins is empty then.
    std::optional<BackpackWiring> backpack;

    bool eightBit() const { return pins[lcd::D0].wired(); }
    bool operator==(const BoardWiring &) const = default;
};

// The short form "B:0,1,2,3,4,5,low" when the wiring fits it (a 4-bit bus
// on one port), else the named form "rs=B4,e=B3,d4=D5,d5=D4,d6=D3,d7=D2";
// a backpack's "i2c:0x27" form.
QString wiringSpec(const BoardWiring &wiring);

// An Arduino board as verify --board knows it: chip, clock and supply, and
// the port pin behind each of its pin numbers, two characters a pin ("D0B5")
// in number order, A0 being analogFirst.
struct ArduinoBoard {
    const char *name; // "uno"
    const char *title;
    const char *mcu; // a simavr core name
    std::uint32_t clockHz;
    double supplyVolts;
    const char *pins;
    int analogFirst;
    int analogCount; // A0 to A(analogCount-1) work as digital pins

    int pinCount() const;
    BoardPin pin(int number) const;
};

// Uno, Nano, Mega 2560, Leonardo and the 3.3 V Pro Mini; the Uno's numbers
// are what arduino: means without a board.
const ArduinoBoard *arduinoBoardNamed(const QString &name);
const ArduinoBoard &unoBoard();
QString arduinoBoardNames(); // "uno, nano, ..."

// Reads any of the written forms: the short one, the named one, and
// "arduino:12,11,5,4,3,2", the Arduino LiquidCrystal constructor's pins
// (rs, enable, d4..d7; or rs, rw, enable, d4..d7; or either with d0..d7)
// as numbered on board; and a backpack's "i2c:...". A message a user can
// read when it doesn't parse, naming the form it was read as.
std::optional<BoardWiring> parseWiring(const QString &text, QString *error,
                                       const ArduinoBoard &board = unoBoard());

// Every written form with its grammar and an example, for a help text: the
// same words the parse errors use.
QString wiringHelp();

} // namespace glimmerset
