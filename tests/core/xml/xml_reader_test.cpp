#include "core/xml/xml_reader.h"

#include <expat.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>
#if defined(__SANITIZE_ADDRESS__)
// From the address sanitizer's runtime (its header does not ship with g++).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

#include <algorithm>
#include <fstream>
#include <map>
#include <new>
#include <sstream>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/cpu_timer.h"
#include "tests/support/failing_allocation.h"
#include "tests/support/in_child.h"

namespace {

using Zor::xml::reader;

// One delivered node, as the accessors describe it.
struct Node {
  int kind;
  int depth;
  std::string name;
  std::string value;
};

std::vector<Node> ReadAll(const std::string& xml, bool skip_none = true) {
  std::istringstream in(xml);
  reader r(in);
  std::vector<Node> nodes;
  while (r.read()) {
    if (skip_none && r.node_type() == reader::none) continue;
    nodes.push_back({r.node_type(), r.depth(), r.name(), r.value()});
  }
  return nodes;
}

// Concatenates the character data of every text and white-space piece.
std::string CharacterData(const std::vector<Node>& nodes) {
  std::string all;
  for (const Node& n : nodes)
    if (n.kind == reader::text || n.kind == reader::whitespace) all += n.value;
  return all;
}

// Positions the reader on the first element called `name`.
void ReadToElement(reader& r, const std::string& name) {
  while (r.read()) {
    if (r.node_type() == reader::element && r.name() == name) return;
  }
  FAIL() << "no element " << name;
}

TEST(XmlReader, DeclarationAndEmptyElement) {
  std::istringstream in("<?xml version=\"1.0\" encoding=\"UTF-8\"?><a/>");
  reader r(in);
  EXPECT_EQ(r.node_type(), reader::none);
  EXPECT_FALSE(r.has_attributes());

  ASSERT_TRUE(r.read());
  EXPECT_EQ(r.node_type(), reader::xml_declaration);
  EXPECT_EQ(r.name(), "xml");
  EXPECT_EQ(r.value(), "version=\"1.0\" encoding=\"UTF-8\"");
  EXPECT_FALSE(r.has_value());  // the declaration has no value text of its own

  ASSERT_TRUE(r.read());
  EXPECT_EQ(r.node_type(), reader::element);
  EXPECT_EQ(r.depth(), 1);
  EXPECT_EQ(r.name(), "a");

  ASSERT_TRUE(r.read());
  EXPECT_EQ(r.node_type(), reader::end_element);
  EXPECT_EQ(r.depth(), 0);
  EXPECT_EQ(r.name(), "a");
  EXPECT_FALSE(r.has_attributes());

  EXPECT_FALSE(r.read());
  EXPECT_FALSE(r.read());
  EXPECT_TRUE(r.eof());
}

TEST(XmlReader, DeclarationWithVersionOnly) {
  const auto nodes = ReadAll("<?xml version=\"1.0\"?><a/>");
  ASSERT_FALSE(nodes.empty());
  EXPECT_EQ(nodes[0].value, "version=\"1.0\"");
}

TEST(XmlReader, EmptyElementAndElementWithoutContentLookTheSame) {
  const auto empty = ReadAll("<r><a x='1'/><b/></r>");
  const auto open_close = ReadAll("<r><a x='1'></a><b></b></r>");
  ASSERT_EQ(empty.size(), 6u);
  ASSERT_EQ(open_close.size(), empty.size());
  for (std::size_t i = 0; i < empty.size(); ++i) {
    EXPECT_EQ(empty[i].kind, open_close[i].kind) << i;
    EXPECT_EQ(empty[i].depth, open_close[i].depth) << i;
    EXPECT_EQ(empty[i].name, open_close[i].name) << i;
  }
  const int kinds[] = {reader::element, reader::element, reader::end_element,
                       reader::element, reader::end_element, reader::end_element};
  const int depths[] = {1, 2, 1, 2, 1, 0};
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(empty[i].kind, kinds[i]) << i;
    EXPECT_EQ(empty[i].depth, depths[i]) << i;
  }
}

TEST(XmlReader, TextWhitespaceCommentsAndInstructions) {
  auto nodes = ReadAll("<a>   \n<b>x</b><!-- note --><?pi some data?><!----><?bare?></a>");
  // Blanks and a line feed: one white-space run, in pieces split at the line end.
  std::string blank;
  while (nodes.size() > 1 && nodes[1].kind == reader::whitespace) {
    EXPECT_EQ(nodes[1].depth, 1);
    blank += nodes[1].value;
    nodes.erase(nodes.begin() + 1);
  }
  EXPECT_EQ(blank, "   \n");
  nodes.insert(nodes.begin() + 1, Node{reader::whitespace, 1, "", blank});
  ASSERT_EQ(nodes.size(), 10u);
  EXPECT_EQ(nodes[3].kind, reader::text);
  EXPECT_EQ(nodes[3].value, "x");
  EXPECT_EQ(nodes[3].depth, 2);
  EXPECT_EQ(nodes[5].kind, reader::comment);
  EXPECT_EQ(nodes[5].value, " note ");
  EXPECT_EQ(nodes[5].name, "");
  EXPECT_EQ(nodes[6].kind, reader::processing_instruction);
  EXPECT_EQ(nodes[6].name, "pi");
  EXPECT_EQ(nodes[6].value, "some data");
  EXPECT_EQ(nodes[7].kind, reader::comment);
  EXPECT_EQ(nodes[7].value, "");
  EXPECT_EQ(nodes[8].kind, reader::processing_instruction);
  EXPECT_EQ(nodes[8].name, "bare");
  EXPECT_EQ(nodes[8].value, "");
}

TEST(XmlReader, HasValueByKind) {
  std::istringstream in("<a k='' v='1'> <!--c-->t<!----></a>");
  reader r(in);
  ASSERT_TRUE(r.read());
  EXPECT_FALSE(r.has_value());  // element
  ASSERT_TRUE(r.move_to_attribute("k"));
  EXPECT_FALSE(r.has_value());
  ASSERT_TRUE(r.move_to_attribute("v"));
  EXPECT_TRUE(r.has_value());
  ASSERT_TRUE(r.read());
  ASSERT_EQ(r.node_type(), reader::whitespace);
  EXPECT_FALSE(r.has_value());
  ASSERT_TRUE(r.read());
  EXPECT_TRUE(r.has_value());  // comment "c"
  ASSERT_TRUE(r.read());
  EXPECT_TRUE(r.has_value());  // text "t"
  ASSERT_TRUE(r.read());
  EXPECT_FALSE(r.has_value());  // empty comment
}

