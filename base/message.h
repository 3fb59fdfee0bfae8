// ShowMessage: every message box of the launcher goes through here, after the
// one step that must come before any box (the launcher sets it: the splash
// comes down, so that no box is hidden under it).
#pragma once

#include "platform/win32.h"

// Room for every user message the launcher composes.
constexpr unsigned kMessageCapacity = 360;

// Message box types and answers the launcher uses.
constexpr UINT kMessageOk = 0x0;
constexpr UINT kMessageInformation = 0x40;
constexpr UINT kMessageOkCancel = 0x141;
constexpr UINT kMessageRetryCancel = 0x145;

// Called before every box from now on; null for none.
void SetBeforeMessageHook(void (*before)());

int ShowMessage(HWND owner, const char* text, const char* caption, UINT type);

// "Could not set cwd to %s": a folder that cannot become the working directory.
void ShowCouldNotSetDirectory(const char* folder);
