// A whole XML document in memory as a tree of nodes addressed by integer ids,
// built in one pass over a Zor::xml::reader.
//
//   std::ifstream file(path, std::ios::binary);
//   Zor::xml::reader xml(file);
//   Zor::xml::dom doc(xml);                      // throws reader::parse_error
//   if (auto grid = doc.find_child(doc.root(), "grid")) {
//     const auto& e = boost::get<Zor::xml::dom::element>(doc.value(*grid));
//     auto it = e.attributes.find("file");
//   }
//
// Node 0 is the root element. Children keep document order. White space
// between tags, the XML declaration and end tags make no node; comments and
// processing instructions outside the root element are dropped. The
// character data between two pieces of markup becomes one text node (none
// when it is all white space), wherever the reader split it: white space
// inside it is kept, while the white space that leads it up to its last line
// break and trails it from its first line break is dropped
// ("<a>\n x\ny \n</a>" gives " x\ny ", "<v> abc </v>" gives " abc "). A
// comment or processing instruction inside the run splits it into two text
// nodes.
//
// The build is iterative, so deep nesting costs memory, not stack.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <boost/optional.hpp>
#include <boost/variant.hpp>

#include "core/xml/xml_reader.h"

namespace Zor::xml {

class dom {
 public:
  using node_id = uint32_t;

  struct element {
    std::string name;  // local name
    std::string namespace_uri;
    // Keyed by the attribute name as the reader gives it ("uri|local" in a
    // namespace).
    std::map<std::string, std::string> attributes;
  };
  struct processing_instruction {
    std::string data;  // the target is not kept
  };
  struct comment {
    std::string content;
  };
  struct text {
    std::string content;
  };
  // In this order: element (0), processing instruction (1), comment (2),
  // text (3).
  using node_value = boost::variant<element, processing_instruction, comment, text>;

  // Reads `in` to its end. Errors of the reader pass through unchanged.
  // Throws std::runtime_error("xml::dom: too many tags closed") should the
  // reader report more end tags than start tags.
  explicit dom(reader& in);

  // The root element's id, 0. An empty tree has no node 0: then every
  // look-up finds nothing.
  node_id root() const { return 0; }
  // The first child element of `parent` whose local name is `name` (the
  // namespace is not compared); none when there is no such child or
  // `parent` is not a node.
  boost::optional<node_id> find_child(node_id parent, const char* name) const;

  std::size_t size() const { return nodes_.size(); }
  // Both throw std::out_of_range for an id that is not below size().
  const node_value& value(node_id id) const { return nodes_.at(id).value; }
  const std::vector<node_id>& children(node_id id) const { return nodes_.at(id).children; }

 private:
  struct node {
    std::vector<node_id> children;
    node_value value;
  };

  node_id Add(node_value value);

  std::vector<node> nodes_;
};

}  // namespace Zor::xml
