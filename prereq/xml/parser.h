// A small event-driven reader for the definition files: a whole document in
// memory becomes calls on a DocumentHandler. It does not validate and knows
// no DTD, so entity expansion and external entities cannot happen.
//
// Windows-free, so that the host fuzzers drive the very same code.
#pragma once

#include <cstddef>

#include "prereq/xml/attribute_list.h"
#include "prereq/xml/document_handler.h"

namespace sax {

// Reads documents into one handler. The reader is flat: it keeps no element
// stack, so deep nesting costs nothing, and every element is reported where
// it stands.
class Parser {
 public:
  // `handler` must outlive the parser.
  explicit Parser(DocumentHandler& handler) noexcept : handler_(handler) {}

  // Reads `document` up to its terminating NUL (a null pointer reads as an
  // empty document). Calls startDocument first and endDocument last, also
  // for empty or garbage input; reports nothing as an error. An exception
  // thrown by the handler leaves parse at once (endDocument is not called).
  void parse(const kx::xchar* document);

  // The same for a counted document; an embedded NUL ends it there.
  void parse(text_view document);

 private:
  DocumentHandler& handler_;
};

// True for the four white-space characters of the reader: tab, line feed,
// carriage return and space.
constexpr bool is_white(kx::xchar c) noexcept {
  return c == kx::xchar('\t') || c == kx::xchar('\n') || c == kx::xchar('\r') ||
         c == kx::xchar(' ');
}

}  // namespace sax
