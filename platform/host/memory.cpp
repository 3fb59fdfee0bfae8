// The process heap. Blocks are tracked so tests can see each one freed, and
// come filled with garbage so that nothing relies on them being zeroed.
#include <cstring>

#include "platform/host/sim_internal.h"

using sim::detail::M;
using sim::detail::Number;

constexpr DWORD kHeapZeroMemory = 0x00000008;
constexpr unsigned char kFreshHeapByte = 0xCD;
static int g_process_heap;

HANDLE WINAPI GetProcessHeap(void) {
  sim::detail::Note("GetProcessHeap", {});
  return &g_process_heap;
}

LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
  if (sim::detail::Enter("HeapAlloc", {Number(flags), Number(static_cast<long long>(bytes))})) {
    return nullptr;
  }
  if (heap != &g_process_heap) return nullptr;
  std::unique_ptr<unsigned char[]> block(new unsigned char[bytes == 0 ? 1 : bytes]);
  memset(block.get(), (flags & kHeapZeroMemory) ? 0 : kFreshHeapByte, bytes);
  LPVOID memory = block.get();
  M().heap_blocks[reinterpret_cast<uintptr_t>(memory)] = std::move(block);
  return memory;
}

BOOL WINAPI HeapFree(HANDLE heap, DWORD flags, LPVOID memory) {
  sim::detail::Note("HeapFree", {Number(flags)});
  if (heap != &g_process_heap) return FALSE;
  if (memory == nullptr) return TRUE;
  if (M().heap_blocks.erase(reinterpret_cast<uintptr_t>(memory)) == 1) return TRUE;
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}
