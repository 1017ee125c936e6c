#include "cli/set_code.h"

#include "cli/cli_io.h"

#include "codegen/code_generation.h"
#include "codegen/template_check.h"
#include "codegen/template_folder.h"
#include "codegen/template_text.h"
#include "storage/error.h"
#include "storage/executable_folder.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace glimmerset::cli {

namespace {

const QString kTemplatesName = QStringLiteral("templates");

} // namespace

QCommandLineOption templatesOption() {
    return QCommandLineOption(
        kTemplatesName,
        QStringLiteral("Look for main.asm and rest.asm in DIR, not beside the executable. A "
                       "DIR that is no folder may name a shipped set: parallel (the LCD on "
                       "a port) or pcf8574 (on an I2C backpack)."),
        QStringLiteral("DIR"));
}

QString templateFolder(const QCommandLineParser &parser) {
    if (!parser.isSet(kTemplatesName))
        return executableFolder();
    const QString folder = parser.value(kTemplatesName);
    if (QFileInfo(folder).isDir())
        return folder;
    const QString set = templateSetFolder(folder);
    return set.isEmpty() ? folder : set;
}

void warnAboutOddPixels(const GlyphFileContent &set) {
    // An assembly file read as a set would fill the screen with them.
    constexpr qsizetype kNamed = 5;
    for (const QString &odd : set.oddPixels.first(std::min(kNamed, set.oddPixels.size())))
        printError(QStringLiteral("Warning: ") + odd);
    if (set.oddPixels.size() > kNamed)
        printError(QStringLiteral("Warning: %1 more pixel fields hold neither 0 nor 1.")
                       .arg(set.oddPixels.size() - kNamed));
}

QString codeForSet(const GlyphFileContent &set, bool testProgram, bool restOfCode,
                   const QString &templateDir, CodeForm form, bool warnOfTemplates) {
    warnAboutOddPixels(set);
    CodeRequest request;
    request.testProgram = testProgram;
    request.characterCode = true;
    request.form = form;
    request.restOfCode = restOfCode;
    request.names = set.names;
    request.glyphs = set.glyphs;
    request.templateDir = templateDir;
    QStringList findings;
    if (warnOfTemplates)
        request.templateFindings = &findings;
    QString code;
    if (const auto failure = appendCode(code, request))
        throw Error(failure->message + u'\n' + failure->reason);
    for (const QString &finding : findings)
        printError(QStringLiteral("Warning: ") + finding);
    return code;
}

TemplateReport checkTemplates(const QString &templateDir, bool testProgram, bool restOfCode) {
    TemplateReport report;
    for (const auto &[wanted, name] :
         {std::pair(testProgram, kMainTemplateName), std::pair(restOfCode, kRestTemplateName)}) {
        if (!wanted)
            continue;
        const QString fileName = QString::fromLatin1(name);
        try {
            for (const TemplateFinding &finding :
                 checkTemplateFile(QDir(templateDir).filePath(fileName)))
                report.findings << describeFinding(fileName, finding);
        } catch (const Error &e) {
            report.unreadable << e.message();
        }
    }
    return report;
}

void warnOfTemplateFindings(const QString &templateDir, bool testProgram, bool restOfCode) {
    // An unreadable one the stage has just read: what changed since is the next run's news.
    for (const QString &finding : checkTemplates(templateDir, testProgram, restOfCode).findings)
        printError(QStringLiteral("Warning: ") + finding);
}

} // namespace glimmerset::cli
