// A forward-only pull reader over an XML document read from a std::istream.
// Each call to read() moves to the next node; the accessors describe it.
//
//   std::ifstream file(path, std::ios::binary);
//   Zor::xml::reader xml(file);
//   try {
//     while (xml.read()) {
//       if (xml.node_type() == Zor::xml::reader::element && xml.name() == "grid")
//         Use(xml.get_attribute("file"));   // throws attribute_out_of_range if absent
//       else if (xml.node_type() == Zor::xml::reader::text)
//         Append(xml.value());
//     }
//   } catch (const Zor::xml::reader::parse_error& e) {
//     Report(e.line(), e.column());
//   }
//
// The document is fed to the parser in blocks of 1,024 bytes; a block that
// completes no node is followed by one twice as long, so that one long token
// (an attribute value, a comment, a tag) costs time linear in its length.
// Nodes are handed out as soon as a block completes them and the stream has
// no more bytes at hand. A parse error is raised once the nodes before it
// have been read. Character data arrives in pieces (at block ends, line ends
// and references; pieces are joined up to 64 KiB), each its own text or
// white-space node; concatenate consecutive pieces to get the whole run.
//
// Names in a namespace arrive as the namespace URI, '|' and the local name
// (attributes keep that form; elements are split into namespace_uri() and
// name()). An empty-element tag <a/> gives an element node followed by an
// end-element node, like <a></a>.
//
// Limits for untrusted input: element nesting is limited only by memory (the
// reader does not recurse on nesting). Internal entities may nest 1,000
// levels deep, counted from their declarations (an entity whose replacement
// text refers to no other, and a name never declared, is one level); a
// document type that declares a
// deeper chain, or a cycle, is a parse error at that declaration, used or
// not, in content and attribute values alike. Every other document the
// parser accepts is read whole; entity expansion bombs are stopped by the
// parser's own amplification guard. The parser runs on a stack of its own (8 MiB of
// address space, resident only as far as it is used), and waits there while
// more than 64 KiB of parsed nodes are not yet read: however entities nest
// and whatever the encoding, the reader holds about 64 KiB of nodes beside
// the largest single token, plus what the parser keeps itself (the
// document type's entities and defaults, the unfinished token).
#pragma once

#include <cstddef>
#include <istream>
#include <memory>
#include <stdexcept>
#include <string>

namespace Zor::xml {

class reader {
 public:
  // The kinds of node; node_type() returns one of these values.
  enum node_kind : int {
    attribute = 0,
    comment = 2,
    element = 5,
    end_element = 6,
    none = 10,  // before the first node
    processing_instruction = 12,
    text = 14,
    whitespace = 15,  // only tab, line feed, carriage return and space
    xml_declaration = 16,
  };

  // Malformed XML, or a document that ends inside an element. what():
  // "xml parse error". The reader is not usable afterwards: read() throws the
  // same error again.
  class parse_error : public std::runtime_error {
   public:
    parse_error(int line, int column);
    int line() const { return line_; }
    int column() const { return column_; }

   private:
    int line_;
    int column_;
  };

  // An attribute asked for by index or name that the current element lacks.
  // what(): "xml::reader::get_attribute: index out of range".
  class attribute_out_of_range : public std::invalid_argument {
   public:
    attribute_out_of_range();
  };

  // Reads nothing yet. `in` must outlive the reader. Throws std::bad_alloc
  // when the parser or its stack cannot be allocated.
  explicit reader(std::istream& in);
  ~reader();
  reader(const reader&) = delete;
  reader& operator=(const reader&) = delete;

  // Advances to the next node. False at the end of the document or when the
  // stream can deliver nothing more (a stream that fails mid-document reads
  // as a short document). Throws parse_error on malformed input; rethrows an
  // exception of the stream or of memory allocation while parsing. After it
  // threw, every later call throws the same again. The stream is read to its
  // end whatever its exceptions() mask: only an exception of its buffer is
  // rethrown, and only when the mask has badbit. Called from inside read()
  // (by the stream's buffer), it throws std::logic_error and does nothing.
  bool read();
  // Reads until the current node is text (returns `text`, at once if it
  // already is) or the input ends (returns `none`). White space is passed over.
  int skip_to_text();
  // The source stream's end-of-file state.
  bool eof() const;

  // ---- The current node ---------------------------------------------------
  int node_type() const;
  // Incremented when a start tag is delivered, decremented with its end: a
  // root element's start node has depth 1, its end node depth 0.
  int depth() const;
  // Attribute: its name as the parser gives it ("uri|local" in a namespace).
  // Element and end element: the local name. Processing instruction: the
  // target. XML declaration: "xml". Otherwise empty.
  std::string name() const;
  // As name(), but an element or end element in a namespace gives
  // "uri:local".
  std::string qualified_name() const;
  // The namespace URI of the last element or end element delivered.
  std::string namespace_uri() const;
  // Attribute: its value. Comment, processing instruction (its data), text,
  // white space: the text. XML declaration: `version="1.0" encoding="UTF-8"`
  // (each part only when declared). Otherwise empty.
  std::string value() const;
  // Whether value() has text for an attribute, comment, processing
  // instruction or text node; false for every other kind, white space too.
  bool has_value() const;
  // True on an element and its attributes, even with none; false on every
  // other kind.
  bool has_attributes() const;
  int attribute_count() const;
  char quote_char() const { return '"'; }

  // ---- Attributes of the current element ----------------------------------
  // Names compare exactly with name() on the attribute. None of the
  // get_attribute forms moves the reader.

  // The value of the first attribute of that name, else attribute_out_of_range.
  std::string get_attribute(const std::string& name) const;
  // The value at a 0-based position, else attribute_out_of_range.
  std::string get_attribute(int index) const;
  // The attribute `local_name` in the namespace `namespace_uri` (an empty URI
  // means no namespace), else attribute_out_of_range.
  std::string get_attribute(const std::string& local_name, const std::string& namespace_uri) const;
  // As get_attribute(index), and the attribute becomes the current node.
  std::string select_attribute(int index);

  // Makes the attribute the current node (kind `attribute`). When there is
  // none: false, the kind is unchanged and the attribute cursor stands past
  // the last attribute.
  bool move_to_attribute(int index);
  bool move_to_attribute(const std::string& name);
  bool move_to_attribute(const std::string& local_name, const std::string& namespace_uri);
  // From an element: to its first attribute; false when it has none or the
  // current node is not an element.
  bool move_to_first_attribute();
  // From an attribute: to the next one. False when the current node is not an
  // attribute or there is no next one (the kind stays `attribute`, and name()
  // and value() are then empty).
  bool move_to_next_attribute();
  // From an attribute back to its element; false on any other kind.
  bool move_to_element();

  // The URI last bound to `prefix` ("" for the default namespace) by a
  // declaration anywhere in the document read so far, empty when none. "xml"
  // and "xmlns" are bound from the start. Bindings outlive their scope.
  std::string lookup_namespace(const std::string& prefix) const;

 private:
  struct state;  // the stream, the parser and the current node

  std::unique_ptr<state> state_;
};

}  // namespace Zor::xml
