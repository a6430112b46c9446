#include "tools/prq_checker/prq_lint.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "base/text_encoding.h"
#include "prereq/numbers.h"
#include "prereq/xml/parser.h"

namespace kx::prqcheck {
namespace {

using sax::text_view;

struct element_schema {
  std::u16string_view name;
  std::vector<std::u16string_view> attributes;
  // Attributes read as one number each.
  std::vector<std::u16string_view> numbers;
};

const std::vector<element_schema>& schemas() {
  static const std::vector<element_schema> all = {
      {u"condition",
       {u"Type", u"Comparison", u"Path", u"FileName", u"ReturnValue", u"Bits"},
       {u"Type", u"Comparison", u"Bits"}},
      {u"operatingsystemcondition",
       {u"MajorVersion", u"MinorVersion", u"PlatformId", u"BuildNumber", u"ServicePackMajorMin",
        u"ServicePackMajorMax", u"CSDVersion", u"ProductType", u"Language", u"Bits"},
       {u"MajorVersion", u"MinorVersion", u"PlatformId", u"BuildNumber", u"ServicePackMajorMin",
        u"ServicePackMajorMax", u"Language", u"Bits"}},
      {u"file", {u"LocalFile", u"URL", u"CheckSum", u"FileSize"}, {}},
      {u"execute",
       {u"file", u"cmdline", u"cmdlinesilent", u"returncodetoreboot", u"forcesilent",
        u"requiresmsiengine"},
       {}},
      {u"properties", {u"Id", u"AltPrqURL", u"Description"}, {}},
      {u"dependency", {u"File"}, {}},
      {u"behavior",
       {u"Optional", u"Reboot", u"Failure", u"Lua", u"Hidden", u"MsiProgress", u"IgnoreTmpRename"},
       {u"Optional", u"Reboot", u"Failure", u"Lua", u"Hidden", u"MsiProgress", u"IgnoreTmpRename"}},
  };
  return all;
}

// Elements that only group others; the reader ignores them by design.
constexpr std::array<std::u16string_view, 5> kContainers = {
    u"SetupPrereq", u"conditions", u"operatingsystemconditions", u"files", u"dependencies"};

constexpr std::array<std::u16string_view, 7> kRootKeys = {
    u"HKEY_CLASSES_ROOT",     u"HKEY_CURRENT_USER",   u"HKEY_LOCAL_MACHINE", u"HKEY_USERS",
    u"HKEY_PERFORMANCE_DATA", u"HKEY_CURRENT_CONFIG", u"HKEY_DYN_DATA"};

// Pieces joined by appending: GCC 12 warns falsely (-Wrestrict) about
// literal + std::string chains.
std::string cat(std::initializer_list<std::string_view> pieces) {
  std::string out;
  for (const std::string_view p : pieces) out.append(p);
  return out;
}

std::u16string_view u16(text_view t) {
  return std::u16string_view(reinterpret_cast<const char16_t*>(t.data()), t.size());
}

std::string utf8_16(std::u16string_view t) {
  return utf8(text_view(reinterpret_cast<const xchar*>(t.data()), t.size()));
}

bool equal_ignoring_case(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
           return fold_ascii(xchar(x)) == fold_ascii(xchar(y));
         });
}

template <class Names>
const std::u16string_view* case_twin(const Names& names, std::u16string_view name) {
  for (const auto& known : names) {
    if (known != name && equal_ignoring_case(known, name)) return &known;
  }
  return nullptr;
}

