#include "platform/version_info.h"

#include "base/string_win.h"
#include "platform/system_library.h"

namespace kx {

namespace {

using size_fn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
using info_fn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
using query_fn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

struct version_functions {
  size_fn get_size;
  info_fn get_info;
  query_fn query;
};

// Bound once for the process: a later binding could come while file-system
// redirection is off and pick the other architecture's library.
const version_functions& functions() noexcept {
  static const version_functions f = {
      system_function<size_fn>(L"version.dll", "GetFileVersionInfoSizeW"),
      system_function<info_fn>(L"version.dll", "GetFileVersionInfoW"),
      system_function<query_fn>(L"version.dll", "VerQueryValueW")};
  return f;
}

query_fn ver_query_value() noexcept {
  return functions().query;
}

}  // namespace

bool bind_version_library() noexcept {
  const version_functions& f = functions();
  return f.get_size && f.get_info && f.query;
}

bool version_info::load(const kx::string& path) {
  block_.clear();
  fixed_ = VS_FIXEDFILEINFO{};
  translations_.clear();

  const size_fn get_size = functions().get_size;
  const info_fn get_info = functions().get_info;
  const query_fn query = functions().query;
  if (!get_size || !get_info || !query) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return false;
  }

  DWORD ignored = 0;
  const DWORD size = get_size(path.c_str(), &ignored);
  if (size == 0) return false;
  std::vector<BYTE> block(size);
  if (!get_info(path.c_str(), 0, size, block.data())) return false;

  void* value = nullptr;
  UINT length = 0;
  if (!query(block.data(), L"\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO)) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return false;
  }
  fixed_ = *static_cast<const VS_FIXEDFILEINFO*>(value);

  if (query(block.data(), L"\\VarFileInfo\\Translation", &value, &length) && value) {
    const auto* pairs = static_cast<const WORD*>(value);
    for (UINT i = 0; i + 1 < length / sizeof(WORD); i += 2)
      translations_.push_back({pairs[i], pairs[i + 1]});
  }
  block_ = std::move(block);
  SetLastError(ERROR_SUCCESS);
  return true;
}

bool version_info::query_text(const wchar_t* sub_block, kx::string& out) const {
  const query_fn query = ver_query_value();
  void* value = nullptr;
  UINT length = 0;
  if (!query || !query(block_.data(), sub_block, &value, &length) || !value) return false;
  const auto* first = static_cast<const BYTE*>(value);
  const BYTE* end = block_.data() + block_.size();
  if (first < block_.data() || first >= end) return false;
  const size_t room = static_cast<size_t>(end - first) / sizeof(wchar_t);
  const auto* text = reinterpret_cast<const wchar_t*>(first);
  const size_t limit = length < room ? length : room;
  size_t n = 0;
  while (n < limit && text[n]) ++n;
  out.assign(text, n);
  return true;
}

kx::string version_info::string(const kx::string& name) const {
  kx::string out;
  if (!loaded()) return out;
  if (query_text(name.c_str(), out)) return out;
  for (const translation& t : translations_) {
    const kx::string path =
        format(L"\\StringFileInfo\\%04hX%04hX\\", t.language, t.code_page) + name;
    if (query_text(path.c_str(), out)) return out;
  }
  return out;
}

string file_internal_version(const string& path) {
  version_info info;
  if (!info.load(path)) return string();
  return info.string(L"KXInternalVersion");
}

}  // namespace kx
