// The splash bitmap's header and colour table read from any bytes, handed
// over as a heap copy of exactly their size: nothing is read past them, and
// the palette has its 256 entries and no more.
#include <climits>
#include <cstring>

#include "fuzz_input.h"
#include "splash/splash.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  LONG width = static_cast<LONG>(in.Number(4));
  DWORD row = SplashRowBytes(width);
  if (width > 0) {
    FUZZ_CHECK(row % 4 == 0 && row >= static_cast<DWORD>(width) &&
               row - static_cast<DWORD>(width) < 4);
  }

  // A header that passes is the usual case worth reaching: the input's bytes
  // may be laid over a valid one.
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (!bytes.empty() && (bytes[0] & 0x80)) {
    BITMAPINFOHEADER header;
    std::memset(&header, 0, sizeof header);
    header.biSize = kSplashHeaderSize;
    header.biWidth = static_cast<LONG>(in.Byte() % 40);
    header.biHeight = static_cast<LONG>(in.Byte() % 40);
    header.biPlanes = 1;
    header.biBitCount = kSplashBitsPerPixel;
    std::string patched(reinterpret_cast<const char*>(&header), sizeof header);
    patched += in.Rest();
    bytes = patched;
  }
  unsigned char* copy = static_cast<unsigned char*>(std::malloc(bytes.size() ? bytes.size() : 1));
  std::memcpy(copy, bytes.data(), bytes.size());
  SplashBitmap bitmap;
  std::memset(&bitmap, 0, sizeof bitmap);
  if (ReadSplashHeader(copy, static_cast<DWORD>(bytes.size()), &bitmap)) {
    FUZZ_CHECK(bytes.size() >= kSplashHeaderCopySize);
    FUZZ_CHECK(bitmap.width > 0 && bitmap.height > 0);
    FUZZ_CHECK(bitmap.header == copy && bitmap.rows == copy + kSplashHeaderCopySize);
    uint64_t rows = uint64_t{SplashRowBytes(bitmap.width)} * static_cast<uint64_t>(bitmap.height);
    FUZZ_CHECK(rows <= bytes.size() - kSplashHeaderCopySize);
    // Every row's last byte is there to be read.
    unsigned sum = 0;
    for (LONG y = 0; y < bitmap.height; ++y)
      sum += bitmap.rows[uint64_t{SplashRowBytes(bitmap.width)} * static_cast<uint64_t>(y) +
                         SplashRowBytes(bitmap.width) - 1];
    (void)sum;
    PALETTEENTRY* entries =
        static_cast<PALETTEENTRY*>(std::malloc(kSplashColours * sizeof(PALETTEENTRY)));
    ConvertColourTable(copy + kSplashHeaderSize, entries);
    for (unsigned i = 0; i < kSplashColours; ++i) {
      const unsigned char* quad = copy + kSplashHeaderSize + 4 * i;
      FUZZ_CHECK(entries[i].peRed == quad[2] && entries[i].peGreen == quad[1] &&
                 entries[i].peBlue == quad[0] && entries[i].peFlags == 0);
    }
    std::free(entries);
  }
  std::free(copy);
  return 0;
}
