#include "prereq/setup_prerequisite.h"

#include <string>

#include "base/file.h"
#include "base/payload_names.h"
#include "diag/trace_mask.h"
#include "diag/verbose_log.h"
#include "platform/environment.h"

namespace {

constexpr DWORD kReadChunk = 64 * 1024;

// Reads the whole file, but never more than one byte past the definition
// limit: a larger file is refused by the reader without being held.
bool read_definition_bytes(const kx::string& path, std::string& bytes) {
  kx::file_lite file;
  if (!file.open_read(path)) return false;
  bytes.clear();
  std::string chunk(kReadChunk, '\0');
  while (bytes.size() <= kx::prereq::kMaxDefinitionBytes) {
    const long long got = file.read(chunk.data(), kReadChunk);
    if (got < 0) return false;
    if (got == 0) break;
    bytes.append(chunk.data(), static_cast<std::size_t>(got));
  }
  return true;
}

kx::prereq::definition_services services_for(kx::prereq::condition_evaluator& evaluator) {
  kx::prereq::definition_services services;
  services.expand = [](const kx::string& text) { return kx::expand_environment(text); };
  services.mask = [](const kx::string& text) { return kx::mask_url_credentials(text); };
  services.evaluator = &evaluator;
  return services;
}

}  // namespace

CSetupPreRequisite::CSetupPreRequisite(HWND progressWindow, HWND statusWindow,
                                       const kx::SetupSettings& settings, bool* resultFlag)
    : progressWindow(progressWindow),
      statusWindow(statusWindow),
      settings(settings),
      resultFlag(resultFlag),
      output_(traceWindow),
      reader_(&output_, services_for(evaluator_)) {}

bool CSetupPreRequisite::Load(const kx::string& path, bool evaluate,
                              const kx::string& commandLineOverride) {
  reader_.set_evaluate(evaluate);
  // A replacement fetched through AltPrqURL carries the same file name as
  // the definition it replaces, wherever it was downloaded to.
  bool sameDefinition = false;
  if (!reader_.record().altPrqUrl.empty()) {
    sameDefinition = kx::payload::file_name_part(path.as_view()) ==
                     kx::payload::file_name_part(definitionPath.as_view());
  }
  definitionPath = path;
  // A file that exists but cannot be read (locked, a folder) counts as
  // missing: nothing is loaded either way.
  std::string bytes;
  if (!read_definition_bytes(path, bytes)) return false;
  reader_.load_bytes(bytes.data(), bytes.size(), sameDefinition, commandLineOverride, *this);
  if (traceWindow) SendMessageW(traceWindow, WM_VSCROLL, SB_BOTTOM, 0);
  return true;
}

void CSetupPreRequisite::startElement(sax::text_view name, const sax::AttributeList& attributes) {
  reader_.element(name, attributes);
}

void CSetupPreRequisite::Snapshot() {
  reboot_.snapshot();
}

bool CSetupPreRequisite::Check() {
  rebootRequired = reboot_.check(reader_.trace(), reader_.record().ignoreTmpRename);
  return rebootRequired;
}

void CSetupPreRequisite::trace_output::line(const kx::string& finished) {
  kx::verbose_logger& log = kx::process_verbose_log();
  // The line goes in as the entry's text, never as a format: definitions
  // carry '%' in paths and command lines.
  if (log.enabled())
    log.write_entry(finished, kSetupPreRequisiteSource, kSetupPreRequisiteTraceLine);
}

void CSetupPreRequisite::trace_output::progress(const kx::string& so_far, bool finished) {
  if (!window_) return;
  const kx::string shown = finished ? so_far + L"\r\n" : so_far;
  SetWindowTextW(window_, shown.c_str());
}
