#include "cli/cli_io.h"
#include "cli/commands.h"
#include "cli/set_code.h"

#include "codegen/asm_file.h"
#include "storage/glyph_file.h"

namespace glimmerset::cli {

int codeCommand(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes the LCD_char subroutine for the glyphs of SET.ch, as \"Save to File\" does with\n"
        "\"Character Code\" selected: the text and one CR LF behind it. --test-program puts\n"
        "main.asm before it and --rest puts rest.asm after it."));
    parser.addPositionalArgument(QStringLiteral("SET.ch"), QStringLiteral("The glyph file."));
    const QCommandLineOption output(
        {QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Write to FILE, named exactly (nothing is added), replacing it "
                       "whole or not at all. Without it, or with -, to stdout."),
        QStringLiteral("FILE"));
    const QCommandLineOption testProgram(
        QStringLiteral("test-program"),
        QStringLiteral("Put main.asm first (\"Add a Test Program\")."));
    const QCommandLineOption rest(
        QStringLiteral("rest"),
        QStringLiteral("Put rest.asm last (\"Add the rest of the Code\")."));
    const QCommandLineOption templates = templatesOption();
    parser.addOptions({output, testProgram, rest, templates});
    if (const auto exit = parseCommand(parser, arguments, 1))
        return *exit;

    const QString code =
        codeForSet(glyphs_from_file(parser.positionalArguments().constFirst()),
                   parser.isSet(testProgram), parser.isSet(rest), templateFolder(parser));
    const QString target = parser.value(output);
    if (target.isEmpty() || target == QLatin1String("-"))
        return writeStdout(asmFileBytes(code)) ? kSuccess : kFailure;
    write_asm_file(target, code);
    return kSuccess;
}

} // namespace glimmerset::cli
