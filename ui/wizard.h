// The launcher's own small wizard: one frame window that hosts one page at
// a time (the instance page, the language page, the progress page), built
// from the dialog templates in the run's language font and reading order.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/stringx.h"

namespace kx {

// What the wizard needs from its run.
struct WizardOptions {
  // The languages the setup offers (any order).
  std::vector<std::uint16_t> languages;
  // setup.ini, which may name the languages (LanguageDisplayName).
  string setup_ini;
  // The 460x305 templates (a skin is in use) instead of the 332x218 ones.
  bool large_layout = false;
  // The installation comes from the web: the progress page shows time and
  // rate.
  bool web = false;
  // The user chose `language` on the language page; the run takes it as its
  // language (and refreshes the UI environment) before the frame reopens.
  std::function<void(std::uint16_t language)> language_chosen;
  // The progress page's window came (non-null) or went (null).
  std::function<void(HWND window)> progress_window_changed;
  // The instance page: the product's installed instances (uninstall entry
  // names) in detection order, the root the detection found them under
  // (their names are read from there), and whether installing a new
  // instance is offered beside them.
  std::vector<string> instances;
  HKEY instance_root = HKEY_LOCAL_MACHINE;
  bool new_instance_offered = false;
  // The user chose on the instance page: the instance to maintain, or empty
  // for a new one; the run takes it (and chooses its language again) before
  // the frame reopens.
  std::function<void(const string& install_guid)> instance_chosen;
};

class CWizard {
 public:
  class page;
  class language_page;
  class instance_page;
  class progress_page;

  explicit CWizard(WizardOptions options);
  ~CWizard();
  CWizard(const CWizard&) = delete;
  CWizard& operator=(const CWizard&) = delete;

  // (Re)creates the frame with the title of the current language, destroying
  // the old frame and the pages in it. S_OK, or the failure as HRESULT
  // (E_UNEXPECTED when Windows gives no reason). In a silent run no window
  // is created and the result is S_OK.
  HRESULT Open();

  // Runs the language page until Next or a confirmed cancel. Next: the
  // selected language goes to language_chosen and the frame reopens (S_OK);
  // otherwise 0x80042000.
  HRESULT RunLanguagePage();

  // Runs the instance page until Next or a confirmed cancel. Next: the
  // chosen instance goes to instance_chosen and the frame reopens (S_OK);
  // otherwise 0x80042000.
  HRESULT RunInstancePage();

  // Shows the progress page and returns at once.
  HRESULT ShowProgressPage();

  // The frame's caption: `text`, or the wizard title when null.
  void SetTitle(const wchar_t* text);

  // Destroys the progress page's window (the page itself stays).
  void CloseProgressPage();

  // Destroys the frame and every page window.
  void Close();

  HWND frame() const { return frame_; }
  HWND progress_window() const;
  const WizardOptions& options() const { return options_; }
  bool large_layout() const { return options_.large_layout; }
  bool back_enabled() const { return back_enabled_; }
  // The bold font of the page titles for the language face `face`, made on
  // first use and again when the face changes.
  HFONT TitleFont(HWND title_control, const string& face);
  // The page shown last, or null.
  page* current_page() const { return current_; }
  void set_current_page(page* p) { current_ = p; }

 private:
  static INT_PTR CALLBACK FrameProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  WizardOptions options_;
  HWND frame_ = nullptr;
  string title_;
  bool back_enabled_ = false;
  HFONT title_font_ = nullptr;
  string title_face_;
  page* current_ = nullptr;
  std::unique_ptr<language_page> language_;
  std::unique_ptr<instance_page> instance_;
  std::unique_ptr<progress_page> progress_;
};

// The HRESULT of a window that could not be made: the last Win32 error, or
// E_UNEXPECTED when there is none.
HRESULT LastWindowError();

// The result code of a run the user cancelled.
inline constexpr HRESULT kUserCancelled = static_cast<HRESULT>(0x80042000);

}  // namespace kx
