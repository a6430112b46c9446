// INI files as anyone may have edited them: any bytes must detect, decode
// and parse without fault, and the lines built from what was parsed must
// parse back into the very same document.
//
// The first byte chooses the options: bit 0 the bare-keys flag, bits 1-2
// the separator; the rest is the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/inifilex.h"
#include "base/text_encoding.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

// Exactly equal: same names and values with the same case, same order.
bool same(const kx::inifilex& a, const kx::inifilex& b) {
  if (a.sections().size() != b.sections().size()) return false;
  for (std::size_t i = 0; i < a.sections().size(); ++i) {
    const auto& [name_a, section_a] = a.sections().at(i);
    const auto& [name_b, section_b] = b.sections().at(i);
    if (name_a.str() != name_b.str()) return false;
    if (section_a.entries.size() != section_b.entries.size()) return false;
    for (std::size_t j = 0; j < section_a.entries.size(); ++j) {
      const auto& [key_a, entry_a] = section_a.entries.at(j);
      const auto& [key_b, entry_b] = section_b.entries.at(j);
      if (key_a.str() != key_b.str() || entry_a.value.str() != entry_b.value.str()) return false;
    }
  }
  return true;
}

kx::string joined(const std::vector<kx::string>& lines) {
  kx::string text;
  for (const kx::string& line : lines) {
    text += line;
    text += KXT("\r\n");
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t options = data[0];
  ++data, --size;

  const kx::detected_encoding found = kx::detect_encoding(data, size);
  check(found.mark_length <= size);
  kx::string text;
  if (kx::decode_text(data + found.mark_length, size - found.mark_length, found.code_page, text))
    return 0;

  static const kx::xchar* const separators[] = {KXT("="), KXT(": "), KXT("=="), KXT(" = ")};
  kx::inifilex first;
  first.set_bare_keys(options & 1);
  first.set_separator(separators[(options >> 1) & 3]);
  first.parse(text.as_view());

  const std::vector<kx::string> lines = first.lines();
  kx::inifilex second;
  second.set_bare_keys(first.bare_keys());
  second.set_separator(first.separator());
  check(second.parse(joined(lines).as_view()));
  check(same(first, second));
  check(second.lines() == lines);

  // The readers must cope with every value, and a value used as a key
  // pattern must neither crash nor run away.
  for (const auto& [name, section] : first.sections()) {
    for (const auto& [key, entry] : section.entries) {
      (void)first.get_int(name, key, 0);
      (void)first.get_bool(name, key, false);
      kx::inifilex::names values;
      first.get_numbered_values(name, entry.value, values);
      check(values.size() <= section.entries.size());
    }
  }

  // The bytes written for the document, in the encoding it came in, read
  // back as the same text.
  const kx::string written = joined(lines);
  std::string bytes;
  check(kx::encode_text(written.as_view(), found.code_page, found.mark_length != 0, bytes) == 0);
  const kx::detected_encoding again = kx::detect_encoding(bytes.data(), bytes.size());
  if (found.mark_length) check(again.code_page == found.code_page);
  kx::string reread;
  check(kx::decode_text(bytes.data() + again.mark_length, bytes.size() - again.mark_length,
                        found.code_page, reread) == 0);
  check(reread.str() == written.str());
  return 0;
}
