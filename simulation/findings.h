#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glimmerset {

// What a failure, a broken datasheet rule or a warning is to the verdict:
// the first two fail it, a warning or a note does not, nor a broken rule
// the user accepted.
enum class FindingKind { Failure, Violation, Warning, Note, Accepted };

// Everything verify can find, each with its stable key (the datasheet's
// name where it has one: "PW_EH", "t_AS").
enum class Rule : std::uint8_t {
    // The HD44780U's bus, by its datasheet.
    Busy,
    PwEh,
    TCycE,
    TAs,
    TAh,
    TDsw,
    TH,
    TDdr,
    TDhr,
    Contention,
    // The I2C bus, by the PCF8574's.
    I2cScl,
    I2cStart,
    I2cProbed,
    // Causes: what makes the rest go wrong, named first.
    Wiring,
    NoInit,
    RwTied,
    ClockScale,
    Decrement,
    Waiting,
    PinToggle,
    I2cMissed,
    // What the program did, or left undone.
    CgramCharacters,
    DdramRows,
    FourBit,
    Clone,
    Startup,
    OneLine,
    DisplayOff,
    DisplayOffAtEnd,
    Cgram,
    Silence,
    NothingWritten,
    Loop,
    Fault,
};

const char *ruleKey(Rule rule);
// The rule with that key, if any; case does not matter.
std::optional<Rule> ruleNamed(std::string_view key);
// A rule of the PCF8574's I2C bus rather than the LCD's.
bool onI2c(Rule rule);
// A rule of either bus that a user may knowingly break (--accept).
bool acceptable(Rule rule);
// A root cause, which the report puts before what follows from it.
bool isCause(Rule rule);

// One kind of thing found, counted: a program that breaks a rule a million
// times keeps a count and its first few instances, not a million strings.
struct Finding {
    FindingKind kind;
    Rule rule;
    std::string title; // what was found; "%n" stands for the count
    std::uint64_t count = 0;
    std::vector<std::string> instances; // the first few, each with its time or place

    std::string headline() const;

    bool operator==(const Finding &) const = default;
};

class Findings {
public:
    static constexpr std::size_t kInstancesKept = 3;

    // Counts one more instance of rule; text() is called only while
    // instances are still kept, so a hot loop builds no strings.
    template <class MakeText>
    void add(FindingKind kind, Rule rule, std::string_view title, MakeText &&text) {
        Finding &finding = record(kind, rule, title);
        if (finding.instances.size() < kInstancesKept)
            finding.instances.push_back(text());
    }
    void add(FindingKind kind, Rule rule, std::string_view title) { record(kind, rule, title); }
    // Counts n instances at once, for a count kept elsewhere; none when n is 0.
    void addCount(FindingKind kind, Rule rule, std::string_view title, std::uint64_t n);
    void merge(const Findings &other);

    bool failed() const;
    const Finding *find(Rule rule) const;
    bool has(Rule rule) const { return find(rule) != nullptr; }
    // Puts the causes first, in the order of Rule, the rest as found.
    void causesFirst();
    void remove(Rule rule);
    Finding *find(Rule rule) {
        return const_cast<Finding *>(static_cast<const Findings *>(this)->find(rule));
    }
    const std::vector<Finding> &all() const { return findings_; }

    bool operator==(const Findings &) const = default;

    // Every member, for the codec that carries a run out of its process.
    template <typename Io> friend void fields(Io &io, Findings &findings) {
        io(findings.findings_);
    }

private:
    Finding &record(FindingKind kind, Rule rule, std::string_view title);

    std::vector<Finding> findings_; // in the order first found
};

} // namespace glimmerset
