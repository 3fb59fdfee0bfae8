// Configuration files in UTF-8: which files the launcher reads itself, and
// that it reads them with the very rules the simulation models for Windows.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <iterator>
#include <string>
#include <vector>

#include "config/ini.h"
#include "launch_fixture.h"

namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";
constexpr UINT kFallback = 77;

struct Answer {
  DWORD count;
  std::string text;
  bool operator==(const Answer& other) const { return count == other.count && text == other.text; }
};

std::ostream& operator<<(std::ostream& out, const Answer& answer) {
  return out << answer.count << " \"" << answer.text << "\"";
}

class Utf8IniTest : public LaunchTest {
 protected:
  // The configuration file as the launcher finds it at start-up.
  void UseIni(const std::string& bytes) {
    WriteRawIni(bytes);
    StartFreshProcess();
    ASSERT_NE(0u, GetIniFileName(nullptr));
    windows_reads_before_ = WindowsReads();
  }

  // Profile reads that went to Windows since the file was found.
  size_t WindowsReadsSinceFound() const { return WindowsReads() - windows_reads_before_; }

  static Answer Read(const char* section, const char* key, DWORD size) {
    // Exactly the size asked for, so that a write past it shows under ASan.
    std::vector<char> out(size, '#');
    DWORD count = GetIniString(section, key, size == 0 ? nullptr : out.data(), size, 0);
    return {count, size == 0 ? std::string() : std::string(out.data())};
  }

 private:
  static size_t WindowsReads() {
    return sim::CallsTo("ReadProfileText").size() +
           sim::CallsTo("ReadProfileNumber").size();
  }
  size_t windows_reads_before_ = 0;
};

// ---- the reader against the modelled Windows rules ----

// Blanks, quotes, repeated sections and keys, lines without '=', names in
// any case, numbers with prefixes: an ASCII text reads the same whether
// Windows reads it or, behind a byte order mark, the launcher.
const char kRules[] =
    "; a comment=with an equals sign\r\n"
    "Stray=before any section\r\n"
    "[App]\r\n"
    "Plain=value\r\n"
    "  Blanks \t=  a value, blanks around  \t\r\n"
    "Double=\"quoted\"\r\n"
    "Single='single'\r\n"
    "Open=\"open\r\n"
    "Mixed=\"mixed'\r\n"
    "Inner=a\"b\"c\r\n"
    "Short=\"x\"\r\n"
    "Hollow=\"\"\r\n"
    "Lone=\"\r\n"
    "Empty=\r\n"
    "Bare\r\n"
    "Key=first\r\n"
    "key=second\r\n"
    "Equals=a=b\r\n"
    "=nameless\r\n"
    "[ Other ]\r\n"
    "More=x\r\n"
    "[app]\r\n"
    "Later=y\r\n"
    "Plain=shadowed\r\n"
    "[Numbers]\n"
    "Dec=123\n"
    "Hex=0x1F\n"
    "UpperHex=0X1F\n"
    "Oct=0o17\n"
    "Bin=0b101\n"
    "Minus=-5\n"
    "Plus=+7\n"
    "Text=abc\n"
    "Trailing=42abc\n"
    "Wraps=4294967297\n"
    "Quoted=\" 5\"\n"
    "Blank=\n"
    "Spaces=   12\n"
    "PrefixOnly=0x\n"
    "Long=000000000000000000000000000003000\n"
    "[Last]\n"
    "End=no newline";

struct Query {
  const char* section;
  const char* key;
};

const Query kQueries[] = {
    {"App", "Plain"},  {"APP", "PLAIN"},   {"App", "Blanks"},  {"App", "Double"},
    {"App", "Single"}, {"App", "Open"},    {"App", "Mixed"},   {"App", "Inner"},
    {"App", "Short"},  {"App", "Hollow"},  {"App", "Lone"},    {"App", "Empty"},
    {"App", "Bare"},   {"App", "Key"},     {"App", "Equals"},  {"App", ""},
    {"App", "Later"},  {"App", "Missing"}, {"Other", "More"},  {"Nowhere", "Plain"},
    {"", "Stray"},     {"Numbers", "Dec"}, {"Numbers", "Hex"}, {"Numbers", "Quoted"},
    {"Last", "End"},   {"App", "Plain "},  {"App", "Stray"},
};

