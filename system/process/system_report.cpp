#include "system/process/system_report.h"

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/text/code_page.h"
#include "core/text/utf.h"
#include "platform/path_text.h"
#include "system/files/file_helpers.h"
#include "system/process/shell_open.h"
#include "system/process/utf16_stream.h"

namespace {

// No single source file is taken beyond this many bytes.
constexpr std::size_t kSourceLimit = 4 * 1024 * 1024;
// The most of the system information report that is joined in.
constexpr std::size_t kMsinfoLimit = 1000000000;

constexpr const char* kDxdiagHeader =
    " ==================== DirectX report (dxdiag) ====================================\n\n";
constexpr const char* kMsinfoHeader =
    "\n\n\n\n\n\n ==================== MS System Information report (msinfo32) "
    "====================\n\n";
constexpr const char* kEndLine =
    "\n\n\n\n\n\n ==================== END OF SYSTEM REPORT "
    "=======================================\n";

// The file's bytes, at most `limit` of them (files under /proc and /sys give
// no size, so the reading decides).
bool ReadSource(const std::string& path, std::string& out, std::size_t limit = kSourceLimit) {
  out.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::array<char, 16 * 1024> chunk;
  while (out.size() < limit) {
    in.read(chunk.data(), static_cast<std::streamsize>(std::min(chunk.size(), limit - out.size())));
    out.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    if (!in) break;
  }
  return !in.bad();
}

bool Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

void EnsureLineEnd(std::string& text) {
  if (!text.empty() && text.back() != '\n') text += '\n';
}

// Display devices: every card and output under class/drm, then /proc/fb.
std::string DisplayReport(const SystemReportSources& sources) {
  std::string report;
  const std::filesystem::path drm = std::filesystem::path(sources.sysFolder) / "class" / "drm";
  std::vector<std::string> entries;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator(drm, ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
    entries.push_back(it->path().filename().string());
  std::sort(entries.begin(), entries.end());
  std::string text;
  for (const std::string& entry : entries) {
    const std::string base = (drm / entry).string();
    if (entry.find('-') == std::string::npos) {
      if (!ReadSource(base + "/device/uevent", text)) continue;
      report += "Card: " + entry + "\n";
      text.insert(0, 1, '\n');  // so that every line, the first too, follows a line end
      for (const char* key : {"\nDRIVER=", "\nPCI_ID=", "\nPCI_SUBSYS_ID="}) {
        const std::size_t at = text.find(key);
        if (at == std::string::npos) continue;
        report += "  " + text.substr(at + 1, text.find('\n', at + 1) - at - 1) + "\n";
      }
      continue;
    }
    if (!ReadSource(base + "/status", text)) continue;
    report += "Output: " + entry + "\n  Status: " + text;
    EnsureLineEnd(report);
    if (ReadSource(base + "/modes", text) && !text.empty()) {
      report += "  Preferred mode: " + text.substr(0, text.find('\n')) + "\n";
    }
  }
  if (ReadSource(sources.procFolder + "/fb", text) && !text.empty()) {
    report += "Frame buffers:\n" + text;
    EnsureLineEnd(report);
  }
  if (report.empty()) return report;
  return "Display Devices\n---------------\n" + report;
}

std::u16string ToUtf16(const std::string& bytes) {
  try {
    return Utf8ToUtf16(bytes);
  } catch (const std::exception&) {
    return Utf8ToUtf16(Latin1ToUtf8(bytes));  // not UTF-8: take the bytes as Latin-1
  }
}

std::string UtcStamp() {
  const time_t now = ::time(nullptr);
  tm parts{};
  ::gmtime_r(&now, &parts);
  char text[32];
  const std::size_t n = ::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
  return std::string(text, n);
}

// The system information report in UTF-16: one section per source file;
// empty when none could be read.
std::u16string SystemInformationReport(const SystemReportSources& sources) {
  const std::pair<std::string, std::string> files[] = {
      {"/etc/os-release", sources.etcFolder + "/os-release"},
      {"/proc/version", sources.procFolder + "/version"},
      {"/proc/sys/kernel/hostname", sources.procFolder + "/sys/kernel/hostname"},
      {"/proc/cmdline", sources.procFolder + "/cmdline"},
      {"/proc/uptime", sources.procFolder + "/uptime"},
      {"/proc/loadavg", sources.procFolder + "/loadavg"},
      {"/proc/cpuinfo", sources.procFolder + "/cpuinfo"},
      {"/proc/meminfo", sources.procFolder + "/meminfo"},
      {"/proc/partitions", sources.procFolder + "/partitions"},
      {"/proc/mounts", sources.procFolder + "/mounts"},
      {"/proc/modules", sources.procFolder + "/modules"},
  };
  std::u16string report;
  std::string text;
  for (const auto& [title, path] : files) {
    if (!ReadSource(path, text)) continue;
    EnsureLineEnd(text);
    report += ToUtf16("\n[" + title + "]\n\n" + text);
  }
  if (report.empty()) return report;
  return u"\uFEFF" + ToUtf16("System Information report written at: " + UtcStamp() + "\n") + report;
}

bool WriteBytes(const std::string& path, const char* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data, static_cast<std::streamsize>(size));
  out.close();
  return static_cast<bool>(out);
}

bool WriteUtf16File(const std::string& path, const std::u16string& text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (const char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return WriteBytes(path, bytes.data(), bytes.size());
}

// Copies the display report as it is, chunk by chunk. Only a file this run
// wrote is read: anything else in its place (a folder, an earlier run's file
// that could not be removed) could not be read.
void JoinDisplayReport(std::ostream& out, const std::string& path, bool written) {
  if (!Exists(path)) {
    out << " **** DirectX report NOT FOUND.";
    return;
  }
  std::ifstream in;
  if (written) in.open(path, std::ios::binary);
  if (!in.is_open()) {
    out << " **** DirectX report COULD NOT BE READ.";
    return;
  }
  std::array<char, 64 * 1024> chunk;
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    out.write(chunk.data(), in.gcount());
  }
  if (in.bad()) out << " **** DirectX report COULD NOT BE READ.";
}

// Joins the UTF-16 report as UTF-8, without its byte-order mark; only a
// file this run wrote, as above.
void JoinSystemInformation(std::ostream& out, const std::string& path, bool written) {
  if (!Exists(path)) {
    out << " **** MS System Information report NOT FOUND.";
    return;
  }
  std::ifstream in;
  if (written) in.open(path, std::ios::binary);
  std::string text;
  try {
    if (!in.is_open()) throw std::ios_base::failure("open");
    text = Utf16ToUtf8(ReadUtf16File(in, kMsinfoLimit));
    if (in.bad()) throw std::ios_base::failure("read");
  } catch (const std::exception&) {
    out << " **** MS System Information report COULD NOT BE READ.";
    return;
  }
  const bool bom = text.compare(0, 3, "\xEF\xBB\xBF") == 0;
  out.write(text.data() + (bom ? 3 : 0), static_cast<std::streamsize>(text.size() - (bom ? 3 : 0)));
}

}  // namespace

