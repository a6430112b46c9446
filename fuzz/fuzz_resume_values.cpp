// Fuzzes the readers of the prerequisite phase's resume values: the index
// as raw registry data of any type, the attempt record as text, and the
// restart command built from a command line. The first byte picks the value
// type; the rest is the data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "prereq/resume_values.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::vector<unsigned char> bytes(data + 1, data + size);
  const auto index = kx::prereq::parse_resume_index(data[0] & 7u, bytes);
  if (index) require(*index >= -1 && *index <= 9999);
  kx::string text;
  for (std::size_t i = 1; i + 1 < size; i += 2)
    text += static_cast<kx::xchar>(data[i] | data[i + 1] << 8);
  const auto attempts = kx::prereq::parse_resume_attempts(text);
  if (attempts) require(attempts->count >= 1 && attempts->index >= -1);
  const kx::string command = kx::prereq::restart_command(text, kx::string(KXT("setup.exe")));
  // Either the text was quoted already, or the program path now is.
  require(command == text || (!command.empty() && command.front() == KXT('"')));
  return 0;
}