bool contains(const std::vector<std::u16string_view>& names, std::u16string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// A number attribute that reads as something other than it says.
void lint_number(std::u16string_view element, std::u16string_view attribute, text_view value,
                 std::vector<std::string>& out) {
  if (value.empty()) return;
  const std::string where =
      cat({"<", utf8_16(element), "> ", utf8_16(attribute), "=\"", utf8(value), "\""});
  if (!prereq::has_number(value)) {
    out.push_back(cat({where, " is not a number: it reads as 0"}));
    return;
  }
  std::size_t i = 0;
  while (i < value.size() && (value[i] == xchar(' ') || value[i] == xchar('\t'))) ++i;
  if (i < value.size() && (value[i] == xchar('-') || value[i] == xchar('+'))) ++i;
  while (i < value.size() && value[i] >= xchar('0') && value[i] <= xchar('9')) ++i;
  if (i < value.size()) {
    out.push_back(cat({where, " has text after its number: it reads as " +
                                  std::to_string(prereq::parse_number(value))}));
  }
}

void lint_list(std::u16string_view element, std::u16string_view attribute, text_view value,
               xchar separator, std::vector<std::string>& out) {
  if (value.empty()) return;
  std::size_t start = 0;
  while (start <= value.size()) {
    std::size_t end = value.find(separator, start);
    if (end == text_view::npos) end = value.size();
    if (!prereq::has_number(value.substr(start, end - start))) {
      out.push_back(cat({"<", utf8_16(element), "> ", utf8_16(attribute), "=\"",
                         utf8(value) + "\" has an entry without a number: it is skipped"}));
      return;
    }
    start = end + 1;
  }
}

void lint_condition(const sax::AttributeList& a, std::vector<std::string>& out) {
  const std::uint32_t type = prereq::parse_number(a.getValue(KXT("Type")));
  const std::uint32_t comparison = prereq::parse_number(a.getValue(KXT("Comparison")));
  const std::string where = cat({"<condition Type=\"", std::to_string(type),
                                 "\" Comparison=\"" + std::to_string(comparison), "\">"});
  switch (type) {
    case 1:
      if (comparison != 1 && comparison != 2) {
        out.push_back(
            cat({where, (comparison == 32 ? " always fails" : " fails whenever the key exists")}));
      }
      break;
    case 2:
    case 32:
      if (comparison != 1 && comparison != 2 && comparison != 4 && comparison != 8 &&
          comparison != 16 && comparison != 32) {
        out.push_back(cat({where, " holds whenever the value exists: unknown comparison code"}));
      }
      break;
    case 4:
      if (comparison != 1 && comparison != 2) out.push_back(cat({where, " always fails"}));
      break;
    case 8:
    case 16:
      if (comparison != 1 && comparison != 2 && !(type == 16 && comparison == 4)) {
        out.push_back(cat({where, " fails whenever the file exists: unsupported comparison code"}));
      }
      break;
    default:
      out.push_back(cat({where, " always holds: unknown condition type"}));
      return;
  }
  const text_view path = a.getValue(KXT("Path"));
  if (type == 1 || type == 2 || type == 32) {
    const std::u16string_view root =
        u16(path.substr(0, std::min(path.find(xchar('\\')), path.size())));
    if (std::find(kRootKeys.begin(), kRootKeys.end(), root) == kRootKeys.end()) {
      out.push_back(
          cat({where, " Path=\"",
               utf8(path) + "\" does not start with a root key name as the launcher spells it "
                            "(HKEY_LOCAL_MACHINE\\...): the key is never found"}));
    }
  } else if (!path.empty() && path.front() == xchar('[') &&
             path.find(xchar(']')) != text_view::npos) {
    constexpr std::array<std::u16string_view, 7> kFolders = {
        u"[ProgramFilesFolder]",  u"[CommonFilesFolder]", u"[ProgramFiles64Folder]",
        u"[CommonFiles64Folder]", u"[WindowsFolder]",     u"[SystemFolder]",
        u"[System64Folder]"};
    const std::u16string_view token = u16(path.substr(0, path.find(xchar(']')) + 1));
    const bool registry = token.size() > 2 && token.find(u'\\') != std::u16string_view::npos;
    if (!registry && std::find(kFolders.begin(), kFolders.end(), token) == kFolders.end()) {
      out.push_back(
          cat({where, " folder variable ",
               utf8_16(token) + " is not known (names are case-sensitive): it stays as written"}));
    }
  }
  if (type == 8) {
    const text_view value = a.getValue(KXT("ReturnValue"));
    const std::size_t dot = value.find(xchar('.'));
    if (!prereq::has_number(value.substr(0, dot)) ||
        (dot != text_view::npos && !prereq::has_number(value.substr(dot + 1)))) {
      out.push_back(
          cat({where, " ReturnValue=\"",
               utf8(value) + "\" is not a file time written as high.low decimal numbers"}));
    }
  }
}

}  // namespace

std::string utf8(sax::text_view text) {
  std::string out;
  encode_text(string::view(text.data(), text.size()), kCodePageUtf8, false, out);
  return out;
}

