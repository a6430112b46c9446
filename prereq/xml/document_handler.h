// The receiver of the XML reader's events.
#pragma once

#include <cstddef>

#include "prereq/xml/attribute_list.h"

namespace sax {

// Receives one document's events in order. Every operation may throw; the
// exception leaves Parser::parse and ends the parse there.
class DocumentHandler {
 public:
  // Once, before any other event.
  virtual void startDocument() = 0;
  // A start tag (and the first half of a self-closing one).
  virtual void startElement(text_view name, const AttributeList& attributes) = 0;
  // Once, after every other event.
  virtual void endDocument() = 0;
  // An end tag, or the second half of a self-closing one.
  virtual void endElement(text_view name) = 0;
  // A run of white space between tags, unchanged; `start` is always 0.
  virtual void ignorableWhitespace(const kx::xchar* text, std::size_t start,
                                   std::size_t length) = 0;
  // A run of other characters between tags, entity references decoded;
  // `start` is always 0.
  virtual void characters(const kx::xchar* text, std::size_t start, std::size_t length) = 0;
  virtual ~DocumentHandler() = default;
};

}  // namespace sax
