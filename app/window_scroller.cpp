#include "app/window_scroller.h"

#include <QScrollBar>
#include <QStyle>

namespace glimmerset {

namespace {

// A title bar and borders as desktops commonly draw them; the size the window
// manager adds is only known once the window is shown.
constexpr QSize kDecorations(16, 48);

} // namespace

bool overflows(const QWidget &window, QSize available) {
    const QSize needed = window.size() + kDecorations;
    return needed.width() > available.width() || needed.height() > available.height();
}

WindowScroller::WindowScroller(QWidget &window, QSize available) {
    setObjectName(QStringLiteral("scroller"));
    setWindowTitle(window.windowTitle());
    setWindowIcon(window.windowIcon());
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    // Beside the layout, where a scroll bar is not needed, the window's grey.
    viewport()->setPalette(window.palette());
    viewport()->setBackgroundRole(QPalette::Window);
    setWidget(&window);
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    setMaximumSize(window.size() + QSize(bar, bar));
    resize((available - kDecorations).boundedTo(maximumSize()).expandedTo(QSize(bar * 4, bar * 4)));
}

// The window outlives its scroller.
WindowScroller::~WindowScroller() {
    takeWidget();
}

} // namespace glimmerset
