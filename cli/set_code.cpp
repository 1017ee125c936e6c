#include "cli/set_code.h"

#include "cli/cli_io.h"

#include "codegen/code_generation.h"
#include "codegen/template_folder.h"

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

void warnAboutOddPixels(const GlyphFileContent &set) {
    // An assembly file read as a set would fill the screen with them.
    constexpr qsizetype kNamed = 5;
    for (const QString &odd : set.oddPixels.first(std::min(kNamed, set.oddPixels.size())))
        printError(QStringLiteral("Warning: ") + odd);
    if (set.oddPixels.size() > kNamed)
        printError(QStringLiteral("Warning: %1 more pixel fields hold neither 0 nor 1.")
                       .arg(set.oddPixels.size() - kNamed));
}

std::optional<QString> codeForSet(const GlyphFileContent &set, bool testProgram, bool restOfCode,
                                  const QString &templateDir) {
    warnAboutOddPixels(set);
    CodeRequest request;
    request.testProgram = testProgram;
    request.characterCode = true;
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

} // namespace glimmerset::cli
