#include "tools/zordb_main.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <string_view>
#include <vector>

#include "database/blockfile/block_file.h"
#include "database/blockfile/block_file_dump.h"
#include "database/blockfile/report_file_exception.h"
#include "database/project/sample_database.h"
#include "platform/path_text.h"
#include "platform/safe_files.h"

namespace {

using zor::platform::File;
using zor::platform::FileException;

constexpr const char* kUsage =
    "usage: zordb [--database=\"FILE\"] [--mode=\"dump\"|\"make-sample\" [--overwrite]]\n"
    "       zordb --help\n";
constexpr const char* kHelp =
    "Shows the blocks and the history of a project database: the file named\n"
    "by --database, or the built-in sample without it. --mode=\"make-sample\"\n"
    "writes the sample to the file named by --database, which must not exist\n"
    "unless --overwrite is given.\n"
    "Exit status: 0 done; 1 a file cannot be opened, read or written, or is\n"
    "not a regular file, or make-sample would replace a file; 2 a wrong\n"
    "argument; 3 the database is damaged or the file does not look like a\n"
    "project database (the dump shows what can be read, and the damage is\n"
    "named on standard error).\n";

int FileError(std::FILE* err, FileException error, const std::string& path) {
  error.m_strFileName = path;
  std::fprintf(err, "zordb: %s\n", FileExceptionText(error).c_str());
  return kZordbFileError;
}

int FileError(std::FILE* err, int osError, const std::string& path) {
  return FileError(err, FileException(FileException::CauseFromErrno(osError), osError, path), path);
}

int NotARegularFile(std::FILE* err, const std::string& path) {
  std::fprintf(err, "zordb: %s is not a regular file\n", path.c_str());
  return kZordbFileError;
}

// Each element of argv is one argument of the suite's --name="value" form,
// the value the rest of the element (a pair of enclosing quotes removed).
// The elements are not joined into one line and parsed again: a quote in a
// file's name would end its value there and start arguments of its own
// (--database='x" --mode="make-sample' must not overwrite x). A later
// argument replaces an earlier one of the same name.
bool ParseArguments(int argc, char** argv, std::map<std::string, std::string>& args,
                    std::string& bad) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const std::size_t eq = arg.find('=');
    if (arg.rfind("--", 0) != 0 || eq == std::string::npos || eq == 2) {
      bad = arg;
      return false;
    }
    std::string value = arg.substr(eq + 1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    args[arg.substr(2, eq - 2)] = value;
  }
  return true;
}

int MakeSample(const std::string& path, bool overwrite, std::FILE* err) {
  // A project in the sample's place is never replaced unasked: without
  // --overwrite the sample goes only where no file (or link) has the name.
  FileException error;
  try {
    if (WriteSampleDatabase(path, &error, overwrite)) return kZordbOk;
  } catch (const FileException& e) {
    error = e;
  }
  switch (error.m_lOsError) {
    case EEXIST:
      std::fprintf(err, "zordb: %s exists; --overwrite replaces it with the sample\n",
                   path.c_str());
      return kZordbFileError;
    case EISDIR:
      std::fprintf(err, "zordb: %s is a folder\n", path.c_str());
      return kZordbFileError;
    case ENXIO:
    case ELOOP:
      return NotARegularFile(err, path);
    default:
      return FileError(err, error, path);
  }
}

// A file whose count no database holds and whose first block is of no type
// any version writes, or does not fit: a text or some other file, not a
// damaged database.
bool LooksLikeNoDatabase(CBlockFile& file) {
  int32_t count = 0;
  BlockHeader first{};
  file.Seek(0, File::begin);
  const uint32_t got = file.Read(&count, sizeof count);
  if (got != sizeof count || (count >= 0 && count <= kMaxFindBlockCount)) return false;
  if (file.Read(&first, sizeof first) != sizeof first) return true;
  const uint64_t length = file.GetLength();
  return first.type > kLastBlockType || first.size > length - 4 - sizeof first;
}

// The sample is written to a temporary file and dumped from there: the
// bytes are those of examples/sample.zdb, wherever the tool is installed.
int DumpSample(std::FILE* out, std::FILE* err) {
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
  std::string path = (ec ? std::filesystem::path("/tmp") : folder) / "zordb-sample-XXXXXX";
  const int fd = ::mkstemp(path.data());
  if (fd < 0) {
    std::fprintf(err, "zordb: cannot create a temporary file for the sample\n");
    return kZordbFileError;
  }
  ::close(fd);
  std::fprintf(err, "zordb: no --database given; showing the sample database\n");
  int status = MakeSample(path, true, err);
  if (status == kZordbOk) status = DumpDatabaseFile(path, out, err);
  File::Remove(path);
  return status;
}

}  // namespace