TEST(XmlReader, CharacterDataPiecesConcatenate) {
  const std::string body(5000, 'q');
  const auto nodes = ReadAll("<a>" + body + "</a>");
  int pieces = 0;
  for (const Node& n : nodes) pieces += n.kind == reader::text;
  EXPECT_GT(pieces, 1);
  EXPECT_EQ(CharacterData(nodes), body);

  // Line ends and references split a run; nothing is lost.
  EXPECT_EQ(CharacterData(ReadAll("<a>x &amp; y\r\nz&#65;&lt;</a>")), "x & y\nzA<");
}

TEST(XmlReader, Latin1TextIsDeliveredWhole) {
  // Every é doubles in UTF-8, so the parser converts one text token in
  // several chunks; none may be lost.
  std::string body;
  for (int i = 0; i < 3000; ++i) body += (i % 7 == 0) ? 'x' : '\xE9';
  const auto nodes = ReadAll("<?xml version='1.0' encoding='ISO-8859-1'?><a>" + body + "</a>");
  std::string expected;
  for (char c : body) expected += c == 'x' ? std::string("x") : std::string("\xC3\xA9");
  EXPECT_EQ(CharacterData(nodes), expected);
}

TEST(XmlReader, BlockBoundariesInsideTokens) {
  // Shift a long attribute list, a comment and a tag across the 1,024-byte
  // block ends; the nodes must not change.
  for (std::size_t pad : {0u, 1u, 1000u, 1018u, 1019u, 1020u, 1023u, 1024u, 2040u}) {
    const std::string padding(pad, ' ');
    const std::string xml = "<r>" + padding + "<e a='" + std::string(1500, 'v') +
                            "' b='2'/><!--" + std::string(1100, 'c') + "--><f>t</f></r>";
    std::vector<Node> nodes;
    ASSERT_NO_THROW(nodes = ReadAll(xml)) << pad;
    std::vector<int> kinds;
    for (const Node& n : nodes)
      if (n.kind != reader::whitespace) kinds.push_back(n.kind);
    const std::vector<int> expected = {reader::element, reader::element, reader::end_element,
                                       reader::comment, reader::element, reader::text,
                                       reader::end_element, reader::end_element};
    EXPECT_EQ(kinds, expected) << pad;
    EXPECT_EQ(CharacterData(nodes), padding + "t") << pad;
  }
}

TEST(XmlReader, LongTokensReadInLinearTime) {
  // The parser rescans an unfinished token with every block it is fed, so
  // 4 MB tokens fed in fixed 1,024-byte blocks take many seconds each.
  const std::size_t size = std::size_t{4} << 20;
  const std::string big(size, 'v');
  std::string many_attributes;
  std::size_t attribute_count = 0;
  while (many_attributes.size() < size)
    many_attributes += " a" + std::to_string(attribute_count++) + "='x'";
  struct Case {
    std::string xml;
    int kind;                 // of the node holding the token
    std::size_t value_bytes;  // in its value, or in its attribute values
  } cases[] = {
      {"<r a='" + big + "'/>", reader::element, size},
      {"<r" + many_attributes + "/>", reader::element, attribute_count},
      {"<r><!--" + big + "--></r>", reader::comment, size},
      {"<r><?pi " + big + "?></r>", reader::processing_instruction, size},
      {"<r>" + big + "</r>", reader::text, size},
  };
  for (const Case& c : cases) {
    const ThreadCpuTimer timer;
    std::istringstream in(c.xml);
    reader r(in);
    std::size_t value_bytes = 0;
    while (r.read()) {
      if (r.node_type() != c.kind) continue;
      value_bytes += r.value().size();
      for (int i = 0; i < r.attribute_count(); ++i) value_bytes += r.get_attribute(i).size();
    }
    EXPECT_LT(timer.Seconds(), 2.0) << c.xml.substr(0, 8);
    EXPECT_EQ(value_bytes, c.value_bytes) << c.xml.substr(0, 8);
  }
}

TEST(XmlReader, DocumentOfWholeBlocks) {
  // Exactly 1,024 and 2,048 bytes: the final block is the empty read after.
  for (std::size_t size : {1024u, 2048u}) {
    std::string xml = "<a>";
    xml += std::string(size - 7, 'z');
    xml += "</a>";
    ASSERT_EQ(xml.size(), size);
    const auto nodes = ReadAll(xml);
    ASSERT_GE(nodes.size(), 3u);
    EXPECT_EQ(nodes.back().kind, reader::end_element);
    EXPECT_EQ(CharacterData(nodes), std::string(size - 7, 'z'));
  }
}

TEST(XmlReader, AttributeNavigation) {
  std::istringstream in("<r><one k='v'/><none/></r>");
  reader r(in);
  ReadToElement(r, "one");
  EXPECT_TRUE(r.has_attributes());
  EXPECT_EQ(r.attribute_count(), 1);
  EXPECT_FALSE(r.move_to_element());  // not on an attribute
  EXPECT_FALSE(r.move_to_next_attribute());
  ASSERT_TRUE(r.move_to_first_attribute());
  EXPECT_EQ(r.node_type(), reader::attribute);
  EXPECT_EQ(r.name(), "k");
  EXPECT_EQ(r.qualified_name(), "k");
  EXPECT_EQ(r.value(), "v");
  EXPECT_TRUE(r.has_attributes());
  EXPECT_FALSE(r.move_to_first_attribute());  // only from the element
  EXPECT_FALSE(r.move_to_next_attribute());
  // Past the last attribute: still an attribute node, with nothing to show.
  EXPECT_EQ(r.node_type(), reader::attribute);
  EXPECT_EQ(r.name(), "");
  EXPECT_EQ(r.value(), "");
  EXPECT_FALSE(r.has_value());
  ASSERT_TRUE(r.move_to_element());
  EXPECT_EQ(r.node_type(), reader::element);
  EXPECT_EQ(r.name(), "one");

  ASSERT_TRUE(r.read());  // end of <one/>
  EXPECT_FALSE(r.has_attributes());
  EXPECT_EQ(r.attribute_count(), 0);
  ASSERT_TRUE(r.read());
  ASSERT_EQ(r.name(), "none");
  EXPECT_TRUE(r.has_attributes());
  EXPECT_EQ(r.attribute_count(), 0);
  EXPECT_FALSE(r.move_to_first_attribute());
  EXPECT_EQ(r.node_type(), reader::element);
}

