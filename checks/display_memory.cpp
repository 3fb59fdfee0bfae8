#include "checks/display_memory.h"

#include <cstdint>

#include "config/ini.h"
#include "platform/win32.h"

constexpr unsigned kLeastBitsPerPixel = 8;  // 256 colours
constexpr unsigned kMegabyteShift = 20;
// Eight 32-bit fields; the 64-bit build used by the Wine tests has wider ones.
constexpr DWORD kMemoryStatusLength = static_cast<DWORD>(sizeof(MEMORYSTATUS));
#if !defined(_WIN64)
static_assert(kMemoryStatusLength == 32, "the 32-bit MEMORYSTATUS record");
#endif

int HasEnoughColors() {
  HDC dc = GetDC(GetDesktopWindow());
  if (dc == nullptr) return 0;
  int bits_per_pixel = GetDeviceCaps(dc, BITSPIXEL);
  ReleaseDC(GetDesktopWindow(), dc);
  return static_cast<unsigned>(bits_per_pixel) < kLeastBitsPerPixel ? 0 : 1;
}

// In 64 bits: the two free figures can sum past 4 GiB, and 4096 megabytes or
// more do not fit 32 bits once shifted.
int HasEnoughMemory() {
  UINT megabytes = GetIniInt("Application", "MegRequired", 0);
  if (megabytes == 0) return 1;
  uint64_t required = static_cast<uint64_t>(megabytes) << kMegabyteShift;
  MEMORYSTATUS status = {};
  status.dwLength = kMemoryStatusLength;
  GlobalMemoryStatus(&status);
  uint64_t available = static_cast<uint64_t>(status.dwAvailPhys) + status.dwAvailPageFile;
  return available < required ? 0 : 1;
}
