// Where libraries are searched for: narrowed for the whole process at entry,
// widened to a control's folders only while a control loads.
#pragma once

#include "platform/win32.h"

// The first thing the launcher does: libraries loaded later by a bare name
// (Windows' own DLLs load some on demand) come from the system folder only,
// never from the launcher's folder.
void NarrowLibrarySearch();

// Loads a control by its full path; its imports are searched for in its own
// folder, then in the control folder, then in the system folders.
HMODULE LoadControlByFullPath(const char* full_path);
