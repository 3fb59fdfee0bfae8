#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "base/bounded_text.h"
#include "base/trace.h"
#include "launch_fixture.h"
#include "launch/launch.h"
#include "launcher/command_line.h"
#include "launcher/switches.h"

namespace {

struct SwitchCase {
  const char* arguments;
  int debug;
  int slow_load;
};

class SwitchTest : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchTest, OnlyTheFirstTwoSlashWordsCount) {
  Switches switches = ReadSwitches(GetParam().arguments);
  EXPECT_EQ(GetParam().debug, switches.debug) << GetParam().arguments;
  EXPECT_EQ(GetParam().slow_load, switches.slow_load) << GetParam().arguments;
}

INSTANTIATE_TEST_SUITE_P(
    Launcher, SwitchTest,
    ::testing::Values(SwitchCase{"/Debug", 1, 0}, SwitchCase{"/debug", 1, 0},
                      SwitchCase{"/DEBUG", 1, 0}, SwitchCase{"-Debug", 0, 0},
                      SwitchCase{"Debug", 0, 0}, SwitchCase{"", 0, 0}, SwitchCase{" /Debug", 0, 0},
                      SwitchCase{"/Debug/SlowLoad", 0, 0}, SwitchCase{"/SlowLoad /Debug", 1, 1},
                      SwitchCase{"/X /SlowLoad", 0, 1}, SwitchCase{"/A /B /SlowLoad", 0, 0},
                      SwitchCase{"/Debug SlowLoad", 1, 0}, SwitchCase{"/Debug   /slowload", 1, 1},
                      SwitchCase{"/DebugDebugDebugDebugDebugDebugDebugDebug", 0, 0},
                      SwitchCase{"/ Debug", 1, 0}, SwitchCase{"/\tDebug\t/SlowLoad", 1, 1},
                      SwitchCase{"/", 0, 0}, SwitchCase{"/ ", 0, 0}, SwitchCase{"/ /Debug", 0, 0},
                      SwitchCase{"/Debug\n/SlowLoad", 1, 1}, SwitchCase{"/SlowLoad\x01", 0, 0}));

TEST(SwitchLimits, AWordLongerThan31CharactersIsCutNotOverrun) {
  // 31 characters of the word fit; its 32nd character would have to be a '/'.
  std::string long_word = "/" + std::string(31, 'x') + "Debug";
  EXPECT_EQ(0, ReadSwitches(long_word.c_str()).debug);
  std::string joined = "/" + std::string(31, 'x') + "/Debug";
  EXPECT_EQ(1, ReadSwitches(joined.c_str()).debug);
}

struct ArgumentsCase {
  const char* line;
  const char* arguments;
};

class ArgumentsTest : public ::testing::TestWithParam<ArgumentsCase> {};

// WinMain gets what follows the program's name, as the C runtime would hand it over.
TEST_P(ArgumentsTest, AreWhatFollowsTheProgramName) {
  std::string line = GetParam().line;
  EXPECT_STREQ(GetParam().arguments, ArgumentsAfterProgramName(&line[0]));
}

INSTANTIATE_TEST_SUITE_P(
    Launcher, ArgumentsTest,
    ::testing::Values(ArgumentsCase{"SETUP.EXE /Debug", "/Debug"},
                      ArgumentsCase{"\"D:\\My CD\\SETUP.EXE\" /Debug /SlowLoad",
                                    "/Debug /SlowLoad"},
                      ArgumentsCase{"\"D:\\My CD\\SETUP.EXE\"/Debug", "/Debug"},
                      ArgumentsCase{"SETUP.EXE", ""}, ArgumentsCase{"\"SETUP.EXE", ""},
                      ArgumentsCase{"", ""}, ArgumentsCase{"SETUP.EXE \t  /Debug  ", "/Debug  "},
                      ArgumentsCase{"\"\" /Debug", "/Debug"},
                      ArgumentsCase{"D:\\\xC4RGER.EXE /Debug", "/Debug"}));

TEST(ArgumentsLimits, NoCommandLineMeansNoArguments) {
  EXPECT_STREQ("", ArgumentsAfterProgramName(nullptr));
}

