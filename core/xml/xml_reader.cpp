#include "core/xml/xml_reader.h"

#include <expat.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <exception>
#include <map>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "core/text/code_page.h"
#include "core/text/text_search.h"

namespace Zor::xml {

namespace {

// The block read from the stream while blocks complete nodes.
constexpr std::size_t kBlockSize = 1024;
// A block that completes no node is followed by one twice as long, up to
// this size (the parser takes int lengths).
constexpr std::size_t kMaxBlockSize = std::size_t{1} << 30;
constexpr XML_Char kNamespaceSeparator = '|';
// A queued namespace declaration (prefix, URI), applied to the prefix table
// when the reader reaches it rather than when it is parsed.
constexpr int32_t kNamespaceBinding = -1;

// The parser knows UTF-8, UTF-16, ISO-8859-1 and US-ASCII itself; files
// written by the suite's Windows programs may also declare their ANSI code
// page. Its five unassigned bytes are not characters.
int XMLCALL OnUnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
  bool known = false;
  for (const char* alias : {"windows-1252", "windows_1252", "cp1252"})
    known = known || CompareNoCase(name, alias) == 0;
  if (!known) return XML_STATUS_ERROR;
  std::string bytes(256, '\0');
  for (int b = 0; b < 256; ++b) bytes[static_cast<std::size_t>(b)] = static_cast<char>(b);
  const std::u16string units = Cp1252ToUtf16(bytes);
  for (int b = 0; b < 256; ++b) {
    const bool unassigned = b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
    info->map[b] = unassigned ? -1 : units[static_cast<std::size_t>(b)];
  }
  info->data = nullptr;
  info->convert = nullptr;
  info->release = nullptr;
  return XML_STATUS_OK;
}
// Queue buffers larger than this are released once drained, so that one
// large block does not pin its memory for the rest of the document.
constexpr std::size_t kKeepQueueBytes = std::size_t{64} << 10;
// Once the queued nodes hold more than this, the parser is suspended (where
// that is safe, see SuspensionPlace) until they are read, and character data
// pieces are joined into one node only up to this length: an entity that
// expands to megabytes is handed out as it is parsed, not held whole.
constexpr std::size_t kQueueBound = kKeepQueueBytes;

bool IsXmlSpace(const char* s, std::size_t len) {
  for (std::size_t i = 0; i < len; ++i) {
    const char c = s[i];
    if (c != '\t' && c != '\n' && c != '\r' && c != ' ') return false;
  }
  return true;
}

int ClampToInt(XML_Size v) {
  return v > static_cast<XML_Size>(INT_MAX) ? INT_MAX : static_cast<int>(v);
}

// The five entities the parser replaces itself, without opening an entity.
bool IsPredefinedEntity(std::string_view name) {
  return name == "lt" || name == "gt" || name == "amp" || name == "apos" || name == "quot";
}

// Whether an entity's replacement text may refer to another entity. Any '&'
// that does not start a character or predefined reference counts, even one
// that the parser would not read as a reference (in a comment, say).
bool RefersToEntity(std::string_view text) {
  for (std::size_t at = text.find('&'); at != std::string_view::npos;
       at = text.find('&', at + 1)) {
    const std::string_view rest = text.substr(at + 1);
    if (!rest.empty() && rest[0] == '#') continue;
    const std::size_t end = rest.find(';');
    if (end == std::string_view::npos || !IsPredefinedEntity(rest.substr(0, end))) return true;
  }
  return false;
}

// The longest name of an entity the parser may be suspended inside. A
// reference at the event position is looked for this far only: a byte '&'
// in text (half of a UTF-16 character) would otherwise cost a search of the
// rest of the input for ';', each time.
constexpr std::size_t kMaxLeafName = 256;

// Whether a document's bytes can spell `name` only as itself, and within
// kMaxLeafName bytes: ASCII reads alike in UTF-8 and the single-byte
// encodings, while the bytes of a Latin-1 name may spell another entity's
// name in UTF-8.
bool IsLeafName(std::string_view name) {
  return name.size() <= kMaxLeafName &&
         std::all_of(name.begin(), name.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Whether an entity's replacement text is well-formed content by itself:
// tags balanced, every prefix declared in it. The parser skips its check of
// an entity's end when it was suspended on the entity's last token, so an
// entity that is not must be parsed unsuspended for its error to be found.
bool IsWellFormedContent(std::string_view text) {
  if (text.find_first_of("<&]") == std::string_view::npos) return true;  // plain characters
  XML_Parser check = XML_ParserCreateNS("UTF-8", kNamespaceSeparator);
  if (check == nullptr) return false;
  // The parser keeps entity texts shorter than INT_MAX bytes.
  const bool ok = XML_Parse(check, "<x>", 3, XML_FALSE) == XML_STATUS_OK &&
                  XML_Parse(check, text.data(), static_cast<int>(text.size()), XML_FALSE) ==
                      XML_STATUS_OK &&
                  XML_Parse(check, "</x>", 4, XML_TRUE) == XML_STATUS_OK;
  XML_ParserFree(check);
  return ok;
}

// Nodes parsed and not yet delivered, back to back in one buffer: per node
// its kind and the number of its strings, then each string as a 32-bit
// length and its bytes. Queueing allocates nothing once the buffer has grown,
// and what a delivered node views stays put until Reset().
class node_queue {
 public:
  node_queue() = default;
  node_queue(const node_queue&) = delete;
  node_queue& operator=(const node_queue&) = delete;

  // Whether anything was queued since Reset(), the bytes queued, and the
  // kind last queued.
  bool any() const { return size_ != 0; }
  std::size_t bytes() const { return size_; }
  int32_t last_kind() const { return last_kind_; }

  void Begin(int32_t kind, uint32_t strings) {
    Reserve(8);
    Put32(static_cast<uint32_t>(kind));
    Put32(strings);
    last_kind_ = kind;
  }
  void Add(const char* s, std::size_t n) {
    // A token is shorter than the parser's int buffer lengths; this only
    // guards the 32-bit length field.
    if (n > UINT32_MAX) throw std::length_error("xml::reader: string too long");
    Reserve(4 + n);
    last_string_ = size_;
    Put32(static_cast<uint32_t>(n));
    if (n != 0) std::memcpy(data_.get() + size_, s, n);
    size_ += n;
  }
  // Adds a zero-terminated string. Names and attribute values are mostly
  // short: they are copied while their end is looked for, in one pass.
  void AddTerminated(const char* s) {
    constexpr std::size_t kShort = 64;
    Reserve(4 + kShort);
    char* out = data_.get() + size_ + 4;
    std::size_t n = 0;
    while (n < kShort && s[n] != '\0') {
      out[n] = s[n];
      ++n;
    }
    if (s[n] != '\0') {  // a long one: copied again whole
      Add(s, n + std::strlen(s + n));
      return;
    }
    last_string_ = size_;
    Put32(static_cast<uint32_t>(n));
    size_ += n;
  }
  // Appends to the last string queued; false when it would grow longer than
  // `limit`.
  bool Extend(const char* s, std::size_t n, std::size_t limit) {
    uint32_t length;
    std::memcpy(&length, data_.get() + last_string_, 4);
    if (n > limit || length > limit - n) return false;
    Reserve(n);
    length += static_cast<uint32_t>(n);
    std::memcpy(data_.get() + last_string_, &length, 4);
    std::memcpy(data_.get() + size_, s, n);
    size_ += n;
    return true;
  }

  // Reads the next node's kind and string count; false when all are read.
  bool Next(int32_t& kind, uint32_t& strings) {
    if (read_ == size_) return false;
    kind = static_cast<int32_t>(Get32());
    strings = Get32();
    return true;
  }
  std::string_view Take() {
    const uint32_t n = Get32();
    const std::string_view s(data_.get() + read_, n);
    read_ += n;
    return s;
  }

  // Empties the queue; a buffer grown large by one block is let go.
  void Reset() {
    if (capacity_ > kKeepQueueBytes) {
      data_.reset();
      capacity_ = 0;
    }
    size_ = read_ = last_string_ = 0;
    last_kind_ = reader::none;
  }

 private:
  void Reserve(std::size_t n) {
    if (capacity_ - size_ < n) Grow(n);
  }
  void Grow(std::size_t n) {
    const std::size_t capacity = std::max({2 * capacity_, size_ + n, std::size_t{4096}});
    std::unique_ptr<char[]> data(new char[capacity]);
    if (size_ != 0) std::memcpy(data.get(), data_.get(), size_);
    data_ = std::move(data);
    capacity_ = capacity;
  }
  void Put32(uint32_t v) {
    std::memcpy(data_.get() + size_, &v, 4);
    size_ += 4;
  }
  uint32_t Get32() {
    uint32_t v;
    std::memcpy(&v, data_.get() + read_, 4);
    read_ += 4;
    return v;
  }

  std::unique_ptr<char[]> data_;
  std::size_t capacity_ = 0;
  std::size_t size_ = 0;
  std::size_t read_ = 0;
  std::size_t last_string_ = 0;  // offset of the last string's length
  int32_t last_kind_ = reader::none;
};

}  // namespace

reader::parse_error::parse_error(int line, int column)
    : std::runtime_error("xml parse error"), line_(line), column_(column) {}

reader::attribute_out_of_range::attribute_out_of_range()
    : std::invalid_argument("xml::reader::get_attribute: index out of range") {}

// The parser takes one block at a time; every handler that completes a node
// queues it, and read() hands the queued nodes out one by one before it
// resumes the parser or feeds the next block. Once the queue holds more than
// kQueueBound bytes a handler suspends the parser, so that an entity that
// expands into megabytes of nodes is handed out as it is parsed. (Suspending
// in every handler would save the queue, but the parser mishandles a
// suspension while two internal entities are open, one inside the other: it
// forgets the outer one's rest, or closes the wrong one, and leaks. There the
// queue grows on until the parser has left the inner entities; the parser's
// amplification guard bounds it.) The current node views the queue's bytes,
// which stay put until the queue is drained and the parser runs again.
struct reader::state {
  // Strings per node kind: element: local name, namespace URI, then name and
  // value of each attribute; end element: local name and namespace URI, or
  // none when it closes the element queued just before it (the name is then
  // the current one); processing instruction: target and data; text, white
  // space and comment: the text; namespace binding: prefix and URI.

  XML_Parser parser = nullptr;
  std::size_t block_size = kBlockSize;
  node_queue queue;

  // The current node.
  int32_t kind = none;
  std::string_view name;  // local name, or processing-instruction target
  std::string_view value;
  std::string namespace_uri;  // of the last element or end element
  std::vector<std::string_view> attributes;  // name, value, name, value, ...
  std::size_t attribute_pairs = 0;
  bool has_attribute_list = false;
  std::size_t cursor = 0;  // attribute pair; attribute_pairs means past the last
  int32_t depth = 0;
  std::string version;
  std::string encoding;
  std::map<std::string, std::string> prefixes;

  // Internal general entities with short ASCII names whose replacement
  // text refers to no other entity and is well-formed content by itself:
  // the parser may be suspended inside one of them when it is referenced
  // from the document itself. Mapped to whether the text opens with a CDATA
  // section.
  std::map<std::string, bool, std::less<>> leaf_entities;
  // Set when a handler has suspended the parser in the current parse call.
  bool suspending = false;
  bool in_cdata = false;  // between the start and the end of a CDATA section
  // The event position last found unsafe to suspend at, so that the nodes of
  // one nested expansion do not each look again.
  const char* unsafe_event = nullptr;
  // Whether the parser was last suspended inside an entity.
  bool stopped_in_entity = false;

  std::exception_ptr handler_failure;  // thrown in a handler, rethrown by read()
  // A parse error, reported once the nodes before it are delivered.
  bool failed = false;
  int error_line = 0;
  int error_column = 0;

  state();
  ~state() { XML_ParserFree(parser); }
  state(const state&) = delete;
  state& operator=(const state&) = delete;

  void ClearAttributes() {
    has_attribute_list = false;
    attribute_pairs = 0;
    cursor = 0;
  }
  // The current node before a block is fed, and when it completed no node.
  // The views must go before the queue's bytes are reused.
  void DeliverNothing() {
    kind = none;
    name = {};
    value = {};
    ClearAttributes();
  }
  // The parser reports "uri|local" for a name in a namespace (and rejects a
  // namespace URI that holds the separator): queues local name, then URI.
  void QueueName(const XML_Char* qname) {
    const char* bar = std::strchr(qname, kNamespaceSeparator);
    if (bar == nullptr) {
      queue.AddTerminated(qname);
      queue.Add(nullptr, 0);
    } else {
      queue.AddTerminated(bar + 1);
      queue.Add(qname, static_cast<std::size_t>(bar - qname));
    }
  }
  void QueueString(const char* s) {
    if (s != nullptr)
      queue.AddTerminated(s);
    else
      queue.Add(nullptr, 0);
  }
  void SetNamespaceUri(std::string_view uri) {
    if (uri != namespace_uri) namespace_uri.assign(uri);
  }

  // Makes the oldest queued node the current one; false when none is queued.
  bool Deliver() {
    int32_t next_kind;
    uint32_t strings;
    while (queue.Next(next_kind, strings)) {
      switch (next_kind) {
        case kNamespaceBinding: {
          const std::string_view prefix = queue.Take();
          const std::string_view uri = queue.Take();
          prefixes.insert_or_assign(std::string(prefix), std::string(uri));
          continue;
        }
        case element: {
          name = queue.Take();
          SetNamespaceUri(queue.Take());
          attribute_pairs = (strings - 2) / 2;
          attributes.resize(2 * attribute_pairs);
          for (std::string_view& a : attributes) a = queue.Take();
          has_attribute_list = true;
          cursor = 0;
          value = {};
          ++depth;
          break;
        }
        case end_element:
          if (strings != 0) {
            name = queue.Take();
            SetNamespaceUri(queue.Take());
          }
          ClearAttributes();
          value = {};
          --depth;
          break;
        case processing_instruction:
          name = queue.Take();
          value = queue.Take();
          ClearAttributes();
          break;
        case text:
        case whitespace:
        case comment:
          name = {};
          value = queue.Take();
          ClearAttributes();
          break;
        default:  // the XML declaration: its fields are the reader's own
          break;
      }
      kind = next_kind;
      return true;
    }
    return false;
  }

  // Before each call that runs the parser.
  void BeginParse() {
    suspending = false;
    unsafe_event = nullptr;
  }

  enum class Place { unsafe, document, entity, rest_of_entity };

  // Where the handler running now is, as far as suspending the parser goes.
  // The parser can be suspended outside every entity, or inside one leaf
  // entity referenced from the document, and not in a CDATA section (expat
  // 2.5 resumes the rest of a section inside an entity as markup). While
  // entity text is parsed, the parser's event position stays on the
  // outermost reference in the document; what lies below it is not visible.
  Place SuspensionPlace() {
    if (in_cdata) return Place::unsafe;
    int offset = 0;
    int size = 0;
    const char* buffer = XML_GetInputContext(parser, &offset, &size);
    if (buffer == nullptr || offset < 0 || offset > size) return Place::unsafe;
    const char* at = buffer + offset;
    if (at == unsafe_event) return Place::unsafe;
    // In the rest of the entity the parser was stopped in, the event
    // position stands, empty, behind its reference. That entity is a leaf;
    // but when the parser stops on its last token, expat 2.5 still parses
    // the document's next token, which must not open nested entities.
    const bool rest = XML_GetCurrentByteCount(parser) == 0;
    if (rest && !stopped_in_entity) return Place::unsafe;
    if (offset == size) return rest ? Place::rest_of_entity : Place::unsafe;
    const auto left = static_cast<std::size_t>(size - offset);
    Place here = Place::unsafe;
    // A reference starts with '&' in every encoding the parser reads (two
    // bytes in UTF-16, either order); anything else is markup or text of the
    // document itself.
    if ((at[0] == '\0' && left > 1 && at[1] != '&') || (at[0] != '&' && at[0] != '\0') ||
        (at[0] == '&' && left > 1 && at[1] == '#')) {  // the last: a character reference
      here = Place::document;
    } else if (at[0] == '&') {
      const std::string_view rest_of_input(at + 1, std::min(left - 1, kMaxLeafName + 1));
      const std::size_t end = rest_of_input.find(';');
      const std::string_view name = rest_of_input.substr(0, end);
      if (end == std::string_view::npos)
        here = Place::unsafe;  // not a whole reference, or not a leaf's
      else if (IsPredefinedEntity(name))
        here = Place::document;
      else if (const auto leaf = leaf_entities.find(name); leaf != leaf_entities.end()) {
        // Stopped on an entity's last token, expat 2.5 parses this token
        // while stopped: the entity's first token then too, and the rest of
        // a CDATA section there is resumed as markup. Inside the entity,
        // once opened, the parser may be stopped as in any other leaf.
        if (rest && leaf->second) return Place::unsafe;
        here = Place::entity;
      }
    }
    if (here == Place::unsafe) {
      unsafe_event = at;
      return here;
    }
    return rest ? Place::rest_of_entity : here;
  }

  // Called after every node queued: suspends the parser once the queue is
  // over its bound, where that is safe. Nodes the parser still reports after
  // the suspension (the end of an empty-element tag, the document's token
  // after an entity) are queued as well, and the last of them tells where
  // the parser stopped. At the end of a CDATA section in the document the
  // parser is not suspended: expat 2.5 may parse the next token then, and
  // the pieces of a section there are few per block anyway.
  void LimitQueue(bool section_end = false) {
    if (!suspending && queue.bytes() <= kQueueBound) return;
    const Place place = SuspensionPlace();
    if (!suspending) {
      if (place == Place::unsafe || (section_end && place == Place::document)) return;
      suspending = XML_StopParser(parser, XML_TRUE) == XML_STATUS_OK;
      if (!suspending) return;
    }
    if (place != Place::rest_of_entity) stopped_in_entity = place == Place::entity;
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
      std::size_t count = 0;
      while (atts[count] != nullptr) ++count;  // names and values
      // The parser's attribute count is an int, so this cannot overflow.
      s.queue.Begin(element, static_cast<uint32_t>(2 + count));
      s.QueueName(qname);
      for (std::size_t i = 0; i < count; ++i) s.QueueString(atts[i]);
      s.LimitQueue();
    });
  }

