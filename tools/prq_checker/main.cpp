// kxprq: reads prerequisite definitions (".prq") with the launcher's own
// reader and prints what the launcher will see, with warnings for what its
// lenient reading passes over in silence.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "prereq/definition_reader.h"
#include "tools/prq_checker/prq_lint.h"

namespace {

using namespace kx;

constexpr const char* kUsage =
    R"(Usage: kxprq FILE.prq...

Reads each prerequisite definition as the setup launcher reads it and prints
the package it describes (files, the program to run and its arguments, the
restart codes, the behaviour), each condition in words, and warnings for
what the launcher's reader silently ignores or reads differently from what
was probably meant: names in the wrong case, unknown elements and
attributes, unparsable numbers, list entries without a number, condition
types and comparison codes that always hold or always fail, values without
double quotes, markup inside comments, unsafe names and checksums that are
not MD5 digests.

Conditions are described, not evaluated: the checker does not look at the
machine it runs on.

Exit status: 0 when no file has warnings; 1 when a file has warnings or the
arguments are wrong; 2 when a file cannot be read (missing, or larger than
4 MiB).
)";

// Describes the conditions instead of judging them; reports every
// operating-system alternative as failed so that all of them are read.
class describing_evaluator : public prereq::condition_evaluator {
 public:
  bool os_condition(const sax::AttributeList& attributes, prereq::trace_line& trace) override {
    os.push_back(prqcheck::describe_os_condition(attributes));
    trace.reset();
    return false;
  }
  bool condition(const sax::AttributeList& attributes, prereq::trace_line& trace) override {
    conditions.push_back(prqcheck::describe_condition(attributes));
    trace.reset();
    return true;
  }
  std::vector<std::string> os, conditions;
};

class checking_handler : public sax::DocumentHandler {
 public:
  explicit checking_handler(prereq::definition_reader& reader) : reader_(reader) {}
  void startDocument() override {}
  void startElement(sax::text_view name, const sax::AttributeList& attributes) override {
    for (std::string& w : prqcheck::lint_element(name, attributes))
      warnings.push_back(std::move(w));
    reader_.element(name, attributes);
  }
  void endDocument() override {}
  void endElement(sax::text_view) override {}
  void ignorableWhitespace(const xchar*, std::size_t, std::size_t) override {}
  void characters(const xchar*, std::size_t, std::size_t) override {}
  std::vector<std::string> warnings;

 private:
  prereq::definition_reader& reader_;
};

std::string u8(const string& text) {
  return prqcheck::utf8(text.str());
}

void print_record(const prereq::definition_record& r, const describing_evaluator& described) {
  std::printf("  id:            %s\n", u8(r.id).c_str());
  std::printf("  run:           %s\n", u8(r.executeFile).c_str());
  std::printf("  arguments:     %s\n", u8(r.commandLine).c_str());
  std::printf("  silent:        %s\n", u8(r.silentCommandLine).c_str());
  std::string codes;
  for (const std::uint32_t c : r.reboot_return_codes()) {
    codes += (codes.empty() ? "" : ", ") + std::to_string(static_cast<std::int32_t>(c));
  }
  std::printf("  restart codes: %s\n", codes.c_str());
  for (std::size_t i = 0; i < r.FileCount(); ++i) {
    std::printf("  file %zu:        %s\n", i + 1, u8(r.LocalFile(i)).c_str());
    if (!r.Url(i).empty()) std::printf("    from         %s\n", u8(r.Url(i)).c_str());
    if (!r.CheckSum(i).empty()) std::printf("    MD5          %s\n", u8(r.CheckSum(i)).c_str());
  }
  if (!r.altPrqUrl.empty()) std::printf("  replaced by:   %s\n", u8(r.altPrqUrl).c_str());
  for (const string& d : r.dependencies) std::printf("  depends on:    %s\n", u8(d).c_str());
  std::printf("  behaviour:     Reboot=%u Failure=%u%s%s%s%s%s%s\n", r.rebootBehavior,
              r.failureBehavior, r.optional ? " Optional" : "", r.lua ? " Lua" : "",
              r.hidden ? " Hidden" : "", r.msiProgress ? " MsiProgress" : "",
              r.ignoreTmpRename ? " IgnoreTmpRename" : "",
              r.requiresMsiEngine ? " requiresmsiengine" : "");
  if (!described.conditions.empty()) std::printf("  installed when all of these hold:\n");
  for (const std::string& c : described.conditions) std::printf("    - %s\n", c.c_str());
  if (!described.os.empty()) std::printf("  and the system is one of:\n");
  for (const std::string& c : described.os) std::printf("    - %s\n", c.c_str());
  if (described.conditions.empty() && described.os.empty()) {
    std::printf("  installed always: there are no conditions\n");
  }
}

// 0 clean, 1 warnings, 2 unreadable.
int check(const std::filesystem::path& path) {
  std::printf("%s\n", path.string().c_str());
  std::ifstream in(path, std::ios::binary);
  std::string bytes;
  if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  sax::text text;
  if (!in || in.bad() || !prereq::definition_text(bytes.data(), bytes.size(), text)) {
    std::fprintf(stderr, "kxprq: %s: cannot be read%s\n", path.string().c_str(),
                 bytes.size() > prereq::kMaxDefinitionBytes ? " (larger than 4 MiB)" : "");
    return 2;
  }
  describing_evaluator described;
  prereq::definition_services services;
  services.evaluator = &described;
  prereq::definition_reader reader(nullptr, services);
  reader.set_evaluate(true);
  reader.begin(false);
  checking_handler handler(reader);
  prereq::parse_definition(handler, text);
  print_record(reader.record(), described);

  std::vector<std::string> warnings = prqcheck::lint_text(text);
  warnings.insert(warnings.end(), handler.warnings.begin(), handler.warnings.end());
  for (std::string& w : prqcheck::lint_record(reader.record())) warnings.push_back(std::move(w));
  for (const std::string& w : warnings) std::printf("  warning: %s\n", w.c_str());
  return warnings.empty() ? 0 : 1;
}

int run(const std::vector<std::filesystem::path>& args) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::fputs(kUsage, args.empty() ? stderr : stdout);
    return args.empty() ? 1 : 0;
  }
  int status = 0;
  for (const std::filesystem::path& path : args) {
    const int s = check(path);
    if (s > status) status = s;
  }
  return status;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  return run(std::vector<std::filesystem::path>(argv + 1, argv + argc));
}
#else
int main(int argc, char** argv) {
  return run(std::vector<std::filesystem::path>(argv + 1, argv + argc));
}
#endif
