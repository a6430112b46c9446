#include "prereq/msi_progress.h"

#include <commctrl.h>

#include "ui/dialogs.h"

namespace {

constexpr DWORD kHandledMessages = INSTALLLOGMODE_USER | INSTALLLOGMODE_ACTIONSTART |
                                   INSTALLLOGMODE_ACTIONDATA | INSTALLLOGMODE_PROGRESS;

// The command code a hosting window receives for each message kind.
WORD hook_code(UINT kind) {
  switch (kind) {
    case INSTALLMESSAGE_FATALEXIT:
      return 9;
    case INSTALLMESSAGE_ERROR:
      return 10;
    case INSTALLMESSAGE_WARNING:
      return 11;
    case INSTALLMESSAGE_USER:
      return 12;
    case INSTALLMESSAGE_INFO:
      return 13;
    case INSTALLMESSAGE_FILESINUSE:
      return 14;
    case INSTALLMESSAGE_RESOLVESOURCE:
      return 15;
    case INSTALLMESSAGE_RMFILESINUSE:
      return 16;
    case INSTALLMESSAGE_OUTOFDISKSPACE:
      return 17;
    case INSTALLMESSAGE_ACTIONSTART:
      return 18;
    case INSTALLMESSAGE_ACTIONDATA:
      return 19;
    case INSTALLMESSAGE_PROGRESS:
      return 20;
    case INSTALLMESSAGE_COMMONDATA:
      return 21;
    default:
      return 0;
  }
}

// Lets the dialog paint and take clicks between Installer messages.
void pump_pending_messages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

kx::string decimal_text(std::int32_t value) {
  wchar_t digits[16];
  wsprintfW(digits, L"%d", value);
  return kx::string(digits);
}

}  // namespace

CAutoMsiProgress::CAutoMsiProgress(const kx::prereq::msi_functions& msi, HWND progressWindow,
                                   HWND statusWindow, const bool* resultFlag, bool rightToLeft,
                                   bool silent)
    : msi_(msi),
      progressWindow_(progressWindow),
      statusWindow_(statusWindow),
      resultFlag_(resultFlag),
      rightToLeft_(rightToLeft),
      silent_(silent) {
  previousLevel_ = msi_.setInternalUI(INSTALLUILEVEL_NONE, nullptr);
  previousHandler_ = msi_.setExternalUI(&CAutoMsiProgress::Handler, kHandledMessages, this);
}

CAutoMsiProgress::~CAutoMsiProgress() {
  msi_.setExternalUI(previousHandler_, 0, nullptr);
  msi_.setInternalUI(previousLevel_, nullptr);
  msi_.enableLog(0, nullptr, 0);
}

int WINAPI CAutoMsiProgress::Handler(LPVOID context, UINT type, LPCWSTR message) {
  return static_cast<CAutoMsiProgress*>(context)->Handle(type, message);
}

int CAutoMsiProgress::Handle(UINT type, const wchar_t* message) {
  const UINT kind = type & 0xFF000000u;
  kx::string text = message ? kx::string(message) : kx::string();
  if (text.size() > kMaxInstallerText) text.resize(kMaxInstallerText);
  pump_pending_messages();
  if (progressWindow_ && progressWindow_ == statusWindow_) return HandleHooked(kind, text);
  switch (kind) {
    case INSTALLMESSAGE_ERROR:
    case INSTALLMESSAGE_WARNING:
    case INSTALLMESSAGE_USER:
      return HandleBox(kind, type, text);
    case INSTALLMESSAGE_ACTIONSTART:
      SetStatus(kx::prereq::action_start_text(text.as_view(), kMaxInstallerText));
      model_.action_start();
      return 0;
    case INSTALLMESSAGE_ACTIONDATA:
      if (!model_.has_total()) return 0;
      if (!text.empty()) SetStatus(text);
      Show(model_.action_data());
      return 0;
    case INSTALLMESSAGE_PROGRESS:
      HandleProgress(text);
      return Cancelled() ? IDCANCEL : 0;
    default:
      return 0;
  }
}

int CAutoMsiProgress::HandleHooked(UINT kind, const kx::string& text) {
  const HWND host = progressWindow_;
  if (kind == INSTALLMESSAGE_PROGRESS) {
    const kx::prereq::progress_record record = kx::prereq::parse_progress_record(text.as_view());
    for (std::size_t i = 0; i < record.count; ++i) {
      const kx::string field = decimal_text(record.field[i]);
      SendMessageW(host, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(field.c_str()));
    }
  } else if (kind == INSTALLMESSAGE_ACTIONSTART) {
    const std::size_t at = text.find(L". ");
    const kx::string after = at == kx::string::npos ? kx::string() : text.substr(at + 2);
    SendMessageW(host, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(after.c_str()));
    SendMessageW(host, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  } else {
    SendMessageW(host, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  return static_cast<int>(SendMessageW(host, WM_COMMAND, MAKEWPARAM(hook_code(kind), 0), 0));
}

int CAutoMsiProgress::HandleBox(UINT kind, UINT type, const kx::string& text) {
  // A box nobody can see would hold an unattended run forever; the
  // Installer takes 0 as "decide yourself".
  if (silent_) return 0;
  UINT style = type & 0x00FFFFFFu;
  if ((style & 0xF0u) == 0) {
    style |= kind == INSTALLMESSAGE_ERROR     ? MB_ICONERROR
             : kind == INSTALLMESSAGE_WARNING ? MB_ICONWARNING
                                              : MB_ICONINFORMATION;
  }
  if (rightToLeft_) style |= MB_RTLREADING | MB_RIGHT;
  const HWND owner = progressWindow_ ? GetParent(progressWindow_) : nullptr;
  return kx::ShowMessage(owner, text, style, 0);
}

void CAutoMsiProgress::HandleProgress(const kx::string& text) {
  Show(model_.apply(kx::prereq::parse_progress_record(text.as_view())));
}

void CAutoMsiProgress::Show(const kx::prereq::progress_model::bar& bar) {
  if (!bar.setRange && !bar.setPosition && !bar.setStep && !bar.stepIt) return;
  if (progressWindow_) {
    if (bar.setRange) SendMessageW(progressWindow_, PBM_SETRANGE32, 0, bar.total);
    if (bar.setStep) SendMessageW(progressWindow_, PBM_SETSTEP, static_cast<WPARAM>(bar.step), 0);
    if (bar.stepIt) SendMessageW(progressWindow_, PBM_STEPIT, 0, 0);
    if (bar.setPosition)
      SendMessageW(progressWindow_, PBM_SETPOS, static_cast<WPARAM>(bar.position), 0);
  }
  OnProgress(model_.position(), model_.total());
}

void CAutoMsiProgress::SetStatus(const kx::string& text) {
  if (statusWindow_) SetWindowTextW(statusWindow_, text.c_str());
}
