#include "tools/prq_checker/prq_lint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "prereq/xml/parser.h"

namespace kx::prqcheck {
namespace {

// The element warnings of a whole document, in order.
class linting_handler : public sax::DocumentHandler {
 public:
  void startDocument() override {}
  void startElement(sax::text_view name, const sax::AttributeList& attributes) override {
    for (std::string& w : lint_element(name, attributes)) warnings.push_back(std::move(w));
    last = attributes;
  }
  void endDocument() override {}
  void endElement(sax::text_view) override {}
  void ignorableWhitespace(const xchar*, std::size_t, std::size_t) override {}
  void characters(const xchar*, std::size_t, std::size_t) override {}
  std::vector<std::string> warnings;
  sax::AttributeList last;
};

linting_handler lint(const xchar* document) {
  linting_handler handler;
  sax::Parser(handler).parse(document);
  for (std::string& w : lint_text(document)) handler.warnings.push_back(std::move(w));
  return handler;
}

std::string joined(const std::vector<std::string>& warnings) {
  std::string all;
  for (const std::string& w : warnings) all += w + "\n";
  return all;
}

TEST(PrqLint, WarnsAboutWhatTheReaderPassesOver) {
  struct row {
    const xchar* document;
    const char* warning;  // a part of an expected warning; null: none at all
  };
  const row rows[] = {
      {KXT("<execute file=\"a.exe\" returncodetoreboot=\"3010\"/>"), nullptr},
      {KXT("<SetupPrereq><files></files></SetupPrereq>"), nullptr},
      {KXT("<Execute file=\"a.exe\"/>"), "names are case-sensitive (<execute>?)"},
      {KXT("<execute File=\"a.exe\"/>"), "File= is ignored: names are case-sensitive (file=?)"},
      {KXT("<properties id=\"{x}\"/>"), "(Id=?)"},
      {KXT("<packages/>"), "not an element the launcher reads"},
      {KXT("<file LocalFile=\"a\" Size=\"1\"/>"), "Size= is not read"},
      {KXT("<behavior Reboot=\"two\"/>"), "Reboot=\"two\" is not a number: it reads as 0"},
      {KXT("<behavior Failure=\"2 \"/>"), "has text after its number: it reads as 2"},
      {KXT("<execute returncodetoreboot=\"1641,3010,\"/>"), "entry without a number"},
      {KXT("<operatingsystemcondition ProductType=\"2||3\"/>"), "entry without a number"},
      {KXT("<file CheckSum=\"24E8177B25C072F4FB0D37496CCDBB3\"/>"), "not an MD5 digest"},
      {KXT("<file CheckSum=\"24e8177b25c072f4fb0d37496ccdbb3g\"/>"), "not an MD5 digest"},
      {KXT("<file CheckSum=\"24e8177b25c072f4fb0d37496ccdbb34\"/>"), nullptr},
      {KXT("<file CheckSum=\"24e8177b25c072f4fb0d37496ccdbb3424e8177b25c072f4fb0d37496ccdbb34\"/>"),
       nullptr},
      {KXT("<file CheckSum=\"24e8177b25c072f4fb0d37496ccdbb3424e8177b25c072f4fb0d37496ccdbb3\"/>"),
       "not an MD5 digest"},
      {KXT("<condition Type=\"3\" Comparison=\"1\"/>"), "always holds: unknown condition type"},
      {KXT("<condition Type=\"1\" Comparison=\"32\" Path=\"HKEY_USERS\\x\"/>"), "always fails"},
      {KXT("<condition Type=\"4\" Comparison=\"4\" FileName=\"a\"/>"), "always fails"},
      {KXT("<condition Type=\"16\" Comparison=\"4\" FileName=\"a\"/>"), nullptr},
      {KXT("<condition Type=\"8\" Comparison=\"4\" FileName=\"a\" ReturnValue=\"1.2\"/>"),
       "unsupported comparison code"},
      {KXT("<condition Type=\"8\" Comparison=\"1\" FileName=\"a\" ReturnValue=\"yesterday\"/>"),
       "not a file time"},
      {KXT("<condition Type=\"2\" Comparison=\"1\" Path=\"HKLM\\Software\"/>"),
       "the key is never found"},
      {KXT("<condition Type=\"2\" Comparison=\"64\" Path=\"HKEY_CURRENT_USER\\x\"/>"),
       "unknown comparison code"},
      {KXT("<condition Type=\"4\" Comparison=\"1\" Path=\"[programfilesfolder]x\"/>"),
       "is not known (names are case-sensitive)"},
      {KXT("<condition Type=\"4\" Comparison=\"1\" Path=\"[HKEY_LOCAL_MACHINE\\S\\v]x\"/>"),
       nullptr},
      {KXT("<condition Type='1' Comparison=\"1\"/>"), "without double quotes"},
      {KXT("<!-- <condition Type=\"4\"/> --><x-y/>"), "a comment contains markup"},
      {KXT("<!-- 5\" disk --><execute file=\"a.exe\"/>"), nullptr},
      {KXT("<execute file=\"a.exe\"/><!-- never closed"), "a comment is never closed"},
      {KXT("<execute file=\"a.exe/>"), "a double quote is never closed"},
  };
  for (const row& r : rows) {
    std::vector<std::string> warnings = lint(r.document).warnings;
    // The checker's own unknown-element warning for the marker <x-y/>.
    std::erase_if(warnings,
                  [](const std::string& w) { return w.find("<x-y>") != std::string::npos; });
    const std::string doc = utf8(r.document);
    if (!r.warning) {
      EXPECT_TRUE(warnings.empty()) << doc << "\n" << joined(warnings);
      continue;
    }
    const bool found = std::any_of(warnings.begin(), warnings.end(), [&r](const std::string& w) {
      return w.find(r.warning) != std::string::npos;
    });
    EXPECT_TRUE(found) << doc << "\n" << joined(warnings);
  }
}

TEST(PrqLint, DescribesConditionsAsTheLauncherReadsThem) {
  struct row {
    const xchar* element;
    const char* words;
  };
  const row rows[] = {
      {KXT("<condition Type=\"1\" Comparison=\"2\" Path=\"HKEY_LOCAL_MACHINE\\S\\K\"/>"),
       "registry key HKEY_LOCAL_MACHINE\\S\\K: does not exist"},
      {KXT("<condition Type=\"32\" Comparison=\"4\" Path=\"HKEY_LOCAL_MACHINE\\S\" FileName=\"V\" "
           "ReturnValue=\"10.0\" Bits=\"2\"/>"),
       "registry value HKEY_LOCAL_MACHINE\\S\\V, 64-bit registry view, compared as a version: "
       "greater "
       "than \"10.0\""},
      {KXT("<condition Type=\"16\" Comparison=\"2\" Path=\"[SystemFolder]\" FileName=\"a.dll\" "
           "ReturnValue=\"1.2\"/>"),
       "version of file [SystemFolder]\\a.dll: older than (or missing) 1.2"},
      {KXT("<condition Type=\"9\"/>"), "type 9: always holds"},
      {KXT("<operatingsystemcondition MajorVersion=\"6\" MinorVersion=\"1\" "
           "ServicePackMajorMin=\"1\" "
           "Bits=\"6\"/>"),
       "Windows major version 6, minor version 1, service pack at least 1, 64-bit"},
      {KXT("<operatingsystemcondition/>"), "any Windows"},
  };
  for (const row& r : rows) {
    const linting_handler h = lint(r.element);
    const bool os = sax::text_view(r.element).starts_with(KXT("<operatingsystemcondition"));
    EXPECT_EQ(os ? describe_os_condition(h.last) : describe_condition(h.last), r.words);
  }
}

TEST(PrqLint, RecordWarningsNameRefusedAndMissingParts) {
  prereq::definition_record record;
  EXPECT_EQ(lint_record(record).size(), 2u);  // no execute, no file
  record.executeFile = KXT("..\\..\\evil.exe");
  record.executeFileRefused = true;
  record.files.push_back({KXT("a.exe"), KXT(""), KXT(""), KXT("")});
  const std::vector<std::string> warnings = lint_record(record);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("..\\..\\evil.exe"), std::string::npos);
}

}  // namespace
}  // namespace kx::prqcheck
