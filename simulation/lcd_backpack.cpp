#include "lcd_backpack.h"

extern "C" {
#include <hd44780.h>
#include <sim_avr.h>
}

#include <cstdio>

namespace glimmerset {

namespace {

std::string hexAddress(int address) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", address);
    return text;
}

std::string kilohertz(double hz) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f kHz", hz / 1e3);
    return text;
}

} // namespace

LcdBackpack::LcdBackpack(avr_t *avr, hd44780_t *lcd, LcdBusMonitor &monitor,
                         const BackpackWiring &wiring)
    : lcd_(lcd), monitor_(monitor), wiring_(wiring), clockHz_(avr->frequency),
      expander_(wiring.address), twi_(avr, expander_) {
    expander_.latched = [this](std::uint8_t, std::uint8_t after, std::uint64_t cycle) {
        latched(after, cycle);
    };
    expander_.outside = [this](std::uint64_t) { return static_cast<std::uint8_t>(~partLow_); };
    for (int i = 0; i < 4; ++i) {
        partPins_[i] = {this, wiring.data[i]};
        avr_irq_register_notify(lcd->irq + IRQ_HD44780_D4 + i, onPartData, &partPins_[i]);
    }
}

// The part drives its data lines while it answers a read.
void LcdBackpack::onPartData(avr_irq_t *, std::uint32_t value, void *param) {
    auto *pin = static_cast<PartPin *>(param);
    const auto bit = static_cast<std::uint8_t>(1u << pin->pin);
    if (!pin->self->driving_)
        pin->self->partLow_ = value ? pin->self->partLow_ & ~bit : pin->self->partLow_ | bit;
}

void LcdBackpack::latched(std::uint8_t after, std::uint64_t cycle) {
    struct Line {
        int pin;
        LcdBusMonitor::Line line;
        int partIrq;
    };
    // E last: the controller takes what the other lines hold at its edges.
    const Line lines[] = {
        {wiring_.data[0], LcdBusMonitor::D4, IRQ_HD44780_D4},
        {wiring_.data[1], LcdBusMonitor::D5, IRQ_HD44780_D5},
        {wiring_.data[2], LcdBusMonitor::D6, IRQ_HD44780_D6},
        {wiring_.data[3], LcdBusMonitor::D7, IRQ_HD44780_D7},
        {wiring_.rs, LcdBusMonitor::RS, IRQ_HD44780_RS},
        {wiring_.rw, LcdBusMonitor::RW, IRQ_HD44780_RW},
        {wiring_.e, LcdBusMonitor::E, IRQ_HD44780_E},
    };
    driving_ = true;
    for (const Line &line : lines) {
        if (line.pin < 0)
            continue;
        const auto bit = static_cast<std::uint8_t>(1u << line.pin);
        if ((after & bit) == (told_ & bit))
            continue;
        const bool level = after & bit;
        told_ ^= bit;
        avr_raise_irq(lcd_->irq + line.partIrq, level);
        monitor_.lineChanged(line.line, level, cycle);
        // When E falls the controller lets go of the data lines.
        if (line.line == LcdBusMonitor::E && !level)
            partLow_ = 0;
    }
    driving_ = false;
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

std::vector<std::string> LcdBackpack::violations() const {
    const TwiTraffic &t = twi_.traffic();
    std::vector<std::string> found;
    constexpr std::size_t kAddressesShown = 3;
    std::size_t shown = 0;
    for (const auto &[address, count] : t.unanswered) {
        if (shown++ == kAddressesShown) {
            found.push_back("... and at " + std::to_string(t.unanswered.size() - kAddressesShown) +
                            " more addresses");
            break;
        }
        found.push_back("no device answered at " + hexAddress(address) +
                        " (the LCD's backpack is at " + hexAddress(wiring_.address) + "), " +
                        std::to_string(count) + (count == 1 ? " time" : " times"));
    }
    if (t.bytesOverLimit > 0) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "SCL at %s (TWBR %d, prescaler %d at %.6g MHz) for %llu bytes: the PCF8574 "
                      "takes %.0f kHz at most",
                      kilohertz(t.fastestSclHz).c_str(), t.fastestTwbr, t.fastestPrescaler,
                      clockHz_ / 1e6, static_cast<unsigned long long>(t.bytesOverLimit),
                      Pcf8574::kMaxSclHz / 1e3);
        found.push_back(text);
    }
    if (t.withoutStart > 0)
        found.push_back("the TWI was asked " + std::to_string(t.withoutStart) +
                        " times to send a byte with no START before it, and sends nothing then");
    return found;
}

} // namespace glimmerset
