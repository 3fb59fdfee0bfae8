// The one seam between the launcher and Windows.
//
// On Windows the launcher gets the real API. Elsewhere it gets declarations of
// exactly the calls it makes, with Windows' type sizes, implemented by the
// simulation in platform/host/.
#pragma once

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <winver.h>

// version.dll and winmm.dll are not imported: platform/windows/system_libraries.cpp
// defines these calls and loads the libraries from the system folder. So the
// multimedia header, which declares them imported, is not included.
extern "C" {
BOOL WINAPI PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags);
DWORD WINAPI timeGetTime(void);
}
#define SND_ASYNC 0x0001
#define SND_NODEFAULT 0x0002
#define SND_PURGE 0x0040
#define SND_NOWAIT 0x00002000L
#define SND_FILENAME 0x00020000L

#else

#include "platform/host/win32_api.h"

#endif
