// Entity references in attribute values and character runs.
#pragma once

#include "prereq/xml/attribute_list.h"

namespace sax {

// `raw` with its references decoded: "&amp;", "&lt;", "&gt;", "&quot;",
// "&apos;", "&#<decimal>;" and "&#x<hex>;" (a lower-case x, digits of
// either case). A reference ends at the first ';' among the 9 characters
// after its '&'. In a numeric one, blanks, tabs and line feeds may precede
// the digits, a '-' negates, and the digits end at the first character that
// is not one of the base; it decodes only to U+0001-U+D7FF or
// U+E000-U+10FFFF, the latter above U+FFFF as a surrogate pair.
//
// Every other '&' (no ';' in reach, an unknown name, a number out of that
// range) stays as written, and decoding goes on with the character behind
// it: a raw '&' in an address ("?a=1&b=2") keeps the address intact, and a
// later reference is still decoded. The result is never longer than `raw`.
text decode_entities(text_view raw);

}  // namespace sax
