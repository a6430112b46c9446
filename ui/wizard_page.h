// The wizard's pages: modeless child dialogs of the frame, one shown at a
// time. A modal page runs its own message loop until it has a result.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/stringx.h"
#include "ui/wizard.h"

namespace kx {

class CWizard::page {
 public:
  // Results of a page.
  static constexpr int kRunning = 0;
  static constexpr int kNext = 1;
  static constexpr int kCancelled = 2;
  static constexpr int kProgressCancelled = 9;

  page(CWizard& wizard, UINT template_id, const wchar_t* name);
  virtual ~page();
  page(const page&) = delete;
  page& operator=(const page&) = delete;

  // Hides the current page, creates this page's window when it has none
  // and shows it. The modal pages then wait for their result (2 when the
  // thread's message loop ends first). S_OK, or the creation failure.
  virtual HRESULT Show(int* result);
  void Hide();
  void Destroy();

  HWND window() const { return window_; }
  int result() const { return result_; }
  const string& name() const { return name_; }

  // Whether the page's Cancel (control 9, else the hidden 2) is enabled:
  // while it is disabled, no way of cancelling may reach OnCancel.
  bool CancelEnabled() const;

  // A cancel asked for by the page's buttons, the frame's close box or
  // Escape: ignored while Cancel is disabled; otherwise asks the user and
  // on Yes sets the result to 2.
  virtual void OnCancel();

 protected:
  virtual BOOL OnInitDialog();
  virtual void OnShown();
  virtual void OnNext();
  // A button of the page other than Next and Cancel was pressed.
  virtual void OnCommand(int) {}
  virtual void OnDestroy() {}
  virtual bool OnSysCommand(WPARAM command);

  CWizard& wizard_;
  int result_ = kRunning;

 private:
  static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void PaintProductMark();

  UINT template_id_;
  string name_;
  HWND window_ = nullptr;
  HBRUSH background_ = nullptr;
  bool modal_ = false;

 protected:
  void set_modal() { modal_ = true; }
};

class CWizard::language_page : public CWizard::page {
 public:
  explicit language_page(CWizard& wizard);
  std::uint16_t selected() const { return selected_; }

 protected:
  BOOL OnInitDialog() override;
  void OnNext() override;

 private:
  std::uint16_t selected_ = 0;
};

class CWizard::progress_page : public CWizard::page {
 public:
  explicit progress_page(CWizard& wizard);
  void OnCancel() override;

 protected:
  BOOL OnInitDialog() override;
  void OnShown() override;
  void OnDestroy() override;
  bool OnSysCommand(WPARAM command) override;
};

}  // namespace kx
