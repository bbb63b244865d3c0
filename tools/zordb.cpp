// zordb: shows what a project database file holds.
//
//   zordb --database="/data/survey.zdb"        the block and history dump
//   zordb                                     the dump of the built-in sample
//   zordb --mode="make-sample" --database="out.zdb"   writes the sample file
//
// Arguments follow the suite's --name="value" convention; the shell's
// quoting is put back before they are parsed, so a value may hold blanks.
// Errors are one line on standard error and exit status 1; a wrong argument
// exits with 2.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "database/blockfile/block_file.h"
#include "database/blockfile/report_file_exception.h"
#include "database/blockfile/sample_database.h"
#include "system/os/command_line.h"

namespace {

using zor::platform::File;
using zor::platform::FileException;

constexpr const char* kUsage =
    "usage: zordb [--database=\"FILE\"] [--mode=\"dump\"|\"make-sample\"]\n";

// argv back to the convention's one line: --name="value" for each argument.
bool JoinArguments(int argc, char** argv, std::string& line, std::string& bad) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const std::size_t eq = arg.find('=');
    if (arg.rfind("--", 0) != 0 || eq == std::string::npos || eq == 2) {
      bad = arg;
      return false;
    }
    std::string value = arg.substr(eq + 1);
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') value = '"' + value + '"';
    line += arg.substr(0, eq + 1) + value + ' ';
  }
  return true;
}

int Dump(const std::string& path) {
  CBlockFile file;
  FileException error;
  if (!file.Open(path, File::modeRead | File::shareDenyWrite, &error)) {
    std::fprintf(stderr, "zordb: %s\n", FileExceptionText(error).c_str());
    return 1;
  }
  std::vector<std::string> lines;
  try {
    file.DumpBlockFile(lines);
  } catch (const FileException& e) {
    std::fprintf(stderr, "zordb: %s\n", FileExceptionText(e).c_str());
    return 1;
  }
  for (const std::string& line : lines) std::printf("%s\n", line.c_str());
  return 0;
}

int MakeSample(const std::string& path) {
  FileException error;
  try {
    if (WriteSampleDatabase(path, &error)) return 0;
  } catch (const FileException& e) {
    error = e;
  }
  std::fprintf(stderr, "zordb: %s\n", FileExceptionText(error).c_str());
  return 1;
}

// The sample is written to a temporary file and dumped from there: the
// bytes are those of examples/sample.zdb, wherever the tool is installed.
int DumpSample() {
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
  std::string path = (ec ? std::filesystem::path("/tmp") : folder) / "zordb-sample-XXXXXX";
  const int fd = ::mkstemp(path.data());
  if (fd < 0) {
    std::fprintf(stderr, "zordb: cannot create a temporary file for the sample\n");
    return 1;
  }
  ::close(fd);
  std::fprintf(stderr, "zordb: no --database given; showing the sample database\n");
  int status = MakeSample(path);
  if (status == 0) status = Dump(path);
  File::Remove(path);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::string line;
  std::string bad;
  if (!JoinArguments(argc, argv, line, bad)) {
    std::fprintf(stderr, "zordb: not an argument of the form --name=\"value\": %s\n%s",
                 bad.c_str(), kUsage);
    return 2;
  }
  std::map<std::string, std::string> args;
  ParseCommandLine(args, line);
  for (const auto& [name, value] : args) {
    if (name != "mode" && name != "database") {
      std::fprintf(stderr, "zordb: unknown argument --%s\n%s", name.c_str(), kUsage);
      return 2;
    }
  }
  const std::string mode = args.count("mode") ? args["mode"] : "dump";
  const auto database = args.find("database");
  if (mode == "make-sample") {
    if (database == args.end() || database->second.empty()) {
      std::fprintf(stderr, "zordb: --mode=\"make-sample\" needs --database=\"OUT\"\n%s", kUsage);
      return 2;
    }
    return MakeSample(database->second);
  }
  if (mode != "dump") {
    std::fprintf(stderr, "zordb: unknown mode \"%s\"\n%s", mode.c_str(), kUsage);
    return 2;
  }
  if (database == args.end()) return DumpSample();
  if (database->second.empty()) {
    std::fprintf(stderr, "zordb: --database names no file\n%s", kUsage);
    return 2;
  }
  return Dump(database->second);
}
