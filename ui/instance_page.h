// The instance page: the product's installed instances by name and folder,
// to pick the one to maintain or, where the setup offers it, to install a
// new instance beside them.
#pragma once

#include <windows.h>

#include "base/stringx.h"
#include "ui/wizard.h"
#include "ui/wizard_page.h"

namespace kx {

class CWizard::instance_page : public CWizard::page {
 public:
  // Takes its template from the wizard's options: the variant with the
  // new-instance choice when new_instance_offered, in the large layout when
  // large_layout.
  explicit instance_page(CWizard& wizard);

  // What Next chose: the entry name of the instance to maintain, or empty
  // for a new instance.
  const string& chosen() const { return chosen_; }

 protected:
  // Texts, radio buttons, and one row for each instance whose entry has a
  // display name (its item data is the instance's index in the options'
  // list, so skipped instances keep the indices of the others); the first
  // row is selected.
  BOOL OnInitDialog() override;
  // The new-instance radio button disables the list, the other enables and
  // focuses it.
  void OnCommand(int id) override;
  // With "maintain" checked: the instance of the selected row, the first
  // instance when no row (or no valid one) is selected. Otherwise empty.
  void OnNext() override;

 private:
  string chosen_;
};

}  // namespace kx
