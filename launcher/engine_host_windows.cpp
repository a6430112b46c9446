#include "launcher/engine_host_windows.h"

#include "base/exceptions.h"
#include "base/path.h"
#include "launcher/failure_report.h"
#include "launcher/installed_instances.h"
#include "launcher/language.h"
#include "launcher/language_win.h"
#include "launcher/setup.h"
#include "launcher/temp_media.h"
#include "launcher/web_medium.h"
#include "ui/cancel_request.h"
#include "ui/image/splash_window.h"
#include "ui/language_dialog.h"
#include "ui/skin/skin.h"
#include "ui/skin/skin_package_name.h"
#include "ui/splash_wait.h"

namespace kx {

namespace {

// Check sites of the user-interface phase.
constexpr int kSiteSkin = 962;
constexpr int kSiteFrame = 965;
constexpr int kSiteLanguageDialog = 976;
constexpr int kSiteRefresh = 979;
constexpr int kSitePrerequisitesSmall = 986;
constexpr int kSiteSmallProgress = 992;
constexpr int kSiteInstancePage = 1000;
constexpr int kSiteLanguagePage = 1011;
constexpr int kSitePrerequisitesWizard = 1017;
constexpr int kSiteProgressPage = 1030;

// Loads the skin the "Skin" value names from a copy in the temporary folder.
// A value that is no plain path inside the medium, or a package that cannot
// be copied or read, leaves the run without a skin: the templates still
// work, only less dressed.
void LoadNamedSkin(CSetup& setup) {
  const SetupSettings& s = setup.Settings();
  if (s.SkinName.empty()) return;
  const SkinPackageName name = CheckSkinPackageName(s.SkinName);
  if (!name.ok()) return;
  const string target = ensure_trailing_backslash(s.TempFolder) + name.file_name;
  if (FAILED(CopyDisk1FileToTemp(setup, MediumFilePath(s.SourceFolder, name.medium_path), target)))
    return;
  LoadSkin(target, s.TempFolder);
}

}  // namespace

WindowedPreparation::WindowedPreparation(CSetup& setup) : setup_(setup) {}

WindowedPreparation::~WindowedPreparation() {
  Close();
}

bool WindowedPreparation::ShowMediumSplash() {
  const SetupSettings& s = setup_.Settings();
  if (s.HideSplash) return false;
  const std::optional<string> file = FindSplashFile(s.SourceFolder, s.ChosenLanguage);
  if (!file || !ShowSplash(*file)) return false;
  splash_tick_ = GetTickCount();
  return true;
}

void WindowedPreparation::ProgressWindowChanged(HWND window) {
  setup_.OwnerWindow = window;
  display_.Attach(window, setup_.Settings().InstallFromWeb);
}

HRESULT WindowedPreparation::Prepare(CSetup& setup,
                                     const std::function<HRESULT()>& run_prerequisites) {
  SetupSettings& s = setup.Settings();
  // The windows take the run's language, texts and product name from here.
  ShareUiEnvironment(setup);
  WizardOptions options;
  options.languages = s.SupportedLanguages;
  options.setup_ini = s.SetupIniPath;
  options.large_layout = !s.SkinName.empty();
  options.web = s.InstallFromWeb;
  options.language_chosen = [this](std::uint16_t language) {
    setup_.Settings().ChosenLanguage = language;
    ShareUiEnvironment(setup_);
  };
  options.progress_window_changed = [this](HWND window) { ProgressWindowChanged(window); };
  options.instances = s.Instances;
  options.instance_root = InstancesRoot(s);
  options.new_instance_offered = s.InstanceModeAll;
  options.instance_chosen = [this](const string& install_guid) {
    // The chosen instance may have been installed in another language.
    SetupSettings& settings = setup_.Settings();
    settings.InstallGuid = install_guid;
    ResolveRunLanguage(settings);
    ShareUiEnvironment(setup_);
  };
  try {
    LoadNamedSkin(setup);
  } catch (const win32_exception& e) {
    // No free name for the skin's work file: the temporary folder is full
    // of them, which nothing but a hostile medium makes.
    KX_CHECK_STEP(setup, HRESULT_FROM_WIN32(e.code()), kSiteSkin);
  }
  wizard_ = std::make_unique<CWizard>(std::move(options));
  KX_CHECK_STEP(setup, wizard_->Open(), kSiteFrame);
  // The instance choice needs the wizard's pages.
  if (s.OfferInstanceChoice) s.SmallProgress = false;

  if (s.SmallProgress) {
    if (LanguageDialogWanted(s)) {
      std::uint16_t language = s.ChosenLanguage;
      KX_CHECK_STEP(setup, ChooseLanguage(s.SupportedLanguages, s.SetupIniPath, &language),
                    kSiteLanguageDialog);
      s.ChosenLanguage = language;
      ShareUiEnvironment(setup);
      KX_CHECK_STEP(setup, wizard_->Open(), kSiteRefresh);
    }
    KX_CHECK_STEP(setup, run_prerequisites(), kSitePrerequisitesSmall);
    // The splash stays up through the preparation, the small window beside it.
    const bool splash = ShowMediumSplash();
    if (!s.HideProgress) {
      small_ = std::make_unique<SmallProgressWindow>(
          [this](HWND window) { ProgressWindowChanged(window); });
      KX_CHECK_STEP(setup, small_->Create(splash), kSiteSmallProgress);
    }
    return S_OK;
  }

  if (s.OfferInstanceChoice) KX_CHECK_STEP(setup, wizard_->RunInstancePage(), kSiteInstancePage);
  if (LanguageDialogWanted(s)) KX_CHECK_STEP(setup, wizard_->RunLanguagePage(), kSiteLanguagePage);
  KX_CHECK_STEP(setup, run_prerequisites(), kSitePrerequisitesWizard);
  // The wizard's splash has its time to itself and goes before the progress
  // page; the wait keeps the windows answering.
  if (ShowMediumSplash()) {
    const bool cancelled = WaitOutSplash(s.SplashTime, splash_tick_);
    HideSplash(true);
    if (cancelled) {
      TakeCancelRequest();
      KX_CHECK_STEP(setup, kCancelled, kSiteProgressPage);
    }
  }
  if (!s.HideProgress) KX_CHECK_STEP(setup, wizard_->ShowProgressPage(), kSiteProgressPage);
  return S_OK;
}

void WindowedPreparation::StepReached(int percent) {
  display_.StepReached(percent);
}

void WindowedPreparation::BytesTransferred(ULONGLONG done, ULONGLONG expected) {
  display_.BytesTransferred(done, expected, GetTickCount(), setup_.EngineStartTick);
}

void WindowedPreparation::RateChanged(ULONG bytes_per_second) {
  display_.RateChanged(bytes_per_second);
}

void WindowedPreparation::PreparationDone() {
  if (SplashWindow()) WaitOutSplash(setup_.Settings().SplashTime, splash_tick_);
}

void WindowedPreparation::EnginePhase() {
  Close();
}

void WindowedPreparation::Close() {
  HideSplash(true);
  small_.reset();
  if (wizard_) wizard_->Close();
  wizard_.reset();
  display_.Attach(nullptr, false);
}

HWND WindowedPreparation::Window() {
  return display_.window();
}

bool WindowedPreparation::TakeCancelRequest() {
  return kx::TakeCancelRequest();
}

}  // namespace kx
