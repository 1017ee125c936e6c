#include "app/main_window.h"
#include "app/qt_platform.h"
#include "app/window_font.h"

#include <QApplication>

#include <csignal>

int main(int argc, char *argv[]) {
    // Past the file-size limit a write then fails with a reason the save
    // reports, instead of the signal ending the program.
    std::signal(SIGXFSZ, SIG_IGN);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Glimmerset"));
    QApplication::setDesktopFileName(QStringLiteral("glimmerset"));
    QApplication::setFont(glimmerset::windowFont());

    glimmerset::QtPlatform platform;
    glimmerset::MainWindow window(platform);
    window.show();
    return QApplication::exec();
}
