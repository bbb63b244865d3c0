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
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/text/code_page.h"
#include "core/text/text_search.h"
#include "platform/side_stack.h"

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
// Once the queued nodes hold more than this, the parse waits until they are
// read; character data pieces are joined into one node only up to this
// length. An entity that expands to megabytes is handed out as it is parsed.
constexpr std::size_t kQueueBound = std::size_t{64} << 10;
// At the end of a block the parse hands the queue to read() once it holds
// this much: nodes read while still in the processor's first-level cache
// cost less than a full queue's.
constexpr std::size_t kBatchBytes = std::size_t{8} << 10;
// Queue buffers larger than this are released once drained, so that one
// large token does not pin its memory for the rest of the document.
constexpr std::size_t kKeepQueueBytes = 4 * kQueueBound;
// The parse stack: as much as a thread's, of which only what the parser
// touches is resident (it recurses once per level of nested entities).
constexpr std::size_t kStackBytes = std::size_t{8} << 20;
// The deepest chain of internal entities expanded, each level one recursion
// of the parser: in content about 350 bytes of stack (more in a sanitizer
// build, which still reads this deep), in attribute values less. Chains of a handful of levels
// are all that documents use.
constexpr uint32_t kMaxEntityDepth = 1000;

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

// How deep internal entities nest, from their declarations: the depth of an
// entity is one more than the deepest entity its replacement text refers to,
// and one for an entity that refers to none, declared or not. An entity may
// refer to one declared after it, so a declaration can deepen those declared
// before; depths are only followed up to the bound, which keeps the work per
// declaration within kMaxEntityDepth steps per entity that refers to it.
// Declarations that refer to nothing, the usual kind, are not stored. The
// parser reports only the first declaration of a name, and never expands a
// parameter entity (no parameter entity parsing), so only general ones count.
class entity_depths {
 public:
  // Records the declaration of `name`, with its replacement text (null for
  // an external entity); false once any chain of entities declared so far is
  // deeper than kMaxEntityDepth (a cycle counts as one without end).
  bool Declare(std::string_view name, const char* text, std::size_t length) {
    refs_.clear();
    const char* const end = text + (text != nullptr ? length : 0);
    for (const char* at = text; at != end;) {
      at = static_cast<const char*>(std::memchr(at, '&', static_cast<std::size_t>(end - at)));
      if (at == nullptr) break;
      const char* stop = ++at;
      while (stop != end && !IsNameEnd(*stop)) ++stop;
      if (stop != end && *stop == ';' && stop != at && *at != '#') {
        refs_.emplace_back(at, static_cast<std::size_t>(stop - at));
        at = stop + 1;
      }
    }
    if (refs_.empty()) return true;  // one level, as any name not stored
    const uint32_t id = Id(name);
    uint32_t deepest = 1;
    for (const std::string_view ref : refs_) {
      const uint32_t r = Id(ref);
      if (users_[r].empty() || users_[r].back() != id) users_[r].push_back(id);  // once per text
      deepest = std::max(deepest, depth_[r]);
    }
    return Raise(id, deepest + 1);
  }

 private:
  static bool IsNameEnd(char c) {
    return c == ';' || c == '&' || c == '<' || c == '>' || c == '"' || c == '\'' || c == ' ' ||
           c == '\t' || c == '\n' || c == '\r';
  }
  uint32_t Id(std::string_view name) {
    const auto [it, added] =
        ids_.try_emplace(std::string(name), static_cast<uint32_t>(depth_.size()));
    if (added) {
      depth_.push_back(1);
      users_.emplace_back();
    }
    return it->second;
  }
  // Gives `id` at least `depth` and passes the change on to every entity
  // that refers to it, and so on; false once a depth passes the bound.
  bool Raise(uint32_t id, uint32_t depth) {
    work_.assign(1, {id, depth});
    while (!work_.empty()) {
      const auto [at, d] = work_.back();
      work_.pop_back();
      if (depth_[at] >= d) continue;
      if (d > kMaxEntityDepth) return false;
      depth_[at] = d;
      for (const uint32_t user : users_[at]) work_.emplace_back(user, d + 1);
    }
    return true;
  }

  std::unordered_map<std::string, uint32_t> ids_;
  std::vector<uint32_t> depth_;
  std::vector<std::vector<uint32_t>> users_;  // the entities whose text refers to each
  std::vector<std::string_view> refs_;
  std::vector<std::pair<uint32_t, uint32_t>> work_;
};

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

// The parser runs on a stack of its own and is never suspended: every
// handler that completes a node queues it, and once the queue holds more
// than kQueueBound bytes the handler leaves the parse stack for read(), which
// hands the queued nodes out one by one and re-enters the parse once they are
// all read. The parse also comes back to read() at the end of a block when
// the queue holds a batch, or any node while the stream has no more bytes at
// hand, so that nodes are handed out as a slow stream delivers them. No
// exception crosses the switch: a handler's is kept and rethrown by read().
// The current node views the queue's bytes, which stay put until the queue is
// drained and the parse runs again.
struct reader::state {
  // Strings per node kind: element: local name, namespace URI, then name and
  // value of each attribute; end element: local name and namespace URI, or
  // none when it closes the element queued just before it (the name is then
  // the current one); processing instruction: target and data; text, white
  // space and comment: the text; namespace binding: prefix and URI.

