// Bounded copies of UTF-8 texts: a cut never leaves half a character.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "base/bounded_text.h"

namespace {

// Where each character of a valid UTF-8 text starts, and its end: the only
// places a cut may leave the text.
std::vector<size_t> CharacterStarts(const std::string& text) {
  std::vector<size_t> starts;
  for (size_t at = 0; at < text.size();) {
    starts.push_back(at);
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    at += lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  }
  starts.push_back(text.size());
  return starts;
}

struct Writer {
  const char* name;
  const char* before;  // what the writer puts ahead of the text
  std::function<int(char* out, size_t capacity, const char* text)> write;
};

const Writer kWriters[] = {
    {"CopyText", "",
     [](char* out, size_t capacity, const char* text) { return CopyText(out, capacity, text); }},
    {"CopyTextPart", "",
     [](char* out, size_t capacity, const char* text) {
       return CopyTextPart(out, capacity, text, strlen(text));
     }},
    {"AppendText", "ab",
     [](char* out, size_t capacity, const char* text) {
       CopyText(out, capacity, "ab");
       return AppendText(out, capacity, text);
     }},
    {"FormatText %s", "[",
     [](char* out, size_t capacity, const char* text) {
       return FormatText(out, capacity, "[%s", text);
     }},
    {"FormatText %.*s", "",
     [](char* out, size_t capacity, const char* text) {
       return FormatText(out, capacity, "%.*s", static_cast<int>(strlen(text)), text);
     }},
};

// Every capacity from 1 to past the whole text, through each writer: the
// text kept is the longest run of whole characters that fits, and a cut is
// reported exactly when one happened.
TEST(BoundedUtf8, ACutTextKeepsTheMostWholeCharactersThatFit) {
  const std::string texts[] = {"aé€😀b", "テスト", "Société", "😀😀", "é", "xyz€"};
  for (const Writer& writer : kWriters) {
    for (const std::string& text : texts) {
      const std::string before = writer.before;
      const std::vector<size_t> starts = CharacterStarts(text);
      for (size_t capacity = before.size() + 1; capacity <= before.size() + text.size() + 2;
           ++capacity) {
        // Exactly sized, so that a read before or past the text shows under ASan.
        std::vector<char> input(text.begin(), text.end());
        input.push_back('\0');
        std::vector<char> out(capacity, '#');
        const int fitted = writer.write(out.data(), capacity, input.data());
        const size_t room = capacity - 1 - before.size();
        size_t kept = 0;
        for (size_t start : starts) {
          if (start <= room) kept = start;
        }
        const std::string expected = before + text.substr(0, kept);
        EXPECT_EQ(expected, std::string(out.data()))
            << writer.name << " \"" << text << "\" capacity " << capacity;
        EXPECT_EQ(text.size() <= room ? 1 : 0, fitted)
            << writer.name << " \"" << text << "\" capacity " << capacity;
      }
    }
  }
}

struct InvalidCase {
  const char* text;
  size_t capacity;
  const char* kept;
};

// Bytes that are no valid UTF-8: nothing before the text is looked at,
// stray bytes are kept, and at most one unfinished sequence (three bytes) goes.
TEST(BoundedUtf8, InvalidBytesAreCutSafely) {
  const InvalidCase cases[] = {
      {"\x80\x80\x80\x80\x80", 3, "\x80\x80"},      // continuation bytes from the start
      {"ab\x80\x80\x80\x80", 6, "ab\x80\x80\x80"},  // more than three of them
      {"a\xE3xyz", 3, "a"},                         // a lead byte alone at the cut
      {"\xE3\xE3\xE3\xE3", 4, "\xE3\xE3"},          // only the last of several
      {"\xE3\x83\x86\x86\x86", 5, "\xE3\x83\x86\x86"},
      {"\xF0\x9F\x98\x80", 4, ""},  // three bytes of four
      {"\xC3\xA9\xC3\xA9", 2, ""},
      {"\xC3\xA9\xC3\xA9", 3, "\xC3\xA9"},
      {"\xF8\x80\x80\x80\x80", 4, ""},  // not a lead byte of UTF-8; still at most three go
      {"\xFF\xFE\x41", 3, "\xFF"},
      // A whole two-byte character before a stray continuation byte stays.
      {"h\xD9\x8C\x97<", 5, "h\xD9\x8C\x97"},
  };
  for (const InvalidCase& c : cases) {
    std::vector<char> input(c.text, c.text + strlen(c.text) + 1);
    std::vector<char> out(c.capacity, '#');
    EXPECT_EQ(0, CopyText(out.data(), c.capacity, input.data())) << c.text;
    EXPECT_STREQ(c.kept, out.data()) << c.text << " capacity " << c.capacity;
  }
}

// A buffer handed over without its NUL is cut in place like any text.
TEST(BoundedUtf8, AnUnterminatedBufferIsCutAtAWholeCharacter) {
  char out[6] = {'a', 'b', 'c', '\xE2', '\x82', '\xAC'};
  EXPECT_EQ(0, AppendText(out, sizeof out, "x"));
  EXPECT_STREQ("abc", out);
}

// Only a cut drops bytes: a whole text that ends badly is copied as it is.
TEST(BoundedUtf8, AWholeTextIsNeverTrimmed) {
  char out[16];
  EXPECT_EQ(1, CopyText(out, sizeof out, "abc\xE3\x83"));
  EXPECT_STREQ("abc\xE3\x83", out);
  EXPECT_EQ(1, FormatText(out, sizeof out, "%s!", "\xC3"));
  EXPECT_STREQ("\xC3!", out);
  // A part ends where its count says, even inside a character.
  EXPECT_EQ(1, CopyTextPart(out, sizeof out, "\xC3\xA9\xC3\xA9", 3));
  EXPECT_STREQ("\xC3\xA9\xC3", out);
}

}  // namespace
