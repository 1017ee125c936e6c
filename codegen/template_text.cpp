#include "codegen/template_text.h"

#include "storage/error.h"
#include "storage/field_reader.h"
#include "storage/linux_calls.h"
#include "storage/regular_file.h"

#include <QFile>

#include <algorithm>
#include <new>

namespace glimmerset {

bool beginsWithJoinPrefix(QStringView field) {
    // Asked once a field: the first character turns away nearly all of them cheaply.
    for (const QString &prefix : JOIN_PREFIXES)
        if (field.size() >= prefix.size() && field.front() == prefix.front() &&
            field.startsWith(prefix, Qt::CaseSensitive))
            return true;
    return false;
}

namespace {

// Past this a file's size only asks for memory the template may never fill.
constexpr qint64 kMaxReserve = qint64(1) << 28;
constexpr qsizetype kHugePage = qsizetype(2) << 20;

void appendFields(FieldReader &reader, QString &out) {
    while (!reader.atEnd()) {
        const qsizetype start = out.size();
        reader.appendText(out);
        out += beginsWithJoinPrefix(QStringView(out).sliced(start)) ? QStringView(u",")
                                                                    : QStringView(u"\r\n");
    }
}

std::optional<QString> joinFields(FieldReader &reader, QString &out) {
    // A template mostly comes out no longer than it went in (blanks dropped, a
    // line end for a line end): one allocation up front instead of a copy at
    // every doubling of a large template; one that comes out longer grows on.
    const qsizetype wanted = std::min(reader.sizeHint(), kMaxReserve) * qsizetype(sizeof(QChar));
    std::optional<QString> failure;
    try {
        out.reserve(out.size() + wanted / qsizetype(sizeof(QChar)));
        // Fresh memory costs the kernel a fault for every 4 KiB page written.
        linux_calls::adviseHugePages(out.constData() + out.size(), wanted);
        appendFields(reader, out);
    } catch (const Error &e) {
        failure = e.message();
    } catch (const std::bad_alloc &) {
        failure = QStringLiteral("%1: the template is too large to hold in memory.")
                      .arg(reader.displayName());
    }
    // Blanks dropped leave part of a large reservation unused, and a huge page
    // written in part would stay resident whole: hand that part back.
    if (wanted > kHugePage)
        out.squeeze();
    return failure;
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

std::optional<QString> appendTemplateText(QString &out, const QString &path, QByteArray &bytes) {
    try {
        const auto file = openRegularFileForReading(path);
        bytes = file->readAll();
        if (file->error() != QFileDevice::NoError)
            return QStringLiteral("\"%1\": can't read the file: %2.")
                .arg(path, file->errorString());
    } catch (const Error &e) {
        return e.message();
    } catch (const std::bad_alloc &) {
        return QStringLiteral("\"%1\": the template is too large to hold in memory.").arg(path);
    }
    FieldReader reader = FieldReader::fromFileBytes(bytes, path);
    return joinFields(reader, out);
}

TemplateText templateTextFromBytes(const QByteArray &bytes) {
    FieldReader reader = FieldReader::fromBytes(bytes);
    TemplateText result;
    result.failure = joinFields(reader, result.text);
    return result;
}

} // namespace glimmerset
