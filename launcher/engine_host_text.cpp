#include "launcher/engine_host_text.h"

#include <string>

#include "base/string_win.h"
#include "launcher/setup_settings.h"

namespace kx {

string EngineArgumentText(const SetupSettings& s) {
  string text = s.CommandLineArguments;
  text += format(L" -sel_lang%04x", static_cast<unsigned>(s.ChosenLanguage));
  if (s.InstallFromWeb) text += L" -internet";
  return text;
}

LONG EnginePlatformFlags(WORD native_architecture) {
  switch (native_architecture) {
    case PROCESSOR_ARCHITECTURE_IA64:
      return 0x400;
    case PROCESSOR_ARCHITECTURE_AMD64:
    // ARM64 Windows runs x64 programs, and the engine knows no flag of its
    // own for it.
    case PROCESSOR_ARCHITECTURE_ARM64:
      return 0x800;
    default:
      return 0x1000;
  }
}

string FolderWithoutBackslash(const string& folder) {
  string out = folder;
  while (out.size() > 3 && out.back() == L'\\') out.pop_back();
  if (out.size() == 3 && out[1] == L':' && out[2] == L'\\') return out;
  while (!out.empty() && out.back() == L'\\') out.pop_back();
  return out;
}

string VolumeRoot(const string& folder) {
  if (folder.size() >= 2 && folder[1] == L':' &&
      ((folder[0] >= L'A' && folder[0] <= L'Z') || (folder[0] >= L'a' && folder[0] <= L'z'))) {
    return folder.substr(0, 2) + L"\\";
  }
  if (folder.size() > 2 && folder[0] == L'\\' && folder[1] == L'\\') {
    const size_t server_end = folder.find(L'\\', 2);
    if (server_end == string::npos || server_end == 2) return string();
    size_t share_end = folder.find(L'\\', server_end + 1);
    if (share_end == string::npos) share_end = folder.size();
    if (share_end == server_end + 1) return string();
    return folder.substr(0, share_end) + L"\\";
  }
  return string();
}

string DriveName(const string& volume_root) {
  string name = volume_root;
  while (!name.empty() && name.back() == L'\\') name.pop_back();
  return name;
}

ULONGLONG ShortfallKb(ULONGLONG needed_bytes, ULONGLONG free_bytes) {
  const ULONGLONG needed = needed_bytes / 1024;
  const ULONGLONG free = free_bytes / 1024;
  return free < needed ? needed - free : 0;
}

string FillDiskSpaceMessage(const string& message_template, ULONGLONG shortfall_kb,
                            const string& drive) {
  const string number(std::to_wstring(shortfall_kb));
  string out;
  const string::view t = message_template.as_view();
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] != L'%') {
      out += t[i];
    } else if (t.substr(i, 3) == L"%ld") {
      out += number;
      i += 2;
    } else if (t.substr(i, 2) == L"%s") {
      out += drive;
      i += 1;
    } else if (t.substr(i, 2) == L"%%") {
      out += L'%';
      i += 1;
    } else {
      out += t[i];
    }
  }
  return out;
}

}  // namespace kx
