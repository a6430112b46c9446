#include "ui/skin/skin_description.h"

#include "ui/skin/skin_package.h"

namespace kx {

namespace {

bool is_all_section(std::string_view name) {
  return SkinNamesEqual(name, "ALL") ||
         (name.size() > 4 && SkinNamesEqual(name.substr(0, 4), "ALL-"));
}

// "KEY" + i + "SUFFIX", the numbered keys of skin.ini.
std::string numbered(const char* key, std::uint32_t i, const char* suffix = "") {
  std::string k = key;
  k += std::to_string(i);
  k += suffix;
  return k;
}

class SectionReader {
 public:
  SectionReader(SkinIniSource& source, SkinDescription& out, const std::string& section)
      : source_(source), out_(out), section_(section) {}

  std::string Text(const std::string& key, std::size_t limit) {
    return source_.Text(section_, key, limit);
  }

  std::optional<std::uint32_t> Colour(const std::string& key) {
    const std::string text = Text(key, kSkinColourLimit);
    if (text.empty()) return std::nullopt;
    const auto colour = ParseSkinColour(text);
    if (!colour) {
      Note(SkinFinding::Kind::colour_ignored, key, text);
    } else if (SkinColourClamped(text)) {
      Note(SkinFinding::Kind::colour_clamped, key, text);
    }
    return colour;
  }

  std::optional<SkinPoint> Point(const std::string& key) {
    const std::string text = Text(key, kSkinValueLimit);
    if (text.empty()) return std::nullopt;
    const auto point = ParseSkinPoint(text);
    if (!point) Note(SkinFinding::Kind::point_ignored, key, text);
    return point;
  }

  std::uint32_t Options(const std::string& key) {
    const std::string text = Text(key, kSkinValueLimit);
    const std::string_view unknown = FirstUnknownSkinOption(text);
    if (!unknown.empty()) Note(SkinFinding::Kind::unknown_option, key, std::string(unknown));
    return ParseSkinOptions(text);
  }

  std::uint32_t Count(const std::string& key) {
    const std::uint32_t raw = source_.Number(section_, key, 0);
    const SkinCount count = CheckSkinCount(raw);
    if (count.problem == SkinCount::Problem::negative)
      Note(SkinFinding::Kind::negative_count, key, std::to_string(static_cast<std::int32_t>(raw)));
    if (count.problem == SkinCount::Problem::capped)
      Note(SkinFinding::Kind::count_capped, key, std::to_string(raw));
    return count.value;
  }

  int Id(const std::string& key) {
    return static_cast<int>(source_.Number(section_, key, 0) & 0xFFFF);
  }

  void Note(SkinFinding::Kind kind, const std::string& key, std::string value) {
    out_.findings.push_back({kind, section_, key, std::move(value)});
  }

 private:
  SkinIniSource& source_;
  SkinDescription& out_;
  const std::string& section_;
};

SkinButtonLook read_look(SectionReader& r, const std::string& prefix) {
  SkinButtonLook look;
  look.up = r.Text(prefix + "UP", kSkinImageNameLimit);
  look.down = r.Text(prefix + "DOWN", kSkinImageNameLimit);
  look.options = r.Options(prefix + "OPT");
  look.transparent = r.Colour(prefix + "TRNSPRNTCLR");
  look.text = r.Colour(prefix + "TXTCLR");
  look.disabled_text = r.Colour(prefix + "DISTXTCLR");
  return look;
}

SkinRecord read_record(SkinIniSource& source, SkinDescription& out, const std::string& name) {
  SectionReader r(source, out, name);
  SkinRecord record;
  record.name = name;
  record.text_colour = r.Colour("TEXTCOLOR");
  const std::uint32_t rects = r.Count("RECTS");
  for (std::uint32_t i = 1; i <= rects; ++i) {
    SkinRect rect;
    rect.colour = r.Colour(numbered("RECT", i));
    rect.from = r.Point(numbered("RECT", i, "POS")).value_or(SkinPoint{});
    rect.to = r.Point(numbered("RECT", i, "AREA")).value_or(SkinPoint{});
    record.rects.push_back(rect);
  }
  const std::uint32_t images = r.Count("IMAGES");
  for (std::uint32_t i = 1; i <= images; ++i) {
    SkinImagePlacement image;
    image.image = r.Text(numbered("IMAGE", i), kSkinImageNameLimit);
    image.position = r.Point(numbered("IMAGE", i, "POS"));
    image.options = r.Options(numbered("IMAGE", i, "OPT"));
    image.transparent = r.Colour(numbered("IMAGE", i, "TRNSPRNTCLR"));
    record.images.push_back(std::move(image));
  }
  if (is_all_section(name)) record.button_defaults = read_look(r, "BUTTONS");
  const std::uint32_t buttons = r.Count("BUTTONS");
  for (std::uint32_t i = 1; i <= buttons; ++i) {
    SkinButton button;
    const std::string prefix = numbered("BUTTON", i);
    button.id = r.Id(prefix);
    button.look = read_look(r, prefix);
    button.position = r.Point(prefix + "POS");
    record.buttons.push_back(std::move(button));
  }
  return record;
}

}  // namespace

const SkinButton* SkinRecord::Button(int id) const {
  for (const SkinButton& b : buttons) {
    if (b.id == id) return &b;
  }
  return nullptr;
}

const SkinRecord* SkinDescription::Find(std::string_view name) const {
  for (const SkinRecord& r : records) {
    if (SkinNamesEqual(r.name, name)) return &r;
  }
  return nullptr;
}

SkinDescription ReadSkinDescription(SkinIniSource& source) {
  SkinDescription d;
  d.version = source.Number("SKINS", "VERSION", 1);
  const std::vector<std::string> sections = source.Sections(kSkinSectionNamesLimit);
  // "ALL" first: it is the fallback of every other record.
  for (const std::string& name : sections) {
    if (SkinNamesEqual(name, "ALL") && !d.Find(name))
      d.records.push_back(read_record(source, d, name));
  }
  for (const std::string& name : sections) {
    if (name.empty() || SkinNamesEqual(name, "SKINS") || d.Find(name)) continue;
    // "ALLX" is neither the default skin nor a language's.
    if (name.size() >= 3 && SkinNamesEqual(name.substr(0, 3), "ALL") && !is_all_section(name))
      continue;
    if (d.records.size() == kSkinMaxRecords) {
      d.findings.push_back({SkinFinding::Kind::too_many_sections, name, "", ""});
      break;
    }
    d.records.push_back(read_record(source, d, name));
  }
  return d;
}

const char* DescribeSkinFinding(SkinFinding::Kind kind) {
  switch (kind) {
    case SkinFinding::Kind::negative_count:
      return "a negative count reads as 0";
    case SkinFinding::Kind::count_capped:
      return "the count is cut to 256";
    case SkinFinding::Kind::colour_ignored:
      return "a colour needs three numbers \"R,G,B\"; the default applies";
    case SkinFinding::Kind::colour_clamped:
      return "a colour component outside 0-255 is clamped";
    case SkinFinding::Kind::point_ignored:
      return "a position needs \"x,y\"; it is ignored";
    case SkinFinding::Kind::unknown_option:
      return "an unknown option word is ignored";
    case SkinFinding::Kind::too_many_sections:
      return "more than 64 skin sections; this one and the rest are ignored";
  }
  return "unknown finding";
}

}  // namespace kx
