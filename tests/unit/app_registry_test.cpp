// The application registry key: the chain and KeysCreated, AutoRunDisabled,
// replaced-control records.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "components/ocx_unregistration.h"
#include "registration_fixture.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

const char* const kIni = "[Application]\nProgramName=GAME.EXE\nSplashWaveFile=intro.wav\n";

struct ChainCase {
  const char* name;
  const char* existing;  // levels below Software made before the run
  bool volatile_application;
  int result;
  long long keys_created;  // -1: not written
};

class ChainTest : public RegistrationTest, public ::testing::WithParamInterface<ChainCase> {};

TEST_P(ChainTest, KeysCreatedCountsTheLevelsThisRunMade) {
  const ChainCase& c = GetParam();
  if (c.existing[0] != '\0')
    sim::MakeRegistryKey(HKEY_LOCAL_MACHINE, std::string("Software\\") + c.existing);
  if (c.volatile_application)
    sim::MakeRegistryKey(HKEY_LOCAL_MACHINE, "Software\\Maker\\Product", true);
  WriteIni(kIni);
  ASSERT_NE(0u, GetIniFileName(Instance()));
  TraceStart(1);
  EXPECT_EQ(c.result, CreateApplicationKeys());
  TraceStop();
  DWORD type = 0;
  std::vector<BYTE> data;
  bool written = sim::RegistryValue(HKEY_LOCAL_MACHINE, kAppKey, "KeysCreated", &type, &data);
  if (c.keys_created < 0) {
    EXPECT_FALSE(written);
    EXPECT_THAT(TraceTexts(), ElementsAre("Application Start", "CreateApplicationKeys",
                                          "Create Company Key: 0", "Application Stop"));
  } else {
    ASSERT_TRUE(written);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_THAT(data, ElementsAre(static_cast<BYTE>(c.keys_created), 0, 0, 0));
    EXPECT_THAT(TraceTexts(),
                ElementsAre("Application Start", "CreateApplicationKeys", "Create Company Key: 0",
                            "SetValue: 0", "Application Stop"));
  }
  EXPECT_EQ(0, sim::OpenHandleCount());
}

INSTANTIATE_TEST_SUITE_P(
    Registry, ChainTest,
    ::testing::Values(
        ChainCase{"FreshMachine", "", false, 1, 7},
        ChainCase{"CompanyExists", "Maker", false, 1, 3},
        ChainCase{"NewVersionOnly", "Maker\\Product", false, 1, 1},
        ChainCase{"AllExist", "Maker\\Product\\2.0", false, 1, -1},
        // Left by a run that made the application level volatile: nothing lasting fits below it.
        ChainCase{"VolatileApplicationLevel", "", true, 0, -1}),
    [](const ::testing::TestParamInfo<ChainCase>& info) { return info.param.name; });

// Every level is made lasting, so the chain, KeysCreated and the records
// outlive a restart of the system.
TEST_F(RegistrationTest, TheChainAndItsRecordsSurviveARestart) {
  Prepare(kIni);
  for (const char* level : {"Software\\Maker", "Software\\Maker\\Product", kAppKey.c_str()}) {
    sim::RegistryKeyInfo info = sim::RegistryKeyDetails(HKEY_LOCAL_MACHINE, level);
    EXPECT_EQ("szkey", info.key_class) << level;
    EXPECT_FALSE(info.is_volatile) << level;
  }
  EXPECT_EQ(1, CreateOCXKey("{L}\\1.0\\0\\win32", "C:\\OLD\\A.OCX"));
  sim::RestartSystem();
  EXPECT_EQ("C:\\OLD\\A.OCX",
            sim::RegistryText(HKEY_LOCAL_MACHINE, kAppKey + "\\{L}\\1.0\\0\\win32", ""));
  EXPECT_TRUE(sim::RegistryValue(HKEY_LOCAL_MACHINE, kAppKey, "KeysCreated", nullptr, nullptr));
}

TEST_F(RegistrationTest, AMissingNameShowsOneMessageAndNoOperationTouchesTheRegistry) {
  WriteRawIni("[Application]\nCompanyName=Maker\nApplicationVersion=2.0\n");
  ASSERT_NE(0u, GetIniFileName(Instance()));
  EXPECT_EQ(0, CreateApplicationKeys());
  ASSERT_EQ(1u, sim::MessageBoxes().size());
  EXPECT_EQ(
      "Failed to find label: ApplicationName in Section: Application\n INIFile: "
      "D:\\SETUP\\SETUP.ini",
      sim::MessageBoxes()[0].text);
  // Paths with an empty level are refused rather than made.
  EXPECT_EQ(0, IsAutoRunDisabled());
  EXPECT_EQ(0, CreateOCXKey("{L}\\1.0\\0\\win32", "C:\\A.OCX"));
  EXPECT_EQ(0, DeleteAppRegisteredOCX());
  for (const sim::Call& call : sim::Calls()) EXPECT_NE(0u, call.name.rfind("Reg", 0)) << call.name;
  EXPECT_FALSE(sim::RegistryKeyExists(HKEY_LOCAL_MACHINE, "Software\\Maker"));
}

