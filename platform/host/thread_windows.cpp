// Top-level windows of other threads, their class names, titles and state,
// and the activation calls the launcher makes on them.
#include <algorithm>

#include "platform/host/sim_internal.h"

using sim::detail::Enter;
using sim::detail::Hex;
using sim::detail::M;
using sim::detail::Note;
using sim::detail::Number;

constexpr uintptr_t kFirstWindow = 0x20000;

static uintptr_t Value(HWND window) { return reinterpret_cast<uintptr_t>(window); }

static sim::detail::Machine::ThreadWindow* Find(HWND window) {
  for (auto& known : M().thread_windows) {
    if (known.handle == window) return &known;
  }
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return nullptr;
}

namespace sim {
HWND AddThreadWindow(const WindowSetup& setup) {
  HWND handle = reinterpret_cast<HWND>(kFirstWindow + 4 * M().thread_windows.size());
  M().thread_windows.push_back(detail::Machine::ThreadWindow{handle, setup});
  return handle;
}

HWND CreateThreadWindow(const WindowSetup& setup) {
  const auto& known = M().thread_windows;
  const bool first =
      std::none_of(known.begin(), known.end(), [&](const detail::Machine::ThreadWindow& window) {
        return window.setup.thread_id == setup.thread_id;
      });
  // The thread's first window brings the system's input method window, which stays below.
  if (first) AddThreadWindow({setup.thread_id, "IME", "Default IME"});
  HWND handle = AddThreadWindow(setup);
  std::rotate(M().thread_windows.begin(), M().thread_windows.end() - 1, M().thread_windows.end());
  return handle;
}

bool WindowIsIconic(HWND window) {
  const auto* found = Find(window);
  return found != nullptr && found->setup.iconic;
}

HWND ForegroundWindow() { return M().foreground; }
HWND TopWindow() { return M().top; }
}  // namespace sim

// TRUE only when the callback said TRUE for every window; no window counts as FALSE.
// Thread 0 filters nothing: Wine then hands over every top-level window.
BOOL WINAPI EnumThreadWindows(DWORD thread_id, WNDENUMPROC callback, LPARAM value) {
  if (Enter("EnumThreadWindows", {Number(thread_id), Hex(static_cast<uintptr_t>(value))}))
    return FALSE;
  std::vector<HWND> handed;
  for (const auto& window : M().thread_windows) {
    if (thread_id == 0 || window.setup.thread_id == thread_id) handed.push_back(window.handle);
  }
  if (handed.empty()) return FALSE;
  for (HWND window : handed) {
    if (!callback(window, value)) return FALSE;
  }
  return TRUE;
}

int WINAPI GetWindowClassName(HWND window, LPSTR class_name, int size) {
  if (Enter("GetWindowClassName", {Hex(Value(window)), Number(size)})) return 0;
  const auto* found = Find(window);
  if (found == nullptr || found->setup.class_name.empty() || size <= 0) return 0;
  return static_cast<int>(
      sim::detail::PutText(class_name, static_cast<DWORD>(size), found->setup.class_name));
}

int WINAPI GetWindowTitle(HWND window, LPSTR text, int size) {
  if (size <= 0) return 0;
  if (Enter("GetWindowTitle", {Hex(Value(window)), Number(size)})) {
    sim::detail::PutText(text, static_cast<DWORD>(size), "");
    return 0;
  }
  const auto* found = Find(window);
  return static_cast<int>(sim::detail::PutText(text, static_cast<DWORD>(size),
                                               found == nullptr ? "" : found->setup.title));
}

BOOL WINAPI IsIconic(HWND window) {
  Note("IsIconic", {Hex(Value(window))});
  return sim::WindowIsIconic(window) ? TRUE : FALSE;
}

// Posts the request to the window's thread; the simulated threads act on it at once.
BOOL WINAPI ShowWindowAsync(HWND window, int command) {
  if (Enter("ShowWindowAsync", {Hex(Value(window)), Number(command)})) return FALSE;
  auto* found = Find(window);
  if (found == nullptr) return FALSE;
  if (command == SW_SHOWNOACTIVATE) found->setup.iconic = false;
  return TRUE;
}

// Only the Z order is simulated: HWND_TOP raises another thread's window. A
// window of the launcher's own becomes topmost by HWND_TOPMOST and stops being
// so by HWND_NOTOPMOST or HWND_BOTTOM, which its WS_EX_TOPMOST shows, as on Windows.
BOOL WINAPI SetWindowPos(HWND window, HWND insert_after, int x, int y, int width, int height,
                         UINT flags) {
  if (Enter("SetWindowPos", {Hex(Value(window)), Hex(Value(insert_after)), Number(x), Number(y),
                             Number(width), Number(height), Hex(flags)})) {
    return FALSE;
  }
  if (sim::detail::PlaceOwnWindow(window, insert_after)) return TRUE;
  if (Find(window) == nullptr) return FALSE;
  if (insert_after == HWND_TOP) M().top = window;
  return TRUE;
}

BOOL WINAPI SetForegroundWindow(HWND window) {
  if (Enter("SetForegroundWindow", {Hex(Value(window))})) return FALSE;
  if (Find(window) == nullptr) return FALSE;
  M().foreground = window;
  return TRUE;
}
