// Fails each platform call of a whole launch in turn, once and from then on,
// and checks that every run ends the documented way with nothing left open.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "checks/thread_slot.h"
#include "launch_fixture.h"
#include "version_data.h"

namespace {

struct LaunchCase {
  const char* name;
  const char* arguments;
  const char* splash_off_time;
  // Another launcher's application shows its window: the launch ends at the
  // guard. Otherwise the other launcher ends after the first probe, and Retry
  // goes on.
  bool window_up;
};

class FaultInjectionTest : public LaunchTest, public ::testing::WithParamInterface<LaunchCase> {
 protected:
  void Prepare() {
    StartFreshMachine();
    WriteIni(std::string(
                 "[Application]\nSplashWaveFile=intro.wav\nApplicationName=Game\nWinClass="
                 "GameWindow\nWinText=Game\n"
                 "MegRequired=64\nSplashWaveFile=intro.wav\nProgramName=GAME.EXE\nSplashOffTime=") +
             GetParam().splash_off_time +
             "\n[SystemOcx]\nOcxPath=OCX\n"
             "Ocx1=A.OCX\nOcx1TypeLib={L}\\1.0\\0\\win32\nOcx1Clsid={C}\nOcx1Version=2.0\n"
             "[ApplicationOcx]\nOcx1=B.OCX\nOcx1TypeLib={M}\\1.0\\0\\win32\nOcx1Clsid="
             "NONE\nOcx1Version=2.0\n"
             "[CoreComponent]\nCore1=RUNTIME.DLL\nCore1Version=2.10.0.5\nCore2=MORE.DLL\n");
    PutVersionData("C:\\WINDOWS\\SYSTEM32\\RUNTIME.DLL", "versioned.dll");
    PutVersionData("C:\\WINDOWS\\SYSTEM32\\MORE.DLL", "versioned.dll");
    sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
    sim::MakeDirectory("D:\\SETUP\\OCX");
    // A.OCX replaces an older registered file; B.OCX is not registered yet; a
    // record from an earlier run waits for the exit.
    PutVersionData("C:\\OLD\\A.OCX", "no_version.dll");
    sim::SetRegistryText(HKEY_CLASSES_ROOT, "TypeLib\\{L}\\1.0\\0\\win32", "", "C:\\OLD\\A.OCX");
    sim::SetRegistryText(HKEY_CLASSES_ROOT, "CLSID\\{C}\\InprocServer32", "", "C:\\OLD\\A.OCX");
    sim::SetRegistryText(HKEY_LOCAL_MACHINE, "Software\\Maker\\Game\\2.0\\{K}\\1.0\\0\\win32", "",
                         "C:\\OLD\\K.OCX");
    for (const char* path :
         {"C:\\OLD\\A.OCX", "C:\\OLD\\K.OCX", "D:\\SETUP\\OCX\\A.OCX", "D:\\SETUP\\B.OCX"}) {
      if (!sim::FileExists(path)) PutVersionData(path, "versioned.dll");
      const std::string library = path[0] == 'C' || path[9] == 'O' ? "{L}" : "{M}";
      auto register_server = [path, library] {
        sim::SetRegistryText(HKEY_CLASSES_ROOT, "TypeLib\\" + library + "\\1.0\\0\\win32", "",
                             path);
        if (library == "{L}")
          sim::SetRegistryText(HKEY_CLASSES_ROOT, "CLSID\\{C}\\InprocServer32", "", path);
        return 0;
      };
      sim::AddLibrary(path, {{"DllRegisterServer", register_server},
                             {"DllUnregisterServer", [] { return 0; }}});
    }
    sim::SetClockStep(7);
    InstallSplash();
    sim::SetPaletteDevice(true);
    // The application's window comes up, changes the palette, then closes the splash.
    sim::ScriptProcess(3, [](int wake) {
      HWND splash = sim::Windows().empty() ? nullptr : sim::Windows()[0].handle;
      sim::PostQueueMessage(nullptr, 0x400, static_cast<WPARAM>(wake), 0);
      if (wake == 1 && splash != nullptr) sim::SendToWindow(splash, WM_PALETTECHANGED, 0x7770, 0);
      if (wake == 2) sim::PostQueueMessage(splash, kSplashCloseMessage, 0, 0);
      sim::AdvanceClock(100);
    });
    StoreSharedThreadId(0x500);
    sim::AddThreadWindow({0x500, "Tooltip", "", false});
    sim::AddThreadWindow({0x500, "GameWindow", "Notes", false});
    if (GetParam().window_up) {
      sim::HoldSemaphore("Game");
      sim::AddThreadWindow({0x500, "GameWindow", "The Game", false});
    } else {
      sim::HoldSemaphore("Game", 1);
      sim::QueueAnswer(IDRETRY);
    }
  }
  int Run() { return LaunchTest::Run(GetParam().arguments); }
};

const std::set<std::string> kKnownCaptions = {"GetIniFileName",
                                              "GetPrivateProfileString",
                                              "WinExecAndWait",
                                              "Information",
                                              "Error",
                                              "LoadLibrary Failed",
                                              "Function Look Failure",
                                              "DLLRegisterServer error",
                                              "IsRegistered",
                                              "Administrator rights needed"};

TEST_P(FaultInjectionTest, EveryCallFailingEndsCleanly) {
  Prepare();
  ASSERT_EQ(GetParam().window_up ? 1 : 0, Run());
  if (!GetParam().window_up) {
    // The baseline run goes through the splash's whole life: drawn, repainted, taken down.
    EXPECT_GE(sim::Draws().size(), 3u);
    EXPECT_TRUE(sim::Windows().empty());
    EXPECT_EQ(1u, sim::Sounds().size());
    // It registers both controls, records the replaced one and unregisters it
    // at exit with the earlier record.
    size_t control_entries = 0;
    for (const sim::Call& call : sim::CallsTo("GetProcAddress")) {
      bool kernel32 =
          call.args[1] == "GlobalMemoryStatusEx" || call.args[1] == "SetDefaultDllDirectories";
      control_entries += kernel32 ? 0 : 1;
    }
    EXPECT_EQ(4u, control_entries);
    EXPECT_EQ("", sim::RegistryText(HKEY_LOCAL_MACHINE,
                                    "Software\\Maker\\Game\\2.0\\{L}\\1.0\\0\\win32", ""));
    EXPECT_EQ("", sim::RegistryText(HKEY_LOCAL_MACHINE,
                                    "Software\\Maker\\Game\\2.0\\{K}\\1.0\\0\\win32", ""));
  }
  const size_t total = sim::Calls().size();
  ASSERT_GT(total, 10u);

  // Access denied takes the standard user's way out where a write is refused;
  // any other error the way of a failure as such.
  for (DWORD error :
       {static_cast<DWORD>(ERROR_ACCESS_DENIED), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY)}) {
    for (int persistent = 0; persistent <= 1; ++persistent) {
      for (size_t index = 1; index <= total; ++index) {
        Prepare();
        sim::FailFromCall(index, error, persistent != 0);
        int status = Run();
        std::string where = std::string(persistent ? "persistent" : "transient") + " failure (" +
                            std::to_string(error) + ") of call " + std::to_string(index);
        EXPECT_TRUE(status == 0 || status == 1) << where;
        EXPECT_EQ(0, OpenAtExit()) << where;
        EXPECT_LE(sim::OpenSemaphoreHandleCount(), 1) << where;
        // Files loaded to unregister are freed; only registered controls stay loaded.
        EXPECT_FALSE(sim::LibraryLoaded("C:\\OLD\\A.OCX")) << where;
        EXPECT_FALSE(sim::LibraryLoaded("C:\\OLD\\K.OCX")) << where;
        EXPECT_LE(sim::Processes().size(), 1u) << where;
        EXPECT_LE(sim::CallsTo("SetForegroundWindow").size(), 1u) << where;
        for (const sim::MessageBoxRecord& box : sim::MessageBoxes()) {
          EXPECT_TRUE(kKnownCaptions.count(box.caption) == 1) << where << ": " << box.caption;
        }
        // A refused write the launch needs ends it, told last and once.
        std::vector<sim::Call> boxes = sim::CallsTo("ShowMessageBox");
        for (size_t box = 0; box < boxes.size(); ++box) {
          if (boxes[box].args[2] != "Administrator rights needed") continue;
          EXPECT_EQ(boxes.size() - 1, box) << where;
          EXPECT_EQ(1, status) << where;
          EXPECT_TRUE(sim::Processes().empty()) << where;
        }
        // Status 0 means the application was tried: started, or refused with a message.
        if (status == 0 && sim::Processes().empty()) {
          ASSERT_FALSE(sim::CallsTo("ShowMessageBox").empty()) << where;
          EXPECT_EQ("WinExecAndWait", sim::CallsTo("ShowMessageBox").back().args[2]) << where;
        }
        // A started application is always waited for and its handles closed.
        if (!sim::Processes().empty()) {
          EXPECT_EQ(0, status) << where;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Launch, FaultInjectionTest,
    ::testing::Values(LaunchCase{"AloneAfterRetry", "", "65535", false},
                      LaunchCase{"AloneAfterRetryTracedSlowLoad", "/Debug /SlowLoad", "150", false},
                      LaunchCase{"AnotherCopyShowsItsWindow", "/Debug", "65535", true}),
    [](const ::testing::TestParamInfo<LaunchCase>& info) { return info.param.name; });

}  // namespace
