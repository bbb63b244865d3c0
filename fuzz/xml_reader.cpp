// Feeds arbitrary bytes to the XML reader, walking every node and attribute
// through every accessor, and to the tree builder. The only exception allowed
// is the reader's parse error. A document the reader reads to its end must
// close every element it opened, and the tree built from the same bytes must
// hold one node per element delivered. A comment put in front, which moves
// every input block boundary, must not change the tree's texts. Whatever raw
// expat, given the whole input at once, accepts, the reader must read with
// as many elements and as many bytes of character data (the reader's parse
// waits inside large entity expansions), unless its entities nest deeper
// than the reader allows or refer to themselves: the reader must refuse
// those. Anything else traps.
#include <expat.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/xml/xml_reader.h"
#include "core/xml/xml_tree.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

void WalkAttributes(Zor::xml::reader& r) {
  const int count = r.attribute_count();
  Check(count >= 0);
  if (!r.move_to_first_attribute()) {
    Check(count == 0);
    return;
  }
  int seen = 1;
  do {
    const std::string name = r.name();
    Check(r.get_attribute(name) == r.value() || r.get_attribute(seen - 1) == r.value());
  } while (r.move_to_next_attribute() && ++seen);
  Check(seen == count);
  Check(r.name().empty() && r.value().empty());  // past the last attribute
  Check(r.move_to_element());
  Check(r.node_type() == Zor::xml::reader::element);
  try {
    r.get_attribute(count);
    Check(false);
  } catch (const Zor::xml::reader::attribute_out_of_range&) {
  }
}

// Returns the number of elements delivered, or -1 on a parse error; adds the
// bytes of character data to `text`.
long ReadAll(const std::string& bytes, std::size_t& text) {
  std::istringstream in(bytes);
  Zor::xml::reader r(in);
  long elements = 0;
  long ends = 0;
  try {
    while (r.read()) {
      Check(r.depth() >= 0);
      r.qualified_name();
      r.namespace_uri();
      r.has_value();
      switch (r.node_type()) {
        case Zor::xml::reader::element:
          ++elements;
          Check(r.has_attributes());
          WalkAttributes(r);
          break;
        case Zor::xml::reader::end_element:
          ++ends;
          Check(!r.has_attributes());
          break;
        case Zor::xml::reader::text:
        case Zor::xml::reader::whitespace:
          text += r.value().size();
          break;
        default:
          r.value();
          break;
      }
    }
  } catch (const Zor::xml::reader::parse_error&) {
    return -1;
  }
  Check(r.skip_to_text() == Zor::xml::reader::none);
  // A well-formed document closes what it opens. A stream cut short cannot
  // happen with a string stream.
  Check(elements == ends && r.depth() == 0);
  return elements;
}

// The texts of the tree built from `bytes`, in node order; false on a parse
// error.
bool TreeTexts(const std::string& bytes, std::vector<std::string>& texts) {
  std::istringstream in(bytes);
  Zor::xml::reader r(in);
  try {
    const Zor::xml::dom tree(r);
    for (std::size_t id = 0; id < tree.size(); ++id) {
      const auto* t =
          boost::get<Zor::xml::dom::text>(&tree.value(static_cast<Zor::xml::dom::node_id>(id)));
      if (t != nullptr) texts.push_back(t->content);
    }
    return true;
  } catch (const Zor::xml::reader::parse_error&) {
    return false;
  }
}

// The deepest chain of internal entities the reader expands.
constexpr int kMaxEntityDepth = 1000;

struct Counts {
  long elements = 0;
  std::size_t text = 0;
  // Each general entity's names referred to by its replacement text.
  std::map<std::string, std::vector<std::string>> entities;
};

void XMLCALL CountEntity(void* user, const XML_Char* name, int parameter, const XML_Char* value,
                         int length, const XML_Char*, const XML_Char*, const XML_Char*,
                         const XML_Char*) {
  auto& entities = static_cast<Counts*>(user)->entities;
  if (parameter != 0 || entities.count(name) != 0) return;
  std::vector<std::string>& refs = entities[name];
  const std::string text =
      value != nullptr ? std::string(value, static_cast<std::size_t>(length)) : std::string();
  for (std::size_t amp = text.find('&'); amp != std::string::npos; amp = text.find('&', amp + 1)) {
    const std::size_t end = text.find_first_of(";&<>\"' \t\r\n", amp + 1);
    if (end != std::string::npos && text[end] == ';' && end > amp + 1 && text[amp + 1] != '#')
      refs.push_back(text.substr(amp + 1, end - amp - 1));
  }
}

