#include "cli/set_code.h"

#include "cli/cli_io.h"

#include "codegen/code_generation.h"
#include "codegen/name_text.h"
#include "codegen/template_check.h"
#include "codegen/template_folder.h"
#include "codegen/template_text.h"
#include "storage/error.h"
#include "storage/field_reader.h"
#include "storage/regular_file.h"
#include "storage/executable_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace glimmerset::cli {

namespace {

const QString kTemplatesName = QStringLiteral("templates");

// path as a shell word: quoted unless it is made of characters no shell
// takes for anything else.
QString shellWord(const QString &path) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./+:@%-]+$"));
    if (plain.match(path).hasMatch())
        return path;
    return u'\'' + QString(path).replace(u'\'', QStringLiteral("'\\''")) + u'\'';
}

QString utf8Warning(const QString &path, const GlyphNames &names) {
    const auto garbled = std::find_if(names.begin(), names.end(), [](const QString &name) {
        return std::any_of(name.begin(), name.end(), [](QChar c) { return c.unicode() >= 0x80; });
    });
    const bool standardInput = path == u"-";
    const QFileInfo file(path);
    const QString converted = standardInput
                                  ? QStringLiteral("set.ch")
                                  : (path.contains(u'/') ? file.path() + u'/' : QString()) +
                                        file.completeBaseName() + QStringLiteral("-1252.ch");
    return QStringLiteral("Warning: %1 looks like UTF-8, as editors save text, but a glyph file is "
                          "Windows-1252: its names come out garbled, such as %2. Convert it with\n"
                          "  iconv -f UTF-8 -t WINDOWS-1252//TRANSLIT %3> %4\n"
                          "where characters Windows-1252 lacks (such as \u2665) become ?.")
        .arg(standardInput ? QString::fromLatin1(kStandardInputName)
                           : QStringLiteral("\"%1\"").arg(terminalText(path)),
             terminalText(quoted(*garbled)),
             standardInput ? QString() : terminalText(shellWord(path)) + u' ',
             terminalText(shellWord(converted)));
}

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

GlyphFileContent readSetFile(const QString &path) {
    FieldReader reader =
        path == u"-" ? FieldReader::openStandardInput() : FieldReader::openFile(path);
    const GlyphFileContent set = glyphsFromReader(reader, Leftovers::Counted);
    for (const QString &shape : set.shape)
        printError(QStringLiteral("Warning: ") + terminalText(shape));
    if (set.namesLookLikeUtf8)
        printError(utf8Warning(path, set.names));
    // An assembly file read as a set would fill the screen with them.
    constexpr qsizetype kNamed = 5;
    for (const QString &odd : set.oddPixels.first(std::min(kNamed, set.oddPixels.size())))
        printError(QStringLiteral("Warning: ") + odd);
    if (set.oddPixels.size() > kNamed)
        printError(QStringLiteral("Warning: %1 more pixel fields hold neither 0 nor 1.")
                       .arg(set.oddPixels.size() - kNamed));
    return set;
}

QString codeForSet(const GlyphFileContent &set, bool testProgram, bool restOfCode,
                   const QString &templateDir, CodeForm form, bool warnOfTemplates) {
    for (int g = 0; g < kGlyphCount; ++g)
        if (const QString &name = set.names[g]; commentNameLength(name) < name.size())
            printError(QStringLiteral("Warning: the name of character %1 is longer than the %2 "
                                      "characters of a comment line avra takes whole (4095 "
                                      "bytes); the code keeps its first %2.")
                           .arg(g + 1)
                           .arg(kMaxCommentName));
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

} // namespace glimmerset::cli
