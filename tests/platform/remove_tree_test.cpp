#include "platform/remove_tree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/exceptions.h"
#include "platform/unique_handle.h"
#include "tests/testing/scoped_temp_dir.h"

namespace kx {
namespace {

using testing::ScopedTempDir;
using testing::WriteBytes;

bool exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool is_link(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The host path of `path` when running under Wine; empty elsewhere.
std::string host_path(const std::wstring& path) {
  using unix_name_fn = char*(CDECL*)(LPCWSTR);
  const auto unix_name = reinterpret_cast<unix_name_fn>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
  if (!unix_name) return {};
  char* name = unix_name(path.c_str());
  if (!name) return {};
  std::string out = name;
  HeapFree(GetProcessHeap(), 0, name);
  return out;
}

bool under_wine() {
  return !host_path(L"C:\\").empty();
}

// Starts a program of the host under Wine with `arguments` (host paths, put
// in double quotes). Wine does not wait for the host process behind the
// handle, so callers wait for its effect.
void start_host_program(const std::wstring& program, const std::vector<std::string>& arguments) {
  std::wstring command = program;
  for (const std::string& a : arguments)
    command += L" \"" + std::wstring(a.begin(), a.end()) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &started))
    return;
  unique_handle process(started.hProcess);
  unique_handle thread(started.hThread);
}

// Whether `link` is a link (`wanted` true) or gone (false) within ten
// seconds.
bool wait_for_link(const std::wstring& link, bool wanted) {
  for (int i = 0; i < 100; ++i) {
    if (wanted ? is_link(link) : !exists(link)) return true;
    Sleep(100);
  }
  return false;
}

// The host path of `link`, which need not exist yet.
std::string host_link_path(const std::wstring& link) {
  const size_t slash = link.rfind(L'\\');
  const std::string folder = host_path(link.substr(0, slash));
  return folder.empty() ? folder : folder + "/" + std::string(link.begin() + slash + 1, link.end());
}

// Makes `link` a link to the folder `target`: a symbolic link where the
// system makes them; under Wine, which makes none of its own but shows the
// host's links as reparse points, a host link made with ln.
bool make_folder_link(const std::wstring& link, const std::wstring& target) {
  for (DWORD flags : {DWORD{SYMBOLIC_LINK_FLAG_DIRECTORY | 2}, DWORD{SYMBOLIC_LINK_FLAG_DIRECTORY}})
    if (CreateSymbolicLinkW(link.c_str(), target.c_str(), flags) && is_link(link)) return true;
  if (!under_wine()) return false;
  start_host_program(L"Z:\\bin\\ln", {"-s", host_path(target), host_link_path(link)});
  return wait_for_link(link, true);
}

// Removes a link the test made, should the code under test have left it.
struct link_remover {
  std::wstring link;
  ~link_remover() {
    if (!is_link(link) || !under_wine()) return;
    start_host_program(L"Z:\\bin\\rm", {"-f", host_link_path(link)});
    wait_for_link(link, false);
  }
};

TEST(RemoveTreeTest, RemovesAFolderWithEverythingInIt) {
  ScopedTempDir dir;
  const std::wstring root = dir.file(L"root");
  ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((root + L"\\sub").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((root + L"\\sub\\deeper").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((root + L"\\empty").c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(root + L"\\a.txt", "a"));
  ASSERT_TRUE(WriteBytes(root + L"\\sub\\b.txt", "b"));
  ASSERT_TRUE(WriteBytes(root + L"\\sub\\deeper\\c", "c"));
  remove_tree(string(root), false);
  EXPECT_FALSE(exists(root));

  ASSERT_TRUE(WriteBytes(dir.file(L"single.txt"), "s"));
  remove_tree(string(dir.file(L"single.txt")), false);
  EXPECT_FALSE(exists(dir.file(L"single.txt")));
}

TEST(RemoveTreeTest, AMissingPathThrowsWithThePath) {
  ScopedTempDir dir;
  try {
    remove_tree(string(dir.file(L"missing")), true);
    ADD_FAILURE() << "no exception";
  } catch (const file_exception& e) {
    EXPECT_EQ(e.file_name().str(), dir.file(L"missing"));
    EXPECT_EQ(e.code(), static_cast<unsigned long>(ERROR_FILE_NOT_FOUND));
  }
}

TEST(RemoveTreeTest, AFileInUseThrowsUnlessIgnored) {
  ScopedTempDir dir;
  const std::wstring folder = dir.file(L"folder");
  const std::wstring held = folder + L"\\held.txt";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(held, "held"));
  ASSERT_TRUE(WriteBytes(folder + L"\\free.txt", "free"));
  unique_handle handle(
      CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(handle);

  try {
    remove_tree(string(held), false);
    ADD_FAILURE() << "no exception for the held file";
  } catch (const file_exception& e) {
    EXPECT_EQ(e.file_name().str(), held);
  }
  EXPECT_NO_THROW(remove_tree(string(held), true));
  // Ignoring the file, the folder it keeps is what fails.
  try {
    remove_tree(string(folder), true);
    ADD_FAILURE() << "no exception for the folder";
  } catch (const file_exception& e) {
    EXPECT_EQ(e.file_name().str(), folder);
  }
  EXPECT_FALSE(exists(folder + L"\\free.txt"));
  EXPECT_TRUE(exists(held));
}

// Removes `path`, which is or holds a link to `outside`, and checks that
// nothing behind the link was touched. Windows removes the link; Wine 8
// cannot remove a host link to a folder that holds something (it acts on the
// target), so there the link's removal fails - and nothing else may happen.
void expect_link_not_followed(const std::wstring& path, const std::wstring& link,
                              const ScopedTempDir& outside) {
  try {
    remove_tree(string(path), false);
    EXPECT_FALSE(exists(path));
  } catch (const file_exception& e) {
    EXPECT_TRUE(under_wine()) << "the link was not removed";
    EXPECT_EQ(e.file_name().str(), link);
  }
  EXPECT_TRUE(exists(outside.file(L"precious.txt")));
}

TEST(RemoveTreeTest, ALinkIsNeverFollowed) {
  ScopedTempDir dir;
  ScopedTempDir outside;
  ASSERT_TRUE(WriteBytes(outside.file(L"precious.txt"), "precious"));
  const std::wstring tree = dir.file(L"tree");
  ASSERT_TRUE(CreateDirectoryW(tree.c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(tree + L"\\own.txt", "own"));
  const link_remover inner{tree + L"\\link"};
  ASSERT_TRUE(make_folder_link(inner.link, outside.path())) << "no folder link could be made";
  expect_link_not_followed(tree, inner.link, outside);

  // A link given itself.
  const link_remover top{dir.file(L"top")};
  ASSERT_TRUE(make_folder_link(top.link, outside.path()));
  expect_link_not_followed(top.link, top.link, outside);
}

}  // namespace
}  // namespace kx
