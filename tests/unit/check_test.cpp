// /Check: the start-up sequence read-only, reported instead of done.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "check/exports.h"
#include "launch_fixture.h"
#include "version_data.h"

namespace {

using ::testing::HasSubstr;

constexpr WORD kPe32 = 0x10B;
constexpr WORD kPe32Plus = 0x20B;

void Put32(std::string* image, size_t at, uint32_t value) {
  if (image->size() < at + 4) image->resize(at + 4, '\0');
  memcpy(&(*image)[at], &value, 4);
}
void Put16(std::string* image, size_t at, uint16_t value) {
  if (image->size() < at + 2) image->resize(at + 2, '\0');
  memcpy(&(*image)[at], &value, 2);
}

// A library image of the given kind with one section at RVA 0x1000 (file
// offset 0x200) holding its export directory, or none without names.
std::string MakeImage(WORD magic, const std::vector<std::string>& exports) {
  std::string image(0x200, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  Put32(&image, 0x3C, 0x40);
  memcpy(&image[0x40], "PE\0\0", 4);
  Put16(&image, 0x44, magic == kPe32 ? 0x14C : 0x8664);
  Put16(&image, 0x46, 1);
  const uint16_t optional_size = magic == kPe32 ? 224 : 240;
  Put16(&image, 0x54, optional_size);
  Put16(&image, 0x58, magic);
  const size_t directory = 0x58 + (magic == kPe32 ? 96 : 112);
  const size_t section = 0x58 + optional_size;
  std::string data(40, '\0');
  if (!exports.empty()) {
    const uint32_t names = 0x1000 + 40;
    Put32(&data, 24, static_cast<uint32_t>(exports.size()));
    Put32(&data, 32, names);
    uint32_t text = names + 4 * static_cast<uint32_t>(exports.size());
    std::string strings;
    for (size_t i = 0; i < exports.size(); ++i) {
      Put32(&data, 40 + 4 * i, text + static_cast<uint32_t>(strings.size()));
      strings += exports[i] + '\0';
    }
    data += strings;
    Put32(&image, directory, 0x1000);
    Put32(&image, directory + 4, static_cast<uint32_t>(data.size()));
  }
  memcpy(&image[section], ".edata", 6);
  Put32(&image, section + 8, static_cast<uint32_t>(data.size()));
  Put32(&image, section + 12, 0x1000);
  Put32(&image, section + 16, static_cast<uint32_t>(data.size()));
  Put32(&image, section + 20, 0x200);
  return image + data;
}

TEST(ExportTest, FindsAnExportInTheFileWithoutLoadingIt) {
  struct Case {
    const char* name;
    std::string content;
    ExportLookup expected;
  };
  const std::string good = MakeImage(kPe32, {"DllCanUnloadNow", "DllRegisterServer"});
  const std::vector<Case> cases = {
      {"Pe32WithTheExport", good, kExportPresent},
      {"Pe32WithOtherExports", MakeImage(kPe32, {"DllRegisterServerEx", "DllRegister"}),
       kExportMissing},
      {"Pe32WithoutExportTable", MakeImage(kPe32, {}), kExportMissing},
      // The host tests stand for the 32-bit product.
      {"Pe32PlusToA32BitCaller", MakeImage(kPe32Plus, {"DllRegisterServer"}), kOtherBitness},
      {"NotAnImage", "not a library\n", kNotALibrary},
      {"HeaderPointsPastTheEnd", good.substr(0, 0x50), kNotALibrary},
      {"NamesCutOff", good.substr(0, good.size() - 6), kExportMissing},
  };
  for (const Case& c : cases) {
    sim::Reset();
    sim::WriteFile("C:\\CTRL\\A.OCX", c.content);
    EXPECT_EQ(c.expected, FindExport("C:\\CTRL\\A.OCX", "DllRegisterServer")) << c.name;
    EXPECT_EQ(0, sim::OpenHandleCount()) << c.name;
    EXPECT_TRUE(sim::CallsTo("LoadLibraryFrom").empty()) << c.name;
  }
  sim::Reset();
  EXPECT_EQ(kNotALibrary, FindExport("C:\\CTRL\\ABSENT.OCX", "DllRegisterServer"));
}

// Every platform call that changes the machine, the process's state or what
// the user sees beyond the report.
const char* const kWriteCalls[] = {
    "CreateRegistryKey", "WriteRegistryValue",       "StartProcess", "LoadLibraryA",
    "LoadLibraryFrom",  "CreateNamedSemaphore",     "PlaySoundFile",     "CreateWindowExA",
    "RegisterClassA",  "SetWorkingFolder", "SetTimer",       "ShowWindowAsync",
    "SetWindowPos",    "SetForegroundWindow",  "CreatePalette",  "FreeLibrary",
};

const char kCleanIni[] =
    "[Application]\nProgramName=GAME.EXE\nSplashWaveFile=intro.wav\nSplashOffTime=3000\n"
    "MegRequired=64\nWinClass=GameWindow\nWinText=Game\n"
    "[SystemOcx]\nOcxPath=OCX\nOcx1=A.OCX\nOcx1TypeLib={L}\\1.0\\0\\win32\nOcx1Clsid={C}\n"
    "Ocx1Version=2.0.0.0\n"
    "[ApplicationOcx]\nOcx1=B.OCX\nOcx1TypeLib={M}\\1.0\\0\\win32\nOcx1Clsid=NONE\n"
    "Ocx1Version=1.0\n"
    "[CoreComponent]\nCore1=RUNTIME.DLL\nCore1Version=2.10.0.5\n";

class CheckTest : public LaunchTest {
 protected:
  // A machine on which the clean configuration is current: nothing to do.
  void Arrange(const std::string& ini = kCleanIni) {
    WriteIni(ini);
    sim::MakeDirectory("C:\\TEMP");
    sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
    sim::WriteFile("D:\\SETUP\\intro.wav", "RIFF");
    PutVersionData("C:\\WINDOWS\\SYSTEM32\\RUNTIME.DLL", "versioned.dll");
    PutVersionData("D:\\SETUP\\OCX\\A.OCX", "versioned.dll");
    PutVersionData("D:\\SETUP\\B.OCX", "versioned.dll");
    sim::SetRegistryText(HKEY_CLASSES_ROOT, "TypeLib\\{L}\\1.0\\0\\win32", "",
                         "D:\\SETUP\\OCX\\A.OCX");
    sim::SetRegistryText(HKEY_CLASSES_ROOT, "CLSID\\{C}\\InprocServer32", "",
                         "D:\\SETUP\\OCX\\A.OCX");
    sim::SetRegistryText(HKEY_CLASSES_ROOT, "TypeLib\\{M}\\1.0\\0\\win32", "", "D:\\SETUP\\B.OCX");
    InstallSplash();
  }

  // Fails every write-type call: a /Check run must make none of them.
  void FailEveryWrite() {
    for (const char* name : kWriteCalls) sim::FailCall(name, ERROR_ACCESS_DENIED);
  }

  void ExpectNothingWritten() {
    for (const char* name : kWriteCalls)
      EXPECT_TRUE(sim::CallsTo(name).empty()) << name << " was called";
    for (const sim::Call& call : sim::CallsTo("OpenRegistryKey"))
      EXPECT_EQ("0x20019", call.args[3]) << call.args[1];  // KEY_READ
    for (const sim::Call& call : sim::CallsTo("OpenFilePath")) {
      if (call.args[0] != kReportPath) {
        EXPECT_EQ("0x80000000", call.args[1]) << call.args[0];
      }
    }
    EXPECT_EQ(key_before_, sim::RegistryKeyExists(HKEY_LOCAL_MACHINE, "Software\\Maker"));
    EXPECT_EQ(0, sim::OpenHandleCount());
    EXPECT_EQ(0, sim::OpenSemaphoreHandleCount());
    EXPECT_EQ("C:\\", sim::CurrentDirectory());
  }

  int Check(const char* arguments = "/Check") {
    key_before_ = sim::RegistryKeyExists(HKEY_LOCAL_MACHINE, "Software\\Maker");
    return Run(arguments);
  }

  std::string Report() const { return sim::ReadFile(kReportPath); }

  std::vector<std::string> Problems() const {
    std::vector<std::string> found;
    std::string report = Report();
    for (size_t at = 0; (at = report.find("Problem: ", at)) != std::string::npos;) {
      size_t end = report.find("\r\n", at);
      found.push_back(report.substr(at, end - at));
      at = end;
    }
    return found;
  }

  bool key_before_ = false;
  static constexpr const char* kReportPath = "C:\\TEMP\\SETUP-check.txt";
};

TEST_F(CheckTest, ACleanConfigurationYieldsNoProblemAndTellsWhatARunWouldDo) {
  Arrange();
  FailEveryWrite();
  EXPECT_EQ(0, Check("/Check"));
  ExpectNothingWritten();
  EXPECT_THAT(Problems(), ::testing::IsEmpty()) << Report();
  const std::string report = Report();
  for (const char* line : {
           "Home directory: D:\\SETUP\\\r\n",
           "Configuration file: D:\\SETUP\\SETUP.ini\r\n",
           "Colour depth: 16 bits per pixel\r\n",
           "Application key: HKEY_LOCAL_MACHINE\\Software\\Maker\\Product\\2.0 (a real run creates "
           "it)\r\n",
           "Running copy: none\r\n",
           "MegRequired: 64 MB; free memory and page file: 1536 MB\r\n",
           "ProgramName: GAME.EXE; working directory D:\\SETUP\\\r\n",
           "SplashWaveFile: intro.wav; sound D:\\SETUP\\intro.wav\r\n",
           "SplashOffTime: the splash comes down 3000 ms after the application starts\r\n",
           "Core1: C:\\WINDOWS\\SYSTEM32\\RUNTIME.DLL version 2.10.0.5, required 2.10.0.5: "
           "current\r\n",
           "Launch mode: normal\r\n",
           "OcxPath: OCX; control folder D:\\SETUP\\OCX\\\r\n",
           "[SystemOcx] Ocx1=A.OCX: D:\\SETUP\\OCX\\A.OCX, version 2.10.0.5, no "
           "DllRegisterServer\r\n",
           "  registered: type library yes, class yes, file D:\\SETUP\\OCX\\A.OCX, required "
           "2.0.0.0: "
           "a real run does nothing\r\n",
           "[ApplicationOcx] Ocx1=B.OCX: D:\\SETUP\\B.OCX, version 2.10.0.5, no "
           "DllRegisterServer\r\n",
           "Command line: D:\\SETUP\\GAME.EXE /00000000 (the splash window's handle in place of "
           "00000000)\r\n",
       }) {
    EXPECT_THAT(report, HasSubstr(line));
  }
  ASSERT_EQ(1u, sim::MessageBoxes().size());
  const sim::MessageBoxRecord& box = sim::MessageBoxes()[0];
  EXPECT_EQ("Check", box.caption);
  EXPECT_THAT(box.text, HasSubstr("0 problems, "));
  EXPECT_THAT(box.text,
              HasSubstr(" lines: C:\\TEMP\\SETUP-check.txt\n\nOpen the report in Notepad?"));
  EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2), box.type);
  EXPECT_EQ(IDNO, box.answer);
  EXPECT_TRUE(sim::Processes().empty());
  EXPECT_TRUE(sim::Windows().empty());
  EXPECT_TRUE(sim::Sounds().empty());
}