struct FlagCase {
  const char* name;
  DWORD type;
  std::vector<BYTE> bytes;  // empty: no value
  int disabled;
};

class AutoRunTest : public RegistrationTest, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(AutoRunTest, OnlyTheNumberOneStopsTheLauncher) {
  const FlagCase& c = GetParam();
  Prepare(kIni);
  if (!c.bytes.empty())
    sim::SetRegistryValue(HKEY_LOCAL_MACHINE, kAppKey, "AutoRunDisabled", c.type, c.bytes);
  EXPECT_EQ(c.disabled, IsAutoRunDisabled());
  EXPECT_EQ(0, sim::OpenHandleCount());
  // The whole launcher: a disabled one ends at once with status 1 and says nothing.
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  StartFreshProcess();
  EXPECT_EQ(c.disabled ? 1 : 0, Run());
  EXPECT_EQ(c.disabled ? 0u : 1u, sim::Processes().size());
  EXPECT_TRUE(sim::MessageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Registry, AutoRunTest,
    ::testing::Values(FlagCase{"DwordOne", REG_DWORD, {1, 0, 0, 0}, 1},
                      FlagCase{"DwordZero", REG_DWORD, {0, 0, 0, 0}, 0},
                      FlagCase{"DwordTwo", REG_DWORD, {2, 0, 0, 0}, 0},
                      FlagCase{"Absent", REG_DWORD, {}, 0},
                      FlagCase{"BinaryOne", REG_BINARY, {1, 0, 0, 0}, 1},
                      FlagCase{"TextOne", REG_SZ, {'1', 0}, 0},
                      // A shorter value fills the low bytes; the others stay zero.
                      FlagCase{"TwoBytes", REG_BINARY, {1, 0}, 1},
                      FlagCase{"OneByteTwo", REG_BINARY, {2}, 0},
                      FlagCase{"EightBytes", REG_BINARY, {1, 0, 0, 0, 0, 0, 0, 0}, 0}),
    [](const ::testing::TestParamInfo<FlagCase>& info) { return info.param.name; });

TEST_F(RegistrationTest, ARecordMakesItsLevelsAndItsLatestPathWins) {
  Prepare(kIni);
  EXPECT_EQ(1, CreateOCXKey("{L}\\1.0\\0\\win32", "C:\\OLD\\A.OCX"));
  const std::string record = kAppKey + "\\{L}\\1.0\\0\\win32";
  DWORD type = 0;
  std::vector<BYTE> data;
  ASSERT_TRUE(sim::RegistryValue(HKEY_LOCAL_MACHINE, record, "", &type, &data));
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_EQ(std::string("C:\\OLD\\A.OCX", 13), std::string(data.begin(), data.end()));
  EXPECT_EQ(1, CreateOCXKey("{L}\\1.0\\0\\win32", "D:\\B.OCX"));
  EXPECT_EQ("D:\\B.OCX", sim::RegistryText(HKEY_LOCAL_MACHINE, record, ""));
  EXPECT_EQ(0, sim::OpenHandleCount());
}

TEST_F(RegistrationTest, ARecordRemakesAMissingApplicationKeyWithoutKeysCreated) {
  Prepare(kIni);
  sim::Reset();
  EXPECT_EQ(1, CreateOCXKey("{L}\\1.0\\0\\win32", "C:\\OLD\\A.OCX"));
  EXPECT_TRUE(sim::RegistryKeyExists(HKEY_LOCAL_MACHINE, kAppKey + "\\{L}\\1.0\\0\\win32"));
  EXPECT_FALSE(sim::RegistryValue(HKEY_LOCAL_MACHINE, kAppKey, "KeysCreated", nullptr, nullptr));
}

struct NameLengthCase {
  const char* name;
  size_t company, application, version;
  bool accepted;  // Software\<names>\ fits 259 characters
};

class NameLengthTest : public RegistrationTest,
                       public ::testing::WithParamInterface<NameLengthCase> {};

// The key chain, AutoRunDisabled and the records at exit all work from the
// same names: either all of them or none.
TEST_P(NameLengthTest, NamesTooLongForOneKeyPathAreRefusedByEveryOperation) {
  const NameLengthCase& c = GetParam();
  const std::string company(c.company, 'c'), application(c.application, 'a'),
      version(c.version, 'v');
  const std::string key = "Software\\" + company + "\\" + application + "\\" + version;
  WriteRawIni("[Application]\nCompanyName=" + company + "\nApplicationName=" + application +
              "\nApplicationVersion=" + version + "\nProgramName=GAME.EXE\n");
  ASSERT_NE(0u, GetIniFileName(Instance()));
  EXPECT_EQ(c.accepted ? 1 : 0, CreateApplicationKeys());
  EXPECT_EQ(c.accepted, sim::RegistryKeyExists(HKEY_LOCAL_MACHINE, key));
  EXPECT_EQ(c.accepted, sim::RegistryKeyExists(HKEY_LOCAL_MACHINE, "Software\\" + company));
  if (c.accepted) {
    EXPECT_TRUE(sim::MessageBoxes().empty());
  } else {
    ASSERT_EQ(1u, sim::MessageBoxes().size());
    EXPECT_EQ("CreateApplicationKeys", sim::MessageBoxes()[0].caption);
    EXPECT_EQ(0x40u, sim::MessageBoxes()[0].type);
    EXPECT_EQ(("CompanyName, ApplicationName and ApplicationVersion together may hold at most 247 "
               "characters:\n" +
               key + "\\")
                  .substr(0, 359),
              sim::MessageBoxes()[0].text);
  }

  sim::SetRegistryValue(HKEY_LOCAL_MACHINE, key, "AutoRunDisabled", REG_DWORD, {1, 0, 0, 0});
  EXPECT_EQ(c.accepted ? 1 : 0, IsAutoRunDisabled());
  AddControl("C:\\OLD\\A.OCX", "{L}\\1.0\\0\\win32", "{C}", "versioned.dll");
  EXPECT_EQ(c.accepted ? 1 : 0, CreateOCXKey("{L}\\1.0\\0\\win32", "C:\\OLD\\A.OCX"));
  DeleteAppRegisteredOCX();
  EXPECT_EQ(c.accepted ? std::vector<std::string>{"C:\\OLD\\A.OCX"} : std::vector<std::string>{},
            unregistered);
  EXPECT_EQ(0, sim::OpenHandleCount());
}

INSTANTIATE_TEST_SUITE_P(Registry, NameLengthTest,
                         ::testing::Values(NameLengthCase{"AtTheLimit", 100, 100, 47, true},
                                           NameLengthCase{"OneOver", 100, 100, 48, false},
                                           NameLengthCase{"LongVersion", 1, 1, 245, true},
                                           NameLengthCase{"LongCompany", 246, 1, 1, false},
                                           NameLengthCase{"AllLong", 100, 100, 60, false},
                                           NameLengthCase{"AllLongest", 259, 259, 259, false}),
                         [](const ::testing::TestParamInfo<NameLengthCase>& info) {
                           return info.param.name;
                         });

TEST_F(RegistrationTest, RefusedNamesLetTheLaunchGoOn) {
  const std::string name(100, 'n');
  WriteRawIni("[Application]\nCompanyName=" + name + "\nApplicationName=" + name +
              "\nApplicationVersion=" + std::string(60, 'v') +
              "\nProgramName=GAME.EXE\nSplashWaveFile=intro.wav\n");
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  EXPECT_EQ(0, Run());
  EXPECT_EQ(1u, sim::Processes().size());
  ASSERT_EQ(1u, sim::MessageBoxes().size());
  EXPECT_EQ("CreateApplicationKeys", sim::MessageBoxes()[0].caption);
  EXPECT_FALSE(sim::RegistryKeyExists(HKEY_LOCAL_MACHINE, "Software\\" + name));
}

// A record's path may hold 359 characters: the longest names leave 109 for
// the type library key (of the one shape the walk at exit finds).
TEST_F(RegistrationTest, ARecordPathPastItsLimitIsRefused) {
  WriteRawIni("[Application]\nCompanyName=" + std::string(100, 'c') + "\nApplicationName=" +
              std::string(100, 'a') + "\nApplicationVersion=" + std::string(47, 'v') + "\n");
  ASSERT_NE(0u, GetIniFileName(Instance()));
  EXPECT_EQ(1, CreateApplicationKeys());
  sim::Reset();
  const std::string version = "\\1.0\\0\\win32";
  EXPECT_EQ(0, CreateOCXKey((std::string(110 - version.size(), 't') + version).c_str(), "C:\\A.OCX"));
  EXPECT_EQ(1, CreateOCXKey((std::string(109 - version.size(), 't') + version).c_str(), "C:\\A.OCX"));
  EXPECT_EQ(1u, sim::CallsTo("CreateRegistryKey").size());
}

}  // namespace
