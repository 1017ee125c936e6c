#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace glimmerset {

// Watches the HD44780 bus (D4..D7, RS, E, and RW when wired) and checks it
// against the datasheet's write timing, independently of any simulated
// controller: an E strobe while the controller is still busy, E pulses
// shorter than 450 ns, strobes closer than the 1000 ns enable cycle, RS set
// up less than 60 ns before E rises, and data or RS changing while E is high.
// Strobes that the datasheet allows but the slower clones (120 us per
// access, 4.9 ms for clear and home) would miss become warnings. From the
// decoded writes it keeps the controller's memory as the datasheet defines
// it: DDRAM, CGRAM and the address counter.
class LcdBusMonitor {
public:
    enum Line { D4, D5, D6, D7, RS, E, RW, LineCount };

    struct Access {
        bool data; // RS high: a data write, else an instruction
        std::uint8_t byte;
        double doneNs; // when the last E fall of the access happened

        bool operator==(const Access &) const = default;
    };

    static constexpr double kPowerOnNs = 40e6; // after VCC passes 2.7 V
    static constexpr double kMinPulseNs = 450;
    static constexpr double kMinCycleNs = 1000;
    static constexpr double kMinRsSetupNs = 60;
    static constexpr int kDdramSize = 80; // line 1 at 0..39, line 2 at 40..79

    explicit LcdBusMonitor(double clockHz) : nsPerCycle_(1e9 / clockHz) { ddram_.fill(' '); }

    void lineChanged(Line line, bool level, std::uint64_t cycle);

    const std::vector<std::string> &violations() const { return violations_; }
    const std::vector<std::string> &warnings() const { return warnings_; }
    const std::vector<Access> &accesses() const { return accesses_; }
    bool fourBitMode() const { return !eightBit_; }
    const std::array<std::uint8_t, 64> &cgram() const { return cgram_; }
    const std::array<std::uint8_t, kDdramSize> &ddram() const { return ddram_; }

    // How long the controller stays busy after an access, by the datasheet
    // or, with slow set, by the slower clones.
    double busyNs(bool data, std::uint8_t byte, bool slow = false) const;

private:
    void eRose(double t, std::uint64_t cycle);
    void eFell(double t);
    void complete(bool data, std::uint8_t byte, double t);
    void store(bool data, std::uint8_t byte);
    void violation(double t, const std::string &what);

    double nsPerCycle_;
    unsigned lines_ = 0;
    bool eightBit_ = true; // the controller powers up with an 8-bit interface
    int resetFunctionSets_ = 0;
    bool haveHighNibble_ = false;
    std::uint8_t highNibble_ = 0;
    double busyUntilNs_ = kPowerOnNs;
    double slowBusyUntilNs_ = kPowerOnNs;
    std::string busyBecause_ = "power-on";
    bool busyReported_ = false;
    double rsChangedNs_ = -1e18;
    std::uint64_t lastChangeCycle_ = UINT64_MAX;
    double eRoseNs_ = 0;
    double lastERoseNs_ = -1e18;
    bool changedWhileHigh_ = false;
    std::vector<std::string> violations_;
    std::vector<std::string> warnings_;
    std::vector<Access> accesses_;

    // The controller's memory: the internal reset leaves DDRAM blank.
    std::array<std::uint8_t, 64> cgram_{};
    std::array<std::uint8_t, kDdramSize> ddram_{};
    bool addressingCgram_ = false;
    bool increment_ = true;
    std::uint8_t address_ = 0; // DDRAM 0x00..0x27 and 0x40..0x67, or CGRAM 0..63
};

} // namespace glimmerset
