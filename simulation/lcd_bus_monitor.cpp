#include "simulation/lcd_bus_monitor.h"

#include "simulation/hex_text.h"

#include <algorithm>
#include <cstdio>

namespace glimmerset {

namespace {

using lcd::lineBit;

constexpr unsigned kAddressLines = lineBit(lcd::RS) | lineBit(lcd::RW);
constexpr unsigned kPulledUp = lcd::kDataLines | kAddressLines;
constexpr char kBusyTitle[] = "E strobes while the controller was busy";
constexpr char kCharactersInCgram[] =
    "characters written into CGRAM: after the glyphs the address counter still pointed there; "
    "set a DDRAM address (0x80 for line 1) before the characters";

std::string describe(bool data, std::uint8_t byte) {
    return (data ? "data " : "instruction ") + hexText(byte);
}

std::string microseconds(double ns) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f us", ns / 1000);
    return text;
}

std::string microseconds0(double ns) {
    char text[32];
    std::snprintf(text, sizeof text, "%g us", ns / 1e3);
    return text;
}

std::string milliseconds(double ns) {
    char text[32];
    std::snprintf(text, sizeof text, "%g ms", ns / 1e6);
    return text;
}

std::string nanoseconds(double ns) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f ns", ns);
    return text;
}

std::string glyphRow(int address) {
    return "glyph " + std::to_string(address / lcd::kGlyphRows) + " row " + std::to_string(address % lcd::kGlyphRows);
}

} // namespace

const BusTiming *busTimingFor(double volts) {
    if (volts >= 4.5 && volts <= 5.5)
        return &kBusTimings[0];
    if (volts >= 2.7 && volts < 4.5)
        return &kBusTimings[1];
    return nullptr;
}

// Times run from power-on; the report's count from reset.
LcdBusMonitor::LcdBusMonitor(double clockHz, const BusTiming &timing, double startupMs)
    : nsPerCycle_(1e9 / clockHz), startupNs_(startupMs * 1e6), timing_(timing), clockHz_(clockHz),
      busyUntilNs_(timing.powerOn), slowBusyUntilNs_(timing.powerOn) {
    changedNs_.fill(-1e18);
    memory_.ddram.fill(' '); // the internal reset clears the display
    pulseTitle_ = "E pulses under PW_EH " + nanoseconds(timing.pwEH);
    cycleTitle_ = "E cycles under t_cycE " + nanoseconds(timing.tCycE);
    setupTitle_ = "RS or RW not set up t_AS " + nanoseconds(timing.tAS) + " before E rose";
    holdTitle_ = "RS or RW not held t_AH " + nanoseconds(timing.tAH) + " after E fell";
    dataSetupTitle_ = "data not set up t_DSW " + nanoseconds(timing.tDSW) + " before E fell";
    dataHoldTitle_ = "data not held t_H " + nanoseconds(timing.tH) + " after E fell";
    readTitle_ = "data lines read before the controller drives them (t_DDR " +
                 nanoseconds(timing.tDDR) + " after E rises)";
    lateReadTitle_ = "data lines read after the controller let them go (t_DHR " +
                     nanoseconds(timing.tDHR) + " after E falls)";
    cloneTitle_ = "%n accesses too early for the slower clones (" +
                  microseconds0(timing.slowAccess) + ", " + milliseconds(timing.slowClearHome) +
                  " for clear and home)";
}

template <class MakeText>
void LcdBusMonitor::found(FindingKind kind, Rule rule, const std::string &title, double t,
                          MakeText &&what) {
    findings_.add(kind, rule, title, [&] { return microseconds(t - startupNs_) + ": " + what(); });
}

