// The conversions at the UTF-16 edge: what they replace, where they cut, and
// that no text is changed on the way there and back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/host/unicode_text.h"

namespace {

using Units = std::vector<uint16_t>;

Units ToUtf16(const std::string& text, size_t capacity = 64) {
  Units out(capacity + 1, 0xAAAA);
  size_t units = Utf8ToUtf16(text.data(), text.size(), out.data(), capacity);
  EXPECT_EQ(0xAAAA, out[capacity]) << "written past the capacity";
  out.resize(units);
  return out;
}

struct InCase {
  const char* name;
  std::string utf8;
  Units utf16;
};

class Utf8InTest : public ::testing::TestWithParam<InCase> {};

TEST_P(Utf8InTest, BecomesTheUtf16OfItsCharactersAndReplacesWhatIsNotUtf8) {
  EXPECT_EQ(GetParam().utf16, ToUtf16(GetParam().utf8));
}

constexpr uint16_t kR = 0xFFFD;

INSTANTIATE_TEST_SUITE_P(
    Conversions, Utf8InTest,
    ::testing::Values(
        InCase{"Ascii", "C:\\pu\\A.ini", {'C', ':', '\\', 'p', 'u', '\\', 'A', '.', 'i', 'n', 'i'}},
        InCase{"Latin", "Soci\xC3\xA9t\xC3\xA9", {'S', 'o', 'c', 'i', 0xE9, 't', 0xE9}},
        InCase{"Cyrillic", "\xD0\xA2\xD0\xB5\xD1\x81\xD1\x82", {0x0422, 0x0435, 0x0441, 0x0442}},
        InCase{"Japanese", "\xE3\x83\x86\\", {0x30C6, '\\'}},
        InCase{"SurrogatePair", "\xF0\x9D\x84\x9E", {0xD834, 0xDD1E}},
        InCase{
            "Limits",
            "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF\xF4\x8F\xBF\xBF",
            {0x7F, 0x80, 0x7FF, 0x800, 0xD7FF, 0xE000, 0xFFFF, 0xDBFF, 0xDFFF}},
        InCase{"NulsKept", std::string("a\0b\0", 4), {'a', 0, 'b', 0}},
        InCase{"StrayContinuation",
               "\x80"
               "A",
               {kR, 'A'}},
        InCase{"OverlongSlash", "\xC0\xAF", {kR, kR}},
        InCase{"OverlongThreeBytes", "\xE0\x80\xAF", {kR, kR, kR}},
        InCase{"EncodedSurrogate", "\xED\xA0\x80", {kR, kR, kR}},
        InCase{"PastTheLastCodePoint", "\xF4\x90\x80\x80", {kR, kR, kR, kR}},
        InCase{"ByteNeverInUtf8", "\xFF\xFE", {kR, kR}},
        // F8 once led five bytes: no sequence at all, however its followers look.
        InCase{"FiveByteLead", "\xF8\xA4\xAB\xA2", {kR, kR, kR, kR}},
        InCase{"SixByteLead", "\xFC\x84\x80\x80\x80\x80", {kR, kR, kR, kR, kR, kR}},
        InCase{"CutShortByTheEnd", "A\xE3\x83", {'A', kR, kR}},
        InCase{"CutShortByAnAscii", "\xE3\x83\\", {kR, kR, '\\'}},
        InCase{"Latin1Text", "Soci\xE9t\xE9", {'S', 'o', 'c', 'i', kR, 't', kR}}),
    [](const ::testing::TestParamInfo<InCase>& info) { return std::string(info.param.name); });

TEST(Utf8In, AFittingTextFillsTheCapacityExactlyAndALongerOneGivesNothing) {
  const std::string cyrillic = "\xD0\xA2\xD0\xB5";  // two units
  EXPECT_EQ(2u, ToUtf16(cyrillic, 2).size());
  EXPECT_TRUE(ToUtf16(cyrillic, 1).empty());
  // A pair is both its units or nothing.
  EXPECT_TRUE(ToUtf16("\xF0\x9D\x84\x9E", 1).empty());
  EXPECT_EQ(2u, ToUtf16("\xF0\x9D\x84\x9E", 2).size());
}

struct OutCase {
  const char* name;
  Units utf16;
  size_t capacity;
  std::string written;  // what out holds, NUL not shown
  size_t full;          // the whole text's UTF-8 length
};

class Utf8OutTest : public ::testing::TestWithParam<OutCase> {};

TEST_P(Utf8OutTest, WritesWholeCharactersOnlyAndTellsTheWholeLength) {
  const OutCase& c = GetParam();
  std::string out(c.capacity + 1, '#');
  EXPECT_EQ(c.full, Utf16ToUtf8(c.utf16.data(), c.utf16.size(), &out[0], c.capacity));
  EXPECT_EQ('#', out[c.capacity]) << "written past the capacity";
  if (c.capacity == 0) return;
  EXPECT_EQ(c.written, std::string(out.c_str()));
  // Whatever was written is UTF-8 from its first byte to its NUL.
  uint32_t code;
  for (size_t at = 0; at < c.written.size();) {
    size_t length = DecodeUtf8(c.written.data() + at, c.written.size() - at, &code);
    ASSERT_NE(0u, length) << "at byte " << at;
    at += length;
  }
}

const Units kTest = {0x0422, 0x0435, 0x0441, 0x0442};  // Тест, two bytes each

INSTANTIATE_TEST_SUITE_P(
    Conversions, Utf8OutTest,
    ::testing::Values(OutCase{"Whole", kTest, 9, "\xD0\xA2\xD0\xB5\xD1\x81\xD1\x82", 8},
                      OutCase{"OneByteShortLosesTheLastCharacter", kTest, 8,
                              "\xD0\xA2\xD0\xB5\xD1\x81", 8},
                      OutCase{"NeverHalfACharacter", kTest, 4, "\xD0\xA2", 8},
                      OutCase{"RoomForNoCharacter", kTest, 2, "", 8},
                      OutCase{"NoRoomAtAll", kTest, 0, "", 8},
                      OutCase{"NothingAfterACharacterThatDidNotFit", {0x30C6, 'A'}, 3, "", 4},
                      OutCase{"Pair", {0xD834, 0xDD1E}, 5, "\xF0\x9D\x84\x9E", 4},
                      OutCase{"PairCut", {'A', 0xD834, 0xDD1E}, 4, "A", 5},
                      OutCase{"LoneHigh",
                              {0xD834, 'A'},
                              8,
                              "\xEF\xBF\xBD"
                              "A",
                              4},
                      OutCase{"LoneLow", {0xDD1E}, 8, "\xEF\xBF\xBD", 3},
                      OutCase{"HighAtTheEnd", {'A', 0xD834}, 8, "A\xEF\xBF\xBD", 4}),
    [](const ::testing::TestParamInfo<OutCase>& info) { return std::string(info.param.name); });

TEST(Utf8Out, NulsInAListAreKept) {
  const Units list = {'a', 0, 'b', 0};
  char out[8];
  EXPECT_EQ(4u, Utf16ToUtf8(list.data(), list.size(), out, sizeof out));
  EXPECT_EQ(std::string("a\0b\0", 5), std::string(out, 5));
}

// Every character there is: UTF-8 to UTF-16 and back gives the same bytes,
// and UTF-16 never needs more units than UTF-8 has bytes (the edge's slots
// rely on that).
TEST(RoundTrip, EveryCodePointComesBackUnchanged) {
  for (uint32_t code = 1; code <= 0x10FFFF; ++code) {
    if (code >= 0xD800 && code <= 0xDFFF) continue;
    Units units;
    if (code >= 0x10000) {
      units = {static_cast<uint16_t>(0xD800 + ((code - 0x10000) >> 10)),
               static_cast<uint16_t>(0xDC00 + ((code - 0x10000) & 0x3FF))};
    } else {
      units = {static_cast<uint16_t>(code)};
    }
    char utf8[5];
    size_t length = Utf16ToUtf8(units.data(), units.size(), utf8, sizeof utf8);
    ASSERT_LE(units.size(), length);
    uint16_t back[2];
    ASSERT_EQ(units.size(), Utf8ToUtf16(utf8, length, back, 2)) << std::hex << code;
    ASSERT_EQ(units, Units(back, back + units.size())) << std::hex << code;
  }
}

}  // namespace
