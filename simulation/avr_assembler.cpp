#include "simulation/avr_assembler.h"

#include "simulation/child_process.h"

#include "storage/error.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringTokenizer>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

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
// and 12 of the source behind it; or avra's warnings, kind "Warning".
QStringList errorsWithLines(const QString &log, const QStringList &sourceLines,
                            QLatin1String kind = QLatin1String("Error")) {
    const QRegularExpression pattern(
        QStringLiteral("^program\\.asm\\((\\d+)\\) : %1\\s*: (.*)$").arg(kind),
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

// A scratch file: no need for the care a user's file gets, but the system's
// reason when it fails ("File too large" at the file-size limit). Gives 0
// or the errno.
int writeScratchFile(const QString &path, const QByteArray &bytes) {
    const int fd =
        open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno;
    int error = 0;
    for (qsizetype at = 0; at < bytes.size() && !error;) {
        const ssize_t n = write(fd, bytes.constData() + at, std::size_t(bytes.size() - at));
        if (n > 0)
            at += n;
        else if (n < 0 && errno != EINTR)
            error = errno;
    }
    if (close(fd) != 0 && !error)
        error = errno;
    return error;
}

} // namespace

Assembly assemble(const QByteArray &source, const QString &dir, const QStringList &includeDirs) {
    Assembly result;
    const QString avra = QStandardPaths::findExecutable(QStringLiteral("avra"));
    if (avra.isEmpty()) {
        result.aborted = QStringLiteral(
            "avra is not on PATH: install the Debian package avra (apt install avra)");
        return result;
    }
    const QString path = QDir(dir).filePath(QStringLiteral("program.asm"));
    if (const int error = writeScratchFile(path, source)) {
        result.aborted =
            QStringLiteral("Can't write %1: %2").arg(quoted(path), systemReason(error));
        return result;
    }
    QStringList arguments;
    QStringList folders = includeDirs;
    if (const QString devices = avraIncludeDir(); !devices.isEmpty())
        folders << devices;
    for (const QString &folder : folders)
        arguments << QStringLiteral("-I") << folder;
    arguments << QStringLiteral("program.asm");
    ChildLimits limits;
    limits.wallSeconds = 60;
    const ChildEnd end = runProgram(avra, arguments, dir, limits);
    result.log = QString::fromLocal8Bit(end.output);
    if (end.timedOut)
        result.aborted = QStringLiteral("avra did not finish within %1 s and was stopped")
                             .arg(limits.wallSeconds);
    else if (end.signal)
        result.aborted = QStringLiteral("avra crashed with %1 while assembling the program")
                             .arg(end.signalText());
    if (!result.aborted.isEmpty())
        return result;
    result.hexPath = QDir(dir).filePath(QStringLiteral("program.hex"));
    // avra 1.4 may exit with 0 after errors; its summary line tells.
    result.ok = end.exitCode == 0 &&
                result.log.contains(QStringLiteral("Assembly complete with no errors")) &&
                QFile::exists(result.hexPath);
    const QStringList lines = QString::fromLocal8Bit(source).remove(u'\r').split(u'\n');
    if (!result.ok)
        result.errors = errorsWithLines(result.log, lines);
    result.warnings = errorsWithLines(result.log, lines, QLatin1String("Warning"));
    return result;
}

QList<QStringView> directiveOperands(QStringView source, QStringView directive,
                                     bool indentAllowed) {
    QList<QStringView> operands;
    for (QStringView line : QStringTokenizer(source, u'\n')) {
        if (indentAllowed)
            while (line.startsWith(u' ') || line.startsWith(u'\t'))
                line = line.mid(1);
        if (line.size() > directive.size() && line.startsWith(directive, Qt::CaseInsensitive) &&
            (line[directive.size()] == u' ' || line[directive.size()] == u'\t'))
            operands << line.mid(directive.size()).trimmed();
    }
    return operands;
}

QString mcuFromInclude(const QString &source) {
    static constexpr QStringView kSuffix = u"def.inc\"";
    for (const QStringView operand : directiveOperands(source, u".include", true)) {
        const QStringView name = operand.mid(1);
        const qsizetype at = name.indexOf(kSuffix, 0, Qt::CaseInsensitive);
        const QStringView device = name.left(at);
        if (!operand.startsWith(u'"') || at <= 0 ||
            !std::all_of(device.begin(), device.end(), [](QChar c) {
                return (c.isLetterOrNumber() && c.unicode() < 0x80) || c == u'_';
            }))
            continue;
        const QString lower = device.toString().toLower();
        if (lower.startsWith(QStringLiteral("tn")))
            return QStringLiteral("attiny") + lower.mid(2);
        if (lower.startsWith(u'm'))
            return QStringLiteral("atmega") + lower.mid(1);
        return QStringLiteral("at90s") + lower;
    }
    return {};
}

} // namespace glimmerset
