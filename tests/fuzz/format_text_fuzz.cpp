// FormatText against the C library's snprintf: up to three conversions of
// every kind the launcher's formatter takes, with their flags, widths,
// precisions (also .*) and sizes, into a heap buffer of exactly the capacity.
#include <cstdio>
#include <string>
#include <vector>

#include "base/bounded_text.h"
#include "fuzz_input.h"

#pragma clang diagnostic ignored "-Wformat-nonliteral"
#pragma clang diagnostic ignored "-Wformat-security"

namespace {

enum Kind { kText, kCharacter, kInt, kLong, kUnsigned, kUnsignedLong, kPercent };

struct Conversion {
  Kind kind;
  bool star;
  int star_value;
  long number;
  std::string text;
};

std::string g_format;
size_t g_capacity;

template <typename... A>
void Check(A... args) {
  int needed = std::snprintf(nullptr, 0, g_format.c_str(), args...);
  FUZZ_CHECK(needed >= 0);
  std::string expected(static_cast<size_t>(needed) + 1, '\0');
  std::snprintf(&expected[0], expected.size(), g_format.c_str(), args...);
  expected.pop_back();

  HeapBuffer out(g_capacity);
  int fitted = FormatText(out.bytes, g_capacity, g_format.c_str(), args...);
  if (g_capacity == 0) {
    FUZZ_CHECK(fitted == 0);
    FUZZ_CHECK(out.bytes[0] == 0x55);  // nothing written
    return;
  }
  size_t length = out.TerminatedLength();
  // FUZZ_SHOW=1 prints every case, to read a finding.
  if (std::getenv("FUZZ_SHOW") || std::string(out.bytes, length) != expected.substr(0, length) ||
      (expected.size() < g_capacity) != (fitted == 1))
    std::fprintf(stderr, "format \"%s\" capacity %zu: \"%s\", snprintf \"%s\"\n", g_format.c_str(),
                 g_capacity, out.bytes, expected.c_str());
  if (expected.size() < g_capacity) {
    FUZZ_CHECK(fitted == 1);
    FUZZ_CHECK(std::string(out.bytes, length) == expected);
    return;
  }
  // Cut: as much of the text as fits, less only a character that did not fit whole.
  FUZZ_CHECK(fitted == 0);
  size_t room = g_capacity - 1;
  FUZZ_CHECK(std::string(out.bytes, length) == expected.substr(0, length));
  if (IsValidUtf8(expected)) FUZZ_CHECK(!EndsInsideSequence(out.bytes, length));
  if (EndsInsideSequence(expected.data(), room))
    FUZZ_CHECK(length < room && length + 3 >= room);
  else
    FUZZ_CHECK(length == room);
}

template <int Depth, typename... A>
void Call(const std::vector<Conversion>& conversions, size_t index, A... args);

template <int Depth, typename... A>
void PassValue(const std::vector<Conversion>& conversions, size_t index, A... args) {
  const Conversion& c = conversions[index];
  switch (c.kind) {
    case kText:
      return Call<Depth - 1>(conversions, index + 1, args..., c.text.c_str());
    case kCharacter:
    case kInt:
      return Call<Depth - 1>(conversions, index + 1, args..., static_cast<int>(c.number));
    case kLong:
      return Call<Depth - 1>(conversions, index + 1, args..., c.number);
    case kUnsigned:
      return Call<Depth - 1>(conversions, index + 1, args..., static_cast<unsigned>(c.number));
    case kUnsignedLong:
      return Call<Depth - 1>(conversions, index + 1, args..., static_cast<unsigned long>(c.number));
    case kPercent:
      return Call<Depth - 1>(conversions, index + 1, args...);
  }
}

template <int Depth, typename... A>
void Call(const std::vector<Conversion>& conversions, size_t index, A... args) {
  if constexpr (Depth == 0) {
    Check(args...);
  } else {
    if (index == conversions.size()) return Check(args...);
    if (conversions[index].star)
      return PassValue<Depth>(conversions, index, args..., conversions[index].star_value);
    return PassValue<Depth>(conversions, index, args...);
  }
}

// Literal text: anything but the percent sign.
std::string Literal(FuzzInput& in) {
  std::string text = in.Text(in.Byte() % 8);
  for (char& c : text)
    if (c == '%') c = '#';
  return text;
}

}  // namespace

constexpr int kMostConversions = 3;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  g_capacity = in.Number(2) % 300;
  std::vector<Conversion> conversions;
  g_format = Literal(in);
  int count = in.Byte() % (kMostConversions + 1);
  for (int i = 0; i < count; ++i) {
    uint8_t shape = in.Byte();
    uint8_t flags = in.Byte();
    Conversion c{};
    static const char kConversions[] = "scdiuxX%";
    char conversion = kConversions[shape % 8];
    std::string directive = "%";
    if (conversion != '%') {
      bool integer = conversion != 's' && conversion != 'c';
      if (flags & 1) directive += '-';
      if ((flags & 2) && integer) directive += '0';
      if (flags & 4) directive += std::to_string(in.Byte() % 120);
      // Precision is for texts and whole numbers: %c takes none in C.
      if ((flags & 8) && conversion != 'c') {
        if (flags & 16) {
          directive += ".*";
          c.star = true;
          c.star_value = static_cast<int16_t>(in.Number(2)) % 150;
        } else {
          directive += "." + std::to_string(in.Byte() % 120);
        }
      }
      int length = integer ? (shape >> 3) % 3 : 0;  // none, h, l
      if (length == 1) directive += 'h';
      if (length == 2) directive += 'l';
      bool is_long = length == 2;
      switch (conversion) {
        case 's':
          c.kind = kText;
          c.text = in.SizedText(200);
          break;
        case 'c':
          c.kind = kCharacter;
          c.number = in.Byte() % 255 + 1;
          break;  // no NUL inside the text
        case 'd':
        case 'i':
          c.kind = is_long ? kLong : kInt;
          break;
        default:
          c.kind = is_long ? kUnsignedLong : kUnsigned;
          break;
      }
      if (integer) {
        uint64_t bits = (uint64_t{in.Number(4)} << 32) | in.Number(4);
        c.number = static_cast<long>(bits);
        if (c.kind == kInt || c.kind == kUnsigned) c.number = static_cast<int32_t>(bits);
      }
    } else {
      c.kind = kPercent;
    }
    directive += conversion;
    g_format += directive + Literal(in);
    conversions.push_back(c);
  }
  Call<kMostConversions>(conversions, 0);
  return 0;
}
