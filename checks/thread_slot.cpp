#include "checks/thread_slot.h"

// A shared section maps one copy into every process of the same exe.
#if defined(_WIN32) && defined(__clang__)
// clang ignores gcc's shared attribute, and a directive written in assembly
// is lost to link-time optimisation: the linker is told as MSVC's is (this
// file is compiled with -fms-extensions for it, cmake/windows.cmake).
static volatile DWORD g_shared_thread_id __attribute__((section("SHAREDAT"))) = 0;
#pragma comment(linker, "/SECTION:SHAREDAT,RWS")
#elif defined(_WIN32) && defined(__GNUC__)
static volatile DWORD g_shared_thread_id __attribute__((section("SHAREDAT"), shared)) = 0;
#elif defined(_WIN32) && defined(_MSC_VER)
#pragma data_seg("SHAREDAT")
static volatile DWORD g_shared_thread_id = 0;
#pragma data_seg()
#pragma comment(linker, "/SECTION:SHAREDAT,RWS")
#else
static volatile DWORD g_shared_thread_id = 0;
#endif

void StoreSharedThreadId(DWORD thread_id) { g_shared_thread_id = thread_id; }

DWORD LoadSharedThreadId() { return g_shared_thread_id; }

// The shared section's start value, for the host tests (tests/unit/process_state.h).
#if defined(PRELAUNCH_TESTING)
void ResetThreadSlotForTests() { g_shared_thread_id = 0; }
#endif