TEST(XmlReader, AttributeLookups) {
  std::istringstream in("<e a='1' b='2' c=''/>");
  reader r(in);
  ASSERT_TRUE(r.read());
  EXPECT_EQ(r.get_attribute("b"), "2");
  EXPECT_EQ(r.get_attribute(0), "1");
  EXPECT_EQ(r.get_attribute(2), "");
  EXPECT_EQ(r.node_type(), reader::element);  // look-ups do not move

  ASSERT_TRUE(r.move_to_attribute(1));
  EXPECT_EQ(r.name(), "b");
  EXPECT_THROW(r.get_attribute("B"), reader::attribute_out_of_range);  // exact case
  EXPECT_THROW(r.get_attribute(3), reader::attribute_out_of_range);
  EXPECT_THROW(r.get_attribute(-1), reader::attribute_out_of_range);
  // A failed look-up leaves kind and cursor as they were.
  EXPECT_EQ(r.node_type(), reader::attribute);
  EXPECT_EQ(r.name(), "b");

  EXPECT_EQ(r.select_attribute(2), "");
  EXPECT_EQ(r.node_type(), reader::attribute);
  EXPECT_EQ(r.name(), "c");
  EXPECT_THROW(r.select_attribute(5), reader::attribute_out_of_range);
  EXPECT_EQ(r.name(), "c");

  ASSERT_TRUE(r.move_to_attribute("a"));
  EXPECT_EQ(r.value(), "1");
  EXPECT_FALSE(r.move_to_attribute("zz"));
  EXPECT_EQ(r.node_type(), reader::attribute);
  EXPECT_EQ(r.name(), "");  // the cursor stands past the last attribute
  EXPECT_FALSE(r.move_to_attribute(3));
  EXPECT_FALSE(r.move_to_attribute(-1));

  try {
    r.get_attribute("missing");
    FAIL();
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "xml::reader::get_attribute: index out of range");
  }
}

TEST(XmlReader, Namespaces) {
  std::istringstream in(
      "<root xmlns='urn:d' xmlns:p='urn:p'><p:item p:k='1' k='2'/><plain xmlns=''/></root>");
  reader r(in);
  ASSERT_TRUE(r.read());
  EXPECT_EQ(r.name(), "root");
  EXPECT_EQ(r.namespace_uri(), "urn:d");
  EXPECT_EQ(r.qualified_name(), "urn:d:root");
  EXPECT_EQ(r.attribute_count(), 0);  // declarations are not attributes
  EXPECT_EQ(r.lookup_namespace(""), "urn:d");
  EXPECT_EQ(r.lookup_namespace("p"), "urn:p");
  EXPECT_EQ(r.lookup_namespace("xml"), "http://www.w3.org/XML/1998/namespace");
  EXPECT_EQ(r.lookup_namespace("q"), "");

  ASSERT_TRUE(r.read());
  EXPECT_EQ(r.name(), "item");
  EXPECT_EQ(r.namespace_uri(), "urn:p");
  EXPECT_EQ(r.get_attribute("urn:p|k"), "1");
  EXPECT_EQ(r.get_attribute("k", "urn:p"), "1");
  EXPECT_EQ(r.get_attribute("k", ""), "2");
  ASSERT_TRUE(r.move_to_attribute("k", "urn:p"));
  EXPECT_EQ(r.name(), "urn:p|k");
  EXPECT_EQ(r.qualified_name(), "urn:p|k");
  ASSERT_TRUE(r.read());
  EXPECT_EQ(r.node_type(), reader::end_element);
  EXPECT_EQ(r.qualified_name(), "urn:p:item");

  ASSERT_TRUE(r.read());
  EXPECT_EQ(r.name(), "plain");
  EXPECT_EQ(r.namespace_uri(), "");
  EXPECT_EQ(r.qualified_name(), "plain");
}

TEST(XmlReader, NamespaceUriHoldingTheSeparatorIsRejected) {
  // Otherwise "urn:x|y|a" could not be split back into URI and local name.
  EXPECT_THROW(ReadAll("<a xmlns='urn:x|y'/>"), reader::parse_error);
  EXPECT_THROW(ReadAll("<p:a xmlns:p='urn:x|y'/>"), reader::parse_error);
}

TEST(XmlReader, SkipToText) {
  std::istringstream in("<a><b/> \n <!--c--><?p?><c>first</c>second</a>");
  reader r(in);
  EXPECT_EQ(r.skip_to_text(), reader::text);
  EXPECT_EQ(r.value(), "first");
  EXPECT_EQ(r.skip_to_text(), reader::text);  // already on text
  EXPECT_EQ(r.value(), "first");
  ASSERT_TRUE(r.read());
  EXPECT_EQ(r.skip_to_text(), reader::text);
  EXPECT_EQ(r.value(), "second");
  ASSERT_TRUE(r.read());
  EXPECT_EQ(r.skip_to_text(), reader::none);
}

TEST(XmlReader, ParseErrors) {
  struct Case {
    const char* xml;
    int line;
    int column;
    int nodes_before;  // delivered before the error is raised
  } cases[] = {
      {"<a>\n  <b></c>\n</a>", 2, 7, 3},  // mismatched tag
      {"<a><b>", 1, 6, 2},                // never closed: fails on the final block
      {"", 1, 0, 0},                      // no element at all
      {"<a/><b/>", 1, 4, 2},              // junk after the document element
  };
  for (const Case& c : cases) {
    std::istringstream in(c.xml);
    reader r(in);
    int nodes = 0;
    try {
      while (r.read()) ++nodes;
      ADD_FAILURE() << c.xml << ": no error";
    } catch (const reader::parse_error& e) {
      EXPECT_STREQ(e.what(), "xml parse error");
      EXPECT_EQ(e.line(), c.line) << c.xml;
      EXPECT_EQ(e.column(), c.column) << c.xml;
      EXPECT_EQ(nodes, c.nodes_before) << c.xml;
      // The reader stays failed.
      EXPECT_THROW(r.read(), reader::parse_error);
    }
  }
}

TEST(XmlReader, TruncatedLongDocumentFailsOnItsLastBlock) {
  std::string xml = "<a>";
  for (int i = 0; i < 300; ++i) xml += "<b>text</b>";
  std::istringstream in(xml);
  reader r(in);
  int nodes = 0;
  EXPECT_THROW(
      while (r.read()) ++nodes, reader::parse_error);
  EXPECT_GT(nodes, 900);  // everything before the end was delivered
  EXPECT_TRUE(r.eof());
}

// Serves `good` bytes, then fails as a broken disk would.
class FailingBuf : public std::streambuf {
 public:
  explicit FailingBuf(std::string good) : good_(std::move(good)) {
    setg(good_.data(), good_.data(), good_.data() + good_.size());
  }

 protected:
  int_type underflow() override { throw std::ios_base::failure("read error"); }

