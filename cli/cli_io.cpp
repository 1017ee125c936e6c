#include "cli/cli_io.h"

#include "codegen/name_text.h"
#include "storage/atomic_file.h"
#include "storage/error.h"
#include "storage/glyph_file.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>

namespace glimmerset::cli {

QString terminalLines(const QString &text) {
    QStringList lines = text.split(u'\n');
    for (QString &line : lines)
        line = terminalText(line);
    return lines.join(u'\n');
}

QString shownValue(QStringView value) {
    return quoted(terminalText(value));
}

void printError(const QString &message) {
    const QByteArray line = terminalLines(message).toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, line.size(), stderr);
    std::fflush(stderr);
}

bool printText(const QString &text) {
    return writeStdout(terminalLines(text).toLocal8Bit());
}

bool writeStdout(const QByteArray &bytes) {
    errno = 0;
    const bool written =
        std::fwrite(bytes.constData(), 1, bytes.size(), stdout) == std::size_t(bytes.size()) &&
        std::fflush(stdout) == 0;
    // SIGPIPE is ignored (main), so a closed pipe comes here as EPIPE.
    if (!written && errno != EPIPE)
        printError(QStringLiteral("Can't write to the standard output: %1.").arg(systemReason(errno ? errno : EIO)));
    return written;
}

int usageError(const QString &command, const QString &message) {
    const QString program = QCoreApplication::applicationName();
    const QString who = command.isEmpty() ? program : command;
    printError(QStringLiteral("%1: %2").arg(who, message));
    printError(QStringLiteral("Try '%1 --help'.").arg(command.isEmpty() ? program : program + u' ' + command));
    return kUsageError;
}

std::optional<int> parseCommand(QCommandLineParser &parser, const QStringList &arguments,
                                int minPositional, int maxPositional, const QString &needed) {
    const QString program = QCoreApplication::applicationName();
    const QString command = arguments.value(0);
    if (maxPositional < 0)
        maxPositional = minPositional;
    // Not addHelpOption(): its --help-all would promise Qt's own options, and
    // a command line program has none.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Shows this help."));
    parser.addOption(help);
    if (!parser.parse(QStringList{program} + arguments.mid(1))) {
        const QStringList unknown = parser.unknownOptionNames();
        if (unknown.isEmpty()) { // "Missing value after '-o'."
            QString text = parser.errorText();
            return usageError(command, text.replace(0, 1, text.front().toLower()));
        }
        const QString &name = unknown.constFirst();
        return usageError(command, QStringLiteral("unknown option %1.")
                                       .arg(shownValue((name.size() == 1 ? QStringLiteral("-")
                                                                         : QStringLiteral("--")) +
                                                       name)));
    }
    if (parser.isSet(help)) {
        // QCommandLineParser's own help names the program only; put the command in.
        QString text = parser.helpText();
        static const QRegularExpression usage(QStringLiteral("^Usage: \\S+ "));
        text.replace(usage, QStringLiteral("Usage: %1 %2 ").arg(program, command));
        return writeStdout(text.toLocal8Bit()) ? kSuccess : kFailure;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() < minPositional)
        return usageError(command, QStringLiteral("%1 is needed.").arg(needed));
    if (positional.size() > maxPositional)
        return usageError(command, QStringLiteral("unexpected argument %1.")
                                       .arg(shownValue(positional.value(maxPositional))));
    // "-o ''" is a slip, never a wish for the default.
    for (const QString &name : parser.optionNames())
        if (parser.values(name).contains(QString()))
            return usageError(
                command,
                QStringLiteral("%1%2 needs a value, not an empty one.")
                    .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name));
    return std::nullopt;
}

void refuseToOverwrite(const QString &target, const QStringList &inputs, bool force) {
    if (target.isEmpty() || target == QLatin1String("-"))
        return;
    struct stat written {};
    if (stat(QFile::encodeName(target).constData(), &written) != 0)
        return; // a new file: nothing to lose
    for (const QString &input : inputs) {
        struct stat read {};
        if (stat(QFile::encodeName(input).constData(), &read) == 0 &&
            read.st_dev == written.st_dev && read.st_ino == written.st_ino)
            throw Error(QStringLiteral("Won't write to %1: it is %2, which is read to make it.")
                            .arg(shownValue(target), shownValue(input)));
    }
    if (force || !S_ISREG(written.st_mode))
        return;
    bool drawing = false;
    try {
        drawing = glyphs_from_file(target).oddPixels.isEmpty();
    } catch (const Error &) {
    }
    if (drawing)
        throw Error(QStringLiteral("Won't replace %1 with code: it holds a glyph set. Give "
                                   "--force to replace it all the same.")
                        .arg(shownValue(target)));
}

int writeOutput(const QString &target, const QByteArray &bytes) {
    if (target.isEmpty() || target == QLatin1String("-"))
        return writeStdout(bytes) ? kSuccess : kFailure;
    writeFileAtomically(target, bytes);
    return kSuccess;
}

} // namespace glimmerset::cli
