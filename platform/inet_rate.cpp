#include "platform/inet_rate.h"

namespace kx {

void transfer_rate_meter::reset(std::uint64_t now_ms) noexcept {
  current_ = {};
  next_ = {};
  start_ms_ = now_ms;
}

void transfer_rate_meter::count(window& w, std::uint64_t bytes, std::uint64_t us) noexcept {
  w.bytes += bytes;
  w.us += us;
  w.ms += w.us / 1000;
  w.us %= 1000;
}

void transfer_rate_meter::add(std::uint64_t bytes, std::uint64_t ticks,
                              std::uint64_t frequency) noexcept {
  if (frequency == 0) frequency = 1000;
  if (ticks == 0) ticks = 5;
  // Whole seconds and the rest apart, so that ticks * 1000000 cannot wrap.
  const std::uint64_t us = ticks / frequency * 1000000 + ticks % frequency * 1000000 / frequency;
  count(current_, bytes, us);
  count(next_, bytes, us);
}

std::uint64_t transfer_rate_meter::rate(std::uint64_t now_ms) noexcept {
  if (now_ms - start_ms_ > kWindowMs) {
    current_ = next_;
    next_ = {};
    start_ms_ = now_ms;
  }
  const std::uint64_t ms = current_.ms;
  if (ms == 0) return current_.bytes;
  // bytes * 1000 / ms without wrapping for any 64-bit byte count.
  return current_.bytes / ms * 1000 + current_.bytes % ms * 1000 / ms;
}

}  // namespace kx
