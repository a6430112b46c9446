#include "launcher/payload.h"

#include <windows.h>

#include "base/file.h"
#include "base/payload_names.h"
#include "launcher/lz_expand.h"
#include "launcher/payload_format.h"
#include "launcher/payload_image.h"
#include "platform/unique_handle.h"

namespace kx {

namespace {

namespace pl = payload;

// Unpacking streams in blocks of this size; memory use does not grow with
// the payload.
constexpr DWORD kBlock = 0x4000;

// The launcher file, read at absolute offsets.
class launcher_source final : public pl::byte_source {
 public:
  explicit launcher_source(HANDLE file) : file_(file) {
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file_, &size)) size_ = static_cast<std::uint64_t>(size.QuadPart);
  }
  std::uint64_t size() const override { return size_; }
  // Unpacking reads the file front to back: the file pointer is moved only
  // when a read does not start where the last one ended.
  std::size_t read_at(std::uint64_t offset, void* buffer, std::size_t n) override {
    if (offset != position_) {
      LARGE_INTEGER at;
      at.QuadPart = static_cast<LONGLONG>(offset);
      position_ = kUnknown;
      if (!SetFilePointerEx(file_, at, nullptr, FILE_BEGIN)) return 0;
    }
    std::size_t done = 0;
    while (done < n) {
      DWORD got = 0;
      const DWORD want = static_cast<DWORD>(n - done < 0x40000000 ? n - done : 0x40000000);
      if (!ReadFile(file_, static_cast<char*>(buffer) + done, want, &got, nullptr)) {
        position_ = kUnknown;
        return done;
      }
      if (got == 0) break;
      done += got;
    }
    position_ = offset + done;
    return done;
  }

 private:
  static constexpr std::uint64_t kUnknown = ~0ull;
  HANDLE file_;
  std::uint64_t size_ = 0;
  std::uint64_t position_ = kUnknown;
};

unique_handle open_for_reading(const string& path) {
  return unique_handle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool folder_exists(const string& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// Where the folders of `path` begin: after "C:\", after "\\server\share\",
// after a leading "\", or at 0 for a relative path.
size_t root_length(const string& path) {
  if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') return 3;
  if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') {
    size_t at = 1;
    for (int n = 0; n < 2 && at != string::npos; ++n) at = path.find(L'\\', at + 1);
    return at == string::npos ? path.size() : at + 1;
  }
  return !path.empty() && path[0] == L'\\' ? 1 : 0;
}

// Creates the folder `path` (ending with a backslash) with its missing
// parents, recording each folder it created.
bool create_folders(const string& path, std::vector<string>* folders) {
  for (size_t at = path.find(L'\\', root_length(path)); at != string::npos;
       at = path.find(L'\\', at + 1)) {
    const string prefix = path.substr(0, at + 1);
    if (folder_exists(prefix)) continue;
    if (!CreateDirectoryW(prefix.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
      return false;
    if (folders) folders->push_back(prefix);
  }
  return true;
}

int result_of(pl::read_status s) {
  switch (s) {
    case pl::read_status::ok:
      return overlay_ok;
    case pl::read_status::read_failed:
      return overlay_read_failed;
    case pl::read_status::unsafe_name:
      return overlay_unsafe_entry;
    default:
      return overlay_corrupt;
  }
}

// Copies one entry's bytes into a new file at `target`; the file is removed
// again when it cannot be completed.
int write_entry(pl::byte_source& source, const pl::entry& e, const string& target,
                std::vector<char>& block) {
  file_lite out;
  if (!out.open_write(target, CREATE_ALWAYS)) return overlay_create_failed;
  int result = overlay_ok;
  for (std::uint64_t done = 0; done < e.size && result == overlay_ok;) {
    const DWORD n = static_cast<DWORD>(e.size - done < kBlock ? e.size - done : kBlock);
    if (source.read_at(e.data_offset + done, block.data(), n) != n)
      result = overlay_read_failed;
    else if (out.write(block.data(), n) != n)
      result = overlay_write_failed;
    done += n;
  }
  out.close();
  if (result != overlay_ok) {
    keep_last_error k;
    DeleteFileW(target.c_str());
  }
  return result;
}

}  // namespace

bool HasPayload(const string& launcher_path) {
  const unique_handle file = open_for_reading(launcher_path);
  if (!file) return false;
  launcher_source source(file.get());
  if (source.size() > 0xFFFFFFFFull) return true;
  pl::image_layout layout;
  return pl::read_image_layout(source, layout) == pl::image_status::ok && pl::has_payload(layout);
}

int ExtractOverlay(const string& launcher_path, const string& destination,
                   std::vector<string>* files, std::vector<string>* folders, bool extract_all,
                   string* failed_file) {
  const unique_handle file = open_for_reading(launcher_path);
  if (!file) return overlay_open_failed;
  WIN32_FIND_DATAW found;
  const HANDLE find = FindFirstFileW(launcher_path.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return overlay_not_found;
  FindClose(find);

  launcher_source source(file.get());
  pl::image_layout layout;
  pl::read_status status = pl::locate(source, layout);
  if (status != pl::read_status::ok) return result_of(status);

  string base = destination;
  if (base.empty() || base.back() != L'\\') base += L'\\';
  if (files) files->push_back(destination);

  pl::reader reader(source, layout.payload_offset, layout.payload_limit);
  if ((status = reader.start()) != pl::read_status::ok) return result_of(status);
  std::vector<char> block(kBlock);
  pl::entry e;
  while (!reader.done()) {
    if ((status = reader.next(e)) != pl::read_status::ok) return result_of(status);
    const string dir = pl::directory_part(e.relative_path.as_view());
    const string folder = base + dir;
    const auto failed = [failed_file](const string& path, int result) {
      if (failed_file) *failed_file = path;
      return result;
    };
    if (!dir.empty() && !folder_exists(folder) && !create_folders(folder, folders))
      return failed(folder, overlay_create_failed);
    if (!extract_all && pl::is_deferred_cabinet(e.name.as_view(), e.relative_path.as_view()))
      continue;

    string final_path = folder + e.name;
    // A file that was there before is overwritten but stays out of the
    // list: it is not the run's to delete.
    const string kept_path = pl::is_compressed(e.name.as_view(), e.relative_path.as_view())
                                 ? folder + pl::file_name_part(e.relative_path.as_view())
                                 : final_path;
    const bool existed = GetFileAttributesW(kept_path.c_str()) != INVALID_FILE_ATTRIBUTES;
    const int written = write_entry(source, e, final_path, block);
    if (written != overlay_ok) return failed(final_path, written);

    if (pl::is_compressed(e.name.as_view(), e.relative_path.as_view())) {
      const string expanded = folder + pl::file_name_part(e.relative_path.as_view());
      // Left compressed, the file would be missing under its real name and
      // the run would fail much later without saying why.
      const bool expanded_ok = lz_expand_file(final_path, expanded) >= 0;
      DeleteFileW(final_path.c_str());
      if (!expanded_ok) return failed(expanded, overlay_expand_failed);
      final_path = expanded;
    }
    if (files && !existed) files->push_back(final_path);
  }
  return overlay_ok;
}

}  // namespace kx
