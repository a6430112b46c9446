// docs/command-line.md is the reference of the launcher's switches for setup
// authors and deployment engineers: it must list every switch the launcher
// reads, each in the section for those who may give it, and no switch the
// launcher does not know.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "launcher/command_line.h"
#include "tests/testing/scoped_temp_dir.h"

namespace kx {
namespace {

constexpr const char* kUserSection = "## Switches for users";
constexpr const char* kInternalSection = "## Internal switches";

std::string Narrow(const xchar* name) {
  std::string out;
  for (; *name; ++name) out += static_cast<char>(*name);
  return out;
}

// The text of `heading`'s section: up to the next heading of the same level.
std::string Section(const std::string& doc, const std::string& heading) {
  const std::size_t start = doc.find("\n" + heading);
  if (start == std::string::npos) return {};
  const std::size_t end = doc.find("\n## ", start + 1);
  return doc.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// The switches the table rows of `section` describe, with the number of
// rows each: a row starts with "| `" and the name runs to the closing
// backquote or to the '<' of a value placeholder ("`l<language>`" is "l").
std::map<std::string, int> DescribedSwitches(const std::string& section) {
  std::map<std::string, int> found;
  constexpr const char* kRowStart = "\n| `";
  for (std::size_t at = section.find(kRowStart); at != std::string::npos;
       at = section.find(kRowStart, at + 1)) {
    const std::size_t name = at + 4;
    const std::size_t end = section.find_first_of("`<", name);
    if (end == std::string::npos) break;
    ++found[section.substr(name, end - name)];
  }
  return found;
}

class CommandLineDocsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string doc = testing::ReadBytes(testing::BuildMachinePath(KX_COMMAND_LINE_DOC));
    ASSERT_FALSE(doc.empty()) << "cannot read the command-line reference";
    user_ = DescribedSwitches(Section(doc, kUserSection));
    internal_ = DescribedSwitches(Section(doc, kInternalSection));
    ASSERT_FALSE(user_.empty()) << "no switch table under \"" << kUserSection << "\"";
    ASSERT_FALSE(internal_.empty()) << "no switch table under \"" << kInternalSection << "\"";
  }

  std::map<std::string, int> user_, internal_;
};

TEST_F(CommandLineDocsTest, DescribesEverySwitchOnceInTheSectionOfItsAudience) {
  for (const LauncherSwitch& known : LauncherSwitches()) {
    const std::string name = Narrow(known.name);
    const bool for_users = known.audience == SwitchAudience::user;
    const std::map<std::string, int>& own = for_users ? user_ : internal_;
    const std::map<std::string, int>& other = for_users ? internal_ : user_;
    const auto row = own.find(name);
    EXPECT_TRUE(row != own.end() && row->second == 1)
        << "\"" << name << "\" needs one row under \""
        << (for_users ? kUserSection : kInternalSection) << "\"";
    EXPECT_EQ(other.count(name), 0u) << "\"" << name << "\" is described in the wrong section";
  }
}

TEST_F(CommandLineDocsTest, DescribesNoSwitchTheLauncherDoesNotRead) {
  std::set<std::string> known;
  for (const LauncherSwitch& s : LauncherSwitches()) known.insert(Narrow(s.name));
  for (const auto* described : {&user_, &internal_})
    for (const auto& [name, rows] : *described)
      EXPECT_EQ(known.count(name), 1u)
          << "the reference describes an unknown switch \"" << name << "\"";
}

}  // namespace
}  // namespace kx
