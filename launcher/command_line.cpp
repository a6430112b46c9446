#include "launcher/command_line.h"

#include <cstdint>
#include <utility>

#include "base/number_text.h"
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

// Path values may arrive quoted ("-media_path:\"C:\\a b\""); the quotes
// belong to the command line, not to the path.
string unquote(const string& value) {
  const std::size_t first = value.find_first_not_of(kQuote);
  if (first == string::npos) return string();
  const std::size_t last = value.find_last_not_of(kQuote);
  return value.substr(first, last - first + 1);
}

// A value quoted by the rules the C runtime splits arguments with (as the
// elevated copy's switches are written): backslashes count double only in
// front of a quote. A value without a leading quote stays as it is.
string unquote_argument(const string& value) {
  if (value.empty() || value[0] != kQuote) return value;
  string out;
  std::size_t backslashes = 0;
  for (std::size_t i = 1; i < value.size(); ++i) {
    const xchar c = value[i];
    if (c == xchar('\\')) {
      ++backslashes;
      continue;
    }
    if (c == kQuote) {
      out.append(backslashes / 2, xchar('\\'));
      if (backslashes % 2 == 0) return out;  // the closing quote
      out += kQuote;
    } else {
      out.append(backslashes, xchar('\\'));
      out += c;
    }
    backslashes = 0;
  }
  out.append(backslashes, xchar('\\'));
  return out;
}

// Whether `token` is the switch `name` by FindSwitch's rules; its value
// goes to `value`.
bool switch_matches(string::view token, string::view name, SwitchMatch match, string::view& value) {
  if (token.empty() || (token[0] != xchar('-') && token[0] != xchar('/'))) return false;
  const string::view rest = token.substr(1);
  if (rest.size() < name.size() || rest.substr(0, name.size()) != name) return false;
  value = rest.substr(name.size());
  return match == SwitchMatch::prefix || value.empty();
}

// The end of the token that starts at `start` (see CommandLine::Split).
std::size_t token_end(const string& text, std::size_t start) {
  bool quoted = false;
  std::size_t i = start;
  for (; i < text.size() && (quoted || text[i] != kBlank); ++i)
    if (text[i] == kQuote) quoted = !quoted;
  return i;
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
    i = token_end(text_, start);
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
    string::view found;
    if (!switch_matches(tokens_[i].as_view(), name, match, found)) continue;
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

string WithoutSwitch(const string& text, string::view name, SwitchMatch match) {
  const string::view all = text.as_view();
  string out;
  std::size_t copied = 0;  // the text before this is in `out` or dropped
  bool kept_before = false;
  std::size_t i = 0;
  for (;;) {
    const std::size_t gap = i;
    while (i < all.size() && all[i] == kBlank) ++i;
    if (i == all.size()) break;
    const std::size_t start = i;
    i = token_end(text, start);
    string::view value;
    if (!switch_matches(all.substr(start, i - start), name, match, value)) {
      kept_before = true;
      continue;
    }
    if (kept_before) {
      out.append(all.substr(copied, gap - copied));
    } else {
      out.append(all.substr(copied, start - copied));
      while (i < all.size() && all[i] == kBlank) ++i;
    }
    copied = i;
  }
  out.append(all.substr(copied));
  return out;
}

std::uint16_t ParseLanguageId(string::view text) {
  const std::int32_t id = read_hex_or_decimal(text);
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(id));
}

void SetupSettings::ReadInternalSwitches(const string& launcher_path, const string& command_line) {
  LauncherPath = launcher_path;
  SourceFolder = path_directory(launcher_path);

  CommandLine line(command_line);
  string value;
  if (line.FindSwitch(KXT("delayedstart:"), &value)) DelayStart = read_number(value, 10);
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
  if (line.FindSwitch(KXT("runprerequisites"), &value)) {
    RunPrerequisitesOnly = true;
    PrerequisiteFeatures = unquote_argument(value);
  }
  if (line.FindSwitch(KXT("debuglog"), &value)) DebugLogPath = unquote_argument(value);

  if (is_url(SourceFolder)) InstallFromWeb = true;
  if (SourceFolder.starts_with_i(KXT("file://")) && SourceFolder.size() > 7)
    SourceFolder = file_url_to_path(SourceFolder);
}