 private:
  std::string good_;
};

TEST(XmlReader, StreamFailureEndsTheDocumentQuietly) {
  std::string xml = "<a>";
  for (int i = 0; i < 750; ++i) xml += "<b/>";  // two whole blocks, then the failure
  FailingBuf buf(xml);
  std::istream in(&buf);
  reader r(in);
  int elements = 0;
  bool more = true;
  ASSERT_NO_THROW(while ((more = r.read())) elements += r.node_type() == reader::element);
  EXPECT_FALSE(more);
  EXPECT_GT(elements, 400);
  EXPECT_TRUE(in.bad());
  EXPECT_FALSE(r.read());
}

TEST(XmlReader, StreamAlreadyAtEnd) {
  std::istringstream in("");
  in.get();  // sets eof
  reader r(in);
  EXPECT_FALSE(r.read());
  EXPECT_EQ(r.skip_to_text(), reader::none);
}

TEST(XmlReader, DeepNestingNeedsNoStack) {
  const int depth = 200000;
  std::string xml;
  for (int i = 0; i < depth; ++i) xml += "<d>";
  for (int i = 0; i < depth; ++i) xml += "</d>";
  std::istringstream in(xml);
  reader r(in);
  int deepest = 0;
  while (r.read()) deepest = std::max(deepest, r.depth());
  EXPECT_EQ(deepest, depth);
  EXPECT_EQ(r.depth(), 0);
}

}  // namespace

namespace {

TEST(XmlReaderEntities, InternalEntityContentIsDeliveredNodeByNode) {
  const auto nodes = ReadAll("<!DOCTYPE r [<!ENTITY e 'x<b k=\"v\">y</b>z'>]><r>&e;&e;</r>");
  std::string shape;
  for (const Node& n : nodes) {
    if (n.kind == reader::element) shape += "<" + n.name + ">";
    if (n.kind == reader::end_element) shape += "</" + n.name + ">";
    if (n.kind == reader::text) shape += n.value;
  }
  EXPECT_EQ(shape, "<r>x<b>y</b>zx<b>y</b>z</r>");
}

// Levels of entities, each referring ten times to the one below, and one
// reference to the top level.
std::string EntityBomb(const std::string& innermost, int levels = 10) {
  std::string xml = "<!DOCTYPE r [<!ENTITY l0 '" + innermost + "'>";
  for (int i = 1; i < levels; ++i) {
    xml += "<!ENTITY l" + std::to_string(i) + " '";
    for (int j = 0; j < 10; ++j) xml += "&l" + std::to_string(i - 1) + ";";
    xml += "'>";
  }
  return xml + "]><r>&l" + std::to_string(levels - 1) + ";</r>";
}

// Heap bytes in use now, as the allocator in this build counts them.
std::size_t HeapInUse() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
#endif
}

struct BombRun {
  long nodes = 0;
  bool refused = false;
  std::size_t peak_heap = 0;  // above the heap in use before the reader
  double seconds = 0;
};

// Reads to the end or the parse error, sampling the heap at every `every`th
// node, while the nodes of the block being delivered are queued.
BombRun ReadBomb(const std::string& xml, long every = 4096) {
  BombRun run;
  const ThreadCpuTimer timer;
  const std::size_t base = HeapInUse();
  {
    std::istringstream in(xml);
    reader r(in);
    try {
      while (r.read()) {
        if (run.nodes++ % every != 0) continue;
        const std::size_t now = HeapInUse();
        if (now > base) run.peak_heap = std::max(run.peak_heap, now - base);
      }
    } catch (const reader::parse_error&) {
      run.refused = true;
    }
  }
  run.seconds = timer.Seconds();
  return run;
}

TEST(XmlReaderEntities, ExpansionBombsEndInParseErrorInBoundedTimeAndMemory) {
  // Text: the pieces queue as one string, which the parser's guard caps.
  const BombRun laughs = ReadBomb(EntityBomb("lol"));
  EXPECT_TRUE(laughs.refused);
  EXPECT_LT(laughs.seconds, 5.0);
  EXPECT_LT(laughs.peak_heap, std::size_t{64} << 20);

  // Elements, the most nodes per expanded byte: the nodes before the guard
  // stops the expansion are all delivered, and queued compactly.
  const BombRun elements = ReadBomb(EntityBomb("<x/>"));
  EXPECT_TRUE(elements.refused);
  EXPECT_GT(elements.nodes, 500000);
  EXPECT_LT(elements.seconds, 5.0);
  EXPECT_LT(elements.peak_heap, std::size_t{64} << 20);
}

TEST(XmlReaderEntities, EveryDocumentTheParserAcceptsIsReadWhole) {
  // 320 bytes whose entities expand into 100,000 elements in one block.
  const std::string xml = EntityBomb("<x/>", 6);
  ASSERT_LT(xml.size(), 400u);
  long elements = 0;
  long ends = 0;
  std::istringstream in(xml);
  reader r(in);
  while (r.read()) {
    elements += r.node_type() == reader::element;
    ends += r.node_type() == reader::end_element;
  }
  EXPECT_EQ(elements, 100001);
  EXPECT_EQ(ends, 100001);
  EXPECT_EQ(r.depth(), 0);
}

// One entity of `text` referenced `references` times from the root element.
std::string Expansion(const std::string& text, int references, const std::string& tail = "") {
  std::string xml = "<!DOCTYPE r [<!ENTITY e '" + text + "'>]>\n<r>";
  for (int i = 0; i < references; ++i) xml += "&e;";
  return xml + tail + "</r>\n";
}

TEST(XmlReaderEntities, LargeExpansionsAreHandedOutAsTheyAreParsed) {
  // 60 MB of text from 1 MB of entity, within the parser's amplification
  // limit: it used to be queued whole, as one 60 MB text node.
  const std::size_t mb = std::size_t{1} << 20;
  const BombRun text = ReadBomb(Expansion(std::string(mb, 't'), 60), 1);
  EXPECT_FALSE(text.refused);
  EXPECT_LT(text.peak_heap, 16 * mb);

  // 800,000 elements with text from a 160 KB entity.
  std::string markup;
  for (int i = 0; i < 20000; ++i) markup += "<x>t</x>";
  const BombRun elements = ReadBomb(Expansion(markup, 40), 1024);
  EXPECT_FALSE(elements.refused);
  EXPECT_GT(elements.nodes, 3 * 20000 * 40);
  EXPECT_LT(elements.peak_heap, 16 * mb);

  // 2,400,000 pieces from a CDATA section of 220 KB in an entity.
  std::string cdata;
  for (int i = 0; i < 20000; ++i) cdata += "cdata line\n";
  const BombRun sections = ReadBomb(Expansion("<![CDATA[" + cdata + "]]>", 60), 1024);
  EXPECT_FALSE(sections.refused);
  EXPECT_LT(sections.peak_heap, 16 * mb);

  // A reader dropped in the middle of an expansion frees what it holds (the
  // sanitizer build checks).
  const std::string xml = Expansion(markup, 40);
  std::istringstream in(xml);
  reader r(in);
  for (int i = 0; i < 100000; ++i) ASSERT_TRUE(r.read());
}

