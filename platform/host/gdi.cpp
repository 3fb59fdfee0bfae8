// Device contexts, palettes and device-independent bitmap output. On a
// palette device the system palette keeps Windows' 20 static colours and a
// realised palette takes the free entries in between.
#include <cstring>

#include "platform/host/sim_internal.h"

using sim::detail::Enter;
using sim::detail::Hex;
using sim::detail::HexOf;
using sim::detail::M;
using sim::detail::Note;
using sim::detail::Number;

constexpr unsigned kSystemColours = 256;
constexpr unsigned kFirstFree = 10;
constexpr unsigned kLastFree = 245;
constexpr int kRasterCapsAlways =
    0x0001 | 0x0008 | 0x0080 | 0x0200;  // BITBLT, BITMAP64, DI_BITMAP, DIBTODEV
// Stands for the stock default palette every context starts with.
static HPALETTE const kDefaultPalette = reinterpret_cast<HPALETTE>(static_cast<uintptr_t>(0xDEF0));

static sim::PaletteInfo* FindPalette(HPALETTE palette) {
  for (sim::PaletteInfo& info : M().palettes) {
    if (info.handle == palette && !info.deleted) return &info;
  }
  return nullptr;
}

static sim::detail::DeviceContext* FindDc(HDC dc) {
  auto found = M().dcs.find(dc);
  return found == M().dcs.end() ? nullptr : &found->second;
}

static HDC NewDc(HWND window) {
  HDC dc = static_cast<HDC>(sim::detail::NewHandle());
  M().dcs[dc] = sim::detail::DeviceContext{window, kDefaultPalette};
  return dc;
}

static int FreeDc(HDC dc) {
  sim::detail::DeviceContext* found = FindDc(dc);
  if (found == nullptr) return 0;
  if (found->palette != kDefaultPalette) ++M().released_with_palette;
  M().dcs.erase(dc);
  sim::detail::ReleaseHandle(dc);
  return 1;
}

static bool SameColour(const PALETTEENTRY& a, const PALETTEENTRY& b) {
  return a.peRed == b.peRed && a.peGreen == b.peGreen && a.peBlue == b.peBlue;
}

namespace sim {
namespace detail {

std::vector<PALETTEENTRY> FreshSystemPalette() {
  static const BYTE kLow[10][3] = {{0, 0, 0},       {128, 0, 0},    {0, 128, 0},   {128, 128, 0},
                                   {0, 0, 128},     {128, 0, 128},  {0, 128, 128}, {192, 192, 192},
                                   {192, 220, 192}, {166, 202, 240}};
  static const BYTE kHigh[10][3] = {
      {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0},
      {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255}};
  std::vector<PALETTEENTRY> entries(kSystemColours, PALETTEENTRY{0, 0, 0, 0});
  for (unsigned i = 0; i < 10; ++i) {
    entries[i] = PALETTEENTRY{kLow[i][0], kLow[i][1], kLow[i][2], 0};
    entries[kLastFree + 1 + i] = PALETTEENTRY{kHigh[i][0], kHigh[i][1], kHigh[i][2], 0};
  }
  return entries;
}

}  // namespace detail

void SetPaletteDevice(bool on) { M().palette_device = on; }
std::vector<PALETTEENTRY> SystemPalette() { return M().system_palette; }
const std::vector<PaletteInfo>& Palettes() { return M().palettes; }
int PalettesDeletedWhileSelected() { return M().deleted_while_selected; }
int DcsReleasedWithAPaletteSelected() { return M().released_with_palette; }
const std::vector<DrawRecord>& Draws() { return M().draws; }

}  // namespace sim

namespace sim {
namespace detail {
HWND DesktopWindow() { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x10010)); }
}  // namespace detail
}  // namespace sim

HDC WINAPI GetDC(HWND window) {
  if (Enter("GetDC", {HexOf(window)})) return nullptr;
  if (window != nullptr && window != sim::detail::DesktopWindow() &&
      M().windows.count(window) == 0) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return NewDc(window);
}

// A device context goes back only with the window it was taken for.
int WINAPI ReleaseDC(HWND window, HDC dc) {
  Note("ReleaseDC", {HexOf(window), HexOf(dc)});
  sim::detail::DeviceContext* found = FindDc(dc);
  if (found == nullptr || found->window != window) return 0;
  return FreeDc(dc);
}

HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT paint) {
  if (Enter("BeginPaint", {HexOf(window)})) return nullptr;
  auto found = M().windows.find(window);
  if (found == M().windows.end()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  found->second.needs_paint = false;
  memset(paint, 0, sizeof *paint);
  paint->hdc = NewDc(window);
  paint->rcPaint = RECT{0, 0, found->second.record.width, found->second.record.height};
  return paint->hdc;
}

BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT* paint) {
  Note("EndPaint", {HexOf(window), HexOf(paint->hdc)});
  FreeDc(paint->hdc);
  return TRUE;
}

int WINAPI GetDeviceCaps(HDC dc, int index) {
  if (Enter("GetDeviceCaps", {HexOf(dc), Number(index)})) return 0;
  if (FindDc(dc) == nullptr) return 0;
  if (index == BITSPIXEL) return M().bits_per_pixel;
  if (index != RASTERCAPS) return 0;
  return kRasterCapsAlways | (M().palette_device ? RC_PALETTE : 0);
}

