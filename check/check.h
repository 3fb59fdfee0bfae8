// /Check: the start-up sequence run read-only, reporting what a real run
// would do and which traps the configuration holds, instead of doing it.
#pragma once

#include "platform/win32.h"

// The exit status: 0 when no problem was found, 2 when some were, 1 when the
// check stopped early (no configuration file, or the report could not be saved).
int RunCheck(HINSTANCE instance, int slow_load);
