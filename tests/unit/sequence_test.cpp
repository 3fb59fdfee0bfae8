// The start-up sequence as far as it is built: configuration, application
// directory, command line, launch and wait.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "config/ini.h"
#include "launch_fixture.h"

namespace {

using ::testing::ElementsAre;

class SequenceTest : public LaunchTest {};

TEST_F(SequenceTest, ARelativeProgramNameStartsFromTheHomeDirectory) {
  WriteIni("[Application]\nApplicationName=Game\nSplashWaveFile=intro.wav\nProgramName=GAME.EXE\n");
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  EXPECT_EQ(0, Run());
  ASSERT_EQ(1u, sim::Processes().size());
  const sim::ProcessRecord& process = sim::Processes()[0];
  EXPECT_EQ("D:\\SETUP\\GAME.EXE /00000000", process.command_line);
  EXPECT_EQ("D:\\SETUP\\", process.current_directory);
  EXPECT_EQ("(null)", process.application);
  EXPECT_FALSE(process.has_environment);
  EXPECT_EQ(FALSE, process.inherit_handles);
  EXPECT_EQ(0u, process.creation_flags);
  EXPECT_EQ(sizeof(STARTUPINFOA), process.startup_size);
  EXPECT_TRUE(process.startup_zeroed);
  EXPECT_EQ("D:\\SETUP", sim::CurrentDirectory());
  EXPECT_EQ(0, sim::OpenHandleCount());
  EXPECT_TRUE(sim::MessageBoxes().empty());
}

TEST_F(SequenceTest, AProgramNameWithADirectoryButNoDriveStillWorksInTheHomeDirectory) {
  WriteIni(
      "[Application]\nApplicationName=Game\nSplashWaveFile=intro.wav\nProgramName=BIN\\GAME.EXE\n");
  sim::WriteFile("D:\\SETUP\\BIN\\GAME.EXE", "MZ");
  EXPECT_EQ(0, Run());
  ASSERT_EQ(1u, sim::Processes().size());
  EXPECT_EQ("D:\\SETUP\\BIN\\GAME.EXE /00000000", sim::Processes()[0].command_line);
  EXPECT_EQ("D:\\SETUP\\", sim::Processes()[0].current_directory);
}

TEST_F(SequenceTest, AProgramNameWithADriveRunsInItsOwnDirectory) {
  WriteIni(
      "[Application]\nApplicationName=Game\nSplashWaveFile=intro.wav\nProgramName=E:\\APP\\GAME."
      "EXE\n");
  sim::WriteFile("E:\\APP\\GAME.EXE", "MZ");
  EXPECT_EQ(0, Run());
  ASSERT_EQ(1u, sim::Processes().size());
  EXPECT_EQ("E:\\APP\\GAME.EXE /00000000", sim::Processes()[0].command_line);
  EXPECT_EQ("E:\\APP\\", sim::Processes()[0].current_directory);
}

TEST_F(SequenceTest, AHomeDirectoryWithABlankIsQuotedSoNoShorterPrefixRuns) {
  sim::SetModuleFileName("C:\\Program Files\\SETUP.EXE");
  sim::WriteFile(
      "C:\\Program Files\\SETUP\\SETUP.ini",
      "[Application]\nApplicationName=Game\nSplashWaveFile=intro.wav\nProgramName=GAME.EXE\n");
  sim::WriteFile("C:\\Program Files\\SETUP\\GAME.EXE", "MZ");
  sim::WriteFile("C:\\Program.exe", "MZ");  // the decoy an unquoted line would start
  EXPECT_EQ(0, Run());
  ASSERT_EQ(1u, sim::Processes().size());
  EXPECT_EQ("\"C:\\Program Files\\SETUP\\GAME.EXE\" /00000000", sim::Processes()[0].command_line);
}

TEST_F(SequenceTest, SlowLoadGivesPathTmpSystemRootAndTheControlFolder) {
  WriteIni(
      "[Application]\nApplicationName=Game\nSplashWaveFile=intro.wav\nProgramName=GAME.EXE\n["
      "SystemOcx]\nOcxPath=FILES\\OCX\n");
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  sim::MakeDirectory("D:\\SETUP\\FILES\\OCX");
  sim::SetTempPath("C:\\TEMP\\");
  EXPECT_EQ(0, Run("/SlowLoad"));
  ASSERT_EQ(1u, sim::Processes().size());
  const sim::ProcessRecord& process = sim::Processes()[0];
  EXPECT_EQ("D:\\SETUP\\FILES\\OCX\\", process.current_directory);
  EXPECT_THAT(process.environment, ElementsAre("Path=D:\\SETUP\\FILES\\OCX\\;D:\\SETUP\\",
                                               "Tmp=C:\\TEMP\\", "SystemRoot=C:\\WINDOWS"));
}

TEST_F(SequenceTest, SlowLoadWithoutOcxPathOrTempFolder) {
  WriteIni("[Application]\nApplicationName=Game\nSplashWaveFile=intro.wav\nProgramName=GAME.EXE\n");
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  sim::SetTempPath("");
  EXPECT_EQ(0, Run("/x /slowload"));
  ASSERT_EQ(1u, sim::Processes().size());
  EXPECT_EQ("D:\\SETUP\\", sim::Processes()[0].current_directory);
  EXPECT_THAT(sim::Processes()[0].environment,
              ElementsAre("Path=D:\\SETUP\\;D:\\SETUP\\", "SystemRoot=C:\\WINDOWS"));
}

struct SystemRootCase {
  const char* name;
  bool present;  // the launcher's environment has the variable
  std::string value;
  bool passed_on;
};

class SystemRootTest : public LaunchTest, public ::testing::WithParamInterface<SystemRootCase> {};

TEST_P(SystemRootTest, SlowLoadPassesOnTheLaunchersSystemRootWhenItFits) {
  const SystemRootCase& c = GetParam();
  WriteIni("[Application]\nApplicationName=Game\nSplashWaveFile=intro.wav\nProgramName=GAME.EXE\n");
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  sim::SetTempPath("");
  if (c.present) {
    sim::SetEnvironmentValue("SYSTEMROOT", c.value);
  } else {
    sim::RemoveEnvironmentValue("SystemRoot");
  }
  EXPECT_EQ(0, Run("/SlowLoad"));
  ASSERT_EQ(1u, sim::Processes().size());
  std::vector<std::string> expected = {"Path=D:\\SETUP\\;D:\\SETUP\\"};
  if (c.passed_on) expected.push_back("SystemRoot=" + c.value);
  EXPECT_EQ(expected, sim::Processes()[0].environment);
}

INSTANTIATE_TEST_SUITE_P(
    Launch, SystemRootTest,
    ::testing::Values(SystemRootCase{"Usual", true, "C:\\WINDOWS", true},
                      SystemRootCase{"OtherDrive", true, "E:\\WINNT", true},
                      SystemRootCase{"None", false, "", false},
                      SystemRootCase{"Empty", true, "", false},
                      SystemRootCase{"Longest", true, "C:\\" + std::string(256, 'w'), true},
                      SystemRootCase{"TooLong", true, "C:\\" + std::string(257, 'w'), false}),
    [](const ::testing::TestParamInfo<SystemRootCase>& info) {
      return std::string(info.param.name);
    });

TEST_F(SequenceTest, SlowLoadWithAnOcxPathOnAnotherDriveUsesItAsRead) {
  WriteIni(
      "[Application]\nApplicationName=Game\nSplashWaveFile=intro.wav\nProgramName=GAME.EXE\n["
      "SystemOcx]\nOcxPath=C:\\CTRL\n");
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  sim::MakeDirectory("C:\\CTRL");
  EXPECT_EQ(0, Run("/SlowLoad"));
  ASSERT_EQ(1u, sim::Processes().size());
  EXPECT_EQ("C:\\CTRL", sim::Processes()[0].current_directory);
  EXPECT_EQ("Path=C:\\CTRL;D:\\SETUP\\", sim::Processes()[0].environment[0]);
}

TEST_F(SequenceTest, DebugTracesTheWholeRunInOrder) {
  WriteIni("[Application]\nApplicationName=Game\nSplashWaveFile=intro.wav\nProgramName=GAME.EXE\n");
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  sim::ScriptProcess(2);
  sim::SetClockStep(3);
  EXPECT_EQ(0, Run("/Debug"));
  EXPECT_THAT(TraceTexts(),
              ElementsAre("Application Start", "CreateApplicationKeys", "Create Company Key: 0",
                          "SetValue: 0", "IsAutoRunDisabled", "SplashOn", "SplashOn Exit",
                          "CheckCoreComponents", "RegisterOCXs", "RegisterOCX Type: SystemOcx",
                          "RegisterOCX Type: ApplicationOcx", "WinExec", "WinExec Process Started",
                          "WinExec Process Started", "WinExec Process Started", "Process Exited",
                          "UnRegisterOCXs", "DeleteAppRegisteredOCX", "Application Stop"));
  for (const std::string& line : sim::DebugOutput()) {
    EXPECT_TRUE(line.rfind("CurrentTime: 000000", 0) == 0 && line.back() == '\n') << line;
  }
}

TEST_F(SequenceTest, WithoutDebugNothingIsTraced) {
  WriteIni("[Application]\nApplicationName=Game\nSplashWaveFile=intro.wav\nProgramName=GAME.EXE\n");
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  EXPECT_EQ(0, Run("-Debug"));
  EXPECT_TRUE(sim::DebugOutput().empty());
}

TEST_F(SequenceTest, TheWaitPumpsEveryQueuedMessageAndPublishesTheThread) {
  WriteIni("[Application]\nApplicationName=Game\nSplashWaveFile=intro.wav\nProgramName=GAME.EXE\n");
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  sim::ScriptProcess(2, [](int wake) {
    for (int i = 0; i < wake; ++i)
      sim::PostQueueMessage(nullptr, 0x400 + static_cast<UINT>(wake), 0, 0);
  });
  EXPECT_EQ(0, Run());
  EXPECT_EQ(3u, sim::DispatchedMessages().size());
  EXPECT_EQ(3u, sim::CallsTo("TranslateMessage").size());
  EXPECT_EQ(0, sim::OpenHandleCount());
}

enum class Flood { kPaintThatNeverValidates, kPostedMessages };

struct FloodCase {
  const char* name;
  Flood flood;
};

class FloodTest : public SequenceTest, public ::testing::WithParamInterface<FloodCase> {};

// The application ends while the queue still has work: the launcher must see
// the end however much more work keeps coming.
TEST_P(FloodTest, AQueueThatNeverEmptiesDoesNotHideTheApplicationsEnd) {
  WriteIni("[Application]\nApplicationName=Game\nSplashWaveFile=intro.wav\nProgramName=GAME.EXE\n");
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  InstallSplash();
  if (GetParam().flood == Flood::kPaintThatNeverValidates) {
    sim::FailCall("BeginPaint", ERROR_NOT_ENOUGH_MEMORY);
    sim::FailCall("ValidateRect", ERROR_NOT_ENOUGH_MEMORY);
  } else {
    sim::ScriptProcess(1, [](int) {
      for (int i = 0; i < 150000; ++i) sim::PostQueueMessage(nullptr, 0x400, 0, 0);
    });
  }
  sim::EndApplicationAfterPeeks(50);
  EXPECT_EQ(0, Run());
  EXPECT_FALSE(sim::QueueRanAway());
  EXPECT_LE(sim::CallsTo("PeekMessageA").size(), 60u);
  EXPECT_EQ(0, OpenAtExit());
}

INSTANTIATE_TEST_SUITE_P(
    Launch, FloodTest,
    ::testing::Values(FloodCase{"PaintThatNeverValidates", Flood::kPaintThatNeverValidates},
                      FloodCase{"PostedMessages", Flood::kPostedMessages}),
    [](const ::testing::TestParamInfo<FloodCase>& info) { return info.param.name; });

TEST_F(SequenceTest, APaintThatCannotBeginDoesNotKeepTheWaitFromTheApplicationsEnd) {
  WriteIni("[Application]\nApplicationName=Game\nSplashWaveFile=intro.wav\nProgramName=GAME.EXE\n");
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  InstallSplash();
  sim::FailCall("BeginPaint", ERROR_NOT_ENOUGH_MEMORY);
  sim::ScriptProcess(2);
  EXPECT_EQ(0, Run());
  EXPECT_FALSE(sim::QueueRanAway());
  EXPECT_EQ(1u, sim::CallsTo("BeginPaint").size());
  EXPECT_EQ(0, OpenAtExit());
}

struct RefusalCase {
  const char* name;
  const char* ini;  // nullptr: no configuration file
  const char* caption;
  const char* text;
  int status;
};

class RefusalTest : public LaunchTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, ShowsItsMessageAndEnds) {
  const RefusalCase& c = GetParam();
  if (c.ini != nullptr) WriteIni(c.ini);
  EXPECT_EQ(c.status, Run());
  ASSERT_EQ(1u, sim::MessageBoxes().size());
  EXPECT_EQ(c.caption, sim::MessageBoxes()[0].caption);
  EXPECT_EQ(c.text, sim::MessageBoxes()[0].text);
  EXPECT_EQ(nullptr, sim::MessageBoxes()[0].owner);
  EXPECT_EQ(0, sim::OpenHandleCount());
}

