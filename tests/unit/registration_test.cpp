// Control registration: the probe's outcomes, the path rules, the lists, the
// failures; and unregistration of replaced controls at exit.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "components/ocx_registration.h"
#include "components/ocx_unregistration.h"
#include "registration_fixture.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kRecord = kAppKey + "\\{L}\\1.0\\0\\win32";

// ---- IsRegistered ----

struct ProbeCase {
  const char* name;
  const char* type_library_file;  // nullptr: no type library key
  bool type_library_exists;
  const char* type_library_version;
  const char* class_key;       // the configured name
  bool class_present;          // a key of that name exists
  const char* server_version;  // nullptr: no InprocServer32
  int result;
  const char* record;  // nullptr: none written
  const char* trace;
};

class ProbeTest : public RegistrationTest, public ::testing::WithParamInterface<ProbeCase> {};

TEST_P(ProbeTest, TheRegistryDecidesAndAnOlderFileIsRecorded) {
  const ProbeCase& c = GetParam();
  Prepare("[Application]\nProgramName=GAME.EXE\n");
  if (c.type_library_file != nullptr) {
    sim::SetRegistryText(HKEY_CLASSES_ROOT, "TypeLib\\" + kLib, "", c.type_library_file);
    if (c.type_library_exists) PutVersionData(c.type_library_file, c.type_library_version);
  }
  if (c.class_present) {
    sim::MakeRegistryKey(HKEY_CLASSES_ROOT, std::string("CLSID\\") + c.class_key);
    if (c.server_version != nullptr) {
      sim::SetRegistryText(HKEY_CLASSES_ROOT,
                           std::string("CLSID\\") + c.class_key + "\\InprocServer32", "",
                           "C:\\SRV\\S.OCX");
      PutVersionData("C:\\SRV\\S.OCX", c.server_version);
    }
  }
  TraceStart(1);
  EXPECT_EQ(c.result, IsRegistered("A.OCX", c.class_key, kLib.c_str(), "2.0.0.0"));
  EXPECT_EQ(c.record == nullptr ? "(none)" : c.record,
            sim::RegistryText(HKEY_LOCAL_MACHINE, kRecord, ""));
  std::vector<std::string> texts = TraceTexts();
  EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), c.trace));
  EXPECT_EQ(0, sim::OpenHandleCount());
}

INSTANTIATE_TEST_SUITE_P(
    Registration, ProbeTest,
    ::testing::Values(
        ProbeCase{"NoTypeLibrary", nullptr, false, kNew, "{C}", true, kNew, 0, nullptr,
                  "IsRegistered: A.OCX Clsid: 0 Version: 0 TypeLib: 0"},
        ProbeCase{"TypeLibraryFileGone", "C:\\TL\\A.OCX", false, kNew, "{C}", true, kNew, 0,
                  nullptr, "IsRegistered: A.OCX Clsid: 0 Version: 0 TypeLib: 0"},
        ProbeCase{"NoClassKey", "C:\\TL\\A.OCX", true, kNew, "{C}", false, nullptr, 0, nullptr,
                  "IsRegistered: A.OCX Clsid: 0 Version: 1 TypeLib: 1"},
        ProbeCase{"NoneAndCurrent", "C:\\TL\\A.OCX", true, kNew, "none", false, nullptr, 1, nullptr,
                  "IsRegistered: A.OCX Clsid: 1 Version: 1 TypeLib: 1"},
        ProbeCase{"NoneAndOlder", "C:\\TL\\A.OCX", true, kOld, "NONE", false, nullptr, 0,
                  "C:\\TL\\A.OCX", "IsRegistered: A.OCX Clsid: 1 Version: 0 TypeLib: 1"},
        ProbeCase{"NoServerKey", "C:\\TL\\A.OCX", true, kNew, "{C}", true, nullptr, 0, nullptr,
                  "IsRegistered: A.OCX Clsid: 0 Version: 1 TypeLib: 1"},
        ProbeCase{"TypeLibraryCurrent", "C:\\TL\\A.OCX", true, kNew, "{C}", true, kOld, 1, nullptr,
                  "IsRegistered: A.OCX Clsid: 1 Version: 1 TypeLib: 1"},
        ProbeCase{"ServerCurrent", "C:\\TL\\A.OCX", true, kOld, "{C}", true, kNew, 1, nullptr,
                  "IsRegistered: A.OCX Clsid: 1 Version: 1 TypeLib: 1"},
        ProbeCase{"BothOlder", "C:\\TL\\A.OCX", true, kOld, "{C}", true, kOld, 0, "C:\\SRV\\S.OCX",
                  "IsRegistered: A.OCX Clsid: 1 Version: 0 TypeLib: 1"}),
    [](const ::testing::TestParamInfo<ProbeCase>& info) { return info.param.name; });

TEST_F(RegistrationTest, AValueStoredWithoutItsNulIsReadOnlyWhenItFits) {
  Prepare("[Application]\nProgramName=GAME.EXE\n");
  PutVersionData("C:\\TL\\A.OCX", kNew);
  std::string path = "C:\\TL\\A.OCX";
  sim::SetRegistryValue(HKEY_CLASSES_ROOT, "TypeLib\\" + kLib, "", REG_SZ,
                        std::vector<BYTE>(path.begin(), path.end()));
  EXPECT_EQ(1, IsRegistered("A.OCX", "NONE", kLib.c_str(), "2.0.0.0"));
  sim::SetRegistryValue(HKEY_CLASSES_ROOT, "TypeLib\\" + kLib, "", REG_SZ,
                        std::vector<BYTE>(260, 'x'));
  EXPECT_EQ(0, IsRegistered("A.OCX", "NONE", kLib.c_str(), "2.0.0.0"));
}

