#include "tests/testing/http_server_log.h"

#include <windows.h>

#include <sstream>

#include "tests/testing/scoped_temp_dir.h"

namespace kx::testing {

namespace {

std::vector<std::string> log_lines() {
  std::istringstream in(ReadBytes(HttpServerFile(L"requests.jsonl")));
  std::vector<std::string> out;
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

}  // namespace

std::wstring HttpServerFile(const wchar_t* name) {
  wchar_t dir[1024] = {};
  const DWORD n = GetEnvironmentVariableW(L"KX_HTTP_SERVER_DIR", dir, ARRAYSIZE(dir));
  if (n == 0 || n >= ARRAYSIZE(dir)) return {};
  std::wstring path(dir);
  path += L"/";
  path += name;
  return BuildMachinePath(path);
}

std::wstring HttpServerPort(const wchar_t* port_file) {
  const std::string port = ReadBytes(HttpServerFile(port_file));
  return std::wstring(port.begin(), port.end());
}

std::vector<std::string> HttpServerRequests(const std::string& tag) {
  std::string marker = "t=";
  marker += tag;
  std::vector<std::string> out;
  // The tag ends the path, or another query item follows it.
  for (const std::string& line : log_lines())
    if (line.find(marker + '"') != std::string::npos ||
        line.find(marker + '&') != std::string::npos)
      out.push_back(line);
  return out;
}

std::size_t HttpServerConnections(const std::string& listener) {
  std::size_t n = 0;
  for (const std::string& line : log_lines())
    if (LogField(line, "event") == "connect" && LogField(line, "listener") == listener) ++n;
  return n;
}

std::string LogField(const std::string& line, const std::string& name) {
  std::string key = "\"";
  key += name;
  key += "\": ";
  const std::size_t at = line.find(key);
  if (at == std::string::npos) return {};
  const std::size_t start = at + key.size();
  if (line.compare(start, 4, "null") == 0) return "null";
  if (line[start] != '"') {
    const std::size_t end = line.find_first_of(",}", start);
    return line.substr(start, end - start);
  }
  const std::size_t end = line.find('"', start + 1);
  return line.substr(start + 1, end - start - 1);
}

std::string ServerBody(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 251) % 256);
  return s;
}

}  // namespace kx::testing
