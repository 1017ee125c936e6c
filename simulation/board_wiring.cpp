#include "board_wiring.h"

#include <QStringList>

namespace glimmerset {

QString wiringSpec(const BoardWiring &wiring) {
    if (wiring.backpack)
        return backpackSpec(*wiring.backpack);
    QStringList pins;
    for (const int pin : wiring.pins)
        pins << QString::number(pin);
    pins << (wiring.rwPin < 0 ? QStringLiteral("low") : QString::number(wiring.rwPin));
    return QString(QChar::fromLatin1(wiring.port)) + u':' + pins.join(u',');
}

std::optional<BoardWiring> parseWiring(const QString &text, QString *error) {
    if (isBackpackWiring(text)) {
        auto backpack = parseBackpackWiring(text, error);
        if (!backpack)
            return std::nullopt;
        BoardWiring wiring;
        wiring.backpack = backpack;
        return wiring;
    }
    const auto fail = [&](const QString &why) -> std::optional<BoardWiring> {
        if (error)
            *error = QStringLiteral("wiring \"%1\": %2; expected %3")
                         .arg(text, why, QLatin1String(kWiringHelp));
        return std::nullopt;
    };
    const qsizetype colon = text.indexOf(u':');
    if (colon != 1 || !text[0].isLetter() || text[0].unicode() > 0x7F)
        return fail(QStringLiteral("no port letter before the colon"));
    BoardWiring wiring;
    wiring.port = static_cast<char>(text[0].toUpper().unicode());
    const QStringList fields = text.mid(2).split(u',');
    if (fields.size() != 7)
        return fail(QStringLiteral("%1 pins instead of 7").arg(fields.size()));
    unsigned used = 0;
    for (int i = 0; i < 7; ++i) {
        const QString field = fields[i].trimmed();
        if (i == 6 && field.compare(QStringLiteral("low"), Qt::CaseInsensitive) == 0)
            break;
        bool ok = false;
        const int pin = field.toInt(&ok);
        if (!ok || pin < 0 || pin > 7)
            return fail(QStringLiteral("\"%1\" is no pin from 0 to 7").arg(field));
        if (used & (1u << pin))
            return fail(QStringLiteral("pin %1 is used twice").arg(pin));
        used |= 1u << pin;
        if (i < 6)
            wiring.pins[i] = pin;
        else
            wiring.rwPin = pin;
    }
    return wiring;
}

} // namespace glimmerset
