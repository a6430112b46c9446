// The INI document model: sections of key/value entries, read from and
// written to text files in the file's own encoding.
//
// Section and key names are matched case-insensitively everywhere; sections
// and entries keep the order of the document. Getters and tests create
// nothing; every change sets the modified flag (except clear); nothing is
// written until save or save_as is called.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "base/stringx.h"
#include "base/vector_map_i.h"

namespace kx {

// One entry of a section.
struct inifileentryx {
  string value;
};

// One section: its entries by key, in document order.
struct inifilesectionx {
  vector_map_i<inifileentryx> entries;
};

// One INI document.
class inifilex {
 public:
  using sections_type = vector_map_i<inifilesectionx>;
  using key_values = std::vector<std::pair<string, string>>;
  using names = std::vector<string>;

  // The flags of save and save_as.
  enum save_flags : unsigned {
    sort_before_save = 1,  // sort_sections first; keys keep their order
    skip_if_empty = 2,     // a document without sections writes nothing
    use_encoding = 4,      // store the given code page and mark flag first
  };

  // Empty: separator "=", code page -1 (detect when loading), no mark.
  inifilex();

  // Sets the file name and the separator; loads nothing.
  virtual void set_file(const string& file_name, const string& separator);
  // Replaces the document by the file at `path`: reads it in its detected
  // encoding (or in the stored code page when it is not -1, unless the file
  // has a Unicode byte-order mark) and remembers the encoding for a later
  // save. False when the file cannot be read (last_error() tells why) or
  // when a line is malformed: a section header without ']' or a key line
  // before any section (last_error() is then ERROR_INVALID_DATA, 13); the
  // sections read before that line stay.
  virtual bool load(const string& path, const string& separator, bool bare_keys);
  // save_as to the current file name.
  virtual bool save(unsigned flags, int code_page, bool bom);
  // Writes the document to `path` (which becomes the file name), replacing
  // the file, in the stored code page (-1: the writer's default, ANSI) with
  // a byte-order mark when the mark flag is set and the code page has one.
  // False with last_error() and failed_path() set when it cannot be
  // written, or when `path` is empty (ERROR_INVALID_NAME, nothing written).
  virtual bool save_as(const string& path, unsigned flags, int code_page, bool bom);
  // An empty separator stands for the default "=".
  virtual void set_separator(const string& separator);
  virtual string separator() const;
  virtual string file_name() const;
  // set_string for each pair, in list order.
  virtual void set_section_values(const string& section, const key_values& values);
  // Copies every section of `other` into this document: each goes to the
  // section named by `pattern` with the other section's name put in place
  // of its first %s (an empty pattern keeps the name as it is).
  virtual void merge_sections(const sections_type& other, const string& pattern);
  // Creates the section (appended) when it is missing.
  virtual void add_section(const string& section);
  // Moves the entry `key` right behind the entry `after`; false unless the
  // section holds both.
  virtual bool move_key_after(const string& section, const string& key, const string& after);
  // The value when the key exists (also when it is empty), else `fallback`.
  virtual string get_string(const string& section, const string& key, const string& fallback) const;
  // Creates section and key when missing (each appended) and assigns.
  virtual void set_string(const string& section, const string& key, const string& value);
  // A non-empty value read as a number by read_hex_or_decimal
  // (base/number_text.h): hexadecimal after "0x", else decimal, the way
  // wcstol reads them. Missing or empty: `fallback`.
  virtual int get_int(const string& section, const string& key, int fallback) const;
  // Stores the value in decimal.
  virtual void set_int(const string& section, const string& key, int value);
  // A non-empty value is true exactly when it is "Yes", "Y", "1" or "True"
  // (any case). Missing or empty: `fallback`.
  virtual bool get_bool(const string& section, const string& key, bool fallback) const;
  // Stores "Yes" or "No".
  virtual void set_bool(const string& section, const string& key, bool value);
  virtual bool modified() const;
  virtual void set_modified(bool modified);
  virtual bool section_exists(const string& section) const;
  // False when the section is missing.
  virtual bool key_exists(const string& section, const string& key) const;
  // Appends every entry (key, value) of the section in document order.
  virtual void get_keys(const string& section, key_values& out) const;
  // Appends every section name in document order.
  virtual void get_sections(names& out) const;
  // Appends each section name that begins with `prefix` (any case);
  // returns the list's new size.
  virtual std::size_t find_sections(names& out, const string& prefix) const;
  // Appends the values of the keys named by `pattern` formatted with 0, 1,
  // 2, ... (format_with_int): a missing key at 0 goes on with 1, a missing
  // key after that ends the list. A pattern without an integer conversion
  // names one key, looked up once.
  virtual void get_numbered_values(const string& section, const string& pattern, names& out) const;
  // Gives the section a new name in place. True when the names are the
  // same; false when `from` is missing or `to` exists.
  virtual bool rename_section(const string& from, const string& to);
  // The same for a key within a section.
  virtual bool rename_key(const string& section, const string& from, const string& to);
  // Renames every section whose name begins with `from` to the name with
  // that prefix replaced by `to` (skipping those whose new name exists).
  virtual void rename_sections(const string& from, const string& to);
  // False when missing.
  virtual bool delete_section(const string& section);
  // False when the section or the key is missing.
  virtual bool delete_key(const string& section, const string& key);
  // Removes all entries and keeps the section; false when it is missing.
  virtual bool clear_section(const string& section);
  // Removes every section; the modified flag stays as it was.
  virtual void clear();
  // Deletes every section whose name begins with `prefix`.
  virtual void delete_sections(const string& prefix);
  // sort_sections, then sort_all_keys.
  virtual void sort();
  // Orders the sections by name (case-insensitively).
  virtual void sort_sections();
  virtual void sort_all_keys();
  // Orders the entries of `section` by key.
  virtual void sort_keys(inifilesectionx& section);
  // Creates the section when missing, then sorts its keys.
  virtual void sort_section(const string& section);
  // The code page to read (imposed) and write: 1200, 1201, 65001, an ANSI
  // code page, or -1 to detect on load.
  virtual void set_code_page(int code_page);
  // Stores whether a byte-order mark is written; returns the flag.
  virtual bool set_bom(bool bom);
  // The Win32 error of the last failed load or save (0 after success).
  virtual unsigned long last_error() const;
  // The path of the last save that failed.
  virtual string failed_path() const;
  virtual ~inifilex();

