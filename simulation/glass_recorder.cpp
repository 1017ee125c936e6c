#include "simulation/glass_recorder.h"

namespace glimmerset {

GlassRecorder::GlassRecorder(const LcdBusMonitor &monitor, const lcd::Geometry &geometry,
                             std::uint64_t mergeCycles, std::function<bool()> backlightOn)
    : monitor_(monitor), geometry_(geometry), mergeCycles_(mergeCycles),
      backlightOn_(std::move(backlightOn)), backlight_(backlightOn_()) {
    frames_.push_back({0, glassOf(monitor.memory(), geometry, backlight_)});
}

void GlassRecorder::busChanged(std::uint64_t cycle) {
    // Reads move the cursor too.
    const std::uint64_t accesses = monitor_.writes() + monitor_.reads();
    const bool backlight = backlightOn_();
    if (accesses == accesses_ && backlight == backlight_)
        return;
    accesses_ = accesses;
    backlight_ = backlight;
    Glass glass = glassOf(monitor_.memory(), geometry_, backlight);
    GlassFrame &last = frames_.back();
    if (glass.looksLike(last.glass))
        return;
    if (cycle - last.cycle >= mergeCycles_ && frames_.size() < kMaxFrames) {
        frames_.push_back({cycle, glass});
        return;
    }
    last.glass = glass;
    // A burst that ends where the frame before began is no frame of its own.
    if (frames_.size() > 1 && frames_[frames_.size() - 2].glass.looksLike(glass))
        frames_.pop_back();
}

} // namespace glimmerset