// UTF-16 bytes of an ASCII text, with the byte order mark.
std::string Utf16(const std::string& ascii, bool big_endian) {
  std::string out = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char c : ascii) big_endian ? out.append({'\0', c}) : out.append({c, '\0'});
  return out;
}

struct Counts {
  long elements = 0;
  std::size_t text = 0;  // bytes of character data
};
void XMLCALL CountElement(void* user, const XML_Char*, const XML_Char**) {
  ++static_cast<Counts*>(user)->elements;
}
void XMLCALL CountText(void* user, const XML_Char*, int len) {
  static_cast<Counts*>(user)->text += static_cast<std::size_t>(len);
}

// What raw expat, given the whole document at once, reports.
Counts ExpatCounts(const std::string& xml) {
  Counts counts;
  XML_Parser p = XML_ParserCreateNS(nullptr, '|');
  XML_SetUserData(p, &counts);
  XML_SetElementHandler(p, CountElement, nullptr);
  XML_SetCharacterDataHandler(p, CountText);
  if (XML_Parse(p, xml.data(), static_cast<int>(xml.size()), XML_TRUE) != XML_STATUS_OK)
    counts.elements = -1;
  XML_ParserFree(p);
  return counts;
}

TEST(XmlReaderEntities, MemoryStaysBoundedWhateverTheEntitiesAndEncoding) {
  // Each expands to about 30 MB: 60 references to 512 KiB of text, or
  // 20,000 elements with a 1,000-byte default attribute. The reader used to
  // queue the whole expansion wherever it could not suspend the parser: an
  // entity not well-formed by itself, a document in UTF-16, nested entities.
  const std::string text(std::size_t{512} << 10, 't');
  std::string refs;
  for (int i = 0; i < 60; ++i) refs += "&e;";
  const std::string expansion = Expansion(text, 60);
  std::string elements;
  for (int i = 0; i < 20000; ++i) elements += "<x/>";
  const struct {
    const char* kind;
    std::string xml;
  } cases[] = {
      {"expansion", expansion},
      {"not well-formed alone", "<!DOCTYPE r [<!ENTITY e '<p:b>" + text +
                                    "</p:b>'>]>\n<r xmlns:p='urn:p'>" + refs + "</r>"},
      {"UTF-16 LE", Utf16(expansion, false)},
      {"UTF-16 BE", Utf16(expansion, true)},
      {"nested", "<!DOCTYPE r [<!ENTITY e '" + text + "'><!ENTITY n '" + refs +
                     "'>]>\n<r>&n;</r>"},
      {"defaults", "<!DOCTYPE r [<!ATTLIST x a CDATA '" + std::string(1000, 'A') +
                       "'><!ENTITY e '" + elements + "'><!ENTITY w '&e;'>]>\n<r>&w;</r>"},
  };
  for (const auto& c : cases) {
    const Counts expected = ExpatCounts(c.xml);
    ASSERT_GT(expected.elements, 0) << c.kind;
    // In a child, so that a reader that holds the expansion fails alone.
    const int result = InChild([&] {
      const std::size_t base = HeapInUse();
      std::size_t peak = 0;
      long nodes = 0;
      Counts got;
      std::istringstream in(c.xml);
      reader r(in);
      while (r.read()) {
        got.elements += r.node_type() == reader::element;
        if (r.node_type() == reader::text || r.node_type() == reader::whitespace)
          got.text += r.value().size();
        if (nodes++ % 16 == 0) peak = std::max(peak, HeapInUse() - std::min(base, HeapInUse()));
      }
      if (got.elements != expected.elements || got.text != expected.text) return 2;
      return peak < (std::size_t{8} << 20) ? 0 : 1;
    });
    EXPECT_EQ(result, 0) << c.kind << " (1: over 8 MB, 2: not what expat reads)";
  }
}

// The document as a plain walk sees it, one line per node; the character
// data between two other nodes is one line however it was split, and a
// parse error ends the walk with its position.
struct Walk {
  std::string lines;
  int depth = 0;
  std::string run;  // character data since the last other node
  bool run_has_text = false;
  std::map<std::string, std::string> bindings;  // the URI last bound to each prefix

  // What an element line shows of the bindings so far.
  std::string Bindings(const std::string& default_uri, const std::string& p_uri) const {
    return " ns " + default_uri + " " + p_uri;
  }
  void Text(std::string_view piece) {
    run.append(piece);
    run_has_text = run_has_text || piece.find_first_not_of(" \t\r\n") != std::string_view::npos;
  }
  void Node(const std::string& line) {
    if (!run.empty()) lines += (run_has_text ? "text " : "blank ") + run + "\n";
    run.clear();
    run_has_text = false;
    lines += line + "\n";
  }
};

void XMLCALL OracleStart(void* user, const XML_Char* name, const XML_Char** atts) {
  auto* w = static_cast<Walk*>(user);
  std::string line = "element " + std::to_string(++w->depth) + " " + name;
  for (int i = 0; atts[i] != nullptr; i += 2) line += std::string(" ") + atts[i] + "=" + atts[i + 1];
  w->Node(line + w->Bindings(w->bindings[""], w->bindings["p"]));
}
void XMLCALL OracleNamespace(void* user, const XML_Char* prefix, const XML_Char* uri) {
  static_cast<Walk*>(user)->bindings[prefix != nullptr ? prefix : ""] = uri != nullptr ? uri : "";
}
void XMLCALL OracleEnd(void* user, const XML_Char* name) {
  auto* w = static_cast<Walk*>(user);
  w->Node("end " + std::to_string(--w->depth) + " " + name);
}
void XMLCALL OracleText(void* user, const XML_Char* s, int len) {
  static_cast<Walk*>(user)->Text(std::string_view(s, static_cast<std::size_t>(len)));
}
void XMLCALL OracleComment(void* user, const XML_Char* s) {
  static_cast<Walk*>(user)->Node(std::string("comment ") + s);
}
void XMLCALL OracleInstruction(void* user, const XML_Char* target, const XML_Char* data) {
  static_cast<Walk*>(user)->Node(std::string("pi ") + target + " " + data);
}

