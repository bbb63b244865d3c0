// The pull reader and the tree beside raw expat with plain callbacks and
// libxml2's xmlTextReader, all reading the same 50 MB settings-like document
// from a std::istream and touching the same data: every element name, every
// attribute value and every piece of character data and comment. Raw expat
// is fed 1,024-byte blocks, as the reader starts with.
//
// BM_XmlDocument runs every contender in each iteration and reports their
// MB/s and, from the fastest iteration of each (processor time of the
// thread), the ratios:
//   reader_vs_libxml2         libxml2 time / reader time (target >= 1.2)
//   reader_vs_libxml2_copies  the same with libxml2's copying accessors
//   reader_vs_expat           raw expat time / reader time (target >= 0.8)
//   tree_vs_reader            reader time / tree time
//   expat_vs_libxml2          libxml2 time / raw expat time (the parser's own
//                             lead, which bounds the reader's)
// One iteration takes a few seconds; --benchmark_min_time=30 gives steadier
// ratios on a busy machine.
// BM_LongToken reads one 10 MB or 50 MB attribute value, comment or text:
// the reader's MB/s must not fall with the size, and expat_MBps is raw expat
// given the whole document in one call (its fastest way).
// BM_EntityDeclarations reads a document type of 200,000 entity
// declarations holding markup:
//   reader_vs_expat           raw expat time / reader time (target >= 0.8)
// BM_StackSwitch times a round trip to the parse stack and back (Resume and
// Yield) beside the same round trip with ucontext's swapcontext, which also
// sets the signal mask each way:
//   ns_per_round_trip, ucontext_ns_per_round_trip, switch_vs_ucontext
// BM_ExpansionPeak reads documents that expand to hundreds of megabytes
// within expat's amplification limit, each reader in a fresh process, and
// reports the peak resident memory of each (both must deliver the same
// elements and bytes):
//   expansion   a 5 MB document whose one 5 MB entity is referenced 95 times
//   adjacent    95 references to an entity that is not well-formed by
//               itself (<p:b>, 5 MB, </p:b>; p declared on the root)
//   utf16le/be  the expansion document in UTF-16
//   nested      one entity referring 95 times to a 5 MB one
//   defaults    an entity of 100,000 <x/>, each with a 10,000-byte default
//               attribute from the document type, referenced by another
//   reader_peak_MB  the pull reader (target <= 64)
//   expat_peak_MB   raw expat with plain callbacks, fed 64 KiB blocks
#include <benchmark/benchmark.h>
#include <expat.h>
#include <libxml/xmlreader.h>

#include <sys/wait.h>
#include <ucontext.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cstdint>
#include <cstring>
#include <functional>
#include <istream>
#include <random>
#include <streambuf>
#include <string>
#include <vector>

#include "core/xml/xml_reader.h"
#include "core/xml/xml_tree.h"
#include "platform/side_stack.h"

