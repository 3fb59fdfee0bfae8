// Window classes, windows, timers and painting state, with the message
// behaviour the launcher relies on: WM_DESTROY inside DestroyWindow, WM_PAINT
// and WM_TIMER made up by the queue when nothing is posted.
#include <algorithm>
#include <cstring>

#include "platform/host/sim_internal.h"

using sim::detail::Enter;
using sim::detail::Hex;
using sim::detail::HexOf;
using sim::detail::M;
using sim::detail::Note;
using sim::detail::Number;
using sim::detail::SameName;
using sim::detail::Text;

// Generated messages in a row that count as a window that never validates.
constexpr int kMostGeneratedInARow = 10000;

static sim::detail::Window* LiveWindow(HWND window) {
  auto found = M().windows.find(window);
  return found == M().windows.end() || found->second.destroying ? nullptr : &found->second;
}

// The instance's own class first, then a global one.
static sim::detail::WindowClass* FindClass(const char* name, HINSTANCE instance) {
  for (sim::detail::WindowClass& c : M().classes) {
    if (SameName(c.name, name) && c.instance == instance) return &c;
  }
  for (sim::detail::WindowClass& c : M().classes) {
    if (SameName(c.name, name) && (c.style & CS_GLOBALCLASS) != 0) return &c;
  }
  return nullptr;
}

namespace sim {
namespace detail {

bool CallWindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  auto found = M().windows.find(window);
  if (found == M().windows.end()) return false;
  WNDPROC proc = found->second.proc;  // the map may change inside the call
  *result = proc(window, message, wparam, lparam);
  return true;
}

static bool FindGenerated(MSG* msg, bool remove) {
  Machine& m = M();
  for (auto& [handle, window] : m.windows) {
    if (window.needs_paint && !window.destroying) {
      *msg = MSG{handle, WM_PAINT, 0, 0, m.clock, {0, 0}};
      return true;
    }
  }
  for (auto& [handle, window] : m.windows) {
    for (auto& [id, timer] : window.timers) {
      if (static_cast<LONG>(m.clock - timer.due) < 0) continue;
      *msg = MSG{handle, WM_TIMER, id, 0, m.clock, {0, 0}};
      if (remove) timer.due = m.clock + timer.elapse;
      return true;
    }
  }
  return false;
}

bool PlaceOwnWindow(HWND window, HWND insert_after) {
  Window* found = LiveWindow(window);
  if (found == nullptr) return false;
  if (insert_after == HWND_TOPMOST) found->record.ex_style |= WS_EX_TOPMOST;
  if (insert_after == HWND_NOTOPMOST || insert_after == HWND_BOTTOM)
    found->record.ex_style &= ~static_cast<DWORD>(WS_EX_TOPMOST);
  return true;
}

bool HasGeneratedMessage() {
  MSG msg;
  return FindGenerated(&msg, false);
}

bool TakeGeneratedMessage(MSG* msg, bool remove) {
  if (++M().generated_in_a_row > kMostGeneratedInARow) {
    M().ran_away = true;
    return false;
  }
  return FindGenerated(msg, remove);
}

}  // namespace detail

void SetScreenSize(int width, int height) {
  M().screen_width = width;
  M().screen_height = height;
}

std::vector<WindowRecord> Windows() {
  std::vector<WindowRecord> records;
  for (const auto& [handle, window] : M().windows) {
    WindowRecord record = window.record;
    for (const auto& [id, timer] : window.timers) record.timers.emplace_back(id, timer.elapse);
    records.push_back(record);
  }
  return records;
}

bool ClassRegistered(const std::string& name, HINSTANCE instance) {
  return FindClass(name.c_str(), instance) != nullptr;
}

LRESULT SendToWindow(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = 0;
  detail::CallWindowProcedure(window, message, wparam, lparam, &result);
  return result;
}

void DestroyRemainingWindows() {
  std::vector<HWND> handles;
  for (const auto& entry : M().windows) handles.push_back(entry.first);
  for (HWND handle : handles) DestroyWindow(handle);
}

}  // namespace sim

ATOM WINAPI RegisterClassA(const WNDCLASSA* window_class) {
  if (Enter("RegisterClassA", {Text(window_class->lpszClassName), Hex(window_class->style),
                               HexOf(window_class->hInstance), Number(window_class->cbClsExtra),
                               Number(window_class->cbWndExtra), HexOf(window_class->hIcon),
                               HexOf(window_class->hCursor), HexOf(window_class->hbrBackground),
                               Text(window_class->lpszMenuName)})) {
    return 0;
  }
  sim::detail::WindowClass* existing =
      FindClass(window_class->lpszClassName, window_class->hInstance);
  if (existing != nullptr && existing->instance == window_class->hInstance) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  M().classes.push_back(sim::detail::WindowClass{window_class->lpszClassName,
                                                 window_class->hInstance, window_class->style,
                                                 window_class->lpfnWndProc});
  return M().next_atom++;
}