BOOL WriteSystemReport(const std::string& folder) {
  return WriteSystemReport(folder, SystemReportSources{});
}

BOOL WriteSystemReport(const std::string& folder, const SystemReportSources& sources) {
  // The files are opened here directly, so the folder takes the suite's
  // separator rule first: settings hold folders written with '\'.
  const std::string native = zor::platform::ToNativePath(folder);
  const std::string display = JoinPath(native, "dxdiagReport.txt");
  const std::string information = JoinPath(native, "msinfoReport.txt");
  // Reports left by an earlier run must not pass for today's: remove them,
  // and join only what this run wrote.
  ::unlink(display.c_str());
  ::unlink(information.c_str());
  const std::string displayText = DisplayReport(sources);
  const bool displayWritten =
      !displayText.empty() && WriteBytes(display, displayText.data(), displayText.size());
  const std::u16string informationText = SystemInformationReport(sources);
  const bool informationWritten =
      !informationText.empty() && WriteUtf16File(information, informationText);

  const std::string joined = JoinPath(native, "SystemReport.txt");
  std::ofstream out(joined, std::ios::binary | std::ios::trunc);
  if (!out) return 0;
  out << kDxdiagHeader;
  JoinDisplayReport(out, display, displayWritten);
  out << kMsinfoHeader;
  JoinSystemInformation(out, information, informationWritten);
  out << kEndLine;
  out.close();
  if (!out) return 0;
  ShellOpen(folder, "");
  return 1;
}
