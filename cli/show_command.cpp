#include "cli/cli_io.h"
#include "cli/commands.h"
#include "cli/set_code.h"

#include "codegen/code_form.h"
#include "codegen/name_text.h"
#include "storage/glyph_file.h"

namespace glimmerset::cli {

namespace {

// "1.Char Arrow", then the eight rows, '#' lit and '.' dark, a blank line between glyphs.
QString glyphsAsText(const GlyphFileContent &set) {
    QString text;
    for (int g = 0; g < kGlyphCount; ++g) {
        if (g > 0)
            text += u'\n';
        // A name may hold an escape sequence: the terminal gets it spelled out.
        text += glyphListEntry(g) + u' ' + terminalText(set.names[g]) + u'\n';
        for (int r = 0; r < lcd::kGlyphRows; ++r)
            text += rowPicture(set.glyphs, g, r) + u'\n';
    }
    return text;
}

} // namespace

int showCommand(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Shows the eight names and glyphs of SET.ch as text: each glyph its list entry and\n"
        "name, then 8 rows of 5 characters, '#' lit and '.' dark."));
    parser.addPositionalArgument(QStringLiteral("SET.ch"),
                                 QStringLiteral("The glyph file; - reads the standard input."));
    if (const auto exit = parseCommand(parser, arguments, 1))
        return *exit;
    const GlyphFileContent set = readSetFile(parser.positionalArguments().constFirst());
    return writeStdout(glyphsAsText(set).toLocal8Bit()) ? kSuccess : kFailure;
}

} // namespace glimmerset::cli
