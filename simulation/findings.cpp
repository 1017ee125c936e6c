#include "findings.h"

#include <algorithm>

namespace glimmerset {

std::string Finding::headline() const {
    std::string text = title;
    if (const auto at = text.find("%n"); at != std::string::npos)
        text.replace(at, 2, std::to_string(count));
    return text;
}

Finding &Findings::record(FindingKind kind, std::string_view rule, std::string_view title) {
    for (Finding &finding : findings_)
        if (finding.rule == rule) {
            ++finding.count;
            return finding;
        }
    findings_.push_back({kind, std::string(rule), std::string(title), 1, {}});
    return findings_.back();
}

void Findings::addCount(FindingKind kind, std::string_view rule, std::string_view title,
                        std::uint64_t n) {
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

const Finding *Findings::find(std::string_view rule) const {
    for (const Finding &finding : findings_)
        if (finding.rule == rule)
            return &finding;
    return nullptr;
}

} // namespace glimmerset
