#include "tools/skin_builder/skin_check.h"

#include <set>
#include <string_view>

#include "tools/skin_builder/skin_ini_text.h"
#include "ui/image/gif_picture.h"
#include "ui/skin/skin_bitmap.h"
#include "ui/skin/skin_description.h"

namespace kx::skinbuild {

namespace {

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool ends_with(std::string_view name, std::string_view extension) {
  return name.size() > extension.size() &&
         SkinNamesEqual(name.substr(name.size() - extension.size()), extension);
}

class Checker {
 public:
  explicit Checker(const SkinPackage& package) : package_(package) {}

  std::vector<SkinMessage> Run() {
    for (const std::string& d : package_.duplicates)
      Warn("entry \"" + d + "\" appears again; only the first one is used");
    CheckImages();
    const SkinEntry* ini = package_.Find(kSkinIniName);
    SkinIniText text(
        std::string_view(reinterpret_cast<const char*>(ini->data.data()), ini->data.size()));
    const SkinDescription d = ReadSkinDescription(text);
    for (const SkinFinding& f : d.findings) {
      std::string where = "[" + f.section + "]";
      if (!f.key.empty()) where += " " + f.key + "=" + f.value;
      Warn(where + ": " + DescribeSkinFinding(f.kind));
    }
    if (d.records.empty()) Warn("skin.ini has no skin sections: no window gets a skin");
    for (const SkinRecord& r : d.records) CheckRecord(r);
    for (const SkinEntry& e : package_.entries) {
      if (SkinNamesEqual(e.name, kSkinIniName)) continue;
      if (!used_.count(lower(e.name))) Warn("entry \"" + e.name + "\" is not used by skin.ini");
    }
    return std::move(messages_);
  }

 private:
  void Warn(std::string text) { messages_.push_back({false, std::move(text)}); }
  void Fail(std::string text) { messages_.push_back({true, std::move(text)}); }

  void CheckImages() {
    for (const SkinEntry& e : package_.entries) {
      if (SkinNamesEqual(e.name, kSkinIniName)) continue;
      if (ends_with(e.name, ".gif")) {
        const GifLoad load = LoadGifPicture(e.data);
        if (!load.picture) Fail("image \"" + e.name + "\" is not a GIF picture the launcher reads");
      } else if (ends_with(e.name, ".bmp")) {
        const SkinBitmapCheck check = CheckSkinBitmap(e.data);
        if (!check.ok())
          Fail("image \"" + e.name + "\": " + DescribeSkinBitmapProblem(check.problem));
      } else {
        Warn("entry \"" + e.name + "\" is neither .bmp nor .gif; the launcher does not use it");
      }
    }
  }

  void Image(const SkinRecord& r, const std::string& key, const std::string& name) {
    if (name.empty()) return;
    used_.insert(lower(name));
    const SkinEntry* e = package_.Find(name);
    if (!e) {
      Fail("[" + r.name + "] " + key + ": unknown image \"" + name + "\"");
    } else if (!ends_with(name, ".gif") && !ends_with(name, ".bmp")) {
      Fail("[" + r.name + "] " + key + ": \"" + name + "\" is neither .bmp nor .gif");
    }
  }

  void Look(const SkinRecord& r, const std::string& prefix, const SkinButtonLook& look) {
    Image(r, prefix + "UP", look.up);
    Image(r, prefix + "DOWN", look.down);
  }

  void CheckRecord(const SkinRecord& r) {
    for (std::size_t i = 0; i < r.images.size(); ++i) {
      const std::string key = "IMAGE" + std::to_string(i + 1);
      if (r.images[i].image.empty()) Warn("[" + r.name + "] " + key + " names no image");
      Image(r, key, r.images[i].image);
    }
    if (r.button_defaults) Look(r, "BUTTONS", *r.button_defaults);
    for (std::size_t i = 0; i < r.buttons.size(); ++i) {
      const std::string key = "BUTTON" + std::to_string(i + 1);
      if (r.buttons[i].id == 0) Warn("[" + r.name + "] " + key + " names no control id");
      Look(r, key, r.buttons[i].look);
    }
  }

  const SkinPackage& package_;
  std::vector<SkinMessage> messages_;
  std::set<std::string> used_;
};

}  // namespace

std::vector<SkinMessage> CheckSkin(const SkinPackage& package) {
  return Checker(package).Run();
}

bool HasErrors(const std::vector<SkinMessage>& messages) {
  for (const SkinMessage& m : messages) {
    if (m.error) return true;
  }
  return false;
}

}  // namespace kx::skinbuild
