#include "core/xml/xml_tree.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

namespace {

using Zor::xml::dom;
using Zor::xml::reader;

dom Build(const std::string& xml) {
  std::istringstream in(xml);
  reader r(in);
  return dom(r);
}

const dom::element& ElementAt(const dom& d, dom::node_id id) {
  return boost::get<dom::element>(d.value(id));
}

std::string TextAt(const dom& d, dom::node_id id) {
  const auto* t = boost::get<dom::text>(&d.value(id));
  return t != nullptr ? t->content : "<not text>";
}

TEST(XmlTree, SingleElementWithAttributes) {
  const dom d = Build("<?xml version='1.0'?><a y='2' x='1'/>");
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d.root(), 0u);
  const dom::element& a = ElementAt(d, 0);
  EXPECT_EQ(a.name, "a");
  const std::map<std::string, std::string> expected = {{"x", "1"}, {"y", "2"}};
  EXPECT_EQ(a.attributes, expected);
  EXPECT_FALSE(d.find_child(0, "a"));
  EXPECT_FALSE(d.find_child(0, "x"));
}

// Files of the suite's Windows programs may declare their ANSI code page;
// its text arrives as UTF-8 like any other. Its unassigned bytes are errors,
// and an encoding nobody knows still is one.
TEST(XmlTree, ReadsTheWindowsAnsiCodePage) {
  for (const char* name : {"windows-1252", "Windows-1252", "CP1252", "windows_1252"}) {
    const dom d = Build(std::string("<?xml version='1.0' encoding='") + name +
                        "'?><a t='\x80\xE9'>\x93q\x94 \xB0</a>");
    ASSERT_EQ(d.size(), 2u) << name;
    EXPECT_EQ(ElementAt(d, 0).attributes.at("t"), "\xE2\x82\xAC\xC3\xA9") << name;
    EXPECT_EQ(TextAt(d, 1), "\xE2\x80\x9Cq\xE2\x80\x9D \xC2\xB0") << name;
  }
  EXPECT_THROW(Build("<?xml version='1.0' encoding='windows-1252'?><a>\x81</a>"),
               reader::parse_error);
  EXPECT_THROW(Build("<?xml version='1.0' encoding='x-no-such'?><a>b</a>"), reader::parse_error);
}

TEST(XmlTree, FindChildTakesTheFirstElementOfThatName) {
  const dom d = Build("<r>\n  t<!--c--><b n='1'/>\n  <c/>\n  <b n='2'><b n='3'/></b>\n</r>");
  const auto b = d.find_child(d.root(), "b");
  ASSERT_TRUE(b);
  EXPECT_EQ(ElementAt(d, *b).attributes.at("n"), "1");
  const auto c = d.find_child(d.root(), "c");
  ASSERT_TRUE(c);
  EXPECT_EQ(ElementAt(d, *c).name, "c");
  EXPECT_FALSE(d.find_child(d.root(), "t"));  // text and comments are passed over
  EXPECT_FALSE(d.find_child(d.root(), "B"));
  EXPECT_FALSE(d.find_child(d.root(), nullptr));
  // The nested b is a grandchild, not a child.
  EXPECT_EQ(d.children(d.root()).size(), 5u);
  // Ids that are not nodes find nothing.
  EXPECT_FALSE(d.find_child(1000, "b"));
  EXPECT_THROW(d.value(1000), std::out_of_range);
}

TEST(XmlTree, NamespaceIsKeptButNotCompared) {
  const dom d = Build("<r xmlns:p='urn:p'><p:b p:k='v'/></r>");
  const auto b = d.find_child(0, "b");
  ASSERT_TRUE(b);
  const dom::element& e = ElementAt(d, *b);
  EXPECT_EQ(e.namespace_uri, "urn:p");
  EXPECT_EQ(e.attributes.at("urn:p|k"), "v");
}

TEST(XmlTree, TextInterruptedByCommentAndInstruction) {
  const dom d = Build("<a>one<!--c-->two<?pi data?>three</a>");
  const auto& kids = d.children(0);
  ASSERT_EQ(kids.size(), 5u);
  EXPECT_EQ(TextAt(d, kids[0]), "one");
  EXPECT_EQ(boost::get<dom::comment>(d.value(kids[1])).content, "c");
  EXPECT_EQ(TextAt(d, kids[2]), "two");
  EXPECT_EQ(boost::get<dom::processing_instruction>(d.value(kids[3])).data, "data");
  EXPECT_EQ(TextAt(d, kids[4]), "three");
  EXPECT_EQ(d.value(kids[3]).which(), 1);
  EXPECT_EQ(d.value(kids[1]).which(), 2);
  EXPECT_EQ(d.value(kids[4]).which(), 3);
}

