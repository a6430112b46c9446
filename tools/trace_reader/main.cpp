// kxtrace: prints setup trace files as text.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/trace_reader/trace_decoder.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

constexpr const char* kUsage =
    R"(Usage: kxtrace [--records] FILE...

Prints a setup trace file (setuptrace<process id>.bin, or the file named by
the FileNamePath value of HKEY_CURRENT_USER\kxlogit) as the text the
launcher wrote: the header, then one line per event,
"Category|SubCategory|Details".

  --records   one line per record instead: its offset in the file, its
              length and its text, with \\, \r, \n, \t and other control
              bytes written as escapes.

Exit status: 0 when every file read whole; 1 when a file cannot be read or
the arguments are wrong; 2 when a file is damaged (what came before the
damage is printed, then the damage is reported on standard error).
)";

bool read_file(const std::filesystem::path& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

int print_file(const std::filesystem::path& path, bool records) {
  std::string bytes;
  if (!read_file(path, bytes)) {
    std::fprintf(stderr, "kxtrace: cannot read %s\n", path.string().c_str());
    return 1;
  }
  const kx::trace_reader::decoded_trace trace = kx::trace_reader::decode_trace(bytes);
  for (const kx::trace_reader::record& r : trace.records) {
    if (records) {
      const std::string line = std::to_string(r.offset) + "\t" + std::to_string(r.text.size()) +
                               "\t" + kx::trace_reader::escape_text(r.text) + "\n";
      std::fwrite(line.data(), 1, line.size(), stdout);
    } else {
      std::fwrite(r.text.data(), 1, r.text.size(), stdout);
    }
  }
  std::fflush(stdout);
  if (trace.damage.empty()) return 0;
  std::fprintf(stderr, "kxtrace: %s: damaged at offset %llu: %s\n", path.string().c_str(),
               static_cast<unsigned long long>(trace.damage_offset), trace.damage.c_str());
  return 2;
}

int run(const std::vector<std::filesystem::path>& args) {
  bool records = false;
  std::vector<std::filesystem::path> files;
  for (const auto& a : args) {
    if (a == "--records")
      records = true;
    else if (a == "--help" || a == "-h")
      return std::fputs(kUsage, stdout), 0;
    else if (!a.empty() && a.native()[0] == '-')
      return std::fputs(kUsage, stderr), 1;
    else
      files.push_back(a);
  }
  if (files.empty()) return std::fputs(kUsage, stderr), 1;
  int status = 0;
  for (const auto& f : files) {
    const int s = print_file(f, records);
    if (s > status) status = s;
  }
  return status;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  // The records are bytes: no CR may be added before their LFs.
  _setmode(_fileno(stdout), _O_BINARY);
  return run(std::vector<std::filesystem::path>(argv + 1, argv + argc));
}
#else
int main(int argc, char** argv) {
  return run(std::vector<std::filesystem::path>(argv + 1, argv + argc));
}
#endif