  // The sections, in document order (for merge_sections and inspection).
  const sections_type& sections() const noexcept { return sections_; }
  int code_page() const noexcept { return code_page_; }
  bool bom() const noexcept { return bom_; }
  // Whether an entry without a value is written as its key alone (load
  // sets it too).
  bool bare_keys() const noexcept { return bare_keys_; }
  void set_bare_keys(bool bare_keys) noexcept { bare_keys_ = bare_keys; }

  // Clears the document and reads `text` as INI lines (split at CR, LF or
  // CR LF). True when every line was well formed; otherwise the sections
  // before the malformed line stay and the result is false.
  bool parse(string::view text);
  // The document as the lines that save writes: an empty line between
  // sections, "[name]", then key + separator + value per entry (the key
  // alone when the bare-keys flag is set and the value is empty). A line
  // break inside a name or value is written as one blank, so that a value
  // cannot add lines or sections to the file.
  std::vector<string> lines() const;

 private:
  static void get_keys_of(const inifilesectionx& section, key_values& out);

  sections_type sections_;
  string file_name_;
  bool bare_keys_ = false;
  bool modified_ = false;
  string separator_;
  bool busy_ = false;
  int code_page_ = -1;
  bool bom_ = false;
  unsigned long last_error_ = 0;
  string failed_path_;
};

// Loads `path` (separator "=", no bare keys) and returns get_int of the key,
// or `fallback` when the file cannot be loaded.
int read_ini_int(const string& path, const string& section, const string& key, int fallback);
// The same with get_string.
string read_ini_string(const string& path, const string& section, const string& key,
                       const string& fallback);

// The Win32 errors the INI model reports itself.
inline constexpr unsigned long kIniErrorInvalidData = 13;   // ERROR_INVALID_DATA
inline constexpr unsigned long kIniErrorInvalidName = 123;  // ERROR_INVALID_NAME
inline constexpr unsigned long kIniErrorBusy = 170;         // ERROR_BUSY

namespace ini_io {

// Reads the whole text of the file at `path`. `code_page` is -1 to detect
// the encoding or a code page to impose (a Unicode byte-order mark wins);
// on success it receives the code page used and `bom` whether a mark was
// found. Returns 0 or a Win32 error code.
unsigned long read_text(const string& path, int& code_page, bool& bom, string& text);

// Replaces the file at `path` by `lines`, each followed by CR LF, in
// `code_page` (-1: the writer's default, ANSI), with a byte-order mark when
// `bom` is set and the code page has one. The text goes to a new file beside
// it ("<path>.~kx<n>", created new, share read, normal attributes), which
// then replaces the old one in one move (MoveFileExW with
// MOVEFILE_REPLACE_EXISTING): a failure on the way leaves the old file as it
// was, and the new file is removed again. Returns 0 or a Win32 error code.
unsigned long write_lines(const string& path, const std::vector<string>& lines, int code_page,
                          bool bom);

}  // namespace ini_io

}  // namespace kx
