#pragma once

#include "simulation/pcf8574.h"

#include <cstdint>
#include <map>

struct avr_t;
struct avr_twi_t;

namespace glimmerset {

// What went over the I2C bus, for the verdict.
struct TwiTraffic {
    std::uint64_t transfers = 0; // STARTs, repeated ones included
    std::uint64_t bytes = 0;     // address and data bytes clocked
    // 7-bit address -> address bytes that nobody acknowledged.
    std::map<int, std::uint64_t> unanswered;
    std::uint64_t answered = 0; // address bytes the expander acknowledged
    // 7-bit address -> data bytes sent on after nobody acknowledged it.
    std::map<int, std::uint64_t> unheard;
    // The fastest SCL a byte went at, and the registers that made it.
    double fastestSclHz = 0;
    int fastestTwbr = 0;
    int fastestPrescaler = 1;
    std::uint64_t bytesOverLimit = 0; // faster than the expander allows
    // Bytes asked for with no START before them: the TWI sends nothing.
    std::uint64_t withoutStart = 0;
};

// The chip's TWI in master mode as the megaAVR datasheets describe it, with
// one PCF8574 on the bus. simavr 1.6's own model leaves TWINT set when the
// program clears it, reports 0x28 after an acknowledged SLA+W and takes no
// bus time, so a correct driver that checks TWSR would fail and a wrong one
// that never waits would pass; this one takes over the TWI's registers.
// Each byte takes nine SCL periods of 16 + 2 * TWBR * 4^TWPS cycles, a
// START or STOP one; the status codes and TWINT, TWWC, TWSTA and TWSTO
// behave as the datasheet says, and TWIE raises the TWI interrupt.
class TwiMaster {
public:
    // Leaves attached() false when the chip has no TWI.
    TwiMaster(avr_t *avr, Pcf8574 &expander);
    TwiMaster(const TwiMaster &) = delete;
    TwiMaster &operator=(const TwiMaster &) = delete;

    bool attached() const { return twi_ != nullptr; }
    const TwiTraffic &traffic() const { return traffic_; }

private:
    enum class Phase { Idle, Started, Transmitting, Receiving };
    enum class Op { None, Start, Address, Write, Read, Stop };

    static void onControl(avr_t *, std::uint16_t, std::uint8_t value, void *self);
    static void onData(avr_t *, std::uint16_t, std::uint8_t value, void *self);
    static void onStatus(avr_t *, std::uint16_t, std::uint8_t value, void *self);
    static std::uint64_t onDone(avr_t *, std::uint64_t when, void *self);

    void control(std::uint8_t value);
    void begin(Op op);
    // Sets op under way; the cycles it takes.
    std::uint64_t prepare(Op op);
    // Ends the op under way; the cycles of the one that follows at once, or 0.
    std::uint64_t complete(std::uint64_t cycle);
    void setStatus(std::uint8_t status);
    void raiseFlag(std::uint8_t status);

    avr_t *avr_;
    avr_twi_t *twi_ = nullptr;
    Pcf8574 &expander_;
    std::uint16_t control_ = 0, data_ = 0, status_ = 0, bitRate_ = 0;
    Phase phase_ = Phase::Idle;
    Op op_ = Op::None;
    bool ackRead_ = false;
    int address_ = -1; // the last address sent, -1 when it was acknowledged
    TwiTraffic traffic_;
};

} // namespace glimmerset
