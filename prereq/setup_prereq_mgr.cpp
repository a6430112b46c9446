#include "prereq/setup_prereq_mgr.h"

#include <algorithm>

#include "base/path.h"
#include "base/payload_names.h"
#include "base/text_format.h"
#include "diag/verbose_log.h"
#include "platform/files.h"
#include "prereq/KxPreReqDlg.h"
#include "prereq/prereq_elevation.h"
#include "prereq/prereq_resume_state.h"
#include "prereq/prereq_run_loop.h"
#include "prereq/setup_prerequisite.h"
#include "resources/resource_ids.h"

namespace kx {

namespace {

constexpr const char* kSource = "SetupPrereqMgr.cpp";
constexpr const xchar* kSection = KXT("KXSetupPrerequisites");

#define KX_MGR_LOG(...) process_verbose_log().log(kSource, __LINE__, __VA_ARGS__)

// A comma-separated list without empty names, sorted.
std::vector<string> feature_list(const string& text) {
  std::vector<string> names;
  string::size_type start = 0;
  while (start <= text.size()) {
    auto end = text.find(KXT(','), start);
    if (end == string::npos) end = text.size();
    if (end > start) names.emplace_back(text.as_view().substr(start, end - start));
    start = end + 1;
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

bool intersects(const std::vector<string>& a, const std::vector<string>& b) {
  for (const string& name : a)
    if (std::binary_search(b.begin(), b.end(), name)) return true;
  return false;
}

}  // namespace

string resume_product_id(CSetupPrereqMgrCallback& callback) {
  const string product = callback.ReadSetupString(KXT("Startup"), KXT("Product"), string());
  if (!product.empty()) return product;
  const SetupSettings& s = callback.Settings();
  return s.ProductGuid.empty() ? s.ProductName : s.ProductGuid;
}

std::vector<string> CSetupPrereqMgr::ReadNames() {
  std::vector<string> names;
  for (int i = 0;; ++i) {
    const string name =
        callback_.ReadSetupString(kSection, FormatText(KXT("PreReq%d"), {i}), string());
    if (name.empty()) break;
    names.push_back(name);
  }
  return names;
}

bool CSetupPrereqMgr::Select(const string& features, bool& needsRights, bool& anyVisible) {
  selection_.clear();
  needsRights = false;
  anyVisible = false;
  const std::vector<string> requested = feature_list(features);
  const SetupSettings& s = callback_.Settings();
  names_ = ReadNames();
  const int resume = callback_.GetResumeIndex();
  for (int i = 0; i < static_cast<int>(names_.size()); ++i) {
    const string& name = names_[static_cast<std::size_t>(i)];
    KX_MGR_LOG(L"Checking setup prerequisite '%s'", name.c_str());
    const string bound =
        callback_.ReadSetupString(kSection, FormatText(KXT("PreReqFeatures%d"), {i}), string());
    if (!bound.empty()) callback_.SetValue(15, KXT("1"), 0);
    if (!requested.empty() || !bound.empty()) {
      if (!intersects(feature_list(bound), requested)) {
        KX_MGR_LOG(L"Features do not match for prerequisite '%s'", name.c_str());
        continue;
      }
      KX_MGR_LOG(L"Features match for prerequisite '%s'", name.c_str());
    } else {
      KX_MGR_LOG(L"Prerequisite '%s' scheduled before feature selection", name.c_str());
    }
    // The name becomes a path below the medium's definition folder.
    if (payload::check_relative_path(name.as_view()) != payload::name_problem::none) {
      KX_MGR_LOG(L"Skipping prerequisite '%s': not a definition name", name.c_str());
      continue;
    }
    const string path = path_join(path_join(s.SourceFolder, KXT("KXSetupPrerequisites")), name);
    CSetupPreRequisite definition(nullptr, nullptr, s, nullptr);
    // A definition that is not there installs nothing; showing it as done
    // (or asking for rights for it) would be wrong.
    if (!definition.Load(path, true, string())) {
      KX_MGR_LOG(L"Skipping prerequisite '%s': definition not found", name.c_str());
      continue;
    }
    if (!definition.ConditionsSatisfied() || i <= resume) {
      KX_MGR_LOG(L"Skipping prerequisite '%s' because it was installed before the reboot",
                 name.c_str());
      continue;
    }
    prereq_selection_entry& entry = selection_[i];
    entry.hidden = definition.IsHidden();
    entry.path = path;
    entry.name = name;
    entry.dependencies = definition.GetDependencies();
    needsRights = needsRights || !definition.Record().lua;
    anyVisible = anyVisible || !entry.hidden;
  }
  return !selection_.empty();
}

int CSetupPrereqMgr::Run(int promptMode, const string& features, bool registerRestart,
                         ULONG* handle) {
  if (handle) *handle = 0;
  KX_MGR_LOG(L"Running setup prerequisites (%s)...", features.c_str());
  if (HWND main = callback_.MainWindow())
    SetDlgItemTextW(main, 1003, callback_.GetString(IDS_EXTRACTING_FILES).c_str());
  const string id = resume_product_id(callback_);
  prereq::resume_state state(
      id, prereq::medium_fingerprint(callback_.Settings().ProductGuid, ReadNames()));
  const bool open = state.open();
  if (features.empty() && open) {
    string saved;
    if (state.take_features(saved)) {
      callback_.SetValue(17, saved, 0);
      KX_MGR_LOG(L"Prerequisites returning %d", 0);
      return 0;
    }
  }
  const int resume = state.take_index();
  if (resume != -1) callback_.SetResumeIndex(resume);

  int result = 0;
  bool needsRights = false, anyVisible = false;
  if (Select(features, needsRights, anyVisible)) {
    const bool needsElevation = prereq::elevation_needed(needsRights);
    if (!needsElevation && !anyVisible && !callback_.QueryFlag(16)) {
      if (!callback_.ShowInitializationDialog()) return 2;
      KX_MGR_LOG(L"Showing initialization dialog for prerequisites.");
    }
    const int shown = Show(promptMode, !anyVisible, needsElevation, state, registerRestart,
                           features, needsRights);
    if (shown == 7) {
      KX_MGR_LOG(L"Prerequisites rebooting");
      return 7;
    }
    // Only a finished run (or one told not to execute) goes on; any other
    // answer, such as an elevated copy's failure code, stops setup.
    result = shown == 0 || shown == 6 ? 0 : 2;
  }
  state.remove(registerRestart);
  KX_MGR_LOG(L"Prerequisites returning %d", result);
  return result;
}

int CSetupPrereqMgr::Show(int promptMode, bool hiddenOnly, bool needsElevation,
                          prereq::resume_state& state, bool registerRestart, const string& features,
                          bool needsRights) {
  KxPreReqDlg dialog(callback_, runner_, state, selection_);
  prereq_show_request request;
  request.prompt_mode = promptMode;
  request.features = features;
  request.hidden_only = hiddenOnly;
  request.needs_rights = needsRights;
  request.needs_elevation = needsElevation;
  request.register_restart = registerRestart;
  return dialog.Show(request);
}

}  // namespace kx
