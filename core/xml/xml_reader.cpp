#include "core/xml/xml_reader.h"

#include <expat.h>

#include <climits>
#include <cstring>
#include <exception>
#include <map>
#include <new>
#include <vector>

namespace Zor::xml {

namespace {

constexpr std::size_t kBlockSize = 1024;
constexpr XML_Char kNamespaceSeparator = '|';
// A queued namespace declaration (name: prefix, value: URI), applied to the
// prefix table when the reader reaches it rather than when it is parsed.
constexpr int32_t kNamespaceBinding = -1;
// A block of 1,024 bytes makes a few hundred nodes at most; only entity
// expansion makes more. Beyond this many the document is refused, so that an
// entity bomb cannot fill memory with queued nodes before the parser's own
// amplification guard stops it.
constexpr std::size_t kMaxQueuedNodes = std::size_t{1} << 16;

bool IsXmlSpace(const char* s, int len) {
  for (int i = 0; i < len; ++i) {
    const char c = s[i];
    if (c != '\t' && c != '\n' && c != '\r' && c != ' ') return false;
  }
  return true;
}

int ClampToInt(XML_Size v) {
  return v > static_cast<XML_Size>(INT_MAX) ? INT_MAX : static_cast<int>(v);
}

}  // namespace

reader::parse_error::parse_error(int line, int column)
    : std::runtime_error("xml parse error"), line_(line), column_(column) {}

reader::attribute_out_of_range::attribute_out_of_range()
    : std::invalid_argument("xml::reader::get_attribute: index out of range") {}

// The parser takes one block at a time; every handler that completes a node
// queues it, and read() hands the queued nodes out one by one before it feeds
// the next block. (Suspending the parser in each handler instead would hand
// out nodes as they are parsed, but the parser mishandles a suspension
// inside nested internal entities: it leaks and can close the wrong entity.)
struct reader::state {
  struct node {
    int32_t kind = none;
    std::string name;  // local name, or processing-instruction target
    std::string namespace_uri;
    std::string value;
    // Attributes as name, value, name, value, ... copied out of the parser,
    // whose own array does not survive the next block. Slots beyond
    // 2 * attribute_pairs are spare capacity for the next element.
    std::vector<std::string> attributes;
    std::size_t attribute_pairs = 0;
  };

  XML_Parser parser = nullptr;
  char buffer[kBlockSize];

  node current;
  bool has_attribute_list = false;
  std::size_t cursor = 0;  // attribute pair; attribute_pairs means past the last
  int32_t depth = 0;
  std::string version;
  std::string encoding;
  std::map<std::string, std::string> prefixes;

  // Nodes parsed and not yet delivered: queue[queue_begin, queue_end).
  // Delivered slots keep their buffers for reuse.
  std::vector<node> queue;
  std::size_t queue_begin = 0;
  std::size_t queue_end = 0;

  std::exception_ptr handler_failure;  // thrown in a handler, rethrown by read()
  // A parse error, reported once the nodes before it are delivered.
  bool failed = false;
  bool too_many_nodes = false;
  int error_line = 0;
  int error_column = 0;

  state();
  ~state() { XML_ParserFree(parser); }
  state(const state&) = delete;
  state& operator=(const state&) = delete;

  // The current node when a block completed no node.
  void DeliverNothing() {
    current.kind = none;
    ClearAttributes();
  }
  void ClearAttributes() {
    has_attribute_list = false;
    current.attribute_pairs = 0;
    cursor = 0;
  }
  node& Queue(int32_t kind) {
    if (queue_begin == queue_end) queue_begin = queue_end = 0;
    if (queue_end - queue_begin >= kMaxQueuedNodes && !too_many_nodes) {
      too_many_nodes = true;
      XML_StopParser(parser, XML_FALSE);
    }
    if (queue_end == queue.size()) queue.emplace_back();
    node& n = queue[queue_end++];
    n.kind = kind;
    return n;
  }

