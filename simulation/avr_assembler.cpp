#include "avr_assembler.h"

#include "codegen/asm_file.h"
#include "storage/error.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace glimmerset {

namespace {

QString avraIncludeDir() {
    QStringList candidates{QStringLiteral("/usr/share/avra"),
                           QStringLiteral("/usr/local/share/avra")};
    if (QCoreApplication::instance())
        candidates << QCoreApplication::applicationDirPath() + QStringLiteral("/../share/avra");
    for (const QString &dir : candidates)
        if (QFile::exists(dir + QStringLiteral("/m328Pdef.inc")))
            return dir;
    return {};
}

// "program.asm(12) : Error   : Unknown mnemonic/macro: r16" with lines 11
// and 12 of the source behind it.
QStringList errorsWithLines(const QString &log, const QStringList &sourceLines) {
    static const QRegularExpression pattern(
        QStringLiteral("^program\\.asm\\((\\d+)\\) : Error\\s*: (.*)$"),
        QRegularExpression::MultilineOption);
    QStringList errors;
    auto it = pattern.globalMatch(log);
    while (it.hasNext()) {
        const auto match = it.next();
        const int line = match.captured(1).toInt();
        QString error = QStringLiteral("line %1: %2").arg(line).arg(match.captured(2).trimmed());
        // The line before too: a line split at a comma shows as its two halves.
        for (int at = line - 1; at <= line; ++at)
            if (at >= 1 && at <= sourceLines.size())
                error += QStringLiteral("\n  %1 %2: %3")
                             .arg(at == line ? QLatin1String(">") : QLatin1String(" "))
                             .arg(at, 5)
                             .arg(sourceLines[at - 1]);
        errors << error;
    }
    return errors;
}

} // namespace

Assembly assemble(const QString &source, const QString &dir) {
    Assembly result;
    const QString avra = QStandardPaths::findExecutable(QStringLiteral("avra"));
    if (avra.isEmpty()) {
        result.notRun = QStringLiteral(
            "avra is not on PATH: install the Debian package avra (apt install avra)");
        return result;
    }
    const QString asmPath = QDir(dir).filePath(QStringLiteral("program.asm"));
    try {
        write_asm_file(asmPath, source);
    } catch (const Error &error) {
        result.notRun = error.message();
        return result;
    }
    QStringList arguments;
    if (const QString include = avraIncludeDir(); !include.isEmpty())
        arguments << QStringLiteral("-I") << include;
    arguments << QStringLiteral("program.asm");
    QProcess process;
    process.setWorkingDirectory(dir);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(avra, arguments);
    if (!process.waitForFinished(60000)) {
        result.notRun = QStringLiteral("avra did not run: ") + process.errorString();
        process.kill();
        return result;
    }
    result.log = QString::fromLocal8Bit(process.readAll());
    result.hexPath = QDir(dir).filePath(QStringLiteral("program.hex"));
    result.errors = errorsWithLines(result.log, source.split(QStringLiteral("\r\n")));
    // avra 1.4 may exit with 0 after errors; its summary line tells.
    result.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 &&
                result.log.contains(QStringLiteral("Assembly complete with no errors")) &&
                QFile::exists(result.hexPath);
    return result;
}

QString mcuFromInclude(const QString &source) {
    static const QRegularExpression include(
        QStringLiteral("^[ \\t]*\\.include[ \\t]+\"([A-Za-z0-9_]+)def\\.inc\""),
        QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
    const auto match = include.match(source);
    if (!match.hasMatch())
        return {};
    const QString device = match.captured(1).toLower();
    if (device.startsWith(QStringLiteral("tn")))
        return QStringLiteral("attiny") + device.mid(2);
    if (device.startsWith(u'm'))
        return QStringLiteral("atmega") + device.mid(1);
    return QStringLiteral("at90s") + device;
}

} // namespace glimmerset
