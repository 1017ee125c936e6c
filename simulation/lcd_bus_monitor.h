#pragma once

#include "simulation/findings.h"
#include "glyphs/lcd_layout.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace glimmerset {

// The HD44780U datasheet's bus timing and execution times in ns, one row
// per supply range, with the datasheet's names; the report's words are
// made from it. The power-on wait is the time from the supply rising to
// the first instruction; the slower clones take longer to execute.
struct BusTiming {
    const char *supply; // as the report names it, in volts
    double tCycE;       // t_cycE: enable cycle, E rise to E rise, at least
    double pwEH;        // PW_EH: E high, at least
    double tAS;         // t_AS: RS and RW set up before E rises
    double tAH;         // t_AH: RS and RW held after E falls
    double tDSW;        // t_DSW: data set up before E falls, in a write
    double tH;          // t_H: data held after E falls, in a write
    double tDDR;        // t_DDR: data valid after E rises, in a read, at most
    double tDHR;        // t_DHR: data held after E falls, in a read
    double powerOn;
    double access;     // an instruction or data access
    double clearHome;  // clear display, return home
    double resetStep1; // the reset by instruction: after its first function set
    double resetStep2; // after its second
    double slowAccess; // the slower clones
    double slowClearHome;
};
inline constexpr BusTiming kBusTimings[] = {
    // supply t_cycE PW_EH t_AS t_AH t_DSW t_H t_DDR t_DHR power-on, then the
    // execution times at the datasheet's 270 kHz and the clones'
    {"5", 500, 230, 40, 10, 80, 10, 160, 5, 15e6, 37e3, 1.52e6, 4.1e6, 100e3, 120e3,
     4.9e6}, // VCC 4.5 to 5.5 V
    {"3.3", 1000, 450, 60, 20, 195, 10, 360, 5, 40e6, 37e3, 1.52e6, 4.1e6, 100e3, 120e3,
     4.9e6}, // VCC 2.7 to 4.5 V
};

// One change of the lines as busChanged heard it, for a second reading of
// the same bus with the lines in another order.
struct BusEdge {
    std::uint64_t cycle;
    std::uint16_t driven, levels;
    bool operator==(const BusEdge &) const = default;
};

// The row for a supply voltage; null outside 2.7 to 5.5 V.
const BusTiming *busTimingFor(double volts);

// The controller's memory as the datasheet defines it.
struct LcdMemory {
    std::array<std::uint8_t, lcd::kCgramSize> cgram{};
    std::uint64_t cgramWritten = 0; // bit a set: CGRAM byte a was written
    std::array<std::uint8_t, lcd::kDdramSize> ddram{};
    bool twoLine = false; // the function set's N; the internal reset clears it
    // What the glass shows besides the memories. The internal reset leaves
    // the display off, its cursor off and the display unshifted.
    std::uint8_t displayControl = 0; // the last display control (0x08 to 0x0F); 0 before one
    bool displayWasOn = false;       // D was 1 at some moment of the run
    std::uint8_t displayShift = 0;   // places shifted left, modulo 80
    std::uint8_t cursor = 0;         // the address counter on DDRAM; kCursorOnCgram on CGRAM

    static constexpr std::uint8_t kCursorOnCgram = 0x80;
    bool displayOn() const { return displayControl & 0x04; }

    bool operator==(const LcdMemory &) const = default;
};

// An HD44780U on the bus, modelled from the datasheet: it decodes writes
// and answers reads (the busy flag and address counter, DDRAM and CGRAM
// data) in 8-bit and 4-bit mode, and judges the bus against the timing of
// its supply and the execution times. Waits that the datasheet allows but
// the slower clones (120 us per access, 4.9 ms for clear and home) would
// miss become warnings; so do a 4-bit switch without the reset by
// instruction and the faults that lose glyphs or characters.
class LcdBusMonitor {
public:
    // The module powers up with the chip, which starts its program (cycle 0)
    // startupMs later.
    LcdBusMonitor(double clockHz, const BusTiming &timing, double startupMs = 0);

    // The lines as the AVR leaves them at cycle, by lcd::lineBit: driven
    // for the lines it drives (output pins, and RW tied to ground), levels
    // for their levels and, on an input pin, its pull-up.
    void busChanged(unsigned driven, unsigned levels, std::uint64_t cycle);

    // The data lines the AVR reads at cycle (half cycles for the pin's
    // synchronizer) where it doesn't drive them, bit i for Di: what the
    // controller drives in a read, else the module's pull-ups.
    std::uint8_t dataSeen(double cycle);

    // RW tied to ground, not on a pin: a program that reads can't.
    void setRwTied(bool tied) { rwTied_ = tied; }

