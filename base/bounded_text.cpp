#include "base/bounded_text.h"

#include <cstdarg>
#include <cstring>

// strnlen, which the oldest system C runtimes lack.
static size_t BoundedLength(const char* text, size_t limit) {
  size_t length = 0;
  while (length < limit && text[length] != '\0') ++length;
  return length;
}

// The length of text's first length bytes once a multi-byte UTF-8 sequence
// cut off at their end is dropped, so that a cut text keeps whole characters.
// The lead byte's own length counts (110xxxxx two bytes, 1110xxxx three,
// 11110xxx four), so that a whole character followed by a stray continuation
// byte stays. Looks back over at most three bytes, never before text; stray
// bytes are kept.
size_t WholeCharacters(const char* text, size_t length) {
  const char* p = text + length;
  for (unsigned back = 1; back <= 3 && p > text; ++back) {
    unsigned c = static_cast<unsigned char>(*--p);
    if ((c & 0xC0) == 0x80) continue;
    unsigned sequence = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    if (c >= 0xC0 && sequence > back) return static_cast<size_t>(p - text);
    break;
  }
  return length;
}

// The launcher's own formatter: the few conversions its texts use (%s %c %d %i
// %u %x %X %%, with the 0 and - flags, a width, a precision or .*, and the
// h and l sizes). Its own so that the exe carries no C runtime formatting
// engine and the host tests run the very code that ships.
namespace {

struct Output {
  char* out;
  size_t capacity;
  size_t used;  // characters written so far, not counting the NUL
  int fitted;
};

void Put(Output* o, char c) {
  if (o->used + 1 < o->capacity) {
    o->out[o->used++] = c;
  } else {
    o->fitted = 0;
  }
}

void PutRepeated(Output* o, char c, size_t count) {
  for (size_t i = 0; i < count; ++i) Put(o, c);
}

// text of length count, padded to width on the left (or right with -).
void PutField(Output* o, const char* text, size_t count, size_t width, int left, char pad) {
  size_t padding = width > count ? width - count : 0;
  if (!left) PutRepeated(o, pad, padding);
  for (size_t i = 0; i < count; ++i) Put(o, text[i]);
  if (left) PutRepeated(o, ' ', padding);
}

// As C's printf: at least least_digits digits (the precision; 1 without
// one), and with the 0 flag the padding goes between the sign and the digits.
void PutNumber(Output* o, unsigned long magnitude, int negative, unsigned base, int upper,
               size_t width, size_t least_digits, int left, int zero) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  char text[24];
  size_t count = 0;
  for (; magnitude != 0; magnitude /= base)
    text[sizeof text - 1 - count++] = digits[magnitude % base];
  size_t zeros = least_digits > count ? least_digits - count : 0;
  size_t field = count + zeros + (negative ? 1 : 0);
  size_t padding = width > field ? width - field : 0;
  if (zero && !left) {
    zeros += padding;
    padding = 0;
  }
  if (!left) PutRepeated(o, ' ', padding);
  if (negative) Put(o, '-');
  PutRepeated(o, '0', zeros);
  PutField(o, text + sizeof text - count, count, 0, 0, ' ');
  if (left) PutRepeated(o, ' ', padding);
}

}  // namespace

int FormatTextList(char* out, size_t capacity, const char* format, va_list args) {
  if (capacity == 0) return 0;
  Output o = {out, capacity, 0, 1};
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') {
      Put(&o, *p);
      continue;
    }
    const char* start = p++;
    int left = 0, zero = 0;
    for (;; ++p) {
      if (*p == '-')
        left = 1;
      else if (*p == '0')
        zero = 1;
      else
        break;
    }
    size_t width = 0;
    while (*p >= '0' && *p <= '9') width = width * 10 + static_cast<size_t>(*p++ - '0');
    int has_precision = 0;
    size_t precision = 0;
    if (*p == '.') {
      has_precision = 1;
      ++p;
      if (*p == '*') {
        int given = va_arg(args, int);
        // A negative precision counts as none.
        if (given < 0)
          has_precision = 0;
        else
          precision = static_cast<size_t>(given);
        ++p;
      } else {
        while (*p >= '0' && *p <= '9') precision = precision * 10 + static_cast<size_t>(*p++ - '0');
      }
    }
    // A precision gives numbers their least count of digits, and then the 0 flag counts for none.
    size_t least_digits = has_precision ? precision : 1;
    if (has_precision) zero = 0;
    int size = 0;  // -1 for h, 1 for l
    if (*p == 'h')
      size = -1, ++p;
    else if (*p == 'l')
      size = 1, ++p;
    switch (*p) {
      case 's': {
        const char* text = va_arg(args, const char*);
        if (text == nullptr) text = "(null)";
        size_t count = BoundedLength(text, has_precision ? precision : static_cast<size_t>(-1));
        PutField(&o, text, count, width, left, ' ');
        break;
      }
      case 'c': {
        char c = static_cast<char>(va_arg(args, int));
        PutField(&o, &c, 1, width, left, ' ');
        break;
      }
      case 'd':
      case 'i': {
        long value = size > 0 ? va_arg(args, long) : va_arg(args, int);
        if (size < 0) value = static_cast<short>(value);
        // Negated as unsigned so that the most negative value has a magnitude too.
        unsigned long magnitude =
            value < 0 ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
        PutNumber(&o, magnitude, value < 0, 10, 0, width, least_digits, left, zero);
        break;
      }
      case 'u':
      case 'x':
      case 'X': {
        unsigned long value = size > 0 ? va_arg(args, unsigned long) : va_arg(args, unsigned);
        if (size < 0) value = static_cast<unsigned short>(value);
        PutNumber(&o, value, 0, *p == 'u' ? 10 : 16, *p == 'X', width, least_digits, left, zero);
        break;
      }
      case '%':
        Put(&o, '%');
        break;
      default:
        // Not a conversion the launcher uses: the text stands as written.
        for (const char* q = start; q <= p && *q != '\0'; ++q) Put(&o, *q);
        if (*p == '\0') --p;
        break;
    }
  }
  if (!o.fitted) o.used = WholeCharacters(out, o.used);
  out[o.used] = '\0';
  return o.fitted;
}

int FormatText(char* out, size_t capacity, const char* format, ...) {
  if (capacity == 0) return 0;
  va_list args;
  va_start(args, format);
  int fitted = FormatTextList(out, capacity, format, args);
  va_end(args);
  return fitted;
}

int CopyTextPart(char* out, size_t capacity, const char* text, size_t count) {
  if (capacity == 0) return 0;
  size_t length = BoundedLength(text, count);
  int fitted = 1;
  if (length >= capacity) {
    length = WholeCharacters(text, capacity - 1);
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
  size_t used = BoundedLength(out, capacity);
  // An unterminated buffer is cut in place, as any text too long.
  if (used >= capacity) return CopyTextPart(out, capacity, out, capacity);
  return CopyText(out + used, capacity - used, text);
}

static char FoldCase(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

int EqualsNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    if (FoldCase(*a) != FoldCase(*b)) return 0;
    if (*a == '\0') return 1;
  }
}
