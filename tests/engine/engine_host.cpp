#include "tests/engine/engine_host.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace kx::testing {

const wchar_t kProductGuid[] = L"{5A1C7E22-9D1B-4B0E-8F7A-3C2D1E0F4A5B}";
const wchar_t kInstallGuid[] = L"{0B6F2D8C-71E4-4C5A-9E3B-2A1D0C9F8E7D}";

namespace {

std::wstring WindowsPath(std::wstring built) {
  for (wchar_t& c : built) {
    if (c == L'/') c = L'\\';
  }
  return built.rfind(L"\\", 0) == 0 ? L"Z:" + built : built;
}

// A BSTR for one call.
struct Bstr {
  explicit Bstr(const std::wstring& text) : b(SysAllocString(text.c_str())) {}
  ~Bstr() { SysFreeString(b); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR b;
};

template <class T>
void ReleaseAndClear(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

}  // namespace

const EngineDll& EngineDll::Get() {
  static const EngineDll dll = [] {
    EngineDll d;
    d.module = LoadLibraryW(WindowsPath(KX_ENGINE_DLL_BUILD_PATH).c_str());
    if (!d.module) throw std::runtime_error("KXSetup.dll does not load");
    d.install_typelib = reinterpret_cast<KxInstallEngineTypelibFn>(
        GetProcAddress(d.module, "InstallEngineTypelib"));
    d.remove_typelib =
        reinterpret_cast<KxRemoveEngineTypelibFn>(GetProcAddress(d.module, "RemoveEngineTypelib"));
    d.get_class_object = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
        GetProcAddress(d.module, "DllGetClassObject"));
    return d;
  }();
  return dll;
}

std::wstring FixturePath(const wchar_t* name) {
  return WindowsPath(KX_ENGINE_FIXTURE_BUILD_PATH) + L"\\" + name;
}

std::string Utf16(const std::wstring& text) {
  std::string bytes = "\xFF\xFE";
  for (wchar_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>((c >> 8) & 0xFF);
  }
  return bytes;
}

ScopedEnv::ScopedEnv(const wchar_t* name, const std::wstring& value) : name_(name) {
  wchar_t buffer[2048];
  const DWORD n = GetEnvironmentVariableW(name, buffer, ARRAYSIZE(buffer));
  had_ = n > 0 && n < ARRAYSIZE(buffer);
  if (had_) old_.assign(buffer, n);
  SetEnvironmentVariableW(name, value.c_str());
}

ScopedEnv::~ScopedEnv() {
  SetEnvironmentVariableW(name_.c_str(), had_ ? old_.c_str() : nullptr);
}

Medium::Medium(const wchar_t* cabinet, const wchar_t* all_users)
    : folder_(dir_.file(L"Disk1")),
      install_dir_(dir_.file(L"Programs\\Demo")),
      journal_(L"KX_ENGINE_JOURNAL", dir_.file(L"journal.txt")) {
  CreateDirectoryW(folder_.c_str(), nullptr);
  WriteHeader(L"[Product]\r\nName=Demo Application\r\nInstallDir=" + install_dir_ +
              L"\r\n[Files]\r\nFile1=readme.txt\r\nFile2=bin\\app.exe\r\nFile3=docs/notes.txt\r\n");
  if (!CopyFileW(FixturePath(cabinet).c_str(), (folder_ + L"\\data1.cab").c_str(), FALSE)) {
    throw std::runtime_error("cannot copy the test cabinet");
  }
  WriteBytes(ini(), Utf16(std::wstring(L"[Startup]\r\nProduct=Demo\r\nProductGUID=") +
                          kProductGuid + L"\r\nAllUsers=" + all_users + L"\r\n"));
  WriteBytes(folder_ + L"\\setup.exe", "MZ stand-in launcher");
}

void Medium::WriteHeader(const std::wstring& text) const {
  WriteBytes(header(), Utf16(text));
}

std::vector<std::wstring> Medium::Journal() const {
  const std::string bytes = ReadBytes(dir_.file(L"journal.txt"));
  std::vector<std::wstring> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    const std::string line = bytes.substr(start, end - start);
    std::wstring wide(line.size(), L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                      wide.data(), static_cast<int>(wide.size()));
    wide.resize(n > 0 ? n : 0);
    lines.push_back(wide);
    start = end + 1;
  }
  return lines;
}

std::vector<std::wstring> Medium::JournalCalls() const {
  std::vector<std::wstring> calls;
  for (const auto& line : Journal()) calls.push_back(line.substr(0, line.find(L' ')));
  return calls;
}

HostRun::~HostRun() {
  ReleaseAndClear(runner);
  ReleaseAndClear(setup);
  ReleaseAndClear(cabinet);
  ReleaseAndClear(driver);
  ReleaseAndClear(media);
  ReleaseAndClear(properties);
  ReleaseAndClear(engine);
}

