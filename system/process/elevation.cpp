#include "system/process/elevation.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "system/process/parameter_text.h"
#include "system/process/process_helpers.h"

bool IsUserAdministrator() { return ::geteuid() == 0; }

bool HasRequiredPrivileges() {
  __user_cap_header_struct header{};
  header.version = _LINUX_CAPABILITY_VERSION_3;
  header.pid = 0;
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (::syscall(SYS_capget, &header, data) != 0) return false;
  auto permitted = [&](int capability) {
    return (data[CAP_TO_INDEX(capability)].permitted & CAP_TO_MASK(capability)) != 0;
  };
  return permitted(CAP_SYS_TIME) && permitted(CAP_SYS_NICE);
}

bool RunElevated(const std::string& program, const std::string& parameters,
                 ProcessHandle* process) {
  if (!HasRequiredPrivileges()) return false;
  ProcessHandle started = StartProcessWithArgs(program, SplitParameters(parameters), nullptr);
  const bool ok = static_cast<bool>(started);
  if (process != nullptr) *process = std::move(started);
  return ok;
}
