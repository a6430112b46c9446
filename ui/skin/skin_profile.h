// skin.ini through the system's private-profile functions.
#pragma once

#include "base/stringx.h"
#include "ui/skin/skin_description.h"

namespace kx {

// Answers from the file at `path`. The wide functions read the ANSI file
// and reach a folder whose name the ANSI code page cannot spell; values
// come back in the ANSI code page, as the package's entry names are.
class SkinProfileSource : public SkinIniSource {
 public:
  explicit SkinProfileSource(string path) : path_(std::move(path)) {}
  std::string Text(const std::string& section, const std::string& key, std::size_t limit) override;
  std::uint32_t Number(const std::string& section, const std::string& key,
                       std::uint32_t fallback) override;
  std::vector<std::string> Sections(std::size_t limit) override;

 private:
  string path_;
};

}  // namespace kx