void LcdBusMonitor::busChanged(unsigned driven, unsigned levels, std::uint64_t cycle) {
    if (edges_.size() < edges_.capacity())
        edges_.push_back(
            {cycle, static_cast<std::uint16_t>(driven), static_cast<std::uint16_t>(levels)});
    const double t = startupNs_ + static_cast<double>(cycle) * nsPerCycle_;
    // Lines nobody drives: the module pulls up the data lines, RS and RW.
    const unsigned lines =
        (levels & driven) | (kPulledUp & ~driven) | (levels & ~driven & lineBit(lcd::E));
    const unsigned newlyDriven = driven & ~driven_ & lcd::kDataLines;
    driven_ = driven;
    if (readStrobe_ && (lines_ & lineBit(lcd::E)) && newlyDriven)
        found(FindingKind::Violation, Rule::Contention,
              "the AVR drove the data lines while the controller did, in a read", t,
              [] { return std::string("a data pin became an output while E was high"); });
    const unsigned changed = lines ^ lines_;
    if (!changed)
        return;
    edgeChecks(changed, lines, t);
    lines_ = lines;
    for (int line = 0; line < lcd::kLineCount; ++line)
        if (line != lcd::E && (changed & lineBit(line)))
            changedNs_[line] = t;
    if (changed & lineBit(lcd::E)) {
        if (lines & lineBit(lcd::E))
            eRose(t);
        else
            eFell(t);
    }
}

// RS and RW must hold still around a strobe, and the data after E's fall
// in a write; the edges of one port write come at the same instant. The
// set-up before an edge is judged at the edge.
void LcdBusMonitor::edgeChecks(unsigned changed, unsigned lines, double t) {
    const bool eWas = lines_ & lineBit(lcd::E);
    const bool eIs = lines & lineBit(lcd::E);
    if (const unsigned address = changed & kAddressLines) {
        const std::string name = address & lineBit(lcd::RS) ? "RS" : "RW";
        if (eWas && eIs)
            found(FindingKind::Violation, Rule::TAh, holdTitle_, t,
                  [&] { return name + " changed while E was high"; });
        else if (eWas || (!eIs && t - eFellNs_ < timing_.tAH))
            found(FindingKind::Violation, Rule::TAh, holdTitle_, t, [&] {
                return name + " changed " + nanoseconds(eWas ? 0 : t - eFellNs_) + " after E fell";
            });
    }
    const unsigned dataMask = eightBit_ ? lcd::kDataLines : lcd::kHighDataLines;
    if ((changed & dataMask) && !readStrobe_ && !eWas && !eIs && t - eFellNs_ < timing_.tH)
        found(FindingKind::Violation, Rule::TH, dataHoldTitle_, t,
              [&] { return "data changed " + nanoseconds(t - eFellNs_) + " after E fell"; });
}

void LcdBusMonitor::eRose(double t) {
    if (t - eRoseNs_ < timing_.tCycE)
        found(FindingKind::Violation, Rule::TCycE, cycleTitle_, t,
              [&] { return "E rose " + nanoseconds(t - eRoseNs_) + " after it last rose"; });
    const double setup = t - std::max(changedNs_[lcd::RS], changedNs_[lcd::RW]);
    if (setup < timing_.tAS)
        found(FindingKind::Violation, Rule::TAs, setupTitle_, t,
              [&] { return "RS or RW set " + nanoseconds(setup) + " before E rose"; });
    readStrobe_ = lines_ & lineBit(lcd::RW);
    const bool rs = lines_ & lineBit(lcd::RS);
    if (!accessed_) {
        accessed_ = true;
        const double sinceReset = t - startupNs_;
        if (sinceReset < timing_.powerOn && t >= timing_.powerOn)
            found(FindingKind::Warning, Rule::Startup,
                  "the first access comes before the LCD's power-on wait (" +
                      milliseconds(timing_.powerOn) + " at " + timing_.supply +
                      " V) counted from reset: it relies on the chip's start-up delay (" +
                      milliseconds(startupNs_) +
                      ", --startup), which the fast start-up fuses "
                      "shorten",
                  t, [&] { return std::string("E rose"); });
    }
    const bool firstStrobe = eightBit_ || !haveHighNibble_;

    // Reading the busy flag is what a busy controller allows; a data read
    // is judged as E rises, a write as E falls, when the controller takes it.
    if (readStrobe_ && rs)
        judgeBusy(t);
    if (readStrobe_) {
        if (driven_ & lcd::kDataLines)
            found(FindingKind::Violation, Rule::Contention,
                  "the AVR drove the data lines while the controller did, in a read", t,
                  [] { return std::string("E rose for a read with data pins as outputs"); });
        if (firstStrobe) {
            readData_ = rs;
            if (rs)
                readByte_ = addressingCgram_
                                ? memory_.cgram[address_ & lcd::kCgramAddressMask]
                                : memory_.ddram[lcd::ddramCell(address_, memory_.twoLine)];
            else
                readByte_ = static_cast<std::uint8_t>((t < busyUntilNs_ ? 0x80 : 0) | address_);
        }
        readDriven_ = eightBit_     ? readByte_
                      : firstStrobe ? static_cast<std::uint8_t>(readByte_ | 0x0F)
                                    : static_cast<std::uint8_t>(readByte_ << 4 | 0x0F);
    }
    eRoseNs_ = t;
}

