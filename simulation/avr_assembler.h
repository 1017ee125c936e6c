#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace glimmerset {

struct Assembly {
    bool ok = false;
    QString hexPath;
    QString log;        // avra's own output
    QStringList errors; // each avra error with the source lines it names
    QStringList warnings; // and each warning, such as a constant masked to fit
    QString aborted;    // why avra did not finish: missing, crashed, stopped
};

// Writes source as program.asm in dir and assembles it with the avra found
// on PATH. .include finds the files in includeDirs, then avra's device
// files (/usr/share/avra).
Assembly assemble(const QByteArray &source, const QString &dir,
                  const QStringList &includeDirs = {});

// The operands of the lines that begin with directive (".include", ".equ")
// and a blank, or with indentAllowed do so after blanks; trimmed, in order.
// Case does not matter.
QList<QStringView> directiveOperands(QStringView source, QStringView directive, bool indentAllowed);

// The simavr core for the device file the program's first .include names:
// "m328Pdef.inc" gives "atmega328p", "tn2313def.inc" "attiny2313". Empty when
// there is no such line.
QString mcuFromInclude(const QString &source);

} // namespace glimmerset
