#include "app/main_window.h"
#include "app/qt_platform.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Glimmerset"));
    QApplication::setDesktopFileName(QStringLiteral("glimmerset"));

    glimmerset::QtPlatform platform;
    glimmerset::MainWindow window(platform);
    window.show();
    return QApplication::exec();
}
