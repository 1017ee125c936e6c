#include "codegen/template_text.h"

#include "storage/error.h"
#include "storage/field_reader.h"

namespace glimmerset {

bool beginsWithJoinPrefix(QStringView field) {
    for (const QString &prefix : JOIN_PREFIXES)
        if (field.startsWith(prefix, Qt::CaseSensitive))
            return true;
    return false;
}

namespace {

std::optional<QString> joinFields(FieldReader &reader, QString &out) {
    try {
        while (!reader.atEnd()) {
            const QString field = reader.readText();
            out += field;
            out += beginsWithJoinPrefix(field) ? QStringView(u",") : QStringView(u"\r\n");
        }
    } catch (const Error &e) {
        return e.message();
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> appendTemplateText(QString &out, const QString &path) {
    try {
        FieldReader reader = FieldReader::openFile(path);
        const std::optional<QString> failure = joinFields(reader, out);
        reader.close();
        return failure;
    } catch (const Error &e) {
        return e.message();
    }
}

TemplateText template_text(const QString &path) {
    TemplateText result;
    result.failure = appendTemplateText(result.text, path);
    return result;
}

TemplateText templateTextFromBytes(const QByteArray &bytes) {
    FieldReader reader = FieldReader::fromBytes(bytes);
    TemplateText result;
    result.failure = joinFields(reader, result.text);
    return result;
}

} // namespace glimmerset
