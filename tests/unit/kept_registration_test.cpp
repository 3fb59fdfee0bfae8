// The registration that works survives a run whatever happens in it: the
// walk at exit never unregisters what the machine's keys name and puts back
// what an older file's unregistration took; records name only the machine's
// files, only where the walk finds them, and never the file just registered.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "components/app_registry.h"
#include "components/ocx_registration.h"
#include "components/ocx_unregistration.h"
#include "registration_fixture.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kRecordKey = kAppKey + "\\{L}\\1.0\\0\\win32";
const std::string kTypeLibraryKey = "TypeLib\\" + kLib;
const std::string kServerKey = "CLSID\\{C}\\InprocServer32";
// The configured control, newer than required, and the older one it replaces.
const char* const kCurrent = "D:\\SETUP\\A.OCX";
const char* const kOlder = "C:\\OLD\\A.OCX";

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

class KeptRegistrationTest : public RegistrationTest {
 protected:
  void SetUp() override {
    RegistrationTest::SetUp();
    Prepare("[Application]\nProgramName=GAME.EXE\n[SystemOcx]\n" + Entry("1", "A.OCX"));
    TraceStart(1);
  }

  // The older control; its DllUnregisterServer deletes the keys named in
  // wipes (below HKEY_CLASSES_ROOT) whichever file they name, as real ones do.
  void AddOlderControl(const std::vector<std::string>& wipes) {
    PutVersionData(kOlder, kOld);
    sim::AddLibrary(kOlder, {{"DllUnregisterServer", [this, wipes] {
                                unregistered.push_back(kOlder);
                                for (const std::string& key : wipes)
                                  sim::DeleteRegistryKey(HKEY_CLASSES_ROOT, key);
                                return 0;
                              }}});
  }

  // The configured control, counting its registrations.
  void AddCurrentControl() {
    PutVersionData(kCurrent, kNew);
    sim::AddLibrary(kCurrent, {{"DllRegisterServer",
                                [this] {
                                  ++registrations;
                                  Register(kLib, "{C}", kCurrent);
                                  return 0;
                                }},
                               {"DllUnregisterServer", [this] {
                                  unregistered.push_back(kCurrent);
                                  return 0;
                                }}});
  }

  static std::string TypeLibraryNames() {
    return sim::RegistryText(HKEY_CLASSES_ROOT, kTypeLibraryKey, "");
  }
  static std::string ServerNames() { return sim::RegistryText(HKEY_CLASSES_ROOT, kServerKey, ""); }
  static std::string Recorded() { return sim::RegistryText(HKEY_LOCAL_MACHINE, kRecordKey, ""); }

  static std::vector<std::string> LoadedPaths() {
    std::vector<std::string> paths;
    for (const sim::Call& call : sim::CallsTo("LoadLibraryFrom")) paths.push_back(call.args[0]);
    return paths;
  }

  int registrations = 0;
};

// ---- the file the machine's keys name is never unregistered ----

struct NamedCase {
  const char* name;
  const char* type_library;  // what the keys name before the walk; nullptr: no key
  const char* server;
  const char* recorded;
  bool unregistered;
};

class MachineNamesTest : public KeptRegistrationTest,
                         public ::testing::WithParamInterface<NamedCase> {};

TEST_P(MachineNamesTest, TheWalkLeavesTheRegisteredFileAlone) {
  const NamedCase& c = GetParam();
  AddOlderControl({});
  AddCurrentControl();
  if (c.type_library != nullptr)
    sim::SetRegistryText(HKEY_CLASSES_ROOT, kTypeLibraryKey, "", c.type_library);
  if (c.server != nullptr) sim::SetRegistryText(HKEY_CLASSES_ROOT, kServerKey, "", c.server);
  sim::SetRegistryText(HKEY_LOCAL_MACHINE, kRecordKey, "", c.recorded);
  EXPECT_EQ(1, UnRegisterOCXs());
  std::vector<std::string> texts = TraceTexts();
  if (c.unregistered) {
    EXPECT_THAT(unregistered, ElementsAre(kOlder));
    EXPECT_EQ("", Recorded());
    EXPECT_TRUE(Contains(texts, c.recorded));
  } else {
    EXPECT_THAT(unregistered, IsEmpty());
    EXPECT_THAT(LoadedPaths(), IsEmpty());
    EXPECT_EQ(c.recorded, Recorded());
    EXPECT_TRUE(Contains(texts, std::string("Still registered, left alone: ") + c.recorded));
  }
  EXPECT_EQ(0, sim::OpenHandleCount());
}