TEST_F(CheckTest, TheDemoConfigurationYieldsNoProblem) {
  std::ifstream in(std::string(PRELAUNCH_SOURCE_DIR) + "/examples/DEMO/DEMO.ini", std::ios::binary);
  std::string demo((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(demo.empty());
  WriteRawIni(demo);
  sim::MakeDirectory("C:\\TEMP");
  sim::WriteFile("D:\\SETUP\\DEMOAPP.EXE", "MZ");
  sim::WriteFile("D:\\SETUP\\chime.wav", "RIFF");
  sim::WriteFile("D:\\SETUP\\DEMOCTRL.OCX", MakeImage(kPe32, {"DllRegisterServer"}));
  FailEveryWrite();
  EXPECT_EQ(0, Check("/Check"));
  ExpectNothingWritten();
  EXPECT_THAT(Problems(), ::testing::IsEmpty()) << Report();
  EXPECT_THAT(Report(), HasSubstr("D:\\SETUP\\DEMOCTRL.OCX, no version, registers itself\r\n"));
  EXPECT_THAT(Report(), HasSubstr("a real run does register it\r\n"));
}

struct TrapCase {
  const char* name;
  const char* find;  // replaced in the clean configuration; appended when not found
  std::string replace;
  std::function<void()> arrange;
  const char* problem;
};

class CheckTrapTest : public CheckTest, public ::testing::WithParamInterface<TrapCase> {};

TEST_P(CheckTrapTest, YieldsItsProblemLineAndWritesNothing) {
  const TrapCase& c = GetParam();
  std::string ini = kCleanIni;
  size_t at = ini.find(c.find);
  if (c.find[0] == '\0' || at == std::string::npos) {
    ini += c.replace;
  } else {
    ini.replace(at, strlen(c.find), c.replace);
  }
  Arrange(ini);
  if (c.arrange) c.arrange();
  FailEveryWrite();
  EXPECT_EQ(2, Check("/Check"));
  ExpectNothingWritten();
  std::string all;
  for (const std::string& problem : Problems()) all += problem + "\n";
  EXPECT_THAT(all, HasSubstr(c.problem)) << Report();
  EXPECT_TRUE(sim::Processes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Traps, CheckTrapTest,
    ::testing::Values(
        TrapCase{"ControlNamedInBase10",
                 "[ApplicationOcx]",
                 "Ocx9=X.OCX\n[ApplicationOcx]",
                 {},
                 "[SystemOcx] Ocx9 is never read: numbers are written in base 9"},
        TrapCase{"CoreNamedInBase10",
                 "",
                 "Core9=X.DLL\n",
                 {},
                 "[CoreComponent] Core9 is never read: numbers are written in base 9"},
        TrapCase{"NineteenthControl",
                 "[CoreComponent]",
                 "Ocx19TypeLib=x\n[CoreComponent]",
                 {},
                 "[ApplicationOcx] Ocx19TypeLib is never read: numbers are written in base 9"},
        TrapCase{"GapEndsTheList",
                 "[ApplicationOcx]",
                 "Ocx3=C.OCX\nOcx3TypeLib=x\nOcx3Clsid=x\nOcx3Version=1\n[ApplicationOcx]",
                 {},
                 "[SystemOcx] Ocx3 is never read: the list ends at its first missing entry"},
        TrapCase{"CompanionOfTheMissingEntry",
                 "",
                 "Core2Version=1.0\n",
                 {},
                 "[CoreComponent] Core2Version is never read: the list ends"},
        TrapCase{"MisspelledKey",
                 "Ocx1Version=2.0.0.0",
                 "Ocx1Version=2.0.0.0\nOcx1Verison=3",
                 {},
                 "[SystemOcx] Ocx1Verison is never read: it is not a key the launcher reads"},
        TrapCase{"MisspelledApplicationKey",
                 "MegRequired",
                 "SplashOfTime=0\nMegRequired",
                 {},
                 "[Application] SplashOfTime is never read"},
        TrapCase{"UnknownSection",
                 "",
                 "[Aplication]\nProgramName=X.EXE\n",
                 {},
                 "[Aplication] is not a section the launcher reads"},
        TrapCase{"OcxPathInTheWrongSection",
                 "[ApplicationOcx]\n",
                 "[ApplicationOcx]\nOcxPath=X\n",
                 {},
                 "[ApplicationOcx] OcxPath is never read: OcxPath is read from [SystemOcx] only"},
        TrapCase{"OcxPathWithADriveAndNoClosingBackslash",
                 "OcxPath=OCX",
                 "OcxPath=D:\\SETUP\\OCX",
                 {},
                 "OcxPath=D:\\SETUP\\OCX has a drive and no closing backslash: control files "
                 "are looked for as D:\\SETUP\\OCXNAME.OCX"},
        TrapCase{"ProgramNameWithArguments",
                 "ProgramName=GAME.EXE",
                 "ProgramName=GAME.EXE -x",
                 {},
                 "ProgramName=GAME.EXE -x: it names the program only and takes no arguments"},
        TrapCase{"ProgramMissing",
                 "ProgramName=GAME.EXE",
                 "ProgramName=OTHER.EXE",
                 {},
                 "\"WinExecAndWait\" box: the program D:\\SETUP\\OTHER.EXE is missing"},
        TrapCase{"ProgramNameMissing",
                 "ProgramName=GAME.EXE",
                 "",
                 {},
                 "Failed to find label: ProgramName in Section: Application"},
        TrapCase{"SplashOffTimeNotANumber",
                 "SplashOffTime=3000",
                 "SplashOffTime=abc",
                 {},
                 "SplashOffTime=abc is not a number: it reads as 0, so the splash comes down"},
        TrapCase{"MegRequiredNotANumber",
                 "MegRequired=64",
                 "MegRequired=abc",
                 {},
                 "MegRequired=abc is not a number"},
        TrapCase{"NotEnoughMemory",
                 "MegRequired=64",
                 "MegRequired=100000",
                 {},
                 "\"Information\" box: not enough memory"},
        TrapCase{"FewColours", "", "", [] { sim::SetBitsPerPixel(4); },
                 "\"Information\" box: fewer than 256 colours"},
        TrapCase{"SoundMissing",
                 "SplashWaveFile=intro.wav",
                 "SplashWaveFile=absent.wav",
                 {},
                 "SplashWaveFile=absent.wav: the sound D:\\SETUP\\absent.wav is missing"},
        TrapCase{"SoundNotConfigured",
                 "SplashWaveFile=intro.wav\n",
                 "",
                 {},
                 "Failed to find label: SplashWaveFile in Section: Application"},
        TrapCase{"MissingCompanion",
                 "Ocx1Clsid={C}\n",
                 "",
                 {},
                 "Failed to find label: Ocx1Clsid in Section: SystemOcx"},
        TrapCase{"ControlFolderMissing",
                 "OcxPath=OCX",
                 "OcxPath=NOWHERE",
                 {},
                 "Could not set cwd to D:\\SETUP\\NOWHERE\\"},
        TrapCase{"NamesTooLongForTheRegistry",
                 "[Application]\n",
                 "[Application]\nCompanyName=" + std::string(240, 'C') + "\n",
                 {},
                 "together pass 247 characters"},
        TrapCase{"CompanyNameMissing",
                 "[Application]\n",
                 "[Application]\nCompanyName=\n",
                 {},
                 "Failed to find label: CompanyName in Section: Application"},
        TrapCase{"AutoRunDisabled", "", "",
                 [] {
                   sim::SetRegistryValue(HKEY_LOCAL_MACHINE, "Software\\Maker\\Product\\2.0",
                                         "AutoRunDisabled", REG_DWORD, {1, 0, 0, 0});
                 },
                 "AutoRunDisabled is 1 in the application key"},
        TrapCase{"RunningCopy", "", "", [] { sim::HoldSemaphore("Product"); },
                 "Product is running: a real run brings its window forward and stops"},
        TrapCase{"ControlWithoutRegistrationEntry", "", "",
                 [] {
                   sim::SetRegistryText(HKEY_CLASSES_ROOT, "CLSID\\{C}\\InprocServer32", "", "");
                   sim::WriteFile("D:\\SETUP\\OCX\\A.OCX", MakeImage(kPe32, {"DllCanUnloadNow"}));
                 },
                 "\"Function Look Failure\" box: D:\\SETUP\\OCX\\A.OCX has no DllRegisterServer"},
        TrapCase{"ControlForTheOtherBitness", "", "",
                 [] {
                   sim::SetRegistryText(HKEY_CLASSES_ROOT, "CLSID\\{C}\\InprocServer32", "", "");
                   sim::WriteFile("D:\\SETUP\\OCX\\A.OCX",
                                  MakeImage(kPe32Plus, {"DllRegisterServer"}));
                 },
                 "\"LoadLibrary Failed\" box: D:\\SETUP\\OCX\\A.OCX cannot be loaded (32/64-bit "
                 "mismatch)"},
        TrapCase{
            "ControlFileMissing", "Ocx1=A.OCX", "Ocx1=GONE.OCX",
            [] { sim::SetRegistryText(HKEY_CLASSES_ROOT, "CLSID\\{C}\\InprocServer32", "", ""); },
            "\"LoadLibrary Failed\" box: D:\\SETUP\\OCX\\GONE.OCX cannot be loaded (missing"}),
    [](const ::testing::TestParamInfo<TrapCase>& info) { return std::string(info.param.name); });

TEST_F(CheckTest, AnOlderRegisteredControlIsRecordedThenReplacedByARealRun) {
  Arrange();
  sim::WriteFile("C:\\OLD\\A.OCX", VersionData("versioned.dll"));
  sim::SetRegistryText(HKEY_CLASSES_ROOT, "CLSID\\{C}\\InprocServer32", "", "C:\\OLD\\A.OCX");
  WriteIni(std::string(kCleanIni).replace(std::string(kCleanIni).find("Ocx1Version=2.0.0.0"), 19,
                                          "Ocx1Version=3.0.0.0"));
  sim::WriteFile("D:\\SETUP\\OCX\\A.OCX", MakeImage(kPe32, {"DllRegisterServer"}));
  FailEveryWrite();
  EXPECT_EQ(0, Check("/Check"));
  ExpectNothingWritten();
  EXPECT_THAT(Report(), HasSubstr("  registered: type library yes, class yes, file C:\\OLD\\A.OCX, "
                                  "required 3.0.0.0: a real run does record the older file, then "
                                  "register it\r\n"));
  EXPECT_THAT(Report(), HasSubstr("\r\n  at exit the older file unregisters; where that takes "
                                  "this control's keys, this file registers again\r\n"));
}

// The run registers the newer file but can leave no record the walk would find.
TEST_F(CheckTest, AnOlderControlOfAnUnwalkedShapeStaysRegistered) {
  Arrange();
  sim::WriteFile("C:\\OLD\\A.OCX", VersionData("versioned.dll"));
  sim::SetRegistryText(HKEY_CLASSES_ROOT, "TypeLib\\{L}\\1.0\\409\\win32", "", "C:\\OLD\\A.OCX");
  sim::SetRegistryText(HKEY_CLASSES_ROOT, "CLSID\\{C}\\InprocServer32", "", "C:\\OLD\\A.OCX");
  std::string ini = kCleanIni;
  ini.replace(ini.find("{L}\\1.0\\0"), 9, "{L}\\1.0\\409");
  WriteIni(ini.replace(ini.find("Ocx1Version=2.0.0.0"), 19, "Ocx1Version=3.0.0.0"));
  sim::WriteFile("D:\\SETUP\\OCX\\A.OCX", MakeImage(kPe32, {"DllRegisterServer"}));
  FailEveryWrite();
  EXPECT_EQ(0, Check("/Check"));
  ExpectNothingWritten();
  EXPECT_THAT(Report(), HasSubstr("required 3.0.0.0: a real run does register it without a record\r\n"
                                  "  the walk at exit reads only library\\first version\\0\\win32: "
                                  "the older file stays registered\r\n"));
}

TEST_F(CheckTest, SlowLoadShowsTheEnvironmentTheApplicationWouldGet) {
  Arrange();
  sim::MakeDirectory("D:\\SETUP\\OCX");
  FailEveryWrite();
  EXPECT_EQ(0, Check("/Check /SlowLoad"));
  ExpectNothingWritten();
  const std::string report = Report();
  EXPECT_THAT(report, HasSubstr("Launch mode: slow-load (/SlowLoad)\r\n"));
  EXPECT_THAT(report, HasSubstr("Working directory: D:\\SETUP\\OCX\\\r\n"
                                "Environment: Path=D:\\SETUP\\OCX\\;D:\\SETUP\\\r\n"
                                "Environment: Tmp=C:\\TEMP\\\r\n"
                                "Environment: SystemRoot=C:\\WINDOWS\r\n"));
}

TEST_F(CheckTest, AnOlderCoreComponentMeansSlowLoad) {
  Arrange();
  PutVersionData("C:\\WINDOWS\\SYSTEM32\\RUNTIME.DLL", "no_version.dll");
  EXPECT_EQ(0, Check("/Check"));
  EXPECT_THAT(Report(), HasSubstr("Core1: C:\\WINDOWS\\SYSTEM32\\RUNTIME.DLL, required 2.10.0.5: "
                                  "missing or without a version\r\nLaunch mode: slow-load (Core1 "
                                  "is not current)\r\n"));
  EXPECT_THAT(Report(), HasSubstr("Environment: Path=D:\\SETUP\\OCX\\;D:\\SETUP\\\r\n"));
}

TEST_F(CheckTest, FromAConsoleTheReportGoesThereAndNoBoxShows) {
  Arrange();
  sim::SetParentConsole(true);
  EXPECT_EQ(0, Check("/Check"));
  EXPECT_TRUE(sim::MessageBoxes().empty());
  EXPECT_THAT(sim::ConsoleOutput(), HasSubstr("Launch mode: normal\r\n"));
  EXPECT_THAT(sim::ConsoleOutput(), HasSubstr("0 problems, "));
  EXPECT_THAT(sim::ConsoleOutput(), HasSubstr(" lines: C:\\TEMP\\SETUP-check.txt\r\n"));
  EXPECT_EQ(Report(), sim::ConsoleOutput().substr(0, Report().size()));
}

TEST_F(CheckTest, AStandardOutputFromTheParentGetsTheReportAndNoBoxShows) {
  for (bool console : {false, true}) {
    StartFreshMachine();
    Arrange();
    sim::SetRedirectedOutput(true);
    sim::SetParentConsole(console);
    EXPECT_EQ(0, Check());
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_EQ(Report(), sim::ConsoleOutput().substr(0, Report().size()));
    EXPECT_THAT(sim::ConsoleOutput(), HasSubstr(" lines: C:\\TEMP\\SETUP-check.txt\r\n"));
  }
}

TEST_F(CheckTest, YesOpensTheReportInNotepadFromTheSystemFolder) {
  Arrange();
  sim::WriteFile("C:\\WINDOWS\\SYSTEM32\\notepad.exe", "MZ");
  sim::QueueAnswer(IDYES);
  EXPECT_EQ(0, Check("/Check"));
  ASSERT_EQ(1u, sim::Processes().size());
  EXPECT_EQ("C:\\WINDOWS\\SYSTEM32\\notepad.exe", sim::Processes()[0].application);
  EXPECT_EQ("\"C:\\WINDOWS\\SYSTEM32\\notepad.exe\" \"C:\\TEMP\\SETUP-check.txt\"",
            sim::Processes()[0].command_line);
  EXPECT_EQ(0, sim::OpenHandleCount());
}

TEST_F(CheckTest, ExitStatusSaysCleanProblemsOrStoppedEarly) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    int status;
  };
  const std::vector<Case> cases = {
      {"Clean", [] {}, 0},
      {"Problems", [] { sim::SetBitsPerPixel(4); }, 2},
      {"ReportCannotBeSaved", [] { sim::SetTempPath("C:\\GONE\\"); }, 1},
      {"NoTemporaryFolder", [] { sim::SetTempPath(""); }, 1},
  };
  for (const Case& c : cases) {
    StartFreshMachine();
    Arrange();
    c.arrange();
    EXPECT_EQ(c.status, Check("/check")) << c.name;
  }
  StartFreshMachine();
  EXPECT_EQ(1, Check("/Check"));
  ASSERT_EQ(1u, sim::MessageBoxes().size());
  EXPECT_EQ("GetIniFileName", sim::MessageBoxes()[0].caption);
}

// Unknown sections by the hundred, the first one's name a byte longer in each
// run, so that some run's report ends a few bytes short of its room.
TEST_F(CheckTest, AReportTooLongForItsRoomIsCutAtALineAndStillWritten) {
  for (size_t value = 0; value < 40; ++value) {
    StartFreshMachine();
    std::string ini = kCleanIni;
    ini += "[S" + std::string(value, 's') + "]\n";
    for (int i = 0; i < 1000; ++i) ini += "[S" + std::to_string(i) + "]\n";
    Arrange(ini);
    EXPECT_EQ(2, Check()) << value;
    const std::string report = Report();
    EXPECT_GT(report.size(), 40000u) << value;
    EXPECT_EQ("\r\n", report.substr(report.size() - 2)) << value;
    EXPECT_EQ(std::string::npos, report.find(std::string(1, '\0'))) << value;
  }
}

TEST_F(CheckTest, AReportThatCannotBeSavedSaysSo) {
  Arrange();
  sim::FailCall("WriteFile", ERROR_ACCESS_DENIED, 3);
  EXPECT_EQ(1, Check("/Check"));
  ASSERT_EQ(1u, sim::MessageBoxes().size());
  EXPECT_THAT(sim::MessageBoxes()[0].text,
              HasSubstr("C:\\TEMP\\SETUP-check.txt could not be written"));
  EXPECT_EQ(static_cast<UINT>(kMessageInformation), sim::MessageBoxes()[0].type);
}

}  // namespace
