#include "prereq/xml/parser.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <stdexcept>
#include <string>

#include "prereq/xml/entities.h"

namespace sax {
namespace {

using kx::xchar;

// Writes every event as text: "S:name{a=1,b=2}", "E:name", "W:<length>",
// "C:<text>", separated by blanks; startDocument and endDocument as "<" and
// ">" around them.
class recording_handler : public DocumentHandler {
 public:
  text events;
  std::size_t starts = 0;
  std::size_t delivered = 0;

  void startDocument() override { add(KXT("<")); }
  void startElement(text_view name, const AttributeList& attributes) override {
    ++starts;
    text e = KXT("S:");
    e += name;
    if (attributes.getLength()) {
      e += KXT("{");
      for (std::size_t i = 0; i < attributes.getLength(); ++i) {
        if (i) e += KXT(",");
        e += attributes.getName(i) + KXT("=") + attributes.getValue(i);
      }
      e += KXT("}");
    }
    add(e);
  }
  void endDocument() override { add(KXT(">")); }
  void endElement(text_view name) override { add(text(KXT("E:")) + text(name)); }
  void ignorableWhitespace(const xchar* t, std::size_t start, std::size_t length) override {
    EXPECT_EQ(start, 0u);
    for (std::size_t i = 0; i < length; ++i) EXPECT_TRUE(is_white(t[i]));
    delivered += length;
    add(text(KXT("W:")) + to_text(length));
  }
  void characters(const xchar* t, std::size_t start, std::size_t length) override {
    EXPECT_EQ(start, 0u);
    EXPECT_GT(length, 0u);
    delivered += length;
    add(text(KXT("C:")) + text(t, length));
  }

