#pragma once

#include <QString>

#include <array>
#include <optional>

namespace glimmerset {

// An LCD on a PCF8574 I2C backpack: the expander's 7-bit address and the
// expander pin (0 to 7) that drives each LCD line. The default is the
// mapping of the common modules.
struct BackpackWiring {
    int address = 0x27;
    int rs = 0;
    int rw = 1; // -1: RW tied low
    int e = 2;
    int backlight = 3; // -1: no backlight switch, always on
    std::array<int, 4> data{4, 5, 6, 7}; // D4 D5 D6 D7

    bool operator==(const BackpackWiring &) const = default;
};

// Whether the text is meant as a backpack wiring: it begins with "i2c:".
bool isBackpackWiring(const QString &text);

// "i2c:0x27", and ":rs=0,rw=1,e=2,bl=3,d4=4,d5=5,d6=6,d7=7" behind it
// when the mapping is another one.
QString backpackSpec(const BackpackWiring &wiring);

// For the report: the written form and what each expander pin drives.
QString backpackDescription(const BackpackWiring &wiring);

// Reads a written form; a message a user can read when it doesn't parse.
std::optional<BackpackWiring> parseBackpackWiring(const QString &text, QString *error);

inline constexpr char kBackpackWiringHelp[] =
    "i2c:ADDRESS[:rs=0,rw=1,e=2,bl=3,d4=4,d5=5,d6=6,d7=7] with a PCF8574 address 0x20 to 0x27 "
    "or a PCF8574A one 0x38 to 0x3F, and the expander pin of each LCD line (rw and bl may be "
    "left out)";

} // namespace glimmerset
