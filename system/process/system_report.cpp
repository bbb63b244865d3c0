#include "system/process/system_report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <streambuf>
#include <string_view>
#include <thread>
#include <vector>

#include "core/text/code_page.h"
#include "core/text/utf.h"
#include "platform/path_text.h"
#include "platform/safe_files.h"
#include "system/files/file_helpers.h"
#include "system/process/shell_open.h"
#include "system/process/utf16_stream.h"

namespace {

using zor::platform::CreateFresh;
using zor::platform::UniqueFd;

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

// The bytes of a regular file, at most `limit` of them (files under /proc
// and /sys give no size, so the reading decides). Opened without waiting and
// read only when regular: a pipe or device in a source's place is skipped,
// never waited for.
bool ReadSource(const std::string& path, std::string& out, std::size_t limit = kSourceLimit) {
  out.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat info {};
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  std::array<char, 16 * 1024> chunk;
  while (ok && out.size() < limit) {
    const ssize_t n = ::read(fd, chunk.data(), std::min(chunk.size(), limit - out.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    out.append(chunk.data(), static_cast<std::size_t>(n));
  }
  ::close(fd);
  return ok;
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

// How long the kernel lets a lease holder take to let go before it breaks
// the lease itself, and a second more.
std::chrono::seconds LeaseBreakTime() {
  std::string text;
  long seconds = 45;  // the kernel's default
  if (ReadSource("/proc/sys/fs/lease-break-time", text, 32)) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (end != text.c_str() && value >= 0 && value < 3600) seconds = value;
  }
  return std::chrono::seconds(seconds + 1);
}

// Opens a report file as a regular file or not at all. Without waiting, so
// that a pipe in a report's place (one left there that cannot be removed, or
// put there meanwhile) fails at once instead of waiting for its other end;
// a pipe, device or folder is never written or read. A regular file that
// another process holds a lease on (a file server's) refuses such an open
// where a waiting one would wait for the holder to let go; the refused open
// has asked it to, so it is tried again for as long as the kernel gives a
// holder before it breaks the lease.
int OpenRegularFile(const std::string& path, int flags) {
  const auto open = [&path, flags] {
    const zor::platform::AsRealUser as;  // the user's file, in a set-user-id program too
    if (!as.ok()) {
      errno = EPERM;
      return -1;
    }
    return ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  };
  int fd = open();
  if (fd < 0 && errno == EWOULDBLOCK) {
    const auto deadline = std::chrono::steady_clock::now() + LeaseBreakTime();
    do {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      fd = open();
    } while (fd < 0 && errno == EWOULDBLOCK && std::chrono::steady_clock::now() < deadline);
  }
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// A symbolic link in a report's place is refused, never followed: its
// target, anywhere, would be overwritten. The old report is cut through the
// descriptor once it is known to be a regular file, never by the open.
constexpr int kCreate = O_WRONLY | O_CREAT | O_NOFOLLOW;

// Writes everything given to it while it can; `ok` says whether it could.
struct Output {
  int fd;
  bool ok = true;
  void Put(const char* bytes, std::size_t size) {
    while (ok && size > 0) {
      const ssize_t n = ::write(fd, bytes, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ok = false;
        return;
      }
      bytes += n;
      size -= static_cast<std::size_t>(n);
    }
  }
  void Put(std::string_view text) { Put(text.data(), text.size()); }
  // Closes the file; false when anything was lost.
  bool Close() { return ::close(fd) == 0 && ok; }
};

// Writes a report of this run into a file made for it and keeps the
// descriptor, from the start, for the join: the name is never opened again,
// so whatever is put in its place meanwhile (a link to a private file) is
// never read. Nothing when the file cannot be made or written whole.
UniqueFd WriteReport(const std::string& path, const char* data, std::size_t size) {
  UniqueFd fd(CreateFresh(path.c_str(), O_RDWR, 0666));
  if (!fd) return fd;
  Output out{fd.get()};
  out.Put(data, size);
  if (!out.ok || ::lseek(fd.get(), 0, SEEK_SET) != 0) fd.reset();
  return fd;
}

UniqueFd WriteUtf16Report(const std::string& path, const std::u16string& text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (const char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return WriteReport(path, bytes.data(), bytes.size());
}

// A report's descriptor, read as a stream straight from the
// file that was checked: no copy of its bytes is held beside what is read
// from them. `failed` tells a read error from the end of the file.
class ReportBuffer : public std::streambuf {
 public:
  explicit ReportBuffer(int fd) : fd_(fd) {}
  bool failed() const noexcept { return failed_; }

 protected:
  int_type underflow() override {
    ssize_t n = 0;
    do {
      n = ::read(fd_, chunk_.data(), chunk_.size());
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
      failed_ = failed_ || n < 0;
      return traits_type::eof();
    }
    setg(chunk_.data(), chunk_.data(), chunk_.data() + n);
    return traits_type::to_int_type(chunk_[0]);
  }
  pos_type seekoff(off_type offset, std::ios_base::seekdir from, std::ios_base::openmode) override {
    if (from == std::ios_base::cur) offset -= egptr() - gptr();  // read ahead, not yet taken
    const int whence = from == std::ios_base::beg ? SEEK_SET
                       : from == std::ios_base::cur ? SEEK_CUR
                                                    : SEEK_END;
    setg(nullptr, nullptr, nullptr);
    const off_t at = ::lseek(fd_, offset, whence);
    return at < 0 ? pos_type(off_type(-1)) : pos_type(at);
  }
  pos_type seekpos(pos_type at, std::ios_base::openmode which) override {
    return seekoff(off_type(at), std::ios_base::beg, which);
  }

 private:
  int fd_;
  bool failed_ = false;
  std::array<char, 64 * 1024> chunk_;
};

// Copies the display report as it is, chunk by chunk, while the joined file
// takes it. Only the file this run wrote (`in`) is read: anything else in
// its place (a folder, an earlier run's file that could not be removed)
// could not be read.
void JoinDisplayReport(Output& out, const std::string& path, const UniqueFd& in) {
  if (!in && !Exists(path)) {
    out.Put(" **** DirectX report NOT FOUND.");
    return;
  }
  std::array<char, 64 * 1024> chunk;
  ssize_t n = in ? 0 : -1;
  while (in && out.ok) {
    n = ::read(in.get(), chunk.data(), chunk.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    out.Put(chunk.data(), static_cast<std::size_t>(n));
  }
  if (n < 0) out.Put(" **** DirectX report COULD NOT BE READ.");
}

// Joins the UTF-16 report as UTF-8, without its byte-order mark; only a
// file this run wrote, as above.
void JoinSystemInformation(Output& out, const std::string& path, const UniqueFd& file) {
  if (!out.ok) return;  // nothing more reaches the joined file
  if (!file && !Exists(path)) {
    out.Put(" **** MS System Information report NOT FOUND.");
    return;
  }
  std::string text;
  try {
    if (!file) throw std::ios_base::failure("open");
    ReportBuffer buffer(file.get());
    std::istream in(&buffer);
    text = Utf16ToUtf8(ReadUtf16File(in, kMsinfoLimit));
    if (buffer.failed()) throw std::ios_base::failure("read");
  } catch (const std::exception&) {
    out.Put(" **** MS System Information report COULD NOT BE READ.");
    return;
  }
  const bool bom = text.compare(0, 3, "\xEF\xBB\xBF") == 0;
  out.Put(text.data() + (bom ? 3 : 0), text.size() - (bom ? 3 : 0));
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
  {
    const zor::platform::AsRealUser as;
    if (!as.ok()) return 0;
    ::unlink(display.c_str());
    ::unlink(information.c_str());
  }
  const std::string displayText = DisplayReport(sources);
  const UniqueFd displayFile =
      displayText.empty() ? UniqueFd() : WriteReport(display, displayText.data(), displayText.size());
  const std::u16string informationText = SystemInformationReport(sources);
  const UniqueFd informationFile =
      informationText.empty() ? UniqueFd() : WriteUtf16Report(information, informationText);

  const std::string joined = JoinPath(native, "SystemReport.txt");
  const int fd = OpenRegularFile(joined, kCreate);
  if (fd < 0) return 0;
  if (::ftruncate(fd, 0) != 0) {
    ::close(fd);
    return 0;
  }
  Output out{fd};
  out.Put(kDxdiagHeader);
  JoinDisplayReport(out, display, displayFile);
  out.Put(kMsinfoHeader);
  JoinSystemInformation(out, information, informationFile);
  out.Put(kEndLine);
  if (!out.Close()) return 0;
  ShellOpen(folder, "");
  return 1;
}
