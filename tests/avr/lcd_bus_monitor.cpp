#include "lcd_bus_monitor.h"

#include <cstdio>

namespace glimmerset::avrtest {

namespace {

std::string describe(bool data, std::uint8_t byte) {
    char text[48];
    std::snprintf(text, sizeof text, "%s 0x%02X", data ? "data" : "instruction", byte);
    return text;
}

std::string microseconds(double ns) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f us", ns / 1000);
    return text;
}

} // namespace

void LcdBusMonitor::lineChanged(Line line, bool level, std::uint64_t cycle) {
    const unsigned bit = 1u << line;
    if (((lines_ & bit) != 0) == level)
        return;
    lines_ ^= bit;
    const double t = cycle * nsPerCycle_;
    if (line == E) {
        if (level)
            eRose(t, cycle);
        else
            eFell(t);
        return;
    }
    if (lines_ & (1u << E))
        changedWhileHigh_ = true;
    if (line == RS)
        rsChangedNs_ = t;
    lastChangeCycle_ = cycle;
}

void LcdBusMonitor::eRose(double t, std::uint64_t cycle) {
    if (t < busyUntilNs_)
        violation(t, "E strobe while the controller is busy until " + microseconds(busyUntilNs_) + " (" +
                         busyBecause_ + ")");
    if (t - lastERoseNs_ < kMinCycleNs)
        violation(t, "E cycle of " + microseconds(t - lastERoseNs_) + ", under 1 us");
    // Lines that change in the same OUT as E count as changing with the edge.
    if (t - rsChangedNs_ < kMinRsSetupNs || lastChangeCycle_ == cycle)
        violation(t, "RS or data not set up before E rose");
    lastERoseNs_ = t;
    eRoseNs_ = t;
    changedWhileHigh_ = false;
}

void LcdBusMonitor::eFell(double t) {
    if (t - eRoseNs_ < kMinPulseNs)
        violation(t, "E pulse of " + microseconds(t - eRoseNs_) + ", under 450 ns");
    if (changedWhileHigh_)
        violation(t, "data or RS changed while E was high");
    const bool data = lines_ & (1u << RS);
    const auto nibble = static_cast<std::uint8_t>(lines_ & 0x0F);
    if (eightBit_) {
        // D0..D3 are open; only the reset's function sets go in 8-bit mode.
        complete(data, static_cast<std::uint8_t>(nibble << 4), t);
    } else if (!haveHighNibble_) {
        highNibble_ = nibble;
        haveHighNibble_ = true;
    } else {
        haveHighNibble_ = false;
        complete(data, static_cast<std::uint8_t>(highNibble_ << 4 | nibble), t);
    }
}

double LcdBusMonitor::busyNs(bool data, std::uint8_t byte) const {
    if (data)
        return 37e3;
    if (byte == 0x01 || (byte & 0xFE) == 0x02) // clear, home
        return 1.52e6;
    if ((byte & 0xE0) == 0x20 && eightBit_) {
        // The reset by instruction: 4.1 ms after the first, 100 us after the second.
        if (resetFunctionSets_ == 0)
            return 4.1e6;
        if (resetFunctionSets_ == 1)
            return 100e3;
    }
    return 37e3;
}

void LcdBusMonitor::complete(bool data, std::uint8_t byte, double t) {
    busyUntilNs_ = t + busyNs(data, byte);
    busyBecause_ = describe(data, byte) + " at " + microseconds(t);
    if (!data && (byte & 0xE0) == 0x20) {
        if (eightBit_)
            ++resetFunctionSets_;
        eightBit_ = byte & 0x10;
    }
    accesses_.push_back({data, byte, t});
}

void LcdBusMonitor::violation(double t, const std::string &what) {
    violations_.push_back(microseconds(t) + ": " + what);
}

} // namespace glimmerset::avrtest
