// The scope of an in-process Installer run: the Installer's own UI off, and
// its messages shown in the prerequisite dialog's progress bar and status
// text (or routed to a hosting window), with the shared cancel flag
// answered at the next progress record.
#pragma once

#include <windows.h>

#include <cstddef>

#include "prereq/msi_installer.h"
#include "prereq/msi_progress_record.h"

// The longest text taken from one Installer message into a window.
inline constexpr std::size_t kMaxInstallerText = 4096;

class CAutoMsiProgress {
 public:
  // Sets the internal UI level to none and installs the handler for user,
  // action start, action data and progress messages (filter 0x708),
  // remembering what was set before. `msi` must be complete and outlive the
  // object; the windows may be null; `resultFlag` (may be null) is the
  // shared cancel flag. `silent`: no message box is ever shown.
  CAutoMsiProgress(const kx::prereq::msi_functions& msi, HWND progressWindow, HWND statusWindow,
                   const bool* resultFlag, bool rightToLeft, bool silent);
  // Restores the previous handler and UI level and turns logging off.
  virtual ~CAutoMsiProgress();
  CAutoMsiProgress(const CAutoMsiProgress&) = delete;
  CAutoMsiProgress& operator=(const CAutoMsiProgress&) = delete;

  // Told whenever the bar moves; does nothing here.
  virtual void OnProgress(int position, int total) {
    (void)position;
    (void)total;
  }

  // Answers one Installer message (`type` with the message kind in its top
  // byte); the reply the Installer gets.
  int Handle(UINT type, const wchar_t* message);

  // The handler the Installer calls; `context` is the object.
  static int WINAPI Handler(LPVOID context, UINT type, LPCWSTR message);

 private:
  int HandleHooked(UINT kind, const kx::string& text);
  int HandleBox(UINT kind, UINT type, const kx::string& text);
  void HandleProgress(const kx::string& text);
  void Show(const kx::prereq::progress_model::bar& bar);
  void SetStatus(const kx::string& text);
  bool Cancelled() const noexcept { return resultFlag_ && *resultFlag_; }

  const kx::prereq::msi_functions& msi_;
  HWND progressWindow_;
  HWND statusWindow_;
  const bool* resultFlag_;
  bool rightToLeft_;
  bool silent_;
  INSTALLUILEVEL previousLevel_;
  INSTALLUI_HANDLERW previousHandler_;
  kx::prereq::progress_model model_;
};
