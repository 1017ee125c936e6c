#include "codegen/code_generation.h"

#include "codegen/character_code.h"
#include "codegen/template_check.h"
#include "codegen/template_text.h"

#include "storage/error.h"

#include <QDir>

namespace glimmerset {

namespace {

std::optional<TemplateFailure> appendTemplate(QString &code, const QString &templateDir,
                                              const char *fileName, const QString &message,
                                              QStringList *findings = nullptr) {
    // An unknown template folder must never fall back on the working folder.
    if (templateDir.isEmpty())
        return TemplateFailure{message, QStringLiteral("the folder of the templates is unknown.")};
    const QString name = QString::fromLatin1(fileName);
    const QString path = QDir(templateDir).filePath(name);
    if (!findings) {
        if (auto reason = appendTemplateText(code, path))
            return TemplateFailure{message, *reason};
        return std::nullopt;
    }
    QByteArray bytes;
    if (auto reason = appendTemplateText(code, path, bytes))
        return TemplateFailure{message, *reason};
    try {
        for (const TemplateFinding &finding : checkTemplateBytes(bytes))
            *findings << describeFinding(name, finding);
    } catch (const Error &) {
        // The stage read it whole, so the check has nothing to add.
    }
    return std::nullopt;
}

} // namespace

std::optional<TemplateFailure> appendTestProgram(QString &code, const QString &templateDir) {
    return appendTemplate(code, templateDir, kMainTemplateName, kMainTemplateMissing);
}

void appendCharacterCode(QString &code, const GlyphNames &names, const GlyphSet &glyphs) {
    code += character_code(names, glyphs);
}

std::optional<TemplateFailure> appendRestOfCode(QString &code, const QString &templateDir) {
    return appendTemplate(code, templateDir, kRestTemplateName, kRestTemplateMissing);
}

std::optional<TemplateFailure> appendCode(QString &code, const CodeRequest &request) {
    if (request.testProgram)
        if (auto failure = appendTemplate(code, request.templateDir, kMainTemplateName,
                                          kMainTemplateMissing, request.templateFindings))
            return failure;
    if (request.characterCode)
        code += formCode(request.form, request.names, request.glyphs);
    if (request.restOfCode)
        return appendTemplate(code, request.templateDir, kRestTemplateName, kRestTemplateMissing,
                              request.templateFindings);
    return std::nullopt;
}

} // namespace glimmerset
