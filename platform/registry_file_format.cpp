#include "platform/registry_file_format.h"

#include <charconv>
#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>
#include <vector>

namespace zor::platform {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendHexByte(std::string& out, uint8_t b) {
  out += kHexDigits[b >> 4];
  out += kHexDigits[b & 0xF];
}

int HexValue(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsPlain(unsigned char c) noexcept { return c >= 0x20 && c < 0x7F; }

// ---- writing ----

void AppendKeyName(std::string& out, std::string_view name) {
  for (unsigned char c : name) {
    if (IsPlain(c) && c != '%' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      constexpr char kUpper[] = "0123456789ABCDEF";
      out += '%';
      out += kUpper[c >> 4];
      out += kUpper[c & 0xF];
    }
  }
}

void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (unsigned char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (IsPlain(c)) {
          out += static_cast<char>(c);
        } else {
          out += "\\x";
          AppendHexByte(out, c);
        }
    }
  }
  out += '"';
}

void AppendByteList(std::string& out, const std::vector<uint8_t>& data) {
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (i != 0) out += ',';
    AppendHexByte(out, data[i]);
  }
}

void AppendTypeName(std::string& out, uint32_t type) {
  switch (type) {
    case REG_NONE: out += "none"; return;
    case REG_SZ: out += "sz"; return;
    case REG_EXPAND_SZ: out += "expand_sz"; return;
    case REG_BINARY: out += "binary"; return;
    case REG_DWORD: out += "dword"; return;
    case REG_MULTI_SZ: out += "multi_sz"; return;
    case REG_QWORD: out += "qword"; return;
    default: out += "type" + std::to_string(type); return;
  }
}

// A single text with exactly one zero, at its end.
bool IsPlainString(const std::vector<uint8_t>& data) {
  if (data.empty() || data.back() != 0) return false;
  return std::memchr(data.data(), 0, data.size() - 1) == nullptr;
}

// One or more non-empty texts, each with its zero, then a closing zero.
bool IsPlainStringList(const std::vector<uint8_t>& data) {
  if (data.size() < 3 || data[data.size() - 1] != 0 || data[data.size() - 2] != 0) return false;
  if (data[0] == 0) return false;
  for (std::size_t i = 1; i + 1 < data.size(); ++i) {
    if (data[i] == 0 && data[i - 1] == 0) return false;
  }
  return true;
}

void AppendNumber(std::string& out, const std::vector<uint8_t>& data) {
  for (std::size_t i = data.size(); i-- > 0;) AppendHexByte(out, data[i]);
}

void AppendValue(std::string& out, const RegistryValue& value) {
  AppendQuoted(out, value.name);
  out += '=';
  AppendTypeName(out, value.type);
  out += ':';
  const std::vector<uint8_t>& data = value.data;
  const auto text = [&](std::size_t begin, std::size_t end) {
    return std::string_view(reinterpret_cast<const char*>(data.data()) + begin, end - begin);
  };
  if ((value.type == REG_SZ || value.type == REG_EXPAND_SZ) && IsPlainString(data)) {
    AppendQuoted(out, text(0, data.size() - 1));
  } else if (value.type == REG_MULTI_SZ && IsPlainStringList(data)) {
    std::size_t start = 0;
    for (std::size_t i = 0; i + 1 < data.size(); ++i) {
      if (data[i] != 0) continue;
      if (start != 0) out += ',';
      AppendQuoted(out, text(start, i));
      start = i + 1;
    }
  } else if ((value.type == REG_DWORD && data.size() == 4) ||
             (value.type == REG_QWORD && data.size() == 8)) {
    AppendNumber(out, data);
  } else {
    if (value.type != REG_BINARY) out += "hex:";
    AppendByteList(out, data);
  }
  out += '\n';
}

void AppendNode(std::string& out, const RegistryNode& node, std::string& path, bool is_root) {
  const bool header = is_root ? !node.values.empty() : (!node.values.empty() || node.subkeys.empty());
  if (header) {
    out += '[';
    out += path;
    out += "]\n";
    for (const RegistryValue& value : node.values) AppendValue(out, value);
  }
  for (const RegistryNode& child : node.subkeys) {
    const std::size_t mark = path.size();
    if (!is_root) path += '\\';
    AppendKeyName(path, child.name);
    AppendNode(out, child, path, false);
    path.resize(mark);
  }
}

// ---- reading ----

// A cursor over the rest of one line.
struct Cursor {
  std::string_view rest;

