#include "base/path.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace kx {
namespace {

struct Case {
  const wchar_t* input;
  const wchar_t* expected;
};

// Runs `f` over a table and reports every row that differs, with its input.
template <class F>
void check_table(F f, std::initializer_list<Case> cases) {
  for (const Case& c : cases) {
    const string got = f(string(c.input));
    EXPECT_EQ(got.str(), std::wstring(c.expected)) << "input: [" << c.input << "]";
  }
}

TEST(PathJoin, ExactlyOneBackslashBetween) {
  struct Row {
    const wchar_t *folder, *name, *expected;
  };
  const Row rows[] = {
      {L"C:\\a", L"b.txt", L"C:\\a\\b.txt"},
      {L"C:\\a\\", L"b.txt", L"C:\\a\\b.txt"},
      {L"C:\\a", L"\\b.txt", L"C:\\a\\b.txt"},
      {L"C:\\a\\\\", L"\\\\b.txt", L"C:\\a\\b.txt"},
      {L"C:\\", L"b", L"C:\\b"},
      {L"C:", L"b", L"C:\\b"},
      {L"\\\\srv\\share", L"f", L"\\\\srv\\share\\f"},
      {L"C:\\a", L"", L"C:\\a\\"},
      {L"", L"b.txt", L"b.txt"},
      {L"", L"", L""},
  };
  for (const Row& r : rows)
    EXPECT_EQ(path_join(r.folder, r.name).str(), std::wstring(r.expected))
        << r.folder << " + " << r.name;
}

TEST(PathDirectory, TextBeforeLastBackslash) {
  check_table(path_directory, {
                                  {L"C:\\dir\\setup.exe", L"C:\\dir"},
                                  {L"C:\\setup.exe", L"C:"},
                                  {L"C:\\dir\\", L"C:\\dir"},
                                  {L"setup.exe", L""},
                                  {L"", L""},
                                  {L"a/b/c", L""},
                                  {L"\\setup.exe", L""},
                                  {L"\\\\srv\\share\\dir\\f.txt", L"\\\\srv\\share\\dir"},
                                  {L"\\\\srv\\share\\f.txt", L"\\\\srv\\share"},
                                  {L"\\\\srv\\share\\", L"\\\\srv\\share"},
                                  {L"\\\\srv\\share", L"\\\\srv\\share"},
                                  {L"\\\\srv", L"\\\\srv"},
                                  {L"\\\\", L"\\"},
                              });
}

TEST(PathFileName, TextAfterLastBackslash) {
  check_table(path_file_name, {
                                  {L"C:\\dir\\setup.exe", L"setup.exe"},
                                  {L"C:\\dir\\", L"dir"},
                                  {L"C:\\dir\\\\", L"dir"},
                                  {L"setup.exe", L"setup.exe"},
                                  {L"\\setup.exe", L"setup.exe"},
                                  {L"C:\\", L"C:"},
                                  {L"\\\\", L""},
                                  {L"", L""},
                                  {L"a/b", L"a/b"},
                                  {L"\\\\srv\\share\\f.txt", L"f.txt"},
                              });
}

TEST(QuoteIfNeeded, OnlyTextsWithABlank) {
  check_table(quote_if_needed, {
                                   {L"C:\\Program Files\\x", L"\"C:\\Program Files\\x\""},
                                   {L"C:\\dir\\x", L"C:\\dir\\x"},
                                   {L"", L""},
                                   {L" ", L"\" \""},
                                   // A tab is no blank on a command line here.
                                   {L"a\tb", L"a\tb"},
                                   // Already quoted: not quoted twice.
                                   {L"\"C:\\a b\"", L"\"C:\\a b\""},
                                   {L"\"C:\\a b", L"\"\"C:\\a b\""},
                               });
}

TEST(Quote, PlainEscapedAndOnlyWhenBlank) {
  struct Row {
    const wchar_t* text;
    bool only_when_blank, escaped;
    const wchar_t* expected;
  };
  const Row rows[] = {
      {L"a b", false, false, L"\"a b\""},
      {L"ab", false, false, L"\"ab\""},
      {L"ab", true, false, L"ab"},
      {L"a b", true, false, L"\"a b\""},
      {L"a b", false, true, L"\\\"a b\\\""},
      {L"ab", true, true, L"ab"},
      {L"ab", false, true, L"\\\"ab\\\""},
      {L"", false, false, L"\"\""},
      {L"", true, false, L""},
  };
  for (const Row& r : rows)
    EXPECT_EQ(quote(r.text, r.only_when_blank, r.escaped).str(), std::wstring(r.expected))
        << r.text << " " << r.only_when_blank << r.escaped;
}

TEST(NormalizeFolderPath, Table) {
  check_table(normalize_folder_path,
              {
                  {L"C:\\Program Files\\App", L"C:\\Program Files\\App"},
                  {L"  C:\\dir\t\n", L"C:\\dir"},
                  {L"\"C:\\dir\"", L"\"C:\\dir\""},
                  {L"\" C:\\dir \"", L"\"C:\\dir\""},
                  {L"C:\\d*i?r<>|\"x", L"C:\\dirx"},
                  {L"C:\\a:b", L"C:\\ab"},
                  {L"::x", L"::x"},
                  {L"C::", L"C:"},
                  {L"C:\\\\a//b\\/c", L"C:\\a/b\\c"},
                  {L"\\\\srv\\\\share", L"\\\\srv\\share"},
                  {L"\\\\\\\\srv", L"\\\\\\srv"},
                  {L"\"\\\\srv\\\\share\"", L"\"\\\\srv\\share\""},
                  {L"//srv//x", L"//srv/x"},
                  {L"", L""},
                  {L"\"\"", L"\"\""},
                  {L"\"", L""},
                  {L"   ", L""},
                  // Trimming comes first: a removed character can uncover a
                  // blank at an end, and ':' counts by its place in the result.
                  {L"C:\\dir *", L"C:\\dir "},
                  {L"*C:\\x", L"C:\\x"},
                  {L"\r C:\\x", L"\r C\\x"},
              });
}

TEST(EnsureTrailingBackslash, Table) {
  check_table(ensure_trailing_backslash, {
                                             {L"C:\\temp", L"C:\\temp\\"},
                                             {L"C:\\temp\\", L"C:\\temp\\"},
                                             {L"C:", L"C:\\"},
                                             {L"C:/temp/", L"C:/temp/\\"},
                                             {L"", L""},
                                         });
}

TEST(IsFullPath, OnlyDrivePathsAndSharesStandAlone) {
  struct Row {
    const wchar_t* path;
    bool full;
  };
  const Row rows[] = {
      {L"C:\\Temp", true},       {L"z:/temp", true},     {L"C:\\", true},
      {L"\\\\srv\\share", true}, {L"//srv/share", true}, {L"\\\\?\\C:\\x", true},
      {L"C:Temp", false},        {L"C:", false},         {L"\\Temp", false},
      {L"/Temp", false},         {L"Temp\\x", false},    {L"", false},
      {L"\\\\", false},          {L"\\\\\\srv", false},  {L"1:\\x", false},
      {L"http://host/x", false},
  };
  for (const Row& r : rows) EXPECT_EQ(is_full_path(string(r.path).as_view()), r.full) << r.path;
}

TEST(IsUrl, SchemeSetsAndWhetherThePrefixMayStandAlone) {
  // url: is_url (any scheme, something after it); web: is_url of the web
  // schemes; web_prefix and web_or_ftp_prefix: has_url_scheme, where the
  // prefix alone counts.
  struct Row {
    const wchar_t* text;
    bool url, web, web_prefix, web_or_ftp_prefix;
  };
  const Row rows[] = {
      {L"http://host/disk1", true, true, true, true},
      {L"HTTP://host/disk1", true, true, true, true},
      {L"https://h", true, true, true, true},
      {L"HtTpS://h", true, true, true, true},
      {L"ftp://h/x", true, false, false, true},
      {L"FTP://h/x", true, false, false, true},
      {L"file:///C|/x", true, false, false, false},
      {L"FILE://srv/x", true, false, false, false},
      {L"http://", false, false, true, true},
      {L"https://", false, false, true, true},
      {L"ftp://", false, false, false, true},
      {L"file://", false, false, false, false},
      {L"http:/host", false, false, false, false},
      {L"http:/", false, false, false, false},
      {L"gopher://h", false, false, false, false},
      {L"C:\\media", false, false, false, false},
      {L"C:\\http://", false, false, false, false},
      {L"\\\\srv\\share", false, false, false, false},
      {L" http://h", false, false, false, false},
      {L"", false, false, false, false},
  };
  for (const Row& r : rows) {
    const string text(r.text);
    EXPECT_EQ(is_url(text), r.url) << r.text;
    EXPECT_EQ(is_url(text, url_schemes::web), r.web) << r.text;
    EXPECT_EQ(has_url_scheme(text, url_schemes::web), r.web_prefix) << r.text;
    EXPECT_EQ(has_url_scheme(text, url_schemes::web_or_ftp), r.web_or_ftp_prefix) << r.text;
  }
}

TEST(ShortSourceName, KeepsTheFolderThatHoldsTheFile) {
  check_table([](const string& path) { return short_source_name(path); },
              {
                  {L"..\\..\\Shared\\Setup\\KxPreReqDlg.cpp", L"Setup\\KxPreReqDlg.cpp"},
                  {L"..\\..\\Shared\\Setup\\SetupPrereqMgr", L"Setup\\SetupPrereqMgr"},
                  {L"/work/main/launcher/setup.cpp", L"launcher\\setup.cpp"},
                  {L"C:\\src\\kx\\launcher\\setup.cpp", L"launcher\\setup.cpp"},
                  {L"launcher/setup.cpp", L"launcher\\setup.cpp"},
                  {L"C:\\setup.cpp", L"C:\\setup.cpp"},
                  {L"setup.cpp", L"setup.cpp"},
                  // An empty folder part names no folder.
                  {L"\\setup.cpp", L"setup.cpp"},
                  {L"/setup.cpp", L"setup.cpp"},
                  {L"a//setup.cpp", L"setup.cpp"},
                  {L"", L""},
              });
}

TEST(FileUrlToPath, Table) {
  check_table(file_url_to_path, {
                                    {L"file:///C|/Media%20Files/Disk1/", L"C:\\Media Files\\Disk1"},
                                    {L"file://server/share/dir", L"\\\\server\\share\\dir"},
                                    {L"FILE:///c:/a/b.txt", L"c:\\a\\b.txt"},
                                    {L"file:///C:\\a\\", L"C:\\a"},
                                    {L"file://\\\\srv\\share\\", L"\\\\srv\\share"},
                                    {L"file:///C|", L"C:"},
                                    {L"file://x", L"\\\\x"},
                                    {L"file://a%20b/c%2520d", L"\\\\a b\\c%2520d"},
                                    {L"file:////", L""},
                                    // Not "file://" followed by more: unchanged.
                                    {L"file://", L"file://"},
                                    {L"C:\\media", L"C:\\media"},
                                    {L"http://h/x", L"http://h/x"},
                                });
}

TEST(PathHelpers, KeepTheLastError) {
  SetLastError(ERROR_BAD_PATHNAME);
  const string joined = path_join(L"C:\\a\\", L"\\b");
  const string url = file_url_to_path(L"file:///C|/x%20y/");
  const string folder = normalize_folder_path(L"\" C:\\\\x \"");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_PATHNAME));
  EXPECT_EQ(joined.str(), L"C:\\a\\b");
  EXPECT_EQ(url.str(), L"C:\\x y");
  EXPECT_EQ(folder.str(), L"\"C:\\x\"");
}

}  // namespace
}  // namespace kx
