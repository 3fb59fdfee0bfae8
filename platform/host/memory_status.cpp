// The memory figures: the 32-bit MEMORYSTATUS record and the 64-bit
// MEMORYSTATUSEX one.
#include "platform/host/sim_internal.h"

using sim::detail::M;

namespace {
// What GlobalMemoryStatus reports of a larger figure to a program that is not
// large-address-aware.
constexpr uint64_t kClamped32 = 0x7FFFFFFF;

DWORD Clamp(uint64_t bytes) { return static_cast<DWORD>(bytes < kClamped32 ? bytes : kClamped32); }
}  // namespace

namespace sim {
void SetFreeMemory(DWORD available_physical, DWORD available_page_file) {
  M().available_physical = available_physical;
  M().available_page_file = available_page_file;
  M().available_physical64 = available_physical;
  M().available_page_file64 = available_page_file;
}

void SetFreeMemory64(uint64_t available_physical, uint64_t available_page_file) {
  M().available_physical64 = available_physical;
  M().available_page_file64 = available_page_file;
  M().available_physical = Clamp(available_physical);
  M().available_page_file = Clamp(available_page_file);
}
}  // namespace sim

void WINAPI GlobalMemoryStatus(LPMEMORYSTATUS status) {
  sim::detail::Note("GlobalMemoryStatus", {sim::detail::Number(status->dwLength)});
  const sim::detail::Machine& m = M();
  status->dwMemoryLoad = 50;
  status->dwTotalPhys = m.available_physical;
  status->dwAvailPhys = m.available_physical;
  status->dwTotalPageFile = m.available_page_file;
  status->dwAvailPageFile = m.available_page_file;
  status->dwTotalVirtual = 0x7FFE0000;
  status->dwAvailVirtual = 0x7FFE0000;
}

BOOL WINAPI GlobalMemoryStatusEx(LPMEMORYSTATUSEX status) {
  if (sim::detail::Enter("GlobalMemoryStatusEx", {sim::detail::Number(status->dwLength)}))
    return FALSE;
  if (status->dwLength != sizeof(MEMORYSTATUSEX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const sim::detail::Machine& m = M();
  status->dwMemoryLoad = 50;
  status->ullTotalPhys = m.available_physical64;
  status->ullAvailPhys = m.available_physical64;
  status->ullTotalPageFile = m.available_page_file64;
  status->ullAvailPageFile = m.available_page_file64;
  status->ullTotalVirtual = 0x7FFE0000;
  status->ullAvailVirtual = 0x7FFE0000;
  status->ullAvailExtendedVirtual = 0;
  return TRUE;
}
