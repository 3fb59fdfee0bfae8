// The shared thread slot: one 32-bit value shared by every launcher started
// from the same program file, naming the running application's main thread.
// The single-instance guard reads it to find the running window; the launch
// writes it (from the layer above) once the application has started.
#pragma once

#include "platform/win32.h"

void StoreSharedThreadId(DWORD thread_id);
DWORD LoadSharedThreadId();
