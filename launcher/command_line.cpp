#include "launcher/command_line.h"

#include <cstdint>
#include <utility>

#include "base/path.h"
#include "launcher/setup_settings.h"

namespace kx {

namespace {

constexpr SwitchMatch kPrefix = SwitchMatch::prefix;
constexpr SwitchMatch kExact = SwitchMatch::exact;
constexpr SwitchUse kKeep = SwitchUse::keep;
constexpr SwitchUse kConsume = SwitchUse::consume;

constexpr xchar kBlank = xchar(' ');
constexpr xchar kQuote = xchar('"');

// The white space that the runtime's number readers skip.
constexpr bool is_number_space(xchar c) {
  return c == kBlank || (c >= xchar('\t') && c <= xchar('\r'));
}

int digit_value(xchar c) {
  if (c >= xchar('0') && c <= xchar('9')) return c - xchar('0');
  const xchar f = fold_ascii(c);
  if (f >= xchar('a') && f <= xchar('z')) return f - xchar('a') + 10;
  return 99;
}

// wcstol over 32 bits: white space, a sign, for base 16 an optional "0x",
// digits up to the first unfit character; saturates at the 32-bit limits.
std::int32_t read_long(string::view s, int base) {
  std::size_t i = 0;
  while (i < s.size() && is_number_space(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == xchar('+') || s[i] == xchar('-'))) negative = s[i++] == xchar('-');
  if (base == 16 && s.substr(i).starts_with(KXT("0x"))) i += 2;
  constexpr std::int64_t kLimit = std::int64_t(1) << 31;
  std::int64_t magnitude = 0;
  for (; i < s.size(); ++i) {
    const int d = digit_value(s[i]);
    if (d >= base) break;
    if (magnitude <= kLimit) magnitude = magnitude * base + d;
  }
  if (negative) return magnitude >= kLimit ? INT32_MIN : static_cast<std::int32_t>(-magnitude);
  return magnitude >= kLimit ? INT32_MAX : static_cast<std::int32_t>(magnitude);
}

// Path values may arrive quoted ("-media_path:\"C:\\a b\""); the quotes
// belong to the command line, not to the path.
string unquote(const string& value) {
  const std::size_t first = value.find_first_not_of(kQuote);
  if (first == string::npos) return string();
  const std::size_t last = value.find_last_not_of(kQuote);
  return value.substr(first, last - first + 1);
}

}  // namespace

CommandLine::CommandLine(string text) : text_(std::move(text)) {}

void CommandLine::Split() {
  const std::size_t n = text_.size();
  std::size_t i = 0;
  for (;;) {
    while (i < n && text_[i] == kBlank) ++i;
    if (i == n) break;
    const std::size_t start = i;
    bool quoted = false;
    for (; i < n && (quoted || text_[i] != kBlank); ++i)
      if (text_[i] == kQuote) quoted = !quoted;
    tokens_.push_back(text_.substr(start, i - start));
  }
  consumed_.assign(tokens_.size(), false);
  split_ = true;
}

const std::vector<string>& CommandLine::Tokens() {
  if (!split_) Split();
  return tokens_;
}

bool CommandLine::FindSwitch(string::view name, string* value, SwitchMatch match, SwitchUse use) {
  if (!split_) Split();
  for (std::size_t i = 0; i < tokens_.size(); ++i) {
    const string::view token = tokens_[i].as_view();
    if (token.empty() || (token[0] != xchar('-') && token[0] != xchar('/'))) continue;
    const string::view rest = token.substr(1);
    if (rest.size() < name.size() || rest.substr(0, name.size()) != name) continue;
    const string::view found = rest.substr(name.size());
    if (match == SwitchMatch::exact && !found.empty()) continue;
    if (value) *value = string(found);
    if (use == SwitchUse::consume) consumed_[i] = true;
    return true;
  }
  return false;
}

string CommandLine::RemainingText() const {
  if (!split_) return text_;
  string joined;
  for (std::size_t i = 0; i < tokens_.size(); ++i) {
    if (consumed_[i]) continue;
    if (!joined.empty()) joined += kBlank;
    joined += tokens_[i];
  }
  constexpr const xchar* kTrim = KXT(" \t\n");
  const std::size_t first = joined.find_first_not_of(kTrim);
  if (first == string::npos) return string();
  const std::size_t last = joined.find_last_not_of(kTrim);
  return joined.substr(first, last - first + 1);
}

std::uint16_t ParseLanguageId(string::view text) {
  const std::int32_t id =
      text.starts_with(KXT("0x")) ? read_long(text.substr(2), 16) : read_long(text, 10);
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(id));
}

