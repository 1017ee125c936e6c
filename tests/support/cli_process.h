#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace glimmerset::test {

// glimmerset-cli run as a Makefile or a script runs it. exitCode stays -1
// when it didn't end by itself (a crash, a signal, the timeout).
struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QString err;

    QString outText() const { return QString::fromLocal8Bit(out); }
};

inline CliRun runProgram(const QString &program, const QStringList &arguments,
                         const QString &workingDir = {}, const QProcessEnvironment &env = {},
                         int timeoutMs = 60000) {
    QProcess process;
    if (!workingDir.isEmpty())
        process.setWorkingDirectory(workingDir);
    if (!env.isEmpty())
        process.setProcessEnvironment(env);
    process.start(program, arguments);
    CliRun result;
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

inline CliRun runCli(const QStringList &arguments, const QString &workingDir = {},
                     const QProcessEnvironment &env = {}, int timeoutMs = 60000) {
    return runProgram(QStringLiteral(GLIMMERSET_CLI), arguments, workingDir, env, timeoutMs);
}

} // namespace glimmerset::test
