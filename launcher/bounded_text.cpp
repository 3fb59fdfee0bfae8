#include "launcher/bounded_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

int FormatText(char* out, size_t capacity, const char* format, ...) {
  if (capacity == 0) return 0;
  va_list args;
  va_start(args, format);
  // Some C runtimes return -1 and leave the buffer unterminated when the text
  // does not fit; others return the full length. Both count as cut.
  int written = vsnprintf(out, capacity, format, args);
  va_end(args);
  out[capacity - 1] = '\0';
  if (written < 0) return 0;
  return static_cast<size_t>(written) < capacity ? 1 : 0;
}

int CopyTextPart(char* out, size_t capacity, const char* text, size_t count) {
  if (capacity == 0) return 0;
  size_t length = 0;
  while (length < count && text[length] != '\0') ++length;
  int fitted = 1;
  if (length >= capacity) {
    length = capacity - 1;
    fitted = 0;
  }
  memmove(out, text, length);
  out[length] = '\0';
  return fitted;
}

int CopyText(char* out, size_t capacity, const char* text) {
  return CopyTextPart(out, capacity, text, static_cast<size_t>(-1));
}

int AppendText(char* out, size_t capacity, const char* text) {
  if (capacity == 0) return 0;
  size_t used = strnlen(out, capacity);
  if (used >= capacity) {
    out[capacity - 1] = '\0';
    return 0;
  }
  return CopyText(out + used, capacity - used, text);
}

static char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

int EqualsNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    if (FoldCase(*a) != FoldCase(*b)) return 0;
    if (*a == '\0') return 1;
  }
}
