#include "system/registry/program_version.h"

#include <mutex>

#include "platform/version_resource.h"

namespace {

struct VersionState {
  std::mutex mutex;
  bool overridden = false;
  std::optional<ProgramVersionRecord> record;
};

VersionState& State() {
  static VersionState* state = new VersionState;  // never destroyed
  return *state;
}

bool CompiledIn(ProgramVersionRecord& record) {
  const zor::platform::VersionBlock& block = zor::platform::ProgramVersionBlock();
  const std::string prefix = "\\StringFileInfo\\040904B0\\";
  return block.Query(prefix + "ProductVersion", record.productVersion) &&
         block.Query(prefix + "FileVersion", record.fileVersion);
}

}  // namespace

bool GetProgramVersionRecord(ProgramVersionRecord& record) {
  VersionState& state = State();
  std::lock_guard<std::mutex> guard(state.mutex);
  if (!state.overridden) {
    ProgramVersionRecord found;
    if (!CompiledIn(found)) return false;
    record = found;
    return true;
  }
  if (!state.record) return false;
  record = *state.record;
  return true;
}

void OverrideProgramVersionRecord(std::optional<ProgramVersionRecord> record) {
  VersionState& state = State();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.overridden = true;
  state.record = std::move(record);
}

void ResetProgramVersionRecord() {
  VersionState& state = State();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.overridden = false;
  state.record.reset();
}
