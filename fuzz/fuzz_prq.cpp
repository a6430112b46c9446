// Definition files as anyone may write or send them: any bytes must decode,
// parse and fill a record without fault. No element can be counted twice,
// every trace line is a whole line, the name checks agree with the record,
// and loading the same bytes again as the same definition gives the same
// record.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/payload_names.h"
#include "prereq/definition_reader.h"

namespace {

using kx::xchar;
using kx::prereq::definition_record;

void check(bool ok) {
  if (!ok) std::abort();
}

struct checking_sink : kx::prereq::trace_sink {
  std::vector<kx::string> lines;
  void line(const kx::string& finished) override {
    const sax::text s = finished.str();
    check(s.rfind(KXT("PrereqEngine: "), 0) == 0);
    const sax::text ok = KXT(" -- Successful");
    const sax::text failed = KXT(" -- Failed!");
    check((s.size() >= ok.size() && s.compare(s.size() - ok.size(), ok.size(), ok) == 0) ||
          (s.size() >= failed.size() &&
           s.compare(s.size() - failed.size(), failed.size(), failed) == 0));
    lines.push_back(finished);
  }
};

std::size_t occurrences(const sax::text& text, const xchar* what) {
  const sax::text_view needle(what);
  std::size_t n = 0;
  for (std::size_t at = text.find(needle); at != sax::text::npos; at = text.find(needle, at + 1))
    ++n;
  return n;
}

bool refused_id(const kx::string& id) {
  return !id.empty() &&
         kx::payload::check_file_name(id.as_view()) != kx::payload::name_problem::none;
}

bool same_files(const definition_record& a, const definition_record& b) {
  if (a.files.size() != b.files.size() || a.dependencies.size() != b.dependencies.size())
    return false;
  for (std::size_t i = 0; i < a.files.size(); ++i) {
    if (a.files[i].localFile.str() != b.files[i].localFile.str() ||
        a.files[i].url.str() != b.files[i].url.str() ||
        a.files[i].checkSum.str() != b.files[i].checkSum.str())
      return false;
  }
  return a.id.str() == b.id.str() && a.executeFile.str() == b.executeFile.str() &&
         a.altPrqUrl.str() == b.altPrqUrl.str() && a.NamesRefused() == b.NamesRefused();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  checking_sink sink;
  std::size_t expansions = 0;
  kx::prereq::definition_services services;
  services.expand = [&expansions](const kx::string& s) {
    ++expansions;
    return s;
  };
  kx::prereq::definition_reader reader(&sink, services);
  reader.load_bytes(data, size, false, kx::string());
  const definition_record first = reader.record();

  sax::text text;
  check(kx::prereq::definition_text(data, size, text));
  text.resize(std::min(text.size(), sax::text_view(text).find(xchar(0))));
  check(first.files.size() <= occurrences(text, KXT("<file")));
  check(first.dependencies.size() <= occurrences(text, KXT("<dependency")));
  check(expansions <= 2 * occurrences(text, KXT("<execute")));
  // At most five lines an element (a "behavior" writes five).
  check(sink.lines.size() <= 5 * occurrences(text, KXT("<")));
  check(first.idRefused == refused_id(first.id));
  if (!first.executeFile.empty())
    check(first.executeFileRefused ==
          (kx::payload::check_relative_path(first.executeFile.as_view()) !=
           kx::payload::name_problem::none));
  // Nothing was evaluated.
  check(!first.hasOsConditions && !first.hasConditions && first.ConditionsSatisfied());
  check(first.rebootBehavior != 0 && first.failureBehavior != 0);
  (void)first.reboot_return_codes();

  // The same file again, as the same definition: the same record, and the
  // command lines chosen the first time stay.
  reader.load_bytes(data, size, true, kx::string());
  const definition_record& second = reader.record();
  check(same_files(first, second));
  check(second.commandLine.str() == first.commandLine.str());
  check(second.silentCommandLine.str() == first.silentCommandLine.str());
  return 0;
}
