#include "prereq/setup_prerequisite_run.h"

#include <algorithm>
#include <array>

#include "prereq/numbers.h"

namespace kx::prereq {

namespace {

constexpr std::uint32_t kSuccess = 0;
constexpr std::uint32_t kUserExit = 1602;
constexpr std::uint32_t kAlreadyRunning = 1618;
constexpr std::uint32_t kAnotherVersion = 1638;
constexpr std::uint32_t kRebootInitiated = 1641;
constexpr std::uint32_t kRebootRequired = 3010;

string decimal(std::uint32_t value) {
  string digits;
  do {
    digits.insert(digits.begin(), xchar(xchar('0') + value % 10));
    value /= 10;
  } while (value != 0);
  return digits;
}

bool is_installer_reboot(std::uint32_t code) {
  return code == kRebootInitiated || code == kRebootRequired;
}

}  // namespace

const xchar* reboot_match_text(std::uint32_t rebootBehavior) noexcept {
  switch (rebootBehavior) {
    case 1:
      return KXT("Exit Code Match -- Exiting Now");
    case 4:
      return KXT("Exit Code Match -- Reboot Ignored");
    case 32:
      return KXT("Exit Code Match -- Rebooting Later");
    default:
      return KXT("Exit Code Match -- Rebooting Now");
  }
}

bool is_reboot_return_code(const string& codes, std::uint32_t code) {
  const std::vector<std::uint32_t> listed =
      parse_number_list(sax::text_view(codes.data(), codes.size()), xchar(','));
  return std::find(listed.begin(), listed.end(), code) != listed.end();
}

run_result judge_exit_code(const exit_code_facts& facts, launch_state state) {
  run_result result;
  result.exitCode = facts.code;
  result.started = state == launch_state::started;
  if (state == launch_state::not_started) {
    result.verdict = run_verdict::failed;
    return result;
  }
  if (state == launch_state::nothing_to_run) {
    result.verdict = run_verdict::installed;
    result.judgeByConditions = facts.hasConditions;
    return result;
  }
  if (facts.installerStayedBusy) {
    result.installerBusy = true;
    result.verdict = run_verdict::failed;
    return result;
  }
  const bool msi = facts.kind == package_kind::msi;
  const bool listed = facts.rebootReturnCodes.empty()
                          ? msi && is_installer_reboot(facts.code)
                          : is_reboot_return_code(facts.rebootReturnCodes, facts.code);
  if (listed || facts.rebootScheduled || (msi && is_installer_reboot(facts.code))) {
    result.verdict = run_verdict::reboot_needed;
    result.rebootRequired = true;
    return result;
  }
  if (msi && facts.code == kUserExit) {
    result.userCancelled = true;
    result.verdict = facts.optional ? run_verdict::cancelled_optional : run_verdict::failed;
    return result;
  }
  if (msi && facts.code == kAlreadyRunning) {
    result.installerBusy = true;
    result.verdict = run_verdict::failed;
    return result;
  }
  // The Installer's codes mean what they say; an EXE's code is only a
  // hint, so without conditions to look at it is taken as installed.
  if (msi && facts.code != kSuccess && facts.code != kAnotherVersion && !facts.hasConditions) {
    result.verdict = run_verdict::failed;
    return result;
  }
  result.verdict = run_verdict::installed;
  result.judgeByConditions = facts.hasConditions;
  return result;
}

string expand_command_line(const string& text, const expansion_values& values) {
  if (text.empty()) return text;
  const std::array<std::pair<string::view, string>, 4> tokens = {{
      {KXT("[ProductLanguage]"), decimal(values.productLanguage)},
      {KXT("[SETUPEXENAME]"), values.setupExeName},
      {KXT("[SETUPEXEDIR]"), values.setupExeDir},
      {KXT("[KXPREREQDIR]"), values.prereqDir},
  }};
  string out;
  string::size_type at = 0;
  while (at < text.size()) {
    bool replaced = false;
    if (text[at] == xchar('[')) {
      const string::view rest = text.as_view().substr(at);
      for (const auto& [token, value] : tokens) {
        if (rest.substr(0, token.size()) == token) {
          out += value;
          at += token.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += text[at++];
  }
  return out;
}

}  // namespace kx::prereq
