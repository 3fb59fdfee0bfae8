#include "splash/splash.h"

#include <cstdint>
#include <cstring>

#include "base/trace.h"
#include "config/ini.h"
#include "config/keys.h"
#include "config/paths.h"

constexpr WORD kPaletteVersion = 0x300;
constexpr UINT_PTR kSplashTimerId = 1;
constexpr DWORD kSoundFlags = SND_FILENAME | SND_NOWAIT | SND_ASYNC;
constexpr DWORD kWindowExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
constexpr DWORD kWindowStyle = WS_POPUP | WS_VISIBLE;
constexpr UINT kZOrderOnly = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
constexpr DWORD kCompressionNone = BI_RGB;
static const char kClassName[] = "SplashLogo";

// A LOGPALETTE with room for every entry.
struct PaletteRecord {
  WORD version;
  WORD count;
  PALETTEENTRY entries[kSplashColours];
};

// The window owns the palette and the header copy until its WM_DESTROY.
static WORD g_showing = 0;
static HINSTANCE g_instance = nullptr;
static HWND g_window = nullptr;
static HPALETTE g_palette = nullptr;
static BITMAPINFO* g_header = nullptr;
static const BYTE* g_rows = nullptr;  // in the resource; never copied
static LONG g_width = 0;
static LONG g_height = 0;
static int g_stepped_aside = 0;

DWORD SplashRowBytes(LONG width) {
  return static_cast<DWORD>((static_cast<uint64_t>(width) + 3) / 4 * 4);
}

int ReadSplashHeader(const BYTE* resource, DWORD size, SplashBitmap* bitmap) {
  if (resource == nullptr || size < kSplashHeaderCopySize) return 0;
  BITMAPINFOHEADER header;
  memcpy(&header, resource, sizeof header);
  if (header.biSize != kSplashHeaderSize) return 0;
  if (header.biBitCount != kSplashBitsPerPixel || header.biCompression != kCompressionNone)
    return 0;
  // 0 means the full table for 8 bits per pixel.
  if (header.biClrUsed != 0 && header.biClrUsed != kSplashColours) return 0;
  // A negative height would be top-down rows; nothing of the picture is read at all otherwise.
  if (header.biWidth <= 0 || header.biHeight <= 0) return 0;
  uint64_t rows = static_cast<uint64_t>(SplashRowBytes(header.biWidth)) *
                  static_cast<uint64_t>(header.biHeight);
  if (rows > size - kSplashHeaderCopySize) return 0;
  bitmap->width = header.biWidth;
  bitmap->height = header.biHeight;
  bitmap->header = resource;
  bitmap->rows = resource + kSplashHeaderCopySize;
  return 1;
}

void ConvertColourTable(const BYTE* colour_table, PALETTEENTRY* entries) {
  for (unsigned i = 0; i < kSplashColours; ++i) {
    const BYTE* colour = colour_table + 4 * i;
    entries[i].peRed = colour[2];
    entries[i].peGreen = colour[1];
    entries[i].peBlue = colour[0];
    entries[i].peFlags = 0;
  }
}

void FillFlushPalette(PALETTEENTRY* entries) {
  for (unsigned i = 0; i < kSplashColours; ++i) {
    entries[i].peRed = 0;
    entries[i].peGreen = 0;
    entries[i].peBlue = 0;
    entries[i].peFlags = PC_NOCOLLAPSE;
  }
}

POINT CentreOnScreen(int screen_width, int screen_height, LONG width, LONG height) {
  POINT at;
  at.x = screen_width / 2 - width / 2;
  at.y = screen_height / 2 - height / 2;
  return at;
}

int ResolveSoundPath(char* out, size_t capacity, const char* home_directory, const char* value) {
  return ResolveReplace(out, capacity, home_directory, value);
}

static const LOGPALETTE* AsLogPalette(const PaletteRecord* record) {
  return reinterpret_cast<const LOGPALETTE*>(record);
}

