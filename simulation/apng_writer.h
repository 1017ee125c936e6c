#pragma once

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace glimmerset {

// An animated PNG (the APNG chunks acTL, fcTL and fdAT beside the PNG's
// own), made in memory frame by frame: each RGB frame, all of one size, is
// compressed as it comes. The still picture, which a viewer without APNG
// shows, is no frame of the movie. The movie plays in a loop.
class ApngWriter {
public:
    ApngWriter(int width, int height, int frameCount, const std::vector<std::uint8_t> &still);

    // rgb holds width x height pixels, row by row; shown for seconds.
    void addFrame(const std::vector<std::uint8_t> &rgb, double seconds);
    // The file, once every frame is in.
    QByteArray finish();

private:
    void chunk(const char *type, const QByteArray &data);
    QByteArray compressed(const std::vector<std::uint8_t> &rgb) const;

    int width_;
    int height_;
    int frameCount_;
    int frames_ = 0;
    std::uint32_t sequence_ = 0;
    QByteArray bytes_;
};

} // namespace glimmerset
