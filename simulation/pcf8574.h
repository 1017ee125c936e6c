#pragma once

#include <cstdint>
#include <functional>

namespace glimmerset {

// A PCF8574 (or PCF8574A) I2C port expander as its datasheet describes it:
// eight quasi-bidirectional pins P0..P7. A pin written 0 sinks and reads 0;
// a pin written 1 is only pulled up weakly, so it reads whatever drives it
// from outside, high when nothing does. It powers up with every pin written 1.
class Pcf8574 {
public:
    static constexpr double kMaxSclHz = 100e3;

    // PCF8574 at 0x20..0x27, PCF8574A at 0x38..0x3F (7-bit addresses).
    static bool validAddress(int address) {
        return (address >= 0x20 && address <= 0x27) || (address >= 0x38 && address <= 0x3F);
    }

    explicit Pcf8574(int address) : address_(address) {}
    int address() const { return address_; }

    // The bus side, one call per event on SDA and SCL. A START is followed
    // by the address byte (7-bit address and R/W); the part acknowledges
    // its own address only and then takes or gives bytes until the next
    // START or the STOP.
    bool addressed(std::uint8_t addressByte);
    // A byte for the pins, latched at its acknowledge. False when the part
    // was not addressed for writing (nobody acknowledges).
    bool write(std::uint8_t byte, std::uint64_t cycle);
    // The pins' levels at cycle when addressed for reading; 0xFF (SDA left
    // high) when not.
    std::uint8_t read(std::uint64_t cycle) const;
    void stop() { mode_ = Mode::Idle; }

    // The pin side.
    std::uint8_t latch() const { return latch_; }
    std::uint8_t pins(std::uint64_t cycle) const {
        return latch_ & (outside ? outside(cycle) : 0xFF);
    }

    // What the outside leaves on the pins at cycle: a 0 bit pulls its pin
    // low. Without it nothing does.
    std::function<std::uint8_t(std::uint64_t cycle)> outside;

    // Called when a written byte changes the latch, with the cycle of its
    // acknowledge.
    std::function<void(std::uint8_t before, std::uint8_t after, std::uint64_t cycle)> latched;

private:
    enum class Mode { Idle, Writing, Reading };
    int address_;
    Mode mode_ = Mode::Idle;
    std::uint8_t latch_ = 0xFF;
};

} // namespace glimmerset