BOOL WINAPI GetClassInfoA(HINSTANCE instance, LPCSTR class_name, WNDCLASSA* window_class) {
  if (Enter("GetClassInfoA", {HexOf(instance), Text(class_name)})) return FALSE;
  sim::detail::WindowClass* found = FindClass(class_name, instance);
  if (found == nullptr) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  memset(window_class, 0, sizeof *window_class);
  window_class->style = found->style;
  window_class->lpfnWndProc = found->proc;
  window_class->hInstance = found->instance;
  window_class->lpszClassName = class_name;
  return TRUE;
}

BOOL WINAPI UnregisterClassA(LPCSTR class_name, HINSTANCE instance) {
  Note("UnregisterClassA", {Text(class_name), HexOf(instance)});
  auto& classes = M().classes;
  auto found = std::find_if(classes.begin(), classes.end(), [&](const sim::detail::WindowClass& c) {
    return SameName(c.name, class_name) && c.instance == instance;
  });
  if (found == classes.end()) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  for (const auto& entry : M().windows) {
    if (SameName(entry.second.record.class_name, class_name)) {
      SetLastError(ERROR_CLASS_HAS_WINDOWS);
      return FALSE;
    }
  }
  classes.erase(found);
  return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR title, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
  if (Enter("CreateWindowExA", {Hex(ex_style), Text(class_name), Text(title), Hex(style), Number(x),
                                Number(y), Number(width), Number(height), HexOf(parent),
                                HexOf(menu), HexOf(instance), HexOf(param)})) {
    return nullptr;
  }
  sim::detail::WindowClass* window_class = FindClass(class_name, instance);
  if (window_class == nullptr) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  HWND handle = static_cast<HWND>(sim::detail::NewHandle());
  sim::detail::Window window;
  window.record = sim::WindowRecord{
      handle, window_class->name, Text(title), ex_style, style, x, y, width, height, instance, {}};
  window.proc = window_class->proc;
  window.needs_paint = (style & WS_VISIBLE) != 0;
  window.destroying = false;
  M().windows[handle] = window;
  LRESULT result = 0;
  sim::detail::CallWindowProcedure(handle, WM_NCCREATE, 0, 0, &result);
  if (result == 0 ||
      (sim::detail::CallWindowProcedure(handle, WM_CREATE, 0, 0, &result), result == -1)) {
    DestroyWindow(handle);
    return nullptr;
  }
  return handle;
}

BOOL WINAPI DestroyWindow(HWND window) {
  Note("DestroyWindow", {HexOf(window)});
  sim::detail::Window* found = LiveWindow(window);
  if (found == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  found->destroying = true;
  found->timers.clear();
  LRESULT ignored = 0;
  sim::detail::CallWindowProcedure(window, WM_DESTROY, 0, 0, &ignored);
  M().windows.erase(window);
  sim::detail::ReleaseHandle(window);
  return TRUE;
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  Note("DefWindowProcA",
       {HexOf(window), Number(message), Number(static_cast<long long>(wparam)), Number(lparam)});
  sim::detail::Window* found = LiveWindow(window);
  switch (message) {
    case WM_NCCREATE:
      return TRUE;
    case WM_PAINT:
      if (found != nullptr) found->needs_paint = false;
      return 0;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    default:
      return 0;
  }
}

int WINAPI GetSystemMetrics(int index) {
  if (Enter("GetSystemMetrics", {Number(index)})) return 0;
  if (index == SM_CXSCREEN) return M().screen_width;
  if (index == SM_CYSCREEN) return M().screen_height;
  return 0;
}

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC callback) {
  if (Enter("SetTimer", {HexOf(window), Number(static_cast<long long>(id)), Number(elapse),
                         Hex(reinterpret_cast<uintptr_t>(callback))})) {
    return 0;
  }
  // Thread timers (no window) are not simulated.
  sim::detail::Window* found = LiveWindow(window);
  if (found == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  UINT period = std::max<UINT>(elapse, USER_TIMER_MINIMUM);
  found->timers[id] = sim::detail::Timer{period, M().clock + period};
  return id == 0 ? 1 : id;
}

BOOL WINAPI InvalidateRect(HWND window, const RECT* area, BOOL erase) {
  if (Enter("InvalidateRect", {HexOf(window), HexOf(area), Number(erase)})) return FALSE;
  sim::detail::Window* found = LiveWindow(window);
  if (found == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  found->needs_paint = true;
  return TRUE;
}

// The simulation keeps no update regions: the need to paint goes only when the
// whole client area is validated.
BOOL WINAPI ValidateRect(HWND window, const RECT* area) {
  if (Enter("ValidateRect", {HexOf(window), HexOf(area)})) return FALSE;
  sim::detail::Window* found = LiveWindow(window);
  if (found == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const sim::WindowRecord& r = found->record;
  if (area == nullptr ||
      (area->left <= 0 && area->top <= 0 && area->right >= r.width && area->bottom >= r.height)) {
    found->needs_paint = false;
  }
  return TRUE;
}
