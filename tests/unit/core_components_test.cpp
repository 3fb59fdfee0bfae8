// The core-component walk and the launch mode it chooses.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "base/trace.h"
#include "components/core_components.h"
#include "config/ini.h"
#include "launch_fixture.h"
#include "version_data.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

const std::string kSystem = "C:\\WINDOWS\\SYSTEM32\\";

// The files whose versions were asked for, in order.
std::vector<std::string> Examined() {
  std::vector<std::string> paths;
  for (const sim::Call& call : sim::CallsTo("GetVersionInfoSize"))
    paths.push_back(call.args[0]);
  return paths;
}

std::vector<std::string> KeysRead() {
  std::vector<std::string> keys;
  for (const sim::Call& call : sim::CallsTo("ReadProfileText")) {
    if (call.args[0] == "CoreComponent") keys.push_back(call.args[1]);
  }
  return keys;
}

class CoreComponentsTest : public LaunchTest {
 protected:
  int Check(const std::string& section) {
    WriteIni(
        "[Application]\nSplashWaveFile=intro.wav\nApplicationName=Game\nProgramName=GAME.EXE\n" +
        section);
    EXPECT_GT(GetIniFileName(nullptr), 0u);
    TraceStart(0);
    return CheckCoreComponents();
  }
};

TEST_F(CoreComponentsTest, NoListMeansEverythingIsCurrentAndNoFileIsRead) {
  EXPECT_EQ(1, Check(""));
  EXPECT_THAT(KeysRead(), ElementsAre("Core1"));
  EXPECT_THAT(Examined(), IsEmpty());
  EXPECT_EQ(1, Check("[CoreComponent]\nCore1=\nCore2=B.DLL\n"));
  EXPECT_THAT(Examined(), IsEmpty());
}

TEST_F(CoreComponentsTest, NineEntriesAreCore1ToCore8ThenCore10AndCore9IsNeverRead) {
  std::string section = "[CoreComponent]\n";
  std::vector<std::string> expected_paths;
  for (const char* ordinal : {"1", "2", "3", "4", "5", "6", "7", "8", "10"}) {
    std::string name = std::string("C") + ordinal + ".DLL";
    section +=
        std::string("Core") + ordinal + "=" + name + "\nCore" + ordinal + "Version=2.10.0.5\n";
    PutVersionData(kSystem + name, "versioned.dll");
    expected_paths.push_back(kSystem + name);
  }
  section += "Core9=ABSENT.DLL\nCore9Version=1.0.0.0\n";  // would fail the walk if read
  EXPECT_EQ(1, Check(section));
  EXPECT_THAT(Examined(), ElementsAreArray(expected_paths));
  std::vector<std::string> keys = KeysRead();
  EXPECT_EQ(keys.end(), std::find(keys.begin(), keys.end(), "Core9"));
  EXPECT_EQ("Core11", keys.back());
}

TEST_F(CoreComponentsTest, TheListEndsAtTheFirstEmptyName) {
  PutVersionData(kSystem + "A.DLL", "versioned.dll");
  EXPECT_EQ(1, Check("[CoreComponent]\nCore1=A.DLL\nCore1Version=2.10.0.5\nCore3=ABSENT.DLL\n"));
  EXPECT_THAT(Examined(), ElementsAre(kSystem + "A.DLL"));
  EXPECT_THAT(KeysRead(), ElementsAre("Core1", "Core1Version", "Core2"));
}

TEST_F(CoreComponentsTest, TheFirstEntryNotCurrentEndsTheWalkWithoutTracingTheRest) {
  PutVersionData(kSystem + "A.DLL", "versioned.dll");
  PutVersionData(kSystem + "C.DLL", "versioned.dll");
  WriteIni(
      "[Application]\nSplashWaveFile=intro.wav\nApplicationName=Game\nProgramName=GAME.EXE\n["
      "CoreComponent]\nCore1=A.DLL\nCore2=ABSENT.DLL\n"
      "Core2Version=1.0.0.0\nCore3=C.DLL\n");
  GetIniFileName(nullptr);
  TraceStart(1);
  EXPECT_EQ(0, CheckCoreComponents());
  EXPECT_THAT(TraceTexts(), ElementsAre("Application Start", "CheckCoreComponents",
                                        "CompareFileVersion: " + kSystem + "A.DLL",
                                        "Version: 2.10.0.5 INIVersion:  Result: 1",
                                        "CompareFileVersion: " + kSystem + "ABSENT.DLL",
                                        "FileVersionInfoSize zip"));
  EXPECT_THAT(KeysRead(), ElementsAre("Core1", "Core1Version", "Core2", "Core2Version"));
}

TEST_F(CoreComponentsTest, NamesAreAlwaysTakenRelativeToTheSystemDirectory) {
  sim::SetSystemDirectory("E:\\OS\\SYS");
  PutVersionData("E:\\OS\\SYS\\..\\A.DLL", "versioned.dll");
  PutVersionData("E:\\OS\\SYS\\SUB\\B.DLL", "versioned.dll");
  EXPECT_EQ(1, Check("[CoreComponent]\nCore1=..\\A.DLL\nCore2=SUB\\B.DLL\nCore2Version=2.10\n"));
  EXPECT_THAT(Examined(), ElementsAre("E:\\OS\\SYS\\..\\A.DLL", "E:\\OS\\SYS\\SUB\\B.DLL"));
}

