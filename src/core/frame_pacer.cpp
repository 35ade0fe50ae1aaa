#include "core/frame_pacer.h"

#include <algorithm>

namespace quarvel {

void FramePacer::sleep_ended(double overshoot_ms) {
  if (!(overshoot_ms == overshoot_ms)) return;  // not a number
  overshoots_[next_] = std::clamp(overshoot_ms, 0.0, kLargestMarginMs);
  next_ = (next_ + 1) % kWindow;
  count_ = std::min(count_ + 1, kWindow);
}

double FramePacer::learned_ms() const {
  if (count_ == 0) return kStartMarginMs;
  std::array<double, kWindow> sorted{};
  std::copy(overshoots_.begin(), overshoots_.begin() + static_cast<std::ptrdiff_t>(count_), sorted.begin());
  // The median: half the sleeps may eat into the spin (they end a few
  // hundredths of a millisecond late), and the other half spins no longer
  // than it must.
  const size_t at = std::min(count_ - 1, count_ * 50 / 100);
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(at),
                   sorted.begin() + static_cast<std::ptrdiff_t>(count_));
  return sorted[at] + kGuardMs;
}

void FramePacer::frame_done(double late_ms) {
  const double learned = learned_ms();
  // Later than any margin could have caught: the machine stalled.
  const bool late = late_ms > kLateMs && late_ms <= kLargestMarginMs;
  const bool often = late && frames_since_late_ < kLateSpacing;
  frames_since_late_ = late ? 0 : std::min(frames_since_late_ + 1, kLateSpacing);
  if (often) {
    // Late again: at least as much margin as the frame missed by, at once.
    margin_ms_ = std::max({margin_ms_ * 1.5, margin_ms_ + late_ms, learned});
  } else if (learned > margin_ms_) {
    margin_ms_ = learned;
  } else {
    // Give back a little of an unneeded margin each frame.
    margin_ms_ -= (margin_ms_ - learned) * 0.02;
  }
  margin_ms_ = std::clamp(margin_ms_, kSmallestMarginMs, kLargestMarginMs);
}

}  // namespace quarvel
