// The exe's entry point with mingw-w64, in place of the C runtime's start-up
// code: the launcher needs none of it (no static constructors, no atexit, no
// argv), and leaving it out keeps the exe small. It hands WinMain what the
// runtime would, the command line in UTF-8, and ends the process with
// WinMain's result.
#include "launcher/command_line.h"
#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR arguments, int show);

// Kept through whole-program optimisation: only the exe header refers to it.
// (gcc's link-time optimisation needs to be told; lld tells clang's itself.)
#if defined(__clang__)
#define PRELAUNCH_ENTRY_KEPT __attribute__((used))
#else
#define PRELAUNCH_ENTRY_KEPT __attribute__((used, externally_visible))
#endif
extern "C" PRELAUNCH_ENTRY_KEPT
#if defined(__i386__)
    // Windows starts a thread with the stack aligned to 4 bytes only.
    __attribute__((force_align_arg_pointer))
#endif
    void
    WinMainCRTStartup() {
  STARTUPINFOA startup;
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
  int status = WinMain(GetModuleHandleA(nullptr), nullptr,
                       ArgumentsAfterProgramName(GetProcessCommandLine()), show);
  ExitProcess(static_cast<UINT>(status));
}
