// Fuzzes what a package definition hands the Installer: the msiexec-style
// switches taken out of its command line, the progress records a package
// sends and the action texts shown from them. The definition and the
// package are both outside the launcher's control.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "prereq/msi_arguments.h"
#include "prereq/msi_progress_record.h"

namespace {

void require(bool condition, int line) {
  if (condition) return;
  std::fprintf(stderr, "invariant of line %d broken\n", line);
  std::abort();
}
#define REQUIRE(condition) require((condition), __LINE__)

kx::string wide_text(const std::uint8_t* data, std::size_t size) {
  kx::string text;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    text += static_cast<kx::xchar>(data[i] | data[i + 1] << 8);
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kx::string text = wide_text(data, size);

  const auto arguments = kx::prereq::parse_msi_arguments(text);
  // Switches are only ever taken out; what is added is one restart property
  // per switch, never three times the switch's own length.
  REQUIRE(arguments.remaining.size() <= 3 * text.size() + 16);
  REQUIRE(arguments.logFile.size() <= text.size());
  REQUIRE(arguments.logMode == 0 || !arguments.logFile.empty());
  // Only the Installer's own mode bits, the verbose and extra-debug ones
  // included, ever reach its logging call.
  constexpr std::uint32_t kExtraDebug = 0x2000;
  REQUIRE((arguments.logMode &
           ~(kx::prereq::kLogAllModes | kx::prereq::kLogVerbose | kExtraDebug)) == 0);

  const auto record = kx::prereq::parse_progress_record(text);
  REQUIRE(record.count <= kx::prereq::progress_record::kMaxFields);
  kx::prereq::progress_model model;
  for (int round = 0; round < 3; ++round) {
    const auto bar = model.apply(record);
    if (bar.setPosition) REQUIRE(bar.position >= 0);
    model.action_data();
  }
  REQUIRE(model.total() >= 0);

  const std::size_t limit = size ? data[0] : 0;
  REQUIRE(kx::prereq::action_start_text(text, limit).size() <= limit);
  return 0;
}
