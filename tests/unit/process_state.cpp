#include "process_state.h"

// Each is defined beside its state, in the host build only (PRELAUNCH_TESTING):
// the exe carries none of them.
void ResetTraceForTests();
void ResetMessageHookForTests();
void ResetIniForTests();
void ResetUtf8IniForTests();
void ResetLibrarySearchForTests();
void ResetSingleInstanceForTests();
void ResetThreadSlotForTests();
void ResetApplicationKeysForTests();
void ResetRefusedWritesForTests();
void ResetControlCodeHooksForTests();
void ResetSplashForTests();
void ResetReportForTests();

void ResetProcessStateForTests() {
  ResetTraceForTests();
  ResetMessageHookForTests();
  ResetIniForTests();
  ResetUtf8IniForTests();
  ResetLibrarySearchForTests();
  ResetSingleInstanceForTests();
  ResetApplicationKeysForTests();
  ResetRefusedWritesForTests();
  ResetControlCodeHooksForTests();
  ResetSplashForTests();
  ResetReportForTests();
}

void ResetSharedSectionForTests() { ResetThreadSlotForTests(); }
