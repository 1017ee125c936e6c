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

TemplateText joinFields(FieldReader &reader) {
    TemplateText result;
    try {
        while (!reader.atEnd()) {
            const QString field = reader.readText();
            result.text += field;
            result.text += beginsWithJoinPrefix(field) ? QStringView(u",") : QStringView(u"\r\n");
        }
    } catch (const Error &e) {
        result.failure = e.message();
    }
    return result;
}

} // namespace

TemplateText template_text(const QString &path) {
    try {
        FieldReader reader = FieldReader::openFile(path);
        TemplateText result = joinFields(reader);
        reader.close();
        return result;
    } catch (const Error &e) {
        return {QString(), e.message()};
    }
}

TemplateText templateTextFromBytes(const QByteArray &bytes) {
    FieldReader reader = FieldReader::fromBytes(bytes);
    return joinFields(reader);
}

} // namespace glimmerset
