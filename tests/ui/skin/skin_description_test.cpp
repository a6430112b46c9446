#include "ui/skin/skin_description.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "ui/skin/skin_package.h"

namespace kx {
namespace {

// skin.ini as sections of key = value, answered as the private-profile
// functions answer; counts every read so that caps show.
class MapSource : public SkinIniSource {
 public:
  std::vector<std::pair<std::string, std::map<std::string, std::string>>> sections;
  int reads = 0;

  std::string Text(const std::string& section, const std::string& key, std::size_t limit) override {
    ++reads;
    const std::string* v = Find(section, key);
    return v ? v->substr(0, limit) : std::string();
  }
  std::uint32_t Number(const std::string& section, const std::string& key,
                       std::uint32_t fallback) override {
    ++reads;
    const std::string* v = Find(section, key);
    return v ? ProfileInt(*v) : fallback;
  }
  std::vector<std::string> Sections(std::size_t) override {
    std::vector<std::string> names;
    for (const auto& s : sections) names.push_back(s.first);
    return names;
  }

 private:
  const std::string* Find(const std::string& section, const std::string& key) const {
    for (const auto& s : sections) {
      if (!SkinNamesEqual(s.first, section)) continue;
      const auto it = s.second.find(key);
      return it == s.second.end() ? nullptr : &it->second;
    }
    return nullptr;
  }
};

bool has_finding(const SkinDescription& d, SkinFinding::Kind kind, const std::string& key) {
  for (const SkinFinding& f : d.findings) {
    if (f.kind == kind && f.key == key) return true;
  }
  return false;
}

TEST(SkinDescriptionTest, ReadsRecordsWithTheirValues) {
  MapSource src;
  src.sections = {
      {"SKINS", {{"VERSION", "3"}}},
      {"language",
       {{"TEXTCOLOR", "255,255,255"},
        {"RECTS", "2"},
        {"RECT1", "0,0,128"},
        {"RECT1POS", "0,0"},
        {"RECT1AREA", "460,40"},
        {"RECT2", "255,0"},
        {"IMAGES", "1"},
        {"IMAGE1", "logo.gif"},
        {"IMAGE1POS", "10,5"},
        {"IMAGE1OPT", "TRANSPARENT,UPPER_RIGHT"},
        {"BUTTONS", "1"},
        {"BUTTON1", "9"},
        {"BUTTON1UP", "up.bmp"},
        {"BUTTON1POS", "300,280"},
        {"BUTTONSUP", "ignored.bmp"}}},
      {"ALL", {{"BUTTONSUP", "all-up.bmp"}, {"BUTTONSTXTCLR", "1,2,3"}}},
  };
  const SkinDescription d = ReadSkinDescription(src);
  EXPECT_EQ(d.version, 3u);
  ASSERT_EQ(d.records.size(), 2u);
  EXPECT_EQ(d.records[0].name, "ALL");  // the fallback comes first
  ASSERT_TRUE(d.records[0].button_defaults);
  EXPECT_EQ(d.records[0].button_defaults->up, "all-up.bmp");
  EXPECT_EQ(d.records[0].button_defaults->text, 0x030201u);

  const SkinRecord* r = d.Find("LANGUAGE");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->text_colour, 0xFFFFFFu);
  ASSERT_EQ(r->rects.size(), 2u);
  EXPECT_EQ(r->rects[0].colour, 0x800000u);
  EXPECT_EQ(r->rects[0].to, (SkinPoint{460, 40}));
  EXPECT_EQ(r->rects[1].colour, std::nullopt);  // one comma: the face colour
  ASSERT_EQ(r->images.size(), 1u);
  EXPECT_EQ(r->images[0].options, kSkinTransparent | kSkinUpperRight);
  EXPECT_EQ(r->images[0].position, (SkinPoint{10, 5}));
  ASSERT_NE(r->Button(9), nullptr);
  EXPECT_EQ(r->Button(9)->look.up, "up.bmp");
  EXPECT_EQ(r->Button(9)->position, (SkinPoint{300, 280}));
  EXPECT_FALSE(r->button_defaults);  // only "ALL" sections have defaults
  EXPECT_TRUE(has_finding(d, SkinFinding::Kind::colour_ignored, "RECT2"));
}

TEST(SkinDescriptionTest, HostileCountsEndQuicklyAndAreReported) {
  MapSource src;
  src.sections = {{"ALL", {{"RECTS", "-1"}, {"IMAGES", "2147483647"}, {"BUTTONS", "0x7fffffff"}}}};
  const SkinDescription d = ReadSkinDescription(src);
  ASSERT_EQ(d.records.size(), 1u);
  EXPECT_TRUE(d.records[0].rects.empty());
  EXPECT_EQ(d.records[0].images.size(), kSkinMaxCount);
  EXPECT_EQ(d.records[0].buttons.size(), kSkinMaxCount);
  EXPECT_LT(src.reads, 4000);
  EXPECT_TRUE(has_finding(d, SkinFinding::Kind::negative_count, "RECTS"));
  EXPECT_TRUE(has_finding(d, SkinFinding::Kind::count_capped, "IMAGES"));
}

TEST(SkinDescriptionTest, SectionsBecomeRecordsByTheirNames) {
  MapSource src;
  for (const char* name : {"SKINS", "ALLX", "ALL-0407", "progress", "progress"})
    src.sections.push_back({name, {}});
  const SkinDescription d = ReadSkinDescription(src);
  ASSERT_EQ(d.records.size(), 2u);
  EXPECT_EQ(d.records[0].name, "ALL-0407");
  EXPECT_TRUE(d.records[0].button_defaults);
  EXPECT_EQ(d.records[1].name, "progress");
  EXPECT_EQ(d.Find("ALL"), nullptr);  // a file without [ALL] has no default skin

  MapSource many;
  for (int i = 0; i < 100; ++i) many.sections.push_back({"page" + std::to_string(i), {}});
  const SkinDescription capped = ReadSkinDescription(many);
  EXPECT_EQ(capped.records.size(), kSkinMaxRecords);
  EXPECT_EQ(capped.findings.back().kind, SkinFinding::Kind::too_many_sections);
}

}  // namespace
}  // namespace kx
