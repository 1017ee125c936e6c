#pragma once

#include <QString>
#include <QStringList>

namespace glimmerset {

struct Assembly {
    bool ok = false;
    QString hexPath;
    QString log;        // avra's own output
    QStringList errors; // each avra error with the source lines it names
    QString notRun;     // why avra could not be run at all, if it couldn't
};

// Saves source as "Save to File" would, as program.asm in dir, and assembles
// it with the avra found on PATH, its device includes from /usr/share/avra.
Assembly assemble(const QString &source, const QString &dir);

// The simavr core for the device file the program's first .include names:
// "m328Pdef.inc" gives "atmega328p", "tn2313def.inc" "attiny2313". Empty when
// there is no such line.
QString mcuFromInclude(const QString &source);

} // namespace glimmerset