void SetupSettings::ReadInternalSwitches(const string& launcher_path, const string& command_line) {
  LauncherPath = launcher_path;
  SourceFolder = path_directory(launcher_path);

  CommandLine line(command_line);
  string value;
  if (line.FindSwitch(KXT("delayedstart:"), &value)) DelayStart = read_long(value, 10);
  // An empty folder keeps the default: "\" would make the root of the
  // current drive the temporary folder, and the clean-up would empty it.
  if (line.FindSwitch(KXT("tempdisk1folder:"), &value)) {
    TempDisk1Given = true;
    if (const string folder = unquote(value); !folder.empty())
      TempFolder = ensure_trailing_backslash(folder);
  }
  if (line.FindSwitch(KXT("extract_all:"), &value)) {
    ExtractAll = true;
    if (const string folder = unquote(value); !folder.empty())
      TempFolder = ensure_trailing_backslash(folder);
  }
  if (line.FindSwitch(KXT("runfromtemp"), nullptr, kExact)) RunFromTemp = true;
  if (line.FindSwitch(KXT("s"), nullptr, kExact)) Silent = true;
  if (line.FindSwitch(KXT("auto"), nullptr, kExact)) Auto = true;
  if (line.FindSwitch(KXT("no_engine"), nullptr, kExact)) NoEngine = true;
  if (line.FindSwitch(KXT("media_path:"), &value)) {
    if (const string folder = unquote(value); !folder.empty()) SourceFolder = folder;
  }
  if (line.FindSwitch(KXT("installfromweb:"), &value)) {
    if (const string folder = unquote(value); !folder.empty()) {
      SourceFolder = folder;
      InstallFromWeb = true;
    }
  }
  if (line.FindSwitch(KXT("KX_OriginalLauncher:"), &value)) {
    if (const string first = unquote(value); !first.empty()) FirstLauncher = first;
  }

  if (is_url(SourceFolder)) InstallFromWeb = true;
  if (SourceFolder.starts_with_i(KXT("file://")) && SourceFolder.size() > 7)
    SourceFolder = file_url_to_path(SourceFolder);
}

string SetupSettings::ParseSwitches(const string& text) {
  CommandLine line(text);
  string value;
  if (line.FindSwitch(KXT("l"), &value, kPrefix, kConsume)) LanguageId = ParseLanguageId(value);
  if (line.FindSwitch(KXT("ig"), &value, kPrefix, kConsume)) InstallGuid = unquote(value);
  // Switches the engine needs as well stay in the text.
  if (line.FindSwitch(KXT("no_engine"), nullptr, kExact, kKeep)) NoEngine = true;
  if (line.FindSwitch(KXT("s"), nullptr, kExact, kKeep)) Silent = true;
  if (line.FindSwitch(KXT("auto"), nullptr, kExact, kKeep)) Auto = true;
  if (line.FindSwitch(KXT("hide_progress"), nullptr, kExact, kConsume)) HideProgress = true;
  if (line.FindSwitch(KXT("hide_splash"), nullptr, kExact, kConsume)) HideSplash = true;
  if (line.FindSwitch(KXT("hide_usd"), nullptr, kExact, kConsume)) HideUsd = true;
  if (line.FindSwitch(KXT("reboot"), nullptr, kPrefix, kKeep)) Reboot = true;
  if (line.FindSwitch(KXT("package:"), nullptr, kPrefix, kKeep)) Package = true;
  if (line.FindSwitch(KXT("f2"), &value, kPrefix, kKeep)) ResultFilePath = unquote(value);
  if (line.FindSwitch(KXT("no_deleter"), nullptr, kExact, kConsume)) NoDeleter = true;
  if (line.FindSwitch(KXT("no_selfdeleter"), nullptr, kExact, kConsume)) NoSelfDeleter = true;
  if (line.FindSwitch(KXT("clone_wait"), nullptr, kExact, kConsume)) CloneWait = true;
  if (line.FindSwitch(KXT("show_err_dlg"), nullptr, kExact, kConsume)) ShowErrDlg = true;
  // Exact, and ahead of the longer name, which it is a prefix of.
  if (line.FindSwitch(KXT("show_err_msg"), nullptr, kExact, kConsume)) ShowErrMsg = true;
  if (line.FindSwitch(KXT("show_err_msg_invalid_identity"), nullptr, kExact, kConsume))
    ShowErrMsgInvalidIdentity = true;
  // The internal switches were read before; here they only leave the text.
  for (const xchar* name :
       {KXT("delayedstart:"), KXT("tempdisk1folder:"), KXT("extract_all:"), KXT("media_path:"),
        KXT("installfromweb:"), KXT("KX_OriginalLauncher:")})
    line.FindSwitch(name, &value, kPrefix, kConsume);
  line.FindSwitch(KXT("runfromtemp"), nullptr, kExact, kConsume);
  line.FindSwitch(KXT("KX_temp"), nullptr, kExact, kConsume);
  return line.RemainingText();
}

string RewriteRelaunchCommandLine(const string& command_line, const string& own_path) {
  CommandLine line(command_line);
  if (!line.FindSwitch(KXT("KX_temp"), nullptr, kExact, kConsume)) return command_line;
  string value;
  line.FindSwitch(KXT("no_selfdeleter"), nullptr, kExact, kConsume);
  line.FindSwitch(KXT("tempdisk1folder:"), &value, kPrefix, kConsume);
  line.FindSwitch(KXT("runfromtemp"), nullptr, kExact, kConsume);
  line.FindSwitch(KXT("media_path:"), &value, kPrefix, kConsume);
  string package, original;
  if (line.FindSwitch(KXT("package:"), &value, kPrefix, kConsume)) package = unquote(value);
  if (line.FindSwitch(KXT("KX_OriginalLauncher:"), &value, kPrefix, kConsume))
    original = unquote(value);
  const string first = package.empty() ? original : package;

  string text = line.RemainingText();
  if (first.empty() || own_path.empty()) return text;
  std::size_t at = text.find(own_path);
  if (at == string::npos) return text;
  std::size_t length = own_path.size();
  // A quoted path is replaced with its quotes, so they are not doubled.
  if (at > 0 && text[at - 1] == kQuote && at + length < text.size() &&
      text[at + length] == kQuote) {
    --at;
    length += 2;
  }
  text.replace(at, length, string(KXT("\"")) + first + kQuote);
  return text;
}

}  // namespace kx
