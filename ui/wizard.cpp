#include "ui/wizard.h"

#include "resources/dialog_ids.h"
#include "ui/dialogs.h"
#include "ui/instance_page.h"
#include "ui/ui_environment.h"
#include "ui/window_layout.h"
#include "ui/wizard_page.h"

namespace kx {

namespace {

constexpr const wchar_t* kThisProperty = L"This";
// LOGFONT's face field holds this many characters with its terminator.
constexpr size_t kFaceLength = LF_FACESIZE - 1;

}  // namespace

HRESULT LastWindowError() {
  const DWORD error = GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_UNEXPECTED;
}

CWizard::CWizard(WizardOptions options)
    : options_(std::move(options)),
      language_(std::make_unique<language_page>(*this)),
      instance_(std::make_unique<instance_page>(*this)),
      progress_(std::make_unique<progress_page>(*this)) {}

CWizard::~CWizard() {
  Close();
  language_.reset();
  instance_.reset();
  progress_.reset();
  if (title_font_) DeleteObject(title_font_);
}

void CWizard::Close() {
  // The pages are the frame's children and go with it.
  if (frame_) DestroyWindow(frame_);
  frame_ = nullptr;
  language_->Destroy();
  instance_->Destroy();
  progress_->Destroy();
  current_ = nullptr;
}

HRESULT CWizard::Open() {
  title_ = WizardTitle(false);
  SetTitle(nullptr);
  if (ui_environment().silent) return S_OK;
  if (frame_) DestroyWindow(frame_);
  frame_ = nullptr;
  SetLastError(0);
  HWND frame = CreateModeless(large_layout() ? IDD_LARGE_WIZARD_FRAME : IDD_WIZARD_FRAME, nullptr,
                              FrameProc, reinterpret_cast<LPARAM>(this));
  if (!frame) return LastWindowError();
  frame_ = frame;
  SetForegroundWindow(frame_);
  return S_OK;
}

HRESULT CWizard::RunLanguagePage() {
  int result = page::kRunning;
  const HRESULT hr = language_->Show(&result);
  if (FAILED(hr)) return hr;
  if (result != page::kNext) return kUserCancelled;
  if (options_.language_chosen) options_.language_chosen(language_->selected());
  return Open();
}

HRESULT CWizard::ShowProgressPage() {
  int result = page::kRunning;
  return progress_->Show(&result);
}

void CWizard::CloseProgressPage() {
  if (current_ == progress_.get()) current_ = nullptr;
  progress_->Destroy();
}

HWND CWizard::progress_window() const {
  return progress_->window();
}

void CWizard::SetTitle(const wchar_t* text) {
  if (frame_) SetWindowTextW(frame_, text ? text : title_.c_str());
}

HFONT CWizard::TitleFont(HWND title_control, const string& face) {
  if (title_font_ && face == title_face_) return title_font_;
  LOGFONTW lf = {};
  HFONT current = reinterpret_cast<HFONT>(SendMessageW(title_control, WM_GETFONT, 0, 0));
  if (!current || GetObjectW(current, sizeof(lf), &lf) == 0)
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
  lf.lfWeight = FW_BOLD;
  const size_t n = face.size() < kFaceLength ? face.size() : kFaceLength;
  face.copy(lf.lfFaceName, n);
  lf.lfFaceName[n] = L'\0';
  HFONT font = CreateFontIndirectW(&lf);
  if (!font) return title_font_;
  if (title_font_) DeleteObject(title_font_);
  title_font_ = font;
  title_face_ = face;
  return title_font_;
}

INT_PTR CALLBACK CWizard::FrameProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    CWizard* wizard = reinterpret_cast<CWizard*>(lparam);
    wizard->frame_ = window;
    SetPropW(window, kThisProperty, wizard);
    CenterWindow(window, nullptr);
    wizard->SetTitle(nullptr);
    return TRUE;
  }
  CWizard* wizard = static_cast<CWizard*>(GetPropW(window, kThisProperty));
  if (!wizard) return FALSE;
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      page* current = wizard->current_;
      // Enter ends up here too: the dialog manager sends it to the frame,
      // the outermost dialog, whose page has the Next button.
      if (HIWORD(wparam) == 0 && id == IDOK && current && current->window()) {
        HWND next = GetDlgItem(current->window(), IDOK);
        if (next && IsWindowEnabled(next))
          SendMessageW(current->window(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(next));
        return TRUE;
      }
      if (HIWORD(wparam) != 0 || (id != IDCANCEL && id != IDC_PAGE_CANCEL)) return FALSE;
      // The close box and Escape end up here: the page decides, and a page
      // whose Cancel is disabled ignores them.
      if (current && current->window() && current->CancelEnabled())
        SendMessageW(current->window(), WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
      return TRUE;
    }
    case WM_INITMENU: {
      HMENU menu = reinterpret_cast<HMENU>(wparam);
      EnableMenuItem(menu, SC_MAXIMIZE, MF_BYCOMMAND | MF_GRAYED);
      EnableMenuItem(menu, SC_SIZE, MF_BYCOMMAND | MF_GRAYED);
      return TRUE;
    }
    case WM_DESTROY:
      RemovePropW(window, kThisProperty);
      if (wizard->frame_ == window) wizard->frame_ = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace kx