  // Makes the oldest queued node the current one; false when none is queued.
  bool Deliver() {
    while (queue_begin < queue_end && queue[queue_begin].kind == kNamespaceBinding) {
      const node& n = queue[queue_begin++];
      prefixes[n.name] = n.value;
    }
    if (queue_begin == queue_end) return false;
    node& n = queue[queue_begin++];
    current.kind = n.kind;
    switch (n.kind) {
      case element:
        current.name.swap(n.name);
        current.namespace_uri.swap(n.namespace_uri);
        current.attributes.swap(n.attributes);
        current.attribute_pairs = n.attribute_pairs;
        has_attribute_list = true;
        cursor = 0;
        current.value.clear();
        ++depth;
        break;
      case end_element:
        current.name.swap(n.name);
        current.namespace_uri.swap(n.namespace_uri);
        ClearAttributes();
        current.value.clear();
        --depth;
        break;
      case processing_instruction:
        current.name.swap(n.name);
        current.value.swap(n.value);
        ClearAttributes();
        break;
      case text:
      case whitespace:
      case comment:
        current.name.clear();
        current.value.swap(n.value);
        ClearAttributes();
        break;
      default:  // the XML declaration: its fields are the reader's own
        break;
    }
    return true;
  }

  // The parser reports "uri|local" for a name in a namespace (and rejects a
  // namespace URI that holds the separator).
  static void SplitName(const XML_Char* qname, node& n) {
    const char* bar = std::strchr(qname, kNamespaceSeparator);
    if (bar == nullptr) {
      n.namespace_uri.clear();
      n.name.assign(qname);
    } else {
      n.namespace_uri.assign(qname, static_cast<std::size_t>(bar - qname));
      n.name.assign(bar + 1);
    }
  }

  // Exceptions must not unwind through the C parser: a failing handler stops
  // the parser for good and read() rethrows.
  template <typename F>
  static void Guarded(void* user, F&& f) {
    auto* s = static_cast<state*>(user);
    if (s->handler_failure) return;
    try {
      f(*s);
    } catch (...) {
      s->handler_failure = std::current_exception();
      XML_StopParser(s->parser, XML_FALSE);
    }
  }

  static void XMLCALL OnStartElement(void* user, const XML_Char* qname, const XML_Char** atts) {
    Guarded(user, [&](state& s) {
      node& n = s.Queue(element);
      SplitName(qname, n);
      std::size_t count = 0;
      while (atts[2 * count] != nullptr) ++count;
      if (n.attributes.size() < 2 * count) n.attributes.resize(2 * count);
      for (std::size_t i = 0; i < 2 * count; ++i) n.attributes[i].assign(atts[i]);
      n.attribute_pairs = count;
    });
  }

  static void XMLCALL OnEndElement(void* user, const XML_Char* qname) {
    Guarded(user, [&](state& s) { SplitName(qname, s.Queue(end_element)); });
  }

  static void XMLCALL OnCharacterData(void* user, const XML_Char* data, int len) {
    Guarded(user, [&](state& s) {
      const int32_t kind = IsXmlSpace(data, len) ? whitespace : text;
      // Pieces of one kind in a row become one node: a text that expands
      // from entities then queues as one string, not as millions of nodes.
      if (s.queue_end > s.queue_begin && s.queue[s.queue_end - 1].kind == kind) {
        s.queue[s.queue_end - 1].value.append(data, static_cast<std::size_t>(len));
        return;
      }
      s.Queue(kind).value.assign(data, static_cast<std::size_t>(len));
    });
  }

  static void XMLCALL OnComment(void* user, const XML_Char* data) {
    Guarded(user, [&](state& s) { s.Queue(comment).value.assign(data != nullptr ? data : ""); });
  }

  static void XMLCALL OnProcessingInstruction(void* user, const XML_Char* target,
                                              const XML_Char* data) {
    Guarded(user, [&](state& s) {
      node& n = s.Queue(processing_instruction);
      n.name.assign(target != nullptr ? target : "");
      n.value.assign(data != nullptr ? data : "");
    });
  }

  static void XMLCALL OnXmlDeclaration(void* user, const XML_Char* version,
                                       const XML_Char* encoding, int /*standalone*/) {
    Guarded(user, [&](state& s) {
      if (version != nullptr) s.version.assign(version);
      if (encoding != nullptr) s.encoding.assign(encoding);
      s.Queue(xml_declaration);
    });
  }

