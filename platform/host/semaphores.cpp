// Named semaphores: one namespace per machine, names compared with case, an
// object alive while anybody holds it.
#include "platform/host/sim_internal.h"

using sim::detail::Enter;
using sim::detail::Hex;
using sim::detail::M;
using sim::detail::Number;
using sim::detail::Text;

static bool LauncherHoldsSemaphore(const std::string& name) {
  for (const auto& [handle, held_name] : M().semaphore_handles) {
    if (held_name == name && M().open_handles.count(handle) == 1) return true;
  }
  return false;
}

namespace sim {
void HoldSemaphore(const std::string& name, int released_after_probes) {
  M().holds[name] = detail::Machine::Hold{true, released_after_probes};
}

void HoldOtherObject(const std::string& name) {
  M().holds[name] = detail::Machine::Hold{false, -1};
}

int OpenSemaphoreHandleCount() {
  int count = 0;
  for (const auto& entry : M().semaphore_handles)
    count += static_cast<int>(M().open_handles.count(entry.first));
  return count;
}

void EndLauncherProcess() {
  for (const auto& entry : M().semaphore_handles) M().open_handles.erase(entry.first);
  M().semaphore_handles.clear();
  // The library search is the process's own.
  M().default_dll_directories = 0;
  M().dll_directory_set = false;
  M().dll_directory.clear();
}
}  // namespace sim

HANDLE WINAPI CreateNamedSemaphore(LPSECURITY_ATTRIBUTES attributes, LONG initial_count,
                               LONG maximum_count, LPCSTR name) {
  if (Enter("CreateNamedSemaphore", {Hex(reinterpret_cast<uintptr_t>(attributes)),
                                 Number(initial_count), Number(maximum_count), Text(name)})) {
    return nullptr;
  }
  if (initial_count < 0 || maximum_count <= 0 || initial_count > maximum_count) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string key = name == nullptr ? "" : name;
  // A backslash names an object directory the launcher never has.
  if (key.find('\\') != std::string::npos) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return nullptr;
  }
  bool existed = false;
  if (!key.empty()) {
    auto hold = M().holds.find(key);
    if (hold != M().holds.end()) {
      if (!hold->second.semaphore) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
      }
      existed = true;
      if (hold->second.probes_left > 0 && --hold->second.probes_left == 0) M().holds.erase(hold);
    }
    existed = existed || LauncherHoldsSemaphore(key);
  }
  HANDLE handle = sim::detail::NewHandle();
  if (!key.empty()) M().semaphore_handles[reinterpret_cast<uintptr_t>(handle)] = key;
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

// Opening leaves the object as it is: another launcher's hold is not probed.
HANDLE WINAPI OpenNamedSemaphore(DWORD access, BOOL inherit, LPCSTR name) {
  if (Enter("OpenNamedSemaphore", {Hex(access), Number(inherit), Text(name)})) return nullptr;
  const std::string key = name == nullptr ? "" : name;
  auto hold = M().holds.find(key);
  if (hold != M().holds.end() && !hold->second.semaphore) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (key.empty() || (hold == M().holds.end() && !LauncherHoldsSemaphore(key))) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  return sim::detail::NewHandle();
}
