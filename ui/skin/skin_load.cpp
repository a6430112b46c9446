// Loading the run's skin: the package file mapped copy-on-write and
// unscrambled into memory, skin.ini extracted for the private-profile
// functions, the images decoded.
#include <windows.h>

#include <cwchar>
#include <vector>

#include "base/exceptions.h"
#include "platform/system_library.h"
#include "platform/unique_handle.h"
#include "ui/skin/skin.h"
#include "ui/skin/skin_lookup.h"
#include "ui/skin/skin_package.h"
#include "ui/skin/skin_profile.h"
#include "ui/skin/skin_scramble.h"

namespace kx {

namespace {

// GetThemeAppProperties: visual styles apply to controls.
constexpr DWORD kThemeControls = 0x2;
constexpr unsigned kLastRraName = 0xFFFE;

struct SkinState {
  bool requested = false;
  std::unique_ptr<SkinSet> set;
};

SkinState& state() {
  static SkinState s;
  return s;
}

struct unique_view {
  void* p = nullptr;
  ~unique_view() {
    if (p) UnmapViewOfFile(p);
  }
};

// The package's bytes, unscrambled; empty when it cannot be read. The file
// on disk stays as it is: the view is a private copy.
std::vector<std::uint8_t> read_package(const string& path) {
  unique_handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {};
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 ||
      static_cast<std::uint64_t>(size.QuadPart) > kSkinMaxPackageBytes)
    return {};
  unique_handle mapping(CreateFileMappingW(file.get(), nullptr, PAGE_WRITECOPY, 0, 0, nullptr));
  if (!mapping) return {};
  unique_view view{MapViewOfFile(mapping.get(), FILE_MAP_COPY, 0, 0, 0)};
  if (!view.p) return {};
  const std::span bytes(static_cast<std::uint8_t*>(view.p),
                        static_cast<std::size_t>(size.QuadPart));
  UnscrambleSkin(bytes);
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

// Writes `data` to the first free "%hx.rra" in `folder`; its path.
string extract_ini(const string& folder, std::span<const std::uint8_t> data) {
  string base = folder;
  if (!base.empty() && base.back() != L'\\' && base.back() != L'/') base += L"\\";
  for (unsigned n = 0; n <= kLastRraName; ++n) {
    wchar_t name[16];
    std::swprintf(name, 16, L"%hx.rra", static_cast<unsigned short>(n));
    string path = base;
    path += name;
    unique_handle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_TEMPORARY, nullptr));
    if (!file) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      throw win32_exception(error);
    }
    DWORD written = 0;
    const bool ok =
        WriteFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
        written == data.size();
    file.reset();
    if (!ok) {
      const DWORD error = GetLastError();
      DeleteFileW(path.c_str());
      throw win32_exception(error ? error : ERROR_WRITE_FAULT);
    }
    return path;
  }
  throw win32_exception(ERROR_FILE_EXISTS);
}

// Deletes the extracted skin.ini however the reading ends.
struct delete_on_exit {
  const string& path;
  ~delete_on_exit() { DeleteFileW(path.c_str()); }
};

bool themed_controls() {
  using get_properties = DWORD(WINAPI*)();
  auto get = system_function<get_properties>(L"uxtheme.dll", "GetThemeAppProperties");
  return get && (get() & kThemeControls) != 0;
}

}  // namespace

const SkinPicture* SkinSet::Picture(std::string_view name) const {
  for (const auto& [key, picture] : pictures) {
    if (SkinNamesEqual(key, name)) return picture.get();
  }
  return nullptr;
}

bool LoadSkin(const string& package_path, const string& work_folder) {
  SkinState& s = state();
  s.requested = true;
  s.set.reset();
  const std::vector<std::uint8_t> plain = read_package(package_path);
  if (plain.empty()) return false;
  const SkinPackage package = ReadSkinPackage(plain);
  if (!package.ok()) return false;

  auto set = std::make_unique<SkinSet>();
  set->ini_path = extract_ini(work_folder, package.Find(kSkinIniName)->data);
  {
    delete_on_exit remove{set->ini_path};
    SkinProfileSource source(set->ini_path);
    set->description = ReadSkinDescription(source);
  }
  for (const SkinEntry& entry : package.entries) {
    if (SkinNamesEqual(entry.name, kSkinIniName)) continue;
    if (auto picture = SkinPicture::FromEntry(entry.name, entry.data))
      set->pictures.emplace(entry.name, std::move(picture));
  }
  set->themed_controls = themed_controls();
  s.set = std::move(set);
  return true;
}

bool SkinRequested() {
  return state().requested;
}

const SkinSet* LoadedSkin() {
  return state().set.get();
}

const SkinRecord* FindSkin(std::string_view name) {
  const SkinSet* set = LoadedSkin();
  if (!set) return nullptr;
  for (const std::string& candidate : SkinLookupChain(name)) {
    if (const SkinRecord* record = set->description.Find(candidate)) return record;
  }
  return nullptr;
}

void UnloadSkin() {
  state().requested = false;
  state().set.reset();
}

}  // namespace kx
