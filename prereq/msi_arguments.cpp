#include "prereq/msi_arguments.h"

namespace kx::prereq {

namespace {

bool is_blank(xchar c) {
  return c == xchar(' ') || c == xchar('\t');
}

// The end of the word that starts at `at`: the next blank, or the end.
string::size_type word_end(const string& text, string::size_type at) {
  while (at < text.size() && !is_blank(text[at])) ++at;
  return at;
}

std::uint32_t quiet_level(string::view suffix) {
  std::uint32_t level = kUiLevelNone;
  if (suffix.empty() || suffix == string::view(KXT("uiet")))
    level = kUiLevelNone;
  else if (suffix[0] == xchar('b') || suffix[0] == xchar('B'))
    level = kUiLevelBasic;
  else if (suffix[0] == xchar('f') || suffix[0] == xchar('F'))
    level = kUiLevelFull;
  else if (suffix[0] == xchar('r') || suffix[0] == xchar('R'))
    level = kUiLevelReduced;
  if (suffix.find(xchar('+')) != string::npos) level |= kUiLevelEndDialog;
  if (suffix.find(xchar('!')) != string::npos) level |= kUiLevelHideCancel;
  if (suffix.find(xchar('-')) != string::npos) level |= kUiLevelProgressOnly;
  return level;
}

void read_log_letters(string::view letters, msi_arguments& out) {
  if (letters == string::view(KXT("og"))) {
    out.logMode = kLogAllModes;
    return;
  }
  for (const xchar c : letters) {
    switch (fold_ascii(c)) {
      case xchar('!'):
        out.logAttributes |= kLogFlushEachLine;
        break;
      case xchar('+'):
        out.logAttributes |= kLogAppend;
        break;
      case xchar('*'):
        out.logMode |= kLogAllModes;
        break;
      case xchar('a'):
        out.logMode |= 0x100;
        break;
      case xchar('c'):
        out.logMode |= 0x800;
        break;
      case xchar('e'):
        out.logMode |= 0x2;
        break;
      case xchar('i'):
        out.logMode |= 0x10;
        break;
      case xchar('m'):
        out.logMode |= 0x1;
        break;
      case xchar('o'):
        out.logMode |= 0x80;
        break;
      case xchar('p'):
        out.logMode |= 0x400;
        break;
      case xchar('r'):
        out.logMode |= 0x200;
        break;
      case xchar('u'):
        out.logMode |= 0x8;
        break;
      case xchar('v'):
        out.logMode |= kLogVerbose;
        break;
      case xchar('w'):
        out.logMode |= 0x4;
        break;
      case xchar('x'):
        out.logMode |= 0x2000;
        break;
      default:
        break;
    }
  }
}

// Reads the log file name after the "/l" word ending at `at`; the end of
// the name, or npos when there is none.
string::size_type read_log_file(const string& text, string::size_type at, string& file) {
  while (at < text.size() && is_blank(text[at])) ++at;
  if (at >= text.size()) return string::npos;
  if (text[at] == xchar('"')) {
    const string::size_type close = text.find(xchar('"'), at + 1);
    const string::size_type end = close == string::npos ? text.size() : close;
    file = text.substr(at + 1, end - at - 1);
    if (file.empty()) return string::npos;
    return close == string::npos ? end : close + 1;
  }
  const string::size_type end = word_end(text, at);
  file = text.substr(at, end - at);
  return end;
}

// Blanks outside double quotes shrink to one, and none is left at the end:
// a removed switch leaves only its separating blank behind.
string tidy_blanks(const string& text) {
  string out;
  bool quoted = false;
  for (const xchar c : text) {
    if (c == xchar('"')) quoted = !quoted;
    if (!quoted && is_blank(c) && !out.empty() && is_blank(out.back())) continue;
    out += c;
  }
  while (!out.empty() && is_blank(out.back())) out.pop_back();
  return out;
}

}  // namespace

msi_arguments parse_msi_arguments(const string& arguments) {
  msi_arguments out;
  string kept;
  string appended;
  bool passive = false;
  bool quoted = false;
  string::size_type at = 0;
  while (at < arguments.size()) {
    const xchar c = arguments[at];
    const bool word_start = !quoted && c == xchar('/') && (at == 0 || is_blank(arguments[at - 1]));
    if (!word_start) {
      if (c == xchar('"')) quoted = !quoted;
      kept += c;
      ++at;
      continue;
    }
    const string::size_type end = word_end(arguments, at);
    const string::view word = arguments.as_view().substr(at, end - at);
    if (word == string::view(KXT("/passive"))) {
      passive = true;
      out.uiLevel = kUiLevelPassive;
    } else if (word == string::view(KXT("/norestart"))) {
      appended += KXT(" REBOOT=ReallySuppress");
    } else if (word == string::view(KXT("/forcerestart"))) {
      appended += KXT(" REBOOT=Force");
    } else if (word == string::view(KXT("/promptrestart"))) {
      appended += KXT(" REBOOTPROMPT=\"\"");
    } else if (word.size() >= 2 && fold_ascii(word[1]) == xchar('q')) {
      out.uiLevel = quiet_level(word.substr(2));
    } else if (word.size() >= 2 && fold_ascii(word[1]) == xchar('l')) {
      string file;
      const string::size_type file_end = read_log_file(arguments, end, file);
      if (file_end == string::npos) {
        kept += word;
        at = end;
        continue;
      }
      out.logMode = 0;
      out.logAttributes = 0;
      read_log_letters(word.substr(2), out);
      out.logFile = file;
      at = file_end;
      continue;
    } else {
      for (const xchar w : word)
        if (w == xchar('"')) quoted = !quoted;
      kept += word;
    }
    at = end;
  }
  out.remaining = tidy_blanks(kept);
  if (passive) out.remaining += KXT(" REBOOTPROMPT=S");
  out.remaining += appended;
  return out;
}

}  // namespace kx::prereq
