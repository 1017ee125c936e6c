#include "cli/cli_io.h"
#include "cli/commands.h"

#include "codegen/glyph_import.h"
#include "codegen/name_text.h"
#include "storage/glyph_file.h"
#include "storage/regular_file.h"

#include <QFile>

namespace glimmerset::cli {

int importCommand(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Makes a glyph file from the glyph byte arrays in FILE, as they are pasted from\n"
        "elsewhere: C, C++ and Arduino arrays in hex (0x1F), binary (0b11111, B11111) or\n"
        "decimal, with or without PROGMEM and const, several to a file, bare lists of\n"
        "bytes in braces or not ({0x00,0x0A,...}), and every form that 'code' writes.\n"
        "Up to eight glyphs in order, named by the arrays (or by the comments of our own\n"
        "forms); a row with bits above the fifth is refused, a glyph of fewer than 8 rows\n"
        "gets dark rows and a warning. The glyph file is written as \"Save Characters\"\n"
        "writes it."));
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The source with the arrays; - reads the "
                                                "standard input."));
    const QCommandLineOption output(
        {QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Write the glyph file to SET.ch, named exactly (nothing is added), "
                       "replacing it whole or not at all. Without it, or with -, to stdout."),
        QStringLiteral("SET.ch"));
    parser.addOptions({output});
    if (const auto exit = parseCommand(parser, arguments, 1, 1, QStringLiteral("a source file")))
        return *exit;

    const QString source = parser.positionalArguments().constFirst();
    const bool standardInput = source == u"-";
    if (!standardInput)
        refuseToOverwrite(parser.value(output), {source}, true);
    const QString named = standardInput ? QString::fromLatin1(kStandardInputName)
                                        : QStringLiteral("\"%1\"").arg(source);
    const ImportedGlyphs imported = standardInput
                                        ? importGlyphDevice(*openStandardInput(), named)
                                        : importGlyphFile(source);
    const QByteArray bytes = glyphFileBytes(imported.set.names, imported.set.glyphs);
    for (const QString &warning : imported.warnings)
        printError(QStringLiteral("Warning: ") + terminalText(warning));
    if (imported.found < kGlyphCount)
        printError(QStringLiteral("Note: %1 gives %2 of 8 glyphs; the others stay dark "
                                  "with their default names.")
                       .arg(terminalText(named), QString::number(imported.found)));
    return writeOutput(parser.value(output), bytes);
}

} // namespace glimmerset::cli
