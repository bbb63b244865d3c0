#include "system/registry/registry_diagnostics.h"

#include <cstdio>
#include <mutex>
#include <string>

#include "core/log/logger.h"
#include "platform/registry_store.h"

namespace {

void LogRegistryProblem(const std::string& message) {
  // A problem with the settings must not go unseen while the log is off.
  if (!IsLogLevelEnabled(LogLevel::Error)) {
    std::fprintf(stderr, "zor registry: %s\n", message.c_str());
    return;
  }
  Log(LogLevel::Error, "Registry: %s", message.c_str());
}

}  // namespace

void EnsureRegistryDiagnostics() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (zor::platform::GetRegistryDiagnosticSink() == nullptr)
      zor::platform::SetRegistryDiagnosticSink(&LogRegistryProblem);
  });
}