// An early access counts once: its second nibble is as early as its first.
void LcdBusMonitor::judgeBusy(double t) {
    if (!waitJudged_ && busyCause_ != BusyCause::PowerOn) {
        waitJudged_ = true;
        waits_.add((t - busySinceNs_) / (busyUntilNs_ - busySinceNs_));
    }
    if (busyReported_ || cloneWarned_)
        return;
    if (t < busyUntilNs_) {
        busyReported_ = true;
        found(FindingKind::Violation, Rule::Busy, kBusyTitle, t, [&] {
            return "E strobe while the controller is busy until " +
                   microseconds(busyUntilNs_ - startupNs_) + " (" + busyBecause() + ")";
        });
    } else if (t < slowBusyUntilNs_ && !sawNotBusy_) {
        cloneWarned_ = true;
        found(FindingKind::Warning, Rule::Clone, cloneTitle_, t, [&] {
            return "E strobe before " + microseconds(slowBusyUntilNs_ - startupNs_) +
                   ", when a slower controller is done with " + busyBecause();
        });
    }
}

void LcdBusMonitor::eFell(double t) {
    if (t - eRoseNs_ < timing_.pwEH)
        found(FindingKind::Violation, Rule::PwEh, pulseTitle_, t,
              [&] { return "E high for " + nanoseconds(t - eRoseNs_); });
    eFellNs_ = t;
    // A write with no data line driven: a read, with RW where it can't go high.
    const bool wouldRead =
        rwTied_ && !readStrobe_ && !(driven_ & (eightBit_ ? lcd::kDataLines : lcd::kHighDataLines));
    if (wouldRead && !findings_.has(Rule::RwTied))
        found(FindingKind::Failure, Rule::RwTied,
              "the program reads the LCD (its data pins are inputs while E is high), but the "
              "wiring ties RW to ground: add rw= and the pin RW is on to --wiring",
              t, [] { return std::string("E fell with no data line driven"); });
    // The reset's own waits are judged on their own, once the byte is whole.
    const bool resetStep = eightBit_ && !(lines_ & lineBit(lcd::RS)) && (lines_ & 0xF0) == 0x30 &&
                           eightBitFunctionSets_ > 0 && eightBitFunctionSets_ < 3;
    if (resetStep)
        waitJudged_ = true;
    if (!readStrobe_ && !wouldRead)
        judgeBusy(t);
    const bool firstStrobe = eightBit_ || !haveHighNibble_;
    const bool last = eightBit_ || haveHighNibble_;
    haveHighNibble_ = !eightBit_ && !haveHighNibble_;
    if (readStrobe_) {
        if (last)
            completeRead(t);
        return;
    }
    const unsigned dataMask = eightBit_ ? lcd::kDataLines : lcd::kHighDataLines;
    double lastChange = -1e18;
    for (int line = lcd::D0; line <= lcd::D7; ++line)
        if (dataMask & lineBit(line))
            lastChange = std::max(lastChange, changedNs_[line]);
    if (t - lastChange < timing_.tDSW)
        found(FindingKind::Violation, Rule::TDsw, dataSetupTitle_, t,
              [&] { return "data set " + nanoseconds(t - lastChange) + " before E fell"; });

    const bool data = lines_ & lineBit(lcd::RS);
    const auto bus = static_cast<std::uint8_t>(lines_ & lcd::kDataLines);
    if (eightBit_)
        completeWrite(data, bus, t);
    else if (firstStrobe)
        highNibble_ = bus & 0xF0;
    else
        completeWrite(data, static_cast<std::uint8_t>(highNibble_ | bus >> 4), t);
}

