#include "platform/host/unicode_text.h"

namespace {

constexpr uint32_t kReplacement = 0xFFFD;

}  // namespace

size_t DecodeUtf8(const char* text, size_t available, uint32_t* code) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  uint32_t c = p[0];
  *code = c;
  if (c < 0x80) return 1;
  // F8 to FF start no sequence: their bits would be lost to the 4-byte mask.
  size_t length = c >= 0xF8 ? 0 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
  if (length == 0 || length > available) return 0;
  c &= 0x7Fu >> length;
  for (size_t i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    c = (c << 6) | (p[i] & 0x3Fu);
  }
  // The shortest form only, and only what UTF-16 can carry.
  static const uint32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kLeast[length] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return 0;
  *code = c;
  return length;
}

size_t Utf16ToUtf8(const uint16_t* text, size_t count, char* out, size_t capacity) {
  size_t full = 0, used = 0;
  bool room = true;
  for (size_t i = 0; i < count; ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDFFF) {
      if (c <= 0xDBFF && i + 1 < count && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00u);
      } else {
        c = kReplacement;
      }
    }
    unsigned char bytes[4];
    size_t length = 1 + (c >= 0x80) + (c >= 0x800) + (c >= 0x10000);
    static const unsigned char kLead[5] = {0, 0, 0xC0, 0xE0, 0xF0};
    for (size_t k = length - 1; k > 0; --k, c >>= 6)
      bytes[k] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    bytes[0] = static_cast<unsigned char>(kLead[length] | c);
    full += length;
    // Once a character did not fit, none after it is written either.
    room = room && used + length < capacity;
    for (size_t k = 0; room && k < length; ++k) out[used++] = static_cast<char>(bytes[k]);
  }
  if (capacity > 0) out[used] = '\0';
  return full;
}

size_t Utf8ToUtf16(const char* text, size_t count, uint16_t* out, size_t capacity) {
  size_t used = 0;
  for (size_t i = 0; i < count;) {
    uint32_t c;
    size_t length = DecodeUtf8(text + i, count - i, &c);
    if (length == 0) c = kReplacement;
    i += length == 0 ? 1 : length;
    if (used + 1 + (c >= 0x10000) > capacity) return 0;
    if (c >= 0x10000) {
      c -= 0x10000;
      out[used++] = static_cast<uint16_t>(0xD800 + (c >> 10));
      c = 0xDC00 + (c & 0x3FF);
    }
    out[used++] = static_cast<uint16_t>(c);
  }
  return used;
}
