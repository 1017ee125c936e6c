#pragma once

#include <QByteArray>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <optional>

namespace glimmerset::cli {

enum ExitCode { kSuccess = 0, kFailure = 1, kUsageError = 2 };

// The one way words reach the terminal: every control character (ESC, BEL,
// CR, ...) is written out as \xNN, line by line, so the line breaks of the
// text stay and nothing a file or an argument holds can move the cursor.
QString terminalLines(const QString &text);

// A value the user or a file gave, in a message: quoted, cut short, and its
// line breaks spelled out too, so it never ends a line of its own.
QString shownValue(QStringView value);

// A message on stderr, through terminalLines: messages never mix with the
// code on stdout.
void printError(const QString &message);

// Words for the reader on stdout (a report), through terminalLines; gives
// false as writeStdout does.
bool printText(const QString &text);

// Writes all of bytes to stdout as they are: the code itself. A failed write (a full disk) is
// reported on stderr and gives false; so does a closed pipe, though without a word: the reader
// (head, say) chose to stop, as it would with any other tool.
bool writeStdout(const QByteArray &bytes);

// "code: unknown option "--bogus"." and where help is, on stderr; gives
// kUsageError. command is empty for the program's own arguments.
int usageError(const QString &command, const QString &message);

// Parses a command's arguments (arguments[0] is the command's name). Gives an
// exit code when the command must not run: after --help, or on a usage error,
// which is explained on stderr; an option given an empty value is one. It takes minPositional to
// maxPositional arguments besides the options (maxPositional -1: as many as minPositional); needed
// names the first when it is missing.
std::optional<int> parseCommand(QCommandLineParser &parser, const QStringList &arguments,
                                int minPositional, int maxPositional = -1,
                                const QString &needed = QStringLiteral("a glyph file (.ch)"));

// Throws Error when writing to target (a file name, not "-") would destroy
// what the output is made from or a drawing: target is the same file as one
// of inputs (by device and inode, whatever the names), or, unless force,
// it reads as a glyph set (code, which is none, passes false).
void refuseToOverwrite(const QString &target, const QStringList &inputs, bool force);

// bytes to stdout when target is empty or "-", else to the file target,
// replaced whole or not at all; gives the exit code. Throws Error.
int writeOutput(const QString &target, const QByteArray &bytes);

} // namespace glimmerset::cli
