#pragma once

#include "glyphs/glyph_set.h"

#include <QColor>
#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>

namespace glimmerset {

// Colours as the layout gives them, &HBBGGRR; a cell is lit exactly when its
// background is PIXEL_ON_COLOR.
inline constexpr std::uint32_t PIXEL_ON_COLOR = 0x808080;
inline constexpr std::uint32_t PIXEL_OFF_COLOR = 0x86D7C0;

// Colours are kept as &HBBGGRR everywhere else; this is the one place they
// become QColor, just before painting.
QColor toQColor(std::uint32_t bbggrr);

// One glyph: 8 rows by 5 columns of cells whose background colour is the
// pixel. A click on a cell makes it current and then emits clicked(); keys
// move the current cell and never change a colour.
class GlyphGrid : public QWidget {
    Q_OBJECT

public:
    static constexpr int kRowHeightTwips = 240;
    static constexpr int kDefaultColWidthTwips = 250;
    static constexpr std::uint32_t kBackColor = PIXEL_OFF_COLOR;
    static constexpr std::uint32_t kUncoveredColor = 0x808080;
    static constexpr std::uint32_t kGridLineColor = 0xC0C0C0;
    // Black stands out from both cell colours, whatever the theme.
    static constexpr std::uint32_t kCurrentCellColor = 0x000000;
    static constexpr int kCurrentCellLine = 2;

    explicit GlyphGrid(QWidget *parent = nullptr);

    int row() const { return row_; }
    int col() const { return col_; }
    void setRow(int row);
    void setCol(int col);

    // Empty for a cell that never got a colour (or was cleared): it shows the
    // background, and is therefore never PIXEL_ON_COLOR.
    std::optional<std::uint32_t> cellBackColor() const { return colors_[cellIndex(row_, col_)]; }
    void setCellBackColor(std::uint32_t bbggrr);
    // Any cell's colour, the current cell left where it is.
    std::optional<std::uint32_t> cellBackColorAt(int row, int col) const {
        return colors_[cellIndex(row, col)];
    }

    // What a click on the cell does: it becomes current, then clicked() is
    // emitted. Assistive technology presses cells through this.
    void pressCell(int row, int col);

    // Drops every explicit colour; the current cell and the widths stay.
    void clear();

    int colWidth(int col) const { return colWidthsTwips_.at(col); }
    void setColWidth(int col, int twips);

    // The cell under a point in widget pixels, if any.
    std::optional<std::pair<int, int>> cellAt(QPoint point) const;
    // The pixel rectangle of a cell, grid lines excluded.
    QRect cellRect(int row, int col) const;

    QSize sizeHint() const override;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    static constexpr int kBorder = 2;
    static int cellIndex(int row, int col) { return row * lcd::kGlyphColumns + col; }
    int columnEdge(int col) const;
    int rowEdge(int row) const;
    // Tell assistive technology what changed.
    void cellChanged(int row, int col);
    void currentCellMoved();

    std::array<std::optional<std::uint32_t>, lcd::kGlyphRows * lcd::kGlyphColumns> colors_{};
    std::array<int, lcd::kGlyphColumns> colWidthsTwips_;
    int row_ = 0;
    int col_ = 0;
    bool pressedOnCell_ = false;
};

} // namespace glimmerset
