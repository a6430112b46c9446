#include "launcher/engine_host.h"

#include <oleauto.h>

#include <string>

#include "base/path.h"
#include "base/secret_wipe.h"
#include "base/string_win.h"
#include "diag/error_info.h"
#include "diag/trace.h"
#include "diag/trace_events.h"
#include "launcher/engine_host_text.h"
#include "launcher/settings_file.h"
#include "launcher/setup.h"
#include "launcher/web_medium.h"
#include "platform/os_version.h"
#include "platform/pending_operations.h"

namespace kx {

namespace {

using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

// Dialog items of the launcher window that cancel the run: the engine's
// set-up must not be interrupted half-way.
constexpr int kCancelItems[] = {9, 2};

string text_of(const unique_bstr& b) {
  return b.get() ? string(b.get(), b.length()) : string();
}

// The engine's calls may answer S_FALSE; only failures abort.
void check(CSetup& setup, HRESULT hr, int site) {
  if (FAILED(hr)) KX_CHECK_STEP(setup, hr, site);
}

// A call that reports success must also have handed out its object.
template <class T>
void check_out(CSetup& setup, HRESULT hr, const ComRef<T>& out, int site) {
  check(setup, hr, site);
  if (!out) KX_CHECK_STEP(setup, E_POINTER, site);
}

// Runs one step under its own abort point: a failure stores the step's
// error code and goes on to the run's abort handler.
template <class F>
void step(CSetup& setup, int error_code, F&& body) {
  try {
    body();
  } catch (const StepAbort&) {
    setup.ErrorCode = error_code;
    throw;
  }
}

// The engine's property interface, through its service.
ComRef<IKxProperties> properties_of(CSetup& setup, int site) {
  ComRef<IKxPropertyProvider> provider;
  check_out(setup, setup.Engine->QueryInterface(IID_IKxPropertyProvider, provider.put_void()),
            provider, site);
  ComRef<IKxProperties> properties;
  check_out(setup,
            provider->QueryService(SID_KxProperties, IID_IKxProperties, properties.put_void()),
            properties, site);
  return properties;
}

}  // namespace

EngineHostParts DefaultEngineHostParts() {
  EngineHostParts parts;
  parts.ui = &PrerequisitesOnlyInterface();
  parts.prerequisites = &SetupPrerequisites();
  parts.progress = &NoProgressWindow();
  return parts;
}

EngineHost::EngineHost(CSetup& setup, const EngineHostParts& parts) : setup_(setup), parts_(parts) {
  const EngineHostParts defaults = DefaultEngineHostParts();
  if (!parts_.ui) parts_.ui = defaults.ui;
  if (!parts_.prerequisites) parts_.prerequisites = defaults.prerequisites;
  if (!parts_.progress) parts_.progress = defaults.progress;
}

HRESULT EngineHost::Run() {
  const SetupSettings& s = setup_.Settings();
  MakeSink(420);
  Prepare();
  KX_CHECK_STEP(setup_, CheckPrivilegeRequirement(s, setup_.PrivilegedUser), 427);
  Progress(10);
  InstallTypelib(430);
  Progress(15);
  Progress(20);
  CreateEngine(433);
  Progress(25);
  Progress(30);
  if (s.InstallFromWeb) CopyWebFiles(437);
  Progress(35);
  Progress(40);
  OpenCabinet(440);
  Progress(45);
  Progress(50);
  SetUpEngine(443);
  Progress(75);
  Progress(80);
  PassArguments(446);
  Progress(85);
  Progress(90);
  GetRunner(449);
  Progress(95);
  Progress(100);
  parts_.progress->PreparationDone();

  if (parts_.progress->TakeCancelRequest()) {
    parts_.progress->Close();
    return kCancelled;
  }
  if (!s.Silent && !s.Auto) parts_.progress->EnginePhase();
  step(setup_, kErrorRun, [&] { check(setup_, setup_.EngineRunner->Run(), 463); });
  Finish(465);
  parts_.progress->Close();
  return S_OK;
}

HRESULT EngineHost::Resume() {
  MakeSink(372);
  // Operations left for files that were in use before the restart come
  // first: the engine may be among them.
  KX_CHECK_STEP(setup_, run_pending_operations(), 372);
  InstallTypelib(376);
  CreateEngine(378);
  PassArguments(380);
  OpenCabinet(382);
  SetUpEngine(383);
  GetRunner(385);
  // Completing the interrupted installation is the runner step's work.
  step(setup_, kErrorRunner, [&] { check(setup_, setup_.EngineRunner->Complete(), 385); });
  Finish(387);
  return S_OK;
}

void EngineHost::Prepare() {
  const SetupSettings& s = setup_.Settings();
  auto prerequisites = [this] { return RunPrerequisites(setup_, *parts_.prerequisites); };
  const HRESULT hr =
      s.Silent || s.Auto ? prerequisites() : parts_.ui->Prepare(setup_, prerequisites);
  KX_CHECK_STEP(setup_, hr, 420);
  EnableCancel(false);
  setup_.EngineStartTick = GetTickCount();
  Progress(5);
}

void EngineHost::InstallTypelib(int site) {
  step(setup_, kErrorEngineDll, [&] {
    const auto install = reinterpret_cast<KxInstallEngineTypelibFn>(reinterpret_cast<void*>(
        setup_.EngineModule ? GetProcAddress(setup_.EngineModule, "InstallEngineTypelib")
                            : nullptr));
    if (!install || !install(setup_.Settings().NoEngine ? TRUE : FALSE))
      KX_CHECK_STEP(setup_, static_cast<HRESULT>(kErrorEngineDll), site);
  });
}

void EngineHost::CreateEngine(int site) {
  step(setup_, kErrorEngineCreate, [&] {
    const auto get = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(
        setup_.EngineModule ? GetProcAddress(setup_.EngineModule, "DllGetClassObject") : nullptr));
    if (!get) KX_CHECK_STEP(setup_, HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND), site);
    ComRef<IClassFactory> factory;
    check_out(setup_, get(CLSID_KxEngine, IID_IClassFactory, factory.put_void()), factory, site);
    check_out(setup_, factory->CreateInstance(nullptr, IID_IKxEngine, setup_.Engine.put_void()),
              setup_.Engine, site);
  });
}

