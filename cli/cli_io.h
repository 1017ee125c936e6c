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
// arguments besides the options (maxPositional -1: as many as minPositional).
std::optional<int> parseCommand(QCommandLineParser &parser, const QStringList &arguments,
                                int minPositional, int maxPositional = -1);

// A usage error of a command: the message and where to look, on stderr.
int usageError(const QString &command, const QString &message);

} // namespace glimmerset::cli
