#include "simulation/twi_master.h"

extern "C" {
#include <avr_twi.h>
#include <sim_avr.h>
}

#include <cstring>

namespace glimmerset {

namespace {

// TWCR's bits, the same on every megaAVR with a TWI.
constexpr std::uint8_t kTwint = 0x80;
constexpr std::uint8_t kTwea = 0x40;
constexpr std::uint8_t kTwsta = 0x20;
constexpr std::uint8_t kTwsto = 0x10;
constexpr std::uint8_t kTwwc = 0x08;
constexpr std::uint8_t kTwen = 0x04;

// TWSR's status codes in master mode.
constexpr std::uint8_t kStartSent = 0x08;
constexpr std::uint8_t kRepeatedStartSent = 0x10;
constexpr std::uint8_t kAddressWriteAck = 0x18;
constexpr std::uint8_t kAddressWriteNack = 0x20;
constexpr std::uint8_t kDataWriteAck = 0x28;
constexpr std::uint8_t kDataWriteNack = 0x30;
constexpr std::uint8_t kAddressReadAck = 0x40;
constexpr std::uint8_t kAddressReadNack = 0x48;
constexpr std::uint8_t kDataReadAck = 0x50;
constexpr std::uint8_t kDataReadNack = 0x58;
constexpr std::uint8_t kNoState = 0xF8;

constexpr int kPeriodsPerByte = 9; // eight bits and the acknowledge

avr_twi_t *findTwi(avr_t *avr) {
    for (avr_io_t *io = avr->io_port; io; io = io->next)
        if (io->kind && std::strcmp(io->kind, "twi") == 0)
            return reinterpret_cast<avr_twi_t *>(io); // its first member
    return nullptr;
}

} // namespace

TwiMaster::TwiMaster(avr_t *avr, Pcf8574 &expander) : avr_(avr), expander_(expander) {
    avr_twi_t *twi = findTwi(avr);
    if (!twi)
        return;
    twi_ = twi;
    control_ = twi->r_twcr;
    data_ = twi->r_twdr;
    status_ = twi->r_twsr;
    bitRate_ = twi->r_twbr;
    const auto take = [&](std::uint16_t address, avr_io_write_t write) {
        auto &slot = avr->io[AVR_DATA_TO_IO(address)];
        slot.w.c = write;
        slot.w.param = this;
        slot.r.c = nullptr;
    };
    take(control_, onControl);
    take(data_, onData);
    take(status_, onStatus);
    avr->data[control_] = 0;
    avr->data[data_] = 0xFF;
    setStatus(kNoState);
}

void TwiMaster::onControl(avr_t *, std::uint16_t, std::uint8_t value, void *self) {
    static_cast<TwiMaster *>(self)->control(value);
}

// TWDR takes a byte only while TWINT is set; else TWWC tells of the collision.
void TwiMaster::onData(avr_t *avr, std::uint16_t, std::uint8_t value, void *self) {
    auto *twi = static_cast<TwiMaster *>(self);
    std::uint8_t &control = avr->data[twi->control_];
    if (control & kTwint) {
        avr->data[twi->data_] = value;
        control &= ~kTwwc;
    } else {
        control |= kTwwc;
    }
}

// Only the prescaler bits are the program's to write.
void TwiMaster::onStatus(avr_t *avr, std::uint16_t, std::uint8_t value, void *self) {
    std::uint8_t &status = avr->data[static_cast<TwiMaster *>(self)->status_];
    status = (status & 0xF8) | (value & 0x03);
}

// A STOP that finds a START waiting goes on with it from the same timer.
std::uint64_t TwiMaster::onDone(avr_t *, std::uint64_t when, void *self) {
    const std::uint64_t next = static_cast<TwiMaster *>(self)->complete(when);
    return next ? when + next : 0;
}

void TwiMaster::control(std::uint8_t value) {
    std::uint8_t &control = avr_->data[control_];
    const std::uint8_t before = control;
    if (!(value & kTwen)) {
        // Switched off: whatever was under way ends.
        if (op_ != Op::None)
            avr_cycle_timer_cancel(avr_, onDone, this);
        op_ = Op::None;
        phase_ = Phase::Idle;
        expander_.stop();
        control = value & ~(kTwint | kTwwc | kTwsta | kTwsto);
        avr_clear_interrupt(avr_, &twi_->twi);
        setStatus(kNoState);
        return;
    }
    // TWINT is cleared by writing a one to it; TWWC only by TWDR.
    const bool flagSet = before & kTwint;
    const bool cleared = flagSet && (value & kTwint);
    control = (value & ~(kTwint | kTwwc)) | (before & kTwwc) | (flagSet && !cleared ? kTwint : 0);
    if (cleared)
        avr_clear_interrupt(avr_, &twi_->twi);
    // A START or STOP asked for while the bus is busy waits in its bit.
    if (op_ != Op::None)
        return;
    if (phase_ == Phase::Idle) {
        if (value & kTwsta)
            begin(Op::Start);
        else if (value & kTwsto)
            control &= ~kTwsto;
        else if (value & kTwint)
            ++traffic_.withoutStart;
        return;
    }
    if (!cleared)
        return;
    if (value & kTwsta)
        begin(Op::Start);
    else if (value & kTwsto)
        begin(Op::Stop);
    else if (phase_ == Phase::Started)
        begin(Op::Address);
    else if (phase_ == Phase::Transmitting)
        begin(Op::Write);
    else {
        ackRead_ = value & kTwea;
        begin(Op::Read);
    }
}

void TwiMaster::begin(Op op) {
    avr_cycle_timer_register(avr_, prepare(op), onDone, this);
}

std::uint64_t TwiMaster::prepare(Op op) {
    const int prescaler = 1 << (2 * (avr_->data[status_] & 0x03));
    const int twbr = avr_->data[bitRate_];
    const std::uint64_t period = 16 + 2 * static_cast<std::uint64_t>(twbr) * prescaler;
    const bool byte = op == Op::Address || op == Op::Write || op == Op::Read;
    if (op == Op::Start)
        ++traffic_.transfers;
    if (byte) {
        ++traffic_.bytes;
        const double scl = avr_->frequency / static_cast<double>(period);
        if (scl > traffic_.fastestSclHz) {
            traffic_.fastestSclHz = scl;
            traffic_.fastestTwbr = twbr;
            traffic_.fastestPrescaler = prescaler;
        }
        if (scl > Pcf8574::kMaxSclHz)
            ++traffic_.bytesOverLimit;
    }
    op_ = op;
    return byte ? kPeriodsPerByte * period : period;
}

std::uint64_t TwiMaster::complete(std::uint64_t cycle) {
    const Op op = op_;
    op_ = Op::None;
    std::uint8_t &data = avr_->data[data_];
    switch (op) {
    case Op::None:
        return 0;
    case Op::Start:
        raiseFlag(phase_ == Phase::Idle ? kStartSent : kRepeatedStartSent);
        phase_ = Phase::Started;
        return 0;
    case Op::Address: {
        const bool ack = expander_.addressed(data);
        if (!ack)
            ++traffic_.unanswered[data >> 1];
        else
            ++traffic_.answered;
        address_ = ack ? -1 : data >> 1;
        const bool read = data & 1;
        phase_ = read ? Phase::Receiving : Phase::Transmitting;
        raiseFlag(read ? (ack ? kAddressReadAck : kAddressReadNack)
                       : (ack ? kAddressWriteAck : kAddressWriteNack));
        return 0;
    }
    case Op::Write: {
        const bool ack = expander_.write(data, cycle);
        if (!ack && address_ >= 0)
            ++traffic_.unheard[address_];
        raiseFlag(ack ? kDataWriteAck : kDataWriteNack);
        return 0;
    }
    case Op::Read:
        data = expander_.read(cycle);
        raiseFlag(ackRead_ ? kDataReadAck : kDataReadNack);
        return 0;
    case Op::Stop:
        expander_.stop();
        phase_ = Phase::Idle;
        setStatus(kNoState);
        avr_->data[control_] &= ~kTwsto;
        return (avr_->data[control_] & kTwsta) ? prepare(Op::Start) : 0;
    }
    return 0;
}

void TwiMaster::setStatus(std::uint8_t status) {
    std::uint8_t &reg = avr_->data[status_];
    reg = (reg & 0x03) | status;
}

void TwiMaster::raiseFlag(std::uint8_t status) {
    setStatus(status);
    avr_->data[control_] |= kTwint;
    avr_raise_interrupt(avr_, &twi_->twi);
}

} // namespace glimmerset
