#include "simulation/character_rom.h"

#include "codegen/name_text.h"

// The A00 patterns as Debian's libsimavr-dev installs them: a 1280 x 7
// RGBA picture, five columns a code, a lit dot opaque. Row 8 of a 5 x 8
// character is the cursor's and blank in the ROM.
#include <simavr/parts/lcd_font.h>

#include <array>

namespace glimmerset::rom {

namespace {

constexpr int kFontWidth = 256 * 5;
constexpr int kFontRows = 7;
static_assert(sizeof lcd_font.pixel_data == kFontWidth * kFontRows * 4 + 1,
              "lcd_font.h is no longer the 1280 x 7 RGBA picture of the A00 ROM");

using Patterns = std::array<std::array<std::uint8_t, 8>, 256>;

Patterns readFont() {
    Patterns patterns{};
    for (int code = 16; code < 256; ++code)
        for (int row = 0; row < kFontRows; ++row)
            for (int dot = 0; dot < 5; ++dot)
                if (lcd_font.pixel_data[(row * kFontWidth + code * 5 + dot) * 4 + 3] >= 0x80)
                    patterns[code][row] |= static_cast<std::uint8_t>(0x10 >> dot);
    return patterns;
}

// The plain-text form of codes 0x80 to 0xFF, where there is one. The
// descending letters (0xE7 g, 0xEA j, 0xF0 p, 0xF1 q, 0xF9 y) are left out:
// as text they would read as their ASCII twins.
constexpr char16_t kHighText[128] = {
    // 0x80 to 0x9F: blank in A00
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, //
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, //
    // 0xA0 blank, 0xA1 to 0xDE the half-width katakana of JIS X 0201, 0xDF the degree ring
    0, u'\uFF61', u'\uFF62', u'\uFF63', u'\uFF64', u'\uFF65', u'\uFF66', u'\uFF67', u'\uFF68',
    u'\uFF69', u'\uFF6A', u'\uFF6B', u'\uFF6C', u'\uFF6D', u'\uFF6E', u'\uFF6F', u'\uFF70',
    u'\uFF71', u'\uFF72', u'\uFF73', u'\uFF74', u'\uFF75', u'\uFF76', u'\uFF77', u'\uFF78',
    u'\uFF79', u'\uFF7A', u'\uFF7B', u'\uFF7C', u'\uFF7D', u'\uFF7E', u'\uFF7F', u'\uFF80',
    u'\uFF81', u'\uFF82', u'\uFF83', u'\uFF84', u'\uFF85', u'\uFF86', u'\uFF87', u'\uFF88',
    u'\uFF89', u'\uFF8A', u'\uFF8B', u'\uFF8C', u'\uFF8D', u'\uFF8E', u'\uFF8F', u'\uFF90',
    u'\uFF91', u'\uFF92', u'\uFF93', u'\uFF94', u'\uFF95', u'\uFF96', u'\uFF97', u'\uFF98',
    u'\uFF99', u'\uFF9A', u'\uFF9B', u'\uFF9C', u'\uFF9D', u'\uFF9E', u'\u00B0',
    // 0xE0 to 0xEF
    u'\u03B1', u'\u00E4', u'\u03B2', u'\u03B5', u'\u03BC', u'\u03C3', u'\u03C1', 0, u'\u221A', 0, 0,
    0, u'\u00A2', u'\u00A3', u'\u00F1', u'\u00F6',
    // 0xF0 to 0xFF
    0, 0, u'\u03B8', u'\u221E', u'\u03A9', u'\u00FC', u'\u03A3', u'\u03C0', 0, 0, u'\u5343',
    u'\u4E07', u'\u5186', u'\u00F7', 0, u'\u2588'};

char16_t plainText(std::uint8_t code) {
    switch (code) {
    case 0x5C:
        return u'\u00A5'; // the yen sign where ASCII has the backslash
    case 0x7B:
        return 0; // '{' begins the notation's escapes
    case 0x7E:
        return u'\u2192';
    case 0x7F:
        return u'\u2190';
    default:
        break;
    }
    if (code >= 0x20 && code < 0x7E)
        return code;
    return code >= 0x80 ? kHighText[code - 0x80] : 0;
}

bool hexDigits(QStringView text, int *value) {
    bool ok = false;
    *value = text.toInt(&ok, 16);
    return ok && text.size() == 2 && text[0] != u'+' && text[0] != u'-';
}

} // namespace

std::uint8_t a00Row(std::uint8_t code, int row) {
    static const Patterns patterns = readFont();
    return patterns[code][row & 7];
}

QString cellText(std::uint8_t code) {
    if (code < 16)
        return QStringLiteral("{%1}").arg(code);
    if (const char16_t text = plainText(code))
        return QString(QChar(text));
    return QString::asprintf("{x%02X}", code);
}

std::optional<std::vector<std::uint8_t>> parseCells(QStringView text, QString *why) {
    static const auto codeOf = [] {
        std::array<int, 0x10000> codes;
        codes.fill(-1);
        for (int code = 16; code < 256; ++code)
            if (const char16_t c = plainText(static_cast<std::uint8_t>(code)))
                codes[c] = code;
        codes[0xFF9F] = 0xDF; // the semi-voiced mark of JIS X 0201, which 0xDF also is
        return codes;
    }();
    std::vector<std::uint8_t> cells;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'{') {
            const qsizetype close = text.indexOf(u'}', i);
            const QStringView inside =
                close < 0 ? QStringView() : text.sliced(i + 1, close - i - 1);
            int value = -1;
            bool ok = false;
            if (inside.startsWith(u'x'))
                ok = hexDigits(inside.sliced(1), &value);
            else {
                value = inside.toInt(&ok);
                ok = ok && value >= 0 && value < 16 && inside.size() <= 2 && inside[0].isDigit();
            }
            if (!ok) {
                *why = QStringLiteral("\"%1\" is no cell: {0} to {15} are CGRAM codes, {x00} to "
                                      "{xFF} any code")
                           .arg(terminalText(close < 0 ? text.sliced(i)
                                                       : text.sliced(i, close - i + 1)));
                return std::nullopt;
            }
            cells.push_back(static_cast<std::uint8_t>(value));
            i = close;
            continue;
        }
        const int code = c.isSurrogate() ? -1 : codeOf[c.unicode()];
        if (code < 0) {
            *why = QStringLiteral("the A00 character ROM has no \"%1\": write {xNN} for its code")
                       .arg(terminalText(
                           text.sliced(i, c.isHighSurrogate() && i + 1 < text.size() ? 2 : 1)));
            return std::nullopt;
        }
        cells.push_back(static_cast<std::uint8_t>(code));
    }
    return cells;
}

} // namespace glimmerset::rom