  static void XMLCALL OnEndElement(void* user, const XML_Char* qname) {
    Guarded(user, [&](state& s) {
      // Nothing queued since the element's start: this ends that element
      // (elements nest), whose name the reader still shows.
      if (s.queue.last_kind() == element) {
        s.queue.Begin(end_element, 0);
      } else {
        s.queue.Begin(end_element, 2);
        s.QueueName(qname);
      }
      s.LimitQueue();
    });
  }

  static void XMLCALL OnCharacterData(void* user, const XML_Char* data, int len) {
    Guarded(user, [&](state& s) {
      const auto n = static_cast<std::size_t>(len);
      const int32_t piece = IsXmlSpace(data, n) ? whitespace : text;
      // Pieces of one kind in a row become one node, up to the queue's
      // bound: a text that expands from entities then queues as a few long
      // strings, not as millions of nodes, and is handed out in slices.
      if (s.queue.last_kind() != piece || !s.queue.Extend(data, n, kQueueBound)) {
        s.queue.Begin(piece, 1);
        s.queue.Add(data, n);
      }
      s.LimitQueue();
    });
  }

  static void XMLCALL OnComment(void* user, const XML_Char* data) {
    Guarded(user, [&](state& s) {
      s.queue.Begin(comment, 1);
      s.QueueString(data);
      s.LimitQueue();
    });
  }

