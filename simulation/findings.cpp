#include "simulation/findings.h"

#include <algorithm>
#include <array>
#include <strings.h>

namespace glimmerset {

namespace {

// In the order of Rule.
constexpr std::array<const char *, std::size_t(Rule::Fault) + 1> kKeys = {
    "busy",       "PW_EH",
    "t_cycE",     "t_AS",
    "t_AH",       "t_DSW",
    "t_H",        "t_DDR",
    "t_DHR",      "contention",
    "i2c-scl",    "i2c-start",
    "i2c-probed", "wiring",
    "no-init",    "rw-tied",
    "clock",      "decrement",
    "waiting",    "pin-toggle",
    "i2c-missed", "cgram-characters",
    "ddram-rows", "4-bit",
    "clone",      "startup",
    "one-line",   "display-off",
    "display-off-at-end", "cgram",
    "silence",    "nothing-written",
    "loop",       "fault",
};
static_assert(kKeys.back() != nullptr, "a key for every rule");

} // namespace

const char *ruleKey(Rule rule) {
    return kKeys[static_cast<std::size_t>(rule)];
}

std::optional<Rule> ruleNamed(std::string_view key) {
    for (std::size_t i = 0; i < kKeys.size(); ++i)
        if (key.size() == std::string_view(kKeys[i]).size() &&
            strncasecmp(key.data(), kKeys[i], key.size()) == 0)
            return static_cast<Rule>(i);
    return std::nullopt;
}

bool acceptable(Rule rule) {
    return rule <= Rule::I2cStart;
}

bool isCause(Rule rule) {
    return rule >= Rule::Wiring && rule <= Rule::I2cMissed;
}

void Findings::causesFirst() {
    std::stable_sort(findings_.begin(), findings_.end(), [](const Finding &a, const Finding &b) {
        const bool causeA = isCause(a.rule), causeB = isCause(b.rule);
        return causeA != causeB ? causeA : causeA && a.rule < b.rule;
    });
}

void Findings::remove(Rule rule) {
    std::erase_if(findings_, [rule](const Finding &finding) { return finding.rule == rule; });
}

bool onI2c(Rule rule) {
    return rule == Rule::I2cScl || rule == Rule::I2cStart || rule == Rule::I2cProbed ||
           rule == Rule::I2cMissed;
}

std::string Finding::headline() const {
    std::string text = title;
    if (const auto at = text.find("%n"); at != std::string::npos)
        text.replace(at, 2, std::to_string(count));
    return text;
}

Finding &Findings::record(FindingKind kind, Rule rule, std::string_view title) {
    for (Finding &finding : findings_)
        if (finding.rule == rule) {
            ++finding.count;
            return finding;
        }
    findings_.push_back({kind, rule, std::string(title), 1, {}});
    return findings_.back();
}

void Findings::addCount(FindingKind kind, Rule rule, std::string_view title, std::uint64_t n) {
    if (n > 0)
        record(kind, rule, title).count += n - 1;
}

void Findings::merge(const Findings &other) {
    for (const Finding &theirs : other.findings_) {
        Finding &mine = record(theirs.kind, theirs.rule, theirs.title);
        mine.count += theirs.count - 1;
        for (const std::string &text : theirs.instances)
            if (mine.instances.size() < kInstancesKept)
                mine.instances.push_back(text);
    }
}

bool Findings::failed() const {
    return std::any_of(findings_.begin(), findings_.end(), [](const Finding &finding) {
        return finding.kind == FindingKind::Failure || finding.kind == FindingKind::Violation;
    });
}

const Finding *Findings::find(Rule rule) const {
    for (const Finding &finding : findings_)
        if (finding.rule == rule)
            return &finding;
    return nullptr;
}

} // namespace glimmerset
