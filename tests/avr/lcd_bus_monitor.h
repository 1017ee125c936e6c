#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace glimmerset::avrtest {

// Watches the HD44780 write bus (D4..D7, RS, E; RW tied low) and checks it
// against the datasheet's write timing, independently of any simulated
// controller: an E strobe while the controller is still busy, E pulses
// shorter than 450 ns, strobes closer than the 1000 ns enable cycle, RS set
// up less than 60 ns before E rises, and data or RS changing while E is high.
class LcdBusMonitor {
public:
    enum Line { D4, D5, D6, D7, RS, E, LineCount };

    struct Access {
        bool data; // RS high: a data write, else an instruction
        std::uint8_t byte;
        double doneNs; // when the last E fall of the access happened
    };

    static constexpr double kPowerOnNs = 40e6; // after VCC passes 2.7 V
    static constexpr double kMinPulseNs = 450;
    static constexpr double kMinCycleNs = 1000;
    static constexpr double kMinRsSetupNs = 60;

    explicit LcdBusMonitor(double clockHz) : nsPerCycle_(1e9 / clockHz) {}

    void lineChanged(Line line, bool level, std::uint64_t cycle);

    const std::vector<std::string> &violations() const { return violations_; }
    const std::vector<Access> &accesses() const { return accesses_; }
    bool fourBitMode() const { return !eightBit_; }

    // How long the controller stays busy after an access, by the datasheet.
    double busyNs(bool data, std::uint8_t byte) const;

private:
    void eRose(double t, std::uint64_t cycle);
    void eFell(double t);
    void complete(bool data, std::uint8_t byte, double t);
    void violation(double t, const std::string &what);

    double nsPerCycle_;
    unsigned lines_ = 0;
    bool eightBit_ = true; // the controller powers up with an 8-bit interface
    int resetFunctionSets_ = 0;
    bool haveHighNibble_ = false;
    std::uint8_t highNibble_ = 0;
    double busyUntilNs_ = kPowerOnNs;
    std::string busyBecause_ = "power-on";
    double rsChangedNs_ = -1e18;
    std::uint64_t lastChangeCycle_ = UINT64_MAX;
    double eRoseNs_ = 0;
    double lastERoseNs_ = -1e18;
    bool changedWhileHigh_ = false;
    std::vector<std::string> violations_;
    std::vector<Access> accesses_;
};

} // namespace glimmerset::avrtest
