#pragma once

#include "codegen/code_form.h"
#include "storage/glyph_file.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

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
// name cut to fit its comment line and, with warnOfTemplates, of each line
// of those templates that the template stage would break, from the same
// read. Throws Error with the window's message and the reason when a
// template can't be read.
QString codeForSet(const GlyphFileContent &set, bool testProgram, bool restOfCode,
                   const QString &templateDir, CodeForm form = CodeForm::Asm,
                   bool warnOfTemplates = false);

// Each line of the chosen templates that the template stage would break,
// described, and the error of each template that can't be read.
struct TemplateReport {
    QStringList findings;
    QStringList unreadable;
};
TemplateReport checkTemplates(const QString &templateDir, bool testProgram, bool restOfCode);

} // namespace glimmerset::cli