INSTANTIATE_TEST_SUITE_P(
    Walk, MachineNamesTest,
    ::testing::Values(NamedCase{"BothKeysNameIt", kOlder, kOlder, kOlder, false},
                      NamedCase{"OnlyTheTypeLibraryNamesIt", kOlder, kCurrent, kOlder, false},
                      // The class comes from the configuration's entry of that type library.
                      NamedCase{"OnlyTheServerNamesIt", kCurrent, kOlder, kOlder, false},
                      NamedCase{"TheServerAloneNamesIt", nullptr, kOlder, kOlder, false},
                      NamedCase{"InAnotherCase", "c:\\old\\a.ocx", nullptr, kOlder, false},
                      NamedCase{"NeitherNamesIt", kCurrent, kCurrent, kOlder, true},
                      NamedCase{"NoKeysAtAll", nullptr, nullptr, kOlder, true}),
    [](const ::testing::TestParamInfo<NamedCase>& info) { return info.param.name; });

// A run killed inside the newer file's DllRegisterServer left its record; the
// next run's replacement fails in a way the launch survives.
class InterruptedTest : public KeptRegistrationTest,
                        public ::testing::WithParamInterface<std::function<void()>> {};

TEST_P(InterruptedTest, ThenAFailingRunKeepsTheOlderRegistration) {
  AddOlderControl({"TypeLib\\{L}\\1.0", "CLSID\\{C}"});
  Register(kLib, "{C}", kOlder);
  sim::SetRegistryText(HKEY_LOCAL_MACHINE, kRecordKey, "", kOlder);
  GetParam()();
  EXPECT_EQ(1, RegisterOCXs());
  EXPECT_EQ(1, UnRegisterOCXs());
  EXPECT_THAT(unregistered, IsEmpty());
  EXPECT_EQ(kOlder, TypeLibraryNames());
  EXPECT_EQ(kOlder, ServerNames());
  EXPECT_EQ(kOlder, Recorded());
}

INSTANTIATE_TEST_SUITE_P(Walk, InterruptedTest,
                         ::testing::Values([] {},  // the file is missing: 7e
                                           [] {
                                             sim::AddLibrary(kCurrent,
                                                             {{"DllRegisterServer", [] {
                                                                 return static_cast<LONG>(
                                                                     0x80004005);
                                                               }}});
                                           }));

// A standard user's exit shows nothing and leaves the record for the next
// administrator's run.
TEST_F(KeptRegistrationTest, AStandardUsersWalkKeepsThePendingRecordQuietly) {
  PutVersionData(kOlder, kOld);
  sim::AddLibrary(kOlder, {{"DllUnregisterServer", [] {
                              return static_cast<LONG>(0x80070005);  // access denied
                            }}});
  AddCurrentControl();
  Register(kLib, "{C}", kCurrent);
  sim::SetRegistryText(HKEY_LOCAL_MACHINE, kRecordKey, "", kOlder);
  sim::SetStandardUser(true);
  EXPECT_EQ(1, UnRegisterOCXs());
  EXPECT_TRUE(sim::MessageBoxes().empty());
  EXPECT_EQ(kOlder, Recorded());
  EXPECT_EQ(kCurrent, ServerNames());
  EXPECT_EQ(0, registrations);
}

// ---- /Debug's second look reads ----

TEST_F(KeptRegistrationTest, ASecondLookAtATooOldFileRecordsNothing) {
  // The packager asks more than the configured file has.
  Prepare("[Application]\nProgramName=GAME.EXE\n[SystemOcx]\nOcx1=A.OCX\nOcx1TypeLib=" + kLib +
          "\nOcx1Clsid={C}\nOcx1Version=3.0\n");
  AddOlderControl({});
  AddCurrentControl();
  Register(kLib, "{C}", kOlder);
  EXPECT_EQ(0, RegisterOCXs());
  ASSERT_EQ(1u, sim::MessageBoxes().size());
  EXPECT_EQ("Error in INI file Section SystemOcx\n OCX: A.OCX", sim::MessageBoxes()[0].text);
  EXPECT_EQ(kOlder, Recorded());

  // Mended, the next run finds the file current and unregisters only the older one.
  EndProcess();
  Prepare("[Application]\nProgramName=GAME.EXE\n[SystemOcx]\n" + Entry("1", "A.OCX"));
  TraceStart(1);
  EXPECT_EQ(1, RegisterOCXs());
  EXPECT_EQ(1, UnRegisterOCXs());
  EXPECT_THAT(unregistered, ElementsAre(kOlder));
  EXPECT_EQ(kCurrent, ServerNames());
}

