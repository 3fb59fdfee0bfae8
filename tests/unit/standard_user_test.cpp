// A user without administrator rights: the steady state needs no write, and a
// write the launch needs that is refused ends it with one plain message.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "registration_fixture.h"

namespace {

using ::testing::IsEmpty;

const std::string kRecord = kAppKey + "\\{L}\\1.0\\0\\win32";
constexpr LONG kAccessDenied = static_cast<LONG>(0x80070005u);
constexpr LONG kRegistryAccess = static_cast<LONG>(0x8002801Cu);
const char* const kAdministratorCaption = "Administrator rights needed";
const char* const kAdministratorText =
    "Product needs administrator rights to set up its components on this computer.\n\n"
    "Please start SETUP.EXE once with \"Run as administrator\". After that it runs for every user.";

class StandardUserTest : public RegistrationTest {
 protected:
  // One control, A.OCX in the home folder, which must be at least 1.0.
  void Arrange() {
    WriteIni(
        "[Application]\nProgramName=GAME.EXE\nSplashWaveFile=intro.wav\n[SystemOcx]\nOcx1=A."
        "OCX\nOcx1TypeLib=" +
        kLib + "\nOcx1Clsid={C}\nOcx1Version=1.0\n");
    sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
    InstallSplash();
  }

  // Calls that would change the registry.
  static std::vector<std::string> Writes() {
    std::vector<std::string> writes;
    for (const sim::Call& call : sim::Calls()) {
      bool opens_to_write = call.name == "OpenRegistryKey" && call.args[3] != "0x20019";
      if (call.name == "CreateRegistryKey" || call.name == "WriteRegistryValue" || opens_to_write) {
        writes.push_back(call.name + " " + call.args[1]);
      }
    }
    return writes;
  }
};

TEST_F(StandardUserTest, TheSteadyStateWritesNothingAndSaysNothing) {
  Arrange();
  sim::MakeRegistryKey(HKEY_LOCAL_MACHINE, kAppKey);
  AddControl("D:\\SETUP\\A.OCX", kLib, "{C}", kNew);
  Register(kLib, "{C}", "D:\\SETUP\\A.OCX");
  // A record emptied by an earlier exit is read and passed by.
  sim::SetRegistryText(HKEY_LOCAL_MACHINE, kRecord, "", "");
  sim::SetStandardUser(true);
  EXPECT_EQ(0, Run("/Debug"));
  EXPECT_THAT(sim::MessageBoxes(), IsEmpty());
  EXPECT_EQ(1u, sim::Processes().size());
  EXPECT_THAT(Writes(), IsEmpty());
  EXPECT_EQ(0, OpenAtExit());
}

class RefusedWriteTest;

struct RefusalCase {
  const char* name;
  bool standard_user;
  std::function<void(RefusedWriteTest*)> arrange;
  const char* record;      // after the run
  const char* registered;  // what HKCR names after the run
};

class RefusedWriteTest : public StandardUserTest,
                         public ::testing::WithParamInterface<RefusalCase> {
 public:
  // The newer A.OCX waits in the home folder.
  void Newer(LONG register_status) {
    AddControl("D:\\SETUP\\A.OCX", kLib, "{C}", kNew, register_status);
  }
  // A.OCX is registered with an older file, and the newer one waits.
  void OlderRegistered(LONG register_status) {
    AddControl("C:\\OLD\\A.OCX", kLib, "{C}", kOld);
    Register(kLib, "{C}", "C:\\OLD\\A.OCX");
    AddControl("D:\\SETUP\\A.OCX", kLib, "{C}", kNew, register_status);
  }
};

TEST_P(RefusedWriteTest, EndsTheLaunchWithOneMessageAndNothingHalfWritten) {
  const RefusalCase& c = GetParam();
  Arrange();
  c.arrange(this);
  sim::SetStandardUser(c.standard_user);
  EXPECT_EQ(1, Run());
  ASSERT_EQ(1u, sim::MessageBoxes().size());
  EXPECT_EQ(kAdministratorCaption, sim::MessageBoxes()[0].caption);
  EXPECT_EQ(kAdministratorText, sim::MessageBoxes()[0].text);
  EXPECT_EQ(0x40u, sim::MessageBoxes()[0].type);
  EXPECT_TRUE(sim::Processes().empty());
  EXPECT_EQ(c.record, sim::RegistryText(HKEY_LOCAL_MACHINE, kRecord, ""));
  EXPECT_EQ(c.registered, sim::RegistryText(HKEY_CLASSES_ROOT, "CLSID\\{C}\\InprocServer32", ""));
  // A splash that was up is down and its sound purged.
  EXPECT_TRUE(sim::Windows().empty());
  if (!sim::Sounds().empty()) {
    EXPECT_EQ(static_cast<DWORD>(SND_PURGE), sim::Sounds().back().flags);
  }
  EXPECT_EQ(0, OpenAtExit());
}

INSTANTIATE_TEST_SUITE_P(
    StandardUser, RefusedWriteTest,
    ::testing::Values(
        // The application key chain cannot be made: the launch stops before anything else.
        RefusalCase{"ApplicationKeyChain", true, [](RefusedWriteTest* t) { t->Newer(0); }, "(none)",
                    "(none)"},
        RefusalCase{"OnlyTheVersionLevelMissing", true,
                    [](RefusedWriteTest* t) {
                      sim::MakeRegistryKey(HKEY_LOCAL_MACHINE, "Software\\Maker\\Product");
                      t->Newer(0);
                    },
                    "(none)", "(none)"},
        // The older file cannot be recorded: the newer one is not registered over it.
        RefusalCase{"ReplacedControlRecord", true,
                    [](RefusedWriteTest* t) {
                      sim::MakeRegistryKey(HKEY_LOCAL_MACHINE, kAppKey);
                      t->OlderRegistered(0);
                    },
                    "(none)", "C:\\OLD\\A.OCX"},
        RefusalCase{"ControlRefusesAccess", true,
                    [](RefusedWriteTest* t) {
                      sim::MakeRegistryKey(HKEY_LOCAL_MACHINE, kAppKey);
                      t->Newer(kAccessDenied);
                    },
                    "(none)", "(none)"},
        RefusalCase{"ControlCannotWriteItsTypeLibrary", true,
                    [](RefusedWriteTest* t) {
                      sim::MakeRegistryKey(HKEY_LOCAL_MACHINE, kAppKey);
                      t->Newer(kRegistryAccess);
                    },
                    "(none)", "(none)"},
        // The machine key could be written, the control's own keys not: the
        // record of the older file, still the registered one, is put back.
        RefusalCase{"ControlRefusesAfterTheRecord", false,
                    [](RefusedWriteTest* t) {
                      sim::SetRegistryText(HKEY_LOCAL_MACHINE, kRecord, "", "C:\\PREV\\A.OCX");
                      t->OlderRegistered(kAccessDenied);
                    },
                    "C:\\PREV\\A.OCX", "C:\\OLD\\A.OCX"},
        RefusalCase{"ChainCreationRefusedToAnAdministrator", false,
                    [](RefusedWriteTest* t) {
                      sim::FailCall("CreateRegistryKey", ERROR_ACCESS_DENIED, 2);
                      t->Newer(0);
                    },
                    "(none)", "(none)"}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

TEST_F(StandardUserTest, OtherRegistrationFailuresKeepTheirMessage) {
  Arrange();
  sim::MakeRegistryKey(HKEY_LOCAL_MACHINE, kAppKey);
  AddControl("D:\\SETUP\\A.OCX", kLib, "{C}", kNew, static_cast<LONG>(0x80004005u));
  sim::SetStandardUser(true);
  EXPECT_EQ(0, Run());
  ASSERT_EQ(1u, sim::MessageBoxes().size());
  EXPECT_EQ("DLLRegisterServer error", sim::MessageBoxes()[0].caption);
  EXPECT_EQ(1u, sim::Processes().size());
}

TEST_F(StandardUserTest, LongNamesAreCutAndTheRemedyStillShows) {
  const std::string application(230, 'a');
  const std::string launcher = std::string(120, 's') + ".EXE";
  sim::SetModuleFileName("D:\\" + launcher);
  sim::WriteFile("D:\\" + std::string(120, 's') + "\\" + std::string(120, 's') + ".ini",
                 "[Application]\nCompanyName=M\nApplicationName=" + application +
                     "\nApplicationVersion=1\nProgramName=GAME.EXE\n");
  sim::SetStandardUser(true);
  EXPECT_EQ(1, Run());
  ASSERT_EQ(1u, sim::MessageBoxes().size());
  const std::string& text = sim::MessageBoxes()[0].text;
  EXPECT_EQ(0u, text.rfind(std::string(100, 'a') + " needs administrator rights", 0)) << text;
  EXPECT_NE(std::string::npos,
            text.find("start " + std::string(100, 's') + " once with \"Run as administrator\""));
  EXPECT_EQ(". After that it runs for every user.", text.substr(text.size() - 36));
}

}  // namespace
