// The fuzzer's bytes taken apart into the values a target needs, and the
// checks every target shares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

// Stops the run with a message: libFuzzer keeps the input that did it.
#define FUZZ_CHECK(condition)                                                               \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (0)

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Empty() const { return used_ >= size_; }

  uint8_t Byte() { return used_ < size_ ? data_[used_++] : 0; }

  uint32_t Number(int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value = value << 8 | Byte();
    return value;
  }

  // Up to limit bytes, ended early by a 0 byte (which is not kept).
  std::string Text(size_t limit) {
    std::string text;
    while (text.size() < limit && used_ < size_) {
      char c = static_cast<char>(data_[used_++]);
      if (c == '\0') break;
      text.push_back(c);
    }
    return text;
  }

  // A text of a length the input states first (0 to limit).
  std::string SizedText(size_t limit) { return Text(Number(2) % (limit + 1)); }

  std::string Rest() {
    std::string rest(reinterpret_cast<const char*>(data_ + used_), size_ - used_);
    used_ = size_;
    return rest;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t used_ = 0;
};

// Whether bytes are whole, valid UTF-8 characters: no stray continuation byte,
// no overlong form, no surrogate, nothing past U+10FFFF, nothing cut short.
inline bool IsValidUtf8(const char* text, size_t length) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  size_t i = 0;
  while (i < length) {
    unsigned c = p[i];
    size_t count;
    uint32_t code;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      count = 2, code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      count = 3, code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      count = 4, code = c & 0x07;
    } else {
      return false;
    }
    if (length - i < count) return false;
    for (size_t k = 1; k < count; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      code = code << 6 | (p[i + k] & 0x3F);
    }
    if ((count == 3 && code < 0x800) || (count == 4 && code < 0x10000) || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF))
      return false;
    i += count;
  }
  return true;
}

inline bool IsValidUtf8(const std::string& text) { return IsValidUtf8(text.data(), text.size()); }

// Whether length bytes end inside a multi-byte sequence: a lead byte among the
// last three whose sequence runs past the end.
inline bool EndsInsideSequence(const char* text, size_t length) {
  for (size_t back = 1; back <= 3 && back <= length; ++back) {
    unsigned c = static_cast<unsigned char>(text[length - back]);
    if ((c & 0xC0) == 0x80) continue;
    size_t count = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return count > back;
  }
  return false;
}

// A heap buffer of exactly capacity bytes, so that ASan sees any write past it.
struct HeapBuffer {
  explicit HeapBuffer(size_t capacity)
      : size(capacity), bytes(static_cast<char*>(std::malloc(capacity ? capacity : 1))) {
    std::memset(bytes, 0x55, capacity ? capacity : 1);
  }
  ~HeapBuffer() { std::free(bytes); }
  HeapBuffer(const HeapBuffer&) = delete;
  HeapBuffer& operator=(const HeapBuffer&) = delete;
  // Terminated within the buffer: the length of its text.
  size_t TerminatedLength() const {
    const void* nul = std::memchr(bytes, '\0', size);
    FUZZ_CHECK(nul != nullptr);
    return static_cast<size_t>(static_cast<const char*>(nul) - bytes);
  }
  size_t size;
  char* bytes;
};
