// printf-style filling of texts that come from files: the medium's language
// files, setup.ini, the INI model's key patterns. Whoever wrote them, a
// placeholder that does not fit must never make the program read an
// argument it was not given, or read one as the wrong type.
//
// Windows-free, so that the formatter can be fuzzed on the host.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>

#include "base/stringx.h"

namespace kx {

// One value for a printf-style placeholder: a number (with the width of the
// type it came from, which %u and %x respect as printf does) or a text. A
// text argument refers to the caller's string, which must outlive the call.
class TextArg {
 public:
  // Implicit, so that calls read FormatText(text, {size, drive}).
  TextArg(int v) : number_(v), bits_(32) {}
  TextArg(long v) : number_(v), bits_(sizeof(long) * 8) {}
  TextArg(unsigned v) : number_(v), bits_(32) {}
  TextArg(unsigned long v) : number_(static_cast<long long>(v)), bits_(sizeof(long) * 8) {}
  TextArg(long long v) : number_(v), bits_(64) {}
  TextArg(unsigned long long v) : number_(static_cast<long long>(v)), bits_(64) {}
  TextArg(const string& v) : text_(v.as_view()), is_text_(true) {}
  TextArg(const xchar* v) : text_(v ? string::view(v) : string::view()), is_text_(true) {}

  bool is_text() const { return is_text_; }
  string::view text() const { return text_; }
  // The value as a conversion of `bits` width sees it (at most the
  // argument's own width): sign-extended for signed conversions, cut for
  // unsigned ones, as printf reads the bits it was given.
  long long as_signed(int bits) const;
  unsigned long long as_unsigned(int bits) const;

 private:
  long long number_ = 0;
  int bits_ = 0;
  string::view text_;
  bool is_text_ = false;
};

// printf-style formatting of `pattern`, where the n-th conversion always
// belongs to the n-th argument. Understood: "%%"; %d %i %u %x %X %o for
// numbers and %s for texts, with the flags "-+ #0", a width and a precision
// of up to 100 each, and the length modifiers l, ll, h (numbers) and l, w
// (texts). A conversion whose argument is missing or of the other kind is
// copied as written but still uses up its argument, so one mistranslated
// placeholder does not shift the later ones onto the wrong values. Every
// other '%' sequence (%n, %p, %f, "*" widths, fields over 100, a '%' at the
// end) is copied as written and takes no argument.
string FormatText(string::view pattern, std::initializer_list<TextArg> args);

// Like FormatText with one argument, except that only the first conversion
// of the argument's kind (a number conversion for a number, %s for a text)
// takes it: every other conversion, before or after, stays as written.
string FormatFirst(string::view pattern, const TextArg& arg);

// The kind of argument an understood conversion takes: a number (%d %i %u
// %x %X %o) or a text (%s).
enum class ConversionKind { number, text };

// How FormatChosen reads the length modifiers of a conversion.
enum class LengthModifiers {
  // One of l, ll and h for numbers, l and w for texts, read as printf reads
  // them (h cuts a number to 16 bits).
  printf_rules,
  // Any run of 'l' and 'h', for either kind, is accepted and ignored: a
  // number is written with its argument's own width. 'w' is not understood.
  ignored,
};

// The general form of the formatters above: each understood conversion of
// `pattern` (the conversions, flags and field limits of FormatText) is
// offered to `choose` in turn, which returns the argument it takes, or null
// to leave it as written. An argument of the other kind also leaves it as
// written. `encode`, when set, turns each filled-in value into the text
// that enters the result. "%%" gives '%'; every other '%' sequence is
// copied as written.
string FormatChosen(string::view pattern,
                    const std::function<const TextArg*(ConversionKind)>& choose,
                    const std::function<string(string::view)>& encode = nullptr,
                    LengthModifiers modifiers = LengthModifiers::printf_rules);

// Positional insertion: each "%1" to "%9" becomes the text with that number
// (the first, second, ...) when there is one, "%%" becomes '%', and
// everything else, a number without a text included, stays as written.
// Inserted texts are not searched again, so a "%2" inside a product name
// stays as it is.
string InsertTexts(string::view pattern, std::initializer_list<string::view> texts);

}  // namespace kx
