#include "cli/cli_io.h"

#include "storage/atomic_file.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace glimmerset::cli {

void printError(const QString &message) {
    const QByteArray line = message.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, line.size(), stderr);
    std::fflush(stderr);
}

bool writeStdout(const QByteArray &bytes) {
    errno = 0;
    const bool written =
        std::fwrite(bytes.constData(), 1, bytes.size(), stdout) == std::size_t(bytes.size()) &&
        std::fflush(stdout) == 0;
    if (!written)
        printError(QStringLiteral("Can't write to the standard output: %1.")
                       .arg(QString::fromLocal8Bit(std::strerror(errno ? errno : EIO))));
    return written;
}

namespace {

void printTryHelp(const QString &command) {
    printError(
        QStringLiteral("Try '%1 %2 --help'.").arg(QCoreApplication::applicationName(), command));
}

} // namespace

std::optional<int> parseCommand(QCommandLineParser &parser, const QStringList &arguments,
                                int minPositional, int maxPositional, const QString &needed) {
    const QString program = QCoreApplication::applicationName();
    const QString command = arguments.value(0);
    if (maxPositional < 0)
        maxPositional = minPositional;
    parser.addHelpOption();
    if (!parser.parse(QStringList{program} + arguments.mid(1))) {
        printError(parser.errorText());
        printTryHelp(command);
        return kUsageError;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        // QCommandLineParser's own help names the program only; put the command in.
        QString help = parser.helpText();
        static const QRegularExpression usage(QStringLiteral("^Usage: \\S+ "));
        help.replace(usage, QStringLiteral("Usage: %1 %2 ").arg(program, arguments.value(0)));
        return writeStdout(help.toLocal8Bit()) ? kSuccess : kFailure;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() < minPositional)
        return usageError(command, QStringLiteral("%1 is needed.").arg(needed));
    if (positional.size() > maxPositional)
        return usageError(
            command, QStringLiteral("unexpected argument \"%1\".").arg(positional[maxPositional]));
    return std::nullopt;
}

int writeOutput(const QString &target, const QByteArray &bytes) {
    if (target.isEmpty() || target == QLatin1String("-"))
        return writeStdout(bytes) ? kSuccess : kFailure;
    writeFileAtomically(target, bytes);
    return kSuccess;
}

int usageError(const QString &command, const QString &message) {
    printError(command + QStringLiteral(": ") + message);
    printTryHelp(command);
    return kUsageError;
}

} // namespace glimmerset::cli
