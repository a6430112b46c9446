// What the prerequisite run shows while it works: each visible
// prerequisite's row, the status line, the progress of a running package
// and its download, and the questions it asks. The prerequisite dialog is
// one; a run without a window has a view that only asks its questions.
#pragma once

#include <windows.h>

#include "base/stringx.h"

namespace kx::prereq {

class download_progress;

class run_view {
 public:
  virtual ~run_view() = default;

  // The prerequisite of setup.ini index `index` is now in the state of
  // status word `status` (an IDS_PREREQ_* string id). Hidden prerequisites
  // have no row; the view ignores them.
  virtual void row_status(int index, UINT status) = 0;

  // The status line under the list now reads `text`.
  virtual void status_text(const string& text) = 0;

  // The package of prerequisite `name` starts running (true) or has ended
  // (false). `own_progress`: it draws its own progress into
  // progress_window (an in-process Installer run); otherwise the view shows
  // progress that has no end. While a package runs, Cancel only asks to
  // stop after it.
  virtual void package_running(const string& name, bool running, bool own_progress) = 0;

  // A question or notice (MB_* style, owned by the view's window); the
  // button pressed. Silent runs never get here for a question.
  virtual int message(const string& text, UINT style) = 0;

  // The windows a running package draws its progress and status into;
  // null when there are none.
  virtual HWND progress_window() = 0;
  virtual HWND status_window() = 0;

  // Where the downloads of the current prerequisite report to; null when
  // nothing shows them.
  virtual download_progress* downloads() = 0;
};

}  // namespace kx::prereq
