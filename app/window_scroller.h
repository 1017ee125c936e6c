#pragma once

#include <QScrollArea>

namespace glimmerset {

// Whether window, with room for the title bar and borders a desktop adds,
// is larger than the screen's available area.
bool overflows(const QWidget &window, QSize available);

// The window on a screen too small for it: its fixed layout inside a scroll
// area no larger than the available area, every control where the layout
// puts it and reachable by scrolling (or by Tab, which scrolls to it). Holds
// the window without owning it.
class WindowScroller : public QScrollArea {
    Q_OBJECT

public:
    WindowScroller(QWidget &window, QSize available);
    ~WindowScroller() override;
};

} // namespace glimmerset
