// A control's DllRegisterServer and DllUnregisterServer are code the launcher
// does not know: they may show windows of their own and take long. What the
// launcher's windows need around them is handed in by WinMain, as controls
// cannot reach the splash.
#pragma once

// Called just before and just after each call into a control from now on;
// null for nothing.
void SetControlCodeHooks(void (*before)(), void (*after)());

void BeforeControlCode();
void AfterControlCode();