std::vector<std::string> lint_element(sax::text_view name, const sax::AttributeList& attributes) {
  std::vector<std::string> out;
  const std::u16string_view element = u16(name);
  if (element.empty() || element.front() == u'?' || element.front() == u'!') return out;
  const element_schema* schema = nullptr;
  for (const element_schema& s : schemas()) {
    if (s.name == element) schema = &s;
  }
  if (!schema) {
    if (std::find(kContainers.begin(), kContainers.end(), element) != kContainers.end()) return out;
    std::vector<std::u16string_view> known(kContainers.begin(), kContainers.end());
    for (const element_schema& s : schemas()) known.push_back(s.name);
    if (const auto* twin = case_twin(known, element)) {
      out.push_back(cat({"<", utf8_16(element),
                         "> is ignored: names are case-sensitive (<" + utf8_16(*twin), ">?)"}));
    } else {
      out.push_back(
          cat({"<", utf8_16(element), "> is not an element the launcher reads: ignored"}));
    }
    return out;
  }
  for (std::size_t i = 0; i < attributes.getLength(); ++i) {
    const std::u16string_view attribute = u16(attributes.getName(i));
    if (contains(schema->attributes, attribute)) continue;
    if (const auto* twin = case_twin(schema->attributes, attribute)) {
      out.push_back(cat({"<", utf8_16(element), "> ",
                         utf8_16(attribute) + "= is ignored: names are case-sensitive (",
                         utf8_16(*twin), "=?)"}));
    } else {
      out.push_back(
          cat({"<", utf8_16(element), "> ", utf8_16(attribute), "= is not read: ignored"}));
    }
  }
  for (const std::u16string_view number : schema->numbers) {
    lint_number(element, number,
                attributes.getValue(
                    text_view(reinterpret_cast<const xchar*>(number.data()), number.size())),
                out);
  }
  if (element == u"condition") lint_condition(attributes, out);
  if (element == u"execute") {
    lint_list(element, u"returncodetoreboot", attributes.getValue(KXT("returncodetoreboot")),
              xchar(','), out);
  }
  if (element == u"operatingsystemcondition") {
    lint_list(element, u"ProductType", attributes.getValue(KXT("ProductType")), xchar('|'), out);
  }
  if (element == u"file") {
    const text_view sum = attributes.getValue(KXT("CheckSum"));
    const bool hex = std::all_of(sum.begin(), sum.end(), [](xchar c) {
      return (c >= xchar('0') && c <= xchar('9')) ||
             (fold_ascii(c) >= xchar('a') && fold_ascii(c) <= xchar('f'));
    });
    if (!sum.empty() && ((sum.size() != 32 && sum.size() != 64) || !hex)) {
      out.push_back(cat({"<file> CheckSum=\"", utf8(sum),
                         "\" is not an MD5 digest (32 hexadecimal digits) or a SHA-256 digest "
                         "(64): no download can match it"}));
    }
  }
  return out;
}

std::vector<std::string> lint_text(sax::text_view text) {
  std::vector<std::string> out;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const xchar c = text[i];
    if (!quoted && text.substr(i, 4) == KXT("<!--")) {
      const std::size_t end = text.find(KXT("-->"), i + 4);
      const text_view body =
          text.substr(i + 4, end == text_view::npos ? text_view::npos : end - i - 4);
      if (end == text_view::npos) {
        out.push_back("a comment is never closed: everything after it is ignored");
        return out;
      }
      if (body.find(xchar('<')) != text_view::npos) {
        out.push_back("a comment contains markup: it is skipped, the elements in it are not read");
      }
      i = end + 2;
      continue;
    }
    if (c == xchar('"')) {
      quoted = !quoted;
      continue;
    }
    if (quoted || c != xchar('=')) continue;
    std::size_t j = i + 1;
    while (j < text.size() && sax::is_white(text[j])) ++j;
    if (j < text.size() && text[j] != xchar('"')) {
      std::size_t name_start = i;
      while (name_start > 0 && !sax::is_white(text[name_start - 1]) &&
             text[name_start - 1] != xchar('<')) {
        --name_start;
      }
      out.push_back(
          cat({"attribute ",
               utf8(text.substr(name_start, i - name_start)) +
                   "= has a value without double quotes: it takes the next quoted value instead"}));
    }
  }
  if (quoted) out.push_back("a double quote is never closed: the elements after it are not read");
  return out;
}

std::vector<std::string> lint_record(const prereq::definition_record& record) {
  std::vector<std::string> out;
  if (record.idRefused) {
    out.push_back(cat({"Id=\"", utf8(record.id.str()),
                       "\" is not a plain folder name: the package is never found"}));
  }
  if (record.fileNameRefused) {
    out.push_back("a LocalFile names no plain file name: the package is never found");
  }
  if (record.executeFileRefused) {
    out.push_back(
        cat({"execute file=\"", utf8(record.executeFile.str()) +
                                    "\" is not a plain relative path: the package is never run"}));
  }
  if (record.executeFile.empty()) out.push_back("there is no <execute file=...>: nothing is run");
  if (record.FileCount() == 0) out.push_back("there is no <file>: the package has no files");
  return out;
}

}  // namespace kx::prqcheck
