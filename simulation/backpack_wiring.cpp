#include "simulation/backpack_wiring.h"

#include "simulation/hex_text.h"
#include "simulation/pcf8574.h"

#include "codegen/name_text.h"
#include "storage/error.h"

#include <QStringList>

namespace glimmerset {

namespace {

// The signals in written order, with where each lives in the wiring.
struct Signal {
    const char *name;
    const char *lcdName;
    int BackpackWiring::*pin;
    int dataLine; // D4..D7 as 0..3 when pin is null
    bool required;
};

constexpr Signal kSignals[] = {
    {"rs", "RS", &BackpackWiring::rs, -1, true},
    {"rw", "RW", &BackpackWiring::rw, -1, false},
    {"e", "E", &BackpackWiring::e, -1, true},
    {"bl", "backlight", &BackpackWiring::backlight, -1, false},
    {"d4", "D4", nullptr, 0, true},
    {"d5", "D5", nullptr, 1, true},
    {"d6", "D6", nullptr, 2, true},
    {"d7", "D7", nullptr, 3, true},
};

int &pinOf(BackpackWiring &wiring, const Signal &signal) {
    return signal.pin ? wiring.*signal.pin : wiring.data[signal.dataLine];
}

int pinOf(const BackpackWiring &wiring, const Signal &signal) {
    return signal.pin ? wiring.*signal.pin : wiring.data[signal.dataLine];
}

QString hexAddress(int address) {
    return QString::fromStdString(hexText(std::uint32_t(address)));
}

} // namespace

bool isBackpackWiring(const QString &text) {
    return text.startsWith(QLatin1String("i2c:"), Qt::CaseInsensitive);
}

QString backpackSpec(const BackpackWiring &wiring) {
    QString text = QStringLiteral("i2c:") + hexAddress(wiring.address);
    if (wiring == BackpackWiring{wiring.address})
        return text;
    QStringList pins;
    for (const Signal &signal : kSignals)
        if (const int pin = pinOf(wiring, signal); pin >= 0)
            pins << QStringLiteral("%1=%2").arg(QLatin1String(signal.name)).arg(pin);
    return text + u':' + pins.join(u',');
}

QString backpackDescription(const BackpackWiring &wiring) {
    QStringList drives;
    for (int pin = 0; pin < 8; ++pin)
        for (const Signal &signal : kSignals)
            if (pinOf(wiring, signal) == pin)
                drives << QStringLiteral("P%1 %2").arg(pin).arg(QLatin1String(signal.lcdName));
    if (wiring.rw < 0)
        drives << QStringLiteral("RW tied low");
    return QStringLiteral("%1, a %2 backpack on the TWI (%3)")
        .arg(backpackSpec(wiring),
             QLatin1String(wiring.address >= 0x38 ? "PCF8574A" : "PCF8574"),
             drives.join(QStringLiteral(", ")));
}

std::optional<BackpackWiring> parseBackpackWiring(const QString &text, QString *error) {
    const auto fail = [&](const QString &why) -> std::optional<BackpackWiring> {
        if (error)
            *error = QStringLiteral("wiring %1: %2; expected %3")
                         .arg(quoted(terminalText(text)), why, QLatin1String(kBackpackWiringHelp));
        return std::nullopt;
    };
    if (!isBackpackWiring(text))
        return fail(QStringLiteral("no \"i2c:\" at its start"));
    const QStringList parts = text.mid(4).split(u':');
    if (parts.size() > 2)
        return fail(QStringLiteral("more than one colon after the address"));
    const QString addressText = parts[0].trimmed();
    bool ok = false;
    const int address = addressText.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                            ? addressText.mid(2).toInt(&ok, 16)
                            : addressText.toInt(&ok, 10);
    if (!ok)
        return fail(QStringLiteral("%1 is no address").arg(quoted(terminalText(addressText))));
    if (!Pcf8574::validAddress(address)) {
        QString why = QStringLiteral("%1 is no PCF8574 address").arg(hexAddress(address));
        if (address % 2 == 0 && Pcf8574::validAddress(address / 2))
            why += QStringLiteral(" (it is %1 shifted left by the R/W bit: give the 7-bit "
                                  "address)")
                       .arg(hexAddress(address / 2));
        return fail(why);
    }
    BackpackWiring wiring;
    wiring.address = address;
    if (parts.size() == 1)
        return wiring;

    for (const Signal &signal : kSignals)
        pinOf(wiring, signal) = -1;
    unsigned used = 0;
    for (const QString &field : parts[1].split(u',')) {
        const QStringList nameAndPin = field.trimmed().split(u'=');
        const Signal *signal = nullptr;
        for (const Signal &candidate : kSignals)
            if (nameAndPin[0].trimmed().compare(QLatin1String(candidate.name),
                                                Qt::CaseInsensitive) == 0)
                signal = &candidate;
        if (nameAndPin.size() != 2 || !signal)
            return fail(QStringLiteral("%1 is not one of rs= rw= e= bl= d4= d5= d6= d7=")
                            .arg(quoted(terminalText(field.trimmed()))));
        const int pin = nameAndPin[1].trimmed().toInt(&ok);
        if (!ok || pin < 0 || pin > 7)
            return fail(QStringLiteral("%1 is no expander pin from 0 to 7")
                            .arg(quoted(terminalText(nameAndPin[1].trimmed()))));
        if (pinOf(wiring, *signal) >= 0)
            return fail(QStringLiteral("%1 is given twice").arg(QLatin1String(signal->name)));
        if (used & (1u << pin))
            return fail(QStringLiteral("pin %1 is used twice").arg(pin));
        used |= 1u << pin;
        pinOf(wiring, *signal) = pin;
    }
    for (const Signal &signal : kSignals)
        if (signal.required && pinOf(wiring, signal) < 0)
            return fail(QStringLiteral("no pin for %1").arg(QLatin1String(signal.lcdName)));
    return wiring;
}

} // namespace glimmerset
