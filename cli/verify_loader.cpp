#include "cli/cli_io.h"
#include "cli/commands.h"

#include "storage/executable_folder.h"

#include <QDir>
#include <QFile>

#include <dlfcn.h>

namespace glimmerset::cli {

int loadedVerifyCommand(const QStringList &arguments) {
    const QString path =
        QDir(executableFolder()).filePath(QStringLiteral(GLIMMERSET_VERIFY_MODULE));
    // Never unloaded: simavr keeps what it registered until the process ends.
    void *module = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    using Command = int(const QStringList &);
    auto *command =
        module ? reinterpret_cast<Command *>(::dlsym(module, "glimmersetVerifyCommand")) : nullptr;
    if (!command) {
        printError(QStringLiteral("verify is not available: %1.")
                       .arg(QString::fromLocal8Bit(::dlerror())));
        return kFailure;
    }
    return command(arguments);
}

} // namespace glimmerset::cli
