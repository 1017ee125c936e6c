#pragma once

#include "simulation/lcd_bus_monitor.h"
#include "simulation/lcd_glass.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace glimmerset {

// The glass from a cycle on, until the next frame.
struct GlassFrame {
    std::uint64_t cycle = 0;
    Glass glass;
    bool operator==(const GlassFrame &) const = default;
};

// Keeps a frame at each change of what the glass shows, asked after each
// change of the bus: only an access or a backlight that changed costs more
// than a comparison. Changes within mergeCycles of a frame's start join it
// (the eye, and the liquid crystal, see only where a burst of writes
// ends); from kMaxFrames on every change joins the last.
class GlassRecorder {
public:
    static constexpr std::size_t kMaxFrames = 2000;

    GlassRecorder(const LcdBusMonitor &monitor, const lcd::Geometry &geometry,
                  std::uint64_t mergeCycles, std::function<bool()> backlightOn);

    void busChanged(std::uint64_t cycle);
    std::vector<GlassFrame> takeFrames() { return std::move(frames_); }

private:
    const LcdBusMonitor &monitor_;
    lcd::Geometry geometry_;
    std::uint64_t mergeCycles_;
    std::function<bool()> backlightOn_;
    std::uint64_t accesses_ = 0;
    bool backlight_ = true;
    std::vector<GlassFrame> frames_;
};

} // namespace glimmerset
