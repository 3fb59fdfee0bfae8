// The splash window: the launcher's bitmap with its own palette, centred and
// topmost, with a sound, until a delay, a message box or the application
// takes it down.
#pragma once

#include <cstddef>

#include "platform/win32.h"

constexpr WORD kSplashResourceId = 103;
// BITMAPINFOHEADER and 256 RGBQUADs: the part of the resource that is copied.
constexpr DWORD kSplashHeaderSize = 40;
constexpr unsigned kSplashColours = 256;
constexpr DWORD kSplashHeaderCopySize = kSplashHeaderSize + kSplashColours * 4;  // 1064
constexpr WORD kSplashBitsPerPixel = 8;
constexpr UINT kSplashCloseMessage = 0x7866;
// SplashOffTime's default: the splash stays until something else closes it.
constexpr UINT kSplashStaysUp = 0xFFFF;

HWND SplashOn(HINSTANCE instance);
void SplashOff(DWORD delay);
// The splash window while it exists, else null. Its own state, not IsWindow:
// a destroyed window's handle may already name another program's window.
HWND SplashWindow();
// SplashOff(0) for a message box, which WinMain has ShowMessage call before
// every box: it also ends a delayed take-down still pending, which SplashOff
// leaves to its timer.
void SplashOffForMessage();
LRESULT CALLBACK SplashWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Around a call into a control, which may show a box of its own and take
// long: the messages already waiting are served, so that the splash does not
// look frozen, and the splash stops being topmost, so that the box comes above
// it; returning, it makes it topmost again and serves what came meanwhile.
// At most kMostMessagesServed messages each time: a window that never
// validates, or a flood of posted messages, must not hold the launch up. A
// WM_QUIT ends the serving and is posted again, for the wait for the
// application.
constexpr int kMostMessagesServed = 64;
void SplashAroundControl(int returning);

// Stops the splash sound and takes the splash down at once: the way out when
// the launch is given up after the splash came up.
void SplashAbort();

// --- The data transformations, usable without any window. ---

struct SplashBitmap {
  LONG width;
  LONG height;
  const BYTE* header;  // the resource's first byte
  const BYTE* rows;    // into the resource, kSplashHeaderCopySize bytes after its start
};

// Checks that the resource's bytes are an 8-bit BI_RGB bitmap with a 40-byte
// header, a full 256-entry colour table, a positive size and all its rows
// within size bytes. Returns 1 and fills bitmap when they are.
int ReadSplashHeader(const BYTE* resource, DWORD size, SplashBitmap* bitmap);

// Bytes of one pixel row: one byte per pixel, filled to a multiple of 4.
DWORD SplashRowBytes(LONG width);

// Colour table (blue, green, red, reserved) to palette entries (red, green,
// blue, flags 0).
void ConvertColourTable(const BYTE* colour_table, PALETTEENTRY* entries);
// Black entries that may not share a slot: realised, they push the system
// palette's free entries to black.
void FillFlushPalette(PALETTEENTRY* entries);

// Each half truncated separately: a 451-pixel bitmap on a 1024 screen sits at 287.
POINT CentreOnScreen(int screen_width, int screen_height, LONG width, LONG height);

// SplashWaveFile resolved against the home directory; 0 when the path does
// not fit capacity (then no sound is played).
int ResolveSoundPath(char* out, size_t capacity, const char* home_directory, const char* value);
