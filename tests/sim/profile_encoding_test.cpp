// The simulation reads a configuration file in the encoding Windows takes it
// for, and hands its texts over in UTF-8.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/host/sim.h"

namespace {

constexpr char kFile[] = "C:\\ENCODED.INI";

std::string Utf16(const std::vector<char16_t>& units) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : units) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

std::vector<char16_t> Units(const std::u16string& text) { return {text.begin(), text.end()}; }

std::string ReadValue(const char* section, const char* key) {
  char out[64];
  DWORD count = ReadProfileText(section, key, "none", out, sizeof out, kFile);
  EXPECT_EQ(strlen(out), count);
  return out;
}

struct EncodingCase {
  const char* name;
  std::string bytes;  // the file
  const char* value;  // [S] K as read, in UTF-8
};

class ProfileEncodingTest : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(ProfileEncodingTest, TextsComeOutInUtf8) {
  sim::Reset();
  ASSERT_TRUE(sim::WriteFile(kFile, GetParam().bytes));
  EXPECT_EQ(GetParam().value, ReadValue("S", "K"));
}

std::vector<char16_t> WithSurrogates() {
  std::vector<char16_t> units = Units(u"[S]\r\nK=");
  for (int unit : {0xD83D, 0xDE00, 0x41, 0xDC00, 0x42, 0xD800})
    units.push_back(static_cast<char16_t>(unit));
  return units;
}

INSTANTIATE_TEST_SUITE_P(
    Profile, ProfileEncodingTest,
    ::testing::Values(
        // Code page 1252: 80-9F by its table, its five unassigned bytes as the
        // controls of their own number, A0-FF as U+00A0-U+00FF.
        EncodingCase{
            "CodePage1252High", "[S]\nK=\x80\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8E\n",
            "\xE2\x82\xAC\xE2\x80\x9A\xC6\x92\xE2\x80\x9E\xE2\x80\xA6\xE2\x80\xA0\xE2\x80\xA1"
            "\xCB\x86\xE2\x80\xB0\xC5\xA0\xE2\x80\xB9\xC5\x92\xC5\xBD"},
        EncodingCase{
            "CodePage1252Quotes",
            "[S]\nK=\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9E\x9F\n",
            "\xE2\x80\x98\xE2\x80\x99\xE2\x80\x9C\xE2\x80\x9D\xE2\x80\xA2\xE2\x80\x93\xE2\x80\x94"
            "\xCB\x9C\xE2\x84\xA2\xC5\xA1\xE2\x80\xBA\xC5\x93\xC5\xBE\xC5\xB8"},
        EncodingCase{"CodePage1252Unassigned", "[S]\nK=\x81\x8D\x8F\x90\x9D\n",
                     "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
        EncodingCase{"CodePage1252Latin1", "[S]\nK=\xA0\xA9\xC9t\xE9\xFF\n",
                     "\xC2\xA0\xC2\xA9\xC3\x89t\xC3\xA9\xC3\xBF"},
        EncodingCase{"CodePage1252Names", "[\xC9t\xE9]\n[S]\nK=ascii\n", "ascii"},
        // UTF-8 after its mark, the mark not part of the first line.
        EncodingCase{"Utf8Mark", "\xEF\xBB\xBF[S]\nK=Société €\n", "Société €"},
        EncodingCase{"Utf8WithoutMarkIsCodePage1252", "[S]\nK=\xC3\xA9\n", "Ã©"},
        // UTF-16LE after its mark: pairs of surrogates joined, lone ones U+FFFD.
        EncodingCase{"Utf16", Utf16(Units(u"[S]\r\nK=Тест テスト\r\n")), "Тест テスト"},
        EncodingCase{"Utf16Surrogates", Utf16(WithSurrogates()),
                     "😀A\xEF\xBF\xBD"
                     "B\xEF\xBF\xBD"},
        EncodingCase{"Utf16OddLastByte", Utf16(Units(u"[S]\r\nK=ab")) + "c", "ab"},
        EncodingCase{"Utf16WithoutMarkIsCodePage1252", std::string("[\0S\0]\0", 6), "none"}),
    [](const ::testing::TestParamInfo<EncodingCase>& info) { return info.param.name; });

// Lists of names are decoded the same way.
TEST(ProfileEncoding, NamesAreListedInUtf8) {
  sim::Reset();
  ASSERT_TRUE(sim::WriteFile(kFile, Utf16(Units(u"[Тест]\r\nКлюч=1\r\n[S]\r\n"))));
  char names[64];
  DWORD count = ReadProfileText(nullptr, nullptr, "", names, sizeof names, kFile);
  EXPECT_EQ(std::string("Тест\0S\0", 11), std::string(names, count));
  count = ReadProfileText("Тест", nullptr, "", names, sizeof names, kFile);
  EXPECT_EQ(std::string("Ключ\0", 9), std::string(names, count));
  ASSERT_TRUE(sim::WriteFile(kFile, "[\xC9t\xE9]\nK=1\n"));
  count = ReadProfileText(nullptr, nullptr, "", names, sizeof names, kFile);
  EXPECT_EQ(std::string("Été\0", 6), std::string(names, count));
  count = ReadProfileText("Été", "K", "", names, sizeof names, kFile);
  EXPECT_EQ("1", std::string(names, count));
}

}  // namespace