// Whether some chain of declared entities is deeper than the reader allows
// or goes round in a cycle: a depth-first walk from every entity, with the
// depth of each entity left behind.
bool TooDeep(const Counts& counts) {
  std::map<std::string, int> depth;  // -1 while on the walk's path
  for (const auto& [start, unused] : counts.entities) {
    std::vector<std::pair<std::string, std::size_t>> path{{start, 0}};
    if (depth.count(start) != 0) continue;
    depth[start] = -1;
    while (!path.empty()) {
      auto& [name, next] = path.back();
      const std::vector<std::string>& refs = counts.entities.at(name);
      if (next == refs.size()) {
        int d = 1;
        for (const std::string& ref : refs) {  // a name never declared counts as one level
          const auto it = depth.find(ref);
          d = std::max(d, (it != depth.end() ? it->second : 1) + 1);
        }
        if (d > kMaxEntityDepth) return true;
        depth[name] = d;
        path.pop_back();
        continue;
      }
      const std::string& ref = refs[next++];
      if (counts.entities.count(ref) == 0) continue;  // never declared: nothing to expand
      const auto it = depth.find(ref);
      if (it != depth.end()) {
        if (it->second < 0) return true;  // a cycle
        continue;
      }
      depth[ref] = -1;
      path.emplace_back(ref, 0);
    }
  }
  return false;
}
void XMLCALL CountElement(void* user, const XML_Char*, const XML_Char**) {
  ++static_cast<Counts*>(user)->elements;
}
void XMLCALL CountText(void* user, const XML_Char*, int len) {
  static_cast<Counts*>(user)->text += static_cast<std::size_t>(len);
}

// Raw expat given the whole input at once; false when it refuses it.
bool ExpatCounts(const std::string& bytes, Counts& counts) {
  XML_Parser p = XML_ParserCreateNS(nullptr, '|');
  XML_SetUserData(p, &counts);
  XML_SetElementHandler(p, CountElement, nullptr);
  XML_SetCharacterDataHandler(p, CountText);
  XML_SetEntityDeclHandler(p, CountEntity);
  const bool ok =
      XML_Parse(p, bytes.data(), static_cast<int>(bytes.size()), XML_TRUE) == XML_STATUS_OK;
  XML_ParserFree(p);
  return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::size_t text = 0;
  const long elements = ReadAll(bytes, text);
  Counts expat;
  if (ExpatCounts(bytes, expat)) {
    if (TooDeep(expat))
      Check(elements < 0);
    else
      Check(elements == expat.elements && text == expat.text);
  }
  std::istringstream in(bytes);
  Zor::xml::reader r(in);
  try {
    const Zor::xml::dom tree(r);
    Check(elements >= 0);
    long tree_elements = 0;
    for (std::size_t id = 0; id < tree.size(); ++id)
      tree_elements += tree.value(static_cast<Zor::xml::dom::node_id>(id)).which() == 0;
    Check(tree_elements == elements);
    if (tree.size() > 0) tree.find_child(tree.root(), "a");
  } catch (const Zor::xml::reader::parse_error&) {
    Check(elements < 0);
  }
  // An XML declaration must come first, and a comment in front would change
  // how a document without one is decoded when it starts like UTF-16: only
  // when both parse are the texts compared.
  if (elements > 0 && bytes.compare(0, 5, "<?xml") != 0) {
    std::vector<std::string> plain;
    std::vector<std::string> shifted;
    const std::size_t pad = 1000 + (size > 0 ? data[size - 1] % 32 : 0);
    if (TreeTexts(bytes, plain) &&
        TreeTexts("<!--" + std::string(pad, 'c') + "-->" + bytes, shifted))
      Check(plain == shifted);
  }
  return 0;
}
