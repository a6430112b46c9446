// Finding and reading kx_probe.exe, the stand-in child process of the tests
// (its switches are described in tests/testing/probe.cpp).
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace kx::testing {

// The full Windows path of kx_probe.exe: the copy beside the running test
// program when there is one, else the one the build produced (its Linux path
// seen through Wine's Z: drive).
std::wstring ProbePath();

// One record in a probe log: "pid", "parent", "cmdline", "cwd", "child",
// "exit" mapped to their texts (UTF-8 decoded).
using ProbeRecord = std::map<std::string, std::wstring>;

// Every record in the log file, in the order written; empty when the file
// cannot be read.
std::vector<ProbeRecord> ReadProbeLog(const std::wstring& log_file);

// The start records (those with a command line) in the order the runs
// started; a probe logs its start before it spawns its child.
std::vector<ProbeRecord> ProbeRuns(const std::wstring& log_file);

// The process id of a record (0 when it has none).
DWORD ProbePid(const ProbeRecord& record);

// True when the log holds the exit record of the probe `pid`.
bool ProbeExited(const std::wstring& log_file, DWORD pid);

// Waits (up to 30 s) until the log holds at least `n` start records, and
// returns them.
std::vector<ProbeRecord> WaitForProbeRuns(const std::wstring& log_file, size_t n);

// Ends every probe in the log that has not logged its exit (exit code 1)
// and waits for it to go, until the log stays unchanged for a while: what a
// test started must not outlive it, since CTest waits for every process that
// holds the test's output. Each process is killed at most once and only
// while it still runs under a probe's image name (`image_names`,
// compared without regard to case).
void EndLoggedProbes(const std::wstring& log_file, const std::vector<std::wstring>& image_names);

// True while a process with the id `id` exists and has not ended.
bool ProcessRunning(DWORD id);

// Ends the process `id` (exit code 1) and waits for it; true when it is gone.
bool KillProcess(DWORD id);

}  // namespace kx::testing
