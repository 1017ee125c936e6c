#include "simulation/board_wiring.h"

#include "codegen/name_text.h"
#include "storage/error.h"

#include <QStringList>

#include <algorithm>
#include <cstring>

namespace glimmerset {

namespace {

using lcd::Line;

// Each written form's grammar: the help lists them, a parse error quotes the
// one it read the text as.
constexpr char kShortWiringHelp[] =
    "PORT:D4,D5,D6,D7,RS,E,RW with bit numbers 0 to 7 and RW \"low\" when tied to ground";
constexpr char kNamedWiringHelp[] =
    "SIGNAL=PIN pairs such as rs=B4,e=B3,d4=D5,d5=D4,d6=D3,d7=D2, with rw= when RW is wired "
    "and d0= to d3= for an 8-bit bus";
constexpr char kArduinoWiringHelp[] =
    "arduino:RS,E,D4,D5,D6,D7 or arduino:RS,RW,E,D4,D5,D6,D7 (or either with D0 to D7), "
    "in the LiquidCrystal constructor's order with the board's pin numbers (the Uno's 0 to 13 "
    "and A0 to A5 unless --board says another)";

struct WiringForm {
    const char *grammar;
    const char *example;
};

constexpr WiringForm kWiringForms[] = {
    {kShortWiringHelp, "B:0,1,2,3,4,5,low (the shipped templates) or D:4,5,6,7,2,3,1"},
    {kNamedWiringHelp, "rs=B4,e=B3,d4=D5,d5=D4,d6=D3,d7=D2"},
    {kArduinoWiringHelp, "arduino:12,11,5,4,3,2"},
    {kBackpackWiringHelp,
     "i2c:0x27, the common module (P0 RS, P1 RW, P2 E, P3 backlight, P4 to P7 D4 to D7) that "
     "the templates of --templates pcf8574 drive"},
};

// Two characters a pin, in the boards' own pin order (their variant tables).
constexpr char kUnoPins[] = "D0D1D2D3D4D5D6D7B0B1B2B3B4B5C0C1C2C3C4C5";
constexpr char kMegaPins[] = "E0E1E4E5G5E3H3H4H5H6B4B5B6B7J1J0H1H0D3D2D1D0"
                             "A0A1A2A3A4A5A6A7C7C6C5C4C3C2C1C0D7G2G1G0"
                             "L7L6L5L4L3L2L1L0B3B2B1B0F0F1F2F3F4F5F6F7K0K1K2K3K4K5K6K7";
// A6 to A11 are digital pins 4, 6, 8, 9, 10 and 12 under a second number.
constexpr char kLeonardoPins[] = "D2D3D1D0D4C6D7E6B4B5B6B7D6C7B3B1B2B0F7F6F5F4F1F0D4D7B4B5B6D6";

constexpr ArduinoBoard kBoards[] = {
    {"uno", "Arduino Uno", "atmega328p", 16'000'000, 5, kUnoPins, 14, 6},
    {"nano", "Arduino Nano", "atmega328p", 16'000'000, 5, kUnoPins, 14, 6},
    {"mega", "Arduino Mega 2560", "atmega2560", 16'000'000, 5, kMegaPins, 54, 16},
    {"leonardo", "Arduino Leonardo", "atmega32u4", 16'000'000, 5, kLeonardoPins, 18, 12},
    {"promini", "Arduino Pro Mini 3.3 V", "atmega328p", 8'000'000, 3.3, kUnoPins, 14, 6},
};

// A part of the text the user gave, for a message.
QString shown(QStringView text) {
    return quoted(terminalText(text));
}

QString pinName(BoardPin pin) {
    return QString(QChar::fromLatin1(pin.port)) + QString::number(pin.bit);
}

bool fitsShortForm(const BoardWiring &wiring) {
    if (wiring.eightBit())
        return false;
    const char port = wiring.pins[lcd::E].port;
    for (int line = lcd::D4; line < lcd::kLineCount; ++line)
        if (wiring.pins[line].wired() && wiring.pins[line].port != port)
            return false;
    return true;
}

class WiringParser {
public:
    WiringParser(const QString &text, QString *error, const ArduinoBoard &board)
        : text_(text), error_(error), board_(board) {}

    std::optional<BoardWiring> fail(const QString &why, const char *expected) const {
        if (error_)
            *error_ = QStringLiteral("wiring %1: %2; expected %3")
                          .arg(shown(text_), why, QLatin1String(expected));
        return std::nullopt;
    }

