#include "codegen/template_text.h"

#include "storage/error.h"
#include "storage/field_reader.h"

#include <algorithm>
#include <cstdint>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

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

constexpr std::uintptr_t kHugePage = 2 << 20;
// Blocks this large get a mapping of their own from malloc, so advice given
// about one ends with it.
constexpr qsizetype kOwnMapping = qsizetype(32) << 20;

// Fresh memory costs the kernel a fault for every 4 KiB page written; where
// the system hands out 2 MiB pages on request, a large output asks for them.
void adviseHugePages(const QChar *begin, qsizetype bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (bytes < kOwnMapping)
        return;
    const auto first = (reinterpret_cast<std::uintptr_t>(begin) + kHugePage - 1) & ~(kHugePage - 1);
    const auto last =
        (reinterpret_cast<std::uintptr_t>(begin) + std::uintptr_t(bytes)) & ~(kHugePage - 1);
    if (last > first)
        madvise(reinterpret_cast<void *>(first), last - first,
                MADV_HUGEPAGE); // only advice: failure is fine
#else
    Q_UNUSED(begin);
    Q_UNUSED(bytes);
#endif
}

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
        adviseHugePages(out.constData() + out.size(), wanted);
        appendFields(reader, out);
    } catch (const Error &e) {
        failure = e.message();
    } catch (const std::bad_alloc &) {
        failure = QStringLiteral("%1: the template is too large to hold in memory.")
                      .arg(reader.displayName());
    }
    // Blanks dropped leave part of a large reservation unused, and a huge page
    // written in part would stay resident whole: hand that part back.
    if (wanted > qsizetype(kHugePage))
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