  static void XMLCALL OnProcessingInstruction(void* user, const XML_Char* target,
                                              const XML_Char* data) {
    Guarded(user, [&](state& s) {
      s.queue.Begin(processing_instruction, 2);
      s.QueueString(target);
      s.QueueString(data);
      s.LimitQueue();
    });
  }

  static void XMLCALL OnXmlDeclaration(void* user, const XML_Char* version,
                                       const XML_Char* encoding, int /*standalone*/) {
    Guarded(user, [&](state& s) {
      if (version != nullptr) s.version.assign(version);
      if (encoding != nullptr) s.encoding.assign(encoding);
      s.queue.Begin(xml_declaration, 0);
      s.LimitQueue();
    });
  }

  static void XMLCALL OnStartNamespace(void* user, const XML_Char* prefix, const XML_Char* uri) {
    Guarded(user, [&](state& s) {
      s.queue.Begin(kNamespaceBinding, 2);
      s.QueueString(prefix);
      s.QueueString(uri);
      s.LimitQueue();
    });
  }

  static void XMLCALL OnCdataStart(void* user) { static_cast<state*>(user)->in_cdata = true; }
  static void XMLCALL OnCdataEnd(void* user) {
    Guarded(user, [](state& s) {
      s.in_cdata = false;
      s.LimitQueue(true);
    });
  }