TEST_F(CoreComponentsTest, APathOver259CharactersIsNotCurrent) {
  const std::string directory = "C:\\" + std::string(250, 'S');  // 253 characters
  sim::SetSystemDirectory(directory);
  // 253 + "\" + 5 = 259 fits; one more does not.
  EXPECT_EQ(0, Check("[CoreComponent]\nCore1=A.DLL\n"));
  EXPECT_THAT(Examined(), ElementsAre(directory + "\\A.DLL"));
  EXPECT_EQ(0, Check("[CoreComponent]\nCore1=AB.DLL\n"));
  EXPECT_THAT(Examined(), ElementsAre(directory + "\\A.DLL"));
}

TEST_F(CoreComponentsTest, AnUnknownSystemDirectoryIsNotCurrent) {
  sim::FailCall("GetSystemFolder", ERROR_ACCESS_DENIED);
  EXPECT_EQ(0, Check("[CoreComponent]\nCore1=A.DLL\n"));
  EXPECT_THAT(Examined(), IsEmpty());
}

TEST_F(CoreComponentsTest, TheListEndsAfterIts728thEntry) {
  PutVersionData(kSystem + "A.DLL", "versioned.dll");
  std::string section = "[CoreComponent]\n";
  for (unsigned ordinal = 1; ordinal <= kLastListOrdinal + 1; ++ordinal) {
    char key[kListKeyCapacity];
    ASSERT_EQ(ordinal <= kLastListOrdinal, ListKeyName(key, sizeof key, "Core", ordinal, "") == 1);
    if (ordinal <= kLastListOrdinal) section += std::string(key) + "=A.DLL\n";
  }
  section += "Core1000=ABSENT.DLL\n";
  EXPECT_EQ(1, Check(section));
  EXPECT_EQ(kLastListOrdinal, Examined().size());
  EXPECT_EQ("Core888Version", KeysRead().back());
}

// The launch mode: normal only when every core component is current and
// SlowLoad is not given; the check runs either way.
struct ModeCase {
  const char* name;
  const char* arguments;
  const char* required;
  bool slow_load;
};

class LaunchModeTest : public LaunchTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(LaunchModeTest, ChosenByTheCoreComponentsAndTheSwitch) {
  const ModeCase& c = GetParam();
  WriteIni(
      std::string(
          "[Application]\nApplicationName=Game\nSplashWaveFile=intro.wav\nProgramName=GAME.EXE\n"
          "[CoreComponent]\nCore1=RUNTIME.DLL\nCore1Version=") +
      c.required + "\n");
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  PutVersionData(kSystem + "RUNTIME.DLL", "versioned.dll");
  EXPECT_EQ(0, Run(c.arguments));
  ASSERT_EQ(1u, sim::Processes().size());
  EXPECT_EQ(c.slow_load, sim::Processes()[0].has_environment);
  EXPECT_THAT(Examined(), ElementsAre(kSystem + "RUNTIME.DLL"));
  EXPECT_TRUE(sim::MessageBoxes().empty());
  EXPECT_EQ(0, sim::OpenHandleCount());
}

INSTANTIATE_TEST_SUITE_P(
    Launch, LaunchModeTest,
    ::testing::Values(ModeCase{"Current", "", "2.10.0.5", false},
                      ModeCase{"Older", "", "2.10.0.6", true},
                      ModeCase{"CurrentButSlowLoad", "/SlowLoad", "1.0.0.0", true}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return info.param.name; });

TEST_F(CoreComponentsTest, AMissingCoreComponentStartsTheApplicationInSlowLoadMode) {
  WriteIni(
      "[Application]\nApplicationName=Game\nSplashWaveFile=intro.wav\nProgramName=GAME.EXE\n["
      "CoreComponent]\nCore1=ABSENT.DLL\n");
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  EXPECT_EQ(0, Run("/Debug"));
  ASSERT_EQ(1u, sim::Processes().size());
  EXPECT_TRUE(sim::Processes()[0].has_environment);
  EXPECT_THAT(TraceTexts(),
              ElementsAre("Application Start", "CreateApplicationKeys", "Create Company Key: 0",
                          "SetValue: 0", "IsAutoRunDisabled", "SplashOn", "SplashOn Exit",
                          "CheckCoreComponents", "CompareFileVersion: " + kSystem + "ABSENT.DLL",
                          "FileVersionInfoSize zip", "RegisterOCXs", "RegisterOCX Type: SystemOcx",
                          "RegisterOCX Type: ApplicationOcx", "WinExec", "WinExec Process Started",
                          "Process Exited", "UnRegisterOCXs", "DeleteAppRegisteredOCX",
                          "Application Stop"));
}

}  // namespace
