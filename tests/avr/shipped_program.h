#pragma once

#include "codegen/code_generation.h"
#include "simulation/verify_report.h"

#include <QString>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace glimmerset::avrtest {

inline QString shippedTemplate(const char *name) {
    return QStringLiteral(GLIMMERSET_TEMPLATE_DIR "/") + QString::fromLatin1(name);
}

// main.asm, the LCD_char block and rest.asm, joined as "Create Selected"
// joins them with the first three action rows selected. restText stands in
// for rest.asm's template text when given.
inline QString programText(const GlyphNames &names, const GlyphSet &glyphs,
                           const QString *restText = nullptr) {
    CodeRequest request;
    request.testProgram = true;
    request.characterCode = true;
    request.restOfCode = restText == nullptr;
    request.names = names;
    request.glyphs = glyphs;
    request.templateDir = QStringLiteral(GLIMMERSET_TEMPLATE_DIR);
    QString code;
    if (const auto failure = appendCode(code, request))
        throw std::runtime_error(failure->reason.toStdString());
    return restText ? code + *restText : code;
}

// The rules a run's findings name, sorted and joined by commas: what a
// test expects, read at a glance.
inline std::string ruleList(const Findings &findings) {
    std::vector<std::string> rules;
    for (const Finding &finding : findings.all())
        rules.push_back(ruleKey(finding.rule));
    std::sort(rules.begin(), rules.end());
    std::string list;
    for (const std::string &rule : rules)
        list += (list.empty() ? "" : ",") + rule;
    return list;
}

// Everything found, for a failing test's message.
inline std::string findingsText(const Findings &findings) {
    std::string text;
    for (const Finding &finding : findings.all()) {
        text += std::string("\n  ") + ruleKey(finding.rule) + ": " + finding.headline();
        for (const std::string &instance : finding.instances)
            text += "\n      " + instance;
    }
    return text;
}

} // namespace glimmerset::avrtest
