// Opens a minidump in lldb (when installed) and returns what it printed.
//
//   auto out = RunLldbOnCore(path, {"thread list", "bt"});
//   if (!out) GTEST_SKIP() << "lldb is not installed";
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

inline bool LldbInstalled() { return std::system("which lldb >/dev/null 2>&1") == 0; }

// Standard output of `lldb -c <core> --batch -o <command>...`; nullopt when
// lldb is not installed.
inline std::optional<std::string> RunLldbOnCore(const std::string& core,
                                                const std::vector<std::string>& commands) {
  if (!LldbInstalled()) return std::nullopt;
  // Bounded, and with no input to wait for should it stop at a prompt.
  std::string line = "timeout -k 5 60 lldb --no-lldbinit -c '" + core + "' --batch";
  for (const std::string& c : commands) line += " -o '" + c + "'";
  line += " </dev/null 2>/dev/null";
  std::string out;
  if (FILE* pipe = ::popen(line.c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    ::pclose(pipe);
  }
  return out;
}
