// A stand-in launcher for the engine tests: loads the built KXSetup.dll,
// builds media around the gcab-made cabinets, plays the host's side of the
// call sequence, records the transfer events and reads the journal.
#pragma once

#include <windows.h>

#include <kxengine.h>

#include <string>
#include <vector>

#include "tests/testing/scoped_temp_dir.h"

namespace kx::testing {

// The engine DLL, loaded once per test program.
struct EngineDll {
  HMODULE module = nullptr;
  KxInstallEngineTypelibFn install_typelib = nullptr;
  KxRemoveEngineTypelibFn remove_typelib = nullptr;
  HRESULT(WINAPI* get_class_object)(REFCLSID, REFIID, void**) = nullptr;

  static const EngineDll& Get();
};

// A fixture file made at build time ("good.cab", "truncated.cab", ...).
std::wstring FixturePath(const wchar_t* name);
// BOM + UTF-16LE bytes of `text`.
std::string Utf16(const std::wstring& text);

// Sets an environment variable for one scope, then restores it.
class ScopedEnv {
 public:
  ScopedEnv(const wchar_t* name, const std::wstring& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::wstring name_;
  std::wstring old_;
  bool had_ = false;
};

// A medium folder "Disk1" and an install folder in a temporary folder, with
// a journal named in KX_ENGINE_JOURNAL while it lives.
class Medium {
 public:
  // Writes data1.hdr (listing readme.txt, bin\app.exe, docs\notes.txt),
  // data1.cab (a copy of `cabinet`) and setup.ini (AllUsers as given).
  explicit Medium(const wchar_t* cabinet = L"good.cab", const wchar_t* all_users = L"1");

  const std::wstring& folder() const { return folder_; }
  const std::wstring& install_dir() const { return install_dir_; }
  std::wstring header() const { return folder_ + L"\\data1.hdr"; }
  std::wstring ini() const { return folder_ + L"\\setup.ini"; }
  // Replaces data1.hdr by `text` (written as UTF-16 with its BOM).
  void WriteHeader(const std::wstring& text) const;
  // The journal's lines so far.
  std::vector<std::wstring> Journal() const;
  // Just the call names (the first word) of the journal's lines.
  std::vector<std::wstring> JournalCalls() const;

 private:
  ScopedTempDir dir_;
  std::wstring folder_;
  std::wstring install_dir_;
  ScopedEnv journal_;
};

// The product GUID of the test media's setup.ini.
extern const wchar_t kProductGuid[];
// The install GUID the tests pass.
extern const wchar_t kInstallGuid[];

// The host's transfer-event sink; records every event as a text line.
class TestHost : public IKxTransferEvents3 {
 public:
  std::vector<std::wstring> events;
  ULONGLONG progress_total = 0;
  int progress_calls = 0;
  int cancel_at_progress = 0;  // the 1-based Progress call answered with cancel; 0 never
  LONG replace_answer = KX_REPLACE_ALWAYS;
  LONG refs = 1;

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  STDMETHODIMP OnTransferBegin(BSTR source, BSTR target) override;
  STDMETHODIMP OnTransferEnd(BSTR source, HRESULT result) override;
  STDMETHODIMP OnFileBegin(BSTR name, ULONGLONG size) override;
  STDMETHODIMP OnFileEnd(BSTR name, HRESULT result) override;
  STDMETHODIMP Progress(ULONG bytes) override;
  STDMETHODIMP QueryRetryCount(LONG* count) override;
  STDMETHODIMP QueryRetryDelay(LONG* seconds) override;
  STDMETHODIMP QueryReplaceAction(BSTR source, BSTR target, LONG* action) override;
  STDMETHODIMP QueryFileMode(BSTR file_name, LONG* mode) override;
  STDMETHODIMP QueryLockedAction(BSTR file, LONG error, LONG attempt, LONG* action) override;
  STDMETHODIMP OnConnect(BSTR server) override;
  STDMETHODIMP OnDisconnect(BSTR server) override;
  STDMETHODIMP QueryConnectRetryCount(LONG* count) override;
  STDMETHODIMP Rate(ULONG bytes_per_second) override;
  STDMETHODIMP QueryCacheMode(LONG* mode) override;
  STDMETHODIMP OnStatus(BSTR text) override;
};

// The host's side of one run, step by step as a launcher makes it. Each
// step returns the first failing HRESULT. The destructor releases the
// objects in the launcher's order.
class HostRun {
 public:
  explicit HostRun(TestHost* host) : host_(host) {}
  ~HostRun();
  HostRun(const HostRun&) = delete;
  HostRun& operator=(const HostRun&) = delete;

  // Class object, factory, engine.
  HRESULT Create();
  // OpenCabinet with the test credentials.
  HRESULT Open(const std::wstring& header, const std::wstring& install_guid = kInstallGuid,
               const std::wstring& web_cache = L"", const std::wstring& launcher = L"setup.exe");
  // The engine set-up: languages, platform flags, components, disk space,
  // the host, the properties.
  HRESULT SetUp(LONG language);
  // setup.ini path and argument text; reads value 3 into log_file.
  HRESULT Arguments(const std::wstring& ini, const std::wstring& text);
  // Gets the runner.
  HRESULT Runner();
  // Run (or, after a restart, Complete) and finish; reads the restart flag.
  HRESULT RunAndFinish(bool after_restart = false);
  // The abort path: Abort on the driver, IKxCompletion::Complete.
  HRESULT Abort();

  IKxEngine* engine = nullptr;
  IKxCabinet* cabinet = nullptr;
  IKxMedia* media = nullptr;
  IKxComponent* driver = nullptr;
  IKxRunner* runner = nullptr;
  IKxSetupInfo* setup = nullptr;
  IKxProperties* properties = nullptr;
  ULONGLONG size = 0;
  std::wstring support_dir;
  std::wstring log_file;
  LONG restart = 0;

 private:
  HRESULT Properties();
  TestHost* host_;
};

// The maintenance folder of instance `guid` of `medium`'s installation.
std::wstring Maintenance(const Medium& medium, const std::wstring& guid = kInstallGuid);
// True when a file or folder is at `path`.
bool PathExists(const std::wstring& path);

// Reads a string value of the uninstall entry `guid` under `root`; empty when
// absent.
std::wstring UninstallValue(HKEY root, const std::wstring& guid, const wchar_t* name);

}  // namespace kx::testing
