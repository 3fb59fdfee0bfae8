#include "components/control_code_hooks.h"

static void (*g_before)() = nullptr;
static void (*g_after)() = nullptr;

void SetControlCodeHooks(void (*before)(), void (*after)()) {
  g_before = before;
  g_after = after;
}

void BeforeControlCode() {
  if (g_before != nullptr) g_before();
}

void AfterControlCode() {
  if (g_after != nullptr) g_after();
}

// A new process's start values, for the host tests (tests/unit/process_state.h).
#if defined(PRELAUNCH_TESTING)
void ResetControlCodeHooksForTests() {
  g_before = nullptr;
  g_after = nullptr;
}
#endif
