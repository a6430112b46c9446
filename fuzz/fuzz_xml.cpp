// Any bytes, decoded as a definition file is, must read without fault and
// within the reader's bounds: the text handed out never exceeds the
// document, no more elements start than there are '<', every attribute
// pair is well formed, and lookups find the first pair of a name.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "base/text_encoding.h"
#include "prereq/xml/entities.h"
#include "prereq/xml/parser.h"

namespace {

using kx::xchar;

void check(bool ok) {
  if (!ok) std::abort();
}

class checking_handler : public sax::DocumentHandler {
 public:
  explicit checking_handler(sax::text_view doc) : doc_(doc) {
    has_ampersand_ = doc.find(xchar('&')) != sax::text_view::npos;
  }

  void startDocument() override {
    check(!started_ && !ended_);
    started_ = true;
  }
  void endDocument() override {
    check(started_ && !ended_);
    ended_ = true;
  }
  void startElement(sax::text_view name, const sax::AttributeList& attributes) override {
    check(started_ && !ended_);
    ++starts_;
    for (xchar c : name) check(!sax::is_white(c));
    for (std::size_t i = 0; i < attributes.getLength(); ++i) {
      const sax::text& n = attributes.getName(i);
      check(!n.empty() && !attributes.getValue(i).empty());
      for (xchar c : n) check(!sax::is_white(c) && c != xchar('='));
      std::size_t first = 0;
      while (attributes.getName(first) != n) ++first;
      check(attributes.getValue(n) == sax::text_view(attributes.getValue(first)));
    }
  }
  void endElement(sax::text_view name) override {
    check(started_ && !ended_);
    for (xchar c : name) check(!sax::is_white(c));
  }
  void ignorableWhitespace(const xchar* text, std::size_t start, std::size_t length) override {
    check(start == 0 && length > 0);
    // White space is handed out from the document itself, in order.
    check(text >= doc_.data() + white_cursor_ && text + length <= doc_.data() + doc_.size());
    white_cursor_ = std::size_t(text - doc_.data()) + length;
    for (std::size_t i = 0; i < length; ++i) check(sax::is_white(text[i]));
    delivered_ += length;
  }
  void characters(const xchar* text, std::size_t start, std::size_t length) override {
    check(start == 0 && length > 0);
    const sax::text_view run(text, length);
    if (!has_ampersand_) {
      for (xchar c : run) check(!sax::is_white(c));
      // Runs come in document order, each as written.
      const std::size_t at = doc_.find(run, text_cursor_);
      check(at != sax::text_view::npos);
      text_cursor_ = at + length;
    }
    delivered_ += length;
  }

  void finish() const {
    check(started_ && ended_);
    check(delivered_ <= doc_.size());
    check(starts_ <= std::size_t(std::count(doc_.begin(), doc_.end(), xchar('<'))));
  }

 private:
  sax::text_view doc_;
  bool has_ampersand_ = false;
  bool started_ = false;
  bool ended_ = false;
  std::size_t starts_ = 0;
  std::size_t delivered_ = 0;
  std::size_t white_cursor_ = 0;
  std::size_t text_cursor_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kx::detected_encoding found = kx::detect_encoding(data, size);
  const int code_page = found.code_page == kx::kCodePageAnsi ? kx::kCodePageUtf8 : found.code_page;
  kx::string decoded;
  check(kx::decode_text(data + found.mark_length, size - found.mark_length, code_page, decoded) ==
        0);
  sax::text doc = decoded.str();
  // The reader stops at the first NUL; the bounds are about what it reads.
  doc.resize(std::min(doc.size(), sax::text_view(doc).find(xchar(0))));

  checking_handler handler(doc);
  sax::Parser(handler).parse(doc);
  handler.finish();

  // Decoding never lengthens, and text without '&' is left alone.
  const sax::text once = sax::decode_entities(doc);
  check(once.size() <= doc.size());
  if (doc.find(xchar('&')) == sax::text::npos) check(once == doc);
  return 0;
}
