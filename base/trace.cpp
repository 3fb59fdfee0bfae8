#include "base/trace.h"

#include "base/bounded_text.h"
#include "platform/win32.h"

static int g_trace_on = 0;
static DWORD g_trace_start = 0;

void TraceStart(int on) {
  g_trace_on = on;
  // Stamped even when off, so elapsed times always count from the start.
  g_trace_start = timeGetTime();
  TraceEvent("Application Start");
}

void TraceNamed(const char* lead, const char* name) {
  if (!g_trace_on) return;
  char line[kTraceLineCapacity];
  LONG elapsed = static_cast<LONG>(timeGetTime() - g_trace_start);
  FormatText(line, sizeof line, "CurrentTime: %08ld %s%s\n", static_cast<long>(elapsed), lead,
             name);
  WriteDebuggerText(line);
}

void TraceEvent(const char* text) { TraceNamed(text, ""); }

void TraceStop() {
  TraceEvent("Application Stop");
  g_trace_on = 0;
}

int IsTraceOn() { return g_trace_on; }

// A new process's start values, for the host tests (tests/unit/process_state.h).
#if defined(PRELAUNCH_TESTING)
void ResetTraceForTests() {
  g_trace_on = 0;
  g_trace_start = 0;
}
#endif