HPALETTE WINAPI CreatePalette(const LOGPALETTE* palette) {
  if (Enter("CreatePalette", {Hex(palette->palVersion), Number(palette->palNumEntries)}))
    return nullptr;
  sim::PaletteInfo info;
  info.handle = static_cast<HPALETTE>(sim::detail::NewHandle());
  info.version = palette->palVersion;
  info.entries.resize(palette->palNumEntries);
  memcpy(info.entries.data(), &palette->palPalEntry[0],
         palette->palNumEntries * sizeof(PALETTEENTRY));
  info.deleted = false;
  info.realized = 0;
  M().palettes.push_back(info);
  return info.handle;
}

HPALETTE WINAPI SelectPalette(HDC dc, HPALETTE palette, BOOL force_background) {
  if (Enter("SelectPalette", {HexOf(dc), HexOf(palette), Number(force_background)})) return nullptr;
  sim::detail::DeviceContext* context = FindDc(dc);
  if (context == nullptr || (palette != kDefaultPalette && FindPalette(palette) == nullptr)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  HPALETTE previous = context->palette;
  context->palette = palette;
  return previous;
}

// Foreground realisation: colours already in the system palette are shared
// unless marked PC_NOCOLLAPSE; the rest take the free entries in order.
UINT WINAPI RealizePalette(HDC dc) {
  if (Enter("RealizePalette", {HexOf(dc)})) return GDI_ERROR;
  sim::detail::DeviceContext* context = FindDc(dc);
  if (context == nullptr) return GDI_ERROR;
  sim::PaletteInfo* info = FindPalette(context->palette);
  if (info == nullptr || !M().palette_device) return 0;
  ++info->realized;
  std::vector<PALETTEENTRY>& system = M().system_palette;
  unsigned next = kFirstFree;
  UINT changed = 0;
  for (const PALETTEENTRY& entry : info->entries) {
    if ((entry.peFlags & PC_NOCOLLAPSE) == 0) {
      bool shared = false;
      for (unsigned i = 0; i < kSystemColours && !shared; ++i) {
        bool in_use = i < kFirstFree || i > kLastFree || i < next;
        shared = in_use && SameColour(system[i], entry);
      }
      if (shared) continue;
    }
    if (next > kLastFree) continue;
    system[next++] = PALETTEENTRY{entry.peRed, entry.peGreen, entry.peBlue, 0};
    ++changed;
  }
  return changed;
}

UINT WINAPI GetSystemPaletteEntries(HDC dc, UINT start, UINT count, PALETTEENTRY* entries) {
  if (Enter("GetSystemPaletteEntries", {HexOf(dc), Number(start), Number(count)})) return 0;
  if (FindDc(dc) == nullptr || !M().palette_device) return 0;
  UINT copied = 0;
  for (UINT i = start; i < kSystemColours && copied < count; ++i)
    entries[copied++] = M().system_palette[i];
  return copied;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
  Note("DeleteObject", {HexOf(object)});
  sim::PaletteInfo* info = FindPalette(static_cast<HPALETTE>(object));
  if (info == nullptr) return FALSE;
  for (auto& entry : M().dcs) {
    if (entry.second.palette == info->handle) {
      ++M().deleted_while_selected;
      entry.second.palette = kDefaultPalette;
    }
  }
  info->deleted = true;
  sim::detail::ReleaseHandle(object);
  return TRUE;
}

int WINAPI SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int source_x,
                             int source_y, UINT start_scan, UINT lines, const void* bits,
                             const BITMAPINFO* info, UINT color_use) {
  if (Enter("SetDIBitsToDevice", {HexOf(dc), Number(x), Number(y), Number(width), Number(height),
                                  Number(source_x), Number(source_y), Number(start_scan),
                                  Number(lines), HexOf(bits), HexOf(info), Number(color_use)})) {
    return 0;
  }
  sim::detail::DeviceContext* context = FindDc(dc);
  if (context == nullptr) return 0;
  sim::DrawRecord record{dc,        context->window,  x,          y,     width, height,
                         source_x,  source_y,         start_scan, lines, bits,  info,
                         color_use, context->palette, {},         0};
  // Read everything the platform would read, so an over-read shows under ASan.
  const BYTE* header = reinterpret_cast<const BYTE*>(info);
  DWORD colours =
      info->bmiHeader.biClrUsed != 0 ? info->bmiHeader.biClrUsed : 1u << info->bmiHeader.biBitCount;
  record.colour_table.assign(header + info->bmiHeader.biSize,
                             header + info->bmiHeader.biSize + colours * 4);
  uint64_t row_bytes =
      (static_cast<uint64_t>(info->bmiHeader.biWidth) * info->bmiHeader.biBitCount + 31) / 32 * 4;
  const BYTE* pixels = static_cast<const BYTE*>(bits);
  for (uint64_t i = 0; i < row_bytes * lines; ++i) record.pixel_sum += pixels[i];
  M().draws.push_back(record);
  return static_cast<int>(lines);
}
