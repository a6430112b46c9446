// Command lines as they arrive from a user or a deployment script: splitting,
// switch lookup, the two readers into the settings and the relaunch
// rewriter must hold their invariants on any text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "launcher/command_line.h"
#include "launcher/setup_settings.h"

namespace {

using kx::string;
using kx::xchar;

void check(bool ok) {
  if (!ok) std::abort();
}

bool is_trimmed_char(xchar c) {
  return c == xchar(' ') || c == xchar('\t') || c == xchar('\n');
}

string trimmed(const string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && is_trimmed_char(s[b])) ++b;
  while (e > b && is_trimmed_char(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// Bitwise equality: kx::string compares without case.
bool same(const string& a, const string& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(xchar)) == 0;
}

// Splitting loses only the blanks outside quotes, and no token holds one.
void check_split(const string& text) {
  kx::CommandLine line(text);
  check(same(line.RemainingText(), text));  // nothing split yet
  const std::vector<string> tokens = line.Tokens();

  string outside_blanks_removed;
  bool quoted = false;
  for (xchar c : text) {
    if (c == xchar('"')) quoted = !quoted;
    if (c != xchar(' ') || quoted) outside_blanks_removed += c;
  }
  string concatenated, joined;
  for (const string& t : tokens) {
    check(!t.empty());
    bool in = false;
    for (xchar c : t) {
      if (c == xchar('"')) in = !in;
      check(c != xchar(' ') || in);
    }
    concatenated += t;
    if (!joined.empty()) joined += xchar(' ');
    joined += t;
  }
  check(same(concatenated, outside_blanks_removed));

  // With nothing consumed the remaining text is the tokens joined by one
  // blank, trimmed.
  check(!line.FindSwitch(KXT("\x01no such switch")));
  check(same(line.RemainingText(), trimmed(joined)));
}

bool is_switch(const string& token) {
  return !token.empty() && (token[0] == xchar('-') || token[0] == xchar('/'));
}

// Whether the remaining text may hand `token` back as `kept` at place
// `index` of `count`: unchanged, or trimmed at the start of the text (first
// place) or at its end (last place).
bool kept_as(const string& token, const string& kept, std::size_t index, std::size_t count) {
  std::size_t b = 0, e = token.size();
  if (index == 0)
    while (b < e && is_trimmed_char(token[b])) ++b;
  if (index + 1 == count)
    while (e > b && is_trimmed_char(token[e - 1])) --e;
  return same(kept, token) || same(kept, token.substr(b, e - b)) ||
         same(kept, token.substr(0, e)) || same(kept, token.substr(b));
}

// The parser only ever takes out switch tokens, at most one per consuming
// lookup, and keeps every other token in its order. The fewest switches
// whose removal explains the result are found by dynamic programming, since
// equal tokens make a greedy match ambiguous.
void check_parser(const string& text) {
  constexpr std::size_t kConsumingLookups = 19;
  constexpr std::size_t kNever = ~std::size_t(0);
  kx::CommandLine original(text);
  const std::vector<string> before = original.Tokens();
  kx::SetupSettings s;
  kx::CommandLine again(s.ParseSwitches(text));
  const std::vector<string>& after = again.Tokens();
  if (before.size() > 256) return;  // keeps the search quick
  const std::size_t m = after.size();
  // removed[i]: fewest tokens dropped so far with after[0..i) produced.
  std::vector<std::size_t> removed(m + 1, kNever);
  removed[0] = 0;
  for (const string& b : before) {
    std::vector<std::size_t> next(m + 1, kNever);
    const bool droppable = is_switch(b) || trimmed(b).empty();
    for (std::size_t i = 0; i <= m; ++i) {
      if (removed[i] == kNever) continue;
      if (droppable) next[i] = std::min(next[i], removed[i] + (is_switch(b) ? 1 : 0));
      if (i < m && kept_as(b, after[i], i, m)) next[i + 1] = std::min(next[i + 1], removed[i]);
    }
    removed.swap(next);
  }
  check(removed[m] <= kConsumingLookups);
}

void check_internal(const string& text) {
  kx::SetupSettings s;
  s.ReadInternalSwitches(KXT("C:\\media\\setup.exe"), text);
  check(s.TempFolder.empty() || s.TempFolder.back() == xchar('\\'));
  // A "file://" medium is always handed on as a path.
  check(!(s.SourceFolder.starts_with_i(KXT("file://")) && s.SourceFolder.size() > 7));
}

// Cutting a switch drops exactly its tokens: the others stay, in order and
// unchanged, and no lookup finds the switch any more.
void check_without_switch(const string& text) {
  const kx::string::view name = KXT("delayedstart:");
  const string out = kx::WithoutSwitch(text, name);
  kx::CommandLine before(text), after(out);
  std::vector<string> expected;
  for (const string& t : before.Tokens()) {
    kx::CommandLine one(t);
    if (!one.FindSwitch(name)) expected.push_back(t);
  }
  const std::vector<string>& got = after.Tokens();
  check(got.size() == expected.size());
  for (std::size_t i = 0; i < got.size(); ++i) check(same(got[i], expected[i]));
  check(!after.FindSwitch(name));
  check(out.size() <= text.size());
}

void check_rewriter(const string& text) {
  const string out = kx::RewriteRelaunchCommandLine(text, KXT("C:\\T\\setup.exe"));
  kx::CommandLine line(text);
  if (!line.FindSwitch(KXT("KX_temp"), nullptr, kx::SwitchMatch::exact)) check(same(out, text));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  string text;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    text += static_cast<xchar>(data[i] | (data[i + 1] << 8));
  check_split(text);
  check_parser(text);
  check_internal(text);
  check_rewriter(text);
  check_without_switch(text);
  (void)kx::ParseLanguageId(text.as_view());
  return 0;
}