// ---- only the machine's classes are recorded and loaded ----

// Windows merges HKEY_CURRENT_USER\Software\Classes into HKEY_CLASSES_ROOT
// even for an elevated process (Wine has no per-user class view, so only the
// simulation shows this): unelevated code may point a control there.
struct UserCase {
  const char* name;
  const char* machine;  // the file the machine's keys name; nullptr: none
  const char* user_version_file;
  const char* recorded;  // "(none)": no record
};

const char* const kUserFile = "C:\\USERS\\ME\\A.OCX";

class PerUserTest : public KeptRegistrationTest, public ::testing::WithParamInterface<UserCase> {};

TEST_P(PerUserTest, IsTracedNeverRecordedNeverLoaded) {
  const UserCase& c = GetParam();
  AddOlderControl({});
  AddCurrentControl();
  PutVersionData(kUserFile, c.user_version_file);
  sim::AddLibrary(kUserFile, {{"DllUnregisterServer", [] { return 0; }}});
  if (c.machine != nullptr) Register(kLib, "{C}", c.machine);
  sim::SetRegistryText(HKEY_CURRENT_USER, "Software\\Classes\\" + kTypeLibraryKey, "", kUserFile);
  sim::SetRegistryText(HKEY_CURRENT_USER, "Software\\Classes\\" + kServerKey, "", kUserFile);

  EXPECT_EQ(1, RegisterOCXs());
  EXPECT_EQ(1, registrations);
  EXPECT_EQ(c.recorded, Recorded());
  EXPECT_TRUE(Contains(TraceTexts(), std::string("Per-user registration not used: ") + kUserFile));
  EXPECT_EQ(1, UnRegisterOCXs());
  std::vector<std::string> loaded = LoadedPaths();
  EXPECT_EQ(loaded.end(), std::find(loaded.begin(), loaded.end(), kUserFile));
}

INSTANTIATE_TEST_SUITE_P(
    Classes, PerUserTest,
    ::testing::Values(UserCase{"OlderOverAnOlderMachineFile", kOlder, kOld, kOlder},
                      UserCase{"CurrentOverAnOlderMachineFile", kOlder, kNew, kOlder},
                      UserCase{"CurrentWithoutAMachineFile", nullptr, kNew, "(none)"}),
    [](const ::testing::TestParamInfo<UserCase>& info) { return info.param.name; });

TEST_F(KeptRegistrationTest, AUserRegistrationOfTheSameFileIsNotTraced) {
  AddCurrentControl();
  Register(kLib, "{C}", kCurrent);
  sim::SetRegistryText(HKEY_CURRENT_USER, "Software\\Classes\\" + kServerKey, "", "d:\\setup\\a.ocx");
  EXPECT_EQ(1, IsRegistered("A.OCX", "{C}", kLib.c_str(), "1.0"));
  for (const std::string& text : TraceTexts())
    EXPECT_EQ(std::string::npos, text.find("Per-user")) << text;
}

// ---- records only where the walk finds them ----

struct ShapeCase {
  const char* name;
  const char* type_library;
  const char* earlier_record;  // a record key already there; nullptr: none
  bool recorded;
};

class ShapeTest : public KeptRegistrationTest, public ::testing::WithParamInterface<ShapeCase> {};

TEST_P(ShapeTest, ARecordIsWrittenOnlyWhereTheWalkLooks) {
  const ShapeCase& c = GetParam();
  PutVersionData(kOlder, kOld);
  sim::SetRegistryText(HKEY_CLASSES_ROOT, std::string("TypeLib\\") + c.type_library, "", kOlder);
  sim::SetRegistryText(HKEY_CLASSES_ROOT, kServerKey, "", kOlder);
  if (c.earlier_record != nullptr)
    sim::SetRegistryText(HKEY_LOCAL_MACHINE, kAppKey + "\\" + c.earlier_record, "", "");
  EXPECT_EQ(0, IsRegistered("A.OCX", "{C}", c.type_library, "1.0"));
  EXPECT_EQ(c.recorded ? kOlder : "(none)",
            sim::RegistryText(HKEY_LOCAL_MACHINE, kAppKey + "\\" + c.type_library, ""));
  EXPECT_EQ(!c.recorded, Contains(TraceTexts(), std::string("No record: the walk at exit would "
                                                            "not find ") +
                                                    c.type_library));
  EXPECT_EQ(0, sim::OpenHandleCount());
}

