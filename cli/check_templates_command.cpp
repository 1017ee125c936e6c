#include "cli/cli_io.h"
#include "cli/commands.h"
#include "cli/set_code.h"

#include "codegen/template_check.h"
#include "codegen/template_text.h"
#include "storage/error.h"

#include <QDir>

namespace glimmerset::cli {

int checkTemplatesCommand(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Names each line of main.asm and rest.asm that the template stage would make into\n"
        "broken assembly, with its line number and what it becomes: a comma after a\n"
        "mnemonic other than ORI STS LDS OUT LDI IN (or a lower-case one), a comma in a\n"
        "comment, a field beginning with one of those six that swallows the next line.\n"
        "Exits with 1 when there is one. 'code --test-program --rest' warns of the same."));
    parser.addOptions({templatesOption()});
    if (const auto exit = parseCommand(parser, arguments, 0))
        return *exit;

    const QString folder = templateFolder(parser);
    bool clean = true;
    QString report;
    for (const char *name : {kMainTemplateName, kRestTemplateName}) {
        const QString fileName = QString::fromLatin1(name);
        try {
            const auto findings = checkTemplateFile(QDir(folder).filePath(fileName));
            for (const TemplateFinding &finding : findings)
                report += describeFinding(fileName, finding) + u'\n';
            clean = clean && findings.isEmpty();
        } catch (const Error &e) {
            printError(e.message());
            clean = false;
        }
    }
    if (clean)
        report = QStringLiteral("main.asm and rest.asm come through the template stage whole.\n");
    if (!printText(report))
        return kFailure;
    return clean ? kSuccess : kFailure;
}

} // namespace glimmerset::cli
