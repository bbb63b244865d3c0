// Look-ups of the observation and system lists that reach into the type
// vocabularies and the header list: imaging observations of a system, and
// the system a header record belongs to.
#include <cstddef>
#include <cstdint>

#include "database/definitions/hdr_entry.h"
#include "database/definitions/obs_def_list.h"
#include "database/definitions/sys_def_list.h"
#include "database/types/type_predicates.h"

namespace {

// How a RecId names its system.
enum class Rule {
  kNone,
  kWord,         // payload word `first` is the system id
  kLinks,        // a system of `types` whose link words 1.. are payload words first..
  kIdOfType45,   // the type-45 system whose id is payload word `first`
};

struct SystemRule {
  Rule rule = Rule::kNone;
  std::size_t first = 0;
  std::size_t count = 0;  // link words compared (kLinks)
  int32_t type = 0;       // the system type (kLinks) ...
  int32_t alsoType = 0;   // ... or this one, when not 0
};

SystemRule RuleOf(uint32_t recId) {
  switch (recId) {
    case 65:
      return {Rule::kWord, 11};
    case 69: case 77: case 126: case 138: case 140: case 141: case 143: case 147: case 155:
    case 157: case 171: case 173: case 177: case 185: case 187: case 189: case 200: case 207:
    case 248: case 253: case 256:
      return {Rule::kWord, 0};
    case 174: case 208: case 209: case 210: case 212: case 220: case 221: case 225: case 231:
    case 238: case 240: case 241: case 243: case 249: case 251: case 254: case 257: case 265:
    case 266:
      return {Rule::kWord, 1};
    case 70: case 217: case 244: case 245:
      return {Rule::kWord, 2};
    case 78:
      return {Rule::kWord, 3};
    case 73: case 205:
      return {Rule::kLinks, 0, 3, 12};
    case 258:
      return {Rule::kLinks, 2, 3, 12};
    case 128: case 195: case 202:
      return {Rule::kLinks, 0, 2, 2};
    case 260:
      return {Rule::kLinks, 1, 2, 2};
    case 226:
      return {Rule::kLinks, 1, 2, 3};
    case 219:
      return {Rule::kLinks, 1, 2, 1, 35};
    case 234:
      return {Rule::kLinks, 1, 2, 1};
    case 262:
      return {Rule::kIdOfType45, 1};
    default:
      return {};
  }
}

bool TypeMatches(const SystemRule& rule, int32_t type) {
  return type == rule.type || (rule.alsoType != 0 && type == rule.alsoType);
}

}  // namespace

sObsDef* CObsDefList::FindNthImagingObs(int32_t systemId, int32_t n) const {
  return FindNth(n, [systemId](const sObsDef& r) {
    return r.systemId == systemId && (IsMbeObs(&r) || IsSidescanObs(&r));
  });
}

int32_t CSysDefList::GetSystemIdOfHeader(const sHdrEntry* entry) const {
  if (entry == nullptr) return -1;
  const SystemRule rule = RuleOf(entry->recId);
  int32_t words[3] = {0, 0, 0};
  const std::size_t needed = rule.rule == Rule::kLinks ? rule.count : 1;
  for (std::size_t i = 0; i < needed; ++i)
    if (!entry->GetWord(rule.first + i, words[i])) return -1;

  switch (rule.rule) {
    case Rule::kWord:
      return words[0];
    case Rule::kIdOfType45: {
      const int32_t id = words[0];
      const sSysDef* sys =
          FindFirst([id](const sSysDef& s) { return s.type == 45 && s.id == id; });
      return sys != nullptr ? sys->id : -1;
    }
    case Rule::kLinks: {
      const sSysDef* sys = FindFirst([&](const sSysDef& s) {
        if (!TypeMatches(rule, s.type)) return false;
        const int32_t links[3] = {s.link1, s.link2, s.link3};
        for (std::size_t i = 0; i < rule.count; ++i)
          if (links[i] != words[i]) return false;
        return true;
      });
      return sys != nullptr ? sys->id : -1;
    }
    case Rule::kNone:
      break;
  }
  return -1;
}
