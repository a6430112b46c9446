// kxmedium: writes a setup.exe that carries its whole medium.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "tools/medium_builder/medium_writer.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

namespace fs = std::filesystem;
using kx::medium::build_options;

constexpr const char* kUsage =
    R"(Usage: kxmedium [options] LAUNCHER MEDIUM_FOLDER OUTPUT

Writes OUTPUT, a setup.exe that carries its whole medium: the launcher
LAUNCHER followed by a payload holding the files of MEDIUM_FOLDER (the
medium's "Disk1\..." files), in the format the launcher unpacks.

The launcher's signature and COFF symbol table are cut and its security
directory entry is cleared: the payload must start where the launcher's
image ends. Sign OUTPUT afterwards; the new signature then follows the
payload and covers it. A medium without "Disk1\setup.exe" (or "setup.exe"
when it has no Disk1 folder) gets the launcher itself under that name.

Every entry's version text is taken from the file's version resource
("0.0.0.0" without one). Names the launcher would refuse (absolute paths,
"..", drive letters, ':' streams, device names such as CON or NUL, names
ending in a dot or blank, longer than 259 characters) stop the build.

Options:
  --order FILE        take the entries, in this order, from FILE: one path
                      relative to MEDIUM_FOLDER a line ("Disk1\setup.ini");
                      blank lines and lines starting with # are skipped.
                      Without it every file of the folder goes in, sorted by
                      path (letters A-Z compared without case).
  --compress PATH     store the entry PATH ("Disk1\setup.exe") compressed in
                      the Windows LZ format under a name ending in '_'
                      ("setup.ex_"); the launcher expands it. May be repeated.
  --no-launcher-copy  do not add the launcher to a medium that has none.
  --quiet             no progress and no summary.
  --help              show this text.

Exit code: 0 written, 1 refused or failed (nothing is left at OUTPUT),
2 wrong arguments.
)";

constexpr std::uint64_t kProgressFrom = 64ull << 20;

std::u16string to_u16(const std::string& utf8) {
  const fs::path p(std::u8string(utf8.begin(), utf8.end()));
  return p.u16string();
}

fs::path to_path(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

int usage_error(const std::string& what) {
  std::fprintf(stderr, "kxmedium: %s\nTry 'kxmedium --help'.\n", what.c_str());
  return 2;
}

int run(const std::vector<std::string>& args) {
  build_options o;
  bool quiet = false;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (a == "--order" || a == "--compress") {
      if (i + 1 == args.size()) return usage_error(a + " needs a value");
      if (a == "--order")
        o.order_file = to_path(args[++i]);
      else
        o.compress.push_back(to_u16(args[++i]));
    } else if (a == "--no-launcher-copy") {
      o.add_launcher_copy = false;
    } else if (a == "--quiet") {
      quiet = true;
    } else if (a.size() > 1 && a[0] == '-') {
      return usage_error("unknown option " + a);
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 3) return usage_error("give LAUNCHER, MEDIUM_FOLDER and OUTPUT");
  o.launcher = to_path(positional[0]);
  o.medium = to_path(positional[1]);
  o.output = to_path(positional[2]);

  int shown = -1;
  if (!quiet) {
    o.progress = [&shown](std::uint64_t done, std::uint64_t total) {
      if (total < kProgressFrom) return;
      const int percent = static_cast<int>(done * 100 / total);
      if (percent / 5 == shown / 5 && shown >= 0) return;
      shown = percent;
      const std::string line = "kxmedium: " + std::to_string(percent) + "% (" +
                               std::to_string(done >> 20) + " of " + std::to_string(total >> 20) +
                               " MiB)\n";
      std::fputs(line.c_str(), stderr);
    };
  }

  try {
    const kx::medium::build_result r = kx::medium::build_medium(o);
    if (!quiet) {
      if (r.launcher.had_signature) std::printf("note: the launcher's signature was cut\n");
      if (r.launcher.had_symbols) std::printf("note: the launcher's COFF symbol table was cut\n");
      if (r.launcher.had_other_data)
        std::printf("note: data after the launcher's image (an older payload?) was cut\n");
      if (r.launcher_copy_added) std::printf("note: the launcher was added to the medium\n");
      if (r.padded) std::printf("note: the payload was padded to more than 50 KB\n");
      for (const auto& e : r.entries)
        std::printf("  %-40s %-16s %s%s\n", kx::medium::utf8(e.relative_path).c_str(),
                    e.version.c_str(), std::to_string(e.source_size).c_str(),
                    e.compress ? " (compressed)" : "");
      const std::string summary = "wrote " + positional[2] + ": " +
                                  std::to_string(r.entries.size()) + " files, payload at offset " +
                                  std::to_string(r.payload_offset) + ", " +
                                  std::to_string(r.output_size) + " bytes\n";
      std::fputs(summary.c_str(), stdout);
    }
    return 0;
  } catch (const kx::medium::medium_error& e) {
    std::fprintf(stderr, "kxmedium: %s\n", e.what());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kxmedium: failed: %s\n", e.what());
  }
  return 1;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
    std::string a(n > 0 ? static_cast<std::size_t>(n) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, a.data(), n, nullptr, nullptr);
    a.resize(a.size() - 1);
    args.push_back(a);
  }
  return run(args);
}
#else
int main(int argc, char** argv) {
  return run(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
