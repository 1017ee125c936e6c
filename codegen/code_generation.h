#pragma once

#include "codegen/code_form.h"
#include "glyphs/glyph_set.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace glimmerset {

// The template a run could not read, and why; the code keeps what was
// appended up to the failure, the failing template's fields included.
struct TemplateFailure {
    QString message; // the window's text: "File: Main.asm doesn't exist!!!"
    QString reason;  // the reader's own words, naming the file
};

// The template stages, shared by the window, the command line, the AVR
// proof and the benchmarks. Each appends straight to code, so a large
// template is never held twice.
std::optional<TemplateFailure> appendTestProgram(QString &code, const QString &templateDir);
void appendCharacterCode(QString &code, const GlyphNames &names, const GlyphSet &glyphs);
std::optional<TemplateFailure> appendRestOfCode(QString &code, const QString &templateDir);

// What "Create Selected" puts into the code buffer before the output stages.
struct CodeRequest {
    bool testProgram = false;      // "Add a Test Program"
    bool characterCode = false;    // "Character Code"
    CodeForm form = CodeForm::Asm; // the window's block unless a build asks for another
    bool restOfCode = false;       // "Add the rest of the Code"
    GlyphNames names = defaultGlyphNames();
    GlyphSet glyphs;
    QString templateDir;
    // When given, each line of a template read that the stage would break,
    // described, from the same read of the file.
    QStringList *templateFindings = nullptr;
};

// Appends the chosen parts in the chain's order (test program, character
// code, rest of the code) and stops at the first template it can't read.
std::optional<TemplateFailure> appendCode(QString &code, const CodeRequest &request);

} // namespace glimmerset
