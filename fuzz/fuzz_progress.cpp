// Fuzzes the progress arithmetic with arbitrary sizes, step positions and
// tick counts, and the transfer text with an arbitrary pattern (the
// language file's). Input: done, a second done count, total (8 bytes
// each), base, now, start (4 bytes each), then the pattern as UTF-16
// little-endian. The checks are the promises of the header: no trap, the
// bar inside [base, 95] and never moving back while bytes arrive, no time
// left beyond what the rate allows, percent at most 100.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "resources/resource_ids.h"
#include "ui/progress_calculator.h"

namespace {

using kx::string;
using kx::xchar;

void require(bool condition) {
  if (!condition) std::abort();
}

template <class T>
T take(const std::uint8_t*& data, std::size_t& size) {
  T v{};
  const std::size_t n = size < sizeof(T) ? size : sizeof(T);
  std::memcpy(&v, data, n);
  data += n;
  size -= n;
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto done = take<std::uint64_t>(data, size);
  const auto more = take<std::uint64_t>(data, size);
  const auto total = take<std::uint64_t>(data, size);
  const auto base = take<std::int32_t>(data, size);
  const auto now = take<std::uint32_t>(data, size);
  const auto start = take<std::uint32_t>(data, size);
  string pattern;
  for (std::size_t i = 0; i + 1 < size; i += 2) pattern += xchar(data[i] | (data[i + 1] << 8));

  const int floor = base < 0 ? 0 : base;
  const int position = kx::TransferBarPosition(done, total, base);
  if (floor >= kx::kTransferBarLimit || total == 0) {
    require(position == floor);
  } else {
    require(position >= floor && position <= kx::kTransferBarLimit);
    const std::uint64_t later = done + more < done ? UINT64_MAX : done + more;
    require(kx::TransferBarPosition(later, total, base) >= position);
    if (done >= total) require(position == kx::kTransferBarLimit);
  }

  const kx::TimeLeft left = kx::TransferTimeLeft(done, total, now, start);
  if (left.known) {
    require(done < total && left.seconds < 60);
    const std::uint64_t rate = kx::TransferRate(done, now, start);
    require(rate > 0);
    require(left.minutes <= (total - done) / rate / 60);
  }
  const string minute = KXT("min"), second = KXT("sec");
  require(kx::PageTimeText(left, minute, second).size() <= 64);

  const kx::RateFigure rate = kx::RateInUnits(done);
  require(rate.tenth < 10);
  require(kx::RateText(rate, KXT("MB"), KXT("/s")).size() <= 32);

  kx::ProgressCalculator calculator(
      [&](unsigned id) { return id == IDS_TRANSFER_PROGRESS ? pattern : string(KXT("x")); });
  calculator.Start(total, start);
  const kx::ProgressFigures f = calculator.Update(done, now);
  require(f.percent <= 100);
  if (f.seconds_left != 0) require(done < total && f.bytes_per_second != 0);
  require(calculator.TimeText(f.seconds_left).size() <= 128);
  const string text = calculator.TransferText(f.bytes_per_second, done, more);
  require(text.size() <= (pattern.size() + 1) * 32);
  return 0;
}