  static void XMLCALL OnEntityDeclaration(void* user, const XML_Char* name, int is_parameter,
                                          const XML_Char* value, int length, const XML_Char*,
                                          const XML_Char*, const XML_Char*, const XML_Char*) {
    Guarded(user, [&](state& s) {
      if (is_parameter || value == nullptr || length < 0) return;  // not an internal general one
      const std::string_view text(value, static_cast<std::size_t>(length));
      if (IsLeafName(name) && !RefersToEntity(text) && IsWellFormedContent(text))
        s.leaf_entities.emplace(name, text.starts_with("<![CDATA["));
    });
  }

  bool ValidCursor() const { return cursor < attribute_pairs; }
  std::string_view AttributeName(std::size_t pair) const { return attributes[2 * pair]; }
  std::string_view AttributeValue(std::size_t pair) const { return attributes[2 * pair + 1]; }
  // The pair of the first attribute called `attr`, or attribute_pairs.
  std::size_t FindAttribute(std::string_view attr) const {
    std::size_t i = 0;
    while (i < attribute_pairs && AttributeName(i) != attr) ++i;
    return i;
  }
};

reader::state::state() {
  parser = XML_ParserCreateNS(nullptr, kNamespaceSeparator);
  if (parser == nullptr) throw std::bad_alloc();
  // Entity expansion bombs are stopped by the parser's own amplification
  // guard (on by default), which also bounds the nodes one block can queue.
  XML_SetUserData(parser, this);
  XML_SetElementHandler(parser, OnStartElement, OnEndElement);
  XML_SetCharacterDataHandler(parser, OnCharacterData);
  XML_SetCommentHandler(parser, OnComment);
  XML_SetProcessingInstructionHandler(parser, OnProcessingInstruction);
  XML_SetStartNamespaceDeclHandler(parser, OnStartNamespace);
  XML_SetXmlDeclHandler(parser, OnXmlDeclaration);
  XML_SetEntityDeclHandler(parser, OnEntityDeclaration);
  XML_SetCdataSectionHandler(parser, OnCdataStart, OnCdataEnd);
  XML_SetUnknownEncodingHandler(parser, OnUnknownEncoding, nullptr);
  prefixes["xml"] = "http://www.w3.org/XML/1998/namespace";
  prefixes["xmlns"] = "http://www.w3.org/2000/xmlns";
}

