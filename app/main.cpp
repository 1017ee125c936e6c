#include "app/main_window.h"
#include "app/qt_platform.h"
#include "app/window_font.h"
#include "app/window_scroller.h"

#include <QApplication>
#include <QScreen>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// Qt's messages may quote DISPLAY and the like: control characters reach the
// terminal spelled out.
QString escaped(const QString &text) {
    QString out;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\n' && u != u'\t') || (u >= 0x7F && u <= 0x9F))
            out += QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

constexpr char kNeedsDisplay[] = "glimmerset: the window needs a display";
constexpr char kWithoutDisplay[] = "glimmerset-cli does its work without one.";

bool platformChosen(int argc, char **argv) {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return true;
    return false;
}

QtMessageHandler qtHandler = nullptr;

// While the application starts, a platform that can't open is fatal to Qt;
// here it is a message and exit status 1.
void startupMessage(QtMsgType type, const QMessageLogContext &context, const QString &message) {
    if (type != QtFatalMsg) {
        qtHandler(type, context, escaped(message));
        return;
    }
    // Qt's own last words advise reinstalling, which would not help.
    Q_UNUSED(message);
    std::fprintf(stderr, "%s, and none could be opened (the reason is above).\n%s\n", kNeedsDisplay,
                 kWithoutDisplay);
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

int main(int argc, char *argv[]) {
    // Past the file-size limit a write then fails with a reason the save
    // reports, instead of the signal ending the program.
    std::signal(SIGXFSZ, SIG_IGN);

    if (!platformChosen(argc, argv) && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "%s, and neither DISPLAY nor WAYLAND_DISPLAY is set.\n%s\n",
                     kNeedsDisplay, kWithoutDisplay);
        return 1;
    }

    qtHandler = qInstallMessageHandler(startupMessage);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtHandler);
    QApplication::setApplicationName(QStringLiteral("Glimmerset"));
    QApplication::setDesktopFileName(QStringLiteral("glimmerset"));
    QApplication::setFont(glimmerset::windowFont());

    glimmerset::QtPlatform platform;
    glimmerset::MainWindow window(platform);
    // Declared after the window, so it lets go of the window before it goes.
    std::unique_ptr<glimmerset::WindowScroller> scroller;
    const QScreen *screen = window.screen();
    if (screen && glimmerset::overflows(window, screen->availableGeometry().size()))
        scroller = std::make_unique<glimmerset::WindowScroller>(window,
                                                                screen->availableGeometry().size());
    if (scroller)
        scroller->show();
    else
        window.show();
    return QApplication::exec();
}
