#include "base/message.h"

#include "base/bounded_text.h"

static void (*g_before_message)() = nullptr;

void SetBeforeMessageHook(void (*before)()) { g_before_message = before; }

int ShowMessage(HWND owner, const char* text, const char* caption, UINT type) {
  if (g_before_message != nullptr) g_before_message();
  return ShowMessageBox(owner, text, caption, type);
}

void ShowCouldNotSetDirectory(const char* folder) {
  char message[kMessageCapacity];
  FormatText(message, sizeof message, "Could not set cwd to %s", folder);
  ShowMessage(nullptr, message, "GetPrivateProfileString", kMessageInformation);
}

// A new process's start values, for the host tests (tests/unit/process_state.h).
#if defined(PRELAUNCH_TESTING)
void ResetMessageHookForTests() { g_before_message = nullptr; }
#endif
