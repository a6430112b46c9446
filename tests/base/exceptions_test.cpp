#include "base/exceptions.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <optional>
#include <string>
#include <type_traits>

namespace kx {
namespace {

TEST(Win32Exception, MessageOfAKnownCode) {
  const win32_exception e(ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(e.code(), static_cast<unsigned long>(ERROR_FILE_NOT_FOUND));
  EXPECT_GT(std::strlen(e.what()), 0u);
  EXPECT_GT(std::wcslen(e.message()), 0u);
  // The same text in both forms: UTF-8 of the wide message.
  const std::wstring wide = e.message();
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string expected(static_cast<size_t>(size - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, expected.data(), size, nullptr, nullptr);
  EXPECT_EQ(expected, e.what());
}

TEST(Win32Exception, MessageIsMadeOnceAndKept) {
  const win32_exception e(ERROR_ACCESS_DENIED);
  const char* first = e.what();
  EXPECT_EQ(first, e.what());
  EXPECT_EQ(e.message(), e.message());
}

TEST(Win32Exception, CodeZeroHasNoMessage) {
  const win32_exception e(0);
  EXPECT_STREQ(e.what(), "");
  EXPECT_STREQ(e.message(), L"");
}

TEST(Win32Exception, CodeWithoutSystemTextGivesEmptyMessage) {
  // An HTTP-derived code: the system's table has no text for it.
  const win32_exception e(0x8004D554ul);
  EXPECT_STREQ(e.what(), "");
  EXPECT_STREQ(e.what(), "");
}

TEST(Win32Exception, CodeFromLastErrorWhichIsKept) {
  SetLastError(ERROR_SHARING_VIOLATION);
  const win32_exception e;
  EXPECT_EQ(e.code(), static_cast<unsigned long>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  SetLastError(1234);
  e.what();
  EXPECT_EQ(GetLastError(), 1234u);
}

TEST(Win32Exception, CopiesShareTheMessage) {
  std::optional<win32_exception> original(std::in_place, ERROR_FILE_NOT_FOUND);
  const win32_exception before_what(*original);
  const char* text = original->what();
  const win32_exception after_what(*original);
  // Made once by the original, seen by a copy made before and one made after.
  EXPECT_EQ(before_what.what(), text);
  EXPECT_EQ(after_what.what(), text);
  const std::string saved = text;
  original.reset();
  // The copies outlive the original and still read the same buffer.
  EXPECT_EQ(before_what.what(), text);
  EXPECT_EQ(saved, after_what.what());
}

TEST(Win32Exception, CopyMadeBeforeFirstWhatSharesTheLaterText) {
  const win32_exception original(ERROR_FILE_NOT_FOUND);
  const win32_exception copy(original);
  const char* from_copy = copy.what();
  EXPECT_EQ(original.what(), from_copy);
}

TEST(Win32Exception, AssignmentSharesAndReleases) {
  win32_exception a(ERROR_FILE_NOT_FOUND);
  {
    win32_exception b(ERROR_ACCESS_DENIED);
    const char* b_text = b.what();
    a = b;
    EXPECT_EQ(a.code(), static_cast<unsigned long>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(a.what(), b_text);
  }
  // b is gone; a still holds the shared text.
  EXPECT_GT(std::strlen(a.what()), 0u);
  win32_exception& self = a;
  a = self;
  EXPECT_GT(std::strlen(a.what()), 0u);
  a = win32_exception(0);
  EXPECT_STREQ(a.what(), "");
}

TEST(FileException, CarriesFileNameAndCode) {
  const file_exception e(L"C:\\missing\\f.txt", ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(e.file_name(), string(L"C:\\missing\\f.txt"));
  EXPECT_EQ(e.code(), static_cast<unsigned long>(ERROR_PATH_NOT_FOUND));
  EXPECT_GT(std::strlen(e.what()), 0u);
}

TEST(FileException, CodeFromLastError) {
  SetLastError(ERROR_WRITE_PROTECT);
  const file_exception e(L"a.txt");
  EXPECT_EQ(e.code(), static_cast<unsigned long>(ERROR_WRITE_PROTECT));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WRITE_PROTECT));
}

// Throws as the web source file classes do, and catches through one base.
template <class Catch>
unsigned long caught_code(unsigned long code, string* file = nullptr) {
  try {
    throw internet_file_exception(L"http://host/disk1/data.cab", code);
  } catch (const Catch& e) {
    if constexpr (std::is_base_of_v<file_exception, Catch>) {
      if (file) *file = e.file_name();
    }
    return e.code();
  }
}

TEST(InternetFileException, OneCodeThroughEveryBase) {
  const unsigned long code = 12007;
  string file;
  EXPECT_EQ(caught_code<file_exception>(code, &file), code);
  EXPECT_EQ(file, string(L"http://host/disk1/data.cab"));
  EXPECT_EQ(caught_code<win32_exception>(code), code);
  EXPECT_EQ(caught_code<internet_exception>(code), code);
}

TEST(InternetFileException, CodeFromLastErrorReachesTheSharedBase) {
  SetLastError(12002);
  const internet_file_exception e(L"https://host/x");
  const file_exception& as_file = e;
  const internet_exception& as_internet = e;
  EXPECT_EQ(as_file.code(), 12002u);
  EXPECT_EQ(as_internet.code(), 12002u);
  EXPECT_EQ(&static_cast<const win32_exception&>(as_file),
            &static_cast<const win32_exception&>(as_internet));
}

TEST(InternetFileException, CopySharesTextAndName) {
  const internet_file_exception original(L"http://h/f", ERROR_FILE_NOT_FOUND);
  const internet_file_exception copy(original);
  EXPECT_EQ(copy.what(), original.what());
  EXPECT_EQ(&copy.file_name(), &original.file_name());
}

}  // namespace
}  // namespace kx
