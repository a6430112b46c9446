#include "diag/result_file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/folders.h"
#include "tests/testing/scoped_temp_dir.h"

namespace kx {
namespace {

using testing::ReadBytes;
using testing::ScopedTempDir;
using testing::WriteBytes;

TEST(ResultFilePath, OptionThenWebThenBesideTheUsersLauncher) {
  const string temp = temp_folder();
  struct Row {
    const wchar_t* option;
    bool web;
    const wchar_t* launcher;
    std::wstring path;
  } rows[] = {
      {L"D:\\logs\\result.log", false, L"C:\\media\\setup.exe", L"D:\\logs\\result.log"},
      {L"D:\\logs\\result.log", true, L"C:\\media\\setup.exe", L"D:\\logs\\result.log"},
      {L"", true, L"C:\\media\\setup.exe", temp.str() + L"setup.log"},
      {L"", false, L"C:\\media\\setup.exe", L"C:\\media\\setup.log"},
      {L"", false, L"setup.exe", L""},
  };
  for (const Row& row : rows)
    EXPECT_EQ(ResultFilePath(row.option, row.web, row.launcher).str(), row.path) << row.launcher;
}

TEST(WriteResultFile, WritesTheFourValuesIntoANewFile) {
  ScopedTempDir dir;
  const std::wstring path = dir.file(L"setup.log");
  const string target(path);
  ASSERT_TRUE(WriteResultFile(target, -5001, L"line one\r\nline two"));
  // The text's line break cannot start a line of its own in the file.
  EXPECT_EQ(ReadBytes(path),
            "[Kestrix Silent]\r\nFile=Log File\r\nVersion=v7.00\r\n\r\n"
            "[ResponseResult]\r\nResultCode=-5001\r\n\r\n"
            "[ExtendedError]\r\nErrorInfo=line one line two\r\n");
}

TEST(WriteResultFile, ASecondFailureKeepsOtherSectionsAndReplacesTheValues) {
  ScopedTempDir dir;
  const std::wstring path = dir.file(L"setup.log");
  const string target(path);
  ASSERT_TRUE(WriteBytes(path,
                         "[Deployment]\r\nRun=7\r\n\r\n[ResponseResult]\r\nResultCode=0\r\n"
                         "Extra=kept\r\n"));
  ASSERT_TRUE(WriteResultFile(target, -5003, L"first"));
  ASSERT_TRUE(WriteResultFile(target, -5001, L"second"));
  EXPECT_EQ(ReadBytes(path),
            "[Deployment]\r\nRun=7\r\n\r\n"
            "[ResponseResult]\r\nResultCode=-5001\r\nExtra=kept\r\n\r\n"
            "[Kestrix Silent]\r\nFile=Log File\r\nVersion=v7.00\r\n\r\n"
            "[ExtendedError]\r\nErrorInfo=second\r\n");
}

TEST(WriteResultFile, KeepsTheEncodingOfAnExistingFile) {
  ScopedTempDir dir;
  const std::wstring path = dir.file(L"setup.log");
  const string target(path);
  const std::wstring text = L"[Deployment]\r\nName=\u00c4rger\r\n";
  std::string utf16 = "\xFF\xFE";
  utf16.append(reinterpret_cast<const char*>(text.data()), text.size() * 2);
  ASSERT_TRUE(WriteBytes(path, utf16));

  ASSERT_TRUE(WriteResultFile(target, -5001, L"\u05d0"));
  const std::string bytes = ReadBytes(path);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  const std::wstring back(reinterpret_cast<const wchar_t*>(bytes.data() + 2),
                          (bytes.size() - 2) / 2);
  EXPECT_EQ(back,
            L"[Deployment]\r\nName=\u00c4rger\r\n\r\n[Kestrix Silent]\r\nFile=Log File\r\n"
            L"Version=v7.00\r\n\r\n[ResponseResult]\r\nResultCode=-5001\r\n\r\n"
            L"[ExtendedError]\r\nErrorInfo=\u05d0\r\n");
}

TEST(WriteResultFile, FailsWithoutAPlaceToWrite) {
  ScopedTempDir dir;
  EXPECT_FALSE(WriteResultFile(L"", -5001, L"x"));
  EXPECT_FALSE(WriteResultFile(string(dir.file(L"missing\\setup.log")), -5001, L"x"));
}

}  // namespace
}  // namespace kx