// Raw expat given the whole document at once.
std::string OracleWalk(const std::string& xml) {
  Walk w;
  XML_Parser p = XML_ParserCreateNS(nullptr, '|');
  XML_SetUserData(p, &w);
  XML_SetElementHandler(p, OracleStart, OracleEnd);
  XML_SetCharacterDataHandler(p, OracleText);
  XML_SetCommentHandler(p, OracleComment);
  XML_SetProcessingInstructionHandler(p, OracleInstruction);
  XML_SetStartNamespaceDeclHandler(p, OracleNamespace);
  if (XML_Parse(p, xml.data(), static_cast<int>(xml.size()), XML_TRUE) != XML_STATUS_OK)
    w.Node("error " + std::to_string(XML_GetCurrentLineNumber(p)) + ":" +
           std::to_string(XML_GetCurrentColumnNumber(p)));
  XML_ParserFree(p);
  w.Node("");
  return w.lines;
}

std::string ReaderWalk(const std::string& xml) {
  Walk w;
  std::istringstream in(xml);
  reader r(in);
  try {
    while (r.read()) {
      const bool tag = r.node_type() == reader::element || r.node_type() == reader::end_element;
      std::string name = r.name();
      if (tag && !r.namespace_uri().empty()) name = r.namespace_uri() + "|" + name;
      switch (r.node_type()) {
        case reader::element: {
          std::string line = "element " + std::to_string(r.depth()) + " " + name;
          for (int i = 0; r.move_to_attribute(i); ++i) line += " " + r.name() + "=" + r.value();
          w.Node(line + w.Bindings(r.lookup_namespace(""), r.lookup_namespace("p")));
          break;
        }
        case reader::end_element:
          w.Node("end " + std::to_string(r.depth()) + " " + name);
          break;
        case reader::text:
        case reader::whitespace:
          w.Text(r.value());
          break;
        case reader::comment:
          w.Node("comment " + r.value());
          break;
        case reader::processing_instruction:
          w.Node("pi " + name + " " + r.value());
          break;
        default:
          break;
      }
    }
    EXPECT_FALSE(r.read());  // and stays at the end
  } catch (const reader::parse_error& e) {
    w.Node("error " + std::to_string(e.line()) + ":" + std::to_string(e.column()));
    EXPECT_THROW(r.read(), reader::parse_error);  // and stays failed
  }
  w.Node("");
  return w.lines;
}

// The first line where two walks differ, with its number.
std::string FirstDifference(const std::string& a, const std::string& b) {
  std::istringstream sa(a), sb(b);
  std::string la, lb;
  for (int line = 1; std::getline(sa, la) || std::getline(sb, lb); ++line) {
    if (!sb || !std::getline(sb, lb)) lb = "(none)";
    if (la != lb) return "line " + std::to_string(line) + ": " + la.substr(0, 100) + " | " + lb.substr(0, 100);
    la.clear();
  }
  return "";
}

TEST(XmlReaderEntities, ReadsWithWaitingParsesMatchAPlainWalk) {
  const std::string big_text(70000, 'b');  // over the queue's bound
  std::string markup;  // elements, empty ones, namespaces, comments, instructions
  for (int i = 0; i < 1500; ++i)
    markup += "<p:x xmlns:p=\"urn:p\" p:k=\"" + std::to_string(i) + "\">a&amp;b<e/></p:x>\n<!--c--><?pi d?>";
  std::string lines;  // two pieces per line
  for (int i = 0; i < 8000; ++i) lines += "<raw " + std::to_string(i) + ">\n";
  std::string text_lines;  // 100 KB, a piece per line
  for (int i = 0; i < 10000; ++i) text_lines += "line text\n";
  const std::string tag(30, 'a');
  std::string settings = "<?xml version=\"1.0\"?>\n<settings xmlns=\"urn:s\">\n";
  for (int i = 0; i < 1000; ++i)
    settings += "  <sensor id=\"" + std::to_string(i) + "\"><name>A " + std::to_string(i) +
                "</name><offset x=\"1.5\"/><![CDATA[<raw>]]></sensor>\n";
  settings += "</settings>\n";
  const std::string nested =
      "<!DOCTYPE r [<!ENTITY t '" + big_text + "'><!ENTITY m '" + markup +
      "'><!ENTITY n 'x&t;y&m;'><!ENTITY z ''>]>\n<r>&n;&t;&m;&z;&n;</r>";
  const std::string cases[] = {
      settings,
      Expansion(big_text, 30),
      Expansion(markup, 5, "tail<q/>"),
      Expansion("<a>" + big_text + "</a><a/>", 5),  // ends waiting in the final block
      nested,
      Expansion("<![CDATA[" + lines + "]]>", 3),
      // Long comments in the document type and after the root element.
      "<!DOCTYPE r [<!--" + big_text + "--><!ENTITY e 'x'>]><r>&e;</r><!--" + big_text + "-->",
      // Errors after a wait, in the document and in an entity, and right
      // where the queue passes its bound.
      Expansion(std::string(65536, 't'), 1, "</wrong>"),
      Expansion(std::string(65537, 't'), 2, "&undefined;"),
      Expansion(std::string(65536, 't') + "</y>", 1),
      Expansion(markup, 5, "\n\n  </wrong>"),
      Expansion(big_text, 5, "\n  <a>&undefined;</a>"),
      "<!DOCTYPE r [<!ENTITY e '" + markup + "'><!ENTITY open '<o>'>]>\n<r>&e;&e;\n&open;</r>",
      Expansion(markup, 3, "<unclosed>"),
      Expansion(big_text, 3) + "<junk/>",
      // An entity that leaves an element open, whose start tag, its last
      // token, takes the queue over its bound.
      Expansion(std::string(65480, 't') + "<" + tag + ">", 1, "</" + tag + ">"),
      // Latin-1 name bytes that spell another entity's name in UTF-8: the
      // entity referred to opens one inside it.
      "<?xml version='1.0' encoding='ISO-8859-1'?>\n<!DOCTYPE r [<!ENTITY x\xB7 'leaf'>"
      "<!ENTITY lines '" + text_lines + "'><!ENTITY x\xC2\xB7 '&lines;tail<t/>'>]>\n"
      "<r>&x\xC2\xB7;&x\xC2\xB7;&x\xB7;</r>",
      // A CDATA section in an entity that ends in it.
      Expansion(std::string(100, 'x') + "<![CDATA[" + lines + "]]>", 3),
      // After an entity's last token, an entity whose first token is a CDATA
      // section.
      "<!DOCTYPE r [<!ENTITY a '" + big_text + "\n" + big_text +
          "'><!ENTITY c '<![CDATA[x]]>y'>]>\n<r>&a;&c;&a;&c;</r>",
  };
  for (const std::string& xml : cases) {
    EXPECT_EQ(FirstDifference(ReaderWalk(xml), OracleWalk(xml)), "") << xml.substr(0, 80);
    // Shifted across the block ends by a comment in front.
    const std::string shifted = "<!--" + std::string(517, 'c') + "-->" + xml;
    EXPECT_EQ(FirstDifference(ReaderWalk(shifted), OracleWalk(shifted)), "") << xml.substr(0, 80);
  }
}

