// Fuzzes the reading of an installation's record with arbitrary UTF-16 text
// (two input bytes per code unit, little-endian) and checks the promise the
// removal relies on: every entry it accepts names a path strictly below the
// install folder, with no part that could climb out of it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/install_record.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

void check_below(const std::wstring& dir, const std::wstring& entry) {
  const std::wstring path = kxe::PathBelow(dir, entry);
  require(!path.empty());
  require(path.size() > dir.size() + 1 && path.compare(0, dir.size(), dir) == 0 &&
          path[dir.size()] == L'\\');
  const std::wstring rest = path.substr(dir.size()) + L"\\";
  require(rest.find(L"\\..\\") == std::wstring::npos && rest.find(L"\\.\\") == std::wstring::npos &&
          rest.find(L"\\\\") == std::wstring::npos);
  require(rest.find_first_of(L":/*?\"<>|") == std::wstring::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::wstring text;
  for (size_t i = 0; i + 1 < size; i += 2) text += static_cast<wchar_t>(data[i] | data[i + 1] << 8);
  const std::wstring dir = L"C:\\Program Files\\Demo";
  const kxe::InstallRecord record = kxe::ParseRecord(text);
  for (const auto& entry : record.files) check_below(dir, entry);
  for (const auto& entry : record.folders) check_below(dir, entry);
  const kxe::InstallRecord again = kxe::ParseRecord(kxe::FormatRecord(record));
  require(again.files == record.files && again.folders == record.folders &&
          again.root_created == record.root_created);
  kxe::HasSwitch(text, kxe::kRemovalSwitch);
  return 0;
}
