#include "components/refused_writes.h"

constexpr DWORD kAccessDeniedStatus = 0x80070005;    // E_ACCESSDENIED
constexpr DWORD kRegistryAccessStatus = 0x8002801C;  // TYPE_E_REGISTRYACCESS

static int g_refused = 0;

int IsAccessDenied(LONG status) { return status == ERROR_ACCESS_DENIED; }

int IsRegistrationRefused(LONG status) {
  DWORD code = static_cast<DWORD>(status);
  return code == kAccessDeniedStatus || code == kRegistryAccessStatus;
}

void NoteRefusedWrite() { g_refused = 1; }

int WriteWasRefused() { return g_refused; }

// A new process's start values, for the host tests (tests/unit/process_state.h).
#if defined(PRELAUNCH_TESTING)
void ResetRefusedWritesForTests() { g_refused = 0; }
#endif
