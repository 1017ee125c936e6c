#include "codegen/code_form.h"

#include "codegen/asm_file.h"
#include "codegen/character_code.h"

namespace glimmerset {

namespace {

constexpr CodeForm kForms[] = {CodeForm::Asm, CodeForm::AsmTable, CodeForm::C, CodeForm::Arduino};
constexpr const char *kFormNames[] = {"asm", "asm-table", "c", "arduino"};

} // namespace

QStringList codeFormNames() {
    QStringList names;
    for (const char *name : kFormNames)
        names << QString::fromLatin1(name);
    return names;
}

std::optional<CodeForm> codeFormNamed(QStringView name) {
    for (std::size_t i = 0; i < std::size(kForms); ++i)
        if (name == QLatin1String(kFormNames[i]))
            return kForms[i];
    return std::nullopt;
}

bool isAssemblyForm(CodeForm form) {
    return form == CodeForm::Asm || form == CodeForm::AsmTable;
}

QString rowPicture(const GlyphSet &glyphs, int glyph, int row) {
    QString picture(lcd::kGlyphColumns, u'.');
    for (int c = 0; c < lcd::kGlyphColumns; ++c)
        if (glyphs.isLit(row, c, glyph))
            picture[c] = u'#';
    return picture;
}

QString formCode(CodeForm form, const GlyphNames &names, const GlyphSet &glyphs) {
    switch (form) {
    case CodeForm::Asm:
        return character_code(names, glyphs);
    case CodeForm::AsmTable:
        return tableCode(names, glyphs);
    case CodeForm::C:
        return cHeaderCode(names, glyphs);
    case CodeForm::Arduino:
        return arduinoCode(names, glyphs);
    }
    return {};
}

QByteArray formFileBytes(CodeForm form, const QString &code) {
    return isAssemblyForm(form) ? asmFileBytes(code) : code.toUtf8();
}

} // namespace glimmerset