TEST(XmlTree, TextPiecesJoinIntoOneNode) {
  // Pieces split at references, line ends and input blocks.
  const std::string long_text(5000, 'w');
  const dom d = Build("<a>x &amp; y<b/>" + long_text + "</a>");
  const auto& kids = d.children(0);
  ASSERT_EQ(kids.size(), 3u);
  EXPECT_EQ(TextAt(d, kids[0]), "x & y");
  EXPECT_EQ(TextAt(d, kids[2]), long_text);
}

TEST(XmlTree, WhiteSpaceInsideTextIsKeptAroundItDropped) {
  const dom d = Build("<r>\n  <a>\n line one\n\n  line two  \n</a>\n  <b>  </b>\n</r>");
  const auto a = d.find_child(0, "a");
  ASSERT_TRUE(a);
  ASSERT_EQ(d.children(*a).size(), 1u);
  EXPECT_EQ(TextAt(d, d.children(*a)[0]), " line one\n\n  line two  ");
  // White space alone makes no node, between elements or inside one.
  EXPECT_EQ(d.children(0).size(), 2u);
  const auto b = d.find_child(0, "b");
  ASSERT_TRUE(b);
  EXPECT_TRUE(d.children(*b).empty());
}

TEST(XmlTree, TextDoesNotDependOnWhereInputBlocksEnd) {
  // The reader splits character data at its 1,024-byte block ends; a
  // comment of growing length in front moves every offset of the element
  // across the first one.
  const struct {
    const char* xml;
    const char* text;
  } cases[] = {
      {"<v>   abc   </v>", "   abc   "},
      {"<v>\n x\ny \n</v>", " x\ny "},
      {"<v>\n\n   indented  \n  </v>", "   indented  "},
      {"<v> \t a &amp; b \n\n c \r\n\n </v>", " \t a & b \n\n c "},
      {"<v>&#10; x&#32;</v>", " x "},
  };
  for (const auto& c : cases) {
    for (std::size_t pad = 1024 - 7 - std::strlen(c.xml); pad <= 1024 - 7; ++pad) {
      const dom d = Build("<!--" + std::string(pad, 'c') + "-->" + c.xml);
      ASSERT_EQ(d.size(), 2u) << c.xml << " pad " << pad;
      EXPECT_EQ(TextAt(d, 1), c.text) << c.xml << " pad " << pad;
    }
  }
}

TEST(XmlTree, NodesOutsideTheRootElementAreDropped) {
  const dom d =
      Build("<?xml version='1.0'?><!--before--><?pi x?>\n<r><k/></r><!--after--><?pi y?>");
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(ElementAt(d, d.root()).name, "r");
  EXPECT_TRUE(d.find_child(d.root(), "k"));
}

TEST(XmlTree, ParseErrorsPassThrough) {
  EXPECT_THROW(Build("<a><b></a>"), reader::parse_error);
  EXPECT_THROW(Build("<a>"), reader::parse_error);
  EXPECT_THROW(Build(""), reader::parse_error);
}

TEST(XmlTree, ReaderIsLeftAtTheEnd) {
  std::istringstream in("<a><b/></a>");
  reader r(in);
  dom d(r);
  EXPECT_EQ(d.size(), 2u);
  EXPECT_FALSE(r.read());
}

TEST(XmlTree, DeepNestingBuildsWithoutRecursion) {
  const int depth = 100000;
  std::string xml;
  for (int i = 0; i < depth; ++i) xml += "<d>";
  xml += "leaf";
  for (int i = 0; i < depth; ++i) xml += "</d>";
  const dom d = Build(xml);
  ASSERT_EQ(d.size(), static_cast<std::size_t>(depth) + 1);
  dom::node_id id = d.root();
  for (int i = 1; i < depth; ++i) {
    const auto next = d.find_child(id, "d");
    ASSERT_TRUE(next) << i;
    id = *next;
  }
  ASSERT_EQ(d.children(id).size(), 1u);
  EXPECT_EQ(TextAt(d, d.children(id)[0]), "leaf");
}

}  // namespace