HRESULT HostRun::Create() {
  const auto& dll = EngineDll::Get();
  if (!dll.get_class_object) return E_NOINTERFACE;
  IClassFactory* factory = nullptr;
  HRESULT hr =
      dll.get_class_object(CLSID_KxEngine, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(nullptr, IID_IKxEngine, reinterpret_cast<void**>(&engine));
  factory->Release();
  return hr;
}

HRESULT HostRun::Open(const std::wstring& header, const std::wstring& install_guid,
                      const std::wstring& web_cache, const std::wstring& launcher) {
  Bstr h(header), user(L"webuser"), password(L"s3cret"), proxy_user(L""), proxy_password(L""),
      guid(install_guid), name(launcher), cache(web_cache);
  return engine->OpenCabinet(h.b, user.b, password.b, proxy_user.b, proxy_password.b, guid.b,
                             name.b, cache.b, &cabinet);
}

HRESULT HostRun::Properties() {
  if (properties) return S_OK;
  IKxPropertyProvider* provider = nullptr;
  HRESULT hr = engine->QueryInterface(IID_IKxPropertyProvider, reinterpret_cast<void**>(&provider));
  if (FAILED(hr)) return hr;
  hr = provider->QueryService(SID_KxProperties, IID_IKxProperties,
                              reinterpret_cast<void**>(&properties));
  provider->Release();
  return hr;
}

HRESULT HostRun::SetUp(LONG language) {
  HRESULT hr;
  if (FAILED(hr = cabinet->SetLanguage(0, 0))) return hr;
  if (FAILED(hr = cabinet->SetLanguage(0, language))) return hr;
  IKxFileOperations* files = nullptr;
  if (FAILED(hr = cabinet->QueryInterface(IID_IKxFileOperations, reinterpret_cast<void**>(&files))))
    return hr;
  hr = files->SetPlatformFlags(0);
  if (SUCCEEDED(hr)) hr = files->SetPlatformFlags(KX_PLATFORM_X64);
  if (SUCCEEDED(hr)) hr = cabinet->GetMedia(&media);
  if (SUCCEEDED(hr)) hr = media->GetComponent(Bstr(L"<Support>").b, &driver);
  if (SUCCEEDED(hr)) hr = driver->SetMode(2);
  if (SUCCEEDED(hr)) hr = driver->Prepare();
  if (SUCCEEDED(hr)) hr = driver->GetSize(&size);
  if (SUCCEEDED(hr)) hr = Properties();
  if (SUCCEEDED(hr)) {
    BSTR dir = nullptr;
    hr = properties->GetProperty(Bstr(L"SUPPORTDIR").b, &dir);
    support_dir = dir ? dir : L"";
    SysFreeString(dir);
  }
  IKxComponent* log = nullptr;
  if (SUCCEEDED(hr)) hr = media->GetComponent(Bstr(L"<Support>\\Engine\\Log").b, &log);
  if (SUCCEEDED(hr)) hr = log->SetHost(host_);
  if (log) log->Release();
  if (SUCCEEDED(hr)) hr = driver->SetMode(0);
  if (SUCCEEDED(hr)) hr = cabinet->Start(0);
  if (SUCCEEDED(hr)) hr = driver->SetMode(0);
  if (SUCCEEDED(hr)) hr = driver->SetMode(2);
  for (const auto& [name, value] : {std::pair{L"ENGINECOMMONDIR", L"C:\\Temp\\kx"},
                                    {L"ENGINEDIR", L"C:\\Temp\\kx"},
                                    {L"MULTI_INSTANCE_COUNT", L"0"},
                                    {L"SHOW_PASSWORD_DIALOG", L"0"}}) {
    if (SUCCEEDED(hr)) hr = properties->SetProperty(Bstr(name).b, Bstr(value).b);
    if (SUCCEEDED(hr)) hr = properties->MarkProperty(Bstr(name).b, KX_PROPERTY_FROM_HOST);
  }
  if (SUCCEEDED(hr)) hr = driver->SetHost(host_);
  if (SUCCEEDED(hr)) hr = cabinet->SetLanguage(0, KX_LANGUAGE_REAPPLY);
  if (SUCCEEDED(hr)) hr = files->ApplyFlags(0, 0, KX_FILES_ALL);
  files->Release();
  return hr;
}

HRESULT HostRun::Arguments(const std::wstring& ini, const std::wstring& text) {
  HRESULT hr = Properties();
  if (SUCCEEDED(hr))
    hr = properties->QueryInterface(IID_IKxSetupInfo, reinterpret_cast<void**>(&setup));
  if (SUCCEEDED(hr)) hr = setup->SetIniPath(Bstr(ini).b);
  if (SUCCEEDED(hr)) hr = setup->SetArguments(Bstr(text).b);
  BSTR value = nullptr;
  if (SUCCEEDED(hr)) hr = setup->GetValue(KX_SETUP_VALUE_LOG_FILE, &value);
  log_file = value ? value : L"";
  SysFreeString(value);
  return hr;
}

HRESULT HostRun::Runner() {
  return cabinet->GetRunner(&runner);
}

HRESULT HostRun::RunAndFinish(bool after_restart) {
  HRESULT hr = after_restart ? runner->Complete() : runner->Run();
  if (FAILED(hr)) return hr;
  if (FAILED(hr = Properties())) return hr;
  if (FAILED(hr = properties->GetRestartNeeded(&restart))) return hr;
  return driver->Finish(host_);
}

HRESULT HostRun::Abort() {
  HRESULT hr = driver ? driver->Abort(host_) : S_OK;
  if (FAILED(hr) || !runner) return hr;
  IKxCompletion* completion = nullptr;
  hr = runner->QueryInterface(IID_IKxCompletion, reinterpret_cast<void**>(&completion));
  if (FAILED(hr)) return hr;
  hr = completion->Complete();
  completion->Release();
  return hr;
}

std::wstring Maintenance(const Medium& medium, const std::wstring& guid) {
  return medium.install_dir() + L"\\_Setup\\" + guid;
}

bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring UninstallValue(HKEY root, const std::wstring& guid, const wchar_t* name) {
  wchar_t buffer[1024];
  DWORD size = sizeof buffer;
  const std::wstring key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + guid;
  if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != 0) return {};
  return buffer;
}

}  // namespace kx::testing
