// The floor for glimmerset-cli code: a QtCore program that does nothing but
// start and write the bytes of the file it is given to stdout.

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QFile file(QCoreApplication::arguments().value(1));
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray bytes = file.readAll();
    return std::fwrite(bytes.constData(), 1, bytes.size(), stdout) == std::size_t(bytes.size()) ? 0 : 1;
}
