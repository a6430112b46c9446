// The measured rate of a transfer, over a window of about 30 seconds.
#pragma once

#include <cstdint>

namespace kx {

// Two overlapping windows: the current one gives the rate, the next one
// collects from the moment the current one started being counted, and
// replaces it once the current window is older than 30 seconds, so the rate
// follows the connection without jumping to a single sample.
class transfer_rate_meter {
 public:
  // Starts both windows at `now_ms`.
  explicit transfer_rate_meter(std::uint64_t now_ms = 0) noexcept { reset(now_ms); }
  void reset(std::uint64_t now_ms) noexcept;

  // Counts `bytes` that took `ticks` of a clock running at `frequency`
  // ticks a second (0 ticks count as 5, so a fast read is never free).
  void add(std::uint64_t bytes, std::uint64_t ticks, std::uint64_t frequency) noexcept;

  // Bytes per second over the current window at `now_ms` (rolls the
  // windows first). A window without a whole millisecond gives its byte
  // count, as if it had taken one second.
  std::uint64_t rate(std::uint64_t now_ms) noexcept;

  // The milliseconds counted in the current window.
  std::uint64_t window_ms() const noexcept { return current_.ms; }

  static constexpr std::uint64_t kWindowMs = 30000;

 private:
  struct window {
    std::uint64_t bytes = 0;
    std::uint64_t ms = 0;
    std::uint64_t us = 0;  // below 1000, carried into ms
  };
  static void count(window& w, std::uint64_t bytes, std::uint64_t us) noexcept;

  window current_;
  window next_;
  std::uint64_t start_ms_ = 0;
};

}  // namespace kx
