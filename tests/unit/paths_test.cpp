#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "config/paths.h"
#include "platform/host/sim.h"

namespace {

struct SplitCase {
  const char* path;
  const char* drive;
  const char* directory;
  const char* name;
  const char* extension;
};

// Paths are UTF-8 inside the launcher, split and joined byte by byte, also on
// a system whose code page is double-byte (932 here): there E3, 83 and 86 are
// lead bytes, and a lead-byte test would take a backslash after the last byte
// of テ (E3 83 86) for its trail byte.
void StartDoubleByteMachine() {
  sim::Reset();
  sim::SetLeadByteRanges({{0x81, 0x9F}, {0xE0, 0xFC}});
}

class SplitTest : public ::testing::TestWithParam<SplitCase> {
 protected:
  void SetUp() override { StartDoubleByteMachine(); }
};

TEST_P(SplitTest, GivesDriveDirectoryNameAndExtension) {
  const SplitCase& c = GetParam();
  char drive[kDriveCapacity], directory[kPathPieceCapacity];
  char name[kPathPieceCapacity], extension[kPathPieceCapacity];
  EXPECT_EQ(1, Split(c.path, drive, directory, name, extension));
  EXPECT_STREQ(c.drive, drive);
  EXPECT_STREQ(c.directory, directory);
  EXPECT_STREQ(c.name, name);
  EXPECT_STREQ(c.extension, extension);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SplitTest,
    ::testing::Values(SplitCase{"D:\\SETUP\\SETUP.EXE", "D:", "\\SETUP\\", "SETUP", ".EXE"},
                      SplitCase{"D:\\A.B\\FILE", "D:", "\\A.B\\", "FILE",
                                ""},  // dot in the directory
                      SplitCase{"E:\\AUTORUN.EXE", "E:", "\\", "AUTORUN", ".EXE"},
                      SplitCase{"GAME.EXE", "", "", "GAME", ".EXE"},
                      SplitCase{"BIN/GAME.EXE", "", "BIN/", "GAME", ".EXE"},
                      SplitCase{"E:intro.wav", "E:", "", "intro", ".wav"},
                      SplitCase{"\\MEDIA\\intro.wav", "", "\\MEDIA\\", "intro", ".wav"},
                      SplitCase{"C:\\DIR\\", "C:", "\\DIR\\", "", ""},
                      SplitCase{"archive.tar.gz", "", "", "archive.tar", ".gz"},
                      SplitCase{"", "", "", "", ""},
                      SplitCase{"C:\\Тест\\Тест.ini", "C:", "\\Тест\\", "Тест", ".ini"},
                      SplitCase{"D:\\テスト\\テスト.exe", "D:", "\\テスト\\", "テスト", ".exe"},
                      SplitCase{"Société\\Société.wav", "", "Société\\", "Société", ".wav"},
                      // テ's last byte right before a separator or a dot
                      SplitCase{"C:\\テ\\テ.テ", "C:", "\\テ\\", "テ", ".テ"},
                      SplitCase{"テ/テ\\X", "", "テ/テ\\", "X", ""}));

TEST(SplitLimits, PiecesAreCutTo255AndSayedSo) {
  sim::Reset();
  std::string path = "C:\\" + std::string(300, 'd') + "\\" + std::string(300, 'n') + ".ext";
  char directory[kPathPieceCapacity], name[kPathPieceCapacity];
  EXPECT_EQ(0, Split(path.c_str(), nullptr, directory, name, nullptr));
  EXPECT_EQ(255u, strlen(directory));
  EXPECT_EQ(255u, strlen(name));
}

TEST(SplitLimits, AUtf8PieceIsCutAtAWholeCharacter) {
  StartDoubleByteMachine();
  std::string folder, name = "a";
  for (int i = 0; i < 200; ++i) folder += "Т", name += "テ";
  std::string path = "C:" + folder + "\\" + name + ".ext";
  char directory[kPathPieceCapacity], file_name[kPathPieceCapacity];
  EXPECT_EQ(0, Split(path.c_str(), nullptr, directory, file_name, nullptr));
  EXPECT_EQ(folder.substr(0, 254), directory);  // 127 characters of two bytes
  EXPECT_EQ(name.substr(0, 253), file_name);    // a and 84 characters of three
}

struct JoinCase {
  const char* drive;
  const char* directory;
  const char* name;
  const char* extension;
  const char* expected;
};

class JoinTest : public ::testing::TestWithParam<JoinCase> {
 protected:
  void SetUp() override { StartDoubleByteMachine(); }
};

TEST_P(JoinTest, PutsThePiecesTogether) {
  const JoinCase& c = GetParam();
  char out[kPathCapacity];
  EXPECT_EQ(1, Join(out, sizeof out, c.drive, c.directory, c.name, c.extension));
  EXPECT_STREQ(c.expected, out);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, JoinTest,
    ::testing::Values(JoinCase{"D:", "\\X", "Y", "wav", "D:\\X\\Y.wav"},
                      JoinCase{"D:", "\\X", "Y", ".wav", "D:\\X\\Y.wav"},
                      JoinCase{"D:", "", "NAME", "", "D:NAME"},
                      JoinCase{"D:", "\\X/", "Y", nullptr, "D:\\X/Y"},
                      JoinCase{nullptr, "BIN", nullptr, nullptr, "BIN\\"},
                      JoinCase{"d", "\\SETUP\\", "SETUP", ".ini", "d:\\SETUP\\SETUP.ini"},
                      JoinCase{nullptr, nullptr, nullptr, nullptr, ""},
                      JoinCase{"C:", "\\Тест", "Тест", ".ini", "C:\\Тест\\Тест.ini"},
                      // a directory ending in テ still needs its separator
                      JoinCase{"C:", "\\テ", "テ", ".テ", "C:\\テ\\テ.テ"},
                      JoinCase{"C:", "\\テ\\", "X", nullptr, "C:\\テ\\X"}));

TEST(JoinLimits, NeverPassesTheBufferAndSaysItCut) {
  sim::Reset();
  char out[16];
  memset(out, 'x', sizeof out);
  EXPECT_EQ(0, Join(out, sizeof out, "C:", "\\LONGDIRECTORY", "NAME", ".EXT"));
  EXPECT_EQ(15u, strlen(out));
}

struct ResolveCase {
  const char* value;
  const char* replace;
  const char* append;
  const char* prefix;
};

class ResolveTest : public ::testing::TestWithParam<ResolveCase> {
 protected:
  void SetUp() override { sim::Reset(); }
};

TEST_P(ResolveTest, EachFormAgainstTheHomeDirectory) {
  const ResolveCase& c = GetParam();
  const char* home = "D:\\SETUP\\";
  char out[kPathCapacity];
  ResolveReplace(out, sizeof out, home, c.value);
  EXPECT_STREQ(c.replace, out) << "replace " << c.value;
  ResolveAppend(out, sizeof out, home, c.value);
  EXPECT_STREQ(c.append, out) << "append " << c.value;
  ResolvePrefix(out, sizeof out, home, c.value);
  EXPECT_STREQ(c.prefix, out) << "prefix " << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ResolveTest,
    ::testing::Values(ResolveCase{"intro.wav", "D:\\SETUP\\intro.wav", "D:\\SETUP\\intro.wav\\",
                                  "D:\\SETUP\\intro.wav"},
                      ResolveCase{"SOUNDS\\intro.wav", "D:\\SETUP\\intro.wav",
                                  "D:\\SETUP\\SOUNDS\\intro.wav\\", "SOUNDS\\intro.wav"},
                      ResolveCase{"\\MEDIA\\intro.wav", "D:\\SETUP\\intro.wav",
                                  "D:\\SETUP\\\\MEDIA\\intro.wav\\", "\\MEDIA\\intro.wav"},
                      ResolveCase{"E:\\MEDIA\\intro.wav", "E:\\MEDIA\\intro.wav",
                                  "E:\\MEDIA\\intro.wav", "E:\\MEDIA\\intro.wav"},
                      ResolveCase{"E:intro.wav", "E:intro.wav", "E:intro.wav", "E:intro.wav"},
                      ResolveCase{"", "D:\\SETUP\\", "D:\\SETUP\\", "D:\\SETUP\\"},
                      ResolveCase{"CTRL/", "D:\\SETUP\\", "D:\\SETUP\\CTRL/", "CTRL/"},
                      ResolveCase{"C:\\CTRL", "C:\\CTRL", "C:\\CTRL", "C:\\CTRL"}));

TEST(ResolveLimits, AnOverlongResultIsRefusedNotOverrun) {
  sim::Reset();
  std::string home = "D:\\" + std::string(250, 'h') + "\\";
  std::string value = std::string(20, 'v');
  char out[kPathCapacity];
  EXPECT_EQ(0, ResolveAppend(out, sizeof out, home.c_str(), value.c_str()));
  EXPECT_EQ(0, ResolvePrefix(out, sizeof out, home.c_str(), value.c_str()));
  EXPECT_EQ(1, ResolveReplace(out, sizeof out, home.c_str(), "x.wav"));
  EXPECT_EQ(0, ResolveReplace(out, sizeof out, home.c_str(), value.c_str()));
}

// A cut piece still leaves every output a terminated text: callers show it.
struct CutCase {
  const char* name;
  int (*resolve)(char*, size_t, const char*, const char*);
  std::string base;
  std::string value;
  std::string expected;  // what out holds, as far as it fits
};

class CutTest : public ::testing::TestWithParam<CutCase> {
 protected:
  void SetUp() override { sim::Reset(); }
};

const std::string kLongFolder = std::string(256, 'D') + "\\X";

TEST_P(CutTest, TheOutputIsWrittenWhenAPieceIsCut) {
  const CutCase& c = GetParam();
  char out[kPathCapacity + 100];
  memset(out, '#', sizeof out);
  EXPECT_EQ(0, c.resolve(out, sizeof out, c.base.c_str(), c.value.c_str()));
  ASSERT_LT(strnlen(out, sizeof out), sizeof out);
  EXPECT_EQ(c.expected, out);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, CutTest,
    ::testing::Values(
        CutCase{"PrefixDirectoryOver255", ResolvePrefix, "D:\\SETUP\\", kLongFolder, kLongFolder},
        CutCase{"PrefixDriveAndDirectoryOver255", ResolvePrefix, "D:\\SETUP\\",
                "C:\\" + kLongFolder, "C:\\" + kLongFolder},
        CutCase{"ReplaceNameOver255", ResolveReplace, "D:\\SETUP\\", std::string(300, 'n'),
                "D:\\SETUP\\" + std::string(255, 'n')},
        CutCase{"AppendBaseDirectoryOver255", ResolveAppend, "D:\\" + std::string(300, 'h') + "\\",
                "V", "D:\\" + std::string(254, 'h') + "V\\"}),
    [](const ::testing::TestParamInfo<CutCase>& info) { return info.param.name; });

}  // namespace
