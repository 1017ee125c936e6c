#pragma once

#include "codegen/code_generation.h"
#include "simulation/verify_report.h"

#include <QString>

#include <cstdio>
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

// Why a run does not prove the set: a CGRAM row that differs, the loop not
// reached, a broken timing rule. Empty when the run holds the set.
inline std::vector<std::string> boardProblems(const BoardRun &run, const GlyphSet &expected) {
    std::vector<std::string> problems;
    char text[128];
    if (!run.loaded) {
        problems.push_back("program not loaded: " + run.loadError);
        return problems;
    }
    if (run.end != RunEnd::Loop) {
        std::snprintf(text, sizeof text, "loop not reached within %llu cycles",
                      static_cast<unsigned long long>(run.cycleBudget));
        problems.push_back(text);
    }
    const auto image = cgramImage(expected);
    for (int i = 0; i < 64; ++i)
        if (run.cgram[i] != image[i]) {
            std::snprintf(text, sizeof text, "CGRAM glyph %d row %d holds 0x%02X, expected 0x%02X",
                          i / 8, i % 8, run.cgram[i], image[i]);
            problems.push_back(text);
        }
    for (const std::string &v : run.busViolations)
        problems.push_back("bus: " + v);
    return problems;
}

// The board's problems, and beyond them what the test program promises:
// characters 0 to 7 at the start of line 1 and nothing else, and simavr's
// own part agreeing with the bus monitor.
inline std::vector<std::string> testProgramProblems(const BoardRun &run, const GlyphSet &expected) {
    std::vector<std::string> problems = boardProblems(run, expected);
    if (!run.loaded)
        return problems;
    char text[128];
    for (std::size_t i = 0; i < 40; ++i) {
        const int want = i < 8 ? static_cast<int>(i) : ' ';
        if (run.ddram[i] != want || run.partLine1[i] != want) {
            std::snprintf(text, sizeof text,
                          "DDRAM %zu holds 0x%02X (part 0x%02X), expected 0x%02X", i, run.ddram[i],
                          run.partLine1[i], want);
            problems.push_back(text);
        }
    }
    for (std::size_t i = 0; i < 40; ++i)
        if (run.ddram[40 + i] != ' ') {
            std::snprintf(text, sizeof text, "DDRAM line 2 column %zu holds 0x%02X", i,
                          run.ddram[40 + i]);
            problems.push_back(text);
        }
    if (run.partCgram != run.cgram)
        problems.push_back("simavr's part holds another CGRAM than the bus wrote");
    return problems;
}

} // namespace glimmerset::avrtest