    // A pin used twice is a wiring no board has.
    std::optional<BoardWiring> checked(const BoardWiring &wiring, const char *expected) const {
        for (int a = 0; a < lcd::kLineCount; ++a)
            for (int b = a + 1; b < lcd::kLineCount; ++b)
                if (wiring.pins[a].wired() && wiring.pins[a] == wiring.pins[b])
                    return fail(QStringLiteral("pin %1 is used for both %2 and %3")
                                    .arg(pinName(wiring.pins[a]), QLatin1String(lcd::kLineNames[a]),
                                         QLatin1String(lcd::kLineNames[b])),
                                expected);
        return wiring;
    }

    std::optional<BoardWiring> shortForm() const {
        const qsizetype colon = text_.indexOf(u':');
        if (colon != 1 || !text_[0].isLetter() || text_[0].unicode() > 0x7F)
            return fail(QStringLiteral("no port letter before the colon"), kShortWiringHelp);
        const char port = static_cast<char>(text_[0].toUpper().unicode());
        const QStringList fields = text_.mid(2).split(u',');
        if (fields.size() != 7)
            return fail(QStringLiteral("%1 pins instead of 7").arg(fields.size()),
                        kShortWiringHelp);
        static constexpr Line kOrder[] = {lcd::D4, lcd::D5, lcd::D6, lcd::D7,
                                          lcd::RS, lcd::E,  lcd::RW};
        BoardWiring wiring;
        wiring.pins = {};
        unsigned used = 0;
        for (int i = 0; i < 7; ++i) {
            const QString field = fields[i].trimmed();
            if (i == 6 && field.compare(QStringLiteral("low"), Qt::CaseInsensitive) == 0)
                break;
            bool ok = false;
            const int bit = field.toInt(&ok);
            if (!ok || bit < 0 || bit > 7)
                return fail(QStringLiteral("%1 is no pin from 0 to 7").arg(shown(field)),
                            kShortWiringHelp);
            if (used & (1u << bit))
                return fail(QStringLiteral("pin %1 is used twice").arg(bit), kShortWiringHelp);
            used |= 1u << bit;
            wiring.pins[kOrder[i]] = {port, bit};
        }
        return wiring;
    }

    std::optional<BoardWiring> namedForm() const {
        BoardWiring wiring;
        wiring.pins = {};
        for (const QString &field : text_.split(u',')) {
            const QString name = field.section(u'=', 0, 0).trimmed().toLower();
            const QString pin = field.section(u'=', 1).trimmed().toUpper();
            int line = 0;
            while (line < lcd::kLineCount && name != QLatin1String(lcd::kLineNames[line]))
                ++line;
            if (line == lcd::kLineCount)
                return fail(
                    QStringLiteral("%1 is no signal (rs, rw, e, d0 to d7)").arg(shown(name)),
                    kNamedWiringHelp);
            if (wiring.pins[line].wired())
                return fail(QStringLiteral("%1 is given twice").arg(name), kNamedWiringHelp);
            const QString bare = pin.size() == 3 && pin.startsWith(u'P') ? pin.mid(1) : pin;
            if (bare.size() != 2 || bare[0] < u'A' || bare[0] > u'Z' || bare[1] < u'0' ||
                bare[1] > u'7')
                return fail(QStringLiteral("%1 is no pin such as B4 or PB4").arg(shown(pin)),
                            kNamedWiringHelp);
            wiring.pins[line] = {static_cast<char>(bare[0].unicode()), bare[1].unicode() - '0'};
        }
        for (const Line line : {lcd::RS, lcd::E, lcd::D4, lcd::D5, lcd::D6, lcd::D7})
            if (!wiring.pins[line].wired())
                return fail(QStringLiteral("%1 is missing").arg(QLatin1String(lcd::kLineNames[line])),
                            kNamedWiringHelp);
        for (int line = lcd::D0; line <= lcd::D3; ++line)
            if (wiring.pins[line].wired() != wiring.eightBit())
                return fail(QStringLiteral("an 8-bit bus needs all of d0 to d3, a 4-bit bus none"),
                            kNamedWiringHelp);
        return checked(wiring, kNamedWiringHelp);
    }

