#pragma once

#include <QStringList>

namespace glimmerset::cli {

// Each takes its arguments with its own name first and gives the exit code;
// a failure may also come as an Error, which main reports.
int codeCommand(const QStringList &arguments);
int showCommand(const QStringList &arguments);
// In glimmerset-verify.so, with the simulated board.
int verifyCommand(const QStringList &arguments);
// verifyCommand from glimmerset-verify.so beside the executable, loaded when
// verify is asked for.
int loadedVerifyCommand(const QStringList &arguments);
int importCommand(const QStringList &arguments);
int checkTemplatesCommand(const QStringList &arguments);

} // namespace glimmerset::cli
