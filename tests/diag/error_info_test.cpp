#include "diag/error_info.h"

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <oleauto.h>

#include <string>

namespace kx {
namespace {

ErrorInfoFacts full_facts() {
  ErrorInfoFacts f;
  f.com_description = L"The engine refused.";
  f.source_file = L"launcher\\setup.cpp";
  f.line = 175;
  f.product_name = L"Foo";
  f.vendor_name = L"Acme";
  f.product_guid = L"{6F1D3F8E-0B7A-4C55-9E21-3A5B7C9D0E11}";
  f.internal_version = L"1.0.0.1";
  f.os_name = L"Windows 7 / Server 2008 R2";
  f.service_pack = 1;
  f.build = 7601;
  f.ie_version = L"9.11.7601.0";
  return f;
}

TEST(BuildErrorInformation, PutsThePiecesInTheirOrder) {
  struct Row {
    const char* what;
    bool empty_facts;
    bool web;
    bool package;
    const wchar_t* text;
  } rows[] = {
      {"everything known", false, false, false,
       L"The engine refused.>launcher\\setup.cpp (175)\r\n"
       L"PAPP:Foo\r\nPVENDOR:Acme\r\nPGUID:{6F1D3F8E-0B7A-4C55-9E21-3A5B7C9D0E11}\r\n"
       L"$1.0.0.1\r\n@Windows 7 / Server 2008 R2 Service Pack 1 (7601) \r\n"
       L"IE Version: 9.11.7601.0"},
      {"web and package", false, true, true,
       L"The engine refused.>launcher\\setup.cpp (175)\r\n"
       L"PAPP:Foo\r\nPVENDOR:Acme\r\nPGUID:{6F1D3F8E-0B7A-4C55-9E21-3A5B7C9D0E11}\r\n"
       L"$1.0.0.1WEBPAK\r\n@Windows 7 / Server 2008 R2 Service Pack 1 (7601) \r\n"
       L"IE Version: 9.11.7601.0"},
      {"package only", true, false, true,
       L"> (0)\r\nPAPP:\r\nPVENDOR:\r\nPGUID:\r\n$PAK\r\n@ Service Pack 0 (0) \r\nIE Version: "},
      {"nothing known", true, false, false,
       L"> (0)\r\nPAPP:\r\nPVENDOR:\r\nPGUID:\r\n$\r\n@ Service Pack 0 (0) \r\nIE Version: "},
  };
  for (const Row& row : rows) {
    ErrorInfoFacts f = row.empty_facts ? ErrorInfoFacts{} : full_facts();
    f.web = row.web;
    f.package = row.package;
    EXPECT_EQ(BuildErrorInformation(f).str(), row.text) << row.what;
  }
}

TEST(BuildErrorInformation, MasksAddressPasswordsWhereverTheyStand) {
  ErrorInfoFacts f = full_facts();
  f.com_description = L"Cannot copy http://alice:s3cret@h/Disk1/data1.cab (404).";
  f.product_name = L"https://bob:hunter2@h/";
  const std::wstring text = BuildErrorInformation(f).str();
  EXPECT_EQ(text.find(L"s3cret"), std::wstring::npos) << text;
  EXPECT_EQ(text.find(L"hunter2"), std::wstring::npos) << text;
  EXPECT_NE(text.find(L"Cannot copy http://alice:***@h/Disk1/data1.cab (404)."), std::wstring::npos)
      << text;
}

TEST(BuildErrorInformation, TakesFormatCharactersAsText) {
  ErrorInfoFacts f;
  f.product_name = L"100%s %n";
  f.source_file = L"%s\\%d.cpp";
  EXPECT_EQ(BuildErrorInformation(f).str(),
            L">%s\\%d.cpp (0)\r\nPAPP:100%s %n\r\nPVENDOR:\r\nPGUID:\r\n$\r\n@ Service Pack 0 (0) "
            L"\r\nIE Version: ");
}

// A COM error object set on the thread is described once and taken away.
class TestErrorInfo : public IErrorInfo {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IErrorInfo) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE GetGUID(GUID* g) override {
    *g = GUID{};
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetSource(BSTR* s) override {
    *s = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDescription(BSTR* d) override {
    *d = SysAllocString(L"Cabinet header damaged.");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* f) override {
    *f = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* c) override {
    *c = 0;
    return S_OK;
  }
  ULONG refs = 1;
};

TEST(CollectMachineFacts, TakesTheThreadsComErrorAndTheSystemsName) {
  TestErrorInfo info;
  ASSERT_EQ(SetErrorInfo(0, &info), S_OK);
  ErrorInfoFacts f;
  CollectMachineFacts(f, L"C:\\no\\such\\setup.exe");
  EXPECT_EQ(f.com_description.str(), L"Cabinet header damaged.");
  EXPECT_EQ(info.refs, 1u);
  EXPECT_TRUE(f.internal_version.empty());
  EXPECT_FALSE(f.os_name.empty());
  EXPECT_GT(f.build, 0u);

  ErrorInfoFacts again;
  CollectMachineFacts(again, L"C:\\no\\such\\setup.exe");
  EXPECT_TRUE(again.com_description.empty());
}

TEST(SetComErrorDescription, BecomesTheFirstPieceOfTheNextReport) {
  SetComErrorDescription(L"basic_string::_M_create");
  ErrorInfoFacts f;
  CollectMachineFacts(f, L"C:\\no\\such\\setup.exe");
  EXPECT_EQ(f.com_description.str(), L"basic_string::_M_create");
}

}  // namespace
}  // namespace kx
