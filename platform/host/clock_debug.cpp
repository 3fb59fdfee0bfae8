// The millisecond clock and the debugger output.
#include "platform/host/sim_internal.h"

using sim::detail::M;

namespace sim {
void SetClock(DWORD milliseconds) { M().clock = milliseconds; }
void SetClockStep(DWORD milliseconds_per_read) { M().clock_step = milliseconds_per_read; }
void AdvanceClock(DWORD milliseconds) { M().clock += milliseconds; }
const std::vector<std::string>& DebugOutput() { return M().debug_output; }
}  // namespace sim

DWORD WINAPI timeGetTime(void) {
  DWORD now = M().clock;
  M().clock += M().clock_step;
  return now;
}

void WINAPI WriteDebuggerText(LPCSTR text) {
  sim::detail::Note("WriteDebuggerText", {sim::detail::Text(text)});
  M().debug_output.push_back(sim::detail::Text(text));
}
