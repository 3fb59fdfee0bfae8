// The library search: narrowed at entry, widened to the control folder only
// while a control loads.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registration_fixture.h"

namespace {

using ::testing::ElementsAre;


std::string Describe(const sim::Call& call) {
  std::string text = call.name + "(";
  for (size_t i = 0; i < call.args.size(); ++i) {
    if (call.name == "GetProcAddress" && i == 0) continue;  // the module's address
    text += (text.back() == '(' ? "" : ", ") + call.args[i];
  }
  return text + ")";
}

std::vector<std::string> FirstCalls(size_t count) {
  std::vector<std::string> calls;
  for (size_t i = 0; i < count && i < sim::Calls().size(); ++i)
    calls.push_back(Describe(sim::Calls()[i]));
  return calls;
}

// ---- at entry ----

struct EntryCase {
  const char* name;
  std::function<void()> arrange;
  std::vector<std::string> first_calls;
  DWORD default_directories;
};

class NarrowingTest : public RegistrationTest, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(NarrowingTest, ComesBeforeAnythingElse) {
  const EntryCase& c = GetParam();
  WriteIni("[Application]\nProgramName=GAME.EXE\n");
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  c.arrange();
  EXPECT_EQ(0, Run());
  EXPECT_EQ(c.first_calls, FirstCalls(c.first_calls.size()));
  EXPECT_EQ(c.default_directories, sim::DefaultDllDirectories());
  // Once narrowed the search is never widened outside a control's load.
  size_t dll_directory_calls = sim::CallsTo("SetLibraryFolder").size();
  EXPECT_EQ(c.default_directories != 0 ? 0u : 1u, dll_directory_calls);
}

INSTANTIATE_TEST_SUITE_P(
    Entry, NarrowingTest,
    ::testing::Values(
        EntryCase{"DefaultDirectories",
                  [] {},
                  {"GetModuleHandleA(kernel32.dll)", "GetProcAddress(SetDefaultDllDirectories)",
                   "SetDefaultDllDirectories(0x800)"},
                  0x800},
        EntryCase{"WithoutDefaultDirectories",
                  [] { sim::SetDefaultDllDirectoriesPresent(false); },
                  {"GetModuleHandleA(kernel32.dll)", "GetProcAddress(SetDefaultDllDirectories)",
                   "SetLibraryFolder()"},
                  0},
        EntryCase{"RefusedDefaultDirectories",
                  [] { sim::FailCall("SetDefaultDllDirectories", ERROR_INVALID_PARAMETER); },
                  {"GetModuleHandleA(kernel32.dll)", "GetProcAddress(SetDefaultDllDirectories)",
                   "SetDefaultDllDirectories(0x800)", "SetLibraryFolder()"},
                  0},
        EntryCase{"NoKernelModule",
                  [] { sim::FailCall("GetModuleHandleA", ERROR_MOD_NOT_FOUND, 1); },
                  {"GetModuleHandleA(kernel32.dll)", "SetLibraryFolder()"},
                  0}),
    [](const ::testing::TestParamInfo<EntryCase>& info) { return info.param.name; });

// ---- controls ----

// Each control load is bracketed: the control folder goes in just before it
// and comes out just after, whatever the load gives.
void ExpectBracketedLoads(const std::string& folder, size_t loads) {
  std::vector<std::string> around;
  const std::vector<sim::Call>& calls = sim::Calls();
  for (size_t i = 0; i < calls.size(); ++i) {
    if (calls[i].name != "LoadLibraryFrom") continue;
    around.push_back((i > 0 ? Describe(calls[i - 1]) : "") + " | " +
                     (i + 1 < calls.size() ? Describe(calls[i + 1]) : ""));
  }
  EXPECT_EQ(
      std::vector<std::string>(loads, "SetLibraryFolder(" + folder + "\\) | SetLibraryFolder()"),
      around);
}

struct ControlCase {
  const char* name;
  bool default_directories;  // kernel32 has SetDefaultDllDirectories
  const char* helper;        // where the control's one import lies
  bool registered;
};

class ControlSearchTest : public RegistrationTest,
                          public ::testing::WithParamInterface<ControlCase> {};

// The launcher is D:\SETUP.EXE, the control lies in the home folder, the
// control folder is D:\SETUP\CTRL.
TEST_P(ControlSearchTest, KeepsTheControlsOwnOrder) {
  const ControlCase& c = GetParam();
  sim::SetDefaultDllDirectoriesPresent(c.default_directories);
  ArrangeControlImporting(c.helper);
  EXPECT_EQ(0, Run());
  EXPECT_EQ(c.registered, sim::LibraryLoaded("D:\\SETUP\\B.OCX"));
  EXPECT_THAT(Loaded(), ElementsAre("D:\\SETUP\\B.OCX"));
  ExpectBracketedLoads("D:\\SETUP\\CTRL", 1);
  if (!c.registered) {
    ASSERT_EQ(1u, sim::MessageBoxes().size());
    EXPECT_EQ("LoadLibrary on D:\\SETUP\\B.OCX returned: 7e", sim::MessageBoxes()[0].text);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Controls, ControlSearchTest,
    ::testing::Values(
        ControlCase{"BesideTheControl", true, "D:\\SETUP\\HELPER.DLL", true},
        ControlCase{"InTheControlFolder", true, "D:\\SETUP\\CTRL\\HELPER.DLL", true},
        ControlCase{"InTheSystemFolder", true, "C:\\WINDOWS\\SYSTEM32\\HELPER.DLL", true},
        ControlCase{"OnlyBesideTheLauncher", true, "D:\\HELPER.DLL", false},
        ControlCase{"OldSystemBesideTheControl", false, "D:\\SETUP\\HELPER.DLL", true},
        ControlCase{"OldSystemInTheControlFolder", false, "D:\\SETUP\\CTRL\\HELPER.DLL", true},
        ControlCase{"OldSystemInTheSystemFolder", false, "C:\\WINDOWS\\SYSTEM32\\HELPER.DLL", true},
        ControlCase{"OldSystemOnlyBesideTheLauncher", false, "D:\\HELPER.DLL", false}),
    [](const ::testing::TestParamInfo<ControlCase>& info) { return info.param.name; });

enum class Control { kImportMissing, kNoRegistrationEntry, kRegistrationFails, kReplacesOlder };

struct FailureCase {
  const char* name;
  Control control;  // what D:\SETUP\CTRL\A.OCX is
  size_t loads;
};

class ControlFailureTest : public RegistrationTest,
                           public ::testing::WithParamInterface<FailureCase> {
 protected:
  void Arrange(Control control) {
    const std::string path = "D:\\SETUP\\CTRL\\A.OCX";
    switch (control) {
      case Control::kImportMissing:
        return AddControl(path, kLib, "{C}", kNew, 0, {"GONE.DLL"});
      case Control::kNoRegistrationEntry:
        PutVersionData(path, kNew);
        return sim::AddLibrary(path, {});
      case Control::kRegistrationFails:
        return AddControl(path, kLib, "{C}", kNew, static_cast<LONG>(0x80004005L));
      case Control::kReplacesOlder:
        AddControl("C:\\OLD\\A.OCX", kLib, "{C}", kOld);
        Register(kLib, "{C}", "C:\\OLD\\A.OCX");
        return AddControl(path, kLib, "{C}", kNew);
    }
  }
};

// Whatever a control's load or registration gives, the control folder comes
// out right after the load; also for the older file unregistered at exit.
TEST_P(ControlFailureTest, TheControlFolderComesOutAfterEveryLoad) {
  WriteIni(
      "[Application]\nProgramName=GAME.EXE\nSplashWaveFile=intro.wav\n[SystemOcx]\n"
      "OcxPath=CTRL\n" +
      Entry("1", "A.OCX"));
  sim::MakeDirectory("D:\\SETUP\\CTRL");
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  Arrange(GetParam().control);
  Run();
  EXPECT_EQ(GetParam().loads, Loaded().size());
  ExpectBracketedLoads("D:\\SETUP\\CTRL", GetParam().loads);
}

INSTANTIATE_TEST_SUITE_P(
    Controls, ControlFailureTest,
    ::testing::Values(FailureCase{"ImportMissing", Control::kImportMissing, 1},
                      FailureCase{"NoRegistrationEntry", Control::kNoRegistrationEntry, 1},
                      FailureCase{"RegistrationFails", Control::kRegistrationFails, 1},
                      FailureCase{"OlderFileUnregisteredAtExit", Control::kReplacesOlder, 2}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

}  // namespace