INSTANTIATE_TEST_SUITE_P(
    Sequence, RefusalTest,
    ::testing::Values(
        RefusalCase{"NoConfigurationFile", nullptr, "GetIniFileName",
                    "Failed to find configuration file: D:\\SETUP\\SETUP.ini", 1},
        RefusalCase{
            "NoProgramName",
            "[Application]\nSplashWaveFile=intro.wav\nApplicationName=Game\nCompanyName=X\n",
            "GetPrivateProfileString",
            "Failed to find label: ProgramName in Section: Application\n INIFile: "
            "D:\\SETUP\\SETUP.ini",
            1},
        RefusalCase{"EmptyProgramName",
                    "[Application]\nApplicationName=Game\nSplashWaveFile=intro.wav\nProgramName=\n",
                    "GetPrivateProfileString",
                    "Failed to find label: ProgramName in Section: Application\n INIFile: "
                    "D:\\SETUP\\SETUP.ini",
                    1},
        RefusalCase{"MissingDirectory",
                    "[Application]\nApplicationName=Game\nSplashWaveFile=intro.wav\nProgramName=F:"
                    "\\NOWHERE\\GAME.EXE\n",
                    "GetPrivateProfileString", "Could not set cwd to F:\\NOWHERE\\", 1},
        RefusalCase{"MissingProgram",
                    "[application]\napplicationname=Game\nprogramname=NOGAME.EXE\nSplashWaveFile="
                    "intro.wav\n",
                    "WinExecAndWait", "Failed to Create Process D:\\SETUP\\NOGAME.EXE /00000000\n",
                    0}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

TEST_F(SequenceTest, AMessageBoxTypeIsInformationOrPlain) {
  WriteIni(
      "[Application]\nApplicationName=Game\nSplashWaveFile=intro.wav\nProgramName=NOGAME.EXE\n");
  Run();
  ASSERT_EQ(1u, sim::MessageBoxes().size());
  EXPECT_EQ(0u, sim::MessageBoxes()[0].type);
  sim::Reset();
  sim::SetModuleFileName("D:\\SETUP.EXE");
  Run();
  ASSERT_EQ(1u, sim::MessageBoxes().size());
  EXPECT_EQ(0x40u, sim::MessageBoxes()[0].type);
}

struct HomeCase {
  const char* module;
  const char* home;
  const char* ini;
};

class HomeTest : public LaunchTest, public ::testing::WithParamInterface<HomeCase> {};

TEST_P(HomeTest, HomeDirectoryAndConfigurationFileFollowTheModuleName) {
  sim::SetModuleFileName(GetParam().module);
  sim::WriteFile(GetParam().ini, "");
  EXPECT_EQ(strlen(GetParam().ini) + 1, GetIniFileName(nullptr));
  EXPECT_STREQ(GetParam().home, GetHomeDirectory());
  EXPECT_STREQ(GetParam().ini, GetIniFilePath());
}

INSTANTIATE_TEST_SUITE_P(
    Configuration, HomeTest,
    ::testing::Values(HomeCase{"C:\\GAMES\\PLAY.EXE", "C:\\GAMES\\PLAY\\",
                               "C:\\GAMES\\PLAY\\PLAY.ini"},
                      HomeCase{"E:\\AUTORUN.EXE", "E:\\AUTORUN\\", "E:\\AUTORUN\\AUTORUN.ini"},
                      HomeCase{"D:\\Cd\\Setup.Exe", "D:\\Cd\\Setup\\", "D:\\Cd\\Setup\\Setup.ini"},
                      HomeCase{"D:\\NOEXT", "D:\\NOEXT\\", "D:\\NOEXT\\NOEXT.ini"}));

TEST_F(SequenceTest, AModuleNameShorterThanThreeCharactersEndsSilently) {
  sim::SetModuleFileName("AB");
  EXPECT_EQ(0u, GetIniFileName(nullptr));
  EXPECT_TRUE(sim::MessageBoxes().empty());
}

struct LengthCase {
  size_t folder_length;  // characters of the launcher's folder name
  bool found;
};

class PathLengthTest : public LaunchTest, public ::testing::WithParamInterface<LengthCase> {};

// The configuration path is D:\ + folder + \SETUP\SETUP.ini: 19 characters more.
TEST_P(PathLengthTest, AConfigurationPathOf260OrMoreIsRefusedWithItsPath) {
  std::string folder(GetParam().folder_length, 'f');
  std::string module = "D:\\" + folder + "\\SETUP.EXE";
  std::string ini = "D:\\" + folder + "\\SETUP\\SETUP.ini";
  sim::SetModuleFileName(module);
  sim::WriteFile(ini, "");
  unsigned result = GetIniFileName(nullptr);
  if (GetParam().found) {
    EXPECT_EQ(ini.size() + 1, result);
    EXPECT_TRUE(sim::MessageBoxes().empty());
  } else {
    EXPECT_EQ(0u, result);
    EXPECT_STREQ("", GetIniFilePath());
    ASSERT_EQ(1u, sim::MessageBoxes().size());
    // As far as the message's 359 characters reach.
    EXPECT_EQ(("Failed to find configuration file: " + ini).substr(0, 359),
              sim::MessageBoxes()[0].text);
    EXPECT_EQ("GetIniFileName", sim::MessageBoxes()[0].caption);
    EXPECT_EQ(0x40u, sim::MessageBoxes()[0].type);
  }
}

INSTANTIATE_TEST_SUITE_P(Configuration, PathLengthTest,
                         ::testing::Values(LengthCase{230, true}, LengthCase{240, true},
                                           LengthCase{241, false}, LengthCase{242, false},
                                           LengthCase{300, false}, LengthCase{400, false}));

struct ValueCase {
  size_t value_length;
  DWORD capacity;
  DWORD expected;
};

class ValueLengthTest : public LaunchTest, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(ValueLengthTest, AValueLongerThanItsBufferIsCut) {
  std::string value(GetParam().value_length, 'v');
  WriteIni("[Application]\nSplashWaveFile=intro.wav\nApplicationName=Game\nKey=" + value + "\n");
  ASSERT_NE(0u, GetIniFileName(nullptr));
  std::vector<char> out(GetParam().capacity);
  EXPECT_EQ(GetParam().expected,
            GetIniString("Application", "Key", out.data(), GetParam().capacity, 1));
  EXPECT_EQ(GetParam().expected, strlen(out.data()));
  EXPECT_TRUE(sim::MessageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Configuration, ValueLengthTest,
                         ::testing::Values(ValueCase{259, 260, 259}, ValueCase{260, 260, 259},
                                           ValueCase{261, 260, 259}, ValueCase{400, 260, 259},
                                           ValueCase{260, 261, 260}, ValueCase{261, 261, 260},
                                           ValueCase{400, 261, 260}));

TEST_F(SequenceTest, AFourHundredCharacterProgramNameIsCutAndNeverOverruns) {
  std::string name = std::string(396, 'g') + ".EXE";
  WriteIni("[Application]\nApplicationName=Game\nSplashWaveFile=intro.wav\nProgramName=" + name +
           "\n");
  EXPECT_EQ(0, Run());
  ASSERT_EQ(1u, sim::MessageBoxes().size());
  EXPECT_EQ("Failed to Create Process D:\\SETUP\\" + std::string(260, 'g') + " /00000000\n",
            sim::MessageBoxes()[0].text.substr(0, 360));
}

TEST_F(SequenceTest, ADriveProgramNameWhoseFolderIsTooLongCannotBecomeTheWorkingDirectory) {
  std::string folder = "E:\\" + std::string(255, 'd') + "\\";
  WriteIni("[Application]\nApplicationName=Game\nSplashWaveFile=intro.wav\nProgramName=" + folder +
           "G.EXE\n");
  EXPECT_EQ(1, Run());
  ASSERT_EQ(1u, sim::MessageBoxes().size());
  EXPECT_EQ("GetPrivateProfileString", sim::MessageBoxes()[0].caption);
  EXPECT_EQ(0u, sim::Processes().size());
}

struct ListKeyCase {
  unsigned ordinal;
  const char* name;
};

class ListKeyTest : public ::testing::TestWithParam<ListKeyCase> {};

TEST_P(ListKeyTest, OrdinalsAreWrittenInBaseNine) {
  char name[kListKeyCapacity];
  ASSERT_EQ(1, ListKeyName(name, sizeof name, "Core", GetParam().ordinal, ""));
  EXPECT_STREQ(GetParam().name, name);
}

INSTANTIATE_TEST_SUITE_P(Configuration, ListKeyTest,
                         ::testing::Values(ListKeyCase{1, "Core1"}, ListKeyCase{8, "Core8"},
                                           ListKeyCase{9, "Core10"}, ListKeyCase{17, "Core18"},
                                           ListKeyCase{18, "Core20"}, ListKeyCase{81, "Core100"},
                                           ListKeyCase{728, "Core888"}));

TEST(ListKeyLimits, TheListEndsAfterItsSevenHundredTwentyEighthEntry) {
  char name[kListKeyCapacity];
  // A refused number still leaves the buffer a text.
  for (unsigned refused : {729u, 0u}) {
    memset(name, 'x', sizeof name - 1);
    name[sizeof name - 1] = '\0';
    EXPECT_EQ(0, ListKeyName(name, sizeof name, "Ocx", refused, ""));
    EXPECT_STREQ("", name);
  }
  EXPECT_EQ(1, ListKeyName(name, sizeof name, "Ocx", 9, "TypeLib"));
  EXPECT_STREQ("Ocx10TypeLib", name);
  for (unsigned n = 1; n <= 728; ++n) {
    ListKeyName(name, sizeof name, "Ocx", n, "");
    EXPECT_EQ(nullptr, strchr(name, '9')) << n;
  }
}

TEST_F(SequenceTest, ProfileReadsIgnoreCaseBlanksAndQuotes) {
  WriteIni(
      "[ application ]\n  applicationname = Game\n  programname = \"GAME.EXE\"  \n "
      "SplashWaveFile=intro.wav\n");
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  EXPECT_EQ(0, Run());
  ASSERT_EQ(1u, sim::Processes().size());
  EXPECT_EQ("D:\\SETUP\\GAME.EXE /00000000", sim::Processes()[0].command_line);
}

}  // namespace

namespace {

struct SlowLoadLengthCase {
  size_t ocx_path_length;  // a value without a drive, appended to D:\SETUP\ with a closing '\'
  bool starts;
};

class SlowLoadLengthTest : public LaunchTest,
                           public ::testing::WithParamInterface<SlowLoadLengthCase> {};

// D:\SETUP\ (9) + value + '\' must stay within 259 characters.
TEST_P(SlowLoadLengthTest, AControlFolderPastTheLimitIsRefusedWithAMessage) {
  std::string value(GetParam().ocx_path_length, 'o');
  WriteIni(
      "[Application]\nApplicationName=Game\nSplashWaveFile=intro.wav\nProgramName=GAME.EXE\n["
      "SystemOcx]\nOcxPath=" +
      value + "\n");
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  sim::MakeDirectory("D:\\SETUP\\" + value);
  EXPECT_EQ(GetParam().starts ? 0 : 1, Run("/SlowLoad"));
  if (GetParam().starts) {
    ASSERT_EQ(1u, sim::Processes().size());
    EXPECT_EQ("D:\\SETUP\\" + value + "\\", sim::Processes()[0].current_directory);
  } else {
    // The control folder cannot become the working directory for the registration pass.
    EXPECT_TRUE(sim::Processes().empty());
    ASSERT_EQ(1u, sim::MessageBoxes().size());
    EXPECT_EQ("GetPrivateProfileString", sim::MessageBoxes()[0].caption);
    EXPECT_EQ(0u, sim::MessageBoxes()[0].text.rfind("Could not set cwd to D:\\SETUP\\ooo", 0));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Launch, SlowLoadLengthTest,
    ::testing::Values(SlowLoadLengthCase{200, true}, SlowLoadLengthCase{249, true},
                      SlowLoadLengthCase{250, false}, SlowLoadLengthCase{259, false},
                      SlowLoadLengthCase{260, false}, SlowLoadLengthCase{261, false},
                      SlowLoadLengthCase{400, false}));

struct TempLengthCase {
  size_t length;  // characters of the temp folder, closing '\' included
  bool listed;
};

class TempLengthTest : public LaunchTest, public ::testing::WithParamInterface<TempLengthCase> {};

TEST_P(TempLengthTest, ATempFolderThatDoesNotFitIsLeftOut) {
  std::string temp = "C:\\" + std::string(GetParam().length - 4, 't') + "\\";
  WriteIni("[Application]\nApplicationName=Game\nSplashWaveFile=intro.wav\nProgramName=GAME.EXE\n");
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  sim::SetTempPath(temp);
  EXPECT_EQ(0, Run("/SlowLoad"));
  ASSERT_EQ(1u, sim::Processes().size());
  const std::vector<std::string>& environment = sim::Processes()[0].environment;
  ASSERT_EQ(GetParam().listed ? 3u : 2u, environment.size());
  if (GetParam().listed) {
    EXPECT_EQ("Tmp=" + temp, environment[1]);
  }
}

INSTANTIATE_TEST_SUITE_P(Launch, TempLengthTest,
                         ::testing::Values(TempLengthCase{258, true}, TempLengthCase{259, true},
                                           TempLengthCase{260, false}, TempLengthCase{261, false},
                                           TempLengthCase{400, false}));

struct ModuleLengthCase {
  size_t length;
  bool usable;
};

class ModuleLengthTest : public LaunchTest,
                         public ::testing::WithParamInterface<ModuleLengthCase> {};

TEST_P(ModuleLengthTest, ALongModuleNameIsNeverUsedButNamesItsConfigurationFile) {
  // D:\ + folder + \S.EXE; the configuration file would be D:\folder\S\S.ini.
  std::string folder(GetParam().length - 9, 'm');
  sim::SetModuleFileName("D:\\" + folder + "\\S.EXE");
  std::string ini = "D:\\" + folder + "\\S\\S.ini";
  unsigned result = GetIniFileName(nullptr);
  EXPECT_EQ(0u, result);
  ASSERT_EQ(1u, sim::MessageBoxes().size());
  EXPECT_EQ(("Failed to find configuration file: " + ini).substr(0, 359),
            sim::MessageBoxes()[0].text);
  if (!GetParam().usable) {
    EXPECT_STREQ("", GetHomeDirectory());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Configuration, ModuleLengthTest,
    ::testing::Values(ModuleLengthCase{200, true}, ModuleLengthCase{257, true},
                      ModuleLengthCase{258, false}, ModuleLengthCase{259, false},
                      ModuleLengthCase{260, false}, ModuleLengthCase{261, false},
                      ModuleLengthCase{400, false}, ModuleLengthCase{519, false},
                      ModuleLengthCase{520, false}, ModuleLengthCase{2000, false}));

}  // namespace

namespace {

struct ExistenceCase {
  size_t ini_length;
  const char* call;  // the existence test that answers
};

class ExistenceTest : public LaunchTest, public ::testing::WithParamInterface<ExistenceCase> {};

// The existence test OpenFile offers refuses paths of 128 characters and more;
// a configuration file with a longer path is still found.
TEST_P(ExistenceTest, AConfigurationFileIsFoundWhateverItsPathLength) {
  // D:\ + folder + \S\S.ini
  std::string folder(GetParam().ini_length - 11, 'f');
  sim::SetModuleFileName("D:\\" + folder + "\\S.EXE");
  std::string ini = "D:\\" + folder + "\\S\\S.ini";
  ASSERT_EQ(GetParam().ini_length, ini.size());
  sim::WriteFile(ini, "");
  EXPECT_EQ(ini.size() + 1, GetIniFileName(nullptr));
  EXPECT_EQ(1u, sim::CallsTo(GetParam().call).size());
}

INSTANTIATE_TEST_SUITE_P(Configuration, ExistenceTest,
                         ::testing::Values(ExistenceCase{100, "OpenFile"},
                                           ExistenceCase{127, "OpenFile"},
                                           ExistenceCase{128, "GetPathAttributes"},
                                           ExistenceCase{200, "GetPathAttributes"},
                                           ExistenceCase{259, "GetPathAttributes"}));

TEST_F(SequenceTest, AFolderIsNotAConfigurationFile) {
  sim::MakeDirectory("D:\\SETUP\\SETUP.ini");
  EXPECT_EQ(0u, GetIniFileName(nullptr));
  std::string folder(150, 'f');
  sim::SetModuleFileName("D:\\" + folder + "\\S.EXE");
  sim::MakeDirectory("D:\\" + folder + "\\S\\S.ini");
  EXPECT_EQ(0u, GetIniFileName(nullptr));
  EXPECT_EQ(2u, sim::MessageBoxes().size());
}

}  // namespace