void EngineHost::CopyWebFiles(int site) {
  for (const wchar_t* name : {L"layout.bin", L"data1.hdr", L"data1.cab", L"setup.inx"})
    KX_CHECK_STEP(setup_, setup_.Services().CopyDisk1FileToTemp(setup_, name), site);
}

void EngineHost::OpenCabinet(int site) {
  step(setup_, kErrorCabinetHeader, [&] {
    const SetupSettings& s = setup_.Settings();
    const string header = MediumFilePath(s.SourceFolder, L"data1.hdr");
    const cabinet_credentials c{setup_.WebUser, setup_.WebPassword, setup_.ProxyUser,
                                setup_.ProxyPassword};
    trace_open_cab_begin(header, c);
    const unique_bstr password = make_bstr(c.password);
    const unique_bstr proxy_password = make_bstr(c.proxy_password);
    const HRESULT hr = setup_.Engine->OpenCabinet(
        make_bstr(header).get(), make_bstr(c.user).get(), password.get(),
        make_bstr(c.proxy_user).get(), proxy_password.get(), make_bstr(s.InstallGuid).get(),
        make_bstr(path_file_name(s.LauncherPath)).get(),
        make_bstr(s.InstallFromWeb ? s.TempFolder : string()).get(), setup_.CabinetObject.put());
    trace_open_cab_end(hr, header, c);
    // The engine has what it needs; nothing later in the run sends them.
    wipe_bstr(password.get());
    wipe_bstr(proxy_password.get());
    wipe_secret(setup_.WebPassword);
    wipe_secret(setup_.ProxyPassword);
    check_out(setup_, hr, setup_.CabinetObject, site);
  });
}

void EngineHost::SetUpEngine(int site) {
  step(setup_, kErrorEngineSetup, [&] {
    const SetupSettings& s = setup_.Settings();
    IKxCabinet* cabinet = setup_.CabinetObject.get();
    check(setup_, cabinet->SetLanguage(0, 0), site);
    check(setup_, cabinet->SetLanguage(0, s.ChosenLanguage), site);
    ComRef<IKxFileOperations> files;
    check_out(setup_, cabinet->QueryInterface(IID_IKxFileOperations, files.put_void()), files,
              site);
    check(setup_, files->SetPlatformFlags(0), site);
    check(setup_,
          files->SetPlatformFlags(EnginePlatformFlags(native_system_info().wProcessorArchitecture)),
          site);

    check_out(setup_, cabinet->GetMedia(setup_.EngineMedia.put()), setup_.EngineMedia, site);
    check_out(
        setup_,
        setup_.EngineMedia->GetComponent(make_bstr(L"<Support>").get(), setup_.EngineDriver.put()),
        setup_.EngineDriver, site);
    IKxComponent* driver = setup_.EngineDriver.get();
    check(setup_, driver->SetMode(2), site);
    check(setup_, driver->Prepare(), site);
    check(setup_, driver->GetSize(&setup_.EngineSize), site);
    const ComRef<IKxProperties> properties = properties_of(setup_, site);
    CheckDiskSpace(properties.get(), site);

    ComRef<IKxComponent> log;
    check_out(
        setup_,
        setup_.EngineMedia->GetComponent(make_bstr(L"<Support>\\Engine\\Log").get(), log.put()),
        log, site);
    check(setup_, log->SetHost(setup_.EngineSink.get()), site);
    check(setup_, driver->SetMode(0), site);
    check(setup_, cabinet->Start(0), site);
    check(setup_, driver->SetMode(0), site);
    check(setup_, driver->SetMode(2), site);
    SetProperties(properties.get(), site);
    EnableCancel(true);
    check(setup_, driver->SetHost(setup_.EngineSink.get()), site);
    check(setup_, cabinet->SetLanguage(0, KX_LANGUAGE_REAPPLY), site);
    check(setup_, files->ApplyFlags(0, 0, KX_FILES_ALL), site);
  });
}