    // The run is over: judges what was still going on, and whether the
    // waits that fell short all did so by one factor, as a program built
    // for another clock does.
    void finish(std::uint64_t cycle);

    const Findings &findings() const { return findings_; }
    // The first changes of the lines, kept when keepEdges is called.
    static constexpr std::size_t kEdgesKept = 4096;
    void keepEdges() { edges_.reserve(kEdgesKept); }
    const std::vector<BusEdge> &edges() const { return edges_; }
    const LcdMemory &memory() const { return memory_; }
    std::uint64_t writes() const { return writes_; }
    std::uint64_t dataWrites() const { return dataWrites_; }
    std::uint64_t reads() const { return reads_; }
    bool fourBitMode() const { return !eightBit_; }
    std::uint8_t addressCounter() const { return address_; }

    // How long the controller stays busy after an access, by the datasheet
    // or, with slow set, by the slower clones.
    double busyNs(bool data, std::uint8_t byte, bool slow = false) const;

private:
    void edgeChecks(unsigned changed, unsigned lines, double t);
    void eRose(double t);
    void eFell(double t);
    void judgeBusy(double t);
    void completeWrite(bool data, std::uint8_t byte, double t);
    void completeRead(double t);
    enum class BusyCause { PowerOn, Write, Read };
    void nowBusy(double ns, double slowNs, BusyCause cause, double t);
    std::string busyBecause() const;
    void instruction(std::uint8_t byte, double t);
    void writeData(std::uint8_t byte, double t);
    void moveAddress(int step);
    void shiftDisplay(int left);
    void noteCursor();
    void closeRun(double t);
    template <class MakeText>
    void found(FindingKind kind, Rule rule, const std::string &title, double t, MakeText &&what);

    double nsPerCycle_;
    double startupNs_;
    bool accessed_ = false;
    BusTiming timing_;
    Findings findings_;
    std::string pulseTitle_, cycleTitle_, setupTitle_, holdTitle_, dataSetupTitle_, dataHoldTitle_,
        readTitle_, lateReadTitle_, cloneTitle_;
    double resetStepDoneNs_ = 0;

    unsigned lines_ = lcd::lineBit(lcd::RS) | lcd::lineBit(lcd::RW) | lcd::kDataLines;
    unsigned driven_ = 0;
    std::array<double, lcd::kLineCount> changedNs_;
    double eRoseNs_ = -1e18;
    double eFellNs_ = -1e18;
    bool readStrobe_ = false;
    bool lastStrobeRead_ = false;

    bool eightBit_ = true; // the controller powers up with an 8-bit interface
    int eightBitFunctionSets_ = 0;
    bool haveHighNibble_ = false;
    std::uint8_t highNibble_ = 0;
    std::uint8_t readByte_ = 0;
    std::uint8_t readDriven_ = 0xFF; // the lines as the controller drives them in this read
    bool readData_ = false;

    double busyUntilNs_;
    double slowBusyUntilNs_;
    BusyCause busyCause_ = BusyCause::PowerOn; // kept bare: a hot loop formats nothing
    double busySinceNs_ = 0;
    bool busyData_ = false;
    std::uint8_t busyByte_ = 0;
    bool busyReported_ = false; // each early access counts once
    bool cloneWarned_ = false;
    bool sawNotBusy_ = false; // a busy-flag read said ready since the last access

    bool rwTied_ = false;
    bool functionSet_ = false; // any, since power-on

    // Each access's time since the one that made the controller busy, over
    // the wait it needed: those under 1 came too early.
    struct WaitRatios {
        std::uint64_t judged = 0, early = 0;
        double lowest = 1e18; // of all
        double lowestEarly = 1e18, highestEarly = 0;
        void add(double ratio);
    } waits_;
    bool waitJudged_ = false; // since the controller last became busy
    double clockHz_;

    std::vector<BusEdge> edges_;

    LcdMemory memory_;
    bool addressingCgram_ = false;
    bool increment_ = true;
    std::uint8_t address_ = 0; // DDRAM address, or CGRAM 0..63
    bool wrapped_ = false;     // the counter ran round CGRAM since an address was set
    // The entry mode's S: a write into DDRAM shifts the display.
    bool shiftOnEntry_ = false;

    // The data writes since an address was last set, for the faults that
    // put glyph rows and characters into the wrong memory.
    struct DataRun {
        bool cgram = false;
        std::uint8_t start = 0;
        int length = 0;
        bool rowsOnly = true; // every byte fits a glyph row
        bool leftDot = false; // some byte lights column 0
        bool named = false;
        bool decrement = false;
    } run_;

    std::uint64_t writes_ = 0;
    std::uint64_t dataWrites_ = 0;
    std::uint64_t reads_ = 0;
};

} // namespace glimmerset
