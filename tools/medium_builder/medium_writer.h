// Writes a setup.exe: the launcher's image followed by a payload in the
// format the launcher reads, so that authors can build media anywhere.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kx::medium {

// A refusal or failure, with a message for the author.
class medium_error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A launcher made ready to carry a payload.
struct prepared_launcher {
  // The image up to the payload offset P the launcher will compute: no
  // signature, no COFF symbol table, nothing appended, the security
  // directory entry and symbol table pointers cleared.
  std::vector<std::uint8_t> image;
  // The copy the medium carries: the launcher as given when it is the
  // image plus a signature and nothing else (the signature stays valid),
  // otherwise `image`.
  std::vector<std::uint8_t> medium_copy;
  bool had_signature = false;
  bool had_symbols = false;
  // Bytes after the image that were neither signature nor symbols (an
  // older payload, say).
  bool had_other_data = false;
  // Where the CheckSum field is, when the launcher carried a non-zero one
  // that has to be computed again over the new file.
  std::optional<std::uint32_t> checksum_offset;
};

// Prepares `launcher` (the bytes of a launcher executable). Throws
// medium_error when it is no executable, or when its sections do not lie
// back to back after the headers (the launcher would then look for its
// payload in the wrong place).
prepared_launcher prepare_launcher(const std::vector<std::uint8_t>& launcher);

// One file of the medium, as it will be stored.
struct planned_entry {
  std::filesystem::path source;  // empty for the launcher copy
  std::u16string name;           // stored file name ("setup.ex_" when compressed)
  std::u16string relative_path;  // "Disk1\setup.exe"
  std::string version;           // "0.0.0.0" without a version resource
  bool compress = false;
  std::uint64_t source_size = 0;
};

// What to build.
struct build_options {
  std::filesystem::path launcher;
  std::filesystem::path medium;  // the folder holding "Disk1\..."
  std::filesystem::path output;
  // Relative paths, one a line, in payload order; without it every file
  // under `medium`, sorted by relative path (case-insensitively).
  std::optional<std::filesystem::path> order_file;
  // Relative paths of entries to store LZ-compressed.
  std::vector<std::u16string> compress;
  // Add the prepared launcher as "[Disk1\]setup.exe" when the medium has
  // none.
  bool add_launcher_copy = true;
  // Called with bytes done and bytes in all while the payload is written.
  std::function<void(std::uint64_t, std::uint64_t)> progress;
};

// What was built.
struct build_result {
  std::uint64_t payload_offset = 0;
  std::uint64_t output_size = 0;
  std::vector<planned_entry> entries;
  prepared_launcher launcher;
  bool launcher_copy_added = false;
  bool padded = false;  // zeros added so the launcher sees a payload
};

// The entries of the medium in payload order, checked as the launcher
// would check them. Throws medium_error for a name the launcher refuses,
// a path given twice, an order file naming a missing file, or a file that
// cannot be stored compressed.
std::vector<planned_entry> plan_entries(const build_options& options);

// The stored name of a compressed entry: the last character of a three
// character extension becomes '_' ("setup.exe" -> "setup.ex_"); a shorter
// extension gets '_' appended, a name without one "._".
std::u16string compressed_name(const std::u16string& name);

// Builds options.output. Nothing is left at the output path on failure.
build_result build_medium(const build_options& options);

// "Disk1\setup.ini" from a path relative to the medium folder.
std::u16string payload_path(const std::filesystem::path& relative);

// UTF-8 text of a payload path or name, for messages.
std::string utf8(const std::u16string& text);

}  // namespace kx::medium