  std::istream& in;
  XML_Parser parser = nullptr;
  node_queue queue;
  bool queued = false;  // a node was queued since the block was fed
  zor::platform::SideStack stack;

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

  // Thrown in a handler, by the stream or while a node was taken from the
  // queue: the parse ends and every read() from then on rethrows it.
  std::exception_ptr failure;
  // A parse error, reported once the nodes before it are delivered.
  bool failed = false;
  int error_line = 0;
  int error_column = 0;
  bool stopping = false;  // the reader is destroyed while the parse waits
  entity_depths entities;

  explicit state(std::istream& source);
  ~state();
  state(const state&) = delete;
  state& operator=(const state&) = delete;

  void ClearAttributes() {
    has_attribute_list = false;
    attribute_pairs = 0;
    cursor = 0;
  }
  // The current node before the parse runs on: its views must go before the
  // queue's bytes are reused.
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

  void RecordError() {
    failed = true;
    error_line = ClampToInt(XML_GetCurrentLineNumber(parser));
    error_column = ClampToInt(XML_GetCurrentColumnNumber(parser));
  }

  // The body of the parse stack: feeds the stream to the parser block by
  // block until the document ends, fails, or the reader is destroyed.
  //
  // The parser scans a token that a block leaves unfinished again from its
  // start with every further block, so one long token (an attribute value, a
  // comment, a tag) fed in fixed blocks costs time growing with the square of
  // its length. A block that completes no node is therefore followed by one
  // twice as long, which keeps the rescans linear in the token's length; the
  // block size returns to 1,024 bytes once a block completes a node.
  static void Parse(void* self) noexcept {
    state& s = *static_cast<state*>(self);
    try {
      std::size_t block_size = kBlockSize;
      while (!s.stopping && s.in.good()) {
        // Read straight into the parser's buffer, behind any unfinished token.
        void* buffer = XML_GetBuffer(s.parser, static_cast<int>(block_size));
        if (buffer == nullptr) {  // no memory for the unfinished token and the block
          s.RecordError();
          return;
        }
        const std::size_t got = s.ReadBlock(static_cast<char*>(buffer), block_size);
        if (got == 0 && s.in.bad()) return;
        // After a hard read error the document ends where it stands: what
        // was read is delivered, and the end of the document is not checked.
        const bool final_block = got < block_size && !s.in.bad();
        s.queued = false;
        const XML_Status result =
            XML_ParseBuffer(s.parser, static_cast<int>(got), final_block ? XML_TRUE : XML_FALSE);
        if (s.stopping || s.failure) return;
        if (result == XML_STATUS_ERROR) {
          s.RecordError();
          return;
        }
        if (final_block) return;
        block_size = s.queued ? kBlockSize : std::min(2 * block_size, kMaxBlockSize);
        if (s.queue.bytes() > kBatchBytes || (s.queue.any() && s.in.rdbuf()->in_avail() <= 0))
          s.stack.Yield();
      }
    } catch (...) {  // from the stream
      s.failure = std::current_exception();
    }
  }

  // Reads up to `n` bytes from the stream's buffer, as istream::read does,
  // except that the end of the stream (eofbit and failbit) never throws,
  // whatever exceptions() asks for: it is where every document ends. An
  // exception from the buffer sets badbit and is rethrown when exceptions()
  // has badbit, else the stream just goes bad.
  std::size_t ReadBlock(char* to, std::size_t n) {
    std::streambuf* buf = in.rdbuf();
    if (buf == nullptr) {
      SetState(std::ios_base::badbit);
      return 0;
    }
    std::streamsize got = 0;
    try {
      got = buf->sgetn(to, static_cast<std::streamsize>(n));
    } catch (...) {
      SetState(std::ios_base::badbit);
      if ((in.exceptions() & std::ios_base::badbit) != 0) throw;
      return 0;
    }
    if (got < 0) got = 0;
    if (static_cast<std::size_t>(got) < n) SetState(std::ios_base::eofbit | std::ios_base::failbit);
    return static_cast<std::size_t>(got);
  }
  // Sets stream state bits without letting the stream throw for them.
  void SetState(std::ios_base::iostate bits) {
    try {
      in.setstate(bits);
    } catch (const std::ios_base::failure&) {  // the bits are set before it throws
    }
  }

  // Called after every node queued: hands the queue to read() once it is over
  // its bound.
  void Queued() {
    queued = true;
    if (queue.bytes() <= kQueueBound) return;
    stack.Yield();
    if (stopping) XML_StopParser(parser, XML_FALSE);
  }

