// The desktop window's device context and the colour depth it reports.
#include "platform/host/sim_internal.h"

using sim::detail::Enter;
using sim::detail::Hex;
using sim::detail::M;
using sim::detail::Number;

static HWND Desktop() { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x10010)); }

namespace sim {
void SetBitsPerPixel(int bits) { M().bits_per_pixel = bits; }
int OpenDeviceContextCount() { return static_cast<int>(M().device_contexts.size()); }
}  // namespace sim

HWND WINAPI GetDesktopWindow(void) {
  sim::detail::Note("GetDesktopWindow", {});
  return Desktop();
}

HDC WINAPI GetDC(HWND window) {
  if (Enter("GetDC", {Hex(reinterpret_cast<uintptr_t>(window))})) return nullptr;
  if (window != Desktop()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  HANDLE dc = sim::detail::NewHandle();
  M().device_contexts[reinterpret_cast<uintptr_t>(dc)] = window;
  return static_cast<HDC>(dc);
}

// A device context goes back only with the window it was taken for.
int WINAPI ReleaseDC(HWND window, HDC dc) {
  sim::detail::Note("ReleaseDC", {Hex(reinterpret_cast<uintptr_t>(window)), Hex(reinterpret_cast<uintptr_t>(dc))});
  auto found = M().device_contexts.find(reinterpret_cast<uintptr_t>(dc));
  if (found == M().device_contexts.end() || found->second != window) return 0;
  M().device_contexts.erase(found);
  sim::detail::ReleaseHandle(dc);
  return 1;
}

int WINAPI GetDeviceCaps(HDC dc, int index) {
  if (Enter("GetDeviceCaps", {Hex(reinterpret_cast<uintptr_t>(dc)), Number(index)})) return 0;
  if (M().device_contexts.count(reinterpret_cast<uintptr_t>(dc)) == 0) return 0;
  return index == BITSPIXEL ? M().bits_per_pixel : 0;
}
