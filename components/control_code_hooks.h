// A control's DllRegisterServer and DllUnregisterServer are code the launcher
// does not know: they may show windows of their own and take long. What the
// launcher's windows need around them is handed in by WinMain, as controls
// cannot reach the splash.
#pragma once

// Called just before (returning 0) and just after (1) each call into a
// control from now on; null for nothing.
void SetControlCodeHook(void (*hook)(int returning));

void AroundControlCode(int returning);
