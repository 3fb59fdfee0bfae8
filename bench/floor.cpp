// The floor of the launcher's visible job: show the splash bitmap in a popup
// window, start the program named on the command line, wait for it, end.
// Built with the launcher's own flags, it is what the benchmark compares the
// launcher with; floor_nobitmap is the same program without its bitmap.
#include <windows.h>

// The bitmap's number in floor.rc, as in the launcher's resource script.
static const WORD kSplashBitmap = 103;

// What follows the program's own name (quoted or not) on its command line.
static char* Arguments(char* line) {
  if (*line == '"') {
    ++line;
    while (*line != '\0' && *line != '"') ++line;
    if (*line == '"') ++line;
  } else {
    while (*line > ' ') ++line;
  }
  while (*line == ' ' || *line == '\t') ++line;
  return line;
}

// The launcher's link options leave out the C runtime's start-up code, so
// the floor has its own entry point, as the launcher does.
extern "C" __attribute__((used, externally_visible)) void WinMainCRTStartup() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  // Without its bitmap the floor shows nothing, as the launcher does.
  HBITMAP bitmap = LoadBitmapA(instance, MAKEINTRESOURCEA(kSplashBitmap));
  BITMAP size;
  if (bitmap != nullptr && GetObjectA(bitmap, sizeof size, &size) != 0) {
    HWND splash =
        CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, "STATIC", nullptr, WS_POPUP | SS_BITMAP,
                        (GetSystemMetrics(SM_CXSCREEN) - size.bmWidth) / 2,
                        (GetSystemMetrics(SM_CYSCREEN) - size.bmHeight) / 2, size.bmWidth,
                        size.bmHeight, nullptr, nullptr, instance, nullptr);
    if (splash != nullptr) {
      SendMessageA(splash, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
      ShowWindow(splash, SW_SHOW);
      UpdateWindow(splash);
    }
  }
  STARTUPINFOA startup;
  GetStartupInfoA(&startup);
  PROCESS_INFORMATION process;
  if (!CreateProcessA(nullptr, Arguments(GetCommandLineA()), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    ExitProcess(1);
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  ExitProcess(0);
}
