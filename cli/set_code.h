#pragma once

#include "codegen/code_form.h"
#include "storage/glyph_file.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>

#include <optional>

namespace glimmerset::cli {

// --templates DIR: where main.asm and rest.asm are looked for instead of
// beside the executable, a folder or the name of a shipped set.
QCommandLineOption templatesOption();
QString templateFolder(const QCommandLineParser &parser);

// The set in the glyph file at path ("-": the standard input), read as the
// window reads it. Tells on
// stderr where a hand-written file loses its shape and of pixel fields that
// hold anything but 0 or 1, the first few by their line: a file that is no
// glyph file still loads. Throws Error.
GlyphFileContent readSetFile(const QString &path);

// The code "Create Selected" makes for set with "Character Code" and, as
// asked, the two templates; form replaces the block. Warns on stderr of a
// name cut to fit its comment line. Throws Error with the window's message and the reason when a
// template can't be read.
QString codeForSet(const GlyphFileContent &set, bool testProgram, bool restOfCode,
                   const QString &templateDir, CodeForm form = CodeForm::Asm);

// Each line of the chosen templates that the template stage would break, as
// a warning on stderr; the code stays as it is.
void warnOfTemplateFindings(const QString &templateDir, bool testProgram, bool restOfCode);

} // namespace glimmerset::cli
