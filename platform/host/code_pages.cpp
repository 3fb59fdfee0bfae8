// Conversions between code pages: UTF-8 only, as Windows converts it.
#include <cstring>

#include "platform/host/sim_internal.h"
#include "platform/host/unicode_text.h"

using sim::detail::Enter;
using sim::detail::Number;

// As Windows: with MB_ERR_INVALID_CHARS a text that is not UTF-8 is refused,
// without it each byte that starts no valid sequence becomes U+FFFD; a count
// of -1 takes the NUL as well; no room asks for the units needed.
int WINAPI MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR text, int count, LPWSTR out,
                               int capacity) {
  if (Enter("MultiByteToWideChar", {Number(code_page), Number(flags), Number(count)})) return 0;
  if (code_page != CP_UTF8 || text == nullptr || count == 0 || capacity < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t bytes = count < 0 ? strlen(text) + 1 : static_cast<size_t>(count);
  if ((flags & MB_ERR_INVALID_CHARS) != 0) {
    uint32_t code;
    for (size_t at = 0; at < bytes;) {
      size_t length = DecodeUtf8(text + at, bytes - at, &code);
      if (length == 0) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
      }
      at += length;
    }
  }
  std::vector<uint16_t> units(bytes);
  size_t needed = Utf8ToUtf16(text, bytes, units.data(), units.size());
  if (capacity == 0) return static_cast<int>(needed);
  if (needed > static_cast<size_t>(capacity)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  memcpy(out, units.data(), needed * sizeof(uint16_t));
  return static_cast<int>(needed);
}
