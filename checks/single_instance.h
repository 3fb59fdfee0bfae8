// The single-instance guard: one running copy of the application at a time.
#pragma once

#include "platform/win32.h"

// 1 when the launch must stop: the running application was brought forward,
// the user gave up at the prompt, or ApplicationName is missing. 0 when this
// launcher holds the instance marker or none could be made.
int IsAlreadyRunning();

// The thread-window callback; value is the address of the found flag (a DWORD).
// Returns FALSE after activating the first matching window.
BOOL CALLBACK ActivateAppWindowProc(HWND window, LPARAM value);
