#include "simulation/lcd_backpack.h"

#include "simulation/hex_text.h"
extern "C" {
#include <sim_avr.h>
}

#include <cstdio>
#include <map>

namespace glimmerset {

namespace {

std::string kilohertz(double hz) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f kHz", hz / 1e3);
    return text;
}

} // namespace

LcdBackpack::LcdBackpack(avr_t *avr, LcdBusMonitor &monitor, const BackpackWiring &wiring)
    : monitor_(monitor), wiring_(wiring), clockHz_(avr->frequency), expander_(wiring.address),
      twi_(avr, expander_) {
    // The pins come up high while the controller is in its power-on reset,
    // so the monitor hears of the lines only from the first byte written.
    expander_.latched = [this](std::uint8_t, std::uint8_t after, std::uint64_t cycle) {
        latched(after, cycle);
    };
    expander_.outside = [this](std::uint64_t cycle) { return outside(cycle); };
}

// A pin written 0 sinks its line; one written 1 only pulls it up weakly,
// which the module's own pull-ups and the controller's outputs override.
void LcdBackpack::latched(std::uint8_t after, std::uint64_t cycle) {
    const std::pair<int, lcd::Line> lines[] = {
        {wiring_.rs, lcd::RS},      {wiring_.rw, lcd::RW},      {wiring_.e, lcd::E},
        {wiring_.data[0], lcd::D4}, {wiring_.data[1], lcd::D5}, {wiring_.data[2], lcd::D6},
        {wiring_.data[3], lcd::D7},
    };
    unsigned driven = wiring_.rw < 0 ? lcd::lineBit(lcd::RW) : 0; // tied to ground
    unsigned levels = 0;
    for (const auto &[pin, line] : lines) {
        if (pin < 0)
            continue;
        if (after >> pin & 1)
            levels |= lcd::lineBit(line);
        else
            driven |= lcd::lineBit(line);
    }
    monitor_.busChanged(driven, levels, cycle);
    if (afterLatch)
        afterLatch(cycle);
}

// In a read the controller drives D4 to D7 onto their expander pins.
std::uint8_t LcdBackpack::outside(std::uint64_t cycle) {
    const std::uint8_t seen = monitor_.dataSeen(cycle);
    auto pins = static_cast<std::uint8_t>(0xFF);
    for (int i = 0; i < 4; ++i)
        if (!(seen >> (lcd::D4 + i) & 1))
            pins &= static_cast<std::uint8_t>(~(1u << wiring_.data[i]));
    return pins;
}

bool LcdBackpack::backlightOn() const {
    return wiring_.backlight < 0 || (expander_.latch() >> wiring_.backlight & 1);
}

std::string LcdBackpack::traffic() const {
    const TwiTraffic &t = twi_.traffic();
    if (t.bytes == 0)
        return "nothing went over the bus; does the program drive the TWI?";
    return std::to_string(t.bytes) + " bytes in " + std::to_string(t.transfers) +
           " transfers, SCL " + kilohertz(t.fastestSclHz) + " at most (the PCF8574 takes " +
           std::to_string(static_cast<int>(Pcf8574::kMaxSclHz / 1e3)) + " kHz)";
}

Findings LcdBackpack::findings() const {
    const TwiTraffic &t = twi_.traffic();
    Findings found;
    // Nobody answering is ordinary I2C, as in a bus scan; bytes for the LCD
    // that went nowhere are not.
    const auto addressList = [](const std::map<int, std::uint64_t> &addresses,
                                std::uint64_t &bytes) {
        std::string list;
        std::size_t named = 0;
        for (const auto &[address, count] : addresses) {
            bytes += count;
            if (named++ < 5)
                list += (list.empty() ? "" : ", ") + hexText(address);
        }
        if (addresses.size() > 5)
            list += " and " + std::to_string(addresses.size() - 5) + " more";
        return list;
    };
    const std::string backpack = hexText(wiring_.address);
    std::uint64_t unheard = 0;
    const std::string unheardAt = addressList(t.unheard, unheard);
    if (t.answered == 0 && t.bytes > 0)
        found.add(FindingKind::Failure, Rule::I2cMissed,
                  "the program never reached the backpack at " + backpack +
                      (unheard
                           ? ": it sent the LCD's bytes to " + unheardAt + ", where nobody answered"
                           : std::string(": nobody answered where it called")));
    else if (unheard > 0)
        found.addCount(FindingKind::Failure, Rule::I2cMissed,
                       "%n of the LCD's bytes went to " + unheardAt +
                           ", where nobody answered (the backpack is at " + backpack + ")",
                       unheard);
    if (!t.unanswered.empty()) {
        std::uint64_t bytes = 0;
        const std::string probed = addressList(t.unanswered, bytes);
        found.add(FindingKind::Note, Rule::I2cProbed,
                  "the program probed " + probed +
                      ", where nobody answered, as in a bus scan (the backpack is at " + backpack +
                      ")");
    }
    if (t.bytesOverLimit > 0) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "SCL at %s (TWBR %d, prescaler %d at %.6g MHz) for %%n bytes: the PCF8574 "
                      "takes %.0f kHz at most",
                      kilohertz(t.fastestSclHz).c_str(), t.fastestTwbr, t.fastestPrescaler,
                      clockHz_ / 1e6, Pcf8574::kMaxSclHz / 1e3);
        found.addCount(FindingKind::Violation, Rule::I2cScl, text, t.bytesOverLimit);
    }
    found.addCount(FindingKind::Violation, Rule::I2cStart,
                   "the TWI was asked to send a byte with no START before it, and sends nothing "
                   "then",
                   t.withoutStart);
    return found;
}

} // namespace glimmerset
