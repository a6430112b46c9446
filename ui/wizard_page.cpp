#include "ui/wizard_page.h"

#include "resources/dialog_ids.h"
#include "resources/resource_ids.h"
#include "ui/dialogs.h"
#include "ui/image/image_window.h"
#include "ui/language_font.h"
#include "ui/skin/skin.h"
#include "ui/ui_environment.h"

namespace kx {

namespace {

constexpr const wchar_t* kThisProperty = L"This";
// The product mark is a short word; longer resource texts are cut.
constexpr int kProductMarkLength = 80;

CWizard::page* page_of(HWND window) {
  return static_cast<CWizard::page*>(GetPropW(window, kThisProperty));
}

bool is_header_text(HWND control) {
  const int id = GetDlgCtrlID(control);
  return id == IDC_PAGE_SUBTITLE || id == IDC_PAGE_TITLE || id == IDC_HEADER_BAND;
}

}  // namespace

CWizard::page::page(CWizard& wizard, UINT template_id, const wchar_t* name)
    : wizard_(wizard),
      template_id_(template_id),
      name_(name),
      background_(CreateSolidBrush(GetSysColor(COLOR_WINDOW))) {}

CWizard::page::~page() {
  Destroy();
  if (background_) DeleteObject(background_);
}

void CWizard::page::Destroy() {
  if (window_) DestroyWindow(window_);
  window_ = nullptr;
}

void CWizard::page::Hide() {
  if (window_) ShowWindow(window_, SW_HIDE);
}

HRESULT CWizard::page::Show(int* result) {
  page* current = wizard_.current_page();
  if (current && current != this) current->Hide();
  wizard_.set_current_page(this);
  if (!window_) {
    SetLastError(0);
    // The handle arrives in WM_INITDIALOG already; the return value is the
    // same handle or null.
    if (!CreateModeless(template_id_, wizard_.frame(), Proc, reinterpret_cast<LPARAM>(this)) ||
        !window_) {
      const HRESULT hr = LastWindowError();
      Destroy();
      return hr;
    }
  }
  result_ = kRunning;
  if (wizard_.frame()) {
    ShowWindow(wizard_.frame(), SW_SHOWNORMAL);
    ShowWindow(wizard_.frame(), SW_SHOWNORMAL);
  }
  ShowWindow(window_, SW_SHOWNORMAL);
  OnShown();
  if (!modal_) {
    if (result) *result = result_;
    return S_OK;
  }
  // GetMessage's -1 (a broken queue) ends the loop as a cancel instead of
  // spinning; WM_QUIT is posted again for the loop that owns it.
  while (result_ == kRunning && window_) {
    MSG msg;
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (!IsDialogMessageW(window_, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  if (result) *result = result_ == kRunning ? kCancelled : result_;
  return S_OK;
}

bool CWizard::page::CancelEnabled() const {
  if (!window_) return false;
  HWND cancel = GetDlgItem(window_, IDC_PAGE_CANCEL);
  if (!cancel) cancel = GetDlgItem(window_, IDCANCEL);
  return cancel && IsWindowEnabled(cancel);
}

void CWizard::page::OnCancel() {
  if (!CancelEnabled()) return;
  if (ShowMessage(window_, ui_string(IDS_CONFIRM_CANCEL), MB_YESNO | MB_ICONQUESTION, IDYES) ==
      IDYES)
    result_ = kCancelled;
}

BOOL CWizard::page::OnInitDialog() {
  const std::uint16_t language = ui_environment().language;
  HWND title = GetDlgItem(window_, IDC_PAGE_TITLE);
  if (title) {
    if (HFONT font = wizard_.TitleFont(title, LanguageFontName(language)))
      SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
  if (HWND back = GetDlgItem(window_, IDC_BACK)) {
    SetWindowTextW(back, ui_string(IDS_BUTTON_BACK).c_str());
    EnableWindow(back, wizard_.back_enabled());
  }
  return TRUE;
}

void CWizard::page::OnShown() {
  wizard_.SetTitle(nullptr);
}

void CWizard::page::OnNext() {
  result_ = kNext;
}

bool CWizard::page::OnSysCommand(WPARAM) {
  return false;
}

void CWizard::page::PaintProductMark() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_, &ps);
  HWND marker = GetDlgItem(window_, IDC_PRODUCT_MARK);
  wchar_t text[kProductMarkLength + 1] = {};
  if (dc && marker &&
      LoadStringW(ui_resources(), IDS_PRODUCT_MARK, text, kProductMarkLength + 1) > 0) {
    const int height =
        -MulDiv(LanguageFontSize(ui_environment().language), GetDeviceCaps(dc, LOGPIXELSY), 72);
    HFONT font = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH, L"Tahoma");
    HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    RECT r;
    GetWindowRect(marker, &r);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
    const int saved = SaveDC(dc);
    if (face) FillRect(dc, &ps.rcPaint, face);
    SetBkMode(dc, TRANSPARENT);
    if (font) SelectObject(dc, font);
    const int length = lstrlenW(text);
    // Engraved: a light copy, then the shadow one pixel up and left.
    SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    TextOutW(dc, r.left, r.top, text, length);
    SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
    TextOutW(dc, r.left - 1, r.top - 1, text, length);
    RestoreDC(dc, saved);
    if (font) DeleteObject(font);
    if (face) DeleteObject(face);
  }
  EndPaint(window_, &ps);
}

INT_PTR CALLBACK CWizard::page::Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    page* p = reinterpret_cast<page*>(lparam);
    p->window_ = window;
    SetPropW(window, kThisProperty, p);
    const BOOL result = p->OnInitDialog();
    // Last, over the finished page: the skin cuts its backgrounds from the
    // controls where the page left them.
    SkinWindow(window, p->name().c_str());
    // Then the header picture (or the side picture of the large layout) in
    // place of its placeholder, which the skin leaves alone while its text
    // still names the picture; a page whose picture cannot be loaded goes
    // without.
    ImageWindow::CreateFromPlaceholder(
        window, IDC_IMAGE, GetDlgItem(window, IDC_HEADER_BAND) != nullptr, ui_resources());
    return result;
  }
  page* p = page_of(window);
  if (!p) return FALSE;
  switch (message) {
    case WM_COMMAND:
      // Notifications go on to the dialog's default processing.
      if (HIWORD(wparam) != 0) return FALSE;
      if (LOWORD(wparam) == IDOK) {
        p->OnNext();
      } else if (LOWORD(wparam) == IDCANCEL || LOWORD(wparam) == IDC_PAGE_CANCEL) {
        p->OnCancel();
      } else {
        p->OnCommand(LOWORD(wparam));
      }
      return TRUE;
    case WM_SYSCOMMAND:
      if (p->OnSysCommand(wparam & 0xFFF0)) {
        SetWindowLongPtrW(window, DWLP_MSGRESULT, 0);
        return TRUE;
      }
      return FALSE;
    case WM_CTLCOLORSTATIC:
      if (!is_header_text(reinterpret_cast<HWND>(lparam))) return FALSE;
      SetBkColor(reinterpret_cast<HDC>(wparam), GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<INT_PTR>(p->background_);
    case WM_PAINT:
      p->PaintProductMark();
      return TRUE;
    case WM_DESTROY:
      p->OnDestroy();
      RemovePropW(window, kThisProperty);
      p->window_ = nullptr;
      return FALSE;
    default:
      // Dialog procedures leave what they do not handle to the dialog
      // manager.
      return FALSE;
  }
}

}  // namespace kx