// Realises the record's colours on dc for a moment; with read_back the record
// then holds the system palette as it stands.
static void RealizeForAMoment(HDC dc, PaletteRecord* record, int read_back) {
  HPALETTE palette = CreatePalette(AsLogPalette(record));
  if (palette == nullptr) return;
  HPALETTE previous = SelectPalette(dc, palette, FALSE);
  if (previous != nullptr) {
    RealizePalette(dc);
    if (read_back) GetSystemPaletteEntries(dc, 0, kSplashColours, record->entries);
    SelectPalette(dc, previous, FALSE);
  }
  DeleteObject(palette);
}

// dc may be null: the bitmap's own colours are used then.
static HPALETTE PrepareSplashPalette(HDC dc) {
  PaletteRecord record;
  record.version = kPaletteVersion;
  record.count = kSplashColours;
  int palette_device = dc != nullptr && (GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE) != 0;
  if (palette_device) {
    FillFlushPalette(record.entries);
    RealizeForAMoment(dc, &record, 0);
  }
  ConvertColourTable(reinterpret_cast<const BYTE*>(g_header) + kSplashHeaderSize, record.entries);
  if (palette_device) RealizeForAMoment(dc, &record, 1);
  return CreatePalette(AsLogPalette(&record));
}

static void PaintSplash(HDC dc) {
  if (g_header == nullptr) return;
  HPALETTE previous = g_palette == nullptr ? nullptr : SelectPalette(dc, g_palette, FALSE);
  if (previous != nullptr) RealizePalette(dc);
  SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(g_width), static_cast<DWORD>(g_height), 0, 0, 0,
                    static_cast<UINT>(g_height), g_rows, g_header, DIB_RGB_COLORS);
  if (previous != nullptr) SelectPalette(dc, previous, FALSE);
}

static int LoadSplashBitmap(HINSTANCE instance, SplashBitmap* bitmap) {
  HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(kSplashResourceId), RT_BITMAP);
  if (found == nullptr) return 0;
  DWORD size = SizeofResource(instance, found);
  HGLOBAL loaded = LoadResource(instance, found);
  if (loaded == nullptr) return 0;
  return ReadSplashHeader(static_cast<const BYTE*>(LockResource(loaded)), size, bitmap);
}

static void RegisterSplashClass(HINSTANCE instance) {
  WNDCLASSA window_class;
  memset(&window_class, 0, sizeof window_class);
  window_class.style = CS_GLOBALCLASS;
  window_class.lpfnWndProc = SplashWndProc;
  window_class.hInstance = instance;
  window_class.lpszClassName = kClassName;
  RegisterClassA(&window_class);
}

// Creates and paints the window; 0 when there is nothing to show.
static int ShowSplashWindow(HINSTANCE instance) {
  SplashBitmap bitmap;
  if (!LoadSplashBitmap(instance, &bitmap)) return 0;
  void* copy = HeapAlloc(GetProcessHeap(), 0, kSplashHeaderCopySize);
  if (copy == nullptr) return 0;
  memcpy(copy, bitmap.header, kSplashHeaderCopySize);
  g_header = static_cast<BITMAPINFO*>(copy);
  g_rows = bitmap.rows;
  g_width = bitmap.width;
  g_height = bitmap.height;

  RegisterSplashClass(instance);
  POINT at = CentreOnScreen(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), g_width,
                            g_height);
  g_window = CreateWindowExA(kWindowExStyle, kClassName, "", kWindowStyle, at.x, at.y, g_width,
                             g_height, nullptr, nullptr, instance, nullptr);
  if (g_window == nullptr) {
    HeapFree(GetProcessHeap(), 0, g_header);
    g_header = nullptr;
    return 0;
  }
  HDC dc = GetDC(g_window);
  g_palette = PrepareSplashPalette(dc);
  // Without a context now, the first WM_PAINT draws it.
  if (dc != nullptr) {
    PaintSplash(dc);
    ReleaseDC(g_window, dc);
  }
  return 1;
}

static void PlaySplashSound() {
  char value[kPathCapacity];
  if (GetIniString(kApplicationSection, kSplashWaveFileKey, value, sizeof value, 1) == 0) return;
  char path[kPathCapacity];
  if (!ResolveSoundPath(path, sizeof path, GetHomeDirectory(), value)) return;
  PlaySoundFile(path, nullptr, kSoundFlags);
}

