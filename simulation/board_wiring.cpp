#include "board_wiring.h"

#include <QStringList>

namespace glimmerset {

namespace {

using lcd::Line;

constexpr char kNamedWiringHelp[] =
    "SIGNAL=PIN pairs such as rs=B4,e=B3,d4=D5,d5=D4,d6=D3,d7=D2, with rw= when RW is wired "
    "and d0= to d3= for an 8-bit bus";
constexpr char kArduinoWiringHelp[] =
    "arduino:RS,E,D4,D5,D6,D7 or arduino:RS,RW,E,D4,D5,D6,D7 (or either with D0 to D7), "
    "in the LiquidCrystal constructor's order with Uno pin numbers 0 to 13 and A0 to A5";

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
    WiringParser(const QString &text, QString *error) : text_(text), error_(error) {}

    std::optional<BoardWiring> fail(const QString &why, const char *expected) const {
        if (error_)
            *error_ = QStringLiteral("wiring \"%1\": %2; expected %3")
                          .arg(text_, why, QLatin1String(expected));
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
            return fail(QStringLiteral("no port letter before the colon"), kWiringHelp);
        const char port = static_cast<char>(text_[0].toUpper().unicode());
        const QStringList fields = text_.mid(2).split(u',');
        if (fields.size() != 7)
            return fail(QStringLiteral("%1 pins instead of 7").arg(fields.size()), kWiringHelp);
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
                return fail(QStringLiteral("\"%1\" is no pin from 0 to 7").arg(field), kWiringHelp);
            if (used & (1u << bit))
                return fail(QStringLiteral("pin %1 is used twice").arg(bit), kWiringHelp);
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
                return fail(QStringLiteral("\"%1\" is no signal (rs, rw, e, d0 to d7)").arg(name),
                            kNamedWiringHelp);
            if (wiring.pins[line].wired())
                return fail(QStringLiteral("%1 is given twice").arg(name), kNamedWiringHelp);
            const QString bare = pin.size() == 3 && pin.startsWith(u'P') ? pin.mid(1) : pin;
            if (bare.size() != 2 || bare[0] < u'A' || bare[0] > u'Z' || bare[1] < u'0' ||
                bare[1] > u'7')
                return fail(QStringLiteral("\"%1\" is no pin such as B4 or PB4").arg(pin),
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

    // Uno pins: D0..D7 are PD0..PD7, D8..D13 PB0..PB5, A0..A5 (14..19) PC0..PC5.
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
            bool ok = false;
            int number = field.startsWith(u'A') ? field.mid(1).toInt(&ok) + 14 : field.toInt(&ok);
            if (field.startsWith(u'A') && number > 19)
                ok = false;
            if (!ok || number < 0 || number > 19)
                return fail(QStringLiteral("\"%1\" is no Uno pin").arg(fields[i].trimmed()),
                            kArduinoWiringHelp);
            wiring.pins[order[i]] = number < 8    ? BoardPin{'D', number}
                                    : number < 14 ? BoardPin{'B', number - 8}
                                                  : BoardPin{'C', number - 14};
        }
        return checked(wiring, kArduinoWiringHelp);
    }

private:
    const QString &text_;
    QString *error_;
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

std::optional<BoardWiring> parseWiring(const QString &text, QString *error) {
    if (isBackpackWiring(text)) {
        const auto backpack = parseBackpackWiring(text, error);
        if (!backpack)
            return std::nullopt;
        BoardWiring wiring;
        wiring.pins = {};
        wiring.backpack = backpack;
        return wiring;
    }
    const WiringParser parser(text, error);
    if (text.startsWith(QStringLiteral("arduino:"), Qt::CaseInsensitive))
        return parser.arduinoForm();
    if (text.contains(u'='))
        return parser.namedForm();
    return parser.shortForm();
}

} // namespace glimmerset
