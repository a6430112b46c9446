// Prerequisite definition files (".prq"): the bytes of a file become one
// record of what the definition says, element by element, with its
// "PrereqEngine: " trace lines.
//
// Windows-free: the environment expansion, the masking of traced secrets
// and the judging of conditions come from the caller, so that the host
// fuzzers read definitions end to end with the code the launcher uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "base/stringx.h"
#include "prereq/condition_evaluator.h"
#include "prereq/trace_line.h"
#include "prereq/xml/attribute_list.h"
#include "prereq/xml/document_handler.h"

namespace kx::prereq {

// The largest definition file that is read; real ones are a few kilobytes.
// A larger one (a replacement from the web, say) is treated as malformed
// rather than read into memory.
inline constexpr std::size_t kMaxDefinitionBytes = std::size_t(4) << 20;

// One package file: where it lies on the medium, where it is downloaded
// from, its digest (32 hexadecimal digits for MD5, 64 for SHA-256, empty
// when unchecked) and its size as written ("<high>,<low>", may be empty).
struct definition_file {
  string localFile;
  string url;
  string checkSum;
  string fileSize;
};

// What one definition says, with the start values of a fresh object.
struct definition_record {
  // Condition verdicts of an evaluating load: at least one
  // "operatingsystemcondition" was seen / one of them matched; a
  // "condition" was seen / none has failed.
  bool hasOsConditions = false;
  bool osConditionMatched = false;
  bool hasConditions = false;
  bool conditionsHold = true;

  // "behavior" flags and numbers; a reload only ever sets them.
  bool hidden = false;
  bool msiProgress = false;
  bool optional = false;
  bool lua = false;
  bool ignoreTmpRename = false;
  bool requiresMsiEngine = false;
  std::uint32_t rebootBehavior = 1;
  std::uint32_t failureBehavior = 1;

  std::vector<definition_file> files;
  // Other definition files this one names; kept, not acted on.
  std::vector<string> dependencies;

  string id;
  string executeFile;
  // Arguments for an interactive and for a silent run, environment
  // references expanded.
  string commandLine;
  string silentCommandLine;
  // The exit codes that mean "installed, reboot required", as written
  // ("1641,3010"); see reboot_return_codes().
  string rebootReturnCodes;
  string forceSilent;
  string altPrqUrl;

  // Names the definition gave that would reach outside the package's
  // folder (or name no file at all) if they were joined into a path: the
  // id as a folder name, the file-name part of a LocalFile, the execute
  // file as a relative path. A package with such a name is treated as one
  // whose files cannot be found; nothing is written, run or deleted for it.
  bool idRefused = false;
  bool fileNameRefused = false;
  bool executeFileRefused = false;

  // True when the definition applies to this machine: no
  // "operatingsystemcondition" or one that matched, and no failed
  // "condition". Meaningful after an evaluating load; a definition without
  // conditions always applies.
  bool ConditionsSatisfied() const noexcept {
    return (!hasOsConditions || osConditionMatched) && conditionsHold;
  }

  // True when any name was refused (see above).
  bool NamesRefused() const noexcept { return idRefused || fileNameRefused || executeFileRefused; }

  // executeFile ends with ".msi" / ".exe", ignoring case.
  bool HasMsiExtension() const noexcept;
  bool HasExeExtension() const noexcept;

  // The number of files, and the parts of file `i`; empty text when `i` is
  // out of range.
  std::size_t FileCount() const noexcept { return files.size(); }
  string LocalFile(std::size_t i) const;
  string Url(std::size_t i) const;
  string CheckSum(std::size_t i) const;

  // rebootReturnCodes as numbers: entries without digits are skipped, so
  // "1641,3010," can never make exit code 0 mean "reboot"; "-1" lists
  // 0xFFFFFFFF.
  std::vector<std::uint32_t> reboot_return_codes() const;
};

// The text of a definition file: a byte-order mark selects UTF-16LE,
// UTF-16BE or UTF-8 and is skipped; without one the bytes are UTF-8.
// False, with `text` empty, when there are more than kMaxDefinitionBytes.
bool definition_text(const void* bytes, std::size_t size, sax::text& text);

// Parses `text` with `handler`. An exception from the handler or the reader
// ends the parse and is swallowed: what was read so far stays in effect.
// False when an exception ended it.
bool parse_definition(sax::DocumentHandler& handler, sax::text_view text) noexcept;

// What the reader takes from its surroundings.
struct definition_services {
  // Expands %NAME% references in a command line; empty keeps it as written.
  std::function<string(const string&)> expand;
  // Hides the secrets in an address before it is traced (a password
  // becomes "***"); empty traces it as written.
  std::function<string(const string&)> mask;
  // Judges conditions in an evaluating load; without one no condition is
  // judged. Not owned.
  condition_evaluator* evaluator = nullptr;
};

// Fills one record from the elements of definition files, loaded one after
// another (a definition replaced by a newer one is loaded over it).
class definition_reader {
 public:
  // `sink` receives the finished trace lines (may be null; not owned).
  explicit definition_reader(trace_sink* sink = nullptr, definition_services services = {});

  // Whether loads judge conditions from now on.
  void set_evaluate(bool evaluate) noexcept { evaluate_ = evaluate; }
  bool evaluating() const noexcept { return evaluate_; }

  // The reset before a file's elements are read: a new trace line, the
  // condition verdicts at their start values, files, dependencies, id,
  // executeFile, rebootReturnCodes, forceSilent and altPrqUrl emptied. The
  // command lines are emptied too unless `same_definition` (a replacement
  // of the definition already loaded keeps the command lines chosen). The
  // behaviour flags and numbers are kept: a reload only ever sets them.
  void begin(bool same_definition);

  // Acts on one element by its exact name: "operatingsystemcondition" and
  // "condition" (evaluating loads only), "file", "properties", "execute",
  // "dependency", "behavior"; anything else is ignored. Traces each.
  void element(sax::text_view name, const sax::AttributeList& attributes);

  // A non-empty `command_line` replaces both command lines.
  void apply_override(const string& command_line);

  // A whole load after the file was read: begin, the text of `bytes`
  // parsed with `handler` (whose startElement is expected to reach
  // element()), apply_override. A file above kMaxDefinitionBytes reads as
  // an empty document, and a trace line says why.
  void load_bytes(const void* bytes, std::size_t size, bool same_definition,
                  const string& command_line_override, sax::DocumentHandler& handler);
  // The same with a handler of the reader's own.
  void load_bytes(const void* bytes, std::size_t size, bool same_definition,
                  const string& command_line_override);

  // The record as loaded so far.
  const definition_record& record() const noexcept { return record_; }
  definition_record& record() noexcept { return record_; }
  // The trace line being built (the reboot check writes to it as well).
  trace_line& trace() noexcept { return trace_; }

 private:
  void on_condition(sax::text_view name, const sax::AttributeList& attributes);
  void on_file(const sax::AttributeList& attributes);
  void on_properties(const sax::AttributeList& attributes);
  void on_execute(const sax::AttributeList& attributes);
  void on_dependency(const sax::AttributeList& attributes);
  void on_behavior(const sax::AttributeList& attributes);
  string masked(sax::text_view address) const;
  string expanded(sax::text_view command_line) const;

  definition_services services_;
  trace_line trace_;
  definition_record record_;
  bool evaluate_ = false;
};

}  // namespace kx::prereq
