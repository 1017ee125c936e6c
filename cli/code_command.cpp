#include "cli/cli_io.h"
#include "cli/commands.h"
#include "cli/set_code.h"

#include "codegen/code_form.h"
#include "codegen/name_text.h"
#include "codegen/template_text.h"
#include "storage/error.h"

#include <QDir>

namespace glimmerset::cli {

namespace {

// A name the code could only carry by changing it is no secret to the user.
void noteChangedNames(const GlyphNames &names) {
    for (int g = 0; g < kGlyphCount; ++g)
        if (nameForComment(names[g]) != names[g].left(commentNameLength(names[g])))
            printError(QStringLiteral("code: the name of character %1, \"%2\", holds a character "
                                      "that would end or continue its comment line; the code "
                                      "writes %3 in its place.")
                           .arg(QString::number(g + 1), terminalText(names[g]),
                                QString(QChar(kNameStandIn))));
}

} // namespace

int codeCommand(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes the code for the glyphs of SET.ch. By default the LCD_char subroutine, as \"Save\n"
        "to File\" does with \"Character Code\" selected: the text and one CR LF behind it.\n"
        "--test-program puts main.asm before it and --rest puts rest.asm after it.\n\n"
        "Forms:\n"
        "  asm        the window's LCD_char block: 64 address and 64 data instructions\n"
        "             (257 words)\n"
        "  asm-table  LCD_char as a loop over a table in flash (47 words); same contract,\n"
        "             and it leaves the controller at DDRAM address 0\n"
        "  c          a header for avr-gcc: glyph_rows in PROGMEM, an enum of the codes\n"
        "             and glimmerset_load_glyphs(command, data)\n"
        "  arduino    a sketch header for LiquidCrystal and LiquidCrystal_I2C: a PROGMEM\n"
        "             array for each glyph and loadGlyphs(lcd)"));
    parser.addPositionalArgument(QStringLiteral("SET.ch"),
                                 QStringLiteral("The glyph file; - reads the standard input."));
    const QCommandLineOption output(
        {QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Write to FILE, named exactly (nothing is added), replacing it "
                       "whole or not at all. Without it, or with -, to stdout."),
        QStringLiteral("FILE"));
    const QCommandLineOption form(QStringLiteral("form"),
                                  QStringLiteral("The form of the code: %1. Default: asm.")
                                      .arg(codeFormNames().join(QStringLiteral(", "))),
                                  QStringLiteral("FORM"), QStringLiteral("asm"));
    const QCommandLineOption testProgram(
        QStringLiteral("test-program"),
        QStringLiteral("Put main.asm first (\"Add a Test Program\"); assembly forms only."));
    const QCommandLineOption rest(
        QStringLiteral("rest"),
        QStringLiteral("Put rest.asm last (\"Add the rest of the Code\"); assembly forms only."));
    const QCommandLineOption templates = templatesOption();
    const QCommandLineOption force(
        QStringLiteral("force"),
        QStringLiteral("Replace FILE even when it holds a glyph set (never the glyph file or a "
                       "template the code is made from)."));
    parser.addOptions({output, form, testProgram, rest, templates, force});
    if (const auto exit = parseCommand(parser, arguments, 1))
        return *exit;
    const auto chosen = codeFormNamed(parser.value(form));
    if (!chosen)
        return usageError(arguments.value(0), QStringLiteral("no form %1; the forms are %2.")
                                                  .arg(shownValue(parser.value(form)),
                                                       codeFormNames().join(QStringLiteral(", "))));
    if (!isAssemblyForm(*chosen) && (parser.isSet(testProgram) || parser.isSet(rest)))
        return usageError(arguments.value(0),
                          QStringLiteral("the templates are assembly; --test-program and --rest "
                                         "go with the forms asm and asm-table."));

    const QString setPath = parser.positionalArguments().constFirst();
    QStringList inputs{setPath};
    for (const char *name : {kMainTemplateName, kRestTemplateName})
        inputs << QDir(templateFolder(parser)).filePath(QLatin1String(name));
    refuseToOverwrite(parser.value(output), inputs, parser.isSet(force));

    const GlyphFileContent set = readSetFile(setPath);
    const QString code = codeForSet(set, parser.isSet(testProgram), parser.isSet(rest),
                                    templateFolder(parser), *chosen, true);
    noteChangedNames(set.names);
    return writeOutput(parser.value(output), formFileBytes(*chosen, code));
}

} // namespace glimmerset::cli