// Values as Windows itself writes them: expandable, or in double quotes.
struct StoredPathCase {
  const char* name;
  DWORD type;
  std::string value;      // of both the type library and the server key
  std::string long_root;  // %LONG%, when not empty
  std::string file;       // the file on the machine
  const char* version_file;
  const char* trace;
  const char* record;  // RegistryText: "(none)" when none was written
};

class StoredPathTest : public RegistrationTest,
                       public ::testing::WithParamInterface<StoredPathCase> {};

TEST_P(StoredPathTest, TheProbeReadsThePathWindowsMeans) {
  const StoredPathCase& c = GetParam();
  Prepare("[Application]\nProgramName=GAME.EXE\n[SystemOcx]\n" + Entry("1", "A.OCX"));
  std::vector<BYTE> data(c.value.begin(), c.value.end());
  data.push_back(0);
  sim::SetRegistryValue(HKEY_CLASSES_ROOT, "TypeLib\\" + kLib, "", c.type, data);
  sim::SetRegistryValue(HKEY_CLASSES_ROOT, "CLSID\\{C}\\InprocServer32", "", c.type, data);
  if (!c.long_root.empty()) sim::SetEnvironmentValue("LONG", c.long_root);
  sim::MakeDirectory(c.file.substr(0, c.file.rfind('\\')));
  PutVersionData(c.file, c.version_file);
  sim::AddLibrary("D:\\SETUP\\A.OCX", {{"DllRegisterServer", [] { return 0; }}});
  TraceStart(1);
  RegisterOCX("SystemOcx");
  std::vector<std::string> texts = TraceTexts();
  auto probe = std::find_if(texts.begin(), texts.end(),
                            [](const std::string& t) { return t.rfind("IsRegistered", 0) == 0; });
  ASSERT_NE(texts.end(), probe);
  EXPECT_EQ(c.trace, *probe);
  // A control found current is not registered again.
  bool current = *probe == "IsRegistered: A.OCX Clsid: 1 Version: 1 TypeLib: 1";
  EXPECT_EQ(current, Loaded().empty());
  EXPECT_EQ(c.record, sim::RegistryText(HKEY_LOCAL_MACHINE, kRecord, ""));
  EXPECT_EQ(0, sim::OpenHandleCount());
}

const std::string kLongRoot = "C:\\" + std::string(250, 'L');  // with \A.OCX: 259 characters
const char* const kFound = "IsRegistered: A.OCX Clsid: 1 Version: 1 TypeLib: 1";
const char* const kNotFound = "IsRegistered: A.OCX Clsid: 0 Version: 0 TypeLib: 0";

INSTANTIATE_TEST_SUITE_P(
    Registration, StoredPathTest,
    ::testing::Values(
        StoredPathCase{"Plain", REG_SZ, "C:\\TL\\A.OCX", "", "C:\\TL\\A.OCX", kNew, kFound,
                       "(none)"},
        StoredPathCase{"Expandable", REG_EXPAND_SZ, "%SystemRoot%\\A.OCX", "", "C:\\WINDOWS\\A.OCX",
                       kNew, kFound, "(none)"},
        StoredPathCase{"Quoted", REG_SZ, "\"C:\\TL\\A.OCX\"", "", "C:\\TL\\A.OCX", kNew, kFound,
                       "(none)"},
        StoredPathCase{"QuotedAndExpandable", REG_EXPAND_SZ, "\"%SystemRoot%\\A.OCX\"", "",
                       "C:\\WINDOWS\\A.OCX", kNew, kFound, "(none)"},
        // The record names the file as the probe found it.
        StoredPathCase{"QuotedExpandableAndOlder", REG_EXPAND_SZ, "\"%SystemRoot%\\A.OCX\"", "",
                       "C:\\WINDOWS\\A.OCX", kOld,
                       "IsRegistered: A.OCX Clsid: 1 Version: 0 TypeLib: 1", "C:\\WINDOWS\\A.OCX"},
        StoredPathCase{"PlainTextIsNotExpanded", REG_SZ, "%SystemRoot%\\A.OCX", "",
                       "C:\\WINDOWS\\A.OCX", kNew, kNotFound, "(none)"},
        StoredPathCase{"UnknownVariableStays", REG_EXPAND_SZ, "%NOSUCH%\\A.OCX", "",
                       "C:\\WINDOWS\\A.OCX", kNew, kNotFound, "(none)"},
        StoredPathCase{"ExpansionOf259Fits", REG_EXPAND_SZ, "%LONG%\\A.OCX", kLongRoot,
                       kLongRoot + "\\A.OCX", kNew, kFound, "(none)"},
        StoredPathCase{"ExpansionOf260IsUnreadable", REG_EXPAND_SZ, "%LONG%\\A.OCX",
                       kLongRoot + "L", kLongRoot + "L\\A.OCX", kNew, kNotFound, "(none)"},
        StoredPathCase{"StrayQuote", REG_SZ, "\"C:\\TL\\A.OCX", "", "C:\\TL\\A.OCX", kNew,
                       kNotFound, "(none)"}),
    [](const ::testing::TestParamInfo<StoredPathCase>& info) { return info.param.name; });

