#pragma once

#include "simulation/glass_recorder.h"
#include "glyphs/lcd_layout.h"
#include "simulation/lcd_glass.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace glimmerset {

// The geometry of the picture, for anyone reading it back: the module's
// characters of 5 x 8 dots on a yellow-green glass.
class DisplayPicture {
public:
    static constexpr int kDotPx = 4;
    static constexpr int kDotGapPx = 1;
    static constexpr int kCharGapPx = 5;
    static constexpr int kLineGapPx = 8;
    static constexpr int kBorderPx = 16;
    static constexpr int kCharWidthPx =
        lcd::kGlyphColumns * kDotPx + (lcd::kGlyphColumns - 1) * kDotGapPx;
    static constexpr int kCharHeightPx = lcd::kGlyphRows * kDotPx + (lcd::kGlyphRows - 1) * kDotGapPx;

    explicit DisplayPicture(const lcd::Geometry &geometry) : geometry_(geometry) {}

    const lcd::Geometry &geometry() const { return geometry_; }
    int widthPx() const {
        return 2 * kBorderPx + geometry_.columns * kCharWidthPx + (geometry_.columns - 1) * kCharGapPx;
    }
    int heightPx() const {
        return 2 * kBorderPx + geometry_.lines * kCharHeightPx + (geometry_.lines - 1) * kLineGapPx;
    }
    // Top left pixel of a dot.
    static int dotX(int column, int dot) {
        return kBorderPx + column * (kCharWidthPx + kCharGapPx) + dot * (kDotPx + kDotGapPx);
    }
    static int dotY(int line, int row) {
        return kBorderPx + line * (kCharHeightPx + kLineGapPx) + row * (kDotPx + kDotGapPx);
    }

private:
    lcd::Geometry geometry_;
};

// The glass as RGB pixels, row by row: every cell as Glass::dots has it,
// nothing when the display is off, the module dimmed when the backlight is.
std::vector<std::uint8_t> glassPixels(const Glass &glass);

// Writes the glass to a PNG file. Throws Error naming the file when it
// can't be written.
void writeDisplayPng(const QString &path, const Glass &glass);

// Writes the frames to an animated PNG: each held for the simulated time
// until the next, the last until endCycle and at least 2 s, all divided by
// speed; the last is also the still that viewers without APNG show. Throws Error naming the file
// when it can't be written.
void writeDisplayMovie(const QString &path, const std::vector<GlassFrame> &frames,
                       std::uint64_t endCycle, std::uint32_t clockHz, double speed);

} // namespace glimmerset