const char* const kNumberKeys[] = {"Dec",    "Hex",        "UpperHex", "Oct",    "Bin",    "Minus",
                                   "Plus",   "Text",       "Trailing", "Wraps",  "Quoted", "Blank",
                                   "Spaces", "PrefixOnly", "Long",     "Missing"};

const DWORD kSizes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 64};

TEST_F(Utf8IniTest, TheReaderGivesTheAnswersOfTheModelledWindowsRules) {
  const std::string text = kRules;
  std::vector<Answer> windows, launcher;
  std::vector<UINT> windows_numbers, launcher_numbers;
  for (const std::string& bytes : {text, kBom + text}) {
    const bool utf8 = bytes != text;
    UseIni(bytes);
    for (const Query& query : kQueries) {
      for (DWORD size : kSizes)
        (utf8 ? launcher : windows).push_back(Read(query.section, query.key, size));
    }
    for (const char* key : kNumberKeys)
      (utf8 ? launcher_numbers : windows_numbers).push_back(GetIniInt("Numbers", key, kFallback));
    EXPECT_EQ(utf8 ? 0u : windows.size() + windows_numbers.size(), WindowsReadsSinceFound());
  }
  size_t at = 0;
  for (const Query& query : kQueries) {
    for (DWORD size : kSizes) {
      EXPECT_EQ(windows[at], launcher[at])
          << "[" << query.section << "] " << query.key << ", size " << size;
      ++at;
    }
  }
  for (size_t i = 0; i < std::size(kNumberKeys); ++i)
    EXPECT_EQ(windows_numbers[i], launcher_numbers[i]) << kNumberKeys[i];
}

