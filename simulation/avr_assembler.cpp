#include "avr_assembler.h"

#include "child_process.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

#include <unistd.h>

#include <vector>

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

Assembly assemble(const QByteArray &source, const QString &dir,
                  const QStringList &includeDirs) {
    Assembly result;
    const QString avra = QStandardPaths::findExecutable(QStringLiteral("avra"));
    if (avra.isEmpty()) {
        result.aborted = QStringLiteral(
            "avra is not on PATH: install the Debian package avra (apt install avra)");
        return result;
    }
    // A scratch file: no need for the care a user's file gets.
    QFile file(QDir(dir).filePath(QStringLiteral("program.asm")));
    if (!file.open(QIODevice::WriteOnly) || file.write(source) != source.size() || !file.flush()) {
        result.aborted = QStringLiteral("Can't write %1: %2").arg(file.fileName(), file.errorString());
        return result;
    }
    file.close();
    QList<QByteArray> arguments{QFile::encodeName(avra)};
    QStringList folders = includeDirs;
    if (const QString devices = avraIncludeDir(); !devices.isEmpty())
        folders << devices;
    for (const QString &folder : folders)
        arguments << QByteArrayLiteral("-I") << QFile::encodeName(folder);
    arguments << QByteArrayLiteral("program.asm");
    std::vector<char *> argv;
    for (QByteArray &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const QByteArray workDir = QFile::encodeName(dir);

    ChildLimits limits;
    limits.wallSeconds = 60;
    limits.outputIsStdout = true;
    const ChildEnd end = runChild(
        [&](int fd) {
            if (chdir(workDir.constData()) == 0)
                execv(argv[0], argv.data());
            const char message[] = "can't start avra\n";
            (void)!write(fd, message, sizeof message - 1);
            _exit(127);
        },
        limits);
    result.log = QString::fromLocal8Bit(end.output);
    if (end.timedOut)
        result.aborted = QStringLiteral("avra did not finish within %1 s and was stopped")
                             .arg(limits.wallSeconds);
    else if (end.signal)
        result.aborted = QStringLiteral("avra crashed with %1 while assembling the program").arg(end.signalText());
    else if (end.exitCode == 127)
        result.aborted = QStringLiteral("avra could not be started from %1").arg(avra);
    if (!result.aborted.isEmpty())
        return result;
    result.hexPath = QDir(dir).filePath(QStringLiteral("program.hex"));
    const QString text = QString::fromLocal8Bit(source).remove(u'\r');
    result.errors = errorsWithLines(result.log, text.split(u'\n'));
    // avra 1.4 may exit with 0 after errors; its summary line tells.
    result.ok = end.exitCode == 0 &&
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
