#include "codegen/name_text.h"

namespace glimmerset {

namespace {

bool endsALine(char16_t c) {
    return c < 0x20 || c == 0x7F || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool movesTheTerminal(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x200E ||
           c == 0x200F;
}

} // namespace

qsizetype commentNameLength(QStringView name) {
    if (name.size() <= kMaxCommentName)
        return name.size();
    qsizetype units = 0;
    for (qsizetype points = 0; points < kMaxCommentName && units < name.size(); ++points)
        units += QChar::isHighSurrogate(name[units].unicode()) && units + 1 < name.size() &&
                         QChar::isLowSurrogate(name[units + 1].unicode())
                     ? 2
                     : 1;
    return units;
}

QString nameForComment(const QString &name) {
    QString safe = name.left(commentNameLength(name));
    for (QChar &c : safe)
        if (endsALine(c.unicode()))
            c = kNameStandIn;
    if (safe.endsWith(u'\\'))
        safe.back() = kNameStandIn;
    return safe;
}

QString terminalText(QStringView text) {
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!movesTheTerminal(u)) {
            shown += c;
            continue;
        }
        const QString hex = QString::number(uint(u), 16).toUpper();
        shown += u < 0x100 ? QStringLiteral("\\x") + hex.rightJustified(2, u'0')
                           : QStringLiteral("\\u") + hex.rightJustified(4, u'0');
    }
    return shown;
}

} // namespace glimmerset
