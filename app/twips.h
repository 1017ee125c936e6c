#pragma once

namespace glimmerset {

// The layout is drawn in twips; at Qt's device-independent 96 DPI, 15 twips are one pixel.
constexpr int kTwipsPerPixel = 15;

constexpr int twipsToPixels(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }

} // namespace glimmerset