namespace {

constexpr SwitchAudience kUser = SwitchAudience::user;
constexpr SwitchAudience kInternal = SwitchAudience::internal;

template <bool SetupSettings::*Flag>
void set_flag(SetupSettings& s, const string&) {
  s.*Flag = true;
}

constexpr LauncherSwitch kSwitches[] = {
    {KXT("l"), kPrefix, kConsume, kUser,
     [](SetupSettings& s, const string& v) { s.LanguageId = ParseLanguageId(v); }},
    {KXT("ig"), kPrefix, kConsume, kUser,
     [](SetupSettings& s, const string& v) { s.InstallGuid = unquote(v); }},
    // Switches the engine needs as well stay in the text.
    {KXT("no_engine"), kExact, kKeep, kUser, set_flag<&SetupSettings::NoEngine>},
    {KXT("s"), kExact, kKeep, kUser, set_flag<&SetupSettings::Silent>},
    {KXT("auto"), kExact, kKeep, kUser, set_flag<&SetupSettings::Auto>},
    {KXT("hide_progress"), kExact, kConsume, kUser, set_flag<&SetupSettings::HideProgress>},
    {KXT("hide_splash"), kExact, kConsume, kUser, set_flag<&SetupSettings::HideSplash>},
    {KXT("hide_usd"), kExact, kConsume, kUser, set_flag<&SetupSettings::HideUsd>},
    {KXT("reboot"), kPrefix, kKeep, kUser, set_flag<&SetupSettings::Reboot>},
    {KXT("package:"), kPrefix, kKeep, kInternal, set_flag<&SetupSettings::Package>},
    {KXT("f2"), kPrefix, kKeep, kUser,
     [](SetupSettings& s, const string& v) { s.ResultFilePath = unquote(v); }},
    {KXT("no_deleter"), kExact, kConsume, kUser, set_flag<&SetupSettings::NoDeleter>},
    {KXT("no_selfdeleter"), kExact, kConsume, kInternal, set_flag<&SetupSettings::NoSelfDeleter>},
    {KXT("clone_wait"), kExact, kConsume, kUser, set_flag<&SetupSettings::CloneWait>},
    {KXT("show_err_dlg"), kExact, kConsume, kUser, set_flag<&SetupSettings::ShowErrDlg>},
    // Exact, and ahead of the longer name, which it is a prefix of.
    {KXT("show_err_msg"), kExact, kConsume, kUser, set_flag<&SetupSettings::ShowErrMsg>},
    {KXT("show_err_msg_invalid_identity"), kExact, kConsume, kUser,
     set_flag<&SetupSettings::ShowErrMsgInvalidIdentity>},
    // The internal-switch reader read these before; here they only leave
    // the text.
    {KXT("delayedstart:"), kPrefix, kConsume, kUser, nullptr},
    {KXT("tempdisk1folder:"), kPrefix, kConsume, kInternal, nullptr},
    {KXT("extract_all:"), kPrefix, kConsume, kUser, nullptr},
    {KXT("media_path:"), kPrefix, kConsume, kUser, nullptr},
    {KXT("installfromweb:"), kPrefix, kConsume, kUser, nullptr},
    {KXT("KX_OriginalLauncher:"), kPrefix, kConsume, kInternal, nullptr},
    {KXT("runfromtemp"), kExact, kConsume, kUser, nullptr},
    {KXT("KX_temp"), kExact, kConsume, kInternal, nullptr},
    {KXT("runprerequisites"), kPrefix, kConsume, kInternal, nullptr},
    {KXT("debuglog"), kPrefix, kConsume, kInternal, nullptr},
};

}  // namespace

std::span<const LauncherSwitch> LauncherSwitches() {
  return kSwitches;
}

string SetupSettings::ParseSwitches(const string& text) {
  CommandLine line(text);
  string value;
  for (const LauncherSwitch& known : kSwitches)
    if (line.FindSwitch(known.name, &value, known.match, known.use) && known.apply)
      known.apply(*this, value);
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
