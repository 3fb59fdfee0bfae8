// The memory figures of the 32-bit MEMORYSTATUS record.
#include "platform/host/sim_internal.h"

using sim::detail::M;

namespace sim {
void SetFreeMemory(DWORD available_physical, DWORD available_page_file) {
  M().available_physical = available_physical;
  M().available_page_file = available_page_file;
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
