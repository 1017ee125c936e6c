#include "lcd_bus_monitor.h"

#include <cstdio>

namespace glimmerset {

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
    if (line == RW)
        return;
    // During a read the controller drives the data lines.
    if ((lines_ & (1u << E)) && !(line <= D7 && (lines_ & (1u << RW))))
        changedWhileHigh_ = true;
    if (line == RS)
        rsChangedNs_ = t;
    lastChangeCycle_ = cycle;
}

void LcdBusMonitor::eRose(double t, std::uint64_t cycle) {
    // Reading the busy flag is what a busy controller allows. An early
    // access counts once: its second nibble is as early as its first.
    const bool checkBusy = !(lines_ & (1u << RW)) && !busyReported_;
    if (checkBusy && t < busyUntilNs_)
        violation(t, "E strobe while the controller is busy until " + microseconds(busyUntilNs_) +
                         " (" + busyBecause_ + ")");
    else if (checkBusy && t < slowBusyUntilNs_)
        warnings_.push_back(microseconds(t) + ": E strobe before " +
                            microseconds(slowBusyUntilNs_) +
                            ", when a slower controller is done with " + busyBecause_);
    busyReported_ = busyReported_ || (checkBusy && t < slowBusyUntilNs_);
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
    if (lines_ & (1u << RW)) {
        // Reads change nothing the monitor keeps.
        return;
    }
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

double LcdBusMonitor::busyNs(bool data, std::uint8_t byte, bool slow) const {
    const double access = slow ? 120e3 : 37e3;
    if (data)
        return access;
    if (byte == 0x01 || (byte & 0xFE) == 0x02) // clear, home
        return slow ? 4.9e6 : 1.52e6;
    if ((byte & 0xE0) == 0x20 && eightBit_) {
        // The reset by instruction: 4.1 ms after the first, 100 us after the second.
        if (resetFunctionSets_ == 0)
            return 4.1e6;
        if (resetFunctionSets_ == 1)
            return 100e3;
    }
    return access;
}

void LcdBusMonitor::complete(bool data, std::uint8_t byte, double t) {
    busyUntilNs_ = t + busyNs(data, byte);
    slowBusyUntilNs_ = t + busyNs(data, byte, true);
    busyReported_ = false;
    busyBecause_ = describe(data, byte) + " at " + microseconds(t);
    if (!data && (byte & 0xE0) == 0x20) {
        if (eightBit_)
            ++resetFunctionSets_;
        eightBit_ = byte & 0x10;
    }
    accesses_.push_back({data, byte, t});
    store(data, byte);
}

void LcdBusMonitor::store(bool data, std::uint8_t byte) {
    if (data) {
        if (addressingCgram_)
            cgram_[address_ & 0x3F] = byte;
        else
            ddram_[(address_ & 0x40 ? 40 : 0) + (address_ & 0x3F) % 40] = byte;
    } else if (byte & 0x80) {
        addressingCgram_ = false;
        address_ = byte & 0x7F;
        return;
    } else if (byte & 0x40) {
        addressingCgram_ = true;
        address_ = byte & 0x3F;
        return;
    } else if (byte == 0x01) {
        ddram_.fill(' ');
        addressingCgram_ = false;
        address_ = 0;
        increment_ = true;
        return;
    } else if ((byte & 0xFE) == 0x02) {
        addressingCgram_ = false;
        address_ = 0;
        return;
    } else if ((byte & 0xFC) == 0x04) {
        increment_ = byte & 0x02;
        return;
    } else {
        return;
    }
    // A data write moves the address counter; DDRAM's two lines wrap into
    // each other.
    if (addressingCgram_) {
        address_ = (address_ + (increment_ ? 1 : 63)) & 0x3F;
        return;
    }
    const int line = address_ & 0x40;
    int column = (address_ & 0x3F) % 40 + (increment_ ? 1 : -1);
    int nextLine = line;
    if (column == 40) {
        column = 0;
        nextLine = line ^ 0x40;
    } else if (column < 0) {
        column = 39;
        nextLine = line ^ 0x40;
    }
    address_ = static_cast<std::uint8_t>(nextLine | column);
}

void LcdBusMonitor::violation(double t, const std::string &what) {
    violations_.push_back(microseconds(t) + ": " + what);
}

} // namespace glimmerset