  static void XMLCALL OnStartNamespace(void* user, const XML_Char* prefix, const XML_Char* uri) {
    Guarded(user, [&](state& s) {
      node& n = s.Queue(kNamespaceBinding);
      n.name.assign(prefix != nullptr ? prefix : "");
      n.value.assign(uri != nullptr ? uri : "");
    });
  }

  bool ValidCursor() const { return cursor < current.attribute_pairs; }
  const std::string& AttributeName(std::size_t pair) const { return current.attributes[2 * pair]; }
  const std::string& AttributeValue(std::size_t pair) const {
    return current.attributes[2 * pair + 1];
  }
  // The pair of the first attribute called `attr`, or attribute_pairs.
  std::size_t FindAttribute(const std::string& attr) const {
    std::size_t i = 0;
    while (i < current.attribute_pairs && AttributeName(i) != attr) ++i;
    return i;
  }
};

reader::state::state() {
  parser = XML_ParserCreateNS(nullptr, kNamespaceSeparator);
  if (parser == nullptr) throw std::bad_alloc();
  XML_SetUserData(parser, this);
  XML_SetElementHandler(parser, OnStartElement, OnEndElement);
  XML_SetCharacterDataHandler(parser, OnCharacterData);
  XML_SetCommentHandler(parser, OnComment);
  XML_SetProcessingInstructionHandler(parser, OnProcessingInstruction);
  XML_SetStartNamespaceDeclHandler(parser, OnStartNamespace);
  XML_SetXmlDeclHandler(parser, OnXmlDeclaration);
  prefixes["xml"] = "http://www.w3.org/XML/1998/namespace";
  prefixes["xmlns"] = "http://www.w3.org/2000/xmlns";
}

reader::reader(std::istream& in) : in_(in), state_(std::make_unique<state>()) {}

reader::~reader() = default;

void reader::Fail() {
  state& s = *state_;
  if (s.handler_failure) {
    s.queue_begin = s.queue_end = 0;
    std::rethrow_exception(s.handler_failure);
  }
  s.failed = true;
  s.error_line = ClampToInt(XML_GetCurrentLineNumber(s.parser));
  s.error_column = ClampToInt(XML_GetCurrentColumnNumber(s.parser));
}

bool reader::read() {
  state& s = *state_;
  if (s.Deliver()) return true;
  if (s.failed) throw parse_error(s.error_line, s.error_column);
  XML_ParsingStatus status;
  XML_GetParsingStatus(s.parser, &status);
  if (status.parsing == XML_FINISHED) return false;
  return FeedBlock();
}

bool reader::FeedBlock() {
  state& s = *state_;
  if (!in_.good()) return false;
  in_.read(s.buffer, kBlockSize);
  const std::streamsize got = in_.gcount();
  if (got < 0 || (got == 0 && in_.bad())) return false;
  // After a hard read error the document ends where it stands: what was read
  // is delivered, and the end of the document is not checked.
  const bool final_block = static_cast<std::size_t>(got) < kBlockSize && !in_.bad();
  const XML_Status result =
      XML_Parse(s.parser, s.buffer, static_cast<int>(got), final_block ? XML_TRUE : XML_FALSE);
  if (result == XML_STATUS_ERROR || s.handler_failure) Fail();
  if (s.Deliver()) return true;
  if (s.failed) throw parse_error(s.error_line, s.error_column);
  s.DeliverNothing();
  return true;
}

int reader::skip_to_text() {
  if (state_->current.kind == text) return text;
  while (read()) {
    if (state_->current.kind == text) return text;
  }
  return none;
}

bool reader::eof() const { return in_.eof(); }

int reader::node_type() const { return state_->current.kind; }

int reader::depth() const { return state_->depth; }

std::string reader::name() const {
  const state& s = *state_;
  switch (s.current.kind) {
    case attribute:
      return s.ValidCursor() ? s.AttributeName(s.cursor) : std::string();
    case element:
    case end_element:
    case processing_instruction:
      return s.current.name;
    case xml_declaration:
      return "xml";
    default:
      return std::string();
  }
}

std::string reader::qualified_name() const {
  const state& s = *state_;
  if ((s.current.kind == element || s.current.kind == end_element) &&
      !s.current.namespace_uri.empty())
    return s.current.namespace_uri + ":" + s.current.name;
  return name();
}

std::string reader::namespace_uri() const { return state_->current.namespace_uri; }

std::string reader::value() const {
  const state& s = *state_;
  switch (s.current.kind) {
    case attribute:
      return s.ValidCursor() ? s.AttributeValue(s.cursor) : std::string();
    case comment:
    case processing_instruction:
    case text:
    case whitespace:
      return s.current.value;
    case xml_declaration: {
      std::string decl;
      if (!s.version.empty()) decl = "version=\"" + s.version + "\"";
      if (!s.encoding.empty()) {
        if (!decl.empty()) decl += ' ';
        decl += "encoding=\"" + s.encoding + "\"";
      }
      return decl;
    }
    default:
      return std::string();
  }
}

bool reader::has_value() const {
  const state& s = *state_;
  switch (s.current.kind) {
    case attribute:
      return s.ValidCursor() && !s.AttributeValue(s.cursor).empty();
    case comment:
    case processing_instruction:
    case text:
    case xml_declaration:
      return !s.current.value.empty();
    default:
      return false;
  }
}

bool reader::has_attributes() const { return state_->has_attribute_list; }

int reader::attribute_count() const {
  // The parser's attribute count is an int, so this cannot overflow.
  return state_->has_attribute_list ? static_cast<int>(state_->current.attribute_pairs) : 0;
}

std::string reader::get_attribute(const std::string& name) const {
  const state& s = *state_;
  const std::size_t i = s.FindAttribute(name);
  if (i == s.current.attribute_pairs) throw attribute_out_of_range();
  return s.AttributeValue(i);
}

std::string reader::get_attribute(int index) const {
  const state& s = *state_;
  if (index < 0 || static_cast<std::size_t>(index) >= s.current.attribute_pairs)
    throw attribute_out_of_range();
  return s.AttributeValue(static_cast<std::size_t>(index));
}

std::string reader::get_attribute(const std::string& local_name,
                                  const std::string& namespace_uri) const {
  if (namespace_uri.empty()) return get_attribute(local_name);
  return get_attribute(namespace_uri + kNamespaceSeparator + local_name);
}

std::string reader::select_attribute(int index) {
  std::string v = get_attribute(index);
  state_->cursor = static_cast<std::size_t>(index);
  state_->current.kind = attribute;
  return v;
}

bool reader::move_to_attribute(int index) {
  state& s = *state_;
  if (index < 0 || static_cast<std::size_t>(index) >= s.current.attribute_pairs) {
    s.cursor = s.current.attribute_pairs;
    return false;
  }
  s.cursor = static_cast<std::size_t>(index);
  s.current.kind = attribute;
  return true;
}

bool reader::move_to_attribute(const std::string& name) {
  state& s = *state_;
  s.cursor = s.FindAttribute(name);
  if (s.cursor == s.current.attribute_pairs) return false;
  s.current.kind = attribute;
  return true;
}

bool reader::move_to_attribute(const std::string& local_name, const std::string& namespace_uri) {
  if (namespace_uri.empty()) return move_to_attribute(local_name);
  return move_to_attribute(namespace_uri + kNamespaceSeparator + local_name);
}

bool reader::move_to_first_attribute() {
  state& s = *state_;
  if (s.current.kind != element || s.current.attribute_pairs == 0) return false;
  s.cursor = 0;
  s.current.kind = attribute;
  return true;
}

bool reader::move_to_next_attribute() {
  state& s = *state_;
  if (s.current.kind != attribute) return false;
  if (s.cursor + 1 < s.current.attribute_pairs) {
    ++s.cursor;
    return true;
  }
  s.cursor = s.current.attribute_pairs;
  return false;
}

bool reader::move_to_element() {
  state& s = *state_;
  if (s.current.kind != attribute) return false;
  s.current.kind = element;
  return true;
}

std::string reader::lookup_namespace(const std::string& prefix) const {
  const auto it = state_->prefixes.find(prefix);
  return it == state_->prefixes.end() ? std::string() : it->second;
}

}  // namespace Zor::xml