namespace {

constexpr std::size_t kDocumentBytes = std::size_t{50} << 20;

// Grid and sensor settings: nested elements with attributes, short texts,
// comments and indentation.
const std::string& Document() {
  static const std::string doc = [] {
    std::mt19937 rng(11);
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<settings version=\"3\">\n";
    xml.reserve(kDocumentBytes + 1024);
    int n = 0;
    while (xml.size() < kDocumentBytes) {
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

// An istream over bytes already in memory, so that no contender pays for a
// copy of the document.
class MemoryBuf : public std::streambuf {
 public:
  explicit MemoryBuf(const std::string& bytes) {
    char* p = const_cast<char*>(bytes.data());
    setg(p, p, p + bytes.size());
  }
};

struct Totals {
  std::size_t elements = 0;
  std::size_t bytes = 0;  // names, attribute values, character data, comments
};

void XMLCALL RawStart(void* user, const XML_Char* name, const XML_Char** atts) {
  auto* t = static_cast<Totals*>(user);
  ++t->elements;
  const char* bar = std::strchr(name, '|');  // the local name, as the reader gives it
  t->bytes += std::strlen(bar != nullptr ? bar + 1 : name);
  for (int i = 0; atts[i] != nullptr; i += 2) t->bytes += std::strlen(atts[i + 1]);
}
void XMLCALL RawEnd(void*, const XML_Char*) {}
void XMLCALL RawText(void* user, const XML_Char*, int len) {
  static_cast<Totals*>(user)->bytes += static_cast<std::size_t>(len);
}
void XMLCALL RawComment(void* user, const XML_Char* data) {
  static_cast<Totals*>(user)->bytes += std::strlen(data);
}
void XMLCALL RawInstruction(void* user, const XML_Char*, const XML_Char* data) {
  static_cast<Totals*>(user)->bytes += std::strlen(data);
}

XML_Parser RawParser(Totals& totals) {
  XML_Parser p = XML_ParserCreateNS(nullptr, '|');
  XML_SetUserData(p, &totals);
  XML_SetElementHandler(p, RawStart, RawEnd);
  XML_SetCharacterDataHandler(p, RawText);
  XML_SetCommentHandler(p, RawComment);
  XML_SetProcessingInstructionHandler(p, RawInstruction);
  return p;
}

// Raw expat fed from the stream in 1,024-byte blocks.
Totals RawExpatBlocks(const std::string& doc) {
  MemoryBuf buf(doc);
  std::istream in(&buf);
  Totals totals;
  XML_Parser p = RawParser(totals);
  char block[1024];
  for (;;) {
    in.read(block, sizeof block);
    const auto got = static_cast<int>(in.gcount());
    const bool last = got < static_cast<int>(sizeof block);
    if (XML_Parse(p, block, got, last) != XML_STATUS_OK) totals.elements = 0;
    if (last) break;
  }
  XML_ParserFree(p);
  return totals;
}

// Raw expat given the whole document at once.
Totals RawExpatWhole(const std::string& doc) {
  Totals totals;
  XML_Parser p = RawParser(totals);
  if (XML_Parse(p, doc.data(), static_cast<int>(doc.size()), XML_TRUE) != XML_STATUS_OK)
    totals.elements = 0;
  XML_ParserFree(p);
  return totals;
}

Totals ZorReader(const std::string& doc) {
  MemoryBuf buf(doc);
  std::istream in(&buf);
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
      case Zor::xml::reader::processing_instruction:
        totals.bytes += r.value().size();
        break;
      default:
        break;
    }
  }
  return totals;
}

int LibXml2Read(void* context, char* buffer, int len) {
  auto* in = static_cast<std::istream*>(context);
  in->read(buffer, len);
  return static_cast<int>(in->gcount());
}

// Walks the document with libxml2's pull reader, counting elements and the
// bytes of names, attribute values and text; `name` and `value` read the
// current node through one family of accessors and return its length.
template <typename Name, typename Value>
Totals LibXml2Walk(const std::string& doc, Name name, Value value) {
  MemoryBuf buf(doc);
  std::istream in(&buf);
  Totals totals;
  xmlTextReaderPtr r = xmlReaderForIO(LibXml2Read, nullptr, &in, nullptr, nullptr, 0);
  if (r == nullptr) return totals;
  while (xmlTextReaderRead(r) == 1) {
    switch (xmlTextReaderNodeType(r)) {
      case XML_READER_TYPE_ELEMENT:
        ++totals.elements;
        totals.bytes += name(r);
        while (xmlTextReaderMoveToNextAttribute(r) == 1) totals.bytes += value(r);
        xmlTextReaderMoveToElement(r);
        break;
      case XML_READER_TYPE_TEXT:
      case XML_READER_TYPE_WHITESPACE:
      case XML_READER_TYPE_SIGNIFICANT_WHITESPACE:
      case XML_READER_TYPE_COMMENT:
      case XML_READER_TYPE_PROCESSING_INSTRUCTION:
        totals.bytes += value(r);
        break;
      default:
        break;
    }
  }
  xmlFreeTextReader(r);
  return totals;
}

std::size_t Length(const xmlChar* s) {
  return s != nullptr ? std::strlen(reinterpret_cast<const char*>(s)) : 0;
}

Totals LibXml2Reader(const std::string& doc) {
  return LibXml2Walk(
      doc, [](xmlTextReaderPtr r) { return Length(xmlTextReaderConstLocalName(r)); },
      [](xmlTextReaderPtr r) { return Length(xmlTextReaderConstValue(r)); });
}

// The same through libxml2's accessors that return owned copies, as every
// accessor of this reader does (std::string by value).
Totals LibXml2ReaderCopies(const std::string& doc) {
  auto take = [](xmlChar* s) {
    const std::size_t n = Length(s);
    xmlFree(s);
    return n;
  };
  return LibXml2Walk(
      doc, [&](xmlTextReaderPtr r) { return take(xmlTextReaderLocalName(r)); },
      [&](xmlTextReaderPtr r) { return take(xmlTextReaderValue(r)); });
}

Totals ZorTree(const std::string& doc) {
  MemoryBuf buf(doc);
  std::istream in(&buf);
  Zor::xml::reader r(in);
  Zor::xml::dom d(r);
  return Totals{d.size(), 0};
}

double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The fastest of the iterations so far of one contender, in seconds of this
// thread's processor time (steadier than wall time on a shared machine).
struct Best {
  double seconds = 1e300;
  void Time(const std::function<Totals()>& f) {
    const double start = ThreadSeconds();
    benchmark::DoNotOptimize(f());
    seconds = std::min(seconds, ThreadSeconds() - start);
  }
};

// Each iteration runs every contender once, one after the other, so that a
// machine busy with other work slows them alike.
void BM_XmlDocument(benchmark::State& state) {
  const std::string& doc = Document();
  Best expat, libxml2, libxml2_copies, reader, tree;
  for (auto _ : state) {
    expat.Time([&] { return RawExpatBlocks(doc); });
    libxml2.Time([&] { return LibXml2Reader(doc); });
    libxml2_copies.Time([&] { return LibXml2ReaderCopies(doc); });
    reader.Time([&] { return ZorReader(doc); });
    tree.Time([&] { return ZorTree(doc); });
  }
  const double mb = static_cast<double>(doc.size()) / 1e6;
  state.counters["expat_MBps"] = mb / expat.seconds;
  state.counters["libxml2_MBps"] = mb / libxml2.seconds;
  state.counters["reader_MBps"] = mb / reader.seconds;
  state.counters["tree_MBps"] = mb / tree.seconds;
  state.counters["reader_vs_libxml2"] = libxml2.seconds / reader.seconds;
  state.counters["reader_vs_libxml2_copies"] = libxml2_copies.seconds / reader.seconds;
  state.counters["reader_vs_expat"] = expat.seconds / reader.seconds;
  state.counters["tree_vs_reader"] = reader.seconds / tree.seconds;
  state.counters["expat_vs_libxml2"] = libxml2.seconds / expat.seconds;
}
BENCHMARK(BM_XmlDocument)->Unit(benchmark::kMillisecond);

constexpr int kRoundTrips = 100000;

struct Bouncer {
  zor::platform::SideStack* stack = nullptr;
  ucontext_t caller{};
  ucontext_t own{};
};

void BounceSideStack(void* arg) noexcept {
  auto* b = static_cast<Bouncer*>(arg);
  for (int i = 0; i < kRoundTrips; ++i) b->stack->Yield();
}

Bouncer* g_ucontext_bouncer = nullptr;
void BounceUcontext() {
  for (;;) swapcontext(&g_ucontext_bouncer->own, &g_ucontext_bouncer->caller);
}

void BM_StackSwitch(benchmark::State& state) {
  Best side, ucontext;
  std::vector<char> stack_bytes(256 << 10);
  for (auto _ : state) {
    side.Time([&] {
      Bouncer b;
      zor::platform::SideStack stack(&BounceSideStack, &b, 256 << 10);
      b.stack = &stack;
      for (int i = 0; i <= kRoundTrips; ++i) stack.Resume();
      return Totals{stack.finished() ? 1u : 0u, 0};
    });
    ucontext.Time([&] {
      Bouncer b;
      g_ucontext_bouncer = &b;
      getcontext(&b.own);
      b.own.uc_stack.ss_sp = stack_bytes.data();
      b.own.uc_stack.ss_size = stack_bytes.size();
      makecontext(&b.own, &BounceUcontext, 0);
      for (int i = 0; i < kRoundTrips; ++i) swapcontext(&b.caller, &b.own);
      return Totals{1, 0};
    });
  }
  state.counters["ns_per_round_trip"] = side.seconds * 1e9 / kRoundTrips;
  state.counters["ucontext_ns_per_round_trip"] = ucontext.seconds * 1e9 / kRoundTrips;
  state.counters["switch_vs_ucontext"] = side.seconds / ucontext.seconds;
}
BENCHMARK(BM_StackSwitch)->Unit(benchmark::kMillisecond);

// One token of `mb` megabytes inside the root element.
std::string LongTokenDocument(int kind, int mb) {
  const std::string token(static_cast<std::size_t>(mb) << 20, 'v');
  switch (kind) {
    case 0:
      return "<r a='" + token + "'/>";
    case 1:
      return "<r><!--" + token + "--></r>";
    default:
      return "<r>" + token + "</r>";
  }
}

void BM_LongToken(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const std::string doc = LongTokenDocument(kind, static_cast<int>(state.range(1)));
  state.SetLabel(kind == 0 ? "attribute" : kind == 1 ? "comment" : "text");
  Best expat, reader;
  for (auto _ : state) {
    reader.Time([&] { return ZorReader(doc); });
    expat.Time([&] { return RawExpatWhole(doc); });
  }
  state.counters["reader_MBps"] = static_cast<double>(doc.size()) / 1e6 / reader.seconds;
  state.counters["expat_MBps"] = static_cast<double>(doc.size()) / 1e6 / expat.seconds;
  state.counters["reader_vs_expat"] = expat.seconds / reader.seconds;
}
BENCHMARK(BM_LongToken)->ArgsProduct({{0, 1, 2}, {10, 50}})->Unit(benchmark::kMillisecond);

// 200,000 entity declarations holding markup, two of them referenced.
std::string DeclarationsDocument() {
  std::string xml = "<!DOCTYPE r [\n";
  for (int i = 0; i < 200000; ++i)
    xml += "<!ENTITY e" + std::to_string(i) + " '<a b=\"" + std::to_string(i) + "\">x</a>'>\n";
  return xml + "]>\n<r>&e0;&e199999;</r>\n";
}

void BM_EntityDeclarations(benchmark::State& state) {
  const std::string doc = DeclarationsDocument();
  Best expat, reader;
  for (auto _ : state) {
    expat.Time([&] { return RawExpatBlocks(doc); });
    reader.Time([&] { return ZorReader(doc); });
  }
  state.counters["reader_vs_expat"] = expat.seconds / reader.seconds;
}
BENCHMARK(BM_EntityDeclarations)->Unit(benchmark::kMillisecond);

const char* const kPeakDocuments[] = {"expansion", "adjacent", "utf16le",
                                      "utf16be",   "nested",   "defaults"};

std::string Utf16(const std::string& ascii, bool big_endian) {
  std::string out = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  out.reserve(2 * ascii.size() + 2);
  for (const char c : ascii) big_endian ? out.append({'\0', c}) : out.append({c, '\0'});
  return out;
}

// The documents of BM_ExpansionPeak, by name.
std::string PeakDocument(const std::string& kind) {
  const std::string words = "sounding 0123 depth 12.50 m at 52.175 N 4.500 E quality good; ";
  std::string text;
  text.reserve((std::size_t{5} << 20) + words.size());
  while (text.size() < (std::size_t{5} << 20)) text += words;
  std::string refs;
  for (int i = 0; i < 95; ++i) refs += "&e;";
  const std::string expansion = "<!DOCTYPE r [<!ENTITY e '" + text + "'>]>\n<r>" + refs + "</r>\n";
  if (kind == "adjacent")
    return "<!DOCTYPE r [<!ENTITY e '<p:b>" + text + "</p:b>'>]>\n<r xmlns:p='urn:p'>" + refs +
           "</r>\n";
  if (kind == "utf16le" || kind == "utf16be") return Utf16(expansion, kind == "utf16be");
  if (kind == "nested")
    return "<!DOCTYPE r [<!ENTITY e '" + text + "'><!ENTITY n '" + refs + "'>]>\n<r>&n;</r>\n";
  if (kind == "defaults") {
    std::string elements;
    for (int i = 0; i < 100000; ++i) elements += "<x/>";
    return "<!DOCTYPE r [<!ATTLIST x a CDATA '" + std::string(10000, 'A') + "'><!ENTITY e '" +
           elements + "'><!ENTITY w '&e;'>]>\n<r>&w;</r>\n";
  }
  return expansion;
}

constexpr const char* kPeakChild = "ZOR_BENCH_XML_PEAK_CHILD";

// The peak resident memory of this process image in kB (rusage would count
// the parent's pages the child held between fork and exec).
long PeakKb() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return -1;
  char line[256];
  long kb = -1;
  while (std::fgets(line, sizeof line, f) != nullptr)
    if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1) break;
  std::fclose(f);
  return kb;
}

