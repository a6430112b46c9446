#include "prereq/definition_reader.h"

#include <iterator>
#include <utility>

#include "base/payload_names.h"
#include "base/text_encoding.h"
#include "prereq/numbers.h"
#include "prereq/xml/parser.h"

namespace kx::prereq {
namespace {

using sax::text_view;

bool is(text_view name, const xchar* expected) {
  return name == text_view(expected);
}

string to_string(text_view v) {
  return string(v);
}

text_view view_of(const string& s) {
  return text_view(s.data(), s.size());
}

// Traces a name that a definition may not use, with the reason; true when
// `problem` refuses it.
bool refused(trace_line& trace, const xchar* what, text_view value, payload::name_problem problem) {
  if (problem == payload::name_problem::none) return false;
  trace.append_field(KXT("unsafe name"));
  trace.append_field(what);
  trace.append_field(value);
  trace.append_field(payload::describe(problem));
  trace.end(false);
  return true;
}

// The handler of a load that has no object of its own to parse with.
class element_forwarder final : public sax::DocumentHandler {
 public:
  explicit element_forwarder(definition_reader& reader) : reader_(reader) {}
  void startDocument() override {}
  void startElement(text_view name, const sax::AttributeList& attributes) override {
    reader_.element(name, attributes);
  }
  void endDocument() override {}
  void endElement(text_view) override {}
  void ignorableWhitespace(const xchar*, std::size_t, std::size_t) override {}
  void characters(const xchar*, std::size_t, std::size_t) override {}