reader::reader(std::istream& in) : in_(in), state_(std::make_unique<state>()) {}

reader::~reader() = default;

void reader::Fail() {
  state& s = *state_;
  if (s.handler_failure) {
    s.queue.Reset();
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
  if (status.parsing == XML_SUSPENDED) {
    // The rest of the block must be parsed before the parser takes another.
    if (Resume()) return true;
    XML_GetParsingStatus(s.parser, &status);
  }
  if (status.parsing == XML_FINISHED) return false;
  return FeedBlock();
}

// Parses on where a handler suspended the parser; true when that queued a
// node, false when the rest of the block held none.
bool reader::Resume() {
  state& s = *state_;
  s.DeliverNothing();
  s.queue.Reset();
  s.BeginParse();
  if (XML_ResumeParser(s.parser) == XML_STATUS_ERROR || s.handler_failure) Fail();
  if (s.Deliver()) return true;
  if (s.failed) throw parse_error(s.error_line, s.error_column);
  return false;
}

// The parser scans a token that a block leaves unfinished again from its
// start with every further block, so one long token (an attribute value, a
// comment, a tag) fed in fixed blocks costs time growing with the square of
// its length. A block that completes no node is therefore followed by one
// twice as long, which keeps the rescans linear in the token's length; the
// block size returns to 1,024 bytes once a block completes a node.
bool reader::FeedBlock() {
  state& s = *state_;
  if (!in_.good()) return false;
  s.DeliverNothing();
  s.queue.Reset();
  const std::size_t want = s.block_size;
  // Read straight into the parser's buffer, behind any unfinished token.
  void* buffer = XML_GetBuffer(s.parser, static_cast<int>(want));
  if (buffer == nullptr) {  // no memory for the unfinished token and the block
    Fail();
    throw parse_error(s.error_line, s.error_column);
  }
  in_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(want));
  const std::streamsize got = in_.gcount();
  if (got < 0 || (got == 0 && in_.bad())) return false;
  // After a hard read error the document ends where it stands: what was read
  // is delivered, and the end of the document is not checked.
  const bool final_block = static_cast<std::size_t>(got) < want && !in_.bad();
  s.BeginParse();
  const XML_Status result =
      XML_ParseBuffer(s.parser, static_cast<int>(got), final_block ? XML_TRUE : XML_FALSE);
  if (result == XML_STATUS_ERROR || s.handler_failure) Fail();
  s.block_size = s.queue.any() ? kBlockSize : std::min(2 * want, kMaxBlockSize);
  if (s.Deliver()) return true;
  if (s.failed) throw parse_error(s.error_line, s.error_column);
  return true;
}

