#include "cli/cli_io.h"
#include "cli/commands.h"

#include "codegen/glyph_import.h"
#include "codegen/name_text.h"
#include "storage/glyph_file.h"

namespace glimmerset::cli {

int importCommand(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Makes a glyph file from the glyph byte arrays in FILE, as they are pasted from\n"
        "elsewhere: C, C++ and Arduino arrays in hex (0x1F), binary (0b11111, B11111) or\n"
        "decimal, with or without PROGMEM and const, several to a file, and every form\n"
        "that 'code' writes. Up to eight glyphs in order, named by the arrays (or by the\n"
        "comments of our own forms); a row with bits above the fifth is refused, a glyph\n"
        "of fewer than 8 rows gets dark rows and a warning. The glyph file is written as\n"
        "\"Save Characters\" writes it."));
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The source with the arrays."));
    const QCommandLineOption output(
        {QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Write the glyph file to SET.ch, named exactly (nothing is added), "
                       "replacing it whole or not at all. Without it, or with -, to stdout."),
        QStringLiteral("SET.ch"));
    parser.addOptions({output});
    if (const auto exit = parseCommand(parser, arguments, 1, 1, QStringLiteral("a source file")))
        return *exit;

    const QString source = parser.positionalArguments().constFirst();
    refuseToOverwrite(parser.value(output), {source}, true);
    const ImportedGlyphs imported = importGlyphFile(source);
    const QByteArray bytes = glyphFileBytes(imported.set.names, imported.set.glyphs);
    for (const QString &warning : imported.warnings)
        printError(QStringLiteral("Warning: ") + terminalText(warning));
    if (imported.found < kGlyphCount)
        printError(QStringLiteral("Note: \"%1\" gives %2 of 8 glyphs; the others stay dark "
                                  "with their default names.")
                       .arg(terminalText(source), QString::number(imported.found)));
    return writeOutput(parser.value(output), bytes);
}

} // namespace glimmerset::cli
