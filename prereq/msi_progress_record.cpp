#include "prereq/msi_progress_record.h"

#include <algorithm>
#include <limits>

namespace kx::prereq {

namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();

bool is_digit(xchar c) {
  return c >= xchar('0') && c <= xchar('9');
}

void skip_blanks(string::view text, std::size_t& at) {
  while (at < text.size() && text[at] == xchar(' ')) ++at;
}

// A signed decimal number at `at`, saturated; false without digits.
bool read_number(string::view text, std::size_t& at, std::int64_t& value) {
  bool negative = false;
  if (at < text.size() && (text[at] == xchar('-') || text[at] == xchar('+')))
    negative = text[at++] == xchar('-');
  if (at >= text.size() || !is_digit(text[at])) return false;
  value = 0;
  while (at < text.size() && is_digit(text[at])) {
    value = std::min<std::int64_t>(value * 10 + (text[at] - xchar('0')), kMax + 1);
    ++at;
  }
  if (negative) value = -value;
  value = std::clamp(value, kMin, kMax);
  return true;
}

std::int32_t saturated(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp(value, kMin, kMax));
}

}  // namespace

progress_record parse_progress_record(string::view text) {
  progress_record record;
  std::size_t at = 0;
  while (record.count < progress_record::kMaxFields) {
    skip_blanks(text, at);
    std::int64_t number = 0;
    if (!read_number(text, at, number) || number != std::int64_t(record.count) + 1) break;
    if (at >= text.size() || text[at] != xchar(':')) break;
    ++at;
    skip_blanks(text, at);
    std::int64_t value = 0;
    if (!read_number(text, at, value)) break;
    record.field[record.count++] = static_cast<std::int32_t>(value);
  }
  return record;
}

progress_model::bar progress_model::apply(const progress_record& record) {
  bar out;
  if (record.count == 0) return out;
  switch (record.field[0]) {
    case 0:
      if (record.count < 4) break;
      total_ = std::max<std::int32_t>(record.field[1], 0);
      direction_ = record.field[2] == 0 ? 1 : -1;
      position_ = direction_ > 0 ? 0 : total_;
      stepMode_ = false;
      out.setRange = true;
      out.setPosition = true;
      out.total = total_;
      out.position = record.field[3] == 1 ? position_ : total_;
      break;
    case 1:
      if (record.count < 3) break;
      stepMode_ = record.field[2] != 0;
      if (stepMode_) {
        step_ = saturated(std::int64_t(direction_) * record.field[1]);
        out.setStep = true;
        out.step = step_;
      }
      break;
    case 2:
      if (record.count < 2 || !has_total()) break;
      position_ = saturated(std::clamp<std::int64_t>(
          std::int64_t(position_) + std::int64_t(direction_) * record.field[1], 0, total_));
      out.setPosition = true;
      out.position = position_;
      break;
    default:
      break;
  }
  return out;
}

progress_model::bar progress_model::action_data() {
  bar out;
  if (!has_total() || !stepMode_) return out;
  position_ = saturated(std::clamp<std::int64_t>(std::int64_t(position_) + step_, 0, total_));
  out.stepIt = true;
  out.position = position_;
  return out;
}

string action_start_text(string::view message, std::size_t limit) {
  const std::size_t dot = message.find(xchar('.'));
  if (dot == string::view::npos) return string();
  const std::size_t from = std::min(dot + 2, message.size());
  return string(message.substr(from, limit));
}

}  // namespace kx::prereq