// ---- paths and lists ----

struct PathCase {
  const char* name;
  const char* section;
  const char* ocx_path;  // nullptr: absent
  const char* control;
  const char* cwd;  // the control folder as the working directory
  const char* loaded;
};

class ControlPathTest : public RegistrationTest, public ::testing::WithParamInterface<PathCase> {};

TEST_P(ControlPathTest, FolderAndFileFollowTheirRules) {
  const PathCase& c = GetParam();
  std::string ini = "[Application]\nProgramName=GAME.EXE\n[SystemOcx]\n";
  if (c.ocx_path != nullptr) ini += std::string("OcxPath=") + c.ocx_path + "\n";
  if (std::string(c.section) != "SystemOcx") ini += std::string("[") + c.section + "]\n";
  ini += std::string("Ocx1=") + c.control + "\nOcx1TypeLib=" + kLib +
         "\nOcx1Clsid={C}\nOcx1Version=1.0\n";
  sim::MakeDirectory(c.cwd);
  Prepare(ini);
  EXPECT_EQ(1, RegisterOCX(c.section));
  EXPECT_EQ(c.cwd, sim::CurrentDirectory());
  EXPECT_THAT(Loaded(), ElementsAre(c.loaded));
}

INSTANTIATE_TEST_SUITE_P(
    Registration, ControlPathTest,
    ::testing::Values(
        PathCase{"NoOcxPath", "SystemOcx", nullptr, "A.OCX", "D:\\SETUP", "D:\\SETUP\\A.OCX"},
        PathCase{"RelativeOcxPath", "SystemOcx", "CTRL", "A.OCX", "D:\\SETUP\\CTRL",
                 "D:\\SETUP\\CTRL\\A.OCX"},
        PathCase{"DriveOcxPath", "SystemOcx", "C:\\CTRL\\", "A.OCX", "C:\\CTRL", "C:\\CTRL\\A.OCX"},
        // A drive value is used as read: no separator is added.
        PathCase{"DriveWithoutSeparator", "SystemOcx", "C:\\CTRL", "A.OCX", "C:\\CTRL",
                 "C:\\CTRLA.OCX"},
        PathCase{"ApplicationFromHome", "ApplicationOcx", "CTRL", "B.OCX", "D:\\SETUP\\CTRL",
                 "D:\\SETUP\\B.OCX"},
        // A relative folder is taken from the working directory, the control folder.
        PathCase{"ApplicationWithDirectory", "ApplicationOcx", "CTRL", "SUB\\B.OCX",
                 "D:\\SETUP\\CTRL", "D:\\SETUP\\CTRL\\SUB\\B.OCX"},
        PathCase{"ApplicationWithDrive", "ApplicationOcx", nullptr, "E:\\B.OCX", "D:\\SETUP",
                 "E:\\B.OCX"}),
    [](const ::testing::TestParamInfo<PathCase>& info) { return info.param.name; });

TEST_F(RegistrationTest, ListNumbersAreBaseNineAndEndAtTheFirstGap) {
  std::string section = "[SystemOcx]\n";
  for (int n = 1; n <= 9; ++n)
    section += Entry(std::to_string(n), "C" + std::to_string(n) + ".OCX");
  Prepare("[Application]\nProgramName=GAME.EXE\n" + section);
  EXPECT_EQ(1, RegisterOCX("SystemOcx"));
  EXPECT_EQ(8u, Loaded().size());
  for (const sim::Call& call : sim::CallsTo("ReadProfileText"))
    EXPECT_NE("Ocx9", call.args[1]);

  StartFreshMachine();
  Prepare("[Application]\nProgramName=GAME.EXE\n" + section + Entry("10", "C10.OCX"));
  EXPECT_EQ(1, RegisterOCX("SystemOcx"));
  ASSERT_EQ(9u, Loaded().size());
  EXPECT_EQ("D:\\SETUP\\C10.OCX", Loaded()[8]);
}

TEST_F(RegistrationTest, AListEndsAfterItsLastPossibleName) {
  std::string section = "[SystemOcx]\n";
  for (unsigned ordinal = 1; ordinal <= kLastListOrdinal; ++ordinal) {
    char number[kListKeyCapacity];
    ListKeyName(number, sizeof number, "", ordinal, "");
    section += Entry(number, "X.OCX");
  }
  section += Entry("1000", "X.OCX");  // what would follow 888 in base 9
  Prepare("[Application]\nProgramName=GAME.EXE\n" + section);
  sim::AddLibrary("D:\\SETUP\\X.OCX", {{"DllRegisterServer", [] { return 0; }}});
  EXPECT_EQ(1, RegisterOCX("SystemOcx"));
  EXPECT_EQ(728u, Loaded().size());
}

