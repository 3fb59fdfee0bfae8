#include "process_state.h"

// Each is defined beside its state, in the host build only (PRELAUNCH_TESTING):
// the exe carries none of them.
void ResetTraceForTests();
void ResetMessageHookForTests();
void ResetIniForTests();
void ResetSingleInstanceForTests();
void ResetThreadSlotForTests();
void ResetApplicationKeysForTests();
void ResetRefusedWritesForTests();
void ResetSplashForTests();

void ResetProcessStateForTests() {
  ResetTraceForTests();
  ResetMessageHookForTests();
  ResetIniForTests();
  ResetSingleInstanceForTests();
  ResetApplicationKeysForTests();
  ResetRefusedWritesForTests();
  ResetSplashForTests();
}

void ResetSharedSectionForTests() { ResetThreadSlotForTests(); }
