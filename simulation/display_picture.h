#pragma once

#include "simulated_board.h"

#include <QString>

namespace glimmerset {

// The geometry of the picture, for anyone reading it back: 16 x 2
// characters of 5 x 8 dots on a yellow-green module.
struct DisplayPicture {
    static constexpr int kColumns = 16;
    static constexpr int kLines = 2;
    static constexpr int kDotPx = 4;
    static constexpr int kDotGapPx = 1;
    static constexpr int kCharGapPx = 5;
    static constexpr int kLineGapPx = 8;
    static constexpr int kBorderPx = 16;
    static constexpr int kCharWidthPx = 5 * kDotPx + 4 * kDotGapPx;
    static constexpr int kCharHeightPx = 8 * kDotPx + 7 * kDotGapPx;
    static constexpr int kWidthPx =
        2 * kBorderPx + kColumns * kCharWidthPx + (kColumns - 1) * kCharGapPx;
    static constexpr int kHeightPx =
        2 * kBorderPx + kLines * kCharHeightPx + (kLines - 1) * kLineGapPx;

    // Top left pixel of a dot.
    static int dotX(int column, int dot) {
        return kBorderPx + column * (kCharWidthPx + kCharGapPx) + dot * (kDotPx + kDotGapPx);
    }
    static int dotY(int line, int row) {
        return kBorderPx + line * (kCharHeightPx + kLineGapPx) + row * (kDotPx + kDotGapPx);
    }
};

// Writes the display as DDRAM and CGRAM make it to a PNG file: codes 0 to 7
// and their aliases 8 to 15 drawn from CGRAM, every other code an empty
// cell; the module dimmed when the backlight is off. Throws Error naming
// the file when it can't be written.
void writeDisplayPng(const QString &path, const BoardRun &run);

} // namespace glimmerset