TEST_F(RegistrationTest, AMissingCompanionStopsThePassAndTheApplicationPass) {
  WriteIni("[Application]\nProgramName=GAME.EXE\nSplashWaveFile=intro.wav\n[SystemOcx]\n" +
           Entry("1", "A.OCX") + Entry("2", "B.OCX") + "Ocx3=C.OCX\nOcx3TypeLib=" + kLib +
           "\nOcx3Version=1.0\n[ApplicationOcx]\n" + Entry("1", "D.OCX"));
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  InstallSplash();
  EXPECT_EQ(1, Run("/Debug"));
  EXPECT_THAT(Loaded(), ElementsAre("D:\\SETUP\\A.OCX", "D:\\SETUP\\B.OCX"));
  ASSERT_FALSE(sim::MessageBoxes().empty());
  EXPECT_EQ("Failed to find label: Ocx3Clsid in Section: SystemOcx\n INIFile: D:\\SETUP\\SETUP.ini",
            sim::MessageBoxes().back().text);
  std::vector<std::string> texts = TraceTexts();
  EXPECT_EQ(texts.end(), std::find(texts.begin(), texts.end(), "RegisterOCX Type: ApplicationOcx"));
  EXPECT_TRUE(sim::Processes().empty());
  // The sound is purged and the splash is down.
  ASSERT_FALSE(sim::Sounds().empty());
  EXPECT_EQ(static_cast<DWORD>(SND_PURGE), sim::Sounds().back().flags);
  EXPECT_TRUE(sim::Windows().empty());
  EXPECT_EQ(0, OpenAtExit());
}

// ---- failures ----

struct FailureCase {
  const char* name;
  const char* arguments;
  std::function<void()> arrange;
  int status;  // of the whole launch
  const char* text;
  const char* caption;
  UINT type;
};

class RegistrationFailureTest : public RegistrationTest,
                                public ::testing::WithParamInterface<FailureCase> {};

TEST_P(RegistrationFailureTest, ShowsItsMessage) {
  const FailureCase& c = GetParam();
  WriteIni(
      "[Application]\nProgramName=GAME.EXE\nSplashWaveFile=intro.wav\n[SystemOcx]\nOcxPath=CTRL\n" +
      Entry("1", "A.OCX") + "[ApplicationOcx]\n" + Entry("1", "B.OCX"));
  sim::MakeDirectory("D:\\SETUP\\CTRL");
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  c.arrange();
  EXPECT_EQ(c.status, Run(c.arguments));
  ASSERT_EQ(1u, sim::MessageBoxes().size());
  EXPECT_EQ(c.text, sim::MessageBoxes()[0].text);
  EXPECT_EQ(c.caption, sim::MessageBoxes()[0].caption);
  EXPECT_EQ(c.type, sim::MessageBoxes()[0].type);
  // A failed control does not stop the launch: the next one is still registered.
  EXPECT_EQ(c.status == 0 ? 1u : 0u, sim::Processes().size());
  if (c.status == 0) {
    EXPECT_TRUE(sim::LibraryLoaded("D:\\SETUP\\B.OCX"));
  }
  EXPECT_EQ(0, OpenAtExit());
}

void Library(const std::string& path, std::map<std::string, std::function<LONG()>> entries) {
  sim::AddLibrary(path, std::move(entries));
}

void SecondControl() {
  Library("D:\\SETUP\\B.OCX", {{"DllRegisterServer", [] { return 0; }}});
}

