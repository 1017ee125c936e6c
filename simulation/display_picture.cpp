#include "simulation/display_picture.h"

#include "simulation/apng_writer.h"

#include "storage/atomic_file.h"
#include "storage/error.h"

#include <png.h>

#include <algorithm>

namespace glimmerset {

namespace {

struct Rgb {
    std::uint8_t r, g, b;
};

// A yellow-green module with its dark dots; unlit dots show faintly.
constexpr Rgb kBackground{160, 190, 40};
constexpr Rgb kUnlitDot{148, 178, 34};
constexpr Rgb kLitDot{32, 48, 22};
// With the backlight off the module is only lit from the front.
constexpr Rgb kDarkBackground{112, 128, 64};
constexpr Rgb kDarkUnlitDot{104, 120, 58};

} // namespace

std::vector<std::uint8_t> glassPixels(const Glass &glass) {
    const DisplayPicture picture(lcd::Geometry{glass.columns, glass.lines, {}});
    const int width = picture.widthPx();
    const int height = picture.heightPx();
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 3);
    const auto fill = [&](int x0, int y0, int w, int h, Rgb colour) {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) {
                std::uint8_t *p = &pixels[(static_cast<std::size_t>(y) * width + x) * 3];
                p[0] = colour.r;
                p[1] = colour.g;
                p[2] = colour.b;
            }
    };
    const Rgb background = glass.backlightOn ? kBackground : kDarkBackground;
    const Rgb unlitDot = glass.backlightOn ? kUnlitDot : kDarkUnlitDot;
    fill(0, 0, width, height, background);
    for (int line = 0; line < glass.lines; ++line)
        for (int column = 0; column < glass.columns; ++column)
            for (int row = 0; row < lcd::kGlyphRows; ++row) {
                const std::uint8_t bits = glass.dots(line, column, row);
                for (int dot = 0; dot < lcd::kGlyphColumns; ++dot)
                    fill(DisplayPicture::dotX(column, dot), DisplayPicture::dotY(line, row),
                         DisplayPicture::kDotPx, DisplayPicture::kDotPx,
                         (bits & lcd::glyphRowBit(dot)) ? kLitDot : unlitDot);
            }
    return pixels;
}

void writeDisplayPng(const QString &path, const Glass &glass) {
    const DisplayPicture picture(lcd::Geometry{glass.columns, glass.lines, {}});
    const int width = picture.widthPx();
    const int height = picture.heightPx();
    const std::vector<std::uint8_t> pixels = glassPixels(glass);

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    // Made in memory and saved as every other file is: whole or not at all.
    png_alloc_size_t size = 0;
    QByteArray bytes;
    if (png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr)) {
        bytes.resize(qsizetype(size));
        png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels.data(), 0, nullptr);
    }
    if (PNG_IMAGE_FAILED(image) || bytes.isEmpty()) {
        const QString why = QString::fromLocal8Bit(image.message);
        png_image_free(&image);
        throw Error(QStringLiteral("Can't make the picture %1: %2").arg(path, why));
    }
    writeFileAtomically(path, bytes);
}

void writeDisplayMovie(const QString &path, const std::vector<GlassFrame> &frames,
                       std::uint64_t endCycle, std::uint32_t clockHz, double speed) {
    if (frames.empty())
        throw Error(QStringLiteral("Can't make the movie %1: the run kept no frame").arg(path));
    const DisplayPicture picture(lcd::Geometry{frames[0].glass.columns, frames[0].glass.lines, {}});
    // The still is the end, as --png draws it.
    ApngWriter movie(picture.widthPx(), picture.heightPx(), int(frames.size()),
                     glassPixels(frames.back().glass));
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const bool last = i + 1 == frames.size();
        const std::uint64_t until =
            last ? std::max(endCycle, frames[i].cycle) : frames[i + 1].cycle;
        double seconds = double(until - frames[i].cycle) / clockHz / speed;
        if (last)
            seconds = std::max(seconds, 2.0);
        movie.addFrame(glassPixels(frames[i].glass), seconds);
    }
    writeFileAtomically(path, movie.finish());
}

} // namespace glimmerset