void EngineHost::CheckDiskSpace(IKxProperties* properties, int site) {
  unique_bstr support;
  check(setup_, properties->GetProperty(make_bstr(L"SUPPORTDIR").get(), support.put()), site);
  const string root = VolumeRoot(text_of(support));
  ULARGE_INTEGER available;
  // A drive that cannot be asked is left to the engine's own copy errors.
  if (root.empty() || !GetDiskFreeSpaceExW(root.c_str(), &available, nullptr, nullptr)) return;
  const ULONGLONG shortfall = ShortfallKb(setup_.EngineSize, available.QuadPart);
  if (shortfall == 0) return;
  const string message = FillDiskSpaceMessage(
      setup_.Services().GetString(setup_.Settings(), kStringDiskSpace), shortfall, DriveName(root));
  setup_.FailureMessage = message;
  SetComErrorDescription(message);
  KX_CHECK_STEP(setup_, kDiskSpaceShort, site);
}

void EngineHost::SetProperties(IKxProperties* properties, int site) {
  const SetupSettings& s = setup_.Settings();
  const string temp = FolderWithoutBackslash(s.TempFolder);
  const struct {
    const wchar_t* name;
    string value;
  } values[] = {
      {L"ENGINECOMMONDIR", temp},
      {L"ENGINEDIR", temp},
      {L"MULTI_INSTANCE_COUNT", string(std::to_wstring(s.Instances.size()))},
      {L"SHOW_PASSWORD_DIALOG", string(s.ShowPasswordDialog ? L"1" : L"0")},
  };
  for (const auto& v : values) {
    const unique_bstr name = make_bstr(v.name);
    check(setup_, properties->SetProperty(name.get(), make_bstr(v.value).get()), site);
    check(setup_, properties->MarkProperty(name.get(), KX_PROPERTY_FROM_HOST), site);
  }
}

void EngineHost::PassArguments(int) {
  step(setup_, kErrorEngineArguments, [&] {
    const SetupSettings& s = setup_.Settings();
    // The setup data hangs off the property interface itself, not off the
    // properties service, which an engine may serve from another object.
    ComRef<IKxPropertyProvider> provider;
    check_out(setup_, setup_.Engine->QueryInterface(IID_IKxPropertyProvider, provider.put_void()),
              provider, 881);
    check_out(setup_, provider->QueryInterface(IID_IKxSetupInfo, setup_.EngineSetup.put_void()),
              setup_.EngineSetup, 881);
    check(setup_, setup_.EngineSetup->SetIniPath(make_bstr(s.SetupIniPath).get()), 895);
    check(setup_, setup_.EngineSetup->SetArguments(make_bstr(EngineArgumentText(s)).get()), 898);
    unique_bstr log;
    check(setup_, setup_.EngineSetup->GetValue(KX_SETUP_VALUE_LOG_FILE, log.put()), 902);
    setup_.EngineLogFile = text_of(log);
  });
}

void EngineHost::GetRunner(int site) {
  step(setup_, kErrorRunner, [&] {
    check_out(setup_, setup_.CabinetObject->GetRunner(setup_.EngineRunner.put()),
              setup_.EngineRunner, site);
  });
}

void EngineHost::Finish(int site) {
  step(setup_, kErrorFinish, [&] {
    if (!setup_.EngineDriver) return;
    setup_.EngineState = 5;
    LONG restart = 0;
    check(setup_, properties_of(setup_, site)->GetRestartNeeded(&restart), site);
    if (restart) setup_.EngineState = 100;
    trace(L"KXSetupDLLOp", L"EngineFinish", L"EngineState=%d", setup_.EngineState);
    check(setup_, setup_.EngineDriver->Finish(setup_.EngineSink.get()), site);
  });
}

void EngineHost::MakeSink(int site) {
  if (setup_.EngineSink) return;
  EngineSinkContext context;
  context.observer = parts_.progress;
  context.web = setup_.Settings().InstallFromWeb;
  context.mode = &setup_.EngineState;
  context.expected_bytes = &setup_.EngineSize;
  setup_.EngineSink.reset(NewEngineSink(context));
  if (!setup_.EngineSink) KX_CHECK_STEP(setup_, E_OUTOFMEMORY, site);
}

void EngineHost::Progress(int percent) {
  parts_.progress->StepReached(percent);
}

void EngineHost::EnableCancel(bool enable) {
  if (!setup_.OwnerWindow) return;
  for (int item : kCancelItems) {
    if (HWND control = GetDlgItem(setup_.OwnerWindow, item)) EnableWindow(control, enable);
  }
}

}  // namespace kx