INSTANTIATE_TEST_SUITE_P(
    Registration, RegistrationFailureTest,
    ::testing::Values(
        FailureCase{"FileMissing", "", [] { SecondControl(); }, 0,
                    "LoadLibrary on D:\\SETUP\\CTRL\\A.OCX returned: 7e", "LoadLibrary Failed", 0},
        FailureCase{"NotALibrary", "",
                    [] {
                      sim::WriteFile("D:\\SETUP\\CTRL\\A.OCX", "text");
                      SecondControl();
                    },
                    0, "LoadLibrary on D:\\SETUP\\CTRL\\A.OCX returned: c1", "LoadLibrary Failed",
                    0},
        FailureCase{"NoEntryPoint", "",
                    [] {
                      Library("D:\\SETUP\\CTRL\\A.OCX", {});
                      SecondControl();
                    },
                    0, "D:\\SETUP\\CTRL\\A.OCX", "Function Look Failure", 0},
        FailureCase{"RegisterReturnsOne", "",
                    [] {
                      Library("D:\\SETUP\\CTRL\\A.OCX", {{"DllRegisterServer", [] { return 1; }}});
                      SecondControl();
                    },
                    0, "D:\\SETUP\\CTRL\\A.OCX returned: 1", "DLLRegisterServer error", 0},
        FailureCase{"RegisterReturnsAnError", "",
                    [] {
                      Library(
                          "D:\\SETUP\\CTRL\\A.OCX",
                          {{"DllRegisterServer", [] { return static_cast<LONG>(0x80004005u); }}});
                      SecondControl();
                    },
                    0, "D:\\SETUP\\CTRL\\A.OCX returned: 80004005", "DLLRegisterServer error", 0},
        FailureCase{"NoControlFolder", "",
                    [] { sim::FailCall("SetWorkingFolder", ERROR_PATH_NOT_FOUND, 2); }, 1,
                    "Could not set cwd to D:\\SETUP\\CTRL\\", "GetPrivateProfileString", 0x40},
        // With the trace on, a control that registered but is still not found stops the launch.
        FailureCase{"StillNotRegistered", "/Debug",
                    [] {
                      Library("D:\\SETUP\\CTRL\\A.OCX", {{"DllRegisterServer", [] { return 0; }}});
                    },
                    1, "Error in INI file Section SystemOcx\n OCX: A.OCX", "IsRegistered", 0x40}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST_F(RegistrationTest, WithTheTraceOffAControlStillNotFoundIsPassedBy) {
  WriteIni("[Application]\nProgramName=GAME.EXE\nSplashWaveFile=intro.wav\n[SystemOcx]\n" +
           Entry("1", "A.OCX"));
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  sim::AddLibrary("D:\\SETUP\\A.OCX", {{"DllRegisterServer", [] { return 0; }}});
  EXPECT_EQ(0, Run());
  EXPECT_TRUE(sim::MessageBoxes().empty());
  EXPECT_EQ(1u, sim::Processes().size());
  // Registered control libraries stay loaded until the launcher ends.
  EXPECT_TRUE(sim::LibraryLoaded("D:\\SETUP\\A.OCX"));
}

TEST_F(RegistrationTest, AControlPathThatDoesNotFitIsRefusedAndThePassGoesOn) {
  const std::string folder = "D:\\" + std::string(250, 'f') + "\\";
  const std::string name = std::string(120, 'n') + ".OCX";
  Prepare("[Application]\nProgramName=GAME.EXE\n[SystemOcx]\nOcxPath=" + folder + "\n" +
          Entry("1", name) + Entry("2", "B.OCX"));
  sim::MakeDirectory(folder);
  sim::AddLibrary(folder + "B.OCX", {{"DllRegisterServer", [] { return 0; }}});
  EXPECT_EQ(1, RegisterOCX("SystemOcx"));
  ASSERT_EQ(1u, sim::MessageBoxes().size());
  EXPECT_EQ("LoadLibrary Failed", sim::MessageBoxes()[0].caption);
  EXPECT_EQ(0u, sim::MessageBoxes()[0].text.rfind("LoadLibrary on D:\\fff", 0));
  EXPECT_THAT(Loaded(), ElementsAre(folder + "B.OCX"));
}

TEST_F(RegistrationTest, AFolderPartOver255IsRefusedWithThePathAsWritten) {
  const std::string control = std::string(256, 'D') + "\\X";
  Prepare("[Application]\nProgramName=GAME.EXE\n[SystemOcx]\n" + Entry("1", control));
  EXPECT_EQ(1, RegisterOCX("SystemOcx"));
  ASSERT_EQ(1u, sim::MessageBoxes().size());
  EXPECT_EQ("LoadLibrary on " + control + " returned: ce", sim::MessageBoxes()[0].text);
  EXPECT_THAT(Loaded(), IsEmpty());
}

struct CodeCase {
  const char* name;
  size_t path_length;
  bool loads;  // false: the file is missing
};

class CodeAtTheEndTest : public RegistrationTest, public ::testing::WithParamInterface<CodeCase> {};

// The code is what the user reports: the path gives way to it.
TEST_P(CodeAtTheEndTest, AMessageEndingInACodeShowsTheCodeWhateverThePath) {
  const CodeCase& c = GetParam();
  Prepare("[Application]\nProgramName=GAME.EXE\n");
  const std::string folder = "D:\\" + std::string(200, 'f') + "\\";
  const std::string path =
      folder + std::string(c.path_length - folder.size() - 4, 'n') + ".OCX";
  if (c.loads) {
    sim::AddLibrary(path,
                    {{"DllRegisterServer", [] { return static_cast<LONG>(0x80004005u); }}});
  }
  EXPECT_EQ(0, RegisterOCXFile(path.c_str()));
  ASSERT_EQ(1u, sim::MessageBoxes().size());
  const std::string lead = c.loads ? "" : "LoadLibrary on ";
  const std::string& text = sim::MessageBoxes()[0].text;
  const size_t tail_at = text.rfind(" returned: ");
  ASSERT_NE(std::string::npos, tail_at) << text;
  const std::string tail = text.substr(tail_at);
  if (c.loads) {
    EXPECT_EQ(" returned: 80004005", tail);
  }
  EXPECT_GT(tail.size(), std::string(" returned: ").size());
  EXPECT_EQ(lead + path.substr(0, std::min(path.size(), 359 - lead.size() - tail.size())) + tail,
            text);
  EXPECT_LE(text.size(), 359u);
}

INSTANTIATE_TEST_SUITE_P(Registration, CodeAtTheEndTest,
                         ::testing::Values(CodeCase{"ShortPathCannotLoad", 220, false},
                                           CodeCase{"LongestPathCannotLoad", 359, false},
                                           CodeCase{"ShortPathFailsToRegister", 220, true},
                                           CodeCase{"LongestPathFailsToRegister", 359, true},
                                           CodeCase{"PathThatJustFitsWithItsCode", 340, true},
                                           CodeCase{"PathOneTooLongForItsCode", 341, true}),
                         [](const ::testing::TestParamInfo<CodeCase>& info) {
                           return info.param.name;
                         });

// ---- where a control's own imports come from ----

struct ImportCase {
  const char* name;
  const char* helper;  // where HELPER.DLL lies
  int registered;
};

class ImportTest : public RegistrationTest, public ::testing::WithParamInterface<ImportCase> {};

// The launcher is D:\SETUP.EXE; the control lies in the home folder while the
// working directory is the control folder.
TEST_P(ImportTest, AControlFindsItsImportsBesideItselfFirst) {
  const ImportCase& c = GetParam();
  ArrangeControlImporting(c.helper);
  EXPECT_EQ(0, Run());
  EXPECT_EQ(c.registered, sim::LibraryLoaded("D:\\SETUP\\B.OCX") ? 1 : 0);
  EXPECT_THAT(Loaded(), ElementsAre("D:\\SETUP\\B.OCX"));
  if (c.registered) {
    EXPECT_TRUE(sim::MessageBoxes().empty());
  } else {
    ASSERT_EQ(1u, sim::MessageBoxes().size());
    EXPECT_EQ("LoadLibrary on D:\\SETUP\\B.OCX returned: 7e", sim::MessageBoxes()[0].text);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Registration, ImportTest,
    ::testing::Values(ImportCase{"BesideTheControl", "D:\\SETUP\\HELPER.DLL", 1},
                      ImportCase{"InTheSystemFolder", "C:\\WINDOWS\\SYSTEM32\\HELPER.DLL", 1},
                      ImportCase{"InTheWorkingDirectory", "D:\\SETUP\\CTRL\\HELPER.DLL", 1},
                      // A file lying beside the launcher is nobody's import.
                      ImportCase{"OnlyBesideTheLauncher", "D:\\HELPER.DLL", 0}),
    [](const ::testing::TestParamInfo<ImportCase>& info) { return info.param.name; });

// ---- the whole life of a control ----

TEST_F(RegistrationTest, AMissingControlIsRegisteredOnceAndFoundCurrentAfterwards) {
  WriteIni("[Application]\nProgramName=GAME.EXE\nSplashWaveFile=intro.wav\n[SystemOcx]\n" +
           Entry("1", "A.OCX"));
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  AddControl("D:\\SETUP\\A.OCX", kLib, "{C}", kNew);
  EXPECT_EQ(0, Run("/Debug"));
  EXPECT_THAT(Loaded(), ElementsAre("D:\\SETUP\\A.OCX"));
  std::vector<std::string> texts = TraceTexts();
  auto first =
      std::find(texts.begin(), texts.end(), "IsRegistered: A.OCX Clsid: 0 Version: 0 TypeLib: 0");
  auto second =
      std::find(texts.begin(), texts.end(), "IsRegistered: A.OCX Clsid: 1 Version: 1 TypeLib: 1");
  EXPECT_LT(first, second);
  EXPECT_NE(texts.end(), second);

  EndProcess();
  size_t before = sim::CallsTo("LoadLibraryFrom").size();
  EXPECT_EQ(0, Run("/Debug"));
  EXPECT_EQ(before, sim::CallsTo("LoadLibraryFrom").size());
  EXPECT_TRUE(sim::MessageBoxes().empty());
}

TEST_F(RegistrationTest, AnOlderControlIsReplacedAndUnregisteredAfterTheApplication) {
  WriteIni("[Application]\nProgramName=GAME.EXE\nSplashWaveFile=intro.wav\n[SystemOcx]\n" +
           std::string("Ocx1=A.OCX\nOcx1TypeLib=") + kLib + "\nOcx1Clsid={C}\nOcx1Version=2.0\n");
  sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
  AddControl("C:\\OLD\\A.OCX", kLib, "{C}", kOld);
  Register(kLib, "{C}", "C:\\OLD\\A.OCX");
  AddControl("D:\\SETUP\\A.OCX", kLib, "{C}", kNew);
  EXPECT_EQ(0, Run("/Debug"));
  EXPECT_THAT(unregistered, ElementsAre("C:\\OLD\\A.OCX"));
  EXPECT_EQ("", sim::RegistryText(HKEY_LOCAL_MACHINE, kRecord, ""));
  EXPECT_EQ("D:\\SETUP\\A.OCX",
            sim::RegistryText(HKEY_CLASSES_ROOT, "CLSID\\{C}\\InprocServer32", ""));
  // The unregistered file was freed; the registered one stays loaded.
  EXPECT_FALSE(sim::LibraryLoaded("C:\\OLD\\A.OCX"));
  EXPECT_TRUE(sim::LibraryLoaded("D:\\SETUP\\A.OCX"));
  // Unregistration comes after the application has ended.
  std::vector<std::string> texts = TraceTexts();
  auto exited = std::find(texts.begin(), texts.end(), "Process Exited");
  EXPECT_LT(exited, std::find(texts.begin(), texts.end(), "C:\\OLD\\A.OCX"));
  EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), "C:\\OLD\\A.OCX"));
  EXPECT_EQ(0, OpenAtExit());
}

