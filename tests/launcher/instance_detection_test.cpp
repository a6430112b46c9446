#include "launcher/instance_detection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kx {
namespace {

const std::wstring kProduct = L"{0D3E6B1A-5C4F-4E8B-9A27-6F1C2D3E4B5A}";
const std::wstring kLower = L"{0d3e6b1a-5c4f-4e8b-9a27-6f1c2d3e4b5a}";

struct Row {
  const char* what;
  std::wstring product;  // setup.ini's ProductGUID
  int log_mode;
  int media_format;
  const char* switches;  // "s", "auto", "hide_usd" by letter: s a h
  std::wstring install_guid;
  std::vector<std::pair<std::wstring, std::wstring>> entries;  // name, ProductGuid
  std::vector<std::wstring> instances;
  bool offer;
  bool all;
  std::wstring chosen;
};

std::vector<UninstallEntry> Entries(const Row& r) {
  std::vector<UninstallEntry> entries;
  for (const auto& [name, guid] : r.entries)
    entries.push_back({string(name.c_str()), string(guid.c_str())});
  return entries;
}

TEST(InstanceRuleTest, Table) {
  const std::pair<std::wstring, std::wstring> a{L"{A}", kProduct}, b{L"{b}", kLower},
      c{L"{C}", kProduct}, foreign{L"Other", L"{FFFFFFFF-0000-0000-0000-000000000000}"},
      bare{L"NoGuid", L""};
  const Row rows[] = {
      {"one, LogMode 1: maintained without asking",
       kProduct,
       1,
       0,
       "",
       L"",
       {a, foreign},
       {L"{A}"},
       false,
       false,
       L"{A}"},
      {"two, not silent: the user chooses",
       kProduct,
       1,
       0,
       "",
       L"",
       {a, b},
       {L"{A}", L"{b}"},
       true,
       false,
       L""},
      {"two with s: the first in registry order",
       kProduct,
       1,
       0,
       "s",
       L"",
       {a, b, c},
       {L"{A}", L"{b}", L"{C}"},
       false,
       false,
       L"{A}"},
      {"two with auto", kProduct, 1, 0, "a", L"", {b, a}, {L"{b}", L"{A}"}, false, false, L"{b}"},
      {"two with hide_usd",
       kProduct,
       1,
       0,
       "h",
       L"",
       {a, b},
       {L"{A}", L"{b}"},
       false,
       false,
       L"{A}"},
      {"ig given: no choice, the value stays",
       kProduct,
       1,
       0,
       "",
       L"{Typed}",
       {a, b},
       {L"{A}", L"{b}"},
       false,
       false,
       L"{Typed}"},
      {"LogMode 4: one instance offers a new one",
       kProduct,
       4,
       0,
       "",
       L"",
       {a},
       {L"{A}"},
       true,
       true,
       L""},
      {"LogMode 4 silent: a new instance",
       kProduct,
       4,
       0,
       "s",
       L"",
       {a},
       {L"{A}"},
       false,
       true,
       L""},
      {"LogMode 4, MediaFormat 2: not all",
       kProduct,
       4,
       2,
       "",
       L"",
       {a},
       {L"{A}"},
       false,
       false,
       L"{A}"},
      {"LogMode 4, MediaFormat 3: not all",
       kProduct,
       4,
       3,
       "",
       L"",
       {a, b},
       {L"{A}", L"{b}"},
       true,
       false,
       L""},
      {"LogMode 4, MediaFormat 1: all", kProduct, 4, 1, "", L"", {a}, {L"{A}"}, true, true, L""},
      {"LogMode 4 and ig", kProduct, 4, 0, "", L"{A}", {a}, {L"{A}"}, false, true, L"{A}"},
      {"empty ProductGUID never matches entries without one",
       L"",
       1,
       0,
       "",
       L"",
       {bare, foreign, bare},
       {},
       false,
       false,
       L""},
      {"an entry without a ProductGuid is no instance",
       kProduct,
       1,
       0,
       "",
       L"",
       {bare, a},
       {L"{A}"},
       false,
       false,
       L"{A}"},
      {"no entries", kProduct, 1, 0, "", L"", {}, {}, false, false, L""},
      {"LogMode 4 without entries", kProduct, 4, 0, "", L"", {}, {}, false, true, L""},
      {"a name with a backslash is left out",
       kProduct,
       1,
       0,
       "",
       L"",
       {{L"{A}\\Sub", kProduct}, c},
       {L"{C}"},
       false,
       false,
       L"{C}"},
  };
  for (const Row& r : rows) {
    SetupSettings s;
    s.ProductGuid = r.product.c_str();
    s.LogMode = r.log_mode;
    s.MediaFormat = r.media_format;
    const std::string sw = r.switches;
    s.Silent = sw.find('s') != std::string::npos;
    s.Auto = sw.find('a') != std::string::npos;
    s.HideUsd = sw.find('h') != std::string::npos;
    s.InstallGuid = r.install_guid.c_str();
    s.Instances = {L"stale"};
    ApplyInstanceRule(s, Entries(r));
    std::vector<std::wstring> found;
    for (const string& i : s.Instances) found.push_back(i.str());
    EXPECT_EQ(found, r.instances) << r.what;
    EXPECT_EQ(s.OfferInstanceChoice, r.offer) << r.what;
    EXPECT_EQ(s.InstanceModeAll, r.all) << r.what;
    EXPECT_EQ(s.InstallGuid.str(), r.chosen) << r.what;
  }
}

TEST(InstanceRuleTest, EntryNames) {
  const struct {
    const wchar_t* name;
    bool ok;
  } rows[] = {{L"{A}", true},    {L"", false},       {L"\\", false},
              {L"{A}\\", false}, {L"{A}\\B", false}, {L"Name with blanks", true}};
  for (const auto& r : rows)
    EXPECT_EQ(IsUninstallEntryName(string(r.name).as_view()), r.ok) << string(r.name).str();
}

}  // namespace
}  // namespace kx
