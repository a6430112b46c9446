#include "ui/progress_calculator.h"

#include <algorithm>

#include "base/text_format.h"
#include "resources/resource_ids.h"

namespace kx {

namespace {

constexpr std::uint64_t kMegabyte = 1048576;
constexpr std::uint64_t kKilobyte = 1024;

// Decimal digits without the runtime's wide conversions, which differ
// between the Windows and the host character type.
string number(std::uint64_t v) {
  xchar digits[21];
  xchar* p = digits + 20;
  *p = 0;
  do {
    *--p = static_cast<xchar>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  return string(p);
}

// Whole units and one rounded decimal, as "%.1f" prints a quotient; split
// so that no product can overflow.
string rounded_tenths(std::uint64_t value, std::uint64_t divisor) {
  std::uint64_t whole = value / divisor;
  std::uint64_t tenth = ((value % divisor) * 10 + divisor / 2) / divisor;
  if (tenth == 10) {
    ++whole;
    tenth = 0;
  }
  return number(whole) + xchar('.') + number(tenth);
}

}  // namespace

int TransferBarPosition(std::uint64_t done, std::uint64_t total, int base) {
  base = std::max(base, 0);
  if (total == 0 || base >= kTransferBarLimit) return base;
  // Done past the total (copies counted before the size was known) holds
  // the bar at the limit; the product is exact wherever it cannot overflow.
  const std::uint64_t part = std::min(done, total);
  std::uint64_t percent;
  if (total <= UINT64_MAX / 100) {
    percent = part * 100 / total;
  } else {
    percent = part / (total / 100);
    if (percent > 100) percent = 100;
  }
  const std::uint64_t room = static_cast<std::uint64_t>(kTransferBarLimit - base);
  return base + static_cast<int>(percent * room / 100);
}

std::uint64_t ElapsedSeconds(std::uint32_t now, std::uint32_t start) {
  return static_cast<std::uint32_t>(now - start) / 1000u;
}

std::uint64_t TransferRate(std::uint64_t done, std::uint32_t now, std::uint32_t start) {
  const std::uint64_t elapsed = ElapsedSeconds(now, start);
  return elapsed == 0 ? 0 : done / elapsed;
}

TimeLeft TransferTimeLeft(std::uint64_t done, std::uint64_t total, std::uint32_t now,
                          std::uint32_t start) {
  TimeLeft left;
  const std::uint64_t rate = TransferRate(done, now, start);
  if (rate == 0 || done == 0 || total == 0 || done >= total) return left;
  const std::uint64_t seconds = (total - done) / rate;
  left.known = true;
  left.minutes = seconds / 60;
  left.seconds = seconds % 60;
  return left;
}

string PageTimeText(const TimeLeft& left, const string& minute_word, const string& second_word) {
  string text;
  if (!left.known) return text;
  if (left.minutes > 0) text = number(left.minutes) + xchar(' ') + minute_word;
  if (left.seconds > 0) {
    if (!text.empty()) text += xchar(' ');
    text += number(left.seconds) + xchar(' ') + second_word;
  }
  return text;
}

RateFigure RateInUnits(std::uint64_t bytes_per_second) {
  RateFigure r;
  r.megabytes = bytes_per_second > kMegabyte;
  const unsigned shift = r.megabytes ? 20 : 10;
  const std::uint64_t mask = (std::uint64_t{1} << shift) - 1;
  r.whole = bytes_per_second >> shift;
  r.tenth = static_cast<unsigned>(((bytes_per_second & mask) * 10) >> shift);
  return r;
}

string RateText(const RateFigure& rate, const string& unit, const string& per_second) {
  return number(rate.whole) + xchar('.') + number(rate.tenth) + xchar(' ') + unit + per_second;
}

ProgressCalculator::ProgressCalculator(const Strings& strings)
    : hour_suffix_(strings(IDS_UNIT_HOURS) + xchar(' ')),
      minute_suffix_(strings(IDS_UNIT_MINUTES) + xchar(' ')),
      second_suffix_(strings(IDS_UNIT_SECONDS)),
      time_prefix_(strings(IDS_TIME_REMAINING)),
      transfer_pattern_(strings(IDS_TRANSFER_PROGRESS)),
      megabytes_(strings(IDS_UNIT_MB)),
      kilobytes_(strings(IDS_UNIT_KB)) {}

void ProgressCalculator::Start(std::uint64_t total, std::uint32_t now) {
  total_ = total;
  done_ = 0;
  start_tick_ = now;
}

ProgressFigures ProgressCalculator::Update(std::uint64_t done, std::uint32_t now) {
  done_ = done;
  ProgressFigures f;
  const std::uint64_t hundredth = total_ / 100;
  if (hundredth != 0)
    f.percent = static_cast<unsigned>(std::min<std::uint64_t>(done / hundredth, 100));
  const std::uint32_t since = now - start_tick_;
  f.bytes_per_second = since <= 1000 ? 0 : done / (since / 1000u);
  if (f.bytes_per_second != 0 && done < total_)
    f.seconds_left = (total_ - done) / f.bytes_per_second;
  return f;
}

string ProgressCalculator::TimeText(std::uint64_t seconds) const {
  string text = time_prefix_ + xchar(' ');
  if (seconds / 3600 > 0) text += number(seconds / 3600) + xchar(' ') + hour_suffix_;
  if (seconds % 3600 / 60 > 0) text += number(seconds % 3600 / 60) + xchar(' ') + minute_suffix_;
  text += number(seconds % 60) + xchar(' ') + second_suffix_;
  return text;
}

string ProgressCalculator::TransferText(std::uint64_t bytes_per_second, std::uint64_t done,
                                        std::uint64_t total_override) const {
  if (bytes_per_second == 0) return string();
  const bool mega = bytes_per_second > kMegabyte;
  const std::uint64_t divisor = mega ? kMegabyte : kKilobyte;
  const string& unit = mega ? megabytes_ : kilobytes_;
  const std::uint64_t total = total_override != 0 ? total_override : total_;
  const string done_text = number(done / divisor);
  const string total_text = number(total / divisor);
  const string rate_text = rounded_tenths(bytes_per_second, divisor);
  return InsertTexts(transfer_pattern_.as_view(), {done_text.as_view(), total_text.as_view(),
                                                   rate_text.as_view(), unit.as_view()});
}

}  // namespace kx
