#include "app/glyph_grid.h"

#include "app/glyph_grid_accessible.h"
#include "app/twips.h"

#include <QAccessible>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace glimmerset {

QColor toQColor(std::uint32_t bbggrr) {
    return QColor(int(bbggrr & 0xFF), int((bbggrr >> 8) & 0xFF), int((bbggrr >> 16) & 0xFF));
}

GlyphGrid::GlyphGrid(QWidget *parent) : QWidget(parent) {
    colWidthsTwips_.fill(kDefaultColWidthTwips);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    installGlyphGridAccessibility();
}

void GlyphGrid::setRow(int row) {
    row_ = std::clamp(row, 0, lcd::kGlyphRows - 1);
    update();
    currentCellMoved();
}

void GlyphGrid::setCol(int col) {
    col_ = std::clamp(col, 0, lcd::kGlyphColumns - 1);
    update();
    currentCellMoved();
}

void GlyphGrid::setCellBackColor(std::uint32_t bbggrr) {
    colors_[cellIndex(row_, col_)] = bbggrr;
    update(cellRect(row_, col_));
    cellChanged(row_, col_);
}

void GlyphGrid::clear() {
    const auto before = colors_;
    colors_.fill(std::nullopt);
    update();
    for (int r = 0; r < lcd::kGlyphRows; ++r)
        for (int c = 0; c < lcd::kGlyphColumns; ++c)
            if (before[cellIndex(r, c)])
                cellChanged(r, c);
}

void GlyphGrid::pressCell(int row, int col) {
    setRow(row);
    setCol(col);
    emit clicked();
}

void GlyphGrid::cellChanged(int row, int col) {
    if (!QAccessible::isActive())
        return;
    QAccessible::State checked;
    checked.checked = true;
    QAccessibleStateChangeEvent state(this, checked);
    state.setChild(cellIndex(row, col));
    QAccessible::updateAccessibility(&state);
    // The name says "lit" or "dark" as well.
    QAccessibleEvent name(this, QAccessible::NameChanged);
    name.setChild(cellIndex(row, col));
    QAccessible::updateAccessibility(&name);
}

void GlyphGrid::currentCellMoved() {
    if (!QAccessible::isActive() || !hasFocus())
        return;
    QAccessibleEvent focus(this, QAccessible::Focus);
    focus.setChild(cellIndex(row_, col_));
    QAccessible::updateAccessibility(&focus);
}

void GlyphGrid::setColWidth(int col, int twips) {
    colWidthsTwips_.at(col) = std::max(0, twips);
    update();
}

// Edges are rounded from the running twip total, so five 250-twip columns
// come to 83 pixels rather than 5 x 17.
int GlyphGrid::columnEdge(int col) const {
    int twips = 0;
    for (int c = 0; c < col; ++c)
        twips += colWidthsTwips_[c];
    return kBorder + twipsToPixels(twips);
}

int GlyphGrid::rowEdge(int row) const {
    return kBorder + twipsToPixels(row * kRowHeightTwips);
}

QRect GlyphGrid::cellRect(int row, int col) const {
    const int left = columnEdge(col);
    const int top = rowEdge(row);
    return QRect(left, top, columnEdge(col + 1) - left - 1, rowEdge(row + 1) - top - 1);
}

std::optional<std::pair<int, int>> GlyphGrid::cellAt(QPoint point) const {
    for (int r = 0; r < lcd::kGlyphRows; ++r) {
        if (point.y() < rowEdge(r) || point.y() >= rowEdge(r + 1))
            continue;
        for (int c = 0; c < lcd::kGlyphColumns; ++c)
            if (point.x() >= columnEdge(c) && point.x() < columnEdge(c + 1))
                return std::pair{r, c};
    }
    return std::nullopt;
}

QSize GlyphGrid::sizeHint() const {
    return QSize(columnEdge(lcd::kGlyphColumns) + kBorder, rowEdge(lcd::kGlyphRows) + kBorder);
}

void GlyphGrid::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    const QRect inner = rect().adjusted(kBorder, kBorder, -kBorder, -kBorder);
    painter.fillRect(inner, toQColor(kUncoveredColor));
    painter.setClipRect(inner);
    const QColor gridLine = toQColor(kGridLineColor);
    for (int r = 0; r < lcd::kGlyphRows; ++r) {
        for (int c = 0; c < lcd::kGlyphColumns; ++c) {
            const QRect cell = cellRect(r, c);
            const auto color = colors_[cellIndex(r, c)];
            painter.fillRect(cell, toQColor(color.value_or(kBackColor)));
            // Grid lines along the right and bottom edge of each cell.
            painter.fillRect(QRect(cell.right() + 1, cell.top(), 1, cell.height() + 1), gridLine);
            painter.fillRect(QRect(cell.left(), cell.bottom() + 1, cell.width() + 1, 1), gridLine);
        }
    }
    if (hasFocus()) {
        // The arrow keys move the current cell after a mouse click as well, so
        // it is marked whenever the grid has the focus.
        const QRect current = cellRect(row_, col_).adjusted(1, 1, -1, -1);
        painter.setPen(QPen(toQColor(kCurrentCellColor), kCurrentCellLine, Qt::SolidLine,
                            Qt::SquareCap, Qt::MiterJoin));
        painter.setBrush(Qt::NoBrush);
        const int inset = kCurrentCellLine / 2;
        painter.drawRect(QRectF(current).adjusted(inset, inset, -inset, -inset));
    }
    painter.setClipping(false);
    // A sunken border, as the grid sits in the window like a text box.
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(0, 0, width() - 1, 0);
    painter.drawLine(0, 0, 0, height() - 1);
    painter.setPen(QColor(Qt::black));
    painter.drawLine(1, 1, width() - 2, 1);
    painter.drawLine(1, 1, 1, height() - 2);
    painter.setPen(QColor(Qt::white));
    painter.drawLine(0, height() - 1, width() - 1, height() - 1);
    painter.drawLine(width() - 1, 0, width() - 1, height() - 1);
    painter.setPen(palette().color(QPalette::Midlight));
    painter.drawLine(1, height() - 2, width() - 2, height() - 2);
    painter.drawLine(width() - 2, 1, width() - 2, height() - 2);
}

void GlyphGrid::mousePressEvent(QMouseEvent *event) {
    pressedOnCell_ = false;
    if (event->button() != Qt::LeftButton)
        return;
    if (const auto cell = cellAt(event->position().toPoint())) {
        row_ = cell->first;
        col_ = cell->second;
        pressedOnCell_ = true;
        update();
        currentCellMoved();
    }
}

// One click, one signal: the pressed cell is the one reported, wherever a
// drag went, so dragging never marks a range.
void GlyphGrid::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton || !pressedOnCell_)
        return;
    pressedOnCell_ = false;
    if (rect().contains(event->position().toPoint()))
        emit clicked();
}

void GlyphGrid::keyPressEvent(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Up:
        setRow(row_ - 1);
        break;
    case Qt::Key_Down:
        setRow(row_ + 1);
        break;
    case Qt::Key_Left:
        setCol(col_ - 1);
        break;
    case Qt::Key_Right:
        setCol(col_ + 1);
        break;
    case Qt::Key_Home:
        setCol(0);
        break;
    case Qt::Key_End:
        setCol(lcd::kGlyphColumns - 1);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void GlyphGrid::focusInEvent(QFocusEvent *event) {
    update();
    QWidget::focusInEvent(event);
    currentCellMoved();
}

void GlyphGrid::focusOutEvent(QFocusEvent *event) {
    update();
    QWidget::focusOutEvent(event);
}

} // namespace glimmerset
