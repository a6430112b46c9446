// The Installer's progress records ("1: 0 2: 37206 3: 0 4: 0 ") and what
// they do to a progress bar. Windows-free: the text comes from the package.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/stringx.h"

namespace kx::prereq {

// The numbered fields of one record, in order; reading stops at the first
// field that is not "<n>: <number>" with n the next number. Values
// saturate at the 32-bit signed range.
struct progress_record {
  static constexpr std::size_t kMaxFields = 8;
  std::size_t count = 0;
  std::int32_t field[kMaxFields] = {};
};
progress_record parse_progress_record(string::view text);

// The bar a package's records drive.
class progress_model {
 public:
  // What the bar is to show after a record or an action-data message.
  struct bar {
    bool setRange = false;  // the range becomes 0..total
    bool setPosition = false;
    bool setStep = false;  // the step size becomes `step`
    bool stepIt = false;   // the bar advances by one step
    std::int32_t total = 0;
    std::int32_t position = 0;
    std::int32_t step = 0;
  };

  // Applies one progress record: 0 resets (at least 4 fields), 1 sets the
  // step mode (at least 3), 2 moves the position while a total is known.
  bar apply(const progress_record& record);
  // An action-data message: in step mode, the position advances.
  bar action_data();
  // An action start ends the step mode.
  void action_start() noexcept { stepMode_ = false; }

  // A total is known: action data is then shown.
  bool has_total() const noexcept { return total_ > 0; }
  std::int32_t position() const noexcept { return position_; }
  std::int32_t total() const noexcept { return total_; }

 private:
  std::int32_t total_ = 0;
  std::int32_t position_ = 0;
  std::int32_t direction_ = 1;
  std::int32_t step_ = 0;
  bool stepMode_ = false;
};

// The status text of an action-start message: what follows the first "."
// and the character after it ("Action 10:58:11: CostInitialize. Computing
// space requirements" shows "Computing space requirements"); empty when
// there is no ".". At most `limit` characters.
string action_start_text(string::view message, std::size_t limit);

}  // namespace kx::prereq
