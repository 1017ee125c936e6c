// glimmerset-cli: the window's code generation for builds and scripts,
// with no display needed.

#include "cli/cli_io.h"
#include "cli/commands.h"

#include "storage/error.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <new>

using namespace glimmerset::cli;

namespace {

struct Command {
    const char *name;
    const char *summary;
    int (*run)(const QStringList &);
};

constexpr Command kCommands[] = {
    {"code", "write the code for a glyph file, as \"Save to File\" does or in another form",
     codeCommand},
    {"show", "show the names and glyphs of a glyph file as text", showCommand},
#ifdef GLIMMERSET_WITH_VERIFY
    {"verify", "run the program for a glyph file on a simulated AVR and LCD", loadedVerifyCommand},
#endif
    {"import", "make a glyph file from byte arrays in C, Arduino or assembly", importCommand},
    {"check-templates", "name each template line the template stage would break",
     checkTemplatesCommand},
};

QString overview() {
    QString text =
        QStringLiteral(
            "Usage: %1 COMMAND [OPTIONS] [FILE]\n\n"
            "Makes the AVR code of Glimmerset's window from a glyph file, with no display.\n\n"
            "Commands:\n")
            .arg(QCoreApplication::applicationName());
    for (const Command &command : kCommands)
        text += QStringLiteral("  %1  %2\n")
                    .arg(QString::fromLatin1(command.name).leftJustified(15),
                         QString::fromLatin1(command.summary));
    text +=
        QStringLiteral("\n'%1 COMMAND --help' tells more of each. Exit status: 0 done, 1 failed, "
                       "2 wrong usage.\n")
            .arg(QCoreApplication::applicationName());
    return text;
}

// A closed stdin, stdout or stderr would be the next descriptor opened, and
// the report could go into whatever Qt opened there. Hold each such place
// with a descriptor that can't be read or written: output to it fails and
// is reported as failing.
void holdClosedStandardDescriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd)
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF)
            (void)open("/dev/null", O_PATH);
}

int runCommand(const Command &command, const QStringList &arguments) {
    try {
        return command.run(arguments);
    } catch (const glimmerset::Error &error) {
        printError(error.message());
    } catch (const std::bad_alloc &) {
        printError(QStringLiteral("Out of memory."));
    }
    return kFailure;
}

} // namespace

int main(int argc, char *argv[]) {
    holdClosedStandardDescriptors();
    // Past the file-size limit (ulimit -f in a build) a write fails with a
    // reason we report, and a closed pipe with EPIPE that ends the program
    // quietly (writeStdout), instead of either signal ending it.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("glimmerset-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(GLIMMERSET_VERSION));

    const QStringList arguments = QCoreApplication::arguments().mid(1);
    const QString first = arguments.value(0);
    if (first == QLatin1String("--help") || first == QLatin1String("-h"))
        return writeStdout(overview().toLocal8Bit()) ? kSuccess : kFailure;
    if (first == QLatin1String("--version") || first == QLatin1String("-v"))
        return writeStdout(QStringLiteral("glimmerset-cli %1\n")
                               .arg(QCoreApplication::applicationVersion())
                               .toLocal8Bit())
                   ? kSuccess
                   : kFailure;
    for (const Command &command : kCommands)
        if (first == QLatin1String(command.name))
            return runCommand(command, arguments);

    if (first.isEmpty())
        return usageError({}, QStringLiteral("a command is needed."));
    return usageError(
        {}, QStringLiteral("unknown %1 %2.")
                .arg(first.startsWith(u'-') ? QStringLiteral("option") : QStringLiteral("command"),
                     shownValue(first)));
}
