#pragma once

#include <QByteArray>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <optional>

namespace glimmerset::cli {

enum ExitCode { kSuccess = 0, kFailure = 1, kUsageError = 2 };

// One line on stderr: messages never mix with the code on stdout.
void printError(const QString &message);

// Writes all of bytes to stdout; a failed write (a full disk, a closed pipe)
// is reported on stderr and gives false.
bool writeStdout(const QByteArray &bytes);

// Parses a command's arguments (arguments[0] is the command's name). Gives an
// exit code when the command must not run: after --help, or on a usage error,
// which is explained on stderr. It takes minPositional to maxPositional
// arguments besides the options (maxPositional -1: as many as minPositional);
// needed names the first when it is missing.
std::optional<int> parseCommand(QCommandLineParser &parser, const QStringList &arguments,
                                int minPositional, int maxPositional = -1,
                                const QString &needed = QStringLiteral("a glyph file (.ch)"));

// bytes to stdout when target is empty or "-", else to the file target,
// replaced whole or not at all; gives the exit code. Throws Error.
int writeOutput(const QString &target, const QByteArray &bytes);

// "command: message" and where to find help, on stderr; gives kUsageError.
int usageError(const QString &command, const QString &message);

} // namespace glimmerset::cli