// In the child process: reads the document `kind` with `who` ("reader" or
// "expat") and prints its peak memory in kB, the elements and the bytes.
int PeakChild(const std::string& who_and_kind) {
  const std::size_t blank = who_and_kind.find(' ');
  const std::string who = who_and_kind.substr(0, blank);
  const std::string doc = PeakDocument(who_and_kind.substr(blank + 1));
  Totals totals;
  if (who == "reader") {
    totals = ZorReader(doc);
  } else {
    XML_Parser p = RawParser(totals);
    constexpr std::size_t kBlock = std::size_t{64} << 10;
    for (std::size_t at = 0; at < doc.size(); at += kBlock) {
      const std::size_t n = std::min(kBlock, doc.size() - at);
      if (XML_Parse(p, doc.data() + at, static_cast<int>(n), at + n == doc.size()) !=
          XML_STATUS_OK)
        return 2;
    }
    XML_ParserFree(p);
  }
  std::printf("%ld %zu %zu\n", PeakKb(), totals.elements, totals.bytes);
  return 0;
}

struct ChildResult {
  double peak_mb = -1;
  std::size_t elements = 0;
  std::size_t bytes = 0;
};

// Runs this program again as a child reading the document `kind` with
// `who`; peak_mb stays -1 when it failed.
ChildResult RunPeakChild(const std::string& who, const std::string& kind) {
  ChildResult result;
  int out[2];
  if (pipe(out) != 0) return result;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    setenv(kPeakChild, (who + " " + kind).c_str(), 1);
    execl("/proc/self/exe", "zor_bench_xml_reader", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  char text[128] = {};
  const ssize_t got = pid > 0 ? read(out[0], text, sizeof text - 1) : -1;
  close(out[0]);
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return result;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || got <= 0) return result;
  long kb = -1;
  if (std::sscanf(text, "%ld %zu %zu", &kb, &result.elements, &result.bytes) == 3 && kb > 0)
    result.peak_mb = static_cast<double>(kb) / 1024.0;
  return result;
}

void BM_ExpansionPeak(benchmark::State& state) {
  const std::string kind = kPeakDocuments[state.range(0)];
  state.SetLabel(kind);
  ChildResult reader, expat;
  for (auto _ : state) {
    reader = RunPeakChild("reader", kind);
    expat = RunPeakChild("expat", kind);
  }
  state.counters["reader_peak_MB"] = reader.peak_mb;
  state.counters["expat_peak_MB"] = expat.peak_mb;
  if (reader.peak_mb < 0 || expat.peak_mb < 0)
    state.SkipWithError("a reader failed on the document");
  else if (reader.elements != expat.elements || reader.bytes != expat.bytes)
    state.SkipWithError("the reader and expat delivered different documents");
}
BENCHMARK(BM_ExpansionPeak)->DenseRange(0, 5)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (const char* who = std::getenv(kPeakChild)) return PeakChild(who);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