    // The board's pin numbers, and A0 onwards where the board has them.
    std::optional<BoardWiring> arduinoForm() const {
        const QStringList fields = text_.section(u':', 1).split(u',');
        static constexpr Line k6[] = {lcd::RS, lcd::E, lcd::D4, lcd::D5, lcd::D6, lcd::D7};
        static constexpr Line k7[] = {lcd::RS, lcd::RW, lcd::E, lcd::D4, lcd::D5, lcd::D6, lcd::D7};
        static constexpr Line k10[] = {lcd::RS, lcd::E,  lcd::D0, lcd::D1, lcd::D2,
                                       lcd::D3, lcd::D4, lcd::D5, lcd::D6, lcd::D7};
        static constexpr Line k11[] = {lcd::RS, lcd::RW, lcd::E,  lcd::D0, lcd::D1, lcd::D2,
                                       lcd::D3, lcd::D4, lcd::D5, lcd::D6, lcd::D7};
        const Line *order = fields.size() == 6    ? k6
                            : fields.size() == 7  ? k7
                            : fields.size() == 10 ? k10
                            : fields.size() == 11 ? k11
                                                  : nullptr;
        if (!order)
            return fail(QStringLiteral("%1 pins instead of 6 or 7 (or 10 or 11)").arg(fields.size()),
                        kArduinoWiringHelp);
        BoardWiring wiring;
        wiring.pins = {};
        for (qsizetype i = 0; i < fields.size(); ++i) {
            const QString field = fields[i].trimmed().toUpper();
            const bool analog = field.startsWith(u'A');
            const QStringView digits = QStringView(field).mid(analog ? 1 : 0);
            // Digits only: toInt would take a sign or blanks.
            int number = -1;
            if (!digits.isEmpty() && digits.size() <= 3 &&
                std::all_of(digits.begin(), digits.end(),
                            [](QChar c) { return c.isDigit() && c.unicode() < 0x80; }))
                number = digits.toInt();
            if (analog)
                number =
                    number >= 0 && number < board_.analogCount ? board_.analogFirst + number : -1;
            if (number < 0 || number >= board_.pinCount())
                return fail(QStringLiteral("%1 is no pin of the %2")
                                .arg(shown(fields[i].trimmed()), QLatin1String(board_.title)),
                            kArduinoWiringHelp);
            wiring.pins[order[i]] = board_.pin(number);
        }
        return checked(wiring, kArduinoWiringHelp);
    }

private:
    const QString &text_;
    QString *error_;
    const ArduinoBoard &board_;
};

} // namespace

QString wiringSpec(const BoardWiring &wiring) {
    if (wiring.backpack)
        return backpackSpec(*wiring.backpack);
    QStringList fields;
    if (fitsShortForm(wiring)) {
        for (const Line line : {lcd::D4, lcd::D5, lcd::D6, lcd::D7, lcd::RS, lcd::E})
            fields << QString::number(wiring.pins[line].bit);
        const BoardPin rw = wiring.pins[lcd::RW];
        fields << (rw.wired() ? QString::number(rw.bit) : QStringLiteral("low"));
        return QString(QChar::fromLatin1(wiring.pins[lcd::E].port)) + u':' + fields.join(u',');
    }
    for (const Line line : {lcd::RS, lcd::RW, lcd::E, lcd::D0, lcd::D1, lcd::D2, lcd::D3, lcd::D4,
                            lcd::D5, lcd::D6, lcd::D7})
        if (wiring.pins[line].wired())
            fields << QLatin1String(lcd::kLineNames[line]) + u'=' + pinName(wiring.pins[line]);
    return fields.join(u',');
}

int ArduinoBoard::pinCount() const {
    return int(std::strlen(pins) / 2);
}

BoardPin ArduinoBoard::pin(int number) const {
    return {pins[2 * number], pins[2 * number + 1] - '0'};
}

const ArduinoBoard *arduinoBoardNamed(const QString &name) {
    for (const ArduinoBoard &board : kBoards)
        if (name.compare(QLatin1String(board.name), Qt::CaseInsensitive) == 0)
            return &board;
    return nullptr;
}

const ArduinoBoard &unoBoard() {
    return kBoards[0];
}

QString arduinoBoardNames() {
    QStringList names;
    for (const ArduinoBoard &board : kBoards)
        names << QLatin1String(board.name);
    return names.join(QStringLiteral(", "));
}

QString wiringHelp() {
    // Each form a paragraph, wrapped as the help's own text is.
    constexpr qsizetype kWidth = 78;
    QString text;
    for (const WiringForm &form : kWiringForms) {
        QString line = QStringLiteral(" ");
        const QString words = QStringLiteral("%1; for example %2.")
                                  .arg(QLatin1String(form.grammar), QLatin1String(form.example));
        for (const QString &word : words.split(u' ')) {
            if (line.size() + 1 + word.size() > kWidth) {
                text += line + u'\n';
                line = QStringLiteral("   ");
            }
            line += u' ' + word;
        }
        text += line + u'\n';
    }
    return text;
}

std::optional<BoardWiring> parseWiring(const QString &text, QString *error,
                                       const ArduinoBoard &board) {
    if (isBackpackWiring(text)) {
        const auto backpack = parseBackpackWiring(text, error);
        if (!backpack)
            return std::nullopt;
        BoardWiring wiring;
        wiring.pins = {};
        wiring.backpack = backpack;
        return wiring;
    }
    const WiringParser parser(text, error, board);
    if (text.startsWith(QStringLiteral("arduino:"), Qt::CaseInsensitive))
        return parser.arduinoForm();
    if (text.contains(u'='))
        return parser.namedForm();
    return parser.shortForm();
}

} // namespace glimmerset
