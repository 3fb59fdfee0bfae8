#include "components/control_code_hooks.h"

static void (*g_hook)(int) = nullptr;

void SetControlCodeHook(void (*hook)(int returning)) { g_hook = hook; }

void AroundControlCode(int returning) {
  if (g_hook != nullptr) g_hook(returning);
}

// A new process's start values, for the host tests (tests/unit/process_state.h).
#if defined(PRELAUNCH_TESTING)
void ResetControlCodeHooksForTests() {
  g_hook = nullptr;
}
#endif