  // Exceptions must not unwind through the C parser: a failing handler stops
  // the parser for good and read() rethrows.
  template <typename F>
  static void Guarded(void* user, F&& f) {
    auto* s = static_cast<state*>(user);
    if (s->failure || s->stopping) return;
    try {
      f(*s);
    } catch (...) {
      s->failure = std::current_exception();
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
      s.Queued();
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
      s.Queued();
    });
  }

  static void XMLCALL OnCharacterData(void* user, const XML_Char* data, int len) {
    Guarded(user, [&](state& s) {
      const auto n = static_cast<std::size_t>(len);
      const int32_t piece = IsXmlSpace(data, n) ? whitespace : text;
      // Pieces of one kind in a row within a block become one node, up to
      // the queue's bound: a text that expands from entities then queues as
      // a few long strings, not as millions of nodes, and is handed out in
      // slices.
      if (!s.queued || s.queue.last_kind() != piece || !s.queue.Extend(data, n, kQueueBound)) {
        s.queue.Begin(piece, 1);
        s.queue.Add(data, n);
      }
      s.Queued();
    });
  }

  static void XMLCALL OnComment(void* user, const XML_Char* data) {
    Guarded(user, [&](state& s) {
      s.queue.Begin(comment, 1);
      s.QueueString(data);
      s.Queued();
    });
  }

  static void XMLCALL OnProcessingInstruction(void* user, const XML_Char* target,
                                              const XML_Char* data) {
    Guarded(user, [&](state& s) {
      s.queue.Begin(processing_instruction, 2);
      s.QueueString(target);
      s.QueueString(data);
      s.Queued();
    });
  }

  static void XMLCALL OnXmlDeclaration(void* user, const XML_Char* version,
                                       const XML_Char* encoding, int /*standalone*/) {
    Guarded(user, [&](state& s) {
      if (version != nullptr) s.version.assign(version);
      if (encoding != nullptr) s.encoding.assign(encoding);
      s.queue.Begin(xml_declaration, 0);
      s.Queued();
    });
  }

  static void XMLCALL OnEntityDeclaration(void* user, const XML_Char* name, int parameter,
                                          const XML_Char* value, int length, const XML_Char*,
                                          const XML_Char*, const XML_Char*, const XML_Char*) {
    Guarded(user, [&](state& s) {
      if (parameter != 0) return;
      if (!s.entities.Declare(name, value, static_cast<std::size_t>(std::max(length, 0)))) {
        s.RecordError();
        XML_StopParser(s.parser, XML_FALSE);
      }
    });
  }

  static void XMLCALL OnStartNamespace(void* user, const XML_Char* prefix, const XML_Char* uri) {
    Guarded(user, [&](state& s) {
      s.queue.Begin(kNamespaceBinding, 2);
      s.QueueString(prefix);
      s.QueueString(uri);
      s.Queued();
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

reader::state::state(std::istream& source)
    : in(source), stack(&Parse, this, kStackBytes) {
  // Owned here until the constructor cannot throw any more.
  std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> owned(
      XML_ParserCreateNS(nullptr, kNamespaceSeparator), &XML_ParserFree);
  if (owned == nullptr) throw std::bad_alloc();
  parser = owned.get();
  // Entity expansion bombs are stopped by the parser's own amplification
  // guard (on by default).
  XML_SetUserData(parser, this);
  XML_SetElementHandler(parser, OnStartElement, OnEndElement);
  XML_SetCharacterDataHandler(parser, OnCharacterData);
  XML_SetCommentHandler(parser, OnComment);
  XML_SetProcessingInstructionHandler(parser, OnProcessingInstruction);
  XML_SetStartNamespaceDeclHandler(parser, OnStartNamespace);
  XML_SetXmlDeclHandler(parser, OnXmlDeclaration);
  XML_SetEntityDeclHandler(parser, OnEntityDeclaration);
  XML_SetUnknownEncodingHandler(parser, OnUnknownEncoding, nullptr);
  prefixes["xml"] = "http://www.w3.org/XML/1998/namespace";
  prefixes["xmlns"] = "http://www.w3.org/2000/xmlns";
  owned.release();
}

// A parse that waits is let run to its end, told to stop, so that its stack
// unwinds the ordinary way before it is unmapped.
reader::state::~state() {
  if (!stack.finished()) {
    stopping = true;
    stack.Resume();
  }
  XML_ParserFree(parser);
}

reader::reader(std::istream& in) : state_(std::make_unique<state>(in)) {}

reader::~reader() = default;

bool reader::read() {
  state& s = *state_;
  if (s.stack.running()) throw std::logic_error("xml::reader::read: called from inside read()");
  if (!s.failure) {
    try {
      for (;;) {
        if (s.Deliver()) return true;
        s.DeliverNothing();
        s.queue.Reset();
        if (s.stack.finished()) break;
        // The parse comes back with nodes queued, but they may all be
        // namespace bindings, which Deliver() takes in passing.
        s.stack.Resume();
        if (s.failure) break;
      }
    } catch (...) {  // no memory for a node taken from the queue: it is lost
      s.failure = std::current_exception();
    }
  }
  if (s.failure) {
    s.DeliverNothing();
    s.queue.Reset();
    std::rethrow_exception(s.failure);
  }
  if (s.failed) throw parse_error(s.error_line, s.error_column);
  return false;
}

int reader::skip_to_text() {
  if (state_->kind == text) return text;
  while (read()) {
    if (state_->kind == text) return text;
  }
  return none;
}

bool reader::eof() const { return state_->in.eof(); }

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
