// UTF-8 inside, UTF-16 at Windows' edge: the two conversions, exact about
// what they cut and what they replace, and the same on every build.
#pragma once

#include <cstddef>
#include <cstdint>

// The valid UTF-8 sequence that starts text: its length (1 to 4) with its
// code point in *code, or 0 when none starts there: a stray continuation
// byte, an overlong form, a surrogate, past U+10FFFF, or cut short by the
// end of the available bytes.
size_t DecodeUtf8(const char* text, size_t available, uint32_t* code);

// UTF-8 of count UTF-16 units into out: whole characters only, as many as
// fit capacity bytes with a NUL after them (nothing when capacity is 0). A
// lone surrogate becomes U+FFFD. Returns the length of the whole text in
// UTF-8: it fitted when that is below capacity.
size_t Utf16ToUtf8(const uint16_t* text, size_t count, char* out, size_t capacity);

// UTF-16 of count UTF-8 bytes into out (NULs in the bytes are kept, so a
// list of NUL-ended texts converts at once). A byte that starts no valid
// sequence becomes U+FFFD. Returns the units written, or 0 when they do not
// all fit capacity. A UTF-16 text never has more units than its UTF-8 bytes.
size_t Utf8ToUtf16(const char* text, size_t count, uint16_t* out, size_t capacity);