// ---- a replacement that fails ----

struct ReplacementCase {
  const char* name;
  std::function<void()> arrange;  // what D:\SETUP\A.OCX is
  bool older_registered;          // C:\OLD\A.OCX is registered now
  const char* previous;           // the record before the run; nullptr: none
  const char* record;             // the record after; "(none)": no record key
};

class ReplacementTest : public RegistrationTest,
                        public ::testing::WithParamInterface<ReplacementCase> {};

TEST_P(ReplacementTest, OnlyARegisteredReplacementLeavesItsRecord) {
  const ReplacementCase& c = GetParam();
  Prepare("[Application]\nProgramName=GAME.EXE\n[SystemOcx]\n" + Entry("1", "A.OCX"));
  AddControl("C:\\OLD\\A.OCX", kLib, "{C}", kOld);
  if (c.older_registered) Register(kLib, "{C}", "C:\\OLD\\A.OCX");
  if (c.previous != nullptr) sim::SetRegistryText(HKEY_LOCAL_MACHINE, kRecord, "", c.previous);
  c.arrange();
  EXPECT_EQ(1, RegisterOCX("SystemOcx"));
  EXPECT_EQ(c.record, sim::RegistryText(HKEY_LOCAL_MACHINE, kRecord, ""));
  if (std::string(c.record) != "(none)") {
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(sim::RegistryValue(HKEY_LOCAL_MACHINE, kRecord, "", &type, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(strlen(c.record) + 1, data.size());
  }
  EXPECT_EQ(1, UnRegisterOCXs());
  bool replaced = std::string(c.name).rfind("Registers", 0) == 0;
  EXPECT_EQ(replaced ? 1u : 0u,
            std::count(unregistered.begin(), unregistered.end(), "C:\\OLD\\A.OCX"));
  EXPECT_EQ(0, sim::OpenHandleCount());
}

void Missing() {}
void NotALibrary() { sim::WriteFile("D:\\SETUP\\A.OCX", "text"); }
void NoEntryPoint() { sim::AddLibrary("D:\\SETUP\\A.OCX", {}); }
void Refuses() {
  sim::AddLibrary("D:\\SETUP\\A.OCX", {{"DllRegisterServer", [] { return 1; }}});
}
// As a real control does, it names itself in the keys.
void Registers() {
  sim::AddLibrary("D:\\SETUP\\A.OCX", {{"DllRegisterServer", [] {
                                           sim::SetRegistryText(HKEY_CLASSES_ROOT, "TypeLib\\" + kLib,
                                                                "", "D:\\SETUP\\A.OCX");
                                           sim::SetRegistryText(HKEY_CLASSES_ROOT,
                                                                "CLSID\\{C}\\InprocServer32", "",
                                                                "D:\\SETUP\\A.OCX");
                                           return 0;
                                         }}});
}

INSTANTIATE_TEST_SUITE_P(
    Registration, ReplacementTest,
    ::testing::Values(
        ReplacementCase{"MissingWithoutRecord", Missing, true, nullptr, ""},
        ReplacementCase{"MissingOverARecord", Missing, true, "C:\\PREV\\A.OCX", "C:\\PREV\\A.OCX"},
        ReplacementCase{"NotALibraryWithoutRecord", NotALibrary, true, nullptr, ""},
        ReplacementCase{"NotALibraryOverARecord", NotALibrary, true, "C:\\PREV\\A.OCX",
                        "C:\\PREV\\A.OCX"},
        ReplacementCase{"NoEntryPointWithoutRecord", NoEntryPoint, true, nullptr, ""},
        ReplacementCase{"NoEntryPointOverAnEmptiedRecord", NoEntryPoint, true, "", ""},
        ReplacementCase{"RefusesWithoutRecord", Refuses, true, nullptr, ""},
        ReplacementCase{"RefusesOverARecord", Refuses, true, "C:\\PREV\\A.OCX", "C:\\PREV\\A.OCX"},
        ReplacementCase{"RegistersWithoutRecord", Registers, true, nullptr, "C:\\OLD\\A.OCX"},
        ReplacementCase{"RegistersOverARecord", Registers, true, "C:\\PREV\\A.OCX",
                        "C:\\OLD\\A.OCX"},
        // Nothing was recorded, so nothing is put back.
        ReplacementCase{"NotRegisteredBefore", Missing, false, nullptr, "(none)"}),
    [](const ::testing::TestParamInfo<ReplacementCase>& info) { return info.param.name; });

// ---- the walk at exit ----

class WalkTest : public RegistrationTest {
 protected:
  void SetUp() override {
    RegistrationTest::SetUp();
    Prepare("[Application]\nProgramName=GAME.EXE\n");
    TraceStart(1);
  }
  std::vector<std::string> Walk() {
    size_t from = TraceTexts().size();
    EXPECT_EQ(1, UnRegisterOCXs());
    // Without the file checks' own lines.
    std::vector<std::string> walk;
    std::vector<std::string> texts = TraceTexts();
    for (size_t i = from; i < texts.size(); ++i) {
      if (texts[i] != "SupportsSelfRegister" && texts[i].rfind("OCX ", 0) != 0 &&
          texts[i].rfind("OLESelf", 0) != 0) {
        walk.push_back(texts[i]);
      }
    }
    return walk;
  }
  void Record(const std::string& type_library, const std::string& path) {
    sim::SetRegistryText(HKEY_LOCAL_MACHINE, kAppKey + "\\" + type_library, "", path);
  }
};

TEST_F(WalkTest, AFilledRecordIsUnregisteredOnceAndEmptied) {
  AddControl("C:\\OLD\\A.OCX", kLib, "{C}", kOld);
  Record(kLib, "C:\\OLD\\A.OCX");
  EXPECT_THAT(Walk(), ElementsAre("UnRegisterOCXs", "DeleteAppRegisteredOCX", "C:\\OLD\\A.OCX"));
  EXPECT_THAT(unregistered, ElementsAre("C:\\OLD\\A.OCX"));
  std::vector<BYTE> data;
  ASSERT_TRUE(sim::RegistryValue(HKEY_LOCAL_MACHINE, kRecord, "", nullptr, &data));
  EXPECT_THAT(data, ElementsAre(0));
  EXPECT_THAT(Walk(), ElementsAre("UnRegisterOCXs", "DeleteAppRegisteredOCX"));
  EXPECT_EQ(1u, unregistered.size());
  EXPECT_EQ(0, sim::LoadedLibraryCount());
  EXPECT_EQ(0, sim::OpenHandleCount());
}

TEST_F(WalkTest, ARecordWhoseFileFailsStaysFilled) {
  Record("{A}\\1.0\\0\\win32", "C:\\OLD\\GONE.OCX");
  sim::AddLibrary("C:\\OLD\\NOENTRY.OCX", {});
  Record("{B}\\1.0\\0\\win32", "C:\\OLD\\NOENTRY.OCX");
  sim::AddLibrary("C:\\OLD\\REFUSES.OCX", {{"DllUnregisterServer", [] { return 1; }}});
  Record("{C}\\1.0\\0\\win32", "C:\\OLD\\REFUSES.OCX");
  EXPECT_THAT(Walk(), ElementsAre("UnRegisterOCXs", "DeleteAppRegisteredOCX", "C:\\OLD\\GONE.OCX",
                                  "C:\\OLD\\NOENTRY.OCX", "C:\\OLD\\REFUSES.OCX"));
  EXPECT_EQ("C:\\OLD\\GONE.OCX",
            sim::RegistryText(HKEY_LOCAL_MACHINE, kAppKey + "\\{A}\\1.0\\0\\win32", ""));
  EXPECT_EQ("C:\\OLD\\NOENTRY.OCX",
            sim::RegistryText(HKEY_LOCAL_MACHINE, kAppKey + "\\{B}\\1.0\\0\\win32", ""));
  EXPECT_EQ("C:\\OLD\\REFUSES.OCX",
            sim::RegistryText(HKEY_LOCAL_MACHINE, kAppKey + "\\{C}\\1.0\\0\\win32", ""));
  EXPECT_EQ(0, sim::LoadedLibraryCount());
}

TEST_F(WalkTest, ARecordWithoutAFolderIsNotLoadedByItsName) {
  // A file of that name where the search path would find it.
  AddControl("C:\\WINDOWS\\SYSTEM32\\A.OCX", kLib, "{C}", kOld);
  AddControl("D:\\A.OCX", kLib, "{C}", kOld);
  Record(kLib, "A.OCX");
  EXPECT_THAT(Walk(), ElementsAre("UnRegisterOCXs", "DeleteAppRegisteredOCX", "A.OCX",
                                  "Not loaded: the record names no folder"));
  EXPECT_THAT(unregistered, IsEmpty());
  EXPECT_TRUE(sim::CallsTo("LoadLibraryFrom").empty());
  EXPECT_EQ("A.OCX", sim::RegistryText(HKEY_LOCAL_MACHINE, kRecord, ""));
  EXPECT_EQ(0, sim::OpenHandleCount());
}

TEST_F(WalkTest, ARecordedFileLoadsWithItsOwnFolderFirst) {
  AddControl("C:\\OLD\\A.OCX", kLib, "{C}", kOld, 0, {"OLDHELP.DLL"});
  sim::AddLibrary("C:\\OLD\\OLDHELP.DLL", {});
  Record(kLib, "C:\\OLD\\A.OCX");
  Walk();
  EXPECT_THAT(unregistered, ElementsAre("C:\\OLD\\A.OCX"));
  ASSERT_EQ(1u, sim::CallsTo("LoadLibraryFrom").size());
  EXPECT_EQ("0x8", sim::CallsTo("LoadLibraryFrom")[0].args[2]);
  EXPECT_EQ("", sim::RegistryText(HKEY_LOCAL_MACHINE, kRecord, ""));
}

TEST_F(WalkTest, OnlyTheFirstVersionOfTheExactShapeIsFound) {
  AddControl("C:\\OLD\\ONE.OCX", "", "", kOld);
  AddControl("C:\\OLD\\TWO.OCX", "", "", kOld);
  AddControl("C:\\OLD\\LOCALE.OCX", "", "", kOld);
  Record("{A}\\1.0\\0\\win32", "C:\\OLD\\ONE.OCX");
  Record("{A}\\2.0\\0\\win32", "C:\\OLD\\TWO.OCX");
  Record("{B}\\1.0\\9\\win32", "C:\\OLD\\LOCALE.OCX");
  EXPECT_THAT(Walk(), ElementsAre("UnRegisterOCXs", "DeleteAppRegisteredOCX", "C:\\OLD\\ONE.OCX"));
  EXPECT_THAT(unregistered, ElementsAre("C:\\OLD\\ONE.OCX"));
}

TEST_F(WalkTest, AnEnumerationErrorEndsTheWalkThere) {
  for (const char* id : {"{A}", "{B}", "{C}", "{D}", "{E}"}) {
    std::string path = std::string("C:\\OLD\\") + id[1] + ".OCX";
    AddControl(path, "", "", kOld);
    Record(std::string(id) + "\\1.0\\0\\win32", path);
  }
  // The application key's enumerations alternate with each record's: index 3 is the seventh call.
  sim::FailCall("EnumRegistryKey", 1009, 7);
  EXPECT_THAT(Walk(), ElementsAre("UnRegisterOCXs", "DeleteAppRegisteredOCX", "C:\\OLD\\A.OCX",
                                  "C:\\OLD\\B.OCX", "C:\\OLD\\C.OCX", "EnumKey returned: 1009"));
  EXPECT_EQ(3u, unregistered.size());
  EXPECT_EQ(0, sim::OpenHandleCount());
}

TEST_F(WalkTest, WithoutAnApplicationKeyNothingIsDone) {
  sim::Reset();
  EXPECT_THAT(Walk(), ElementsAre("UnRegisterOCXs", "DeleteAppRegisteredOCX"));
  EXPECT_EQ(0, sim::OpenHandleCount());
}

}  // namespace
