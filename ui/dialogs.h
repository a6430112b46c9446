// Showing the launcher's dialogs and message boxes: each dialog from a copy
// of its template in the run's language font and reading order, nothing at
// all in a silent run unless the caller insists.
#pragma once

#include <windows.h>

#include "base/stringx.h"

namespace kx {

// Flags of ShowModal, CreateModeless and ShowMessage.
enum ui_flag : unsigned {
  ui_keep_template_font = 1,  // the template keeps its own font
  ui_show_when_silent = 2,    // shown even in a silent run
};

// Runs the dialog of template `id` modally with `owner`, `procedure` and
// `parameter`, and returns its result (0 or -1 when it could not be
// created). In a silent run without ui_show_when_silent nothing is shown
// and `default_result` comes back. A template that cannot be loaded throws
// kx::win32_exception.
INT_PTR ShowModal(UINT id, HWND owner, DLGPROC procedure, LPARAM parameter, INT_PTR default_result,
                  unsigned flags = 0);

// Creates the modeless dialog of template `id`; null when it could not be
// created, or in a silent run without ui_show_when_silent. Throws as
// ShowModal.
HWND CreateModeless(UINT id, HWND parent, DLGPROC procedure, LPARAM parameter, unsigned flags = 0);

// The caption of the wizard and of every dialog: the product's wizard title
// (string 1887 with the product name), or the generic one (string 1815)
// when `force_generic` is set or the product has no name; followed by a
// blank and "Kestrix Wizard" when the text lacks the product word.
string WizardTitle(bool force_generic = false);

// A message box with the wizard title as caption, `style` (MB_* flags) and,
// for a right-to-left language, right-aligned reading order. In a silent
// run without ui_show_when_silent nothing is shown and `default_result`
// comes back.
int ShowMessage(HWND owner, const string& text, UINT style, int default_result, unsigned flags = 0);

// The style ShowMessage shows `style` with: MB_RTLREADING | MB_RIGHT added
// for a right-to-left language.
UINT MessageBoxStyle(UINT style);

}  // namespace kx
