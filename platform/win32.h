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
#include <mmsystem.h>
#include <winver.h>

#else

#include "platform/host/win32_api.h"

#endif
