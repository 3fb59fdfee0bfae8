#include "checks/display_memory.h"

#include <cstdint>

#include "config/ini.h"
#include "config/keys.h"
#include "platform/win32.h"

constexpr unsigned kLeastBitsPerPixel = 8;  // 256 colours
constexpr unsigned kMegabyteShift = 20;
// Eight 32-bit fields; the 64-bit build used by the Wine tests has wider ones.
constexpr DWORD kMemoryStatusLength = static_cast<DWORD>(sizeof(MEMORYSTATUS));
#if !defined(_WIN64)
static_assert(kMemoryStatusLength == 32, "the 32-bit MEMORYSTATUS record");
#endif

int GetBitsPerPixel() {
  HDC dc = GetDC(GetDesktopWindow());
  if (dc == nullptr) return 0;
  int bits_per_pixel = GetDeviceCaps(dc, BITSPIXEL);
  ReleaseDC(GetDesktopWindow(), dc);
  return bits_per_pixel;
}

int HasEnoughColors() {
  return static_cast<unsigned>(GetBitsPerPixel()) < kLeastBitsPerPixel ? 0 : 1;
}

typedef BOOL(WINAPI* MemoryStatusExProc)(LPMEMORYSTATUSEX status);

// The 32-bit record clamps each figure (at 2 GiB for this exe), so machines
// with more free memory read the 64-bit one where kernel32 has it; it is
// looked up at run time, as old systems lack it.
static int TrueFreeMemory(uint64_t* available) {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return 0;
  FARPROC entry = GetProcAddress(kernel, "GlobalMemoryStatusEx");
  if (entry == nullptr) return 0;
  MemoryStatusExProc query =
      reinterpret_cast<MemoryStatusExProc>(reinterpret_cast<void (*)()>(entry));
  MEMORYSTATUSEX status = {};
  status.dwLength = static_cast<DWORD>(sizeof status);
  if (!query(&status)) return 0;
  uint64_t sum = status.ullAvailPhys + status.ullAvailPageFile;
  *available = sum < status.ullAvailPhys ? UINT64_MAX : sum;
  return 1;
}

uint64_t GetFreeMemory() {
  uint64_t available = 0;
  if (!TrueFreeMemory(&available)) {
    MEMORYSTATUS status = {};
    status.dwLength = kMemoryStatusLength;
    GlobalMemoryStatus(&status);
    available = static_cast<uint64_t>(status.dwAvailPhys) + status.dwAvailPageFile;
  }
  return available;
}

// In 64 bits: the two free figures can sum past 4 GiB, and 4096 megabytes or
// more do not fit 32 bits once shifted.
int HasEnoughMemory() {
  UINT megabytes = GetIniInt(kApplicationSection, kMegRequiredKey, 0);
  if (megabytes == 0) return 1;
  uint64_t required = static_cast<uint64_t>(megabytes) << kMegabyteShift;
  return GetFreeMemory() < required ? 0 : 1;
}
