// The arithmetic behind every progress display of the launcher: where the
// bar stands while bytes arrive, how fast they arrive, how long the rest
// will take, and the texts that say so.
//
// Windows-free and clock-free: the caller passes the tick counts (32-bit
// millisecond counters that may wrap) and the texts' words, so that the
// rules can be table-tested and fuzzed on the host. Sizes are 64-bit
// throughout; no input divides by zero, wraps or moves a bar outside its
// range.
#pragma once

#include <cstdint>
#include <functional>

#include "base/stringx.h"

namespace kx {

// The highest position byte progress may reach; the last steps of the
// preparation fill the rest.
inline constexpr int kTransferBarLimit = 95;

// The bar position for `done` of `total` bytes, starting from the step
// position `base`: base plus the done share of the room up to 95. Stays
// within [base, 95]; `base` itself while the total is unknown (0) or when
// the steps are already at or past 95 (then a negative base reads as 0).
int TransferBarPosition(std::uint64_t done, std::uint64_t total, int base);

// Whole seconds between two tick counts; a wrapped counter still gives the
// true distance.
std::uint64_t ElapsedSeconds(std::uint32_t now, std::uint32_t start);

// Bytes per second after `done` bytes since `start`; 0 before the first
// whole second has passed.
std::uint64_t TransferRate(std::uint64_t done, std::uint32_t now, std::uint32_t start);

// The time the rest of a transfer will take, in minutes and seconds.
struct TimeLeft {
  bool known = false;  // false: nothing worth showing
  std::uint64_t minutes = 0;
  std::uint64_t seconds = 0;
};

// The time left of `done` of `total` bytes at the rate since `start`;
// unknown while the rate, the done count or the total is 0, and once the
// transfer is complete (done at or past the total).
TimeLeft TransferTimeLeft(std::uint64_t done, std::uint64_t total, std::uint32_t now,
                          std::uint32_t start);

// The progress page's time-left text: "<m> <minute word>" and/or
// "<s> <second word>" (minutes are not folded into hours); empty when the
// time is unknown or zero, which leaves the old text in place.
string PageTimeText(const TimeLeft& left, const string& minute_word, const string& second_word);

// A rate in tenths of a unit: megabytes above 1,048,576 bytes per second,
// else kilobytes, cut (not rounded) to one decimal.
struct RateFigure {
  bool megabytes = false;
  std::uint64_t whole = 0;
  unsigned tenth = 0;
};
RateFigure RateInUnits(std::uint64_t bytes_per_second);

// "<whole>.<tenth> <unit><per second>", for example "1.5 MB/s".
string RateText(const RateFigure& rate, const string& unit, const string& per_second);

// The figures of one progress call of a download.
struct ProgressFigures {
  unsigned percent = 0;  // 0 to 100
  std::uint64_t bytes_per_second = 0;
  std::uint64_t seconds_left = 0;
};

// The download arithmetic of the prerequisite dialog: started once per
// download with its size, updated with the bytes done so far, and giving
// the "time remaining" and "downloaded at" texts.
class ProgressCalculator {
 public:
  // One text of the run's language by string id.
  using Strings = std::function<string(unsigned)>;

  // Takes its words (hours, minutes, seconds, the time prefix, the
  // transfer pattern and the two units) from `strings` once.
  explicit ProgressCalculator(const Strings& strings);
  virtual ~ProgressCalculator() = default;

  // A download of `total` bytes begins at tick `now`.
  void Start(std::uint64_t total, std::uint32_t now);

  // `done` bytes have arrived by tick `now`. The percent is 0 for totals
  // below 100 bytes and never above 100; the rate is 0 during the first
  // second; the seconds left are 0 without a rate or once done reaches the
  // total.
  ProgressFigures Update(std::uint64_t done, std::uint32_t now);

  // "<prefix> [<h> hr ][<m> min ]<s> sec"; the seconds are always there.
  string TimeText(std::uint64_t seconds) const;

  // The transfer pattern filled with the done bytes, the total
  // (`total_override` when non-zero, else the started total) and the rate,
  // all in the rate's unit; empty when the rate is 0.
  string TransferText(std::uint64_t bytes_per_second, std::uint64_t done,
                      std::uint64_t total_override) const;

  std::uint64_t total() const { return total_; }
  std::uint64_t done() const { return done_; }

 private:
  std::uint32_t start_tick_ = 0;
  std::uint64_t total_ = 0;
  std::uint64_t done_ = 0;
  string hour_suffix_;
  string minute_suffix_;
  string second_suffix_;
  string time_prefix_;
  string transfer_pattern_;
  string megabytes_;
  string kilobytes_;
};

}  // namespace kx