INSTANTIATE_TEST_SUITE_P(
    Records, ShapeTest,
    ::testing::Values(ShapeCase{"TheWalkedShape", "{L}\\1.0\\0\\win32", nullptr, true},
                      ShapeCase{"InAnotherCase", "{L}\\1.0\\0\\WIN32", nullptr, true},
                      ShapeCase{"TheSameVersionAgain", "{L}\\1.0\\0\\win32", "{L}\\1.0\\0\\win32",
                                true},
                      ShapeCase{"ALocale", "{L}\\1.0\\409\\win32", nullptr, false},
                      ShapeCase{"Win64", "{L}\\1.0\\0\\win64", nullptr, false},
                      ShapeCase{"TwoLevels", "{L}\\1.0", nullptr, false},
                      ShapeCase{"FiveLevels", "{L}\\1.0\\0\\win32\\x", nullptr, false},
                      ShapeCase{"NoVersion", "{L}\\\\0\\win32", nullptr, false},
                      // Only the first version is walked: one would hide the other.
                      ShapeCase{"ASecondVersion", "{L}\\2.0\\0\\win32", "{L}\\1.0\\0\\win32",
                                false},
                      ShapeCase{"AnEarlierVersion", "{L}\\0.9\\0\\win32", "{L}\\1.0\\0\\win32",
                                false}),
    [](const ::testing::TestParamInfo<ShapeCase>& info) { return info.param.name; });

// ---- what the older file's unregistration takes is put back ----

struct WipeCase {
  const char* name;
  std::vector<std::string> wipes;  // keys the older file's unregistration deletes
  bool current_file_gone;          // the configured file is gone by the walk
  const char* trace;               // nullptr: no registration again
};

class WipeTest : public KeptRegistrationTest, public ::testing::WithParamInterface<WipeCase> {};

TEST_P(WipeTest, TheWalkEndsWithTheRegistrationItFound) {
  const WipeCase& c = GetParam();
  AddOlderControl(c.wipes);
  AddCurrentControl();
  Register(kLib, "{C}", kOlder);
  EXPECT_EQ(1, RegisterOCXs());
  EXPECT_EQ(kOlder, Recorded());
  if (c.current_file_gone) sim::RemoveFile(kCurrent);
  EXPECT_EQ(1, UnRegisterOCXs());
  EXPECT_THAT(unregistered, ElementsAre(kOlder));
  EXPECT_EQ("", Recorded());
  std::vector<std::string> texts = TraceTexts();
  if (c.trace != nullptr) {
    auto walked = std::find(texts.begin(), texts.end(), kOlder);
    auto again = std::find(texts.begin(), texts.end(), std::string(c.trace) + kCurrent);
    EXPECT_LT(walked, again);
    EXPECT_NE(texts.end(), again);
  } else {
    EXPECT_FALSE(Contains(texts, std::string("Registered again: ") + kCurrent));
  }
  if (!c.current_file_gone) {
    EXPECT_EQ(kCurrent, TypeLibraryNames());
    EXPECT_EQ(kCurrent, ServerNames());
    EXPECT_EQ(c.trace == nullptr ? 1 : 2, registrations);
  }
  // The walk tells nobody; the file registered again is freed again.
  EXPECT_TRUE(sim::MessageBoxes().empty());
  EXPECT_EQ(0, sim::OpenHandleCount());
}

INSTANTIATE_TEST_SUITE_P(
    Walk, WipeTest,
    ::testing::Values(
        WipeCase{"BothKeys", {"TypeLib\\{L}\\1.0", "CLSID\\{C}"}, false, "Registered again: "},
        WipeCase{"TheClassOnly", {"CLSID\\{C}"}, false, "Registered again: "},
        WipeCase{"TheTypeLibraryOnly", {"TypeLib\\{L}"}, false, "Registered again: "},
        WipeCase{"NothingOfTheCurrentFile", {}, false, nullptr},
        WipeCase{"AndTheCurrentFileIsGone",
                 {"TypeLib\\{L}\\1.0", "CLSID\\{C}"},
                 true,
                 "Could not register again: "}),
    [](const ::testing::TestParamInfo<WipeCase>& info) { return info.param.name; });

}  // namespace
