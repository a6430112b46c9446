// What skin.ini describes: one record per skin section, read through a
// source that answers like the system's private-profile functions (the
// launcher) or like a plain INI reader (the skin builder). Whatever the
// file says, the records stay bounded: counts are capped, colours clamped,
// positions kept near the window.
//
// Windows-free, so that the builder checks exactly what the launcher reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/skin/skin_values.h"

namespace kx {

// The longest values read, as the launcher reads them.
inline constexpr std::size_t kSkinValueLimit = 1000;
inline constexpr std::size_t kSkinColourLimit = 100;
inline constexpr std::size_t kSkinImageNameLimit = 260;
// The section-name list is read up to this many characters, and at most
// this many sections become records.
inline constexpr std::size_t kSkinSectionNamesLimit = 3072;
inline constexpr std::size_t kSkinMaxRecords = 64;

// Answers for one skin.ini.
class SkinIniSource {
 public:
  virtual ~SkinIniSource() = default;
  // The value of `key` in `section`, at most `limit` characters; empty
  // when the key is missing.
  virtual std::string Text(const std::string& section, const std::string& key,
                           std::size_t limit) = 0;
  // The value as GetPrivateProfileIntA reads it; `fallback` when missing.
  virtual std::uint32_t Number(const std::string& section, const std::string& key,
                               std::uint32_t fallback) = 0;
  // The section names in file order, as far as `limit` characters (each
  // name with its terminator) reach.
  virtual std::vector<std::string> Sections(std::size_t limit) = 0;
};

struct SkinRect {
  std::optional<std::uint32_t> colour;  // none: the button face colour
  SkinPoint from;                       // left, top (dialog units)
  SkinPoint to;                         // right, bottom
};

struct SkinImagePlacement {
  std::string image;
  std::optional<SkinPoint> position;         // dialog units
  std::uint32_t options = 0;                 // every parsed bit, centring included
  std::optional<std::uint32_t> transparent;  // bitmap images only
};

struct SkinButtonLook {
  std::string up;
  std::string down;
  std::uint32_t options = 0;
  std::optional<std::uint32_t> transparent;
  std::optional<std::uint32_t> text;           // none: the window's text colour
  std::optional<std::uint32_t> disabled_text;  // none: the grey text colour
};

struct SkinButton {
  int id = 0;
  SkinButtonLook look;
  std::optional<SkinPoint> position;  // dialog units
};

struct SkinRecord {
  std::string name;
  std::optional<std::uint32_t> text_colour;  // none: the window text colour
  std::vector<SkinRect> rects;
  std::vector<SkinImagePlacement> images;
  std::vector<SkinButton> buttons;
  // "ALL" sections only: the look of every push button without an entry.
  std::optional<SkinButtonLook> button_defaults;

  // The button entry for control `id`, or null.
  const SkinButton* Button(int id) const;
};

// Something the reader passed over or changed; the builder reports these.
struct SkinFinding {
  enum class Kind {
    negative_count,  // a count below 0 read as 0
    count_capped,    // a count beyond kSkinMaxCount
    colour_ignored,  // a colour without two commas
    colour_clamped,  // a component outside 0-255
    point_ignored,   // a position without a comma
    unknown_option,  // a word the options do not know
    too_many_sections,
  };
  Kind kind;
  std::string section;
  std::string key;
  std::string value;
};

struct SkinDescription {
  std::uint32_t version = 1;
  std::vector<SkinRecord> records;
  std::vector<SkinFinding> findings;

  // The record named `name` (any case), or null.
  const SkinRecord* Find(std::string_view name) const;
};

// Reads "SKINS"/"VERSION", then a record for "ALL" and every "ALL-..."
// section (with the button defaults) and for every other section except
// "SKINS" whose name does not begin with "ALL", in file order. Only
// sections the file has become records.
SkinDescription ReadSkinDescription(SkinIniSource& source);

// A short English description of `kind`, for the builder's messages.
const char* DescribeSkinFinding(SkinFinding::Kind kind);

}  // namespace kx