// The last strobe's edges may come after the pin was sampled: the
// instruction that moved E ended on the cycle the read began.
std::uint8_t LcdBusMonitor::dataSeen(double cycle) {
    const double t = startupNs_ + cycle * nsPerCycle_;
    if (!readStrobe_ || !(lines_ & lineBit(lcd::RW)))
        return 0xFF;
    if (t < eRoseNs_) {
        found(FindingKind::Violation, Rule::TDdr, readTitle_, t,
              [&] { return "read " + nanoseconds(eRoseNs_ - t) + " before E rose"; });
        return 0xFF;
    }
    if (!(lines_ & lineBit(lcd::E)) && t >= eFellNs_) {
        // Released t_DHR after E fell; a read just after is a read too late.
        if (t - eFellNs_ >= timing_.tDHR && t - eFellNs_ < timing_.tCycE)
            found(FindingKind::Violation, Rule::TDhr, lateReadTitle_, t,
                  [&] { return "read " + nanoseconds(t - eFellNs_) + " after E fell"; });
        return 0xFF;
    }
    if (t - eRoseNs_ < timing_.tDDR) {
        found(FindingKind::Violation, Rule::TDdr, readTitle_, t,
              [&] { return "read " + nanoseconds(t - eRoseNs_) + " after E rose"; });
        return 0xFF;
    }
    return readDriven_;
}

double LcdBusMonitor::busyNs(bool data, std::uint8_t byte, bool slow) const {
    if (!data && (byte == 0x01 || (byte & 0xFE) == 0x02)) // clear, home
        return slow ? timing_.slowClearHome : timing_.clearHome;
    return slow ? timing_.slowAccess : timing_.access;
}

std::string LcdBusMonitor::busyBecause() const {
    if (busyCause_ == BusyCause::PowerOn)
        return startupNs_ > 0 ? "power-on, " + milliseconds(timing_.powerOn) +
                                    " after it; the program starts " + milliseconds(startupNs_) +
                                    " after power-on (--startup)"
                              : std::string("power-on");
    if (busyCause_ == BusyCause::Read)
        return "data read at " + microseconds(busySinceNs_ - startupNs_);
    return describe(busyData_, busyByte_) + " at " + microseconds(busySinceNs_ - startupNs_);
}

void LcdBusMonitor::nowBusy(double ns, double slowNs, BusyCause cause, double t) {
    busyUntilNs_ = t + ns;
    slowBusyUntilNs_ = t + slowNs;
    busyCause_ = cause;
    busySinceNs_ = t;
    busyReported_ = false;
    cloneWarned_ = false;
    waitJudged_ = false;
    sawNotBusy_ = false;
}

void LcdBusMonitor::completeWrite(bool data, std::uint8_t byte, double t) {
    ++writes_;
    // The reset by instruction: the second function set 4.1 ms after the
    // first, the third 100 us after the second.
    const bool resetStep = !data && eightBit_ && (byte & 0xF0) == 0x30;
    if (resetStep && eightBitFunctionSets_ > 0 && eightBitFunctionSets_ < 3) {
        const double wait = eightBitFunctionSets_ == 1 ? timing_.resetStep1 : timing_.resetStep2;
        waits_.add((t - resetStepDoneNs_) / wait);
        if (t < resetStepDoneNs_ + wait && !busyReported_)
            found(FindingKind::Violation, Rule::Busy, kBusyTitle, t, [&] {
                return "E strobe while the controller is busy until " +
                       microseconds(resetStepDoneNs_ + wait - startupNs_) + " (" + busyBecause() +
                       ", a step of the reset)";
            });
    }
    if (resetStep)
        resetStepDoneNs_ = t;
    busyData_ = data;
    busyByte_ = byte;
    nowBusy(busyNs(data, byte), busyNs(data, byte, true), BusyCause::Write, t);
    if (data)
        writeData(byte, t);
    else
        instruction(byte, t);
    noteCursor();
}

void LcdBusMonitor::completeRead(double t) {
    ++reads_;
    if (!readData_) {
        sawNotBusy_ = !(readByte_ & 0x80);
        return;
    }
    nowBusy(timing_.access, timing_.slowAccess, BusyCause::Read, t);
    moveAddress(increment_ ? 1 : -1);
    noteCursor();
}

