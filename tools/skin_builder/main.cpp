// kxskin: packs a skin author's folder into the skin package the setup
// launcher reads, checking it with the launcher's own rules first.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/skin_builder/skin_check.h"
#include "tools/skin_builder/skin_folder.h"
#include "ui/skin/skin_package.h"
#include "ui/skin/skin_scramble.h"

namespace {

namespace fs = std::filesystem;
using namespace kx;
using namespace kx::skinbuild;

constexpr const char* kUsage =
    R"(Usage: kxskin FOLDER OUTPUT
       kxskin --check PACKAGE

The first form packs FOLDER into the skin package OUTPUT: FOLDER/skin.ini
and every .bmp and .gif file beside it (subfolders are not read). Name the
package in setup.ini ([Startup] Skin=OUTPUT's file name) and put it in the
medium beside setup.ini.

Before anything is written, the package is read back with the launcher's
own rules and skin.ini is read as the launcher reads it. Errors stop the
build: a picture the launcher cannot read (a damaged or compressed bitmap,
a broken GIF), an image that skin.ini names but the folder lacks, a name
outside printable ASCII, an entry larger than 16 MiB. Warnings do not: a
count that is negative or larger than 256, a colour without three numbers
or with a number outside 0-255, a position without "x,y", an unknown
option word, a button without a control id, a file or entry that nothing
uses.

The second form checks an existing package the same way.

Exit status: 0 when the package is written (or checks) without errors;
1 when there are errors (nothing is written); 2 when the arguments are
wrong.
)";

void print(const std::vector<SkinMessage>& messages) {
  for (const SkinMessage& m : messages)
    std::fprintf(stderr, "%s: %s\n", m.error ? "error" : "warning", m.text.c_str());
}

// Reads the package back as the launcher will and adds the checks' words.
bool check(const std::vector<std::uint8_t>& plain, std::vector<SkinMessage>& messages) {
  const SkinPackage package = ReadSkinPackage(plain);
  if (!package.ok()) {
    messages.push_back({true, std::string("the launcher refuses the package: ") +
                                  DescribeSkinPackageProblem(package.problem) + " (at byte " +
                                  std::to_string(package.offset) + ")"});
    return false;
  }
  for (SkinMessage& m : CheckSkin(package)) messages.push_back(std::move(m));
  return !HasErrors(messages);
}

int check_package(const fs::path& path) {
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, kSkinMaxPackageBytes, bytes)) {
    std::fprintf(stderr, "error: cannot read %s (or it is larger than 64 MiB)\n",
                 path.string().c_str());
    return 1;
  }
  UnscrambleSkin(bytes);
  std::vector<SkinMessage> messages;
  const bool ok = check(bytes, messages);
  print(messages);
  if (ok) std::printf("%s: a skin package the launcher reads\n", path.string().c_str());
  return ok ? 0 : 1;
}

int build(const fs::path& folder, const fs::path& output) {
  PackedFolder packed = PackSkinFolder(folder);
  bool ok = !HasErrors(packed.messages);
  if (ok) ok = check(packed.plain, packed.messages);
  print(packed.messages);
  if (!ok) {
    std::fprintf(stderr, "nothing written\n");
    return 1;
  }
  ScrambleSkin(packed.plain);
  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(packed.plain.data()),
            static_cast<std::streamsize>(packed.plain.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "error: cannot write %s\n", output.string().c_str());
    std::error_code ec;
    fs::remove(output, ec);
    return 1;
  }
  std::printf("%s: %zu bytes\n", output.string().c_str(), packed.plain.size());
  return 0;
}

}  // namespace

namespace {

// The arguments as paths, so that a name in any script reaches the file
// system unchanged.
int run(const std::vector<fs::path>& args) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (args.size() == 2 && args[0] == "--check") return check_package(args[1]);
  if (args.size() == 2 && !args[0].empty() && args[0].native()[0] != '-')
    return build(args[0], args[1]);
  std::fputs(kUsage, stderr);
  return 2;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  return run(std::vector<fs::path>(argv + 1, argv + argc));
}
#else
int main(int argc, char** argv) {
  return run(std::vector<fs::path>(argv + 1, argv + argc));
}
#endif