int reader::skip_to_text() {
  if (state_->kind == text) return text;
  while (read()) {
    if (state_->kind == text) return text;
  }
  return none;
}

bool reader::eof() const { return in_.eof(); }

int reader::node_type() const { return state_->kind; }

int reader::depth() const { return state_->depth; }

std::string reader::name() const {
  const state& s = *state_;
  switch (s.kind) {
    case attribute:
      return s.ValidCursor() ? std::string(s.AttributeName(s.cursor)) : std::string();
    case element:
    case end_element:
    case processing_instruction:
      return std::string(s.name);
    case xml_declaration:
      return "xml";
    default:
      return std::string();
  }
}

std::string reader::qualified_name() const {
  const state& s = *state_;
  if ((s.kind == element || s.kind == end_element) && !s.namespace_uri.empty()) {
    std::string q;
    q.reserve(s.namespace_uri.size() + 1 + s.name.size());
    q.append(s.namespace_uri).append(1, ':').append(s.name);
    return q;
  }
  return name();
}

std::string reader::namespace_uri() const { return state_->namespace_uri; }

std::string reader::value() const {
  const state& s = *state_;
  switch (s.kind) {
    case attribute:
      return s.ValidCursor() ? std::string(s.AttributeValue(s.cursor)) : std::string();
    case comment:
    case processing_instruction:
    case text:
    case whitespace:
      return std::string(s.value);
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
  switch (s.kind) {
    case attribute:
      return s.ValidCursor() && !s.AttributeValue(s.cursor).empty();
    case comment:
    case processing_instruction:
    case text:
      return !s.value.empty();
    default:  // the XML declaration does not fill the value field
      return false;
  }
}

bool reader::has_attributes() const { return state_->has_attribute_list; }

int reader::attribute_count() const {
  // The parser's attribute count is an int, so this cannot overflow.
  return state_->has_attribute_list ? static_cast<int>(state_->attribute_pairs) : 0;
}

std::string reader::get_attribute(const std::string& name) const {
  const state& s = *state_;
  const std::size_t i = s.FindAttribute(name);
  if (i == s.attribute_pairs) throw attribute_out_of_range();
  return std::string(s.AttributeValue(i));
}

std::string reader::get_attribute(int index) const {
  const state& s = *state_;
  if (index < 0 || static_cast<std::size_t>(index) >= s.attribute_pairs)
    throw attribute_out_of_range();
  return std::string(s.AttributeValue(static_cast<std::size_t>(index)));
}

std::string reader::get_attribute(const std::string& local_name,
                                  const std::string& namespace_uri) const {
  if (namespace_uri.empty()) return get_attribute(local_name);
  return get_attribute(namespace_uri + kNamespaceSeparator + local_name);
}

std::string reader::select_attribute(int index) {
  std::string v = get_attribute(index);
  state_->cursor = static_cast<std::size_t>(index);
  state_->kind = attribute;
  return v;
}

bool reader::move_to_attribute(int index) {
  state& s = *state_;
  if (index < 0 || static_cast<std::size_t>(index) >= s.attribute_pairs) {
    s.cursor = s.attribute_pairs;
    return false;
  }
  s.cursor = static_cast<std::size_t>(index);
  s.kind = attribute;
  return true;
}

bool reader::move_to_attribute(const std::string& name) {
  state& s = *state_;
  s.cursor = s.FindAttribute(name);
  if (s.cursor == s.attribute_pairs) return false;
  s.kind = attribute;
  return true;
}

bool reader::move_to_attribute(const std::string& local_name, const std::string& namespace_uri) {
  if (namespace_uri.empty()) return move_to_attribute(local_name);
  return move_to_attribute(namespace_uri + kNamespaceSeparator + local_name);
}

bool reader::move_to_first_attribute() {
  state& s = *state_;
  if (s.kind != element || s.attribute_pairs == 0) return false;
  s.cursor = 0;
  s.kind = attribute;
  return true;
}

bool reader::move_to_next_attribute() {
  state& s = *state_;
  if (s.kind != attribute) return false;
  if (s.cursor + 1 < s.attribute_pairs) {
    ++s.cursor;
    return true;
  }
  s.cursor = s.attribute_pairs;
  return false;
}

bool reader::move_to_element() {
  state& s = *state_;
  if (s.kind != attribute) return false;
  s.kind = element;
  return true;
}

std::string reader::lookup_namespace(const std::string& prefix) const {
  const auto it = state_->prefixes.find(prefix);
  return it == state_->prefixes.end() ? std::string() : it->second;
}

}  // namespace Zor::xml