int DumpDatabaseFile(const std::string& path, std::FILE* out, std::FILE* err) {
  // The name as every file operation of the suite takes it: '\' separates
  // folders as '/' does (make-sample opens the same name).
  const std::string native = zor::platform::ToNativePath(path);
  struct stat st;
  if (::stat(native.c_str(), &st) != 0) return FileError(err, errno, path);
  if (!S_ISREG(st.st_mode)) return NotARegularFile(err, path);
  // Something else may take the name's place meanwhile: the open does not
  // wait (for a FIFO's writer), the descriptor is checked again, and the
  // file read is the one checked, opened anew through the descriptor.
  const zor::platform::UniqueFd fd(::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) return FileError(err, errno, path);
  if (::fstat(fd.get(), &st) != 0) return FileError(err, errno, path);
  if (!S_ISREG(st.st_mode)) return NotARegularFile(err, path);
  CBlockFile file;
  FileException error;
  // Read as the suite's programs read a database: a writer at work on it is
  // a sharing violation, not a dump of a file half written.
  if (!file.Open("/proc/self/fd/" + std::to_string(fd.get()), File::modeRead | File::shareDenyWrite,
                 &error)) {
    return FileError(err, error, path);
  }
  DumpDamage damage;
  try {
    damage = DumpBlockFileText(file, [out](std::string_view text) {
      std::fwrite(text.data(), 1, text.size(), out);
    });
  } catch (const FileException& e) {
    std::fflush(out);
    return FileError(err, e, path);
  }
  if (std::fflush(out) != 0 || std::ferror(out)) {
    std::fprintf(err, "zordb: cannot write the dump of %s: %s\n", path.c_str(),
                 std::strerror(errno));
    return kZordbFileError;
  }
  if (damage) {
    bool foreign = false;
    try {
      foreign = LooksLikeNoDatabase(file);
    } catch (const FileException& e) {
      return FileError(err, e, path);
    }
    if (foreign) {
      std::fprintf(err, "zordb: %s does not look like a project database\n", path.c_str());
    } else {
      std::fprintf(err, "zordb: %s: %s\n", path.c_str(), DescribeDumpDamage(damage).c_str());
    }
    return kZordbDamaged;
  }
  return kZordbOk;
}

int RunZordb(int argc, char** argv, std::FILE* out, std::FILE* err) {
  bool overwrite = false;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      errno = 0;
      std::fprintf(out, "%s%s", kUsage, kHelp);
      if (std::fflush(out) == 0 && !std::ferror(out)) return kZordbOk;
      std::fprintf(err, "zordb: cannot write the help: %s\n", std::strerror(errno ? errno : EIO));
      return kZordbFileError;
    }
    if (i > 0 && arg == "--overwrite") {
      overwrite = true;
      continue;
    }
    rest.push_back(argv[i]);
  }
  argc = static_cast<int>(rest.size());
  argv = rest.data();
  std::map<std::string, std::string> args;
  std::string bad;
  if (!ParseArguments(argc, argv, args, bad)) {
    std::fprintf(err, "zordb: not an argument of the form --name=\"value\": %s\n%s", bad.c_str(),
                 kUsage);
    return kZordbUsage;
  }
  for (const auto& [name, value] : args) {
    if (name != "mode" && name != "database") {
      std::fprintf(err, "zordb: unknown argument --%s\n%s", name.c_str(), kUsage);
      return kZordbUsage;
    }
  }
  const std::string mode = args.count("mode") ? args["mode"] : "dump";
  const auto database = args.find("database");
  if (mode == "make-sample") {
    if (database == args.end() || database->second.empty()) {
      std::fprintf(err, "zordb: --mode=\"make-sample\" needs --database=\"OUT\"\n%s", kUsage);
      return kZordbUsage;
    }
    return MakeSample(database->second, overwrite, err);
  }
  if (overwrite) {
    std::fprintf(err, "zordb: --overwrite goes with --mode=\"make-sample\"\n%s", kUsage);
    return kZordbUsage;
  }
  if (mode != "dump") {
    std::fprintf(err, "zordb: unknown mode \"%s\"\n%s", mode.c_str(), kUsage);
    return kZordbUsage;
  }
  if (database == args.end()) return DumpSample(out, err);
  if (database->second.empty()) {
    std::fprintf(err, "zordb: --database names no file\n%s", kUsage);
    return kZordbUsage;
  }
  return DumpDatabaseFile(database->second, out, err);
}
