#include "simulation/pcf8574.h"

namespace glimmerset {

bool Pcf8574::addressed(std::uint8_t addressByte) {
    const bool ours = (addressByte >> 1) == address_;
    mode_ = !ours ? Mode::Idle : (addressByte & 1) ? Mode::Reading : Mode::Writing;
    return ours;
}

bool Pcf8574::write(std::uint8_t byte, std::uint64_t cycle) {
    if (mode_ != Mode::Writing)
        return false;
    const std::uint8_t before = latch_;
    latch_ = byte;
    if (before != byte && latched)
        latched(before, byte, cycle);
    return true;
}

std::uint8_t Pcf8574::read(std::uint64_t cycle) const {
    return mode_ == Mode::Reading ? pins(cycle) : 0xFF;
}

} // namespace glimmerset
