// The pull reader and the tree beside raw expat with plain callbacks, all
// reading the same 256 KiB settings-like document from a std::istringstream
// in 1,024-byte blocks (as the reader does) and touching the same data: every
// element name, every attribute value and every piece of character data.
#include <benchmark/benchmark.h>
#include <expat.h>

#include <cstdint>
#include <random>
#include <sstream>
#include <string>

#include "core/xml/xml_reader.h"
#include "core/xml/xml_tree.h"

namespace {

// Grid and sensor settings: nested elements with attributes, short texts,
// comments and indentation.
const std::string& Document() {
  static const std::string doc = [] {
    std::mt19937 rng(11);
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<settings version=\"3\">\n";
    int n = 0;
    while (xml.size() < 256 * 1024) {
      xml += "  <!-- sensor " + std::to_string(n) + " -->\n";
      xml += "  <sensor id=\"" + std::to_string(n) + "\" type=\"gnss\" port=\"COM" +
             std::to_string(rng() % 16) + "\">\n";
      xml += "    <name>Antenna " + std::to_string(n) + "</name>\n";
      xml += "    <offset x=\"" + std::to_string(rng() % 1000 / 100.0) + "\" y=\"" +
             std::to_string(rng() % 1000 / 100.0) + "\" z=\"-1.25\"/>\n";
      xml += "    <grid file=\"geoid_" + std::to_string(rng() % 100) +
             ".gtx\">north &amp; east</grid>\n";
      xml += "  </sensor>\n";
      ++n;
    }
    xml += "</settings>\n";
    return xml;
  }();
  return doc;
}

struct Totals {
  std::size_t elements = 0;
  std::size_t bytes = 0;  // names, attribute values and character data
};

void XMLCALL RawStart(void* user, const XML_Char* name, const XML_Char** atts) {
  auto* t = static_cast<Totals*>(user);
  ++t->elements;
  t->bytes += std::char_traits<char>::length(name);
  for (int i = 0; atts[i] != nullptr; i += 2)
    t->bytes += std::char_traits<char>::length(atts[i + 1]);
}
void XMLCALL RawEnd(void*, const XML_Char*) {}
void XMLCALL RawText(void* user, const XML_Char*, int len) {
  static_cast<Totals*>(user)->bytes += static_cast<std::size_t>(len);
}
void XMLCALL RawComment(void* user, const XML_Char* data) {
  static_cast<Totals*>(user)->bytes += std::char_traits<char>::length(data);
}

void BM_RawExpatCallbacks(benchmark::State& state) {
  for (auto _ : state) {
    std::istringstream in(Document());
    Totals totals;
    XML_Parser p = XML_ParserCreateNS(nullptr, '|');
    XML_SetUserData(p, &totals);
    XML_SetElementHandler(p, RawStart, RawEnd);
    XML_SetCharacterDataHandler(p, RawText);
    XML_SetCommentHandler(p, RawComment);
    char buf[1024];
    for (;;) {
      in.read(buf, sizeof buf);
      const auto got = static_cast<int>(in.gcount());
      const bool last = got < static_cast<int>(sizeof buf);
      if (XML_Parse(p, buf, got, last) != XML_STATUS_OK) state.SkipWithError("parse failed");
      if (last) break;
    }
    XML_ParserFree(p);
    benchmark::DoNotOptimize(totals);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Document().size()));
}
BENCHMARK(BM_RawExpatCallbacks);

void BM_ZorXmlReader(benchmark::State& state) {
  for (auto _ : state) {
    std::istringstream in(Document());
    Zor::xml::reader r(in);
    Totals totals;
    while (r.read()) {
      switch (r.node_type()) {
        case Zor::xml::reader::element: {
          ++totals.elements;
          totals.bytes += r.name().size();
          const int count = r.attribute_count();
          for (int i = 0; i < count; ++i) totals.bytes += r.get_attribute(i).size();
          break;
        }
        case Zor::xml::reader::text:
        case Zor::xml::reader::whitespace:
        case Zor::xml::reader::comment:
          totals.bytes += r.value().size();
          break;
        default:
          break;
      }
    }
    benchmark::DoNotOptimize(totals);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Document().size()));
}
BENCHMARK(BM_ZorXmlReader);

void BM_ZorXmlTree(benchmark::State& state) {
  for (auto _ : state) {
    std::istringstream in(Document());
    Zor::xml::reader r(in);
    Zor::xml::dom d(r);
    benchmark::DoNotOptimize(d.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Document().size()));
}
BENCHMARK(BM_ZorXmlTree);

}  // namespace

BENCHMARK_MAIN();
