// The desktop window and the colour depth its device context reports.
#include "platform/host/sim_internal.h"

using sim::detail::Enter;
using sim::detail::Hex;
using sim::detail::M;
using sim::detail::Number;

namespace sim {
void SetBitsPerPixel(int bits) { M().bits_per_pixel = bits; }
int OpenDeviceContextCount() { return static_cast<int>(M().dcs.size()); }
}  // namespace sim

HWND WINAPI GetDesktopWindow(void) {
  sim::detail::Note("GetDesktopWindow", {});
  return sim::detail::DesktopWindow();
}