  bool Eat(char c) {
    if (rest.empty() || rest.front() != c) return false;
    rest.remove_prefix(1);
    return true;
  }
  bool Eat(std::string_view s) {
    if (rest.substr(0, s.size()) != s) return false;
    rest.remove_prefix(s.size());
    return true;
  }
};

bool ReadHexByte(Cursor& cur, uint8_t& out) {
  if (cur.rest.size() < 2) return false;
  const int hi = HexValue(cur.rest[0]);
  const int lo = HexValue(cur.rest[1]);
  if (hi < 0 || lo < 0) return false;
  out = static_cast<uint8_t>(hi * 16 + lo);
  cur.rest.remove_prefix(2);
  return true;
}

bool ReadQuoted(Cursor& cur, std::string& out) {
  out.clear();
  if (!cur.Eat('"')) return false;
  while (!cur.rest.empty()) {
    const char c = cur.rest.front();
    cur.rest.remove_prefix(1);
    if (c == '"') return true;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (cur.rest.empty()) return false;
    const char e = cur.rest.front();
    cur.rest.remove_prefix(1);
    switch (e) {
      case '\\': out += '\\'; break;
      case '"': out += '"'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'x': {
        uint8_t b = 0;
        if (!ReadHexByte(cur, b)) return false;
        out += static_cast<char>(b);
        break;
      }
      default: return false;
    }
  }
  return false;  // no closing quote
}

bool ReadByteList(Cursor& cur, std::vector<uint8_t>& out) {
  out.clear();
  if (cur.rest.empty()) return true;
  while (true) {
    uint8_t b = 0;
    if (!ReadHexByte(cur, b)) return false;
    out.push_back(b);
    if (cur.rest.empty()) return true;
    if (!cur.Eat(',')) return false;
  }
}

std::optional<uint32_t> ReadType(Cursor& cur) {
  const std::size_t colon = cur.rest.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view name = cur.rest.substr(0, colon);
  cur.rest.remove_prefix(colon + 1);
  if (name == "none") return REG_NONE;
  if (name == "sz") return REG_SZ;
  if (name == "expand_sz") return REG_EXPAND_SZ;
  if (name == "binary") return REG_BINARY;
  if (name == "dword") return REG_DWORD;
  if (name == "multi_sz") return REG_MULTI_SZ;
  if (name == "qword") return REG_QWORD;
  if (name.size() <= 4 || name.substr(0, 4) != "type") return std::nullopt;
  const std::string_view digits = name.substr(4);
  uint32_t type = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), type);
  if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return type;
}

bool ReadNumber(Cursor& cur, std::size_t width, std::vector<uint8_t>& out) {
  if (cur.rest.size() != width * 2) return false;
  out.assign(width, 0);
  for (std::size_t i = width; i-- > 0;) {
    if (!ReadHexByte(cur, out[i])) return false;
  }
  return true;
}

bool ReadData(Cursor& cur, uint32_t type, std::vector<uint8_t>& out) {
  if (cur.Eat("hex:") || type == REG_BINARY) return ReadByteList(cur, out);
  std::string text;
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      if (!ReadQuoted(cur, text)) return false;
      out.assign(text.begin(), text.end());
      out.push_back(0);
      return cur.rest.empty();
    case REG_MULTI_SZ:
      out.clear();
      do {
        if (!ReadQuoted(cur, text)) return false;
        out.insert(out.end(), text.begin(), text.end());
        out.push_back(0);
      } while (cur.Eat(','));
      out.push_back(0);
      return cur.rest.empty();
    case REG_DWORD: return ReadNumber(cur, 4, out);
    case REG_QWORD: return ReadNumber(cur, 8, out);
    default: return false;
  }
}

// Decodes one key name of a header; false on a bad escape or a bad name.
bool DecodeKeyName(std::string_view raw, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '%') {
      out += raw[i];
      continue;
    }
    if (raw.size() - i < 3) return false;
    const int hi = HexValue(raw[i + 1]);
    const int lo = HexValue(raw[i + 2]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return !out.empty() && out.size() <= kMaxRegistryKeyName && out.find('\\') == std::string::npos;
}

std::string_view Trim(std::string_view line) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
    line.remove_suffix(1);
  return line;
}

// A file is read by appending keys and values as they come and sorting once
// at the end, so that a file whose lines come in any order (a hand edit, a
// damaged file) costs n log n, not one shift of a sorted array per line. The
// writer's own files come sorted: the key a header continues is always its
// parent's last one, and nothing needs sorting.
RegistryNode& AppendSubKey(RegistryNode& node, const std::string& name) {
  if (!node.subkeys.empty() && RegistryNamesEqual(node.subkeys.back().name, name))
    return node.subkeys.back();
  RegistryNode& child = node.subkeys.emplace_back();
  child.name = name;
  return child;
}