void LcdBusMonitor::instruction(std::uint8_t byte, double t) {
    if (byte & 0x80) {
        closeRun(t);
        addressingCgram_ = false;
        address_ = byte & 0x7F;
    } else if (byte & 0x40) {
        closeRun(t);
        addressingCgram_ = true;
        address_ = byte & lcd::kCgramAddressMask;
    } else if (byte & 0x20) {
        const bool eightBit = byte & 0x10;
        if (eightBit_ && !eightBit && eightBitFunctionSets_ < 3)
            found(FindingKind::Warning, Rule::FourBit,
                  "the 4-bit interface chosen without the reset by instruction (function set "
                  "0x3 three times, then 0x2): after a reset of the AVR alone or a slow power "
                  "rise the controller is out of step",
                  t, [&] {
                      return "function set " + hexText(byte) + " after " +
                             std::to_string(eightBitFunctionSets_) +
                             " of the reset's three function sets";
                  });
        if (eightBit_ && eightBit)
            ++eightBitFunctionSets_;
        functionSet_ = true;
        eightBit_ = eightBit;
        memory_.twoLine = byte & 0x08;
    } else if (byte & 0x10) {
        if (byte & 0x08) // a display shift leaves DDRAM and the address counter alone
            shiftDisplay(byte & 0x04 ? -1 : 1);
        else
            moveAddress(byte & 0x04 ? 1 : -1);
    } else if (byte & 0x08) {
        memory_.displayControl = byte;
        memory_.displayWasOn = memory_.displayWasOn || memory_.displayOn();
    } else if (byte & 0x04) {
        increment_ = byte & 0x02;
        shiftOnEntry_ = byte & 0x01;
    } else if (byte & 0x02) {
        closeRun(t);
        addressingCgram_ = false;
        address_ = 0;
        memory_.displayShift = 0;
    } else if (byte & 0x01) {
        closeRun(t);
        memory_.ddram.fill(' ');
        addressingCgram_ = false;
        address_ = 0;
        increment_ = true;
        memory_.displayShift = 0;
    }
}

void LcdBusMonitor::shiftDisplay(int left) {
    memory_.displayShift = static_cast<std::uint8_t>(
        (memory_.displayShift + left + lcd::kDdramSize) % lcd::kDdramSize);
}

void LcdBusMonitor::noteCursor() {
    memory_.cursor = addressingCgram_ ? LcdMemory::kCursorOnCgram : address_;
}

void LcdBusMonitor::writeData(std::uint8_t byte, double t) {
    ++dataWrites_;
    if (!functionSet_ && !findings_.has(Rule::NoInit))
        found(FindingKind::Failure, Rule::NoInit,
              "no initialisation: data written before any function set, to a controller as its "
              "power-on reset left it (8-bit, one line, display off)",
              t, [&] { return describe(true, byte) + " before any function set"; });
    if (run_.length++ == 0) {
        run_.cgram = addressingCgram_;
        run_.start = address_;
    }
    if (addressingCgram_) {
        const int at = address_ & lcd::kCgramAddressMask;
        // Bits 5 to 7 of a CGRAM byte are plain RAM: only where the counter
        // went tells characters from glyph rows.
        if (!increment_) {
            run_.decrement = true;
            if (!findings_.has(Rule::Decrement))
                found(FindingKind::Warning, Rule::Decrement,
                      "glyph rows written in decrement entry mode (I/D = 0): the counter runs "
                      "down from the address set, so each glyph's rows land in reverse; set "
                      "entry mode 0x06 before the glyphs",
                      t, [&] { return describe(true, byte) + " into " + glyphRow(at); });
        } else if (wrapped_) {
            run_.named = true;
            found(FindingKind::Failure, Rule::CgramCharacters, kCharactersInCgram, t, [&] {
                return describe(true, byte) + " went into CGRAM, " + glyphRow(at) +
                       ", after the counter ran past glyph 7 row 7";
            });
        }
        memory_.cgram[at] = byte;
        memory_.cgramWritten |= std::uint64_t{1} << at;
    } else {
        run_.rowsOnly = run_.rowsOnly && byte <= 0x1F;
        run_.leftDot = run_.leftDot || (byte & lcd::glyphRowBit(0));
        if (run_.length == lcd::kGlyphRows && run_.rowsOnly && run_.leftDot && !run_.named) {
            run_.named = true;
            found(FindingKind::Failure, Rule::DdramRows,
                  "glyph rows written into DDRAM: no CGRAM address (0x40 + 8 x glyph) was set "
                  "before them",
                  t, [&] {
                      return "8 bytes of glyph rows went into DDRAM from address " +
                             hexText(run_.start);
                  });
        }
        memory_.ddram[lcd::ddramCell(address_, memory_.twoLine)] = byte;
        if (shiftOnEntry_)
            shiftDisplay(increment_ ? 1 : -1);
    }
    moveAddress(increment_ ? 1 : -1);
}

