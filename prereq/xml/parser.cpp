#include "prereq/xml/parser.h"

#include <utility>

#include "prereq/xml/entities.h"

namespace sax {
namespace {

using kx::xchar;

constexpr text_view kPrologOpen = KXT("<?");
constexpr text_view kPrologClose = KXT("?>");
constexpr text_view kCommentOpen = KXT("<!--");
constexpr text_view kCommentClose = KXT("-->");

std::size_t first_white(text_view s, std::size_t from) noexcept {
  while (from < s.size() && !is_white(s[from])) ++from;
  return from;
}

std::size_t skip_white(text_view s, std::size_t from) noexcept {
  while (from < s.size() && is_white(s[from])) ++from;
  return from;
}

// Where reading starts: behind the "?>" that closes the first "<?", or at
// the first character when there is no such pair.
std::size_t content_start(text_view doc) noexcept {
  const std::size_t open = doc.find(kPrologOpen);
  if (open == text_view::npos) return 0;
  const std::size_t close = doc.find(kPrologClose, open + kPrologOpen.size());
  return close == text_view::npos ? 0 : close + kPrologClose.size();
}

// The pairs behind an element's name. Values are double-quoted only; an
// unquoted value takes the next quoted string of the tag, and the names in
// between are lost. The list ends at an empty name, at a name with no quote
// behind it, or at a value that runs to the end of the body.
AttributeList read_attributes(text_view body) {
  AttributeList list;
  std::size_t at = 0;
  for (;;) {
    at = skip_white(body, at);
    std::size_t name_end = at;
    while (name_end < body.size() && !is_white(body[name_end]) && body[name_end] != xchar('='))
      ++name_end;
    if (name_end == at) break;
    const std::size_t open = body.find(xchar('"'), name_end);
    if (open == text_view::npos) break;
    const std::size_t close = body.find(xchar('"'), open + 1);
    const std::size_t value_end = close == text_view::npos ? body.size() : close;
    text value = decode_entities(body.substr(open + 1, value_end - open - 1));
    if (!value.empty()) list.add(text(body.substr(at, name_end - at)), std::move(value));
    if (close == text_view::npos) break;
    at = close + 1;
  }
  return list;
}

// One document's reading state.
class reader {
 public:
  reader(DocumentHandler& handler, text_view doc) : handler_(handler), doc_(doc) {}

  void run() {
    handler_.startDocument();
    bool in_quotes = false;
    for (std::size_t i = content_start(doc_); i < doc_.size(); ++i) {
      const xchar c = doc_[i];
      if (c == xchar('"')) {
        in_quotes = !in_quotes;
      } else if (in_quotes) {
        // '<' and '>' inside quotes are ordinary characters.
      } else if (c == xchar('<')) {
        deliver_text(i);
        if (doc_.substr(i, kCommentOpen.size()) == kCommentOpen) {
          // A comment is skipped whole, quotes and markup inside it included,
          // so that commented-out elements stay out. Unterminated, it runs to
          // the end of the document.
          const std::size_t close = doc_.find(kCommentClose, i + kCommentOpen.size());
          if (close == text_view::npos) break;
          i = close + kCommentClose.size() - 1;
          tag_open_ = false;
          mark_text_start(i + 1);
        } else {
          // A '<' inside an open tag starts the tag afresh.
          tag_open_ = true;
          tag_start_ = i + 1;
        }
      } else if (c == xchar('>') && tag_open_) {
        // A '>' with no tag open is text.
        tag_open_ = false;
        end_tag(doc_.substr(tag_start_, i - tag_start_));
        mark_text_start(i + 1);
      }
    }
    handler_.endDocument();
  }

 private:
  void mark_text_start(std::size_t at) noexcept {
    text_pending_ = true;
    text_start_ = at;
  }

  // Delivers the text since the last tag end once; later '<' find it
  // consumed. Text before the first tag is never delivered.
  void deliver_text(std::size_t end) {
    if (!text_pending_) return;
    text_pending_ = false;
    const text_view run = doc_.substr(text_start_, end - text_start_);
    std::size_t at = 0;
    while (at < run.size()) {
      const std::size_t white_end = skip_white(run, at);
      if (white_end > at) handler_.ignorableWhitespace(run.data() + at, 0, white_end - at);
      at = white_end;
      const std::size_t word_end = first_white(run, at);
      if (word_end > at) {
        const text decoded = decode_entities(run.substr(at, word_end - at));
        handler_.characters(decoded.data(), 0, decoded.size());
      }
      at = word_end;
    }
  }

  void end_tag(text_view body) {
    bool self_closing = false;
    if (!body.empty() && body.back() == xchar('/')) {
      self_closing = true;
      body.remove_suffix(1);
    }
    if (!body.empty() && body.front() == xchar('/')) {
      body.remove_prefix(1);
      handler_.endElement(body.substr(0, first_white(body, 0)));
      return;
    }
    const std::size_t name_end = first_white(body, 0);
    const text_view name = body.substr(0, name_end);
    const AttributeList attributes = read_attributes(body.substr(name_end));
    handler_.startElement(name, attributes);
    if (self_closing) handler_.endElement(name);
  }

  DocumentHandler& handler_;
  const text_view doc_;
  bool tag_open_ = false;
  std::size_t tag_start_ = 0;
  bool text_pending_ = false;
  std::size_t text_start_ = 0;
};

}  // namespace

void Parser::parse(const kx::xchar* document) {
  parse(document ? text_view(document) : text_view());
}

void Parser::parse(text_view document) {
  const std::size_t nul = document.find(xchar(0));
  if (nul != text_view::npos) document = document.substr(0, nul);
  reader(handler_, document).run();
}

}  // namespace sax
