// skin.ini read as the system's private-profile functions read it, for the
// skin builder, which runs where those functions do not exist.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/skin/skin_description.h"

namespace kx::skinbuild {

// Answers from the text of one skin.ini: "[section]" lines, "key=value"
// lines with blanks around key and value taken off and one pair of quotes
// around the value removed; lines starting with ';' are comments. The first
// section of a name and its first key of a name count (any case).
class SkinIniText : public SkinIniSource {
 public:
  explicit SkinIniText(std::string_view text);

  std::string Text(const std::string& section, const std::string& key, std::size_t limit) override;
  std::uint32_t Number(const std::string& section, const std::string& key,
                       std::uint32_t fallback) override;
  std::vector<std::string> Sections(std::size_t limit) override;

  // Every key of `section` (first section of the name), in file order.
  std::vector<std::string> Keys(const std::string& section) const;

 private:
  struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> keys;
  };
  const Section* Find(const std::string& section) const;
  const std::string* Value(const std::string& section, const std::string& key) const;

  std::vector<Section> sections_;
};

}  // namespace kx::skinbuild