void LcdBusMonitor::moveAddress(int step) {
    if (addressingCgram_) {
        wrapped_ = wrapped_ || (address_ == lcd::kCgramAddressMask && step > 0) || (address_ == 0 && step < 0);
        address_ = static_cast<std::uint8_t>((address_ + step) & lcd::kCgramAddressMask);
        return;
    }
    if (!memory_.twoLine) {
        address_ = static_cast<std::uint8_t>((address_ % lcd::kDdramSize + step + lcd::kDdramSize) %
                                             lcd::kDdramSize);
        return;
    }
    // The two lines of DDRAM run into each other.
    const int line = address_ & 0x40;
    int column = (address_ & 0x3F) % lcd::kDdramLineLength + step;
    int nextLine = line;
    if (column == lcd::kDdramLineLength || column < 0) {
        column = column < 0 ? lcd::kDdramLineLength - 1 : 0;
        nextLine = line ^ 0x40;
    }
    address_ = static_cast<std::uint8_t>(nextLine | column);
}

// A run that loaded whole glyphs from a glyph's row 0 and went on part of
// the way into the next: the classic characters meant for DDRAM.
void LcdBusMonitor::closeRun(double t) {
    const int extra = run_.length % lcd::kGlyphRows;
    if (run_.cgram && !run_.named && !run_.decrement && run_.start % lcd::kGlyphRows == 0 &&
        run_.length > lcd::kGlyphRows && extra != 0) {
        const int at = (run_.start + run_.length - extra) & lcd::kCgramAddressMask;
        found(FindingKind::Failure, Rule::CgramCharacters, kCharactersInCgram, t, [&] {
            return std::to_string(extra) + " data writes after the glyph rows went into " +
                   glyphRow(at) + " on";
        });
    }
    run_ = {};
    wrapped_ = false;
}

void LcdBusMonitor::WaitRatios::add(double ratio) {
    ++judged;
    lowest = std::min(lowest, ratio);
    if (ratio >= 1)
        return;
    ++early;
    lowestEarly = std::min(lowestEarly, ratio);
    highestEarly = std::max(highestEarly, ratio);
}

void LcdBusMonitor::finish(std::uint64_t cycle) {
    const double t = startupNs_ + static_cast<double>(cycle) * nsPerCycle_;
    closeRun(t);
    // Most waits short, and by much the same factor: the clock the program
    // was built for is the fastest common one its shortest wait allows.
    if (waits_.early >= 3 && waits_.early * 5 >= waits_.judged * 4 &&
        waits_.highestEarly <= 8 * waits_.lowestEarly) {
        constexpr double kClocksMhz[] = {20, 18.432, 16, 14.7456, 12, 11.0592, 10,
                                         8,  7.3728, 4,  3.6864,  2,  1.8432,  1};
        const double mhz = clockHz_ / 1e6;
        for (const double built : kClocksMhz) {
            if (built > mhz * waits_.lowest)
                continue;
            char text[160];
            std::snprintf(text, sizeof text,
                          "every wait is 1/%g of what the program seems to intend: was it built "
                          "for %g MHz? give --clock",
                          mhz / built, built);
            found(FindingKind::Failure, Rule::ClockScale, text, t, [&] {
                return std::to_string(waits_.early) + " of " + std::to_string(waits_.judged) +
                       " waits short";
            });
            break;
        }
    }
}

} // namespace glimmerset
