#include "simulation/apng_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace glimmerset {

namespace {

void put32(QByteArray &bytes, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes += static_cast<char>(value >> shift & 0xFF);
}

void put16(QByteArray &bytes, std::uint16_t value) {
    bytes += static_cast<char>(value >> 8);
    bytes += static_cast<char>(value & 0xFF);
}

} // namespace

ApngWriter::ApngWriter(int width, int height, int frameCount,
                       const std::vector<std::uint8_t> &still)
    : width_(width), height_(height), frameCount_(frameCount) {
    bytes_ = QByteArray("\x89PNG\r\n\x1A\n", 8);
    QByteArray header;
    put32(header, std::uint32_t(width));
    put32(header, std::uint32_t(height));
    header += QByteArray("\x08\x02\x00\x00\x00", 5); // 8-bit RGB, no interlace
    chunk("IHDR", header);
    QByteArray animation;
    put32(animation, std::uint32_t(frameCount));
    put32(animation, 0); // plays for ever
    chunk("acTL", animation);
    chunk("IDAT", compressed(still));
}

QByteArray ApngWriter::compressed(const std::vector<std::uint8_t> &rgb) const {
    // Every row with filter type 0: the flat glass compresses well as it is.
    const std::size_t rowBytes = std::size_t(width_) * 3;
    std::vector<std::uint8_t> raw;
    raw.reserve((rowBytes + 1) * std::size_t(height_));
    for (int y = 0; y < height_; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), rgb.begin() + std::ptrdiff_t(y * rowBytes),
                   rgb.begin() + std::ptrdiff_t((y + 1) * rowBytes));
    }
    uLongf size = compressBound(uLong(raw.size()));
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef *>(bytes.data()), &size, raw.data(), uLong(raw.size()),
                  6) != Z_OK)
        throw std::bad_alloc();
    bytes.truncate(qsizetype(size));
    return bytes;
}

void ApngWriter::addFrame(const std::vector<std::uint8_t> &rgb, double seconds) {
    // The delay as a fraction with 16-bit terms: milliseconds while they
    // fit, then coarser.
    std::uint16_t numerator = 0, denominator = 1000;
    for (const std::uint16_t den : {1000, 100, 10}) {
        denominator = den;
        const double ticks = std::round(seconds * den);
        numerator = std::uint16_t(std::clamp(ticks, 0.0, 65535.0));
        if (ticks <= 65535)
            break;
    }
    QByteArray control;
    put32(control, sequence_++);
    put32(control, std::uint32_t(width_));
    put32(control, std::uint32_t(height_));
    put32(control, 0); // x
    put32(control, 0); // y
    put16(control, numerator);
    put16(control, denominator);
    control += QByteArray("\x00\x00", 2); // dispose none, blend source
    chunk("fcTL", control);
    ++frames_;
    QByteArray data;
    put32(data, sequence_++);
    chunk("fdAT", data + compressed(rgb));
}

QByteArray ApngWriter::finish() {
    if (frames_ != frameCount_)
        throw std::logic_error("ApngWriter: fewer frames than announced");
    chunk("IEND", {});
    return bytes_;
}

void ApngWriter::chunk(const char *type, const QByteArray &data) {
    put32(bytes_, std::uint32_t(data.size()));
    const qsizetype start = bytes_.size();
    bytes_.append(type, 4);
    bytes_ += data;
    const auto *typed = reinterpret_cast<const Bytef *>(bytes_.constData() + start);
    put32(bytes_, std::uint32_t(crc32(0, typed, uInt(bytes_.size() - start))));
}

} // namespace glimmerset