HWND SplashOn(HINSTANCE instance) {
  TraceEvent("SplashOn");
  // The state holds one window: a window still waiting for its timer counts as showing.
  if (g_showing || g_window != nullptr) return nullptr;
  g_instance = instance;
  g_showing = 1;
  // A missing or malformed bitmap shows nothing; the sound and the launch go on.
  ShowSplashWindow(instance);
  PlaySplashSound();
  TraceEvent("SplashOn Exit");
  // Null when the missing-sound message took the splash down meanwhile.
  return g_window;
}

HWND SplashWindow() { return g_window; }

static void TakeDownNow() {
  if (g_window != nullptr) DestroyWindow(g_window);
  WNDCLASSA registered;
  if (GetClassInfoA(g_instance, kClassName, &registered)) UnregisterClassA(kClassName, g_instance);
}

void SplashOff(DWORD delay) {
  TraceEvent("SplashOff");
  if (!g_showing) return;
  g_showing = 0;
  if (delay != 0) {
    // Without a window a timer would only wake the launcher for nothing.
    if (g_window != nullptr) SetTimer(g_window, kSplashTimerId, delay, nullptr);
    return;
  }
  TakeDownNow();
}

void SplashOffForMessage() {
  TraceEvent("SplashOff");
  // A window still waiting for its delayed take-down would stay topmost over the box.
  if (!g_showing && g_window == nullptr) return;
  g_showing = 0;
  TakeDownNow();
}

static void ServeWaitingMessages() {
  MSG msg;
  for (int served = 0; served < kMostMessagesServed; ++served) {
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return;
    // The wait for the application is the launcher's outer loop: the quit is
    // its to see, as a modal loop leaves it to the loop around it.
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void SplashAroundControl(int returning) {
  // The control's code may have dispatched the splash's timer meanwhile.
  if (returning && g_stepped_aside && g_window != nullptr)
    SetWindowPos(g_window, HWND_TOPMOST, 0, 0, 0, 0, kZOrderOnly);
  g_stepped_aside = 0;
  ServeWaitingMessages();
  // Under a topmost splash the control's box can be neither seen nor answered.
  if (!returning)
    g_stepped_aside =
        g_window != nullptr && SetWindowPos(g_window, HWND_NOTOPMOST, 0, 0, 0, 0, kZOrderOnly);
}

void SplashAbort() {
  PlaySoundFile(nullptr, nullptr, SND_PURGE);
  SplashOff(0);
}

static void ReleaseSplash(HWND window) {
  // Messages during a failed creation come before the handle is stored.
  if (window != g_window) return;
  if (g_palette != nullptr) DeleteObject(g_palette);
  g_palette = nullptr;
  if (g_header != nullptr) HeapFree(GetProcessHeap(), 0, g_header);
  g_header = nullptr;
  g_window = nullptr;
}

static void PaintMessage(HWND window) {
  // Every paint draws the whole bitmap, however little was damaged.
  InvalidateRect(window, nullptr, FALSE);
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  if (dc == nullptr) {
    // Still invalid, the window would get WM_PAINT again at once, for ever.
    ValidateRect(window, nullptr);
    return;
  }
  PaintSplash(dc);
  EndPaint(window, &paint);
}

static void RepaintAfterPaletteChange(HWND window, HWND changed_by) {
  // Our own realisation caused it: drawing again would only loop.
  if (changed_by == window) return;
  HDC dc = GetDC(window);
  if (dc == nullptr) return;
  PaintSplash(dc);
  ReleaseDC(window, dc);
}

LRESULT CALLBACK SplashWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_DESTROY:
      ReleaseSplash(window);
      return 0;
    case WM_PAINT:
      PaintMessage(window);
      return 0;
    case WM_TIMER:
      DestroyWindow(window);
      return 0;
    case WM_PALETTECHANGED:
      RepaintAfterPaletteChange(window, reinterpret_cast<HWND>(wparam));
      return 0;
    case kSplashCloseMessage:
      SplashOff(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

// A new process's start values, for the host tests (tests/unit/process_state.h).
#if defined(PRELAUNCH_TESTING)
void ResetSplashForTests() {
  g_showing = 0;
  g_instance = nullptr;
  g_window = nullptr;
  g_palette = nullptr;
  g_header = nullptr;
  g_rows = nullptr;
  g_width = 0;
  g_height = 0;
  g_stepped_aside = 0;
}
#endif
