#include "tests/testing/probe_support.h"

// After windows.h, which it needs.
#include <tlhelp32.h>

#include <set>

#include "tests/testing/probe_location.h"
#include "tests/testing/scoped_temp_dir.h"

namespace kx::testing {

namespace {

std::wstring from_utf8(const std::string& s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
  return out;
}

// Image names of the running processes by id.
std::map<DWORD, std::wstring> RunningImages() {
  std::map<DWORD, std::wstring> images;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return images;
  PROCESSENTRY32W e{};
  e.dwSize = sizeof e;
  for (BOOL ok = Process32FirstW(snap, &e); ok; ok = Process32NextW(snap, &e))
    images[e.th32ProcessID] = e.szExeFile;
  CloseHandle(snap);
  return images;
}

}  // namespace

std::wstring ProbePath() {
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring beside(self, n < MAX_PATH ? n : 0);
  beside.erase(beside.find_last_of(L'\\') + 1);
  beside += L"kx_probe.exe";
  if (GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES) return beside;
  return BuildMachinePath(KX_PROBE_BUILD_PATH);
}

std::vector<ProbeRecord> ReadProbeLog(const std::wstring& log_file) {
  std::vector<ProbeRecord> records;
  const std::string text = ReadBytes(log_file);
  ProbeRecord current;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    if (line == "end") {
      records.push_back(current);
      current.clear();
      continue;
    }
    const size_t eq = line.find('=');
    if (eq != std::string::npos) current[line.substr(0, eq)] = from_utf8(line.substr(eq + 1));
  }
  return records;
}

std::vector<ProbeRecord> ProbeRuns(const std::wstring& log_file) {
  std::vector<ProbeRecord> runs;
  for (const ProbeRecord& r : ReadProbeLog(log_file))
    if (r.count("cmdline")) runs.push_back(r);
  return runs;
}

DWORD ProbePid(const ProbeRecord& record) {
  auto it = record.find("pid");
  return it == record.end() ? 0 : static_cast<DWORD>(std::stoul(it->second));
}

bool ProbeExited(const std::wstring& log_file, DWORD pid) {
  for (const ProbeRecord& r : ReadProbeLog(log_file))
    if (r.count("exit") && ProbePid(r) == pid) return true;
  return false;
}

std::vector<ProbeRecord> WaitForProbeRuns(const std::wstring& log_file, size_t n) {
  std::vector<ProbeRecord> runs = ProbeRuns(log_file);
  for (int i = 0; i < 1500 && runs.size() < n; ++i) {
    Sleep(20);
    runs = ProbeRuns(log_file);
  }
  return runs;
}

void EndLoggedProbes(const std::wstring& log_file, const std::vector<std::wstring>& image_names) {
  std::set<DWORD> killed;
  size_t seen = 0;
  for (int round = 0, quiet = 0; round < 200 && quiet < 5; ++round) {
    const std::vector<ProbeRecord> records = ReadProbeLog(log_file);
    std::set<DWORD> ids, exited;
    for (const ProbeRecord& r : records) {
      if (r.count("exit")) exited.insert(ProbePid(r));
      if (ProbePid(r)) ids.insert(ProbePid(r));
      auto child = r.find("child");
      if (child != r.end()) ids.insert(static_cast<DWORD>(std::stoul(child->second)));
    }
    const std::map<DWORD, std::wstring> images = RunningImages();
    bool acted = false;
    for (DWORD id : ids) {
      if (exited.count(id) || killed.count(id)) continue;
      auto image = images.find(id);
      if (image == images.end()) continue;
      for (const std::wstring& name : image_names) {
        if (_wcsicmp(image->second.c_str(), name.c_str()) != 0) continue;
        killed.insert(id);
        KillProcess(id);
        acted = true;
      }
    }
    quiet = (acted || records.size() != seen) ? 0 : quiet + 1;
    seen = records.size();
    Sleep(50);
  }
}

bool ProcessRunning(DWORD id) {
  HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, id);
  if (!h) return false;
  const bool running = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
  CloseHandle(h);
  return running;
}

bool KillProcess(DWORD id) {
  HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
  if (!h) return !ProcessRunning(id);
  TerminateProcess(h, 1);
  const bool gone = WaitForSingleObject(h, 10000) == WAIT_OBJECT_0;
  CloseHandle(h);
  return gone;
}

}  // namespace kx::testing
