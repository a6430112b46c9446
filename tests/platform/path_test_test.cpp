#include "platform/path_test.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "base/exceptions.h"
#include "base/web_source.h"
#include "tests/testing/scoped_temp_dir.h"

namespace kx {
namespace {

using testing::ScopedTempDir;

class PathTestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing::WriteBytes(file_.str(), "data"));
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
  }
  ScopedTempDir dir_;
  string file_{dir_.file(L"file.txt")};
  string folder_{dir_.file(L"folder")};
  string missing_{dir_.file(L"missing.txt")};
};

TEST_F(PathTestTest, AttributesOrAFileException) {
  EXPECT_EQ(file_attributes(file_) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_NE(file_attributes(folder_) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  try {
    file_attributes(missing_);
    ADD_FAILURE() << "no exception";
  } catch (const file_exception& e) {
    EXPECT_EQ(e.code(), static_cast<unsigned long>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(e.file_name(), missing_);
  }
}

TEST_F(PathTestTest, FilesAndFoldersByFlag) {
  EXPECT_TRUE(path_test(file_, path_is_file));
  EXPECT_FALSE(path_test(file_, path_is_folder));
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_TRUE(path_test(folder_, path_is_folder));
  EXPECT_FALSE(path_test(folder_, path_is_file));
  EXPECT_TRUE(path_test(file_, path_is_file | path_is_folder));
  EXPECT_TRUE(path_test(folder_, path_is_file | path_is_folder));
  EXPECT_TRUE(path_test(string(dir_.file(L"FILE.TXT")), path_is_file));
}

TEST_F(PathTestTest, MissingEntriesAreNeverErrors) {
  const unsigned all = path_is_file | path_is_folder | path_throw_on_error;
  EXPECT_FALSE(path_test(missing_, all));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(path_test(string(dir_.file(L"no\\such\\file.txt")), all));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(PathTestTest, OtherErrorsThrowOnlyWhenAsked) {
  // "file.txt" followed by a NUL: it must not be taken for file.txt.
  std::wstring raw = file_.str();
  raw += L'\0';
  raw += L".bak";
  const string bad(raw);
  EXPECT_FALSE(path_test(bad, path_is_file));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
  EXPECT_THROW(path_test(bad, path_is_file | path_throw_on_error), file_exception);
}

// A web source with fixed content, so web addresses are tested without a
// network.
std::string web_content;
DWORD web_open_error = 0;

class FakeWebSource : public web_source {
 public:
  DWORD open(const string&, DWORD) override { return web_open_error; }
  DWORD seek(std::uint64_t offset) override {
    at_ = static_cast<size_t>(offset);
    return 0;
  }
  DWORD read(void* buffer, DWORD count, DWORD& got) override {
    got = static_cast<DWORD>(
        std::min<size_t>(count, web_content.size() - std::min(at_, web_content.size())));
    std::memcpy(buffer, web_content.data() + at_, got);
    at_ += got;
    return 0;
  }

 private:
  size_t at_ = 0;
};

std::unique_ptr<web_source> MakeFake(const web_source_options&, DWORD&) {
  return std::make_unique<FakeWebSource>();
}

class WebPathTest : public ::testing::Test {
 protected:
  void TearDown() override { set_web_source_factory(nullptr); }
};

TEST_F(WebPathTest, WithoutAWebSourceTheAddressFails) {
  const string url(L"http://127.0.0.1:9/file.bin");
  EXPECT_FALSE(path_test(url, path_is_file | path_may_be_web));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  try {
    path_test(url, path_is_file | path_may_be_web | path_throw_on_error);
    ADD_FAILURE() << "no exception";
  } catch (const internet_file_exception& e) {
    EXPECT_EQ(e.code(), static_cast<unsigned long>(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(e.file_name(), url);
  }
}

TEST_F(WebPathTest, AnAddressExistsWhenBytesArrive) {
  set_web_source_factory(MakeFake);
  web_open_error = 0;
  web_content = "MZ...";
  EXPECT_TRUE(path_test(L"HTTPS://example.test/setup.exe", path_may_be_web));
  web_content.clear();
  EXPECT_FALSE(path_test(L"http://example.test/empty", path_may_be_web | path_throw_on_error));
  web_open_error = 12007;  // ERROR_INTERNET_NAME_NOT_RESOLVED
  EXPECT_FALSE(path_test(L"http://example.test/x", path_may_be_web));
  EXPECT_EQ(GetLastError(), 12007u);
  EXPECT_THROW(path_test(L"http://example.test/x", path_may_be_web | path_throw_on_error),
               internet_file_exception);
}

TEST_F(WebPathTest, FtpAddressesAreNotReadFromTheWeb) {
  // The source files read only http and https; ftp goes to the file system
  // and fails there.
  set_web_source_factory(MakeFake);
  web_open_error = 0;
  web_content = "bytes";
  EXPECT_FALSE(path_test(L"ftp://example.test/x", path_may_be_web));
  EXPECT_THROW(path_test(L"ftp://example.test/x", path_may_be_web | path_throw_on_error),
               internet_file_exception);
}

}  // namespace
}  // namespace kx