TEST(XmlReaderEntities, AnyKindOfNodeMayTakeTheQueueOverItsBound) {
  // Namespace bindings are taken in passing by read(): one that filled the
  // queue by itself used to end the document before its element.
  const std::string long_uri = "urn:" + std::string(70000, 'u');
  std::string prefixes = "<r";
  for (int i = 0; i < 3000; ++i)
    prefixes += " xmlns:n" + std::to_string(i) + "=\"urn:n" + std::to_string(i) + "\"";
  prefixes += "><n2999:a/>t</r>";
  std::vector<std::string> cases = {
      "<r xmlns:p=\"" + long_uri + "\"><p:a k=\"v\"/>t</r>",
      "<r xmlns=\"" + long_uri + "\"><a/>t</r>",
      prefixes,
  };
  // Every kind of node, after text that leaves the queue just short of its
  // bound by one byte more each time: each node in turn is the one that
  // passes it.
  const std::string kinds =
      "<p:x xmlns:p=\"urn:p\" xmlns=\"urn:d\" k=\"v\">t<![CDATA[c<]]>\n <!--m--><?pi d?>"
      "<y xmlns=\"\"/></p:x>u";
  for (std::size_t fill = 65536 - 290; fill <= 65536; fill += 3)
    cases.push_back(Expansion(std::string(fill, 'f') + kinds, 2));
  for (const std::string& xml : cases)
    EXPECT_EQ(FirstDifference(ReaderWalk(xml), OracleWalk(xml)), "") << xml.substr(0, 120);
}

// A chain of `levels` internal entities, each referring to the next, the
// last holding "x", referred to from the root's content or from an
// attribute value. In `backwards` order each entity is declared before the
// one it refers to.
std::string EntityChain(int levels, bool in_attribute, bool backwards = false) {
  std::vector<std::string> declarations;
  for (int i = 0; i < levels; ++i)
    declarations.push_back("<!ENTITY e" + std::to_string(i) + " '" +
                           (i == 0 ? std::string("x") : "&e" + std::to_string(i - 1) + ";") + "'>");
  if (backwards) std::reverse(declarations.begin(), declarations.end());
  std::string xml = "<!DOCTYPE r [";
  for (const std::string& d : declarations) xml += d;
  const std::string top = "&e" + std::to_string(levels - 1) + ";";
  return xml + "]>\n" + (in_attribute ? "<r a='" + top + "'/>" : "<r>" + top + "</r>");
}

TEST(XmlReaderEntities, EntityNestingIsBoundedInContentAndAttributeValues) {
  // At the bound, whatever the order of the declarations.
  for (bool backwards : {false, true}) {
    std::istringstream content(EntityChain(1000, false, backwards));
    reader r(content);
    ReadToElement(r, "r");
    ASSERT_TRUE(r.read());
    EXPECT_EQ(r.value(), "x");
    std::istringstream attribute(EntityChain(1000, true, backwards));
    reader a(attribute);
    ReadToElement(a, "r");
    EXPECT_EQ(a.get_attribute("a"), "x");
  }
  // One past it, and far past it, where the parser's recursion used to
  // overflow the stack (in a child, so that a crash fails only this test).
  // A cycle has no end: it is refused even where no reference uses it.
  const int result = InChild([] {
    const std::string cases[] = {
        EntityChain(1001, false),       EntityChain(1001, true),
        EntityChain(100000, false),     EntityChain(100000, true),
        EntityChain(100000, false, true), EntityChain(100000, true, true),
        "<!DOCTYPE r [<!ENTITY a '&b;'><!ENTITY b '&a;'>]><r/>",
    };
    int refused = 0;
    for (const std::string& xml : cases) {
      std::istringstream in(xml);
      reader r(in);
      try {
        while (r.read()) {
        }
      } catch (const reader::parse_error& e) {
        refused += e.line() == 1;  // at the declaration that goes too deep
      }
    }
    return refused == 7 ? 0 : 1;
  });
  EXPECT_EQ(result, 0) << "1: not refused at the declaration";
}

// Failures of the parse that waits on a stack of its own.

// Text over the queue's bound twice per reference, and an element with an
// attribute and a namespace, from nested entities.
std::string NestedWaits(int references) {
  std::string refs;
  for (int i = 0; i < references; ++i) refs += "&n;";
  return "<!DOCTYPE r [<!ENTITY t '" + std::string(70000, 't') +
         "'><!ENTITY n '&t;<p:e a=\"1\"/>&t;'>]>\n<r xmlns:p='urn:p'>" + refs + "</r>\n";
}

TEST(XmlReaderFailures, AfterAnExceptionEveryReadThrowsAgain) {
  // Each allocation in turn fails: in a handler on the parse stack (the
  // queue grows) or in read() (the node taken from the queue). The reader
  // used to end the document quietly after a handler's bad_alloc.
  const std::string xml = NestedWaits(3);
  for (long k = 0;; ++k) {
    std::istringstream in(xml);
    reader r(in);
    bool fired = false;
    {
      FailingAllocation fail(k);
      try {
        while (r.read()) {
        }
      } catch (const std::bad_alloc&) {
      }
      fired = fail.Fired();
    }
    if (!fired) break;
    EXPECT_THROW(r.read(), std::bad_alloc) << k;
    EXPECT_THROW(r.read(), std::bad_alloc) << k;
    EXPECT_EQ(r.node_type(), reader::none) << k;
  }

  // An exception from the stream, thrown inside the parse: it reaches the
  // caller, and again with every later read().
  std::string long_doc = "<a>";
  for (int i = 0; i < 750; ++i) long_doc += "<b/>";
  FailingBuf buf(long_doc);
  std::istream in(&buf);
  in.exceptions(std::ios_base::badbit);
  reader r(in);
  EXPECT_THROW(while (r.read()) {}, std::ios_base::failure);
  EXPECT_THROW(r.read(), std::ios_base::failure);
}