template <typename Item>
void SortByName(std::vector<Item>& items) {
  const auto less = [](const Item& a, const Item& b) {
    return CompareRegistryNames(a.name, b.name) < 0;
  };
  // Stable: of equal names the first spelling comes first, later data after.
  if (!std::is_sorted(items.begin(), items.end(), less))
    std::stable_sort(items.begin(), items.end(), less);
}

// Sorts `items` by name and folds each later item of a name into the first
// one of that name with `merge(into, from)`.
template <typename Item, typename Merge>
void SortAndMerge(std::vector<Item>& items, Merge merge) {
  SortByName(items);
  std::size_t kept = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (kept > 0 && RegistryNamesEqual(items[kept - 1].name, items[i].name)) {
      merge(items[kept - 1], items[i]);
      continue;
    }
    if (kept != i) items[kept] = std::move(items[i]);
    ++kept;
  }
  items.resize(kept);
}

// Sorts a read node and merges what the file named twice: a later value
// replaces an earlier one (whose spelling stays), repeated keys merge.
void Settle(RegistryNode& node) {
  SortAndMerge(node.values, [](RegistryValue& into, RegistryValue& from) {
    into.type = from.type;
    into.data = std::move(from.data);
  });
  SortAndMerge(node.subkeys, [](RegistryNode& into, RegistryNode& from) {
    into.values.insert(into.values.end(), std::make_move_iterator(from.values.begin()),
                       std::make_move_iterator(from.values.end()));
    into.subkeys.insert(into.subkeys.end(), std::make_move_iterator(from.subkeys.begin()),
                        std::make_move_iterator(from.subkeys.end()));
  });
  for (RegistryNode& child : node.subkeys) Settle(child);
}

// The key a header line names, created with every key on its path.
RegistryNode* OpenHeader(RegistryNode& root, std::string_view inner) {
  RegistryNode* node = &root;
  if (inner.empty()) return node;
  std::size_t depth = 0;
  std::string name;
  while (true) {
    const std::size_t slash = inner.find('\\');
    if (!DecodeKeyName(inner.substr(0, slash), name)) return nullptr;
    if (++depth > kMaxRegistryDepth) return nullptr;
    node = &AppendSubKey(*node, name);
    if (slash == std::string_view::npos) return node;
    inner.remove_prefix(slash + 1);
  }
}

}  // namespace

std::string SerializeHive(const RegistryNode& root) {
  std::string out;
  out += kHiveMagicLine;
  out += '\n';
  std::string path;
  AppendNode(out, root, path, true);
  out += kHiveEndLine;
  out += '\n';
  return out;
}

bool ParseHive(std::string_view text, RegistryNode& root, std::string* error) {
  root = RegistryNode{};
  std::size_t line_no = 0;
  const auto fail = [&](const char* why) {
    root = RegistryNode{};
    if (error != nullptr) *error = "line " + std::to_string(line_no) + ": " + why;
    return false;
  };

  RegistryNode* current = nullptr;
  bool ended = false;
  std::string name;
  std::vector<uint8_t> data;
  while (!text.empty() || line_no == 0) {
    const std::size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    ++line_no;
    line = Trim(line);

    if (line_no == 1) {
      if (line != kHiveMagicLine) return fail("not a registry hive");
      continue;
    }
    if (line.empty()) continue;
    if (line.front() == ';') {
      if (line == kHiveEndLine) ended = true;
      continue;
    }
    if (ended) return fail("text after the end line");

    if (line.front() == '[') {
      if (line.size() < 2 || line.back() != ']') return fail("unclosed key header");
      current = OpenHeader(root, line.substr(1, line.size() - 2));
      if (current == nullptr) return fail("bad key path");
      continue;
    }
    if (line.front() != '"') return fail("unexpected line");
    if (current == nullptr) return fail("value outside a key");

    Cursor cur{line};
    if (!ReadQuoted(cur, name)) return fail("bad value name");
    if (name.size() > kMaxRegistryValueName) return fail("value name too long");
    if (!cur.Eat('=')) return fail("missing '='");
    const std::optional<uint32_t> type = ReadType(cur);
    if (!type) return fail("bad value type");
    if (!ReadData(cur, *type, data)) return fail("bad value data");
    RegistryValue& value = current->values.emplace_back();
    value.name = name;
    value.type = *type;
    value.data = data;
  }
  if (!ended) return fail("missing end line (file cut off?)");
  Settle(root);
  return true;
}

}  // namespace zor::platform
