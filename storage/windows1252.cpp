#include "storage/windows1252.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace glimmerset::windows1252 {

namespace {

constexpr const char *kName = "Windows-1252";

bool isAscii(QByteArrayView bytes) {
    for (char b : bytes)
        if (static_cast<unsigned char>(b) >= 0x80)
            return false;
    return true;
}

bool isAscii(QStringView text) {
    for (QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

// Calls f(codePoint, view) for every code point, surrogate pairs kept whole.
template <typename F> void forEachCodePoint(QStringView text, F f) {
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n =
            (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2 : 1;
        f(text.mid(i, n));
        i += n;
    }
}

// A code point's bytes, or nothing when Windows-1252 has no place for it.
std::optional<QByteArray> encodeCodePoint(QStringView codePoint) {
    QStringEncoder single(kName);
    QByteArray bytes = single.encode(codePoint);
    if (single.hasError())
        return std::nullopt;
    return bytes;
}

} // namespace

QString decode(QByteArrayView bytes) {
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    QStringDecoder decoder(kName);
    return decoder.decode(bytes);
}

QByteArray encodeLossy(QStringView text) {
    if (isAscii(text))
        return text.toLatin1();
    QStringEncoder encoder(kName);
    QByteArray whole = encoder.encode(text);
    if (!encoder.hasError())
        return whole;
    // Something is unencodable: go one code point at a time so only it turns into '?'.
    QByteArray out;
    out.reserve(text.size());
    forEachCodePoint(text, [&](QStringView cp) { out += encodeCodePoint(cp).value_or(QByteArray("?")); });
    return out;
}

std::optional<QString> firstUnencodable(QStringView text) {
    if (isAscii(text))
        return std::nullopt;
    std::optional<QString> found;
    forEachCodePoint(text, [&](QStringView cp) {
        if (!found && !encodeCodePoint(cp))
            found = cp.toString();
    });
    return found;
}

} // namespace glimmerset::windows1252