TEST(XmlReaderFailures, AStreamThatThrowsOnFailureIsReadToItsEnd) {
  // Its end sets failbit: the last block's nodes used to be lost to an
  // ios_base::failure.
  std::string xml = "<r>";
  for (int i = 0; i < 500; ++i) xml += "<e/>";
  std::istringstream in(xml + "</r>");
  in.exceptions(std::ios_base::failbit | std::ios_base::badbit);
  reader r(in);
  int elements = 0;
  ASSERT_NO_THROW(while (r.read()) elements += r.node_type() == reader::element);
  EXPECT_EQ(elements, 501);
  EXPECT_TRUE(r.eof());
}

// Calls read() on its reader from inside the stream, as a buffer that pulls
// a nested document might by mistake.
class ReenteringBuf : public std::streambuf {
 public:
  reader* r = nullptr;
  int refused = 0;

 protected:
  int_type underflow() override {
    if (gptr() != nullptr) return traits_type::eof();
    try {
      r->read();
    } catch (const std::logic_error&) {
      ++refused;
    }
    setg(doc_, doc_, doc_ + 4);
    return traits_type::to_int_type(*doc_);
  }

 private:
  char doc_[5] = "<a/>";
};

TEST(XmlReaderFailures, ReadFromInsideReadIsRefused) {
  // It used to resume the stack it ran on (in a child: that crashed or hung).
  const int result = InChild([] {
    alarm(30);  // only a bound on a hang: a resumed running stack can loop for ever
    ReenteringBuf buf;
    std::istream in(&buf);
    reader r(in);
    buf.r = &r;
    const bool element = r.read() && r.node_type() == reader::element;
    return element && buf.refused == 1 ? 0 : 1;
  });
  EXPECT_EQ(result, 0);
}

TEST(XmlReaderFailures, AFailedConstructorFreesTheParser) {
  std::istringstream in("<a/>");
  for (long k = 0;; ++k) {
    const std::size_t before = HeapInUse();
    bool fired = false;
    for (int i = 0; i < 100; ++i) {  // a leak of a few kilobytes each time shows
      FailingAllocation fail(k);
      try {
        reader r(in);
      } catch (const std::bad_alloc&) {
      }
      fired = fail.Fired();
    }
    const std::size_t after = HeapInUse();
    EXPECT_LT(after, before + (64 << 10)) << k;
    if (!fired) break;
  }
}

// Serves its bytes `chunk` at a time, with nothing more at hand after each,
// as a pipe does.
class TrickleBuf : public std::streambuf {
 public:
  TrickleBuf(std::string bytes, std::size_t chunk) : bytes_(std::move(bytes)), chunk_(chunk) {}
  std::size_t served() const { return served_; }

 protected:
  int_type underflow() override {
    if (served_ == bytes_.size()) return traits_type::eof();
    const std::size_t n = std::min(chunk_, bytes_.size() - served_);
    char* at = bytes_.data() + served_;
    setg(at, at, at + n);
    served_ += n;
    return traits_type::to_int_type(*at);
  }

 private:
  std::string bytes_;
  std::size_t chunk_;
  std::size_t served_ = 0;
};

TEST(XmlReaderFailures, AReaderDroppedWhileTheParseWaitsEndsItAtOnce) {
  // 95 references to nested entities: hundreds of megabytes if the parse
  // were run to its end. The sanitizer build checks that the parse stack
  // unwinds and frees what it holds.
  const std::string big = NestedWaits(95);
  for (int reads : {0, 1, 2, 5, 40}) {
    const ThreadCpuTimer timer;
    {
      std::istringstream in(big);
      reader r(in);
      for (int i = 0; i < reads; ++i) ASSERT_TRUE(r.read());
    }
    EXPECT_LT(timer.Seconds(), 0.5) << reads;
  }
  // Waiting at the end of a block, and within the final block.
  for (std::size_t chunk : {std::size_t{1024}, std::size_t{1} << 20}) {
    TrickleBuf buf(NestedWaits(2), chunk);
    std::istream in(&buf);
    reader r(in);
    ASSERT_TRUE(r.read());
  }
  // Nodes are handed out as soon as a block completes them, not once the
  // queue is full.
  std::string elements = "<r>";
  for (int i = 0; i < 1000; ++i) elements += "<e/>";
  TrickleBuf buf(elements + "</r>", 1024);
  std::istream in(&buf);
  reader r(in);
  ASSERT_TRUE(r.read());
  EXPECT_EQ(buf.served(), 1024u);
}

TEST(XmlReaderFailures, NoMemoryForTheParseStack) {
  // In a child: the address space is limited to what is mapped already.
  const int result = InChild([] {
    std::ifstream status("/proc/self/status");
    std::string line;
    rlim_t kib = 0;
    while (std::getline(status, line))
      if (line.rfind("VmSize:", 0) == 0) kib = std::stoull(line.substr(7));
    rlimit old{};
    if (kib == 0 || getrlimit(RLIMIT_AS, &old) != 0) return 3;
    const rlimit tight{(kib << 10) + (std::size_t{2} << 20), old.rlim_max};
    std::istringstream in("<a/>");
    int failed = 1;
    if (setrlimit(RLIMIT_AS, &tight) != 0) return 3;
    try {
      reader r(in);
    } catch (const std::bad_alloc&) {
      failed = 0;
    }
    if (setrlimit(RLIMIT_AS, &old) != 0) return 3;
    if (failed != 0) return 1;
    reader r(in);  // and one can be made once there is room
    return r.read() && r.node_type() == reader::element ? 0 : 2;
  });
  EXPECT_EQ(result, 0);
}

TEST(XmlReaderThreaded, ParsesWaitOnTheirOwnStacksInEveryThread) {
  // Readers in four threads at once, and one handed from thread to thread
  // between reads: each delivers what raw expat reads.
  const std::string xml = NestedWaits(4);
  const std::string expected = OracleWalk(xml);
  std::vector<std::string> walks(4);
  {
    std::vector<std::thread> threads;
    for (std::string& walk : walks) threads.emplace_back([&] { walk = ReaderWalk(xml); });
    for (std::thread& t : threads) t.join();
  }
  for (const std::string& walk : walks) EXPECT_EQ(FirstDifference(walk, expected), "");

  std::istringstream in(xml);
  reader r(in);
  long elements = 0;
  bool more = true;
  for (int turn = 0; more && turn < 1000; ++turn) {
    std::thread([&] {
      for (int i = 0; i < 3 && (more = r.read()); ++i) elements += r.node_type() == reader::element;
    }).join();
  }
  EXPECT_FALSE(more);
  EXPECT_EQ(elements, 5);
}

}  // namespace