struct CommandLineCase {
  const char* directory;
  const char* program;
  uintptr_t splash;
  const char* expected;
};

class CommandLineTest : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, ProgramPartBlankAndHandle) {
  const CommandLineCase& c = GetParam();
  char out[600];
  EXPECT_EQ(1, BuildCommandLine(out, sizeof out, c.directory, c.program,
                                reinterpret_cast<HWND>(c.splash)));
  EXPECT_STREQ(c.expected, out);
}

INSTANTIATE_TEST_SUITE_P(
    Launcher, CommandLineTest,
    ::testing::Values(
        CommandLineCase{"D:\\SETUP\\", "GAME.EXE", 0, "D:\\SETUP\\GAME.EXE /00000000"},
        CommandLineCase{"D:\\SETUP\\", "BIN\\GAME.EXE", 0x1a2b,
                        "D:\\SETUP\\BIN\\GAME.EXE /00001a2b"},
        CommandLineCase{"E:\\APP\\", "E:\\APP\\GAME.EXE", 0xdeadbeef,
                        "E:\\APP\\GAME.EXE /deadbeef"},
        // A blank anywhere in the program part quotes it.
        CommandLineCase{"C:\\Program Files\\SETUP\\", "GAME.EXE", 0,
                        "\"C:\\Program Files\\SETUP\\GAME.EXE\" /00000000"},
        CommandLineCase{"D:\\SETUP\\", "MY GAME.EXE", 0, "\"D:\\SETUP\\MY GAME.EXE\" /00000000"},
        CommandLineCase{"C:\\Program Files\\", "E:\\GAME.EXE", 0, "E:\\GAME.EXE /00000000"}));

TEST(CommandLineLimits, ALineThatDoesNotFitIsRefused) {
  char out[20];
  EXPECT_EQ(0, BuildCommandLine(out, sizeof out, "D:\\SETUP\\", "GAME.EXE", nullptr));
  EXPECT_EQ(19u, strlen(out));
}

class TraceTest : public LaunchTest {};

TEST_F(TraceTest, LinesCarryTheElapsedMillisecondsSinceTheStart) {
  sim::SetClock(5000);
  TraceStart(1);
  sim::SetClock(5042);
  TraceEvent("Step");
  sim::SetClock(4999);  // the clock wrapped: printed as a signed number
  TraceEvent("Back");
  TraceStop();
  TraceEvent("After stop");
  ASSERT_EQ(4u, sim::DebugOutput().size());
  EXPECT_EQ("CurrentTime: 00000000 Application Start\n", sim::DebugOutput()[0]);
  EXPECT_EQ("CurrentTime: 00000042 Step\n", sim::DebugOutput()[1]);
  EXPECT_EQ("CurrentTime: -0000001 Back\n", sim::DebugOutput()[2]);
  EXPECT_EQ("CurrentTime: -0000001 Application Stop\n", sim::DebugOutput()[3]);
  EXPECT_EQ(0, IsTraceOn());
}

TEST_F(TraceTest, OffWritesNothingButStillStampsTheStart) {
  sim::SetClock(100);
  TraceStart(0);
  TraceEvent("quiet");
  EXPECT_TRUE(sim::DebugOutput().empty());
  sim::SetClock(350);
  TraceStart(1);
  sim::SetClock(400);
  TraceEvent("loud");
  EXPECT_EQ("CurrentTime: 00000050 loud\n", sim::DebugOutput().back());
}

TEST_F(TraceTest, ALongTextIsCutTo359Characters) {
  TraceStart(1);
  TraceEvent(std::string(400, 'x').c_str());
  EXPECT_EQ(359u, sim::DebugOutput().back().size());
  TraceStop();
}