 private:
  definition_reader& reader_;
};

}  // namespace

bool definition_text(const void* bytes, std::size_t size, sax::text& text) {
  text.clear();
  if (size > kMaxDefinitionBytes) return false;
  const detected_encoding found = detect_encoding(bytes, size);
  // Without a mark the file is UTF-8, whatever the system's code page.
  const int code_page = found.mark_length ? found.code_page : kCodePageUtf8;
  string decoded;
  if (decode_text(static_cast<const char*>(bytes) + found.mark_length, size - found.mark_length,
                  code_page, decoded) == 0)
    text = decoded.str();
  return true;
}

bool parse_definition(sax::DocumentHandler& handler, text_view text) noexcept {
  try {
    sax::Parser(handler).parse(text);
    return true;
  } catch (...) {
    // A malformed definition reports nothing; its elements read so far
    // stay in effect.
    return false;
  }
}

definition_reader::definition_reader(trace_sink* sink, definition_services services)
    : services_(std::move(services)), trace_(sink) {}

void definition_reader::begin(bool same_definition) {
  trace_.reset();
  record_.hasOsConditions = false;
  record_.osConditionMatched = false;
  record_.hasConditions = false;
  record_.conditionsHold = true;
  record_.files.clear();
  record_.dependencies.clear();
  record_.id.clear();
  record_.executeFile.clear();
  record_.rebootReturnCodes.clear();
  record_.forceSilent.clear();
  record_.altPrqUrl.clear();
  record_.idRefused = false;
  record_.fileNameRefused = false;
  record_.executeFileRefused = false;
  if (!same_definition) {
    record_.commandLine.clear();
    record_.silentCommandLine.clear();
  }
}

void definition_reader::element(text_view name, const sax::AttributeList& attributes) {
  if (evaluate_ && services_.evaluator &&
      (is(name, KXT("operatingsystemcondition")) || is(name, KXT("condition"))))
    on_condition(name, attributes);
  else if (is(name, KXT("file")))
    on_file(attributes);
  else if (is(name, KXT("properties")))
    on_properties(attributes);
  else if (is(name, KXT("execute")))
    on_execute(attributes);
  else if (is(name, KXT("dependency")))
    on_dependency(attributes);
  else if (is(name, KXT("behavior")))
    on_behavior(attributes);
}

void definition_reader::on_condition(text_view name, const sax::AttributeList& attributes) {
  if (is(name, KXT("operatingsystemcondition"))) {
    record_.hasOsConditions = true;
    // The first system that matches decides; later entries leave no trace.
    if (!record_.osConditionMatched && services_.evaluator->os_condition(attributes, trace_))
      record_.osConditionMatched = true;
    return;
  }
  record_.hasConditions = true;
  // Every condition is judged and traced, also after one has failed.
  if (!services_.evaluator->condition(attributes, trace_)) record_.conditionsHold = false;
}

void definition_reader::on_file(const sax::AttributeList& attributes) {
  const text_view local = attributes.getValue(KXT("LocalFile"));
  const text_view url = attributes.getValue(KXT("URL"));
  const text_view sum = attributes.getValue(KXT("CheckSum"));
  record_.files.push_back({to_string(local), to_string(url), to_string(sum),
                           to_string(attributes.getValue(KXT("FileSize")))});
  const string shown_url = masked(url);
  trace_.append_field(KXT("file"));
  trace_.append_group(sum, local, view_of(shown_url), {}, {}, {});
  trace_.end(true);
  // Only the file-name part names the file inside the package's folder; a
  // part that is empty, "..", a device or a stream never reaches a path.
  const string name = payload::file_name_part(string::view(local.data(), local.size()));
  if (refused(trace_, KXT("LocalFile"), local, payload::check_file_name(name.as_view())))
    record_.fileNameRefused = true;
}

void definition_reader::on_properties(const sax::AttributeList& attributes) {
  const text_view id = attributes.getValue(KXT("Id"));
  const text_view alt = attributes.getValue(KXT("AltPrqURL"));
  record_.id = to_string(id);
  record_.altPrqUrl = to_string(alt);
  trace_.append_field(KXT("Id"));
  trace_.append_field(id);
  trace_.append_field(view_of(masked(alt)));
  trace_.end(true);
  // The id names the package's download folder; an empty one keeps the
  // working folder itself.
  record_.idRefused =
      !id.empty() &&
      refused(trace_, KXT("Id"), id, payload::check_file_name(string::view(id.data(), id.size())));
}

void definition_reader::on_execute(const sax::AttributeList& attributes) {
  const text_view file = attributes.getValue(KXT("file"));
  const text_view cmdline = attributes.getValue(KXT("cmdline"));
  const text_view silent = attributes.getValue(KXT("cmdlinesilent"));
  const text_view codes = attributes.getValue(KXT("returncodetoreboot"));
  const text_view force = attributes.getValue(KXT("forcesilent"));
  record_.executeFile = to_string(file);
  // The first command lines stay: a replacement definition, or a second
  // execute element, does not override what was chosen.
  if (record_.commandLine.empty()) record_.commandLine = expanded(cmdline);
  if (record_.silentCommandLine.empty()) record_.silentCommandLine = expanded(silent);
  record_.rebootReturnCodes = to_string(codes);
  record_.forceSilent = to_string(force);
  record_.requiresMsiEngine = attributes.getValue(KXT("requiresmsiengine")) == text_view(KXT("1"));
  trace_.append_field(KXT("execute"));
  trace_.append_group(file, cmdline, silent, codes, force, {});
  trace_.end(true);
  record_.executeFileRefused =
      !file.empty() &&
      refused(trace_, KXT("file"), file,
              payload::check_relative_path(string::view(file.data(), file.size())));
}

void definition_reader::on_dependency(const sax::AttributeList& attributes) {
  const text_view file = attributes.getValue(KXT("File"));
  record_.dependencies.push_back(to_string(file));
  trace_.append_field(KXT("dependency"));
  trace_.append_field(file);
  trace_.end(true);
}

void definition_reader::on_behavior(const sax::AttributeList& attributes) {
  struct setting {
    const xchar* name;
    bool* flag;
    std::uint32_t* number;
  };
  const setting settings[] = {
      {KXT("Optional"), &record_.optional, nullptr},
      {KXT("Reboot"), nullptr, &record_.rebootBehavior},
      {KXT("Failure"), nullptr, &record_.failureBehavior},
      {KXT("Lua"), &record_.lua, nullptr},
      {KXT("Hidden"), &record_.hidden, nullptr},
      {KXT("MsiProgress"), &record_.msiProgress, nullptr},
      {KXT("IgnoreTmpRename"), &record_.ignoreTmpRename, nullptr},
  };
  // Zero (or no number at all) keeps the value in force.
  for (const setting& s : settings) {
    const std::uint32_t value = parse_number(attributes.getValue(s.name));
    if (value == 0) continue;
    if (s.flag) *s.flag = true;
    if (s.number) *s.number = value;
  }
  trace_.append_field(KXT("behavior"));
  for (std::size_t i = 0; i < 3; ++i) {
    trace_.append_field(settings[i].name);
    trace_.append_field(attributes.getValue(settings[i].name));
  }
  trace_.end(true);
  for (std::size_t i = 3; i < std::size(settings); ++i) {
    trace_.append_field(settings[i].name);
    trace_.append_field(attributes.getValue(settings[i].name));
    trace_.end(true);
  }
}

void definition_reader::apply_override(const string& command_line) {
  if (command_line.empty()) return;
  record_.silentCommandLine = command_line;
  record_.commandLine = record_.silentCommandLine;
}

void definition_reader::load_bytes(const void* bytes, std::size_t size, bool same_definition,
                                   const string& command_line_override,
                                   sax::DocumentHandler& handler) {
  begin(same_definition);
  sax::text text;
  if (definition_text(bytes, size, text)) {
    parse_definition(handler, text);
  } else {
    trace_.append_field(KXT("definition file larger than 4 MiB, not read"));
    trace_.end(false);
  }
  apply_override(command_line_override);
}

void definition_reader::load_bytes(const void* bytes, std::size_t size, bool same_definition,
                                   const string& command_line_override) {
  element_forwarder forwarder(*this);
  load_bytes(bytes, size, same_definition, command_line_override, forwarder);
}

string definition_reader::masked(text_view address) const {
  const string written(address);
  return services_.mask ? services_.mask(written) : written;
}

string definition_reader::expanded(text_view command_line) const {
  const string written(command_line);
  return services_.expand ? services_.expand(written) : written;
}

bool definition_record::HasMsiExtension() const noexcept {
  return executeFile.ends_with_i(string::view(KXT(".msi")));
}

bool definition_record::HasExeExtension() const noexcept {
  return executeFile.ends_with_i(string::view(KXT(".exe")));
}

string definition_record::LocalFile(std::size_t i) const {
  return i < files.size() ? files[i].localFile : string();
}

string definition_record::Url(std::size_t i) const {
  return i < files.size() ? files[i].url : string();
}

string definition_record::CheckSum(std::size_t i) const {
  return i < files.size() ? files[i].checkSum : string();
}

std::vector<std::uint32_t> definition_record::reboot_return_codes() const {
  return parse_number_list(text_view(rebootReturnCodes.data(), rebootReturnCodes.size()),
                           xchar(','));
}

}  // namespace kx::prereq
