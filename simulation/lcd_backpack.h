#pragma once

#include "backpack_wiring.h"
#include "lcd_bus_monitor.h"
#include "pcf8574.h"
#include "twi_master.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct avr_t;
struct avr_irq_t;
struct hd44780_t;

namespace glimmerset {

// A PCF8574 backpack on the chip's TWI, its pins wired to simavr's HD44780
// part and to the bus monitor as the wiring maps them, so the LCD bus is
// judged at the expander's pins as it is at a port's. The part's answers to
// a read come back onto the expander's data pins.
class LcdBackpack {
public:
    LcdBackpack(avr_t *avr, hd44780_t *lcd, LcdBusMonitor &monitor, const BackpackWiring &wiring);
    LcdBackpack(const LcdBackpack &) = delete;
    LcdBackpack &operator=(const LcdBackpack &) = delete;

    // False when the chip has no TWI.
    bool attached() const { return twi_.attached(); }

    // The I2C bus against the PCF8574's datasheet, each broken rule once in
    // words; empty when every rule held.
    std::vector<std::string> violations() const;
    // What went over the bus, in one line.
    std::string traffic() const;
    bool backlightOn() const;

private:
    struct PartPin {
        LcdBackpack *self;
        int pin;
    };
    static void onPartData(avr_irq_t *, std::uint32_t value, void *param);
    void latched(std::uint8_t after, std::uint64_t cycle);

    hd44780_t *lcd_;
    LcdBusMonitor &monitor_;
    BackpackWiring wiring_;
    std::uint32_t clockHz_;
    Pcf8574 expander_;
    TwiMaster twi_;
    // The levels the LCD was told of. Its lines start quiet: the pins come
    // up high, but the controller is in its power-on reset then.
    std::uint8_t told_ = 0;
    bool driving_ = false;
    std::uint8_t partLow_ = 0; // expander pins the part pulls low in a read
    std::array<PartPin, 4> partPins_{};
};

} // namespace glimmerset