TEST(BoundedText, FormatAndCopyReportCutting) {
  char out[8];
  EXPECT_EQ(1, FormatText(out, sizeof out, "%s", "1234567"));
  EXPECT_EQ(0, FormatText(out, sizeof out, "%s", "12345678"));
  EXPECT_STREQ("1234567", out);
  EXPECT_EQ(0, CopyText(out, sizeof out, "abcdefghij"));
  EXPECT_STREQ("abcdefg", out);
  EXPECT_EQ(1, CopyText(out, sizeof out, "abc"));
  EXPECT_EQ(1, AppendText(out, sizeof out, "defg"));
  EXPECT_EQ(0, AppendText(out, sizeof out, "h"));
  EXPECT_STREQ("abcdefg", out);
  EXPECT_EQ(0, CopyText(out, 0, "x"));
  EXPECT_EQ(1, EqualsNoCase("SlowLoad", "sLOWlOAD"));
  EXPECT_EQ(0, EqualsNoCase("SlowLoad", "SlowLoa"));
}

struct Formatted {
  int fitted;
  std::string text;
};

template <typename... Args>
Formatted FormatInto16(const char* format, Args... args) {
  char out[16];
  std::memset(out, '#', sizeof out);
  int fitted = FormatText(out, sizeof out, format, args...);
  return {fitted, out};
}

struct FormatCase {
  const char* expected;
  int fitted;
  Formatted actual;
};

// Each conversion the launcher's texts use, at its edges, as the C library writes it.
TEST(BoundedText, TheFormatterWritesWhatTheCLibraryWrites) {
  const FormatCase cases[] = {
      {"CurrentTime: 00", 0, FormatInto16("CurrentTime: %08ld", 42L)},
      {"[00000042]", 1, FormatInto16("[%08ld]", 42L)},
      {"[-0000042]", 1, FormatInto16("[%08ld]", -42L)},
      {"[123456789]", 1, FormatInto16("[%08ld]", 123456789L)},
      {"[-2147483648]", 1, FormatInto16("[%ld]", -2147483647L - 1)},
      {"[0]", 1, FormatInto16("[%d]", 0)},
      {"7.0.-1.65535", 1, FormatInto16("%d.%d.%d.%d", 7, 0, -1, 65535)},
      {"[0000ff0a]", 1, FormatInto16("[%08x]", 0xff0au)},
      {"[ffffffff]", 1, FormatInto16("[%lx]", 0xffffffffUL)},
      {"[0409] [04E4]", 1, FormatInto16("[%04hX] [%04hX]", 0x409, 0x104e4)},
      {"[4294967295]", 1, FormatInto16("[%u]", 4294967295u)},
      {"[abc]", 1, FormatInto16("[%.*s]", 3, "abcdef")},
      {"[abcdef]", 1, FormatInto16("[%.*s]", -1, "abcdef")},
      {"[]", 1, FormatInto16("[%.*s]", 0, "abcdef")},
      {"[ab]", 1, FormatInto16("[%.2s]", "abc")},
      {"[  ab][ab  ]", 1, FormatInto16("[%4s][%-4s]", "ab", "ab")},
      {"100% x", 1, FormatInto16("100%% %c", 'x')},
      {"123456789012345", 1, FormatInto16("%s", "123456789012345")},
      {"123456789012345", 0, FormatInto16("%s", "1234567890123456")},
      {"12345678901234-", 0, FormatInto16("%s%ld", "12345678901234", -5L)},
      {"a%qb", 1, FormatInto16("a%qb")},
      // A precision is a number's least count of digits; the 0 flag then counts for none.
      {"[00042][-0042]", 1, FormatInto16("[%.5d][%.4ld]", 42, -42L)},
      {"[    0042][]", 1, FormatInto16("[%08.4x][%.0u]", 0x42u, 0u)},
  };
  for (const FormatCase& c : cases) {
    EXPECT_EQ(c.expected, c.actual.text);
    EXPECT_EQ(c.fitted, c.actual.fitted) << c.expected;
  }
  // The same numbers through the C library, over the widths and signs in use.
  char expected[64];
  const long values[] = {
      0, 1, -1, 9, 10, -10, 99999999, -9999999, 100000000, 2147483647L, -2147483647L - 1};
  for (long value : values) {
    char out[64];
    const char* formats[] = {"%ld", "%08ld", "%lx", "%08lx", "%-6ld|"};
    for (const char* f : formats) {
      std::snprintf(expected, sizeof expected, f, value);
      FormatText(out, sizeof out, f, value);
      EXPECT_STREQ(expected, out) << f << " " << value;
    }
  }
}

}  // namespace
