#include "checks/single_instance.h"

#include <cstdint>
#include <cstring>

#include "base/bounded_text.h"
#include "base/message.h"
#include "base/trace.h"
#include "checks/thread_slot.h"
#include "config/ini.h"
#include "config/keys.h"

constexpr size_t kPromptCapacity = 260;
constexpr size_t kMatchLineCapacity = 260;

// What is left of each 259-character text for its variable parts once the
// fixed words are in: the prompt's 62 characters and the match line's 49
// (with the handle's eight digits).
constexpr int kPromptNameRoom = 197;
constexpr int kMatchTextRoom = 210;
constexpr char kQuestion[] = "Would you like to try running it anyway ?";

constexpr UINT kRaiseOnly = SWP_NOMOVE | SWP_NOSIZE | SWP_ASYNCWINDOWPOS;

constexpr LONG kMarkerInitialCount = 0;
constexpr LONG kMarkerMaximumCount = 1;

// Held until the process ends; the system closes it then.
static HANDLE g_instance_marker = nullptr;

static int Shorter(int length, int room) { return length < room ? length : room; }

// The class name is what identifies the window, so the title gives way first.
static void TraceMatch(HWND window, const char* class_name, const char* title) {
  char line[kMatchLineCapacity];
  int class_length = Shorter(static_cast<int>(strlen(class_name)), kMatchTextRoom);
  int title_length = Shorter(static_cast<int>(strlen(title)), kMatchTextRoom - class_length);
  // Window handles carry 32 significant bits on every Windows.
  unsigned long handle = static_cast<DWORD>(reinterpret_cast<uintptr_t>(window));
  FormatText(line, sizeof line, "ShowWindow hwnd: %08lx ClassName: %.*s\n WinText: %.*s\n", handle,
             class_length, class_name, title_length, title);
  TraceEvent(line);
}

BOOL CALLBACK ActivateAppWindowProc(HWND window, LPARAM value) {
  char class_name[kWindowTextCapacity];
  if (GetWindowClassName(window, class_name, sizeof class_name) == 0) return TRUE;
  char win_class[kWindowTextCapacity];
  if (GetIniString(kApplicationSection, kWinClassKey, win_class, sizeof win_class, 0) == 0)
    return TRUE;
  if (!EqualsNoCase(class_name, win_class)) return TRUE;
  char win_text[kWindowTextCapacity];
  if (GetIniString(kApplicationSection, kWinTextKey, win_text, sizeof win_text, 1) == 0)
    return TRUE;
  char title[kWindowTextCapacity];
  if (GetWindowTitle(window, title, sizeof title) == 0) title[0] = '\0';
  if (title[0] != '\0' && strstr(title, win_text) == nullptr) return TRUE;

  *reinterpret_cast<DWORD*>(value) = 1;
  TraceMatch(window, class_name, title);
  // The asynchronous forms: a frozen application must not freeze this launcher.
  if (IsIconic(window)) {
    ShowWindowAsync(window, SW_SHOWNOACTIVATE);
  } else {
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, kRaiseOnly);
  }
  SetForegroundWindow(window);
  return FALSE;
}

// A name too long for the prompt is cut so that the question still shows.
static int AskToTryAnyway(const char* application_name) {
  char prompt[kPromptCapacity];
  FormatText(prompt, sizeof prompt, "%.*s is already running.\n%s", kPromptNameRoom,
             application_name, kQuestion);
  return ShowMessage(nullptr, prompt, "Error", kMessageRetryCancel);
}

int IsAlreadyRunning() {
  char application_name[kMarkerNameCapacity];
  if (ReadApplicationName(application_name, sizeof application_name) == 0) return 1;
  for (;;) {
    g_instance_marker =
        CreateNamedSemaphore(nullptr, kMarkerInitialCount, kMarkerMaximumCount, application_name);
    if (g_instance_marker == nullptr) return 0;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return 0;
    CloseHandle(g_instance_marker);
    g_instance_marker = nullptr;

    // 0: no launcher of this file has started its application yet. The
    // platform may take 0 as every thread, and bring another program's
    // window of the class forward.
    DWORD thread_id = LoadSharedThreadId();
    DWORD found = 0;
    if (thread_id != 0)
      EnumThreadWindows(thread_id, ActivateAppWindowProc, reinterpret_cast<LPARAM>(&found));
    if (found == 1) return 1;
    if (AskToTryAnyway(application_name) != IDRETRY) return 1;
  }
}

// A new process's start values, for the host tests (tests/unit/process_state.h).
#if defined(PRELAUNCH_TESTING)
void ResetSingleInstanceForTests() { g_instance_marker = nullptr; }
#endif
