#pragma once

#include "storage/glyph_file.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>

namespace glimmerset::cli {

// --templates DIR: where main.asm and rest.asm are looked for instead of
// beside the executable.
QCommandLineOption templatesOption();
QString templateFolder(const QCommandLineParser &parser);

// The code "Create Selected" makes for set with "Character Code" and, as
// asked, the two templates. Throws Error with the window's message and the
// reason when a template can't be read.
QString codeForSet(const GlyphFileContent &set, bool testProgram, bool restOfCode,
                   const QString &templateDir);

} // namespace glimmerset::cli