// The table of integer readings that the simulation and Wine are held to.
TEST_F(Utf8IniTest, TheContractTablesNumbersReadAsWindowsReadsThem) {
  std::ifstream in(PRELAUNCH_SOURCE_DIR "/tests/contract/profile_numbers.ini");
  ASSERT_TRUE(in.good());
  const std::string table((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> keys;
  std::istringstream lines(table);
  std::string line, section;
  while (std::getline(lines, line)) {
    if (!line.empty() && line[0] == '[') section = line;
    size_t equals = line.find('=');
    if (section == "[Values]" && equals != std::string::npos)
      keys.push_back(line.substr(0, equals));
  }
  ASSERT_GT(keys.size(), 20u);
  keys.push_back("Missing");
  UseIni(table);
  std::vector<UINT> windows;
  for (const std::string& key : keys)
    windows.push_back(GetIniInt("Values", key.c_str(), kFallback));
  UseIni(kBom + table);
  for (size_t i = 0; i < keys.size(); ++i)
    EXPECT_EQ(windows[i], GetIniInt("Values", keys[i].c_str(), kFallback)) << keys[i];
  EXPECT_EQ(0u, WindowsReadsSinceFound());
}

// Texts beyond ASCII: the same text in the machine's code page (1252), read
// by Windows, and in UTF-8, read by the launcher, give the same UTF-8 answers.
TEST_F(Utf8IniTest, TheSameTextInCodePage1252AndInUtf8ReadsTheSame) {
  const char ansi[] =
      "[Soci\xE9t\xE9]\r\nNom=Caf\xE9 cr\xE8me\r\nQuoted=\"\xE9t\xE9\"\r\nEuro=\x80 5\r\n"
      "[Application]\r\nProgramName=\xC9QUIPE.EXE\r\n";
  const char utf8[] =
      "[Société]\r\nNom=Café crème\r\nQuoted=\"été\"\r\nEuro=€ 5\r\n"
      "[Application]\r\nProgramName=ÉQUIPE.EXE\r\n";
  const Query queries[] = {{"Société", "Nom"},
                           {"SOCIéTé", "nom"},
                           {"Société", "Quoted"},
                           {"Société", "Euro"},
                           {"Application", "ProgramName"},
                           {"Société", "Missing"}};
  std::vector<Answer> windows;
  UseIni(ansi);
  for (const Query& query : queries) windows.push_back(Read(query.section, query.key, 64));
  for (const std::string& bytes : {std::string(utf8), kBom + std::string(utf8)}) {
    UseIni(bytes);
    for (size_t i = 0; i < std::size(queries); ++i)
      EXPECT_EQ(windows[i], Read(queries[i].section, queries[i].key, 64)) << queries[i].key;
    EXPECT_EQ(0u, WindowsReadsSinceFound());
  }
  EXPECT_EQ((Answer{12, "Café crème"}), windows[0]);
}

// ---- which files the launcher reads itself ----

struct DetectionCase {
  const char* name;
  std::string bytes;
  bool launcher_reads;
  const char* value;  // of [A] K, in UTF-8
};

std::string Utf16(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

class DetectionTest : public Utf8IniTest, public ::testing::WithParamInterface<DetectionCase> {};

TEST_P(DetectionTest, UTF8FilesAreReadByTheLauncherAndOthersByWindows) {
  UseIni(GetParam().bytes);
  EXPECT_EQ((Answer{static_cast<DWORD>(strlen(GetParam().value)), GetParam().value}),
            Read("A", "K", 64));
  EXPECT_EQ(GetParam().launcher_reads ? 0u : 1u, WindowsReadsSinceFound());
  EXPECT_EQ(0, sim::OpenHandleCount());
}

INSTANTIATE_TEST_SUITE_P(
    Utf8Ini, DetectionTest,
    ::testing::Values(
        DetectionCase{"ByteOrderMark", "\xEF\xBB\xBF[A]\nK=v\n", true, "v"},
        DetectionCase{"ByteOrderMarkOnly", "\xEF\xBB\xBF", true, ""},
        DetectionCase{"NoMarkTwoBytes", "[A]\nK=caf\xC3\xA9\n", true, "café"},
        DetectionCase{"NoMarkThreeBytes", "[A]\nK=\xE2\x82\xAC\n", true, "€"},
        DetectionCase{"NoMarkFourBytes", "[A]\nK=\xF0\x9F\x98\x80\n", true, "😀"},
        DetectionCase{"LastCodePoint", "[A]\nK=\xF4\x8F\xBF\xBF", true, "\xF4\x8F\xBF\xBF"},
        DetectionCase{"PureAscii", "[A]\nK=v\n", false, "v"}, DetectionCase{"Empty", "", false, ""},
        DetectionCase{"CodePage1252", "[A]\nK=caf\xE9\n", false, "café"},
        DetectionCase{"CodePage1252LooksLikeALead", "[A]\nK=\xC3\x20x\n", false, "Ã x"},
        DetectionCase{"Utf8And1252Mixed", "[A]\nK=\xC3\xA9\xE9\n", false, "Ã©é"},
        DetectionCase{"OverlongTwoBytes", "[A]\nK=\xC0\xAF\n", false, "À¯"},
        DetectionCase{"OverlongThreeBytes", "[A]\nK=\xE0\x80\xAF\n", false, "à€¯"},
        // Decoded from code page 1252 as Windows reads them: 8F and 90 are
        // U+008F and U+0090, A0 a no-break space, 80 the euro sign, 82 U+201A.
        DetectionCase{"OverlongFourBytes", "[A]\nK=\xF0\x8F\xBF\xBF\n", false,
                      "\xC3\xB0\xC2\x8F\xC2\xBF\xC2\xBF"},
        DetectionCase{"Surrogate", "[A]\nK=\xED\xA0\x80\n", false, "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
        DetectionCase{"PastU10FFFF", "[A]\nK=\xF4\x90\x80\x80\n", false,
                      "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC"},
        DetectionCase{"CutAtTheEnd", "[A]\nK=\xE2\x82", false, "\xC3\xA2\xE2\x80\x9A"},
        DetectionCase{"CutBeforeAscii", "[A]\nK=\xE2\x82x\n", false, "\xC3\xA2\xE2\x80\x9Ax"},
        DetectionCase{"StrayContinuation", "[A]\nK=\xA9\n", false, "©"},
        DetectionCase{"Utf16", Utf16(u"[A]\r\nK=été\r\n"), false, "été"}),
    [](const ::testing::TestParamInfo<DetectionCase>& info) { return info.param.name; });

// On Windows a UTF-8 byte order mark glues itself to the first line and hides
// the first section; the launcher reads it as the first section.
TEST_F(Utf8IniTest, AByteOrderMarkDoesNotHideTheFirstSection) {
  UseIni(std::string(kBom) + "[Application]\r\nProgramName=Société.exe\r\nSplashOffTime=0x10\r\n");
  EXPECT_EQ((Answer{13, "Société.exe"}), Read("Application", "ProgramName", 64));
  EXPECT_EQ(16u, GetIniInt("Application", "SplashOffTime", kFallback));
  EXPECT_EQ(0u, WindowsReadsSinceFound());
}

// A value cut to a small buffer ends before the character that did not fit,
// also where Windows' rule for quoted values cuts one character more.
TEST_F(Utf8IniTest, AValueCutToASmallBufferNeverEndsInHalfACharacter) {
  UseIni(std::string(kBom) + "[A]\nK=aé€😀b\nQ=\"aé\"\nE=\"é\"\n");
  const Answer plain[] = {{0, ""},    {0, ""},      {1, "a"},      {1, "a"},     {3, "aé"},
                          {3, "aé"},  {3, "aé"},    {6, "aé€"},    {6, "aé€"},   {6, "aé€"},
                          {6, "aé€"}, {10, "aé€😀"}, {11, "aé€😀b"}, {11, "aé€😀b"}};
  for (DWORD size = 0; size < std::size(plain); ++size)
    EXPECT_EQ(plain[size], Read("A", "K", size)) << "size " << size;
  // "aé" in quotes is three bytes: a buffer of four is the one short of it.
  const Answer quoted[] = {{0, ""}, {0, ""}, {1, "a"}, {1, "a"}, {1, "a"}, {3, "aé"}};
  for (DWORD size = 0; size < std::size(quoted); ++size)
    EXPECT_EQ(quoted[size], Read("A", "Q", size)) << "size " << size;
  EXPECT_EQ((Answer{0, ""}), Read("A", "E", 3));
  EXPECT_EQ((Answer{2, "é"}), Read("A", "E", 4));
}

// The launcher keeps up to 32 KiB of the file; a larger one stays with Windows.
TEST_F(Utf8IniTest, AFileLargerThanTheRoomStaysWithWindows) {
  const std::string head = "[A]\nK=\xC3\xA9\n;";
  const std::string padding(32768 - head.size(), 'x');
  UseIni(head + padding);
  EXPECT_EQ((Answer{2, "é"}), Read("A", "K", 64));
  EXPECT_EQ(0u, WindowsReadsSinceFound());
  UseIni(head + padding + "x");
  EXPECT_EQ((Answer{4, "Ã©"}), Read("A", "K", 64));
  EXPECT_EQ(1u, WindowsReadsSinceFound());
}

// A file the launcher cannot read itself is still read, by Windows.
TEST_F(Utf8IniTest, AFileThatCannotBeReadStaysWithWindows) {
  for (const char* call : {"OpenFilePath", "ReadFile"}) {
    sim::FailCall(call, ERROR_ACCESS_DENIED, 1);
    UseIni(std::string(kBom) + "[A]\nK=v\n");
    EXPECT_EQ((Answer{1, "v"}), Read("A", "K", 64)) << call;
    EXPECT_EQ(1u, WindowsReadsSinceFound()) << call;
    EXPECT_EQ(0, sim::OpenHandleCount()) << call;
  }
}

// A whole launch from a UTF-8 file, on a double-byte system (code page 932,
// where the last byte of テ is a lead byte): the program and its folder come
// from the file whole.
TEST_F(Utf8IniTest, ALaunchTakesItsProgramFromAUtf8File) {
  sim::SetLeadByteRanges({{0x81, 0x9F}, {0xE0, 0xFC}});
  WriteIni(std::string(kBom) +
           "[Application]\nSplashWaveFile=intro.wav\nProgramName=E:\\Société\\テ\\Café.exe\n");
  sim::WriteFile("E:\\Société\\テ\\Café.exe", "MZ");
  EXPECT_EQ(0, Run());
  ASSERT_EQ(1u, sim::Processes().size());
  EXPECT_EQ(0u, sim::Processes()[0].command_line.find("E:\\Société\\テ\\Café.exe "))
      << sim::Processes()[0].command_line;
  EXPECT_EQ("E:\\Société\\テ\\", sim::Processes()[0].current_directory);
  EXPECT_TRUE(sim::CallsTo("ReadProfileText").empty());
  EXPECT_TRUE(sim::CallsTo("ReadProfileNumber").empty());
}

}  // namespace
