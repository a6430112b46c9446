// Fuzzes the formatting of the run's texts, whose patterns come from the
// medium's language files, with arbitrary UTF-16 text (two input bytes per
// code unit, little-endian). The sanitizers catch any read beyond the
// arguments; the checks below hold what the formatter promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "base/text_format.h"
#include "launcher/language.h"

namespace {

using kx::string;
using kx::xchar;

void require(bool condition) {
  if (!condition) std::abort();
}

// No conversion grows beyond its widest field or its argument.
constexpr std::size_t kGrowth = 128;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  string pattern;
  pattern.reserve(size / 2);
  for (std::size_t i = 0; i + 1 < size; i += 2) pattern += xchar(data[i] | (data[i + 1] << 8));

  const string text = KXT("C:\\Program Files\\%s%n%1");
  const string formatted =
      kx::FormatText(pattern.as_view(), {-5001, text, 0x80070005U, -1LL, KXT("x")});
  require(formatted.size() <= (pattern.size() + 1) * kGrowth);

  const string inserted = kx::InsertTexts(pattern.as_view(), {text.as_view(), KXT("MB")});
  require(inserted.size() <= (pattern.size() + 1) * text.size());
  // Without texts nothing but "%%" changes, and that only shrinks.
  require(kx::InsertTexts(pattern.as_view(), {}).size() <= pattern.size());

  // Uninstall commands come from the registry, written by anyone.
  (void)kx::LanguageFromUninstallString(pattern);
  return 0;
}
