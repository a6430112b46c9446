#include "base/inifilex.h"

#include "base/last_error.h"
#include "base/number_text.h"
#include "base/pattern_format.h"

namespace kx {

namespace {

const xchar* const kDefaultSeparator = KXT("=");

string separator_or_default(const string& separator) {
  return separator.empty() ? string(kDefaultSeparator) : separator;
}

// Sets the thread's last error too, for callers that ask the system.
unsigned long report(unsigned long error) {
  detail::set_last_error(error);
  return error;
}

}  // namespace

inifilex::inifilex() : separator_(kDefaultSeparator) {}

inifilex::~inifilex() = default;

void inifilex::set_file(const string& file_name, const string& separator) {
  file_name_ = file_name;
  separator_ = separator_or_default(separator);
}

bool inifilex::load(const string& path, const string& separator, bool bare_keys) {
  sections_.clear();
  bare_keys_ = bare_keys;
  separator_ = separator_or_default(separator);
  file_name_ = path;
  int code_page = code_page_;
  bool bom = false;
  string text;
  if (const unsigned long error = ini_io::read_text(path, code_page, bom, text)) {
    last_error_ = report(error);
    return false;
  }
  code_page_ = code_page;
  bom_ = bom;
  if (!parse(text.as_view())) {
    last_error_ = report(kIniErrorInvalidData);
    return false;
  }
  modified_ = false;
  last_error_ = 0;
  return true;
}

bool inifilex::save(unsigned flags, int code_page, bool bom) {
  return save_as(file_name_, flags, code_page, bom);
}

bool inifilex::save_as(const string& path, unsigned flags, int code_page, bool bom) {
  const auto fail = [this, &path](unsigned long error) {
    last_error_ = report(error);
    failed_path_ = path;
    return false;
  };
  if (path.empty()) return fail(kIniErrorInvalidName);
  // An override called during the save (sort_sections) must not start
  // another one.
  if (busy_) return fail(kIniErrorBusy);
  struct busy_scope {
    bool& flag;
    explicit busy_scope(bool& f) : flag(f) { flag = true; }
    ~busy_scope() { flag = false; }
  } busy(busy_);
  file_name_ = path;
  if (flags & use_encoding) {
    code_page_ = code_page;
    bom_ = bom;
  }
  if (flags & sort_before_save) sort_sections();
  if ((flags & skip_if_empty) && sections_.empty()) return true;
  const unsigned long error = ini_io::write_lines(path, lines(), code_page_, bom_);
  if (error) return fail(error);
  modified_ = false;
  last_error_ = 0;
  return true;
}

void inifilex::set_separator(const string& separator) {
  separator_ = separator_or_default(separator);
}

string inifilex::separator() const {
  return separator_;
}

string inifilex::file_name() const {
  return file_name_;
}

void inifilex::set_section_values(const string& section, const key_values& values) {
  for (const auto& [key, value] : values) set_string(section, key, value);
}

void inifilex::merge_sections(const sections_type& other, const string& pattern) {
  // Copied first: `other` may be this document's own sections, which the
  // merge extends.
  std::vector<std::pair<string, key_values>> copies;
  for (const auto& [name, section] : other) {
    key_values values;
    get_keys_of(section, values);
    copies.emplace_back(
        pattern.empty() ? name : format_with_text(pattern.as_view(), name.as_view()),
        std::move(values));
  }
  for (const auto& [name, values] : copies) {
    add_section(name);
    set_section_values(name, values);
  }
}

void inifilex::add_section(const string& section) {
  if (sections_.insert(section, {}).second) modified_ = true;
}

bool inifilex::move_key_after(const string& section, const string& key, const string& after) {
  inifilesectionx* s = sections_.get(section);
  if (!s || !s->entries.move_after(key, after)) return false;
  modified_ = true;
  return true;
}

string inifilex::get_string(const string& section, const string& key,
                            const string& fallback) const {
  const inifilesectionx* s = sections_.get(section);
  const inifileentryx* e = s ? s->entries.get(key) : nullptr;
  return e ? e->value : fallback;
}

void inifilex::set_string(const string& section, const string& key, const string& value) {
  inifilesectionx* s = sections_.insert(section, {}).first;
  s->entries.insert(key, {}).first->value = value;
  modified_ = true;
}

int inifilex::get_int(const string& section, const string& key, int fallback) const {
  const inifilesectionx* s = sections_.get(section);
  const inifileentryx* e = s ? s->entries.get(key) : nullptr;
  if (!e || e->value.empty()) return fallback;
  return read_hex_or_decimal(e->value);
}

void inifilex::set_int(const string& section, const string& key, int value) {
  set_string(section, key, format_with_int(KXT("%d"), value));
}

bool inifilex::get_bool(const string& section, const string& key, bool fallback) const {
  const inifilesectionx* s = sections_.get(section);
  const inifileentryx* e = s ? s->entries.get(key) : nullptr;
  if (!e || e->value.empty()) return fallback;
  const string& v = e->value;
  return v == KXT("Yes") || v == KXT("Y") || v == KXT("1") || v == KXT("True");
}

void inifilex::set_bool(const string& section, const string& key, bool value) {
  set_string(section, key, value ? KXT("Yes") : KXT("No"));
}

bool inifilex::modified() const {
  return modified_;
}

void inifilex::set_modified(bool modified) {
  modified_ = modified;
}

bool inifilex::section_exists(const string& section) const {
  return sections_.contains(section);
}

bool inifilex::key_exists(const string& section, const string& key) const {
  const inifilesectionx* s = sections_.get(section);
  return s && s->entries.contains(key);
}

void inifilex::get_keys(const string& section, key_values& out) const {
  if (const inifilesectionx* s = sections_.get(section)) get_keys_of(*s, out);
}

void inifilex::get_sections(names& out) const {
  for (const auto& [name, section] : sections_) out.push_back(name);
}

std::size_t inifilex::find_sections(names& out, const string& prefix) const {
  for (const auto& [name, section] : sections_)
    if (name.starts_with_i(prefix.as_view())) out.push_back(name);
  return out.size();
}

void inifilex::get_numbered_values(const string& section, const string& pattern, names& out) const {
  const inifilesectionx* s = sections_.get(section);
  if (!s) return;
  const string::view p = pattern.as_view();
  const bool numbered = format_with_int(p, 0).str() != format_with_int(p, 1).str();
  // Distinct numbers give distinct keys, so no more keys can be found than
  // the section holds; the bound only guards against a pattern that breaks
  // that rule.
  const std::size_t limit = s->entries.size() + 2;
  for (std::size_t i = 0; i < limit; ++i) {
    const inifileentryx* e = s->entries.get(format_with_int(p, static_cast<int>(i)));
    if (e)
      out.push_back(e->value);
    else if (i > 0)
      break;
    if (!numbered) break;
  }
}

bool inifilex::rename_section(const string& from, const string& to) {
  if (from == to) return true;
  if (!sections_.rename(from, to)) return false;
  modified_ = true;
  return true;
}

bool inifilex::rename_key(const string& section, const string& from, const string& to) {
  inifilesectionx* s = sections_.get(section);
  if (!s) return false;
  if (from == to) return true;
  if (!s->entries.rename(from, to)) return false;
  modified_ = true;
  return true;
}

void inifilex::rename_sections(const string& from, const string& to) {
  names matching;
  find_sections(matching, from);
  for (const string& name : matching) rename_section(name, to + name.substr(from.size()));
}

bool inifilex::delete_section(const string& section) {
  if (!sections_.erase(section)) return false;
  modified_ = true;
  return true;
}

bool inifilex::delete_key(const string& section, const string& key) {
  inifilesectionx* s = sections_.get(section);
  if (!s || !s->entries.erase(key)) return false;
  modified_ = true;
  return true;
}

bool inifilex::clear_section(const string& section) {
  inifilesectionx* s = sections_.get(section);
  if (!s) return false;
  s->entries.clear();
  modified_ = true;
  return true;
}

void inifilex::clear() {
  sections_.clear();
}

void inifilex::delete_sections(const string& prefix) {
  names matching;
  find_sections(matching, prefix);
  for (const string& name : matching) delete_section(name);
}

void inifilex::sort() {
  sort_sections();
  sort_all_keys();
}

void inifilex::sort_sections() {
  if (sections_.sort()) modified_ = true;
}

void inifilex::sort_all_keys() {
  for (auto& [name, section] : sections_) sort_keys(section);
}

void inifilex::sort_keys(inifilesectionx& section) {
  if (section.entries.sort()) modified_ = true;
}

void inifilex::sort_section(const string& section) {
  add_section(section);
  sort_keys(*sections_.get(section));
}

void inifilex::set_code_page(int code_page) {
  code_page_ = code_page;
}

bool inifilex::set_bom(bool bom) {
  bom_ = bom;
  return bom_;
}

unsigned long inifilex::last_error() const {
  return last_error_;
}

string inifilex::failed_path() const {
  return failed_path_;
}

void inifilex::get_keys_of(const inifilesectionx& section, key_values& out) {
  for (const auto& [key, entry] : section.entries) out.emplace_back(key, entry.value);
}

int read_ini_int(const string& path, const string& section, const string& key, int fallback) {
  inifilex ini;
  return ini.load(path, KXT("="), false) ? ini.get_int(section, key, fallback) : fallback;
}

string read_ini_string(const string& path, const string& section, const string& key,
                       const string& fallback) {
  inifilex ini;
  return ini.load(path, KXT("="), false) ? ini.get_string(section, key, fallback) : fallback;
}

}  // namespace kx
