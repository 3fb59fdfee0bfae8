// Colour depth and free memory, and what the launcher does when either falls short.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "checks/display_memory.h"
#include "config/ini.h"
#include "launch_fixture.h"

namespace {

const char kColourMessage[] =
    "This application was designed for 256 color mode or better.\n"
    "Please use the Display Settings to change to 256 Color,\n"
    "High Color or True Color.";

const char kMemoryMessage[] =
    "There are currently not enough system resources to run this application reliably.\n"
    "Tip: To free system resources you can:\n"
    "\tExit other application(s)\n"
    "\tEmpty Recycle Bin\n"
    "\tFree up disk space\n"
    "Please consult your system help for additional tips on making more memory available.\n"
    "Select OK to run this application anyway or Cancel to exit.";

struct ColourCase {
  int bits;  // 0: no device context
  bool passes;
};

class ColourTest : public LaunchTest, public ::testing::WithParamInterface<ColourCase> {};

// No configuration file is written: a display that passes meets its absence next.
TEST_P(ColourTest, TheColourCheckComesFirstAndNeedsNoConfiguration) {
  if (GetParam().bits == 0) {
    sim::FailCall("GetDC", ERROR_ACCESS_DENIED);
  } else {
    sim::SetBitsPerPixel(GetParam().bits);
  }
  EXPECT_EQ(GetParam().passes ? 1 : 0, HasEnoughColors());
  EXPECT_EQ(1, Run());
  ASSERT_EQ(1u, sim::MessageBoxes().size());
  const sim::MessageBoxRecord& box = sim::MessageBoxes()[0];
  if (GetParam().passes) {
    EXPECT_EQ("GetIniFileName", box.caption);
  } else {
    EXPECT_EQ(kColourMessage, box.text);
    EXPECT_EQ(141u, box.text.size());
    EXPECT_EQ("Information", box.caption);
    EXPECT_EQ(0x40u, box.type);
    EXPECT_EQ(nullptr, box.owner);
    EXPECT_TRUE(sim::CallsTo("GetModulePath").empty());
  }
  EXPECT_EQ(0, sim::OpenDeviceContextCount());
}

INSTANTIATE_TEST_SUITE_P(Display, ColourTest,
                         ::testing::Values(ColourCase{1, false}, ColourCase{4, false},
                                           ColourCase{7, false}, ColourCase{8, true},
                                           ColourCase{15, true}, ColourCase{16, true},
                                           ColourCase{24, true}, ColourCase{32, true},
                                           ColourCase{0, false}, ColourCase{-8, true}));

TEST_F(LaunchTest, TheDeviceContextGoesBackToTheDesktopWindow) {
  HasEnoughColors();
  auto desktop = sim::CallsTo("GetDesktopWindow");
  auto taken = sim::CallsTo("GetDC");
  auto released = sim::CallsTo("ReleaseDC");
  ASSERT_EQ(2u, desktop.size());
  ASSERT_EQ(1u, taken.size());
  ASSERT_EQ(1u, released.size());
  EXPECT_EQ(taken[0].args[0], released[0].args[0]);
  EXPECT_EQ("12", sim::CallsTo("GetDeviceCaps")[0].args[1]);
  EXPECT_EQ(0, sim::OpenHandleCount());
}

struct MemoryCase {
  const char* name;
  const char* meg_required;  // nullptr: no key
  DWORD physical;
  DWORD page_file;
  bool queried;
  bool passes;
};

class MemoryTest : public LaunchTest, public ::testing::WithParamInterface<MemoryCase> {};

TEST_P(MemoryTest, FreePhysicalMemoryAndPageFileTogetherMustReachMegRequired) {
  const MemoryCase& c = GetParam();
  std::string ini = "[Application]\nSplashWaveFile=intro.wav\n";
  if (c.meg_required != nullptr) ini += std::string("MegRequired=") + c.meg_required + "\n";
  WriteIni(ini);
  ASSERT_NE(0u, GetIniFileName(nullptr));
  sim::SetFreeMemory(c.physical, c.page_file);
  EXPECT_EQ(c.passes ? 1 : 0, HasEnoughMemory());
  auto queries = sim::CallsTo("GlobalMemoryStatusEx");
  ASSERT_EQ(c.queried ? 1u : 0u, queries.size());
  if (c.queried) {
    EXPECT_EQ("64", queries[0].args[0]);
  }
  EXPECT_TRUE(sim::CallsTo("GlobalMemoryStatus").empty());
}

constexpr DWORD kMeg = 1u << 20;

INSTANTIATE_TEST_SUITE_P(
    Memory, MemoryTest,
    ::testing::Values(
        MemoryCase{"Absent", nullptr, 0, 0, false, true},
        MemoryCase{"Zero", "0", 0, 0, false, true}, MemoryCase{"Empty", "", 0, 0, false, true},
        // Read as the platform reads numbers: text without digits is 0, digits end at the first
        // other character.
        MemoryCase{"NotANumber", "abc", 0, 0, false, true},
        MemoryCase{"LeadingDigits", "100MB", 60 * kMeg, 40 * kMeg - 1, true, false},
        MemoryCase{"HexPrefix", "0x64", 60 * kMeg, 40 * kMeg - 1, true, false},
        MemoryCase{"ExactlyEnough", "100", 60 * kMeg, 40 * kMeg, true, true},
        MemoryCase{"OneByteShort", "100", 60 * kMeg, 40 * kMeg - 1, true, false},
        MemoryCase{"MostlyPageFile", "100", 1 * kMeg, 500 * kMeg, true, true},
        // The sum passes 4 GiB: in 32 bits it would wrap below 2048 megabytes.
        MemoryCase{"SumPastFourGigabytes", "2048", 0x7FFF0000, 0xFFFF0000, true, true},
        // 8192 megabytes shifted in 32 bits would be 0 and pass.
        MemoryCase{"RequirementPastFourGigabytes", "8192", 0xFFFFFFFF, 0xFFFFFFFF, true, false},
        MemoryCase{"FourGigabytesExactly", "4096", 0x80000000, 0x80000000, true, true}),
    [](const ::testing::TestParamInfo<MemoryCase>& info) { return info.param.name; });

constexpr uint64_t kGiB = uint64_t{1} << 30;

// Figures of machines with more free memory than the 32-bit record can show.
struct LargeMemoryCase {
  const char* name;
  const char* meg_required;
  uint64_t physical;
  uint64_t page_file;
  bool passes;
};

class LargeMemoryTest : public LaunchTest, public ::testing::WithParamInterface<LargeMemoryCase> {};

TEST_P(LargeMemoryTest, TheTrueFiguresPastFourGigabytesCount) {
  const LargeMemoryCase& c = GetParam();
  WriteIni(std::string("[Application]\nSplashWaveFile=intro.wav\nMegRequired=") + c.meg_required +
           "\n");
  ASSERT_NE(0u, GetIniFileName(nullptr));
  sim::SetFreeMemory64(c.physical, c.page_file);
  EXPECT_EQ(c.passes ? 1 : 0, HasEnoughMemory());
  EXPECT_EQ(1u, sim::CallsTo("GlobalMemoryStatusEx").size());
}

INSTANTIATE_TEST_SUITE_P(
    Memory, LargeMemoryTest,
    ::testing::Values(
        LargeMemoryCase{"EightGiBFreeMeets6000", "6000", 6 * kGiB, 2 * kGiB, true},
        LargeMemoryCase{"EightGiBFreeAllPhysical", "8192", 8 * kGiB, 0, true},
        LargeMemoryCase{"EightGiBFreeFallsShortOf9000", "9000", 6 * kGiB, 2 * kGiB, false},
        LargeMemoryCase{"SixtyFourGiBFreeMeets60000", "60000", 48 * kGiB, 16 * kGiB, true},
        LargeMemoryCase{"SixtyFourGiBFreeFallsShortOf70000", "70000", 48 * kGiB, 16 * kGiB, false},
        LargeMemoryCase{"SixtyFourGiBExactly", "65536", 48 * kGiB, 16 * kGiB, true},
        LargeMemoryCase{"OneByteShortOfSixtyFourGiB", "65536", 48 * kGiB, 16 * kGiB - 1, false},
        LargeMemoryCase{"LargestRequirement", "4294967295", 48 * kGiB, 16 * kGiB, false}),
    [](const ::testing::TestParamInfo<LargeMemoryCase>& info) { return info.param.name; });

// Without the 64-bit figures the 32-bit record is read, clamped as it is:
// 8 GiB free shows as two figures of 2 GiB - 1.
struct FallbackCase {
  const char* name;
  const char* failing_call;
  size_t extended_queries;
};

class MemoryFallbackTest : public LaunchTest, public ::testing::WithParamInterface<FallbackCase> {};

TEST_P(MemoryFallbackTest, TheThirtyTwoBitRecordServesWhenTheTrueFiguresCannotBeHad) {
  const FallbackCase& c = GetParam();
  sim::SetFreeMemory64(4 * kGiB, 4 * kGiB);
  sim::FailCall(c.failing_call, ERROR_PROC_NOT_FOUND);
  for (const char* meg : {"4095", "4096"}) {
    WriteIni(std::string("[Application]\nSplashWaveFile=intro.wav\nMegRequired=") + meg + "\n");
    ASSERT_NE(0u, GetIniFileName(nullptr));
    EXPECT_EQ(std::string(meg) == "4095" ? 1 : 0, HasEnoughMemory()) << meg;
  }
  EXPECT_EQ(2 * c.extended_queries, sim::CallsTo("GlobalMemoryStatusEx").size());
  auto queries = sim::CallsTo("GlobalMemoryStatus");
  ASSERT_EQ(2u, queries.size());
  EXPECT_EQ("32", queries[0].args[0]);
}

INSTANTIATE_TEST_SUITE_P(Memory, MemoryFallbackTest,
                         ::testing::Values(FallbackCase{"NoKernelModule", "GetModuleHandleA", 0},
                                           FallbackCase{"NoEntryPoint", "GetProcAddress", 0},
                                           FallbackCase{"QueryFails", "GlobalMemoryStatusEx", 1}),
                         [](const ::testing::TestParamInfo<FallbackCase>& info) {
                           return info.param.name;
                         });

struct AnswerCase {
  int answer;  // 0: the box could not be shown
  int status;
};

class MemoryAnswerTest : public LaunchTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(MemoryAnswerTest, OnlyOkGoesOnWithTooLittleMemory) {
  WriteIni(
      "[Application]\nSplashWaveFile=intro.wav\nApplicationName=Game\nMegRequired="
      "4000\nProgramName=GAME.EXE\n");
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  sim::SetFreeMemory(1000 * kMeg, 1000 * kMeg);
  if (GetParam().answer == 0) {
    sim::FailCall("ShowMessageBox", ERROR_NOT_ENOUGH_MEMORY);
  } else {
    sim::QueueAnswer(GetParam().answer);
  }
  EXPECT_EQ(GetParam().status, Run());
  EXPECT_EQ(GetParam().status == 0 ? 1u : 0u, sim::Processes().size());
  auto boxes = sim::CallsTo("ShowMessageBox");
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(kMemoryMessage, boxes[0].args[1]);
  EXPECT_EQ(331u, boxes[0].args[1].size());
  EXPECT_EQ("Information", boxes[0].args[2]);
  EXPECT_EQ("321", boxes[0].args[3]);  // 0x141
}

INSTANTIATE_TEST_SUITE_P(Memory, MemoryAnswerTest,
                         ::testing::Values(AnswerCase{IDOK, 0}, AnswerCase{IDCANCEL, 1},
                                           AnswerCase{0, 1}));

TEST_F(LaunchTest, TheMemoryCheckRunsAfterTheGuardAndBeforeProgramName) {
  WriteIni(
      "[Application]\nSplashWaveFile=intro.wav\nApplicationName=Game\nMegRequired=1\nProgramName="
      "GAME.EXE\n");
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  ASSERT_EQ(0, Run());
  std::vector<std::string> order;
  for (const sim::Call& call : sim::Calls()) {
    bool program_name = call.name == "ReadProfileText" && call.args[1] == "ProgramName";
    if (call.name == "GetDC" || call.name == "GetModulePath" ||
        call.name == "CreateNamedSemaphore" || call.name == "GlobalMemoryStatusEx" || program_name) {
      order.push_back(program_name ? "ProgramName" : call.name);
    }
  }
  EXPECT_THAT(order, ::testing::ElementsAre("GetDC", "GetModulePath", "CreateNamedSemaphore",
                                            "GlobalMemoryStatusEx", "ProgramName"));
}

}  // namespace
