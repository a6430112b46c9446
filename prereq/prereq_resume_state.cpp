#include "prereq/prereq_resume_state.h"

#include <string>

#include "diag/verbose_log.h"

namespace kx::prereq {

namespace {

// The verbose log names the manager as the source of these lines.
constexpr const char* kSource = "SetupPrereqMgr.cpp";

string decimal(int n) {
  return string(std::wstring(std::to_wstring(n)));
}

LONG set_text(HKEY key, const string& name, const string& value) {
  return RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(xchar)));
}

}  // namespace

resume_state::resume_state(const string& id, const string& fingerprint)
    : index_name_(resume_index_name(id)),
      features_name_(resume_features_name(id)),
      fingerprint_name_(resume_fingerprint_name(id)),
      attempts_name_(resume_attempts_name(id)),
      fingerprint_(fingerprint) {}

bool resume_state::open() {
  // The key exists in every profile; creating it keeps a fresh one working.
  HKEY key = nullptr;
  const LONG result = RegCreateKeyExW(HKEY_CURRENT_USER, kResumeKey, 0, nullptr, 0,
                                      KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
  key_.reset(result == ERROR_SUCCESS ? key : nullptr);
  return is_open();
}

bool resume_state::take_features(string& features) {
  if (!key_) return false;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  if (registry_read_bytes(key_.get(), features_name_, type, data) != ERROR_SUCCESS) return false;
  features = registry_read_text_lenient(key_.get(), features_name_);
  RegDeleteValueW(key_.get(), features_name_.c_str());
  return true;
}

int resume_state::take_index() {
  if (!key_) return -1;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  if (registry_read_bytes(key_.get(), index_name_, type, data) != ERROR_SUCCESS) return -1;
  const string stored = registry_read_text_lenient(key_.get(), fingerprint_name_);
  RegDeleteValueW(key_.get(), index_name_.c_str());
  RegDeleteValueW(key_.get(), fingerprint_name_.c_str());
  const std::optional<int> index = parse_resume_index(type, data);
  if (!index) {
    process_verbose_log().log(kSource, __LINE__,
                              L"Ignoring resume value '%s': not a prerequisite index",
                              index_name_.c_str());
    return -1;
  }
  if (stored != fingerprint_) {
    process_verbose_log().log(kSource, __LINE__,
                              L"Ignoring resume value '%s': it was left by another medium",
                              index_name_.c_str());
    RegDeleteValueW(key_.get(), attempts_name_.c_str());
    return -1;
  }
  return *index;
}

bool resume_state::save_index(int n) {
  const LONG result = key_ ? set_text(key_.get(), index_name_, decimal(n)) : ERROR_INVALID_HANDLE;
  const LONG mark = key_ ? set_text(key_.get(), fingerprint_name_, fingerprint_) : result;
  if (result == ERROR_SUCCESS && mark == ERROR_SUCCESS) return true;
  process_verbose_log().log(kSource, __LINE__, L"Could not save resume value '%s', error %d",
                            index_name_.c_str(), result != ERROR_SUCCESS ? result : mark);
  return false;
}

int resume_state::note_attempt(int n) {
  if (!key_) return 1;
  const auto last = parse_resume_attempts(registry_read_text_lenient(key_.get(), attempts_name_));
  const int count = last && last->index == n ? last->count + 1 : 1;
  string text = decimal(n);
  text += KXT(':');
  text += decimal(count);
  set_text(key_.get(), attempts_name_, text);
  return count;
}

bool resume_state::register_restart(const string& command) {
  HKEY key = nullptr;
  LONG result = RegCreateKeyExW(HKEY_CURRENT_USER, kRunOnceKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                                &key, nullptr);
  const registry_key owner(result == ERROR_SUCCESS ? key : nullptr);
  if (owner) result = set_text(owner.get(), kRunOnceValue, command);
  if (result == ERROR_SUCCESS) return true;
  process_verbose_log().log(kSource, __LINE__, L"Could not register the restart entry, error %d",
                            result);
  return false;
}

void resume_state::remove(bool restart_entry) {
  if (!key_) return;
  for (const string* name : {&index_name_, &features_name_, &fingerprint_name_, &attempts_name_})
    RegDeleteValueW(key_.get(), name->c_str());
  if (!restart_entry) return;
  LONG result = 0;
  const registry_key run_once =
      registry_key::open(HKEY_CURRENT_USER, kRunOnceKey, KEY_WRITE, result);
  if (run_once) RegDeleteValueW(run_once.get(), kRunOnceValue);
}

}  // namespace kx::prereq
