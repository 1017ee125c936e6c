#include "storage/windows1252.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace glimmerset::windows1252 {

namespace {

// Bytes 0x80..0x9F; the rest stand for the code point of their own value. The
// five bytes Windows-1252 leaves unassigned keep their C1 code point.
constexpr std::array<char16_t, 32> kHighBlock = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The byte for one UTF-16 unit, or nothing. A surrogate has no byte: no
// character outside the BMP is in the table.
std::optional<char> encodeUnit(char16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF))
        return char(unit);
    for (std::size_t i = 0; i < kHighBlock.size(); ++i)
        if (kHighBlock[i] == unit)
            return char(0x80 + i);
    return std::nullopt;
}

// Calls f(codePoint, byte) for every code point, a surrogate pair taken whole.
template <typename F> void forEachCodePoint(QStringView text, F f) {
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n =
            (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2 : 1;
        f(text.mid(i, n), n == 1 ? encodeUnit(text[i].unicode()) : std::nullopt);
        i += n;
    }
}

} // namespace

// Windows-1252 is Latin-1 but for 0x80..0x9F: widen every byte, then put that
// block right where the bytes had any high bit at all.
void decodeInto(QChar *out, QByteArrayView bytes) {
    const auto *in = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    bool high = false;
#ifdef __SSE2__
    // Eight bytes a step: fields are short, too short for the compiler's own loop to pay off.
    const __m128i zero = _mm_setzero_si128();
    __m128i seen = zero;
    for (; n - i >= 8; i += 8) {
        const __m128i x = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(in + i));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_unpacklo_epi8(x, zero));
        seen = _mm_or_si128(seen, x);
    }
    high = _mm_movemask_epi8(seen) != 0;
#endif
    for (; i < n; ++i) {
        out[i] = QChar(in[i]);
        high |= in[i] >= 0x80;
    }
    if (!high)
        return;
    for (i = 0; i < n; ++i)
        if (in[i] - 0x80u < 0x20u)
            out[i] = QChar(kHighBlock[in[i] - 0x80u]);
}

QString decode(QByteArrayView bytes) {
    if (bytes.isEmpty())
        return QString::fromLatin1(bytes); // null for null, as Qt has it
    QString text(bytes.size(), Qt::Uninitialized);
    decodeInto(text.data(), bytes);
    return text;
}

void appendDecoded(QString &out, QByteArrayView bytes) {
    const qsizetype start = out.size();
    out.resize(start + bytes.size());
    decodeInto(out.data() + start, bytes);
}

QByteArray encodeLossy(QStringView text) {
    // Mostly ASCII, which Qt narrows fastest; a loop the compiler can widen tells.
    char16_t seen = 0;
    for (const QChar c : text)
        seen |= c.unicode();
    if (seen < 0x80)
        return text.toLatin1();
    QByteArray out;
    out.reserve(text.size());
    forEachCodePoint(text, [&](QStringView, std::optional<char> byte) { out += byte.value_or('?'); });
    return out;
}

bool looksLikeUtf8(QByteArrayView bytes) {
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; }))
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(bytes); // the decoder works when asked for text
    return !utf8.hasError();
}

std::optional<QString> firstUnencodable(QStringView text) {
    std::optional<QString> found;
    forEachCodePoint(text, [&](QStringView codePoint, std::optional<char> byte) {
        if (!found && !byte)
            found = codePoint.toString();
    });
    return found;
}

} // namespace glimmerset::windows1252
