#include "codegen/code_generation.h"

#include "codegen/character_code.h"
#include "codegen/template_text.h"

#include <QDir>

namespace glimmerset {

namespace {

std::optional<TemplateFailure> appendTemplate(QString &code, const QString &templateDir,
                                              const char *fileName, const QString &message) {
    // An unknown template folder must never fall back on the working folder.
    if (templateDir.isEmpty())
        return TemplateFailure{message, QStringLiteral("the folder of the templates is unknown.")};
    if (auto reason =
            appendTemplateText(code, QDir(templateDir).filePath(QString::fromLatin1(fileName))))
        return TemplateFailure{message, *reason};
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
        if (auto failure = appendTestProgram(code, request.templateDir))
            return failure;
    if (request.characterCode)
        code += formCode(request.form, request.names, request.glyphs);
    if (request.restOfCode)
        return appendRestOfCode(code, request.templateDir);
    return std::nullopt;
}

} // namespace glimmerset