 private:
  static text to_text(std::size_t n) {
    const std::string narrow = std::to_string(n);
    return text(narrow.begin(), narrow.end());
  }
  void add(const text& e) {
    if (!events.empty()) events += KXT(" ");
    events += e;
  }
};

text events_of(text_view document) {
  recording_handler h;
  Parser(h).parse(document);
  return h.events;
}

struct event_case {
  const xchar* document;
  const xchar* events;
};

void expect_events(const event_case* cases, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const text middle = cases[i].events;
    const text expected = middle.empty() ? text(KXT("< >")) : KXT("< ") + middle + KXT(" >");
    EXPECT_EQ(events_of(cases[i].document), expected) << "case " << i;
  }
}

TEST(XmlParser, TagsBecomeStartAndEndEvents) {
  const event_case cases[] = {
      {KXT("<a x=\"1\"/>"), KXT("S:a{x=1} E:a")},
      {KXT("<a x=\"1\"></a>"), KXT("S:a{x=1} E:a")},
      {KXT("<a></a >"), KXT("S:a E:a")},
      {KXT("<a\tb=\"2\"\r\n/>"), KXT("S:a{b=2} E:a")},
      {KXT("<>"), KXT("S:")},
      {KXT("</>"), KXT("S: E:")},
      {KXT("<a\vb>"), KXT("S:a\vb")},
      {KXT("<a><b/></a>"), KXT("S:a S:b E:b E:a")},
      {KXT("<a"), KXT("")},
      {KXT("<a>text"), KXT("S:a")},
      {KXT("lost<a>"), KXT("S:a")},
      {KXT("<a> x  y\t</a>"), KXT("S:a W:1 C:x W:2 C:y W:1 E:a")},
      {KXT("<!DOCTYPE x><a/>"), KXT("S:!DOCTYPE S:a E:a")},
      {KXT(""), KXT("")},
  };
  expect_events(cases, std::size(cases));
}

TEST(XmlParser, AttributesFollowTheQuoteRules) {
  const event_case cases[] = {
      // An unquoted value takes the next quoted string; the names between
      // are lost.
      {KXT("<e a=1 b=\"2\"/>"), KXT("S:e{a=2} E:e")},
      {KXT("<e x='1'/>"), KXT("S:e E:e")},
      {KXT("<e x=\"\" y=\"3\"/>"), KXT("S:e{y=3} E:e")},
      {KXT("<e x=\"1\" x=\"2\"/>"), KXT("S:e{x=1,x=2} E:e")},
      {KXT("<e =\"v\" x=\"1\"/>"), KXT("S:e E:e")},
      {KXT("<e x=\"a>b\"/>"), KXT("S:e{x=a>b} E:e")},
      {KXT("<e x=\"&lt;b&gt;\"/>"), KXT("S:e{x=<b>} E:e")},
      {KXT("<e x = \"1\"/>"), KXT("S:e{x=1} E:e")},
      {KXT("<e x/>"), KXT("S:e E:e")},
  };
  expect_events(cases, std::size(cases));
}

TEST(XmlParser, PrologQuotesAndCommentsDecideWhatIsRead) {
  const event_case cases[] = {
      {KXT("<?xml version=\"1.0\"?><a/>"), KXT("S:a E:a")},
      // Everything before the first "<?...?>" is lost.
      {KXT("<b/><?pi?><a/>"), KXT("S:a E:a")},
      // A "<?" without "?>" reads from the start.
      {KXT("<b/><?pi"), KXT("S:b E:b")},
      {KXT("<?xml?><a/><?second?>"), KXT("S:a E:a S:?second?")},
      // A quote in text hides tags until the next quote.
      {KXT("<a>\"<b/>\"<c/>"), KXT("S:a C:\"<b/>\" S:c E:c")},
      {KXT("<a>\"<b/><c/>"), KXT("S:a")},
      // Comments are skipped with the markup and quotes they hold.
      {KXT("<a/><!-- <b x=\"1\"/> --><c/>"), KXT("S:a E:a S:c E:c")},
      {KXT("<a/><!-- 5\" disk --><c/>"), KXT("S:a E:a S:c E:c")},
      {KXT("<a> t <!-- x --> u <c/>"), KXT("S:a W:1 C:t W:1 W:1 C:u W:1 S:c E:c")},
      {KXT("<a/><!-- never closed <b/>"), KXT("S:a E:a")},
      {KXT("<a/><!--><b/>-->"), KXT("S:a E:a")},
  };
  expect_events(cases, std::size(cases));
}

TEST(XmlParser, StrayBracketsNeitherRepeatNorInventEvents) {
  const event_case cases[] = {
      // A '>' with no tag open is text, so the element comes once.
      {KXT("<file a=\"1\"/> > ><z/>"), KXT("S:file{a=1} E:file W:1 C:> W:1 C:> S:z E:z")},
      {KXT("> <a/>"), KXT("S:a E:a")},
      // A second '<' restarts the tag; the text before the first is
      // delivered once.
      {KXT("<a> x <<b/>"), KXT("S:a W:1 C:x W:1 S:b E:b")},
      {KXT("<a>x<y<z/>"), KXT("S:a C:x S:z E:z")},
  };
  expect_events(cases, std::size(cases));
}

TEST(XmlParser, EmbeddedNulEndsTheDocument) {
  const xchar doc[] = {'<', 'a', '/', '>', 0, '<', 'b', '/', '>'};
  EXPECT_EQ(events_of(text_view(doc, std::size(doc))), text(KXT("< S:a E:a >")));
  recording_handler h;
  Parser(h).parse(doc);
  EXPECT_EQ(h.events, text(KXT("< S:a E:a >")));
  Parser(h).parse(static_cast<const xchar*>(nullptr));
  EXPECT_EQ(h.events, text(KXT("< S:a E:a > < >")));
}

TEST(XmlParser, HandlerExceptionsLeaveTheParse) {
  struct throwing : recording_handler {
    void startElement(text_view name, const AttributeList& a) override {
      recording_handler::startElement(name, a);
      if (name == text_view(KXT("b"))) throw std::runtime_error("stop");
    }
  } h;
  EXPECT_THROW(Parser(h).parse(KXT("<a/><b/><c/>")), std::runtime_error);
  EXPECT_EQ(h.events, text(KXT("< S:a E:a S:b")));
}

TEST(XmlEntities, DecodeWhatIsDefinedAndKeepTheRest) {
  struct row {
    const xchar* raw;
    const xchar* decoded;
  };
  const row rows[] = {
      {KXT("&amp;&lt;&gt;&quot;&apos;"), KXT("&<>\"'")},
      {KXT("&#65;&#x41;&#x4a;&#x4A;"), KXT("AAJJ")},
      {KXT("&#X41;"), KXT("&#X41;")},
      {KXT("&# 65;&#\t\n66;"), KXT("AB")},
      {KXT("&#65x;"), KXT("A")},
      {KXT("&#0;&#;&#x;&#-65;"), KXT("&#0;&#;&#x;&#-65;")},
      {KXT("&#xD800;&#57343;"), KXT("&#xD800;&#57343;")},
      {KXT("&#xD7FF;&#xE000;"), KXT("\xD7FF\xE000")},
      {KXT("&#1114112;&#99999999;"), KXT("&#1114112;&#99999999;")},
      {KXT("&#99999999999999999999;"), KXT("&#99999999999999999999;")},
      {KXT("&#x1F600;"), KXT("\xD83D\xDE00")},
      {KXT("&#1114111;"), KXT("\xDBFF\xDFFF")},
      {KXT("&amp"), KXT("&amp")},
      {KXT("x&"), KXT("x&")},
      {KXT("a=1&b=2&amp;c"), KXT("a=1&b=2&c")},
      {KXT("&unknown;&lt;"), KXT("&unknown;<")},
      {KXT("&abcdefghij;"), KXT("&abcdefghij;")},
      {KXT("&&amp;"), KXT("&&")},
      {KXT("&AMP;"), KXT("&AMP;")},
  };
  for (const row& r : rows) {
    const text out = decode_entities(r.raw);
    EXPECT_EQ(out, text(r.decoded)) << "raw length " << text_view(r.raw).size();
    EXPECT_LE(out.size(), text_view(r.raw).size());
  }
}

TEST(XmlEntities, TextRunsAreDecodedToo) {
  EXPECT_EQ(events_of(KXT("<a>&#65;&amp;b <b/>")), text(KXT("< S:a C:A&b W:1 S:b E:b >")));
}

TEST(XmlAttributeList, LookupIsExactAndTheFirstWins) {
  AttributeList list;
  list.add(KXT("File"), KXT("a"));
  list.add(KXT("file"), KXT("b"));
  list.add(KXT("file"), KXT("c"));
  EXPECT_EQ(list.getValue(text_view(KXT("file"))), text_view(KXT("b")));
  EXPECT_EQ(list.getValue(text_view(KXT("File"))), text_view(KXT("a")));
  EXPECT_TRUE(list.getValue(text_view(KXT("FILE"))).empty());
  EXPECT_EQ(list.getLength(), 3u);
}

// Shapes that would cost quadratic time or unbounded work if text were
// delivered again or stray brackets re-read an old tag: each keeps both
// bounds and ends.
TEST(XmlParser, HostileShapesStayWithinBounds) {
  constexpr std::size_t kMiB = 1 << 20;
  text nested;
  for (int i = 0; i < 200000; ++i) nested += KXT("<a>");
  text many = KXT("<e");
  for (int i = 0; i < 100000; ++i) many += KXT(" n=\"v\"");
  many += KXT("/>");
  const text shapes[] = {
      text(KXT("<a>")) + text(kMiB, xchar('<')),
      text(KXT("<a/>")) + text(kMiB, xchar('>')),
      text(kMiB, xchar('>')),
      text(KXT("<a> x ")) + text(kMiB, xchar('<')) + KXT("b>"),
      many,
      nested,
  };
  for (const text& doc : shapes) {
    recording_handler h;
    Parser(h).parse(doc);
    std::size_t opens = 0;
    for (xchar c : doc) opens += c == xchar('<');
    EXPECT_LE(h.delivered, doc.size());
    EXPECT_LE(h.starts, opens);
    EXPECT_EQ(h.events.substr(h.events.size() - 1), text(KXT(">")));
  }
  recording_handler h;
  Parser(h).parse(many);
  EXPECT_EQ(h.starts, 1u);
  recording_handler deep;
  Parser(deep).parse(nested);
  EXPECT_EQ(deep.starts, 200000u);
}

}  // namespace
}  // namespace sax
