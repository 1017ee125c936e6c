#include "cli/set_code.h"

#include "cli/cli_io.h"

#include "codegen/code_generation.h"
#include "codegen/template_check.h"
#include "codegen/template_folder.h"
#include "codegen/template_text.h"
#include "storage/error.h"

#include <QDir>

namespace glimmerset::cli {

namespace {

const QString kTemplatesName = QStringLiteral("templates");

} // namespace

QCommandLineOption templatesOption() {
    return QCommandLineOption(
        kTemplatesName,
        QStringLiteral("Look for main.asm and rest.asm in DIR, not beside the executable."),
        QStringLiteral("DIR"));
}

QString templateFolder(const QCommandLineParser &parser) {
    return parser.isSet(kTemplatesName) ? parser.value(kTemplatesName) : executableFolder();
}

std::optional<QString> codeForSet(const GlyphFileContent &set, bool testProgram, bool restOfCode,
                                  const QString &templateDir, CodeForm form) {
    CodeRequest request;
    request.testProgram = testProgram;
    request.characterCode = true;
    request.form = form;
    request.restOfCode = restOfCode;
    request.names = set.names;
    request.glyphs = set.glyphs;
    request.templateDir = templateDir;
    QString code;
    if (const auto failure = appendCode(code, request)) {
        printError(failure->message);
        printError(failure->reason);
        return std::nullopt;
    }
    return code;
}

void warnOfTemplateFindings(const QString &templateDir, bool testProgram, bool restOfCode) {
    for (const auto &[wanted, name] :
         {std::pair(testProgram, kMainTemplateName), std::pair(restOfCode, kRestTemplateName)}) {
        if (!wanted)
            continue;
        try {
            for (const TemplateFinding &finding :
                 checkTemplateFile(QDir(templateDir).filePath(QString::fromLatin1(name))))
                printError(QStringLiteral("Warning: ") +
                           describeFinding(QString::fromLatin1(name), finding));
        } catch (const Error &) {
            // The stage has just read it; what changed since is the next run's news.
        }
    }
}

} // namespace glimmerset::cli
