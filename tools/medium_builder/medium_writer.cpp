#include "tools/medium_builder/medium_writer.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <limits>

#include "launcher/payload_format.h"
#include "launcher/payload_image.h"
#include "tools/medium_builder/file_source.h"
#include "tools/medium_builder/pe_checksum.h"
#include "tools/medium_builder/pe_version.h"
#include "tools/medium_builder/szdd.h"

namespace kx::medium {

namespace fs = std::filesystem;
namespace pl = kx::payload;

namespace {

constexpr std::size_t kCopyBlock = 1 << 20;
// COFF header fields: PointerToSymbolTable and NumberOfSymbols.
constexpr std::size_t kSymbolFields = 8;

void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

bool only_zeros(const std::vector<std::uint8_t>& b, std::uint64_t from, std::uint64_t to) {
  return std::all_of(b.begin() + static_cast<std::ptrdiff_t>(from),
                     b.begin() + static_cast<std::ptrdiff_t>(to),
                     [](std::uint8_t c) { return c == 0; });
}

// The output file: written in order, summed when the launcher had a
// checksum, removed unless commit() is reached.
class output_file {
 public:
  output_file(const fs::path& path, bool checksum) : path_(path), checksum_(checksum) {
    out_.open(path, std::ios::binary | std::ios::trunc);
    if (!out_) throw medium_error("cannot create " + path.string());
  }
  ~output_file() {
    if (committed_) return;
    out_.close();
    std::error_code ec;
    fs::remove(path_, ec);
  }
  void write(const void* data, std::size_t n) {
    out_.write(static_cast<const char*>(data), static_cast<std::streamsize>(n));
    if (!out_) throw medium_error("cannot write " + path_.string());
    if (checksum_) sum_.add(static_cast<const std::uint8_t*>(data), n);
    size_ += n;
  }
  void text(const std::u16string& s) {
    std::vector<std::uint8_t> b;
    for (char16_t c : s) {
      b.push_back(static_cast<std::uint8_t>(c & 0xFF));
      b.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    b.push_back(0);
    b.push_back(0);
    write(b.data(), b.size());
  }
  void commit(std::optional<std::uint32_t> checksum_at) {
    if (checksum_at) {
      std::uint8_t v[4];
      const std::uint32_t value = sum_.value();
      for (int i = 0; i < 4; ++i) v[i] = static_cast<std::uint8_t>(value >> (8 * i));
      out_.seekp(*checksum_at);
      out_.write(reinterpret_cast<const char*>(v), 4);
    }
    out_.close();
    if (!out_) throw medium_error("cannot write " + path_.string());
    committed_ = true;
  }
  std::uint64_t size() const { return size_; }

 private:
  fs::path path_;
  std::ofstream out_;
  bool checksum_;
  pe_checksum sum_;
  std::uint64_t size_ = 0;
  bool committed_ = false;
};

std::u16string ascii16(const std::string& s) {
  return std::u16string(s.begin(), s.end());
}

bool same_file(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  return fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec);
}

bool inside(const fs::path& file, const fs::path& folder) {
  std::error_code ec;
  const fs::path f = fs::weakly_canonical(file, ec), d = fs::weakly_canonical(folder, ec);
  if (ec) return false;
  auto fi = f.begin();
  for (auto di = d.begin(); di != d.end() && !di->empty(); ++di, ++fi) {
    if (fi == f.end() || *fi != *di) return false;
  }
  return true;
}

// The launcher copy that goes into the medium, unless the medium has one.
void add_launcher_copy(build_result& r, const prepared_launcher& launcher) {
  bool disk1 = false;
  for (const planned_entry& e : r.entries) {
    std::u16string top = e.relative_path.substr(0, 6);
    for (char16_t& c : top) c = static_cast<char16_t>(fold_ascii(static_cast<xchar>(c)));
    disk1 = disk1 || top == u"disk1\\";
  }
  const std::u16string path = disk1 ? u"Disk1\\setup.exe" : u"setup.exe";
  for (const planned_entry& e : r.entries) {
    std::u16string a = e.relative_path, b = path;
    for (char16_t& c : a) c = static_cast<char16_t>(fold_ascii(static_cast<xchar>(c)));
    for (char16_t& c : b) c = static_cast<char16_t>(fold_ascii(static_cast<xchar>(c)));
    if (a != b) continue;
    // The medium brings its own: it must not look like a payload launcher,
    // or its unpacked copy would try to unpack itself.
    file_source source(e.source);
    pl::image_layout layout;
    if (pl::locate(source, layout) == pl::read_status::ok && pl::has_payload(layout))
      throw medium_error("\"" + utf8(e.relative_path) +
                         "\" carries data after its image (a payload or a symbol table); "
                         "give the builder a stripped launcher without a payload");
    return;
  }
  planned_entry copy;
  copy.relative_path = path;
  copy.name = u"setup.exe";
  pl::buffer_source source(launcher.medium_copy.data(), launcher.medium_copy.size());
  copy.version = file_version_text(source);
  copy.source_size = launcher.medium_copy.size();
  r.entries.push_back(copy);
  r.launcher_copy_added = true;
}

}  // namespace

prepared_launcher prepare_launcher(const std::vector<std::uint8_t>& launcher) {
  pl::buffer_source source(launcher.data(), launcher.size());
  pl::image_layout layout;
  switch (pl::read_image_layout(source, layout)) {
    case pl::image_status::ok:
      break;
    case pl::image_status::not_an_image:
    case pl::image_status::read_failed:
      throw medium_error("the launcher is not a Windows executable");
    case pl::image_status::bad_headers:
      throw medium_error("the launcher's headers do not match the file (damaged?)");
  }
  if (layout.image_end != layout.payload_offset)
    throw medium_error(
        "the launcher's sections do not follow each other after the headers "
        "(image ends at " +
        std::to_string(layout.image_end) + ", the launcher would look for its payload at " +
        std::to_string(layout.payload_offset) + ")");
  if (layout.payload_offset > launcher.size())
    throw medium_error("the launcher file is shorter than its image (truncated?)");

  prepared_launcher p;
  const std::uint64_t end = layout.payload_offset;
  p.image.assign(launcher.begin(), launcher.begin() + static_cast<std::ptrdiff_t>(end));
  p.had_signature = layout.certificate_offset != 0;
  p.had_symbols = layout.symbol_table_offset >= end;
  const std::uint64_t other_to = p.had_signature ? layout.certificate_offset : launcher.size();
  p.had_other_data = !p.had_symbols && !only_zeros(launcher, end, other_to);

  if (layout.security_entry_offset != 0) {
    put32(p.image, layout.security_entry_offset, 0);
    put32(p.image, layout.security_entry_offset + 4, 0);
  }
  if (p.had_symbols) std::fill_n(p.image.begin() + layout.coff_header_offset + 8, kSymbolFields, 0);
  std::uint32_t checksum;
  std::memcpy(&checksum, launcher.data() + layout.checksum_offset, 4);
  if (checksum != 0) {
    p.checksum_offset = layout.checksum_offset;
    put32(p.image, layout.checksum_offset, 0);
  }

  // Signed, and nothing but alignment padding between image and signature:
  // the medium can carry it as it is.
  const bool plain_signed = p.had_signature && !p.had_symbols && !p.had_other_data &&
                            layout.certificate_offset + layout.certificate_size == launcher.size();
  if (plain_signed) {
    p.medium_copy = launcher;
  } else {
    p.medium_copy = p.image;
    if (p.checksum_offset) {
      pe_checksum sum;
      sum.add(p.medium_copy.data(), p.medium_copy.size());
      put32(p.medium_copy, *p.checksum_offset, sum.value());
    }
  }
  return p;
}

build_result build_medium(const build_options& o) {
  if (same_file(o.output, o.launcher))
    throw medium_error("the output would overwrite the launcher");
  if (inside(o.output, o.medium))
    throw medium_error("the output must not lie inside the medium folder");

  build_result r;
  r.launcher = prepare_launcher(read_file(o.launcher));
  r.entries = plan_entries(o);
  if (o.add_launcher_copy) add_launcher_copy(r, r.launcher);
  if (r.entries.size() >= std::numeric_limits<std::uint32_t>::max())
    throw medium_error("too many files");

  std::uint64_t total = 0, done = 0;
  for (const planned_entry& e : r.entries) total += e.source_size;

  output_file out(o.output, r.launcher.checksum_offset.has_value());
  out.write(r.launcher.image.data(), r.launcher.image.size());
  r.payload_offset = out.size();
  std::uint8_t count[4];
  const auto n = static_cast<std::uint32_t>(r.entries.size());
  for (int i = 0; i < 4; ++i) count[i] = static_cast<std::uint8_t>(n >> (8 * i));
  out.write(count, 4);

  std::vector<std::uint8_t> block(kCopyBlock);
  for (const planned_entry& e : r.entries) {
    out.text(e.name);
    out.text(e.relative_path);
    out.text(ascii16(e.version));
    if (e.source.empty() || e.compress) {
      std::vector<std::uint8_t> data =
          e.source.empty() ? r.launcher.medium_copy : read_file(e.source);
      if (data.size() != e.source_size)
        throw medium_error(utf8(e.relative_path) + " changed while the medium was built");
      if (e.compress) {
        const char16_t last = e.relative_path.back();
        data = szdd_compress(data, last < 0x80 ? static_cast<char>(last) : '\0');
      }
      out.text(ascii16(std::to_string(data.size())));
      out.write(data.data(), data.size());
    } else {
      out.text(ascii16(std::to_string(e.source_size)));
      std::ifstream in(e.source, std::ios::binary);
      if (!in) throw medium_error("cannot open " + e.source.string());
      std::uint64_t left = e.source_size;
      while (left > 0) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
        in.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(want));
        if (static_cast<std::size_t>(in.gcount()) != want)
          throw medium_error(utf8(e.relative_path) + " changed while the medium was built");
        out.write(block.data(), want);
        left -= want;
        if (o.progress) o.progress(done + (e.source_size - left), total);
      }
    }
    done += e.source_size;
    if (o.progress) o.progress(done, total);
  }

  // A payload of 50 KB or less is not one to the launcher; nothing marks
  // the end of the entries, so zeros after them are harmless.
  const std::uint64_t payload = out.size() - r.payload_offset;
  if (payload <= pl::kMinimumPayloadTail) {
    std::vector<std::uint8_t> zeros(
        static_cast<std::size_t>(pl::kMinimumPayloadTail + 1 - payload));
    out.write(zeros.data(), zeros.size());
    r.padded = true;
  }
  r.output_size = out.size();
  out.commit(r.launcher.checksum_offset);
  return r;
}

}  // namespace kx::medium
