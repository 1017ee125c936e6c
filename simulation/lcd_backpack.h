#pragma once

#include "simulation/backpack_wiring.h"
#include "simulation/findings.h"
#include "simulation/lcd_bus_monitor.h"
#include "simulation/pcf8574.h"
#include "simulation/twi_master.h"

#include <cstdint>
#include <functional>
#include <string>

struct avr_t;

namespace glimmerset {

// A PCF8574 backpack on the chip's TWI, its pins wired to the controller
// as the wiring maps them, so the LCD bus is judged at the expander's pins
// as it is at a port's. What the controller drives in a read comes back
// onto the expander's data pins.
class LcdBackpack {
public:
    LcdBackpack(avr_t *avr, LcdBusMonitor &monitor, const BackpackWiring &wiring);
    LcdBackpack(const LcdBackpack &) = delete;
    LcdBackpack &operator=(const LcdBackpack &) = delete;

    // False when the chip has no TWI.
    bool attached() const { return twi_.attached(); }

    // The I2C bus against the PCF8574's datasheet: each broken rule a
    // violation, its rule named "i2c-...".
    Findings findings() const;
    // What went over the bus, in one line.
    std::string traffic() const;
    bool backlightOn() const;

    // Called after each byte the expander latches, when set.
    std::function<void(std::uint64_t cycle)> afterLatch;

private:
    void latched(std::uint8_t after, std::uint64_t cycle);
    std::uint8_t outside(std::uint64_t cycle);

    LcdBusMonitor &monitor_;
    BackpackWiring wiring_;
    std::uint32_t clockHz_;
    Pcf8574 expander_;
    TwiMaster twi_;
};

} // namespace glimmerset
