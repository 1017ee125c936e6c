#pragma once

#include "storage/glyph_file.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>

#include <optional>

namespace glimmerset::cli {

// --templates DIR: where main.asm and rest.asm are looked for instead of
// beside the executable.
QCommandLineOption templatesOption();
QString templateFolder(const QCommandLineParser &parser);

// Tells on stderr of pixel fields that hold anything but 0 or 1, the first
// few by their line: a file that is no glyph file still loads.
void warnAboutOddPixels(const GlyphFileContent &set);

// The code "Create Selected" makes for set with "Character Code" and, as
// asked, the two templates, after warnAboutOddPixels. A template that can't
// be read is reported on stderr and gives nothing.
std::optional<QString> codeForSet(const GlyphFileContent &set, bool testProgram, bool restOfCode,
                                  const QString &templateDir);

} // namespace glimmerset::cli
